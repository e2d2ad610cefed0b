#pragma once
// Finding and loading libraries by name, one implementation per OS.
namespace vhb::platform {

// The handle of a library that is already in the process, or null; does not
// load it and does not raise its load count.
void* findLoadedLibrary(const char* name);
// Loads a library by name (a bare name is also looked for in the program's
// own folder first); null on failure. Never unloaded.
void* loadLibrary(const char* name);
// The address of a function in a library, or null.
void* findFunction(void* library, const char* name);

}  // namespace vhb::platform
