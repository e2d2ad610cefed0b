#include "net/latebind.h"

#include "platform/dynlib.h"

namespace vhb {

void BindProcedure(void*& slot, const char* libraryName, const char* functionName) {
    // Every call after the first successful one costs this one test.
    if (slot != nullptr)
        return;
    // A library already in the process is used without loading it again.
    void* library = platform::findLoadedLibrary(libraryName);
    if (library == nullptr)
        library = platform::loadLibrary(libraryName);
    if (library == nullptr) {
        throw EJwaLoadLibraryError("Library not found: " + std::string(libraryName));
    }
    void* address = platform::findFunction(library, functionName);
    if (address == nullptr) {
        throw EJwaGetProcAddressError("Function not found: " + std::string(libraryName) + "." +
                                      functionName);
    }
    slot = address;
}

uint32_t IsFailureCode(int32_t code) {
    return code < 0 ? 0xFFFFFFFFu : 0u;
}

}  // namespace vhb
