#pragma once
// The five performance-counter functions the processor-time watch uses, with
// their C signatures and the few types and status codes they take. Declared
// here so that neither the callers nor our own Linux module need the system's
// headers.
#include <cstdint>

// The system's library exports them with the stdcall convention; elsewhere
// the platform's default convention is the only one.
#if defined(_WIN32)
#define VHB_STDCALL __stdcall
#else
#define VHB_STDCALL
#endif

namespace vhb {

typedef int32_t PDH_STATUS;
typedef void* PDH_HQUERY;
typedef void* PDH_HCOUNTER;

struct PDH_FMT_COUNTERVALUE {
    uint32_t CStatus;
    union {
        int32_t longValue;
        double doubleValue;
        int64_t largeValue;
        const char* AnsiStringValue;
    };
};

// The value as a floating-point number; without the no-cap flag a
// processor-time value is capped at 100.
constexpr uint32_t PDH_FMT_DOUBLE = 0x200;

// Status codes (0 is success), with the values the system's library uses.
constexpr PDH_STATUS PDH_CSTATUS_VALID_DATA = 0;
constexpr PDH_STATUS PDH_NO_DATA = static_cast<PDH_STATUS>(0x800007D5u);
constexpr PDH_STATUS PDH_INVALID_HANDLE = static_cast<PDH_STATUS>(0xC0000BBCu);
constexpr PDH_STATUS PDH_INVALID_ARGUMENT = static_cast<PDH_STATUS>(0xC0000BBDu);
constexpr PDH_STATUS PDH_MEMORY_ALLOCATION_FAILURE = static_cast<PDH_STATUS>(0xC0000BBBu);
constexpr PDH_STATUS PDH_CSTATUS_BAD_COUNTERNAME = static_cast<PDH_STATUS>(0xC0000BC0u);
constexpr PDH_STATUS PDH_INVALID_DATA = static_cast<PDH_STATUS>(0xC0000BC6u);

using PdhOpenQueryAProc = PDH_STATUS(VHB_STDCALL*)(const char* source, uintptr_t userData,
                                                   PDH_HQUERY* query);
using PdhAddCounterAProc = PDH_STATUS(VHB_STDCALL*)(PDH_HQUERY query, const char* path,
                                                    uintptr_t userData, PDH_HCOUNTER* counter);
using PdhCollectQueryDataProc = PDH_STATUS(VHB_STDCALL*)(PDH_HQUERY query);
using PdhGetFormattedCounterValueProc = PDH_STATUS(VHB_STDCALL*)(PDH_HCOUNTER counter,
                                                                 uint32_t format, uint32_t* type,
                                                                 PDH_FMT_COUNTERVALUE* value);
using PdhCloseQueryProc = PDH_STATUS(VHB_STDCALL*)(PDH_HQUERY query);

// What a counter library of our own answers to PdhGetFormattedCounterValue
// for a processor-time counter whose last collection gave `status` and
// `percent`; only the floating-point format is offered.
inline PDH_STATUS formatProcessorTime(PDH_STATUS status, double percent, uint32_t format,
                                      uint32_t* type, PDH_FMT_COUNTERVALUE* value) {
    // The counter type of a processor-time percentage.
    constexpr uint32_t kProcessorTimeType = 0x20510500;
    if (value == nullptr || format != PDH_FMT_DOUBLE)
        return PDH_INVALID_ARGUMENT;
    if (type != nullptr)
        *type = kProcessorTimeType;
    value->CStatus = static_cast<uint32_t>(status);
    value->doubleValue = percent;
    return status;
}

}  // namespace vhb
