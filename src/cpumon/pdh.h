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
// The same with the path's object and counter names in English, whatever the
// system's language; a system without this call refuses the path (no error).
PDH_STATUS PdhAddEnglishCounterA(PDH_HQUERY query, const char* path, uintptr_t userData,
                                 PDH_HCOUNTER* counter);
PDH_STATUS PdhCollectQueryData(PDH_HQUERY query);
PDH_STATUS PdhGetFormattedCounterValue(PDH_HCOUNTER counter, uint32_t format, uint32_t* type,
                                       PDH_FMT_COUNTERVALUE* value);
PDH_STATUS PdhCloseQuery(PDH_HQUERY query);

// Adds the counter at `path`: as the system's own language names it first,
// and where that is refused (a system in another language calls the object
// and the counter otherwise) as the English path.
PDH_STATUS addProcessCounter(PDH_HQUERY query, const char* path, PDH_HCOUNTER* counter);

// For tests: functions that stand in for the library's two adders; null
// binds the library's own again at the next call.
void setCounterAdders(PdhAddCounterAProc local, PdhAddCounterAProc english);

}  // namespace vhb
