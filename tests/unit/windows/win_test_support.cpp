#include "win_test_support.h"

#include <windows.h>

#include <filesystem>
#include <vector>

namespace vhb::wintest {

bool runningUnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string programPath() {
    char buffer[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return std::string(buffer, n);
}

namespace {

std::string environmentValue(const char* name) {
    const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0)
        return std::string();
    std::string value(size, '\0');
    const DWORD n = GetEnvironmentVariableA(name, value.data(), size);
    value.resize(n < size ? n : 0);
    return value;
}

// Sets an environment variable for the time of a child's start.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value)
        : name_(name), old_(environmentValue(name)) {
        SetEnvironmentVariableA(name, value.c_str());
    }
    ~ScopedVariable() { SetEnvironmentVariableA(name_, old_.empty() ? nullptr : old_.c_str()); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    std::string old_;
};

}  // namespace

bool startTestChild(const std::string& program, const std::string& gtestFilter, bool inherit,
                    PROCESS_INFORMATION& process) {
    std::string command(1, '"');
    command.append(program).append("\" --gtest_filter=").append(gtestFilter);
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, inherit, 0, nullptr, nullptr,
                          &startup, &process) != FALSE;
}

int runChildWithoutLibrary(const char* dllBaseName, const std::string& gtestFilter) {
    namespace fs = std::filesystem;
    // Wine reads library overrides per program name from its registry; a copy
    // of this program under a name of its own gets the library switched off
    // (an empty value), and nothing else in the prefix is touched.
    const fs::path self(programPath());
    const std::string copyName =
        self.stem().string() + "_no_" + dllBaseName + self.extension().string();
    // In the temporary folder, so that no stray copy is left among the tests.
    const fs::path copy = fs::temp_directory_path() / copyName;
    std::error_code ec;
    if (!fs::copy_file(self, copy, fs::copy_options::overwrite_existing, ec))
        return -1;

    const std::string appKey = "Software\\Wine\\AppDefaults\\" + copyName;
    const std::string overridesKey = appKey + "\\DllOverrides";
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, overridesKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        fs::remove(copy, ec);
        return -1;
    }
    RegSetValueExA(key, dllBaseName, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    RegCloseKey(key);

    DWORD code = static_cast<DWORD>(-1);
    {
        ScopedVariable marker("VHB_DISABLED_DLL", dllBaseName);
        // The copy lies apart from the DLLs beside this program (the C++
        // runtime where it is not linked in): it finds them through PATH.
        ScopedVariable path("PATH", self.parent_path().string() + ";" + environmentValue("PATH"));
        PROCESS_INFORMATION process{};
        if (startTestChild(copy.string(), gtestFilter, true, process)) {
            WaitForSingleObject(process.hProcess, 60000);
            GetExitCodeProcess(process.hProcess, &code);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, appKey.c_str());
    fs::remove(copy, ec);
    return static_cast<int>(code);
}

std::string disabledLibraryOfThisChild() {
    return environmentValue("VHB_DISABLED_DLL");
}

}  // namespace vhb::wintest
