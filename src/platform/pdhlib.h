#pragma once
// The library that offers the performance-counter functions: the system's
// own on Windows, the project's module over /proc on Linux.
namespace vhb::platform {

const char* pdhLibraryName();

}  // namespace vhb::platform
