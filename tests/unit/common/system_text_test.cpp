// The program's own non-ASCII texts pass through the converter the platform
// layer sets; without one they stay UTF-8, the encoding of a Linux locale.
#include <gtest/gtest.h>

#include <string>

#include "common/system_text.h"
#include "settings/ini_file.h"

namespace {

// Stands in for a code page: every byte outside ASCII becomes "?".
std::string asciiOnly(std::string_view utf8) {
    std::string out;
    for (const char c : utf8)
        out += static_cast<unsigned char>(c) < 0x80 ? c : '?';
    return out;
}

TEST(SystemText, ConvertsThroughTheConverterWhenOneIsSet) {
    struct Case {
        vhb::SystemTextConverter converter;
        std::string expectedError;
    };
    const Case cases[] = {
        {nullptr, "/tmp/vesk-hb.Ini に書き込めません"},
        {asciiOnly, "/tmp/vesk-hb.Ini " + std::string(24, '?')},
    };
    for (const auto& c : cases) {
        vhb::setSystemTextConverter(c.converter);
        EXPECT_EQ(vhb::IniWriteError("/tmp/vesk-hb.Ini").what(), c.expectedError);
        // The path is the system's already and is not converted again.
        EXPECT_EQ(vhb::systemText("abc"), "abc");
    }
    vhb::setSystemTextConverter(nullptr);
}

}  // namespace
