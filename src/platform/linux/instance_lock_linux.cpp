#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace vhb::platform {

namespace {

// A folder of this user's that no one else may write into.
bool privateFolder(const char* dir) {
    struct stat st {};
    return dir != nullptr && dir[0] == '/' && ::stat(dir, &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

int fdOf(void* handle) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(handle)) - 1;
}
void* handleOf(int fd) {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(fd) + 1);
}

}  // namespace

InstanceLock::~InstanceLock() {
    // Closing the descriptor releases the lock; the file stays, so that a
    // start racing this exit never locks a second file of the same name.
    if (handle_ != nullptr)
        ::close(fdOf(handle_));
}

InstanceLock::Outcome InstanceLock::acquire(const std::string& key,
                                            const std::filesystem::path& settingsFolder) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::filesystem::path folder =
        privateFolder(runtime) ? std::filesystem::path(runtime) : settingsFolder;
    channel_ = folder / (key + ".sock");
    const std::filesystem::path file = folder / (key + ".lock");
    // flock() belongs to the open file: the system drops it with the process,
    // whatever the file says, so a crash leaves nothing that counts.
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return Outcome::Unavailable;
    struct stat st {};
    // A file that another account made proves nothing about this user's
    // instances.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        return Outcome::Unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        return err == EWOULDBLOCK ? Outcome::HeldElsewhere : Outcome::Unavailable;
    }
    handle_ = handleOf(fd);
    return Outcome::Acquired;
}

}  // namespace vhb::platform
