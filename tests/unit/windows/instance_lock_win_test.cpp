// The one-instance lock on Windows: a mutex that only a live instance holds.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/instance_lock.h"
#include "win_test_support.h"

using vhb::platform::InstanceLock;
using Outcome = InstanceLock::Outcome;

namespace {

constexpr char kKey[] = "vesk-hb-test-0123456789";

// Run as a child by the test below: takes the lock and waits to be killed.
TEST(WinInstanceLock, ChildHoldsTheLock) {
    if (GetEnvironmentVariableA("VHB_HOLD_LOCK", nullptr, 0) == 0)
        GTEST_SKIP() << "only as the child of HeldOnlyWhileItsHolderLives";
    InstanceLock lock;
    ASSERT_EQ(lock.acquire(kKey, {}), Outcome::Acquired);
    Sleep(INFINITE);
}

TEST(WinInstanceLock, HeldOnlyWhileItsHolderLives) {
    {
        InstanceLock first;
        ASSERT_EQ(first.acquire(kKey, {}), Outcome::Acquired);
        InstanceLock second;
        EXPECT_EQ(second.acquire(kKey, {}), Outcome::HeldElsewhere);
    }
    // A holder that is killed, as a crash ends it.
    SetEnvironmentVariableA("VHB_HOLD_LOCK", "1");
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(vhb::wintest::startTestChild(vhb::wintest::programPath(),
                                             "WinInstanceLock.ChildHoldsTheLock", false, child));
    SetEnvironmentVariableA("VHB_HOLD_LOCK", nullptr);
    const std::wstring name = L"Local\\" + std::wstring(kKey, kKey + sizeof kKey - 1);
    bool held = false;
    for (int i = 0; i < 300 && !held; ++i) {
        if (const HANDLE h = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str())) {
            CloseHandle(h);
            held = true;
        } else {
            Sleep(50);
        }
    }
    EXPECT_TRUE(held);
    InstanceLock during;
    EXPECT_EQ(during.acquire(kKey, {}), Outcome::HeldElsewhere);
    TerminateProcess(child.hProcess, 3);
    WaitForSingleObject(child.hProcess, 10000);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    InstanceLock after;
    EXPECT_EQ(after.acquire(kKey, {}), Outcome::Acquired);
}

}  // namespace
