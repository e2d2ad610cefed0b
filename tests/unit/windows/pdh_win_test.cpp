// The performance-counter functions bound at their first call, against the
// system's pdh.dll.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "cpumon/pdh.h"
#include "net/latebind.h"
#include "win_test_support.h"

namespace {

std::string processCounterPath() {
    std::string name = vhb::wintest::programPath();
    name = name.substr(name.find_last_of('\\') + 1);
    name = name.substr(0, name.find_last_of('.'));
    return "\\Process(" + name + "#0)\\% Processor Time";
}

TEST(WinPdh, QueryOpensAndAProcessCounterIsRefusedUnderWine) {
    vhb::PDH_HQUERY query = nullptr;
    ASSERT_EQ(vhb::PdhOpenQueryA(nullptr, 0, &query), 0);
    ASSERT_NE(query, nullptr);
    vhb::PDH_HCOUNTER counter = nullptr;
    const vhb::PDH_STATUS status =
        vhb::PdhAddCounterA(query, processCounterPath().c_str(), 0, &counter);
    if (vhb::wintest::runningUnderWine()) {
        // Wine offers no per-process counter: the watch stays off, as the
        // sampling start does on a refused counter.
        EXPECT_NE(status, 0);
    } else {
        EXPECT_EQ(status, 0);
    }
    EXPECT_EQ(vhb::PdhCloseQuery(query), 0);
}

// A counter the system does offer: the bound calls carry the arguments and
// the formatted value through.
TEST(WinPdh, ProcessorTotalGivesAPercentage) {
    vhb::PDH_HQUERY query = nullptr;
    ASSERT_EQ(vhb::PdhOpenQueryA(nullptr, 0, &query), 0);
    vhb::PDH_HCOUNTER counter = nullptr;
    ASSERT_EQ(vhb::PdhAddCounterA(query, "\\Processor(_Total)\\% Processor Time", 0, &counter), 0);
    vhb::PdhCollectQueryData(query);
    Sleep(100);
    vhb::PdhCollectQueryData(query);
    vhb::PDH_FMT_COUNTERVALUE value{};
    uint32_t type = 0;
    ASSERT_EQ(vhb::PdhGetFormattedCounterValue(counter, vhb::PDH_FMT_DOUBLE, &type, &value), 0);
    EXPECT_GE(value.doubleValue, 0.0);
    EXPECT_LE(value.doubleValue, 100.0);
    vhb::PdhCloseQuery(query);
}

// The fall-back of a system in another language: the English call takes the
// English path.
TEST(WinPdh, TheEnglishCallTakesAnEnglishPath) {
    vhb::PDH_HQUERY query = nullptr;
    ASSERT_EQ(vhb::PdhOpenQueryA(nullptr, 0, &query), 0);
    vhb::PDH_HCOUNTER counter = nullptr;
    EXPECT_EQ(
        vhb::PdhAddEnglishCounterA(query, "\\Processor(_Total)\\% Processor Time", 0, &counter), 0);
    EXPECT_NE(counter, nullptr);
    vhb::PdhCloseQuery(query);
}

TEST(WinPdh, MissingLibraryIsNamedAtTheFirstCall) {
    if (!vhb::wintest::runningUnderWine())
        GTEST_SKIP() << "needs Wine to switch pdh off";
    EXPECT_EQ(
        vhb::wintest::runChildWithoutLibrary("pdh", "WinPdhChild.OpenQueryRaisesLibraryNotFound"),
        0);
}

// Runs only in the child started above, in which pdh.dll cannot be loaded.
TEST(WinPdhChild, OpenQueryRaisesLibraryNotFound) {
    if (vhb::wintest::disabledLibraryOfThisChild() != "pdh")
        GTEST_SKIP() << "child only";
    vhb::PDH_HQUERY query = reinterpret_cast<vhb::PDH_HQUERY>(std::uintptr_t{0x5678});
    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt);  // the failed binding is tried again and fails again
        try {
            vhb::PdhOpenQueryA(nullptr, 0, &query);
            FAIL() << "no error raised";
        } catch (const vhb::EJwaLoadLibraryError& e) {
            EXPECT_STREQ(e.what(), "Library not found: pdh.dll");
        }
    }
    // The error comes before the function runs: the caller's handle is untouched.
    EXPECT_EQ(query, reinterpret_cast<vhb::PDH_HQUERY>(std::uintptr_t{0x5678}));
}

}  // namespace
