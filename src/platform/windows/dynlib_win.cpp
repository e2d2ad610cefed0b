#include <windows.h>

#include "platform/dynlib.h"

namespace vhb::platform {

void* findLoadedLibrary(const char* name) {
    // Does not raise the load count.
    return reinterpret_cast<void*>(GetModuleHandleA(name));
}

void* loadLibrary(const char* name) {
    // The system's search order looks in the program's own folder first.
    return reinterpret_cast<void*>(LoadLibraryA(name));
}

void* findFunction(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace vhb::platform
