// The one-instance lock: only a live instance of this user holds it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/instance_lock.h"

namespace fs = std::filesystem;
using vhb::platform::InstanceLock;
using Outcome = InstanceLock::Outcome;

namespace {

constexpr char kKey[] = "vesk-hb-test-0123456789";

struct InstanceLockTest : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("vhb-lock-" + std::to_string(::getpid()));
    fs::path runtime = dir / "run";
    fs::path settings = dir / "app";
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(runtime);
        fs::create_directories(settings);
        fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("XDG_RUNTIME_DIR");
        fs::remove_all(dir);
    }
    // A child that takes the lock, says so through a pipe and waits.
    pid_t childHolding() {
        int ready[2];
        if (::pipe(ready) != 0)
            return -1;
        const pid_t child = ::fork();
        if (child == 0) {
            InstanceLock lock;
            const char c = lock.acquire(kKey, settings) == Outcome::Acquired ? 'y' : 'n';
            (void)!::write(ready[1], &c, 1);
            ::pause();
            ::_exit(0);
        }
        char c = 0;
        (void)!::read(ready[0], &c, 1);
        ::close(ready[0]);
        ::close(ready[1]);
        return c == 'y' ? child : -1;
    }
};

TEST_F(InstanceLockTest, HeldOnlyWhileItsHolderLives) {
    {
        InstanceLock first;
        ASSERT_EQ(first.acquire(kKey, settings), Outcome::Acquired);
        EXPECT_EQ(first.channel(), runtime / (std::string(kKey) + ".sock"));
        InstanceLock second;
        EXPECT_EQ(second.acquire(kKey, settings), Outcome::HeldElsewhere);
        InstanceLock other;
        EXPECT_EQ(other.acquire("vesk-hb-test-other", settings), Outcome::Acquired);
    }
    // A holder killed as a crash ends it; then a lock file that names this
    // very process, as a stale lock of a reused process number would.
    const pid_t child = childHolding();
    ASSERT_GT(child, 0);
    InstanceLock during;
    EXPECT_EQ(during.acquire(kKey, settings), Outcome::HeldElsewhere);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    std::ofstream(runtime / (std::string(kKey) + ".lock")) << ::getpid() << "\nvesk-hb\n";
    InstanceLock after;
    EXPECT_EQ(after.acquire(kKey, settings), Outcome::Acquired);
}

TEST_F(InstanceLockTest, OnlyAPrivateRuntimeFolderIsUsed) {
    // A runtime folder that others may write into is not used; the lock goes
    // beside the settings file.
    fs::permissions(runtime, fs::perms::all | fs::perms::sticky_bit, fs::perm_options::replace);
    InstanceLock lock;
    ASSERT_EQ(lock.acquire(kKey, settings), Outcome::Acquired);
    EXPECT_EQ(lock.channel(), settings / (std::string(kKey) + ".sock"));
    EXPECT_TRUE(fs::exists(settings / (std::string(kKey) + ".lock")));
    EXPECT_FALSE(fs::exists(runtime / (std::string(kKey) + ".lock")));
}

TEST_F(InstanceLockTest, AnotherAccountsLockDoesNotKeepItDown) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "making a file of another account needs root";
    // Another account's file at the lock's place, locked by that account's
    // process, in a folder it may write (beside the settings file).
    ::unsetenv("XDG_RUNTIME_DIR");
    fs::permissions(settings, fs::perms::all | fs::perms::sticky_bit, fs::perm_options::replace);
    const fs::path planted = settings / (std::string(kKey) + ".lock");
    std::ofstream(planted) << "1\n";
    ASSERT_EQ(::chown(planted.c_str(), 65534, 65534), 0);
    const int fd = ::open(planted.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    InstanceLock lock;
    EXPECT_NE(lock.acquire(kKey, settings), Outcome::HeldElsewhere);
    ::close(fd);
}

}  // namespace
