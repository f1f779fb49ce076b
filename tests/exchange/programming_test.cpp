// The simulated modem's programming side on its own: framing, validation, faults and its state
// file. The exchange tests rely on it; these pin down what it does with bad input.
#include <gtest/gtest.h>

#include "bench.h"

namespace kelmor::exchangetest {
namespace {

using modemcfg::Command;
using modemcfg::Field;
using modemcfg::MessageBuilder;

struct Modem {
    modemcfg::Definition def = LoadDefinition("KL450");
    sim::ProgrammingModem modem{def, {}};
    Bytes On() { return modem.Receive(modemcfg::BuildMessage(Command::ProgOn)); }
    // The non-factory parameters as the PC would send them, valid.
    std::vector<Field> Valid() {
        modemcfg::ParameterList list = modemcfg::NewParameterList(def.groups, false);
        FillValues(list, def, 9);
        std::vector<Field> fields;
        for (const auto& p : list)
            if (p.level != '9') fields.push_back(Field{p.type, p.level, p.value});
        return fields;
    }
    Bytes Send(const std::vector<Field>& fields) {
        return modem.Receive(modemcfg::BuildMessage(2, fields));
    }
};

uint8_t Code(const Bytes& reply) { return reply.size() > 1 ? reply[1] & 0x7F : 0xFF; }

std::vector<Field> Fields(const Bytes& reply) {
    std::vector<Field> f;
    EXPECT_TRUE(modemcfg::DecodeFields(reply, f));
    return f;
}

TEST(ProgrammingModemTest, FramingAndModes) {
    Modem m;
    // Outside programming mode only ProgOn is answered.
    EXPECT_TRUE(m.modem.Receive(modemcfg::BuildMessage(Command::ParamsRequest)).empty());
    // Line noise before the frame, and the frame one byte at a time.
    Bytes on = m.modem.Receive(Bytes{'x', 0x00, 0x7F});
    EXPECT_TRUE(on.empty());
    Bytes frame = modemcfg::BuildMessage(Command::ProgOn);
    for (size_t i = 0; i + 1 < frame.size(); ++i) EXPECT_TRUE(m.modem.Receive(frame[i]).empty());
    on = m.modem.Receive(frame.back());
    ASSERT_EQ(Code(on), 1);
    EXPECT_TRUE(modemcfg::CheckCrc(on).ok);
    auto info = modemcfg::ParseProgOnReply(on);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->typeName, "KL450");
    EXPECT_EQ(info->version, 5);
    EXPECT_TRUE(m.modem.InProgrammingMode());

    // A damaged command is answered with the CRC-error reply; an unknown one with 19.
    Bytes bad = modemcfg::BuildMessage(Command::ParamsRequest);
    bad.back() ^= 1;
    EXPECT_EQ(Code(m.modem.Receive(bad)), 5);
    EXPECT_EQ(Code(m.modem.Receive(MessageBuilder(uint8_t{9}).Finish())), 19);
    // A frame that can never complete (unknown field letter) is dropped, and the next one works.
    EXPECT_TRUE(m.modem.Receive(Bytes{'$', 2, 0, 'Q', '0', 1}).empty());
    EXPECT_EQ(Code(m.modem.Receive(modemcfg::BuildMessage(Command::ParamsRequest))), 3);

