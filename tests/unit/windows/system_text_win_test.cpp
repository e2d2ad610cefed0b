// The program's UTF-8 texts in the ANSI code page: the write error of the
// settings file and the component-object error show in the system's own
// encoding. The rows that apply are those of the code page the test runs in
// (scripts/windows runs it in a Japanese one too).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/system_text.h"
#include "platform/system.h"
#include "settings/ini_file.h"

namespace {

struct TextCase {
    UINT codePage;
    const char* utf8;
    std::string expected;
};

const TextCase kCases[] = {
    {932, "OLE エラー ", "OLE \x83G\x83\x89\x81[ "},
    {932, " に書き込めません", " \x82\xc9\x8f\x91\x82\xab\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1"},
    {1252, "OLE エラー ", "OLE ??? "},
    {1252, " に書き込めません", " ????????"},
    {0, "C:\\Tools\\vesk-hb.Ini", "C:\\Tools\\vesk-hb.Ini"},
    {0, "", ""},
};

TEST(WinSystemText, UnicodeTextsInTheAnsiCodePage) {
    int checked = 0;
    for (const auto& c : kCases) {
        if (c.codePage != 0 && c.codePage != GetACP())
            continue;
        EXPECT_EQ(vhb::platform::systemTextFromUtf8(c.utf8), c.expected) << c.utf8;
        ++checked;
    }
    EXPECT_GE(checked, 2) << "code page " << GetACP();
}

TEST(WinSystemText, WriteErrorJoinsTheAnsiPathToAnAnsiText) {
    vhb::setSystemTextConverter(vhb::platform::systemTextFromUtf8);
    const std::string path = "C:\\Tools\\vesk-hb.Ini";
    const std::string message = vhb::IniWriteError(path).what();
    vhb::setSystemTextConverter(nullptr);
    EXPECT_EQ(message, path + vhb::platform::systemTextFromUtf8(" に書き込めません"));
    // The whole message reads back in the code page without a broken byte.
    const int wide =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, message.c_str(), -1, nullptr, 0);
    EXPECT_GT(wide, 0);
}

}  // namespace
