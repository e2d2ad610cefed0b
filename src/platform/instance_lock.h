#pragma once
// One instance per program file. The lock is an object that the system
// releases when its process ends, kept where only this user can reach it, so
// nothing a dead instance or another account leaves behind keeps the program
// down.
#include <filesystem>
#include <string>

namespace vhb::platform {

class InstanceLock {
public:
    enum class Outcome {
        Acquired,       // this process is the instance
        HeldElsewhere,  // a running instance of this user holds it
        Unavailable,    // no lock can be had here: run without one
    };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // `key`: letters, digits and '-' only, the same for every start of one
    // program file. `settingsFolder`: where the lock goes when the user has
    // no private runtime folder (only where the system keeps files).
    Outcome acquire(const std::string& key, const std::filesystem::path& settingsFolder);

    // The hand-over channel that belongs to the lock, valid after acquire():
    // a socket path in the lock's private folder, or a pipe name.
    const std::filesystem::path& channel() const { return channel_; }

private:
    std::filesystem::path channel_;
    void* handle_ = nullptr;  // the system's object, held for the whole run
};

}  // namespace vhb::platform
