// The startup entry as a shell link in the current user's Startup folder,
// made through the shell's link object; the folder functions of shell32.dll
// are bound at their first call.
#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/exception.h"
#include "net/latebind.h"
#include "platform/shortcut.h"
#include "platform/system.h"

namespace vhb {

namespace {

// The platform's published identifiers, spelt out here so that the program
// needs no identifier library.
constexpr CLSID kClsidShellLink = {
    0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIidUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIidShellLinkW = {
    0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIidPersistFile = {
    0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// In-process server or local server.
constexpr DWORD kClassContext = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER;
constexpr const char* kShell32 = "shell32.dll";

// One address slot per bound function, empty until its first call.
void* g_SHGetMalloc = nullptr;
void* g_SHGetSpecialFolderLocation = nullptr;
void* g_SHGetPathFromIDList = nullptr;

using SHGetMallocFn = HRESULT(WINAPI*)(IMalloc**);
using SHGetSpecialFolderLocationFn = HRESULT(WINAPI*)(HWND, int, LPITEMIDLIST*);
using SHGetPathFromIDListWFn = BOOL(WINAPI*)(LPCITEMIDLIST, LPWSTR);

}  // namespace

// The late-bound shell functions, each with the system function's signature.
HRESULT WINAPI SHGetMalloc(IMalloc** ppMalloc) {
    // A caller whose call fails in the binding is left with no allocator.
    if (ppMalloc)
        *ppMalloc = nullptr;
    BindProcedure(g_SHGetMalloc, kShell32, "SHGetMalloc");
    return reinterpret_cast<SHGetMallocFn>(g_SHGetMalloc)(ppMalloc);
}

HRESULT WINAPI SHGetSpecialFolderLocation(HWND hwndOwner, int nFolder, LPITEMIDLIST* ppidl) {
    BindProcedure(g_SHGetSpecialFolderLocation, kShell32, "SHGetSpecialFolderLocation");
    return reinterpret_cast<SHGetSpecialFolderLocationFn>(g_SHGetSpecialFolderLocation)(
        hwndOwner, nFolder, ppidl);
}

// The UTF-16 variant: a Startup folder under a user name outside the 8-bit
// code page has no 8-bit path.
BOOL WINAPI SHGetPathFromIDListW(LPCITEMIDLIST pidl, LPWSTR pszPath) {
    BindProcedure(g_SHGetPathFromIDList, kShell32, "SHGetPathFromIDListW");
    return reinterpret_cast<SHGetPathFromIDListWFn>(g_SHGetPathFromIDList)(pidl, pszPath);
}

namespace platform {

namespace {

// Releases an interface when the routine ends, also when an error ends it.
template <class T>
struct ComRef {
    T* p = nullptr;
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (p)
            p->Release();
    }
    void** out() { return reinterpret_cast<void**>(&p); }
};

// Frees the folder's item list with the shell's allocator.
struct ItemList {
    IMalloc* allocator;
    LPITEMIDLIST items = nullptr;
    explicit ItemList(IMalloc* a) : allocator(a) {}
    ItemList(const ItemList&) = delete;
    ItemList& operator=(const ItemList&) = delete;
    ~ItemList() {
        if (items && allocator)
            allocator->Free(items);
    }
};

// The system's message for a result code, on one line without its final
// full stop; empty where the system has none.
std::string systemMessage(HRESULT code) {
    char buffer[256];
    DWORD n = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
        nullptr, static_cast<DWORD>(code), 0, buffer, sizeof buffer, nullptr);
    while (n > 0 && (static_cast<unsigned char>(buffer[n - 1]) <= ' ' || buffer[n - 1] == '.')) {
        --n;
    }
    return std::string(buffer, n);
}

[[noreturn]] void raiseOleError(HRESULT code) {
    std::string message = systemMessage(code);
    if (message.empty()) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%.8x", static_cast<unsigned>(code));
        message = systemTextFromUtf8("OLE エラー ") + hex;
    }
    throw Exception(message);
}

// UTF-16 from the system's 8-bit code page, as the save wants its file name.
std::wstring wideFromAnsi(const std::string& text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
    wide.resize(static_cast<size_t>(n - 1));
    return wide;
}

}  // namespace

ComponentRuntime::ComponentRuntime() {
    // Also S_FALSE, where the thread had it already: every success is undone
    // once. A thread already in the other model keeps it.
    started_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

ComponentRuntime::~ComponentRuntime() {
    if (started_)
        CoUninitialize();
}

void CreateShortcut(const std::filesystem::path& exePath, const std::string& linkName, int folder) {
    ComRef<IUnknown> object;
    const HRESULT created =
        CoCreateInstance(kClsidShellLink, nullptr, kClassContext, kIidUnknown, object.out());
    if (IsFailureCode(created))
        raiseOleError(created);
    ComRef<IShellLinkW> link;
    ComRef<IPersistFile> file;
    if (IsFailureCode(object.p->QueryInterface(kIidShellLinkW, link.out())) ||
        IsFailureCode(object.p->QueryInterface(kIidPersistFile, file.out()))) {
        throw Exception(systemMessage(E_NOINTERFACE));
    }

    // From here on a folder that cannot be had ends the routine quietly.
    ComRef<IMalloc> allocator;
    if (IsFailureCode(vhb::SHGetMalloc(&allocator.p)) || !allocator.p)
        return;
    ItemList list(allocator.p);
    if (IsFailureCode(vhb::SHGetSpecialFolderLocation(nullptr, folder, &list.items))) {
        list.items = nullptr;  // not ours to free after a failure
        return;
    }
    wchar_t path[MAX_PATH + 1] = {};
    if (!vhb::SHGetPathFromIDListW(list.items, path))
        return;

    const std::wstring& exe = exePath.native();
    link.p->SetPath(exe.c_str());
    // The folder with its final separator, as the 8-bit rule gives it.
    link.p->SetWorkingDirectory(exe.substr(0, exe.find_last_of(L"\\:") + 1).c_str());
    const std::wstring linkPath = std::wstring(path) + L"\\" + wideFromAnsi(linkName) + L".lnk";
    // An existing link of that name is replaced; a failed save shows nothing.
    file.p->Save(linkPath.c_str(), FALSE);
}

}  // namespace platform

}  // namespace vhb
