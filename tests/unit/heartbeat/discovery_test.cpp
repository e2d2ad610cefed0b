#include "heartbeat/discovery.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> sent(const std::array<uint8_t, 64>& buffer) {
    return {buffer.begin(), buffer.begin() + vhb::kDiscoveryRequestLength};
}

std::vector<uint8_t> withZeros(std::vector<uint8_t> head) {
    head.resize(vhb::kDiscoveryRequestLength, 0);
    return head;
}

TEST(DiscoveryRequest, ForA192168Address) {
    const auto b = vhb::buildDiscoveryRequest({192, 168, 10, 5});
    EXPECT_EQ(sent(b), withZeros({0x00, 0xFF, 0x00, 0x01, 0x20, 0xEC, 0x00, 0x00, 0xC0, 0xA8, 0x0A,
                                  0x05, 0x23, 0x32}));
}

TEST(DiscoveryRequest, ForA10Address) {
    const auto b = vhb::buildDiscoveryRequest({10, 0, 0, 7});
    EXPECT_EQ(sent(b), withZeros({0x00, 0xFF, 0x00, 0x01, 0x20, 0x86, 0x00, 0x00, 0x0A, 0x00, 0x00,
                                  0x07, 0x23, 0x32}));
}

TEST(DiscoveryRequest, OnlyTheFirst32BytesAreFilled) {
    const auto b = vhb::buildDiscoveryRequest({255, 255, 255, 255});
    for (size_t i = vhb::kDiscoveryRequestLength; i < b.size(); ++i)
        EXPECT_EQ(b[i], 0) << i;
}

TEST(DiscoveryRequest, ChecksumWrapsAndOctetsTakeTheirLow8Bits) {
    // 256 + 1 -> 0x01, -1 -> 0xFF, 0x1234 -> 0x34.
    const auto b = vhb::buildDiscoveryRequest({257, -1, 0x1234, 0});
    EXPECT_EQ(b[8], 0x01);
    EXPECT_EQ(b[9], 0xFF);
    EXPECT_EQ(b[10], 0x34);
    EXPECT_EQ(b[11], 0x00);
    unsigned others = 0;
    for (int i = 0; i < vhb::kDiscoveryRequestLength; ++i) {
        if (i != 5)
            others += b[i];
    }
    EXPECT_EQ(b[5], others % 256);
}

TEST(BroadcastAddress, ReplacesTheLastOctet) {
    EXPECT_EQ(vhb::broadcastAddressText({192, 168, 10, 5}), "192.168.10.255");
    EXPECT_EQ(vhb::broadcastAddressText({10, 0, 0, 7}), "10.0.0.255");
    EXPECT_EQ(vhb::broadcastAddressText({127, 0, 0, 1}), "127.0.0.255");
    EXPECT_EQ(vhb::broadcastAddressText({0, 0, 0, 0}), "0.0.0.255");
}

TEST(HexText, UppercasePairsWithoutSeparators) {
    const uint8_t bytes[] = {0x00, 0x80, 0x0a, 0xff, 0x5e};
    EXPECT_EQ(vhb::hexText(bytes, 5), "00800AFF5E");
    EXPECT_EQ(vhb::hexText(bytes, 0), "");
}

// A reply: 00 80 00 <kind>, ten bytes, the MAC, then anything.
std::string reply(uint8_t kind, std::vector<uint8_t> mac = {0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E},
                  std::vector<uint8_t> tail = {0x77, 0x88}) {
    std::vector<uint8_t> b = {0x00, 0x80, 0x00, kind};
    b.resize(14, 0x99);
    b.insert(b.end(), mac.begin(), mac.end());
    b.insert(b.end(), tail.begin(), tail.end());
    return vhb::hexText(b.data(), b.size());
}

TEST(CheckReply, TakesTheMacFromBytes14To19) {
    const auto r = vhb::checkReply(reply(0x01));
    EXPECT_TRUE(r.isReply);
    EXPECT_EQ(r.mac, "02:1A:2B:3C:4D:5E");
}

struct KindCase {
    uint8_t kind;
    bool accepted;
};

class ReplyKind : public testing::TestWithParam<KindCase> {};

TEST_P(ReplyKind, FourthByteDigitsReadAsDecimal) {
    EXPECT_EQ(vhb::checkReply(reply(GetParam().kind)).isReply, GetParam().accepted)
        << "kind 0x" << std::hex << int(GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(Table, ReplyKind,
                         testing::Values(KindCase{0x00, true}, KindCase{0x01, true},
                                         KindCase{0x02, true}, KindCase{0x03, false},
                                         KindCase{0x09, false}, KindCase{0x10, false},
                                         KindCase{0x99, false}, KindCase{0x0A, true},
                                         KindCase{0xA0, true}, KindCase{0x1F, true},
                                         KindCase{0xFF, true}));

TEST(CheckReply, OneHundredFiftyNineKindsPass) {
    int accepted = 0;
    for (int kind = 0; kind < 256; ++kind) {
        accepted += vhb::checkReply(reply(static_cast<uint8_t>(kind))).isReply ? 1 : 0;
    }
    EXPECT_EQ(accepted, 159);
}

TEST(CheckReply, OtherLeadingBytesAreIgnored) {
    std::string text = reply(0x00);
    EXPECT_FALSE(vhb::checkReply("008001" + text.substr(6)).isReply);
    EXPECT_FALSE(vhb::checkReply("018000" + text.substr(6)).isReply);
    EXPECT_FALSE(vhb::checkReply("00FF00" + text.substr(6)).isReply);
    EXPECT_FALSE(vhb::checkReply("").isReply);
    EXPECT_FALSE(vhb::checkReply("0080").isReply);
}

TEST(CheckReply, ShortRepliesStillGiveFiveColons) {
    EXPECT_EQ(vhb::checkReply("008000").mac, ":::::");
    EXPECT_TRUE(vhb::checkReply("008000").isReply);
    EXPECT_EQ(vhb::checkReply("00800001").mac, ":::::");
    // 17 bytes: the MAC's first three pairs only.
    const std::string seventeen = reply(0x00).substr(0, 34);
    EXPECT_EQ(vhb::checkReply(seventeen).mac, "02:1A:2B:::");
    // An odd count of characters leaves a single digit in its pair.
    EXPECT_EQ(vhb::checkReply(reply(0x00).substr(0, 35)).mac, "02:1A:2B:3::");
}

TEST(CheckReply, ExactlyTwentyBytesAreEnough) {
    EXPECT_EQ(vhb::checkReply(reply(0x02, {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xF0}, {})).mac,
              "AA:BB:CC:DD:EE:F0");
}

}  // namespace
