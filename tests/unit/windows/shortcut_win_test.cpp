// The startup shortcut as a shell link in the current user's Startup folder,
// read back through the shell's own link object.
#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/shortcut.h"
#include "win_test_support.h"

namespace fs = std::filesystem;

namespace {

// shell32 is bound by name here, not imported: the same program also runs as
// a child in which shell32 cannot be loaded at all.
std::string startupFolder() {
    using GetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
    const HMODULE shell32 = LoadLibraryA("shell32.dll");
    if (shell32 == nullptr)
        return "";
    const auto getFolderPath = reinterpret_cast<GetFolderPathFn>(
        reinterpret_cast<void*>(GetProcAddress(shell32, "SHGetFolderPathA")));
    char path[MAX_PATH + 1] = {};
    if (getFolderPath == nullptr || FAILED(getFolderPath(nullptr, CSIDL_STARTUP, nullptr, 0, path)))
        return "";
    return path;
}

struct LinkContent {
    std::string target;
    std::string workingDirectory;
    std::string arguments;
};

// Loads a link file and reads what it holds, or gives false.
bool readLink(const std::string& linkPath, LinkContent& out) {
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* file = nullptr;
    bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
    if (ok) {
        const std::wstring wide(linkPath.begin(), linkPath.end());
        ok = SUCCEEDED(file->Load(wide.c_str(), STGM_READ));
        char buffer[MAX_PATH + 1] = {};
        if (ok && SUCCEEDED(link->GetPath(buffer, sizeof buffer, nullptr, SLGP_RAWPATH)))
            out.target = buffer;
        buffer[0] = '\0';
        if (ok && SUCCEEDED(link->GetWorkingDirectory(buffer, sizeof buffer)))
            out.workingDirectory = buffer;
        buffer[0] = '\0';
        if (ok && SUCCEEDED(link->GetArguments(buffer, sizeof buffer)))
            out.arguments = buffer;
        file->Release();
    }
    link->Release();
    return ok;
}

// The names in the Startup folder that begin with "Vesk-HB".
std::vector<std::string> ourEntries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("Vesk-HB", 0) == 0)
            names.push_back(name);
    }
    return names;
}

class WinShortcut : public ::testing::Test {
protected:
    void SetUp() override {
        // The program starts the component-object runtime on its GUI thread.
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        folder_ = startupFolder();
        ASSERT_FALSE(folder_.empty());
        std::error_code ec;
        fs::create_directories(folder_, ec);
        linkPath_ = folder_ + "\\Vesk-HB.lnk";
        fs::remove(linkPath_, ec);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove(linkPath_, ec);
        CoUninitialize();
    }

    std::string folder_;
    std::string linkPath_;
};

TEST_F(WinShortcut, LinkNamesTheProgramAndItsFolder) {
    const std::string exe = vhb::wintest::programPath();
    vhb::platform::CreateShortcut(exe, "Vesk-HB", vhb::platform::kStartupFolder);

    ASSERT_TRUE(fs::exists(linkPath_)) << linkPath_;
    LinkContent link;
    ASSERT_TRUE(readLink(linkPath_, link));
    EXPECT_EQ(link.target, exe);
    EXPECT_EQ(link.workingDirectory, exe.substr(0, exe.find_last_of("\\:") + 1));
    EXPECT_EQ(link.workingDirectory.back(), '\\');
    EXPECT_EQ(link.arguments, "");
}

TEST_F(WinShortcut, SecondCallReplacesTheLink) {
    const std::string exe = vhb::wintest::programPath();
    vhb::platform::CreateShortcut(exe, "Vesk-HB", vhb::platform::kStartupFolder);
    // The second request names another program of the same folder.
    const std::string other = exe.substr(0, exe.find_last_of('\\') + 1) + "unit_win_ini.exe";
    vhb::platform::CreateShortcut(other, "Vesk-HB", vhb::platform::kStartupFolder);

    EXPECT_EQ(ourEntries(folder_), std::vector<std::string>{"Vesk-HB.lnk"});
    LinkContent link;
    ASSERT_TRUE(readLink(linkPath_, link));
    EXPECT_EQ(link.target, other);
}

// Folders with no file-system path, or none at all, end the routine quietly.
TEST_F(WinShortcut, FolderWithoutPathMakesNothingAndRaisesNothing) {
    const std::string exe = vhb::wintest::programPath();
    EXPECT_NO_THROW(vhb::platform::CreateShortcut(exe, "Vesk-HB", CSIDL_DRIVES));
    // No folder has this number (the shell looks at the low byte only).
    EXPECT_NO_THROW(vhb::platform::CreateShortcut(exe, "Vesk-HB", 0xFE));
    EXPECT_FALSE(fs::exists(linkPath_));
}

}  // namespace

namespace {

// The runtime the application starts on its GUI thread: apartment-threaded,
// what the shell link needs, and given back at its end. A fresh thread has
// no runtime, as the GUI thread has none under a platform plugin that does
// not start it.
TEST(WinComponentRuntime, StartsAnApartmentForTheShortcutAndEndsIt) {
    struct Seen {
        HRESULT before = S_OK;
        HRESULT during = E_FAIL;
        APTTYPE type = APTTYPE_CURRENT;
        bool linkMade = false;
        std::string errorWithout;
        HRESULT after = S_OK;
    } seen;
    const std::string exe = vhb::wintest::programPath();
    std::thread gui([&] {
        APTTYPE type;
        APTTYPEQUALIFIER qualifier;
        seen.before = CoGetApartmentType(&type, &qualifier);
        try {
            vhb::platform::CreateShortcut(exe, "Vesk-HB-apartment", vhb::platform::kStartupFolder);
        } catch (const std::exception& e) {
            seen.errorWithout = e.what();
        }
        {
            const vhb::platform::ComponentRuntime runtime;
            seen.during = CoGetApartmentType(&seen.type, &qualifier);
            vhb::platform::CreateShortcut(exe, "Vesk-HB-apartment", vhb::platform::kStartupFolder);
            const std::string link = startupFolder() + "\\Vesk-HB-apartment.lnk";
            std::error_code ec;
            seen.linkMade = fs::exists(link, ec);
            fs::remove(link, ec);
        }
        seen.after = CoGetApartmentType(&type, &qualifier);
    });
    gui.join();
    EXPECT_EQ(seen.before, CO_E_NOTINITIALIZED);
    EXPECT_FALSE(seen.errorWithout.empty()) << "a shortcut without the runtime must fail";
    EXPECT_EQ(seen.during, S_OK);
    EXPECT_TRUE(seen.type == APTTYPE_STA || seen.type == APTTYPE_MAINSTA) << seen.type;
    EXPECT_TRUE(seen.linkMade);
    EXPECT_EQ(seen.after, CO_E_NOTINITIALIZED);
}

}  // namespace
