#include "modemcfg/protocol.h"

#include <gtest/gtest.h>

#include "core/crc16.h"
#include "core/hex.h"

namespace kelmor::modemcfg {
namespace {

Bytes Hex(const std::string& text) { return core::ParseHexBytes(text).value(); }
std::string HexOf(const Bytes& b) { return core::FormatHexBytes(b); }

// A frame from its body ('$', code, 0x00, fields), with 'L' and a good CRC appended.
Bytes Frame(Bytes body) {
    body.push_back('L');
    uint16_t crc = core::MsgCrc(0xFFFF, body.data(), body.size());
    body.push_back(static_cast<uint8_t>(crc >> 8));
    body.push_back(static_cast<uint8_t>(crc & 0xFF));
    return body;
}

TEST(Protocol, MessagesWithoutFieldsAreSixBytesByteForByte) {
    struct Case {
        Command code;
        const char* hex;
    } cases[] = {
        {Command::ProgOn, "24 01 00 4C 2C 2A"},
        {Command::ProgOff, "24 00 00 4C 76 F6"},
        {Command::ParamsRequest, "24 03 00 4C 99 92"},
        {Command::ParamsSave, "24 06 00 4C A0 2F"},
        {Command::FactoryParamsRequest, "24 12 00 4C 46 DB"},
        {Command::RoutesSave, "24 0C 00 4C D3 55"},
        {Command::SourceRoutesRemove, "24 0F 00 4C 3C 31"},
    };
    for (auto& c : cases) EXPECT_EQ(HexOf(BuildMessage(c.code)), c.hex) << c.hex;
}

TEST(Protocol, FieldEncodingFollowsEachTypeLetter) {
    struct Case {
        char type;
        const char* text;
        const char* hex;  // the field's bytes, tag '5'
    } cases[] = {
        {'B', "5", "42 35 05 00"},
        {'B', "300", "42 35 2C 00"},  // low 8 bits
        {'B', "", "42 35 00 00"},
        {'B', "12x", "42 35 00 00"},  // invalid text is 0
        {'R', "2", "52 35 02 00"},
        {'W', "258", "57 35 01 02 00"},
        {'W', "65535", "57 35 FF FF 00"},
        {'H', "5A3C", "48 35 00 00 5A 3C 00"},
        {'H', "80000001", "48 35 80 00 00 01 00"},
        {'H', "5a3c", "48 35 00 00 5A 3C 00"},
        {'H', "123456789", "48 35 00 00 00 00 00"},  // more than 32 bits: invalid
        {'H', "G1", "48 35 00 00 00 00 00"},
        {'M', "1", "4D 35 31 00"},
        {'M', "0", "4D 35 30 00"},
        {'M', "", "4D 35 30 00"},  // a check mark always travels as one character
        {'S', "ABC", "53 35 41 42 43 00"},
        {'S', "", "53 35 00"},
    };
    for (auto& c : cases) {
        Bytes out;
        ASSERT_TRUE(EncodeField(out, c.type, '5', c.text));
        EXPECT_EQ(HexOf(out), c.hex) << c.type << " " << c.text;
    }
    Bytes out;
    EXPECT_FALSE(EncodeField(out, 'Q', '0', "1"));
    EXPECT_TRUE(out.empty());
}

TEST(Protocol, TextWithEmbeddedZeroTravelsUpToIt) {
    Bytes out;
    EncodeField(out, 'S', '0', std::string("AB\0CD", 5));
    EXPECT_EQ(HexOf(out), "53 30 41 42 00");
}

TEST(Protocol, HexadecimalValuesDecodeAndEncodeBack) {
    struct Case {
        const char* bytes;
        const char* text;
    } cases[] = {
        {"00 00 5A 3C", "5A3C"}, {"00 01 00 00", "00010000"}, {"80 00 00 01", "80000001"},
        {"00 00 00 00", "0000"}, {"00 00 FF FF", "FFFF"},
    };
    for (auto& c : cases) {
        Bytes msg = Frame(Hex(std::string("24 03 00 48 30 ") + c.bytes + " 00"));
        std::vector<Field> fields;
        ASSERT_TRUE(DecodeFields(msg, fields));
        ASSERT_EQ(fields.size(), 1u);
        EXPECT_EQ(fields[0].value, c.text);
        Bytes again;
        EncodeField(again, 'H', '0', fields[0].value);
        EXPECT_EQ(HexOf(again), std::string("48 30 ") + c.bytes + " 00");
    }
}

TEST(Protocol, BuildThenDecodeKeepsEveryField) {
    std::vector<Field> fields = {
        {'B', '0', "200"},      {'R', '5', "3"}, {'W', '5', "40000"},
        {'H', '9', "5A3C"},     {'M', '0', "1"}, {'S', '5', "hello"},
        {'A', '0', "80000001"}, {'J', '0', "1"}, {'N', '0', std::string("\x01\x00\xFF", 3)},
        {'K', '0', ""},
    };
    Bytes msg = BuildMessage(3, fields);
    ASSERT_FALSE(msg.empty());
    EXPECT_TRUE(MsgComplete(msg));
    EXPECT_TRUE(CheckCrc(msg).ok);
    std::vector<Field> decoded;
    std::string error;
    ASSERT_TRUE(DecodeFields(msg, decoded, &error)) << error;
    EXPECT_EQ(decoded, fields);
}

TEST(Protocol, BlocksOverTheLengthByteAreRefused) {
    MessageBuilder b(Command::RoutesSend);
    Bytes big(256, 0x11);
    b.AddBlock('0', big);
    EXPECT_FALSE(b.Ok());
    EXPECT_TRUE(b.Finish().empty());
    std::string error;
    EXPECT_TRUE(BuildMessage(2, {{'X', '0', "1"}}, &error).empty());
    EXPECT_NE(error.find("'X'"), std::string::npos);
    EXPECT_TRUE(BuildMessage(2, {{'S', '\0', "AB"}}, &error).empty());
    EXPECT_NE(error.find("'0'..'9'"), std::string::npos);

    ParameterList corrupt = {{'B', '0', true, "1"}, {'B', 'x', true, "2"}};
    auto m = BuildParameterMessage(corrupt, false);
    ASSERT_TRUE(m.has_value());
    EXPECT_TRUE(m->bytes.empty());
    EXPECT_NE(m->error.find("parameter 2"), std::string::npos) << m->error;
}

TEST(Protocol, RouteFieldsFromNumbers) {
    // A source-route line with one system address: D = 6, 16 bytes in all.
    MessageBuilder b(Command::RoutesSendFirst);
    b.AddBlock('0', Hex("00 00 00 2A 00 07"));
    Bytes msg = b.Finish();
    EXPECT_EQ(msg.size(), 16u);
    EXPECT_EQ(HexOf(Bytes(msg.begin(), msg.begin() + 13)),
              "24 0D 00 4E 30 06 00 00 00 2A 00 07 00");
    MessageBuilder v(Command::VirtualRoutesSend);
    v.AddAddress('0', 0x12345678).AddLabel('0', 1);
    EXPECT_EQ(v.Finish().size(), 18u);
    MessageBuilder p(Command::ProtocolSend);
    p.AddByte('0', 1).AddByte('0', 0).AddWord('0', 0x0102).Add('S', '0', "ABCDEFGH");
    EXPECT_EQ(p.Finish().size(), 30u);
}

TEST(Protocol, MsgCompleteAtTheThreeCutPoints) {
    Bytes msg = BuildMessage(Command::ProgOn);
    EXPECT_FALSE(MsgComplete(msg.data(), msg.size() - 1));  // 'L' and one CRC byte
    EXPECT_TRUE(MsgComplete(msg.data(), msg.size()));
    msg.push_back(0x00);
    EXPECT_FALSE(MsgComplete(msg));  // one complete message and more is never complete
}

TEST(Protocol, MsgCompleteWaitsForCutShortFields) {
    Bytes msg = BuildMessage(3, {{'S', '5', "ABC"},
                                 {'N', '0', std::string("\x01\x02\x03", 3)},
                                 {'H', '0', "1"},
                                 {'K', '0', ""}});
    for (size_t len = 0; len < msg.size(); ++len)
        EXPECT_FALSE(MsgComplete(msg.data(), len)) << "length " << len;
    EXPECT_TRUE(MsgComplete(msg));
    Bytes unknown = Frame(Hex("24 03 00 51 30 00"));  // 'Q' is no field letter
    EXPECT_FALSE(MsgComplete(unknown));
}

TEST(Protocol, ReplyCodesIgnoreBitSeven) {
    ASSERT_NE(FindReply(0x83), nullptr);
    EXPECT_EQ(FindReply(0x83)->code, Reply::ParamsRequest);
    for (uint8_t code : {9, 13, 14, 16, 20, 0x7F}) EXPECT_EQ(FindReply(code), nullptr) << int(code);
    EXPECT_STREQ(
        FindReply(2)->fieldsMessage,
        "ERROR: One of parameters send to modem was invalid !\r\nPlease check parameters.");
    EXPECT_STREQ(FindReply(0x84)->byte5TwoMessage,
                 "Routing NOT available in this modem version !!");
    EXPECT_EQ(FindCommand("FactoryParamsRequest")->code, Command::FactoryParamsRequest);
    EXPECT_EQ(FindCommand("progon"), nullptr);
}

TEST(Protocol, DecodingUntrustedBytesStopsWithAReason) {
    struct Case {
        const char* hex;
        const char* why;
    } cases[] = {
        {"24 03 00 42 30", "inside the 'B' field"},
        {"24 03 00 53 30 41 42", "inside the 'S' field"},
        {"24 03 00 4E 30 05 01 02", "inside the 'N' field"},
        {"24 03 00 48 30 00 00 00", "inside the 'H' field"},
        {"24 03 00 42 30 01 00", "without 'L'"},
        {"24 03 00 3F 30 4C", "unknown field type 0x3F"},
        {"24 03", "without 'L'"},
    };
    for (auto& c : cases) {
        Bytes m = Hex(c.hex);
        std::vector<Field> fields;
        std::string error;
        EXPECT_FALSE(DecodeFields(m, fields, &error)) << c.hex;
        EXPECT_NE(error.find(c.why), std::string::npos) << c.hex << ": " << error;
    }
}

TEST(Protocol, CrcCheckAndItsMessage) {
    Bytes msg = BuildMessage(Command::ParamsRequest);
    EXPECT_TRUE(CheckCrc(msg).ok);
    msg.back() ^= 0x01;
    CrcCheck c = CheckCrc(msg);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.computed, 0x9992);
    EXPECT_EQ(c.received, 0x9993);
    EXPECT_EQ(CrcErrorMessage(c.computed, c.received),
              "CRC error in modem -> PC message39314 39315");
}

TEST(Protocol, ReplyByteFiveAndProgrammingModeReply) {
    EXPECT_EQ(ReplyByte5(Frame(Hex("24 84 00 42 30 02 00"))), 2);
    EXPECT_FALSE(ReplyByte5(Hex("24 84 00 4C 00")).has_value());

    // '$', 1, 0, 'S', tag, "KL450/2.1", 0x00, two bytes, version, ...
    Bytes reply = Frame(Hex("24 01 00 53 30 4B 4C 34 35 30 2F 32 2E 31 00 42 30 05 00"));
    auto info = ParseProgOnReply(reply);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->typeText, "KL450/2.1");
    EXPECT_EQ(info->typeName, "KL450");
    EXPECT_EQ(info->version, 5);
    EXPECT_FALSE(ParseProgOnReply(Hex("24 01 00 53 30 4B 4C 4C 12 34")).has_value());
    EXPECT_FALSE(ParseProgOnReply(Hex("24 01 00 53 30 4B 4C 00 42")).has_value());
    auto negative = ParseProgOnReply(Frame(Hex("24 01 00 53 30 41 00 42 30 FF 00")));
    ASSERT_TRUE(negative.has_value());
    EXPECT_EQ(negative->version, -1);
}