    EXPECT_EQ(Code(m.modem.Receive(modemcfg::BuildMessage(Command::ProgOff))), 0);
    EXPECT_FALSE(m.modem.InProgrammingMode());
    EXPECT_TRUE(m.modem.Idle());
}

TEST(ProgrammingModemTest, ValidatesParametersAndRejectsTheWholeMessage) {
    struct Case {
        const char* name;
        size_t index;  // field to spoil
        std::function<void(Field&)> spoil;
    };
    const std::vector<Case> cases = {
        {"choice index out of range", 1, [](Field& f) { f.value = "3"; }},  // 3 entries
        {"text too long", 7, [](Field& f) { f.value = std::string(21, 'x'); }},
        {"wrong type letter", 0, [](Field& f) { f.type = 'W'; }},
        {"wrong level tag", 4, [](Field& f) { f.tag = '5'; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Modem m;
        m.On();
        std::vector<Field> fields = m.Valid();
        ASSERT_GT(fields.size(), c.index);
        c.spoil(fields[c.index]);
        const std::vector<std::string> before = m.modem.State().values;
        Bytes reply = m.Send(fields);
        ASSERT_EQ(Code(reply), 2);
        // The modem's own values from the first parameter to the rejected one.
        std::vector<Field> back = Fields(reply);
        ASSERT_EQ(back.size(), c.index + 1);
        for (size_t i = 0; i < back.size(); ++i) EXPECT_EQ(back[i].value, before[i]);
        EXPECT_EQ(m.modem.State().values, before);
    }

    // One field too many is refused too; a valid message is taken, and kept only when saved.
    Modem m;
    m.On();
    std::vector<Field> fields = m.Valid();
    fields.push_back(Field{'B', '0', "1"});
    EXPECT_FALSE(Fields(m.Send(fields)).empty());
    fields.pop_back();
    EXPECT_TRUE(Fields(m.Send(fields)).empty());
    EXPECT_EQ(m.modem.State().values[7], fields[7].value);
    m.modem.Receive(modemcfg::BuildMessage(Command::ProgOff));
    EXPECT_NE(m.modem.State().values[7], fields[7].value);  // never saved: gone
}

TEST(ProgrammingModemTest, StateFileKeepsWhatWasSavedAndRefusesForeignParameters) {
    Modem m;
    m.On();
    std::vector<Field> fields = m.Valid();
    m.Send(fields);
    EXPECT_EQ(Fields(m.modem.Receive(modemcfg::BuildMessage(Command::ParamsSave))).at(0).value,
              "1");
    m.modem.State().sourceRoutes = {{0xA1, {2}}, {0xB2, {2, 4}}};
    m.modem.State().virtualRoutes = {"000000F0 <-> 0001"};
    m.modem.State().networkId = "NET1";
    std::string json = m.modem.StateJson();

    Modem copy;
    std::string error;
    ASSERT_TRUE(copy.modem.LoadStateJson(json, &error)) << error;
    EXPECT_EQ(copy.modem.State().values, m.modem.State().eeprom);
    EXPECT_EQ(copy.modem.State().sourceRoutes, m.modem.State().sourceRoutes);
    EXPECT_EQ(copy.modem.State().virtualRoutes, m.modem.State().virtualRoutes);
    EXPECT_EQ(copy.modem.State().networkId, "NET1");

    EXPECT_FALSE(copy.modem.LoadStateJson(R"({"parameters":[{"key":"Z99","value":"1"}]})", &error));
    EXPECT_NE(error.find("Z99"), std::string::npos);
    EXPECT_FALSE(copy.modem.LoadStateJson("[1,", &error));
    EXPECT_FALSE(copy.modem.LoadStateJson(R"({"sourceRoutes":[{"path":"x"}]})", &error));
    EXPECT_EQ(copy.modem.State().sourceRoutes, m.modem.State().sourceRoutes);  // untouched
}

TEST(ProgrammingModemTest, FaultTexts) {
    auto f = sim::ParseProgFault("paramssend:crc:1:2");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->command, 2);
    EXPECT_EQ(f->kind, sim::ProgFaultKind::CrcErrorReply);
    EXPECT_EQ(f->after, 1);
    EXPECT_EQ(f->count, 2);
    EXPECT_EQ(sim::ParseProgFault("any:stall")->command, -1);
    EXPECT_EQ(sim::ParseProgFault("13:silence")->command, 13);
    std::string error;
    for (const char* bad : {"ProgOn", "Nope:crc", "ProgOn:melt", "a:b:c:d:e"}) {
        EXPECT_FALSE(sim::ParseProgFault(bad, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace kelmor::exchangetest
