#include "cpumon/pdh.h"

#include "net/latebind.h"
#include "platform/pdhlib.h"

namespace vhb {

namespace {

// One slot per function: each is bound on its own, at its own first call.
void* openQuerySlot = nullptr;
void* addCounterSlot = nullptr;
void* addEnglishCounterSlot = nullptr;
void* collectQueryDataSlot = nullptr;
void* formattedValueSlot = nullptr;
void* closeQuerySlot = nullptr;

template <typename Proc>
Proc bound(void*& slot, const char* functionName) {
    BindProcedure(slot, platform::pdhLibraryName(), functionName);
    return reinterpret_cast<Proc>(slot);
}

}  // namespace

PDH_STATUS PdhOpenQueryA(const char* source, uintptr_t userData, PDH_HQUERY* query) {
    return bound<PdhOpenQueryAProc>(openQuerySlot, "PdhOpenQueryA")(source, userData, query);
}

PDH_STATUS PdhAddCounterA(PDH_HQUERY query, const char* path, uintptr_t userData,
                          PDH_HCOUNTER* counter) {
    return bound<PdhAddCounterAProc>(addCounterSlot, "PdhAddCounterA")(query, path, userData,
                                                                       counter);
}

PDH_STATUS PdhAddEnglishCounterA(PDH_HQUERY query, const char* path, uintptr_t userData,
                                 PDH_HCOUNTER* counter) {
    try {
        BindProcedure(addEnglishCounterSlot, platform::pdhLibraryName(), "PdhAddEnglishCounterA");
    } catch (const EJwaGetProcAddressError&) {
        // A system older than the call: the path stays refused.
        return PDH_CSTATUS_BAD_COUNTERNAME;
    }
    return reinterpret_cast<PdhAddCounterAProc>(addEnglishCounterSlot)(query, path, userData,
                                                                       counter);
}

PDH_STATUS addProcessCounter(PDH_HQUERY query, const char* path, PDH_HCOUNTER* counter) {
    const PDH_STATUS status = PdhAddCounterA(query, path, 0, counter);
    return status == 0 ? status : PdhAddEnglishCounterA(query, path, 0, counter);
}

void setCounterAdders(PdhAddCounterAProc local, PdhAddCounterAProc english) {
    addCounterSlot = reinterpret_cast<void*>(local);
    addEnglishCounterSlot = reinterpret_cast<void*>(english);
}

PDH_STATUS PdhCollectQueryData(PDH_HQUERY query) {
    return bound<PdhCollectQueryDataProc>(collectQueryDataSlot, "PdhCollectQueryData")(query);
}

PDH_STATUS PdhGetFormattedCounterValue(PDH_HCOUNTER counter, uint32_t format, uint32_t* type,
                                       PDH_FMT_COUNTERVALUE* value) {
    return bound<PdhGetFormattedCounterValueProc>(
        formattedValueSlot, "PdhGetFormattedCounterValue")(counter, format, type, value);
}

PDH_STATUS PdhCloseQuery(PDH_HQUERY query) {
    return bound<PdhCloseQueryProc>(closeQuerySlot, "PdhCloseQuery")(query);
}

}  // namespace vhb
