#include "platform/instance_lock.h"

#include <windows.h>

namespace vhb::platform {

InstanceLock::~InstanceLock() {
    if (handle_ != nullptr)
        ::CloseHandle(static_cast<HANDLE>(handle_));
}

InstanceLock::Outcome InstanceLock::acquire(const std::string& key, const std::filesystem::path&) {
    // A named mutex in the session's own namespace: the system closes it with
    // the process, and another session's or account's object is another one.
    channel_ = key;
    const std::wstring name = L"Local\\" + std::wstring(key.begin(), key.end());
    ::SetLastError(ERROR_SUCCESS);
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
    if (mutex == nullptr)
        // Access denied: an object of another account's that proves nothing.
        return Outcome::Unavailable;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return Outcome::HeldElsewhere;
    }
    handle_ = mutex;
    return Outcome::Acquired;
}

}  // namespace vhb::platform
