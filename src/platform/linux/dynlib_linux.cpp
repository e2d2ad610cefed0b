#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <string>

#include "platform/dynlib.h"

namespace vhb::platform {

namespace {

bool isBareName(const char* name) {
    return std::strchr(name, '/') == nullptr;
}

// The program's own folder with a trailing "/", or empty when it cannot be
// found out.
std::string programFolder() {
    std::array<char, 4096> path{};
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0)
        return {};
    const std::string exe(path.data(), static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
}

}  // namespace

void* findLoadedLibrary(const char* name) {
    void* handle = dlopen(name, RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr && isBareName(name)) {
        const std::string folder = programFolder();
        if (!folder.empty())
            handle = dlopen((folder + name).c_str(), RTLD_NOW | RTLD_NOLOAD);
    }
    // RTLD_NOLOAD still counts a reference; give it back so that only the
    // library's own loader holds it. The handle stays valid while the
    // library is loaded.
    if (handle != nullptr)
        dlclose(handle);
    return handle;
}

void* loadLibrary(const char* name) {
    // The project's own modules lie beside the program, outside the
    // system's search path.
    if (isBareName(name)) {
        const std::string folder = programFolder();
        if (!folder.empty()) {
            const std::string local = folder + name;
            if (access(local.c_str(), F_OK) == 0) {
                if (void* handle = dlopen(local.c_str(), RTLD_NOW))
                    return handle;
            }
        }
    }
    return dlopen(name, RTLD_NOW);
}

void* findFunction(void* library, const char* name) {
    return dlsym(library, name);
}

}  // namespace vhb::platform