ParameterList List(std::initializer_list<std::pair<char, char>> typeLevel) {
    ParameterList list;
    int n = 1;
    for (auto [t, l] : typeLevel) list.push_back({t, l, true, std::to_string(n++)});
    return list;
}

TEST(Protocol, ParameterMessagesSplitAtTheFirstFactoryParameter) {
    ParameterList list = List({{'B', '0'}, {'W', '5'}, {'B', '9'}, {'M', '9'}, {'B', '0'}});
    auto normal = BuildParameterMessage(list, false);
    ASSERT_TRUE(normal.has_value());
    EXPECT_EQ(normal->code, Command::ParamsSend);
    EXPECT_EQ(HexOf(normal->bytes).substr(0, 26), "24 02 00 42 30 01 00 57 35");
    ASSERT_EQ(normal->fields.size(), 2u);
    EXPECT_EQ(normal->fields[1], (Field{'W', '5', "2"}));

    auto factory = BuildParameterMessage(list, true);
    ASSERT_TRUE(factory.has_value());
    EXPECT_EQ(factory->code, Command::FactoryParamsSend);
    EXPECT_EQ(factory->firstIndex, 2u);
    ASSERT_EQ(factory->fields.size(), 2u);  // the run ends at the next non-factory entry
    EXPECT_EQ(factory->fields[0], (Field{'B', '9', "3"}));
    EXPECT_EQ(factory->fields[1], (Field{'M', '9', "4"}));
    EXPECT_NE(HexOf(factory->bytes).find("4D 39 30 00"), std::string::npos)
        << "\"4\" is no check mark and travels as \"0\"";
    EXPECT_EQ(factory->bytes[1], 17);
}

