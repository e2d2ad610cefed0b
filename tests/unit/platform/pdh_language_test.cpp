// The counter is added in the system's own language first and in English
// only where that is refused.
#include <gtest/gtest.h>

#include <string>

#include "cpumon/pdh.h"

namespace {

std::string calls;
vhb::PDH_STATUS localStatus = 0;
vhb::PDH_STATUS englishStatus = 0;

vhb::PDH_STATUS local(vhb::PDH_HQUERY, const char*, uintptr_t, vhb::PDH_HCOUNTER* c) {
    calls += 'L';
    *c = localStatus == 0 ? &localStatus : nullptr;
    return localStatus;
}
vhb::PDH_STATUS english(vhb::PDH_HQUERY, const char*, uintptr_t, vhb::PDH_HCOUNTER* c) {
    calls += 'E';
    *c = englishStatus == 0 ? &englishStatus : nullptr;
    return englishStatus;
}

TEST(PdhLanguage, LocalPathFirstThenEnglish) {
    constexpr vhb::PDH_STATUS refused = vhb::PDH_CSTATUS_BAD_COUNTERNAME;
    const struct {
        vhb::PDH_STATUS local, english;
        bool englishCall;  // false: the library lacks the English call
        const char* calls;
        bool added;
    } rows[] = {
        {0, 0, true, "L", true},
        {refused, 0, true, "LE", true},
        {refused, refused, true, "LE", false},
        // Our module over /proc has no English call: refused, no error.
        {refused, 0, false, "L", false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.calls);
        calls.clear();
        localStatus = r.local;
        englishStatus = r.english;
        vhb::setCounterAdders(local, r.englishCall ? english : nullptr);
        vhb::PDH_HCOUNTER counter = nullptr;
        const vhb::PDH_STATUS status =
            vhb::addProcessCounter(nullptr, "\\Process(agent#0)\\% Processor Time", &counter);
        EXPECT_EQ(calls, r.calls);
        EXPECT_EQ(status == 0, r.added);
        EXPECT_EQ(counter != nullptr, r.added);
    }
    vhb::setCounterAdders(nullptr, nullptr);
}

}  // namespace
