#pragma once
// Helpers of the Windows tests: telling Wine apart, and running one test of
// this program again in a child process in which a system library is
// switched off, so that binding it must fail.
#include <windows.h>

#include <string>

namespace vhb::wintest {

// True when the program runs under Wine rather than on Windows itself.
bool runningUnderWine();

// The full path of the running test program.
std::string programPath();

// Starts `program` with only the tests of `gtestFilter`, the handles of this
// process inherited or not; false where it cannot be started.
bool startTestChild(const std::string& program, const std::string& gtestFilter, bool inherit,
                    PROCESS_INFORMATION& process);
// Runs this program with `gtestFilter` in a child process in which the
// library `dllBaseName` (e.g. "pdh") cannot be loaded, and gives the child's
// exit code, or -1 where the child could not be started. Needs Wine's
// per-program library overrides; the child sees VHB_DISABLED_DLL=dllBaseName.
int runChildWithoutLibrary(const char* dllBaseName, const std::string& gtestFilter);

// The library that the current process is the child for, or "".
std::string disabledLibraryOfThisChild();

}  // namespace vhb::wintest