TEST(Protocol, ParameterMessagesAtTheEdges) {
    EXPECT_FALSE(BuildParameterMessage(List({{'B', '9'}, {'B', '0'}}), false).has_value());
    EXPECT_FALSE(BuildParameterMessage({}, false).has_value());
    EXPECT_FALSE(BuildParameterMessage({}, true).has_value());
    // At level 9 without factory parameters the ordinary message goes directly.
    auto m = BuildParameterMessage(List({{'B', '0'}, {'S', '5'}}), true);
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->code, Command::ParamsSend);
    EXPECT_EQ(m->fields.size(), 2u);
}

TEST(ReplyAssembler, ReassemblesChunksAndDropsGarbageBeforeTheStart) {
    Bytes reply = BuildMessage(3, {{'B', '0', "7"}, {'S', '5', "abc"}});
    ReplyAssembler a;
    Bytes first = Hex("FF 41");  // line noise without 0x00
    first.insert(first.end(), reply.begin(), reply.begin() + 5);
    EXPECT_EQ(a.Feed(first).result, ReplyAssembler::Result::Pending);
    EXPECT_EQ(a.Buffer().front(), '$');
    for (size_t i = 5; i + 1 < reply.size(); ++i)
        EXPECT_EQ(a.Feed(&reply[i], 1).result, ReplyAssembler::Result::Pending) << i;
    auto done = a.Feed(&reply.back(), 1);
    EXPECT_EQ(done.result, ReplyAssembler::Result::Complete);
    EXPECT_EQ(done.message, reply);
    EXPECT_TRUE(a.Buffer().empty());
}

