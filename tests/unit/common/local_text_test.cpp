// The one mapping between the 8-bit texts of the settings, the datagram and
// the system and what the controls show: bytes come back as they went in,
// whatever the system's encoding makes of them.
#include <gtest/gtest.h>

#include <QString>
#include <string>

#include "common/local_text.h"

namespace {

TEST(LocalText, BytesComeBackAsTheyWentIn) {
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"ASCII", "ZANTOHB"},
        {"empty", ""},
        {"UTF-8", "h\xC3\xB4te"},
        {"Latin-1, no UTF-8",
         "\xE9\xE8"
         "ABC"},
        {"a character cut by the 7-byte field", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3"},
        {"every byte outside ASCII",
         [] {
             std::string all;
             for (int b = 0x80; b <= 0xFF; ++b)
                 all += static_cast<char>(b);
             return all;
         }()},
    };
    for (const auto& c : cases) {
        const QString text = vhb::textFromLocal8(c.bytes);
        EXPECT_FALSE(text.contains(QChar::ReplacementCharacter)) << c.name;
        EXPECT_EQ(vhb::local8FromText(text), c.bytes) << c.name;
    }
}

// Typed text that the encoding cannot carry is written as "?", never as a
// byte that a stand-in would give.
TEST(LocalText, TypedTextOutsideTheEncodingBecomesAQuestionMark) {
    const struct {
        const char* name;
        char16_t unit;
    } cases[] = {
        {"replacement character", 0xFFFD},
        {"lone high surrogate", 0xD800},
        {"lone low surrogate, no stand-in", 0xDFFF},
    };
    for (const auto& c : cases) {
        const QString typed = QStringLiteral("A") + QChar(c.unit) + QStringLiteral("B");
        EXPECT_EQ(vhb::local8FromText(typed), "A?B") << c.name;
    }
}

}  // namespace
