// Binding at the first call against the system's own loader.
#include <objidl.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "net/latebind.h"
#include "win_test_support.h"

namespace vhb {
// The shell allocator's bound stub, offered by the shortcut's platform file.
HRESULT WINAPI SHGetMalloc(IMalloc** ppMalloc);
}  // namespace vhb

namespace {

template <typename E>
std::string bindError(void*& slot, const char* lib, const char* fn) {
    try {
        vhb::BindProcedure(slot, lib, fn);
    } catch (const E& e) {
        return e.what();
    }
    return "";
}

TEST(WinBindProcedure, FirstCallBindsAndTheResultComesBack) {
    void* slot = nullptr;
    vhb::BindProcedure(slot, "kernel32.dll", "MulDiv");
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot,
              reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "MulDiv")));
    // Three arguments in, the function's own result out.
    using MulDivFn = int(WINAPI*)(int, int, int);
    EXPECT_EQ(reinterpret_cast<MulDivFn>(slot)(10, 6, 4), 15);
    EXPECT_EQ(reinterpret_cast<MulDivFn>(slot)(7, 3, 0), -1);
}

TEST(WinBindProcedure, SecondCallDoesNoLookUp) {
    void* slot = nullptr;
    vhb::BindProcedure(slot, "kernel32.dll", "GetCurrentProcessId");
    void* const first = slot;
    // Another function's name: the filled slot is kept, nothing is looked up.
    vhb::BindProcedure(slot, "kernel32.dll", "GetCurrentThreadId");
    EXPECT_EQ(slot, first);
    // Names that could not be bound raise nothing once the slot is filled.
    EXPECT_NO_THROW(vhb::BindProcedure(slot, "vhb_no_such_library.dll", "Nothing"));
    EXPECT_EQ(slot, first);
    using IdFn = DWORD(WINAPI*)();
    EXPECT_EQ(reinterpret_cast<IdFn>(slot)(), GetCurrentProcessId());
}

TEST(WinBindProcedure, LibraryNotLoadedYetIsLoadedAndStaysLoaded) {
    if (GetModuleHandleA("version.dll") != nullptr)
        GTEST_SKIP() << "version.dll already loaded";
    void* slot = nullptr;
    vhb::BindProcedure(slot, "version.dll", "GetFileVersionInfoSizeA");
    ASSERT_NE(slot, nullptr);
    EXPECT_NE(GetModuleHandleA("version.dll"), nullptr);
}

TEST(WinBindProcedure, MissingLibraryNamesIt) {
    void* slot = nullptr;
    EXPECT_EQ(bindError<vhb::EJwaLoadLibraryError>(slot, "vhb_no_such_library.dll", "Anything"),
              "Library not found: vhb_no_such_library.dll");
    EXPECT_EQ(slot, nullptr);
}

TEST(WinBindProcedure, MissingFunctionNamesLibraryAndFunction) {
    void* slot = nullptr;
    EXPECT_EQ(bindError<vhb::EJwaGetProcAddressError>(slot, "kernel32.dll", "VhbNoSuchFunction"),
              "Function not found: kernel32.dll.VhbNoSuchFunction");
    EXPECT_EQ(slot, nullptr);
    // Both errors are the program's general error, so the error report shows them.
    try {
        vhb::BindProcedure(slot, "kernel32.dll", "VhbNoSuchFunction");
        FAIL() << "no error raised";
    } catch (const vhb::Exception& e) {
        EXPECT_NE(dynamic_cast<const vhb::EJwaError*>(&e), nullptr);
    }
}

// A library that appears after a failed binding is found by the next call:
// the failure left the slot empty. The bare name is found in the program's
// own folder.
TEST(WinBindProcedure, FailedBindingIsTriedAgain) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(vhb::wintest::programPath()).parent_path();
    const std::string name = "vhb_probe_" + std::to_string(GetCurrentProcessId()) + ".dll";
    const fs::path copy = folder / name;
    std::error_code ec;
    fs::remove(copy, ec);

    void* slot = nullptr;
    EXPECT_EQ(bindError<vhb::EJwaLoadLibraryError>(slot, name.c_str(), "VhbProbeTwice"),
              "Library not found: " + name);
    ASSERT_TRUE(fs::copy_file(folder / VHB_WIN_PROBE_DLL, copy, ec)) << ec.message();
    vhb::BindProcedure(slot, name.c_str(), "VhbProbeTwice");
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(reinterpret_cast<int(WINAPI*)(int)>(slot)(21), 42);
    // Loaded for good, so the file stays in use; the folder is the build's.
    FreeLibrary(GetModuleHandleA(name.c_str()));
    fs::remove(copy, ec);
}

TEST(WinIsFailureCode, AgreesWithTheSystemsFailedRule) {
    const int32_t codes[] = {0,
                             1,
                             S_FALSE,
                             0x7FFFFFFF,
                             static_cast<int32_t>(0x80000000u),
                             E_FAIL,
                             E_NOINTERFACE,
                             REGDB_E_CLASSNOTREG,
                             -1};
    for (int32_t code : codes) {
        SCOPED_TRACE(code);
        EXPECT_EQ(vhb::IsFailureCode(code), FAILED(code) ? 0xFFFFFFFFu : 0u);
    }
}

TEST(WinShellAllocatorStub, GivesTheShellsAllocator) {
    IMalloc* allocator = reinterpret_cast<IMalloc*>(std::uintptr_t{0x1234});
    ASSERT_EQ(vhb::SHGetMalloc(&allocator), S_OK);
    ASSERT_NE(allocator, nullptr);
    void* block = allocator->Alloc(16);
    EXPECT_NE(block, nullptr);
    allocator->Free(block);
    allocator->Release();
}

TEST(WinShellAllocatorStub, NullsItsOutParameterWhenShell32CannotBeBound) {
    if (!vhb::wintest::runningUnderWine())
        GTEST_SKIP() << "needs Wine to switch shell32 off";
    EXPECT_EQ(vhb::wintest::runChildWithoutLibrary(
                  "shell32", "WinShellAllocatorStubChild.BindingFailsAndOutParameterIsNull"),
              0);
}

// Runs only in the child started above, in which shell32.dll cannot load.
TEST(WinShellAllocatorStubChild, BindingFailsAndOutParameterIsNull) {
    if (vhb::wintest::disabledLibraryOfThisChild() != "shell32")
        GTEST_SKIP() << "child only";
    IMalloc* allocator = reinterpret_cast<IMalloc*>(std::uintptr_t{0x1234});
    try {
        vhb::SHGetMalloc(&allocator);
        FAIL() << "no error raised";
    } catch (const vhb::EJwaLoadLibraryError& e) {
        EXPECT_STREQ(e.what(), "Library not found: shell32.dll");
    }
    EXPECT_EQ(allocator, nullptr);
}

}  // namespace
