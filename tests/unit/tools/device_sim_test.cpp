// The device simulator's judgement of what the program sends, and what it
// answers; checked against the program's own builders where they exist, so
// that the two cannot drift apart unnoticed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "heartbeat/datagram.h"
#include "heartbeat/discovery.h"
#include "sim.h"

namespace {

using namespace vhb::sim;

std::vector<uint8_t> bytes(std::string_view s) {
    return {s.begin(), s.end()};
}

struct HeartbeatCase {
    const char* name;
    std::vector<uint8_t> data;
    bool valid;
    const char* code;  // when valid; otherwise a part of the reason
};

class HeartbeatTable : public ::testing::TestWithParam<HeartbeatCase> {};

TEST_P(HeartbeatTable, Judged) {
    const auto& c = GetParam();
    const auto r = checkHeartbeat(c.data.data(), c.data.size());
    EXPECT_EQ(r.valid, c.valid) << r.reason;
    if (c.valid) {
        EXPECT_EQ(r.code, c.code);
    } else {
        EXPECT_NE(r.reason.find(c.code), std::string::npos) << r.reason;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Datagrams, HeartbeatTable,
    ::testing::Values(
        HeartbeatCase{"default", bytes("ZANTOHB\r\n"), true, "ZANTOHB"},
        HeartbeatCase{"short", bytes(std::string("ABC\0   \r\n", 9)), true, "ABC"},
        HeartbeatCase{"six", bytes(std::string("ABCDEF\0\r\n", 9)), true, "ABCDEF"},
        HeartbeatCase{"one", bytes(std::string("A\0     \r\n", 9)), true, "A"},
        HeartbeatCase{"inner spaces", bytes("A B C D\r\n"), true, "A B C D"},
        HeartbeatCase{"eight bytes", bytes("ZANTOHB\r"), false, "length 8"},
        HeartbeatCase{"ten bytes", bytes("ZANTOHBX\r\n"), false, "length 10"},
        HeartbeatCase{"empty", {}, false, "length 0"},
        HeartbeatCase{"no CR LF", bytes("ZANTOHB\n\r"), false, "0D 0A"},
        HeartbeatCase{"empty code", bytes(std::string("\0      \r\n", 9)), false, "empty"},
        HeartbeatCase{"no padding", bytes(std::string("ABC\0\0\0\0\r\n", 9)), false, "not a space"},
        HeartbeatCase{"text after 00", bytes(std::string("ABC\0X  \r\n", 9)), false, "not a space"},
        HeartbeatCase{"control char", bytes("ZAN\tOHB\r\n"), false, "not printable"},
        HeartbeatCase{"high byte", bytes("ZAN\xC4OHB\r\n"), false, "not printable"}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (auto& ch : n) {
            if (!isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        }
        return n;
    });

TEST(Heartbeat, EveryDatagramTheProgramBuildsIsValid) {
    for (const char* code : {"ZANTOHB", "ABC", "A", "ABCDEF", "LONGERTHAN7", "a b"}) {
        const auto d = vhb::buildHeartbeat(code);
        const auto r = checkHeartbeat(d.data(), d.size());
        EXPECT_TRUE(r.valid) << code << ": " << r.reason;
        EXPECT_EQ(r.code, std::string(code).substr(0, 7));
    }
}

std::vector<uint8_t> request(const std::array<int32_t, 4>& octets) {
    const auto b = vhb::buildDiscoveryRequest(octets);
    return {b.begin(), b.begin() + vhb::kDiscoveryRequestLength};
}

TEST(Request, TheProgramsRequestsAreValidAndNameTheirAddress) {
    for (const auto& [octets, text] : std::vector<std::pair<std::array<int32_t, 4>, std::string>>{
             {{192, 168, 10, 5}, "192.168.10.5"},
             {{10, 0, 0, 7}, "10.0.0.7"},
             {{255, 255, 255, 255}, "255.255.255.255"}}) {
        const auto d = request(octets);
        const auto r = checkRequest(d.data(), d.size());
        EXPECT_TRUE(r.valid) << text << ": " << r.reason;
        EXPECT_EQ(r.address, text);
    }
}

TEST(Request, Rejections) {
    const auto good = request({192, 168, 10, 5});
    struct Case {
        const char* name;
        std::vector<uint8_t> data;
        const char* reason;
    };
    auto badSum = good;
    badSum[5] ^= 1;
    auto badHead = good;
    badHead[1] = 0xFE;
    auto changedBody = good;
    changedBody[20] = 1;  // checksum no longer matches
    auto shortOne = good;
    shortOne.pop_back();
    auto longOne = good;
    longOne.push_back(0);
    for (const auto& c : std::vector<Case>{{"checksum", badSum, "checksum ED, expected EC"},
                                           {"header", badHead, "00 FF 00 01 20"},
                                           {"body", changedBody, "checksum"},
                                           {"31 bytes", shortOne, "length 31"},
                                           {"33 bytes", longOne, "length 33"},
                                           {"reply", std::vector<uint8_t>(32, 0), "00 FF"}}) {
        const auto r = checkRequest(c.data.data(), c.data.size());
        EXPECT_FALSE(r.valid) << c.name;
        EXPECT_NE(r.reason.find(c.reason), std::string::npos) << c.name << ": " << r.reason;
    }
}

TEST(Reply, IsRecognisedByTheProgramWithItsMac) {
    const Mac mac{0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    const auto reply = buildReply(0x01, mac);
    ASSERT_EQ(reply.size(), 20u);
    EXPECT_EQ(hex(reply.data(), reply.size()), "0080000100000000000000000000021A2B3C4D5E");
    const auto r = vhb::checkReply(vhb::hexText(reply.data(), reply.size()));
    EXPECT_TRUE(r.isReply);
    EXPECT_EQ(r.mac, "02:1A:2B:3C:4D:5E");
}

TEST(Reply, KindByteDecidesWhetherTheProgramTakesIt) {
    // The program reads the kind's two hex digits as a decimal number.
    for (const auto& [kind, taken] : std::vector<std::pair<uint8_t, bool>>{
             {0x00, true}, {0x02, true}, {0x03, false}, {0x10, false}, {0x0A, true}}) {
        const auto reply = buildReply(kind, {});
        EXPECT_EQ(vhb::checkReply(vhb::hexText(reply.data(), reply.size())).isReply, taken)
            << int(kind);
    }
}

TEST(Mac, ParseTable) {
    struct Case {
        const char* text;
        bool ok;
        const char* canonical;
    };
    for (const auto& c : std::vector<Case>{{"02:1A:2B:3C:4D:5E", true, "02:1A:2B:3C:4D:5E"},
                                           {"02:1a:2b:3c:4d:5e", true, "02:1A:2B:3C:4D:5E"},
                                           {"02-1A-2B-3C-4D-5E", true, "02:1A:2B:3C:4D:5E"},
                                           {"ff:ff:ff:ff:ff:ff", true, "FF:FF:FF:FF:FF:FF"},
                                           {"02:1A:2B:3C:4D", false, ""},
                                           {"02:1A:2B:3C:4D:5E:", false, ""},
                                           {"02:1A:2B:3C:4D:5G", false, ""},
                                           {"021A:2B:3C:4D:5E0", false, ""},
                                           {"02.1A.2B.3C.4D.5E", false, ""},
                                           {"", false, ""}}) {
        const auto m = parseMac(c.text);
        EXPECT_EQ(m.has_value(), c.ok) << c.text;
        if (m) {
            EXPECT_EQ(macText(*m), c.canonical) << c.text;
        }
    }
}

ParseResult parse(std::vector<const char*> args) {
    args.insert(args.begin(), "vesk-hb-device");
    return parseOptions(static_cast<int>(args.size()), args.data());
}

TEST(Options, Defaults) {
    const auto r = parse({});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.port, 9100);
    EXPECT_EQ(r.options.discoveryPort, 15580);
    EXPECT_EQ(macText(r.options.mac), "02:1A:2B:3C:4D:5E");
    EXPECT_EQ(r.options.kind, 0x01);
    EXPECT_EQ(r.options.timeout, 15.0);
    EXPECT_EQ(r.options.bind, "0.0.0.0");
    EXPECT_FALSE(r.options.json);
    EXPECT_TRUE(r.options.reply);
    EXPECT_EQ(r.options.count, 0);
    EXPECT_EQ(r.options.duration, 0.0);
}

TEST(Options, EveryFlagInBothForms) {
    const auto a = parse({"--port", "9200", "--discovery-port=15600", "--mac", "aa:bb:cc:dd:ee:ff",
                          "--kind", "0x02", "--timeout", "2.5", "--bind=127.0.0.1", "--json",
                          "--count", "3", "--duration=7", "--no-reply"});
    ASSERT_EQ(a.error, "");
    EXPECT_EQ(a.options.port, 9200);
    EXPECT_EQ(a.options.discoveryPort, 15600);
    EXPECT_EQ(macText(a.options.mac), "AA:BB:CC:DD:EE:FF");
    EXPECT_EQ(a.options.kind, 2);
    EXPECT_EQ(a.options.timeout, 2.5);
    EXPECT_EQ(a.options.bind, "127.0.0.1");
    EXPECT_TRUE(a.options.json);
    EXPECT_EQ(a.options.count, 3);
    EXPECT_EQ(a.options.duration, 7.0);
    EXPECT_FALSE(a.options.reply);
    EXPECT_TRUE(parse({"--help"}).options.help);
}

TEST(Options, Errors) {
    struct Case {
        std::vector<const char*> args;
        const char* error;
    };
    for (const auto& c : std::vector<Case>{{{"--port"}, "--port needs a value"},
                                           {{"--port", "65536"}, "bad value for --port: 65536"},
                                           {{"--port", "-1"}, "bad value for --port"},
                                           {{"--port", "91 "}, "bad value for --port"},
                                           {{"--kind", "256"}, "bad value for --kind"},
                                           {{"--mac", "02:1A"}, "bad value for --mac"},
                                           {{"--timeout", "0"}, "bad value for --timeout"},
                                           {{"--timeout", "abc"}, "bad value for --timeout"},
                                           {{"--duration", "-3"}, "bad value for --duration"},
                                           {{"--count", "x"}, "bad value for --count"},
                                           {{"--json=1"}, "--json takes no value"},
                                           {{"--frobnicate"}, "unknown argument: --frobnicate"},
                                           {{"9100"}, "unknown argument: 9100"}}) {
        EXPECT_EQ(parse(c.args).error.find(c.error), 0u)
            << c.args[0] << " -> " << parse(c.args).error;
    }
}

TEST(GapWatch, ReportsOnceAndResumes) {
    GapWatch w(5.0, 100.0);
    EXPECT_FALSE(w.poll(104.9));
    EXPECT_TRUE(w.poll(105.0));  // nothing since the start is a gap too
    EXPECT_FALSE(w.poll(106.0));
    EXPECT_LT(w.deadline(), 0);
    double silence = 0;
    EXPECT_TRUE(w.heartbeat(107.0, &silence));
    EXPECT_DOUBLE_EQ(silence, 7.0);
    EXPECT_DOUBLE_EQ(w.deadline(), 112.0);
    EXPECT_FALSE(w.heartbeat(111.0, &silence));
    EXPECT_DOUBLE_EQ(silence, 4.0);
    EXPECT_FALSE(w.poll(115.9));
    EXPECT_TRUE(w.poll(116.0));
}

TEST(EventLine, JsonQuotesTextsAndKeepsNumbersAndLiterals) {
    const auto line = eventLine(true, 1555400102.25, "heartbeat",
                                {txt("from", "192.168.10.5"), num("port", 9100, 0),
                                 lit("valid", "true"), txt("code", "A\"B\\C\r\n"), num("dt", 5)});
    EXPECT_EQ(line,
              "{\"t\":1555400102.250,\"event\":\"heartbeat\",\"from\":\"192.168.10.5\","
              "\"port\":9100,\"valid\":true,\"code\":\"A\\\"B\\\\C\\u000d\\u000a\","
              "\"dt\":5.000}");
}

TEST(EventLine, ReadableFormQuotesOnlyTextsWithSpaces) {
    const auto line = eventLine(false, 0, "bad",
                                {txt("hex", "5A 41"), txt("from", "127.0.0.1"), num("len", 2, 0)});
    const auto at = line.find(" bad ");
    ASSERT_NE(at, std::string::npos) << line;
    EXPECT_EQ(line.substr(at), " bad hex=\"5A 41\" from=127.0.0.1 len=2");
}

}  // namespace
