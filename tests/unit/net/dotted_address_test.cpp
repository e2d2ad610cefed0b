#include "net/dotted_address.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct Case {
    const char* text;
    std::optional<uint32_t> expected;
};

class DottedAddressTest : public testing::TestWithParam<Case> {};

TEST_P(DottedAddressTest, ReadsLikeTheClassicCall) {
    const Case& c = GetParam();
    EXPECT_EQ(vhb::ParseDottedAddress(c.text), c.expected) << '"' << c.text << '"';
}

constexpr std::optional<uint32_t> None = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Table, DottedAddressTest,
    testing::Values(
        // four parts, each one byte
        Case{"192.168.10.1", 0xC0A80A01u}, Case{"127.0.0.1", 0x7F000001u},
        Case{"0.0.0.0", 0x00000000u}, Case{"255.255.255.254", 0xFFFFFFFEu},
        Case{"10.0.0.256", None},
        // fewer parts: the last one fills the remaining bits
        Case{"127.1", 0x7F000001u}, Case{"10.1.2", 0x0A010002u}, Case{"127.65535", 0x7F00FFFFu},
        Case{"10.1.65535", 0x0A01FFFFu}, Case{"10.1.65536", None}, Case{"1.16777215", 0x01FFFFFFu},
        Case{"1.16777216", None}, Case{"3232238081", 0xC0A80A01u}, Case{"0", 0x00000000u},
        Case{"4294967294", 0xFFFFFFFEu}, Case{"4294967296", None}, Case{"256.1", None},
        // octal and hexadecimal parts
        Case{"0300.0250.012.01", 0xC0A80A01u}, Case{"0xC0.0xa8.0XA.0x1", 0xC0A80A01u},
        Case{"0xC0A80A01", 0xC0A80A01u}, Case{"017700000001", 0x7F000001u}, Case{"08.0.0.1", None},
        Case{"0x", None}, Case{"0x.1", None}, Case{"0xg", None}, Case{"00", 0x00000000u},
        Case{"0x000000000000007f.1", 0x7F000001u},
        // the all-ones pattern is the classic "not an address" value
        Case{"255.255.255.255", None}, Case{"0xffffffff", None}, Case{"4294967295", None},
        Case{"255.16777215", None}, Case{"0377.0377.0377.0377", None},
        // not dotted at all
        Case{"", None}, Case{".", None}, Case{"1..2", None}, Case{"1.2.3.", None},
        Case{".1.2.3", None}, Case{"1.2.3.4.5", None}, Case{"1.2.3.4 ", None},
        Case{" 1.2.3.4", None}, Case{"1.2.3.4x", None}, Case{"-1", None}, Case{"+1", None},
        Case{"localhost", None}, Case{"nosuchhost.invalid", None}, Case{"1.2.3.4\n", None}));

TEST(DottedAddress, EmbeddedNulIsGarbage) {
    const std::string text(
        "1.2.3.4\0"
        "5",
        9);
    EXPECT_EQ(vhb::ParseDottedAddress(text), std::nullopt);
}

}  // namespace
