#pragma once
// The performance-counter functions, each bound at its first call: a missing
// library or function raises EJwaLoadLibraryError or EJwaGetProcAddressError
// from that call, before the function runs. Otherwise the arguments go
// through as they are and the function's status comes back unchanged.
#include "cpumon/pdh_api.h"

namespace vhb {

PDH_STATUS PdhOpenQueryA(const char* source, uintptr_t userData, PDH_HQUERY* query);
PDH_STATUS PdhAddCounterA(PDH_HQUERY query, const char* path, uintptr_t userData,
                          PDH_HCOUNTER* counter);
PDH_STATUS PdhCollectQueryData(PDH_HQUERY query);
PDH_STATUS PdhGetFormattedCounterValue(PDH_HCOUNTER counter, uint32_t format, uint32_t* type,
                                       PDH_FMT_COUNTERVALUE* value);
PDH_STATUS PdhCloseQuery(PDH_HQUERY query);

}  // namespace vhb
