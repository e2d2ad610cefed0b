#pragma once
// The processor-time query of the settings window: at most one is open, with
// its one counter; null when none is.
#include "cpumon/pdh_api.h"

extern vhb::PDH_HQUERY CpuQuery;
extern vhb::PDH_HCOUNTER CpuCounter;