TEST(ReplyAssembler, DiscardRules) {
    Bytes reply = BuildMessage(Command::ParamsSave);
    ReplyAssembler a;
    // A 0x00 before the first '$' drops the whole buffer, the reply behind it too.
    Bytes zeroFirst = Hex("00");
    zeroFirst.insert(zeroFirst.end(), reply.begin(), reply.end());
    EXPECT_EQ(a.Feed(zeroFirst).result, ReplyAssembler::Result::Pending);
    EXPECT_TRUE(a.Buffer().empty());
    // No '$' at all: nothing is kept.
    EXPECT_EQ(a.Feed(Hex("41 42 43")).result, ReplyAssembler::Result::Pending);
    EXPECT_TRUE(a.Buffer().empty());
    // A bad CRC clears the buffer and reports both values.
    Bytes bad = reply;
    bad.back() ^= 0xFF;
    auto out = a.Feed(bad);
    EXPECT_EQ(out.result, ReplyAssembler::Result::CrcError);
    EXPECT_FALSE(out.crc.ok);
    EXPECT_TRUE(a.Buffer().empty());
    // The next reply is assembled afresh.
    EXPECT_EQ(a.Feed(reply).result, ReplyAssembler::Result::Complete);
}

TEST(ReplyAssembler, ExtraBytesNeverCompleteAndTheBufferStaysBounded) {
    Bytes reply = BuildMessage(Command::ProgOff);
    reply.push_back('x');
    ReplyAssembler a;
    EXPECT_EQ(a.Feed(reply).result, ReplyAssembler::Result::Pending);
    EXPECT_EQ(a.Buffer().size(), reply.size());

    // A '$' followed by an endless stream of letters is dropped once it passes the bound.
    ReplyAssembler b;
    Bytes junk(1000, 'S');
    junk[0] = '$';
    bool overflowed = false;
    for (int i = 0; i < 10 && !overflowed; ++i) {
        auto r = b.Feed(junk);
        overflowed = r.result == ReplyAssembler::Result::Overflow;
        EXPECT_LE(b.Buffer().size(), ReplyAssembler::kMaxReplyLength + junk.size());
    }
    EXPECT_TRUE(overflowed);
    EXPECT_TRUE(b.Buffer().empty());
}

}  // namespace
}  // namespace kelmor::modemcfg
