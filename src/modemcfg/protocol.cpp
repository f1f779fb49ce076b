#include "modemcfg/protocol.h"

#include <algorithm>
#include <cstring>

#include "core/crc16.h"
#include "core/hex.h"
#include "platform/inifile.h"

namespace kelmor::modemcfg {

namespace {

const std::vector<CommandInfo> kCommands = {
    {Command::ProgOff, "ProgOff", "Set programming mode off"},
    {Command::ProgOn, "ProgOn", "Set the modem to the programming mode"},
    {Command::ParamsSend, "ParamsSend", "Parameters send to modem"},
    {Command::ParamsRequest, "ParamsRequest", "Requesting parameters from the modem."},
    {Command::RoutesSend, "RoutesSend", nullptr},
    {Command::ParamsSave, "ParamsSave", "Save parameters to modem"},
    {Command::OffsetLengthSend, "OffsetLengthSend", "Send M (offset) and N (length) info to modem"},
    {Command::VirtualRoutesSend, "VirtualRoutesSend", nullptr},
    {Command::ProtocolSend, "ProtocolSend", nullptr},
    {Command::RoutesSave, "RoutesSave", nullptr},
    {Command::RoutesSendFirst, "RoutesSendFirst", nullptr},
    {Command::VirtualRoutesSendFirst, "VirtualRoutesSendFirst", nullptr},
    {Command::SourceRoutesRemove, "SourceRoutesRemove", "Remove source routings from slave modem"},
    {Command::FactoryParamsSend, "FactoryParamsSend", "Parameters send to modem"},
    {Command::FactoryParamsRequest, "FactoryParamsRequest",
     "Requesting factory parameters from the modem."},
};

const std::vector<ReplyInfo> kReplies = {
    {Reply::ProgOff, "ProgOff", "Modem to normal state response", nullptr, nullptr, nullptr,
     nullptr, nullptr},
    {Reply::ProgOn, "ProgOn", "Modem turned to remote state response", nullptr, nullptr, nullptr,
     nullptr, nullptr},
    {Reply::ParamsSend, "ParamsSend", "Response from the modem.", "Parameter error", nullptr,
     "ERROR: One of parameters send to modem was invalid !\r\nPlease check parameters.", nullptr,
     nullptr},
    {Reply::ParamsRequest, "ParamsRequest", "Response from the modem.", nullptr, nullptr, nullptr,
     nullptr, nullptr},
    {Reply::RoutesSend, "RoutesSend", "route response OK", nullptr, nullptr, nullptr,
     "Error in sending routes to modem !!", "Routing NOT available in this modem version !!"},
    {Reply::CrcErrorReply, "CrcErrorReply", "CRC error in transfer response", nullptr,
     "CRC Error in PC <-> modem message", nullptr, nullptr, nullptr},
    {Reply::ParamsSave, "ParamsSave", "Parameter saved to eeprom response", nullptr, nullptr,
     nullptr, "Error saving parameters to eeprom", nullptr},
    {Reply::OffsetLengthSend, "OffsetLengthSend",
     "Address M (offset) and N (length) values send response", nullptr, nullptr, nullptr, nullptr,
     nullptr},
    {Reply::RemoteState, "RemoteState", "Modem turned to remote state response", nullptr, nullptr,
     nullptr, nullptr, nullptr},
    {Reply::VirtualRoutesSend, "VirtualRoutesSend", "Virtualroute response", nullptr, nullptr,
     nullptr, "ERROR sending virtualrouteinfo to this modem !!",
     "Routing NOT available in this modem version !!"},
    {Reply::ProtocolSend, "ProtocolSend", "Protocol send response", nullptr, nullptr, nullptr,
     nullptr, nullptr},
    {Reply::RoutesSave, "RoutesSave", "Routes saved to eeprom response", nullptr, nullptr, nullptr,
     nullptr, nullptr},
    {Reply::SourceRoutesRemove, "SourceRoutesRemove", "Source Routes removed from slave modem",
     nullptr, nullptr, nullptr, nullptr, nullptr},
    {Reply::FactoryParamsSend, "FactoryParamsSend", "Factory parameter request responded",
     "Factory parameter error", nullptr, nullptr, nullptr, nullptr},
    {Reply::FactoryParamsRequest, "FactoryParamsRequest", "Factory parameter request responsded",
     nullptr, nullptr, nullptr, nullptr, nullptr},
    {Reply::UnknownReply, "UnknownReply", "Unknown response from modem", nullptr,
     "Unknown response from modem", nullptr, nullptr, nullptr},
};

void PutWord(Bytes& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v & 0xFF));
}

void PutLong(Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// Hexadecimal text without prefix as 32 bits; blanks around it allowed, anything else or more
// than 32 significant bits gives 0.
uint32_t HexTextValue(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    uint64_t v = 0;
    if (text.empty()) return 0;
    for (char c : text) {
        int d = core::HexDigitValue(c);
        if (d < 0) return 0;
        v = (v << 4) | static_cast<uint64_t>(d);
        if (v > 0xFFFFFFFFull) return 0;
    }
    return static_cast<uint32_t>(v);
}

uint32_t DecimalTextValue(std::string_view text) {
    return static_cast<uint32_t>(platform::TextToInt(std::string(text)));
}

std::string HexValueText(uint32_t v) { return core::HexWord(v, v <= 0xFFFF ? 4 : 8); }

}  // namespace

const std::vector<CommandInfo>& Commands() { return kCommands; }

const CommandInfo* FindCommand(Command code) {
    for (auto& c : kCommands)
        if (c.code == code) return &c;
    return nullptr;
}

const CommandInfo* FindCommand(std::string_view name) {
    for (auto& c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

const std::vector<ReplyInfo>& Replies() { return kReplies; }

const ReplyInfo* FindReply(uint8_t codeByte) {
    uint8_t code = ReplyCode(codeByte);
    for (auto& r : kReplies)
        if (static_cast<uint8_t>(r.code) == code) return &r;
    return nullptr;
}

size_t FixedFieldSize(char type) {
    switch (type) {
        case 'A':
        case 'H':
            return 7;
        case 'B':
        case 'M':
        case 'R':
            return 4;
        case 'J':
        case 'W':
            return 5;
        case 'K':
            return 2;
        default:
            return 0;
    }
}

bool EncodeField(Bytes& out, char type, char tag, std::string_view valueText) {
    Bytes field{static_cast<uint8_t>(type), static_cast<uint8_t>(tag)};
    switch (type) {
        case 'B':
        case 'R':
            field.push_back(static_cast<uint8_t>(DecimalTextValue(valueText) & 0xFF));
            break;
        case 'W':
        case 'J':
            PutWord(field, static_cast<uint16_t>(DecimalTextValue(valueText) & 0xFFFF));
            break;
        case 'H':
        case 'A':
            PutLong(field, HexTextValue(valueText));
            break;
        case 'M':
            // A check mark is one character; anything but "1" travels as "0" so the field keeps
            // its four bytes and the modem stays in step with the following fields.
            field.push_back(valueText == "1" ? '1' : '0');
            break;
        case 'S':
            // An embedded 0x00 would end the text early on the modem's side and shift every
            // following field; the text travels up to it.
            for (char c : valueText) {
                if (c == '\0') break;
                field.push_back(static_cast<uint8_t>(c));
            }
            break;
        default:
            return false;
    }
    field.push_back(0x00);
    out.insert(out.end(), field.begin(), field.end());
    return true;
}

MessageBuilder::MessageBuilder(uint8_t code) : body_{kStartByte, code, 0x00} {}

bool MessageBuilder::TagOk(char type, char tag) {
    if (!Ok()) return false;
    // Tags are level characters; a 0x00 tag would end an S field early on the modem's side.
    if (tag >= '0' && tag <= '9') return true;
    error_ = std::string("the tag of a '") + type + "' field must be '0'..'9', not 0x" +
             core::HexWord(static_cast<uint8_t>(tag), 2);
    return false;
}

MessageBuilder& MessageBuilder::Add(const Field& field) {
    return Add(field.type, field.tag, field.value);
}

MessageBuilder& MessageBuilder::Add(char type, char tag, std::string_view valueText) {
    if (!TagOk(type, tag)) return *this;
    if (type == 'N') {
        return AddBlock(tag, reinterpret_cast<const uint8_t*>(valueText.data()), valueText.size());
    }
    if (type == 'K') {
        body_.push_back('K');
        body_.push_back(static_cast<uint8_t>(tag));
        return *this;
    }
    if (!EncodeField(body_, type, tag, valueText)) {
        error_ = std::string("unknown field type '") + type + "'";
    }
    return *this;
}

MessageBuilder& MessageBuilder::AddByte(char tag, uint8_t value) {
    if (!TagOk('B', tag)) return *this;
    body_.insert(body_.end(), {'B', static_cast<uint8_t>(tag), value, 0x00});
    return *this;
}

MessageBuilder& MessageBuilder::AddWord(char tag, uint16_t value) {
    if (!TagOk('W', tag)) return *this;
    body_.push_back('W');
    body_.push_back(static_cast<uint8_t>(tag));
    PutWord(body_, value);
    body_.push_back(0x00);
    return *this;
}

MessageBuilder& MessageBuilder::AddAddress(char tag, uint32_t value) {
    if (!TagOk('A', tag)) return *this;
    body_.push_back('A');
    body_.push_back(static_cast<uint8_t>(tag));
    PutLong(body_, value);
    body_.push_back(0x00);
    return *this;
}

MessageBuilder& MessageBuilder::AddLabel(char tag, uint16_t value) {
    if (!TagOk('J', tag)) return *this;
    body_.push_back('J');
    body_.push_back(static_cast<uint8_t>(tag));
    PutWord(body_, value);
    body_.push_back(0x00);
    return *this;
}

MessageBuilder& MessageBuilder::AddBlock(char tag, const uint8_t* data, size_t count) {
    if (!TagOk('N', tag)) return *this;
    if (count > 255) {
        error_ = "an N block holds at most 255 bytes, not " + std::to_string(count);
        return *this;
    }
    body_.push_back('N');
    body_.push_back(static_cast<uint8_t>(tag));
    body_.push_back(static_cast<uint8_t>(count));
    if (count > 0) body_.insert(body_.end(), data, data + count);
    body_.push_back(0x00);
    return *this;
}

Bytes MessageBuilder::Finish() const {
    if (!Ok()) return {};
    Bytes out = body_;
    out.push_back(kEndLetter);
    PutWord(out, core::MsgCrc(0xFFFF, out.data(), out.size()));
    return out;
}

Bytes BuildMessage(Command code) { return MessageBuilder(code).Finish(); }

Bytes BuildMessage(uint8_t code, const std::vector<Field>& fields, std::string* error) {
    MessageBuilder b(code);
    for (auto& f : fields) b.Add(f);
    if (!b.Ok() && error) *error = b.Error();
    return b.Finish();
}

bool MsgComplete(const uint8_t* buffer, size_t len) {
    size_t p = 3;
    bool complete = false;
    while (p < len && !complete) {
        switch (buffer[p]) {
            case 'A':
            case 'H':
                p += 7;
                break;
            case 'B':
            case 'M':
            case 'R':
                p += 4;
                break;
            case 'J':
            case 'W':
                p += 5;
                break;
            case 'K':
                p += 2;
                break;
            case 'N':
                // The length byte may not have arrived yet.
                if (p + 2 >= len) return false;
                p += static_cast<size_t>(buffer[p + 2]) + 4;
                break;
            case 'S':
                while (buffer[p] != 0x00 && p < len - 1) ++p;
                ++p;
                break;
            case 'L':
                if (len == p + 3)
                    complete = true;
                else
                    p = len;
                break;
            default:
                p = len;
                break;
        }
    }
    return complete;
}

CrcCheck CheckCrc(const uint8_t* message, size_t length) {
    CrcCheck c;
    if (length < 2) return c;
    c.computed = core::MsgCrc(0xFFFF, message, length - 2);
    c.received = static_cast<uint16_t>((message[length - 2] << 8) | message[length - 1]);
    c.ok = c.computed == c.received;
    return c;
}

std::string CrcErrorMessage(uint16_t computed, uint16_t received) {
    return std::string(kModemCrcErrorText) + std::to_string(computed) + " " +
           std::to_string(received);
}

bool DecodeFields(const uint8_t* m, size_t len, std::vector<Field>& out, std::string* error) {
    auto fail = [&](std::string why) {
        if (error) *error = std::move(why);
        return false;
    };
    size_t p = 3;
    while (true) {
        if (p >= len) return fail("message ends without 'L'");
        char type = static_cast<char>(m[p]);
        if (type == 'L') return true;
        size_t at = p;
        auto cut = [&] {
            return fail(std::string("message ends inside the '") + type + "' field at offset " +
                        std::to_string(at));
        };
        if (p + 1 >= len) return cut();
        Field f;
        f.type = type;
        f.tag = static_cast<char>(m[p + 1]);
        p += 2;
        switch (type) {
            case 'B':
            case 'R':
                if (p + 2 > len) return cut();
                f.value = std::to_string(m[p]);
                p += 2;
                break;
            case 'W':
            case 'J':
                if (p + 3 > len) return cut();
                f.value = std::to_string((m[p] << 8) | m[p + 1]);
                p += 3;
                break;
            case 'H':
            case 'A': {
                if (p + 5 > len) return cut();
                uint32_t v = (uint32_t{m[p]} << 24) | (uint32_t{m[p + 1]} << 16) |
                             (uint32_t{m[p + 2]} << 8) | uint32_t{m[p + 3]};
                f.value = HexValueText(v);
                p += 5;
                break;
            }
            case 'M':
            case 'S': {
                const uint8_t* end = static_cast<const uint8_t*>(std::memchr(m + p, 0, len - p));
                if (!end) return cut();
                f.value.assign(reinterpret_cast<const char*>(m + p),
                               static_cast<size_t>(end - (m + p)));
                p = static_cast<size_t>(end - m) + 1;
                break;
            }
            case 'N': {
                if (p >= len) return cut();
                size_t n = m[p];
                if (p + 1 + n + 1 > len) return cut();
                f.value.assign(reinterpret_cast<const char*>(m + p + 1), n);
                p += n + 2;
                break;
            }
            case 'K':
                break;
            default:
                return fail(std::string("unknown field type 0x") +
                            core::HexWord(static_cast<uint8_t>(type), 2) + " at offset " +
                            std::to_string(at));
        }
        out.push_back(std::move(f));
    }
}

bool HasFields(const uint8_t* message, size_t length) {
    return length > 3 && message[3] != kEndLetter;
}

std::optional<uint8_t> ReplyByte5(const uint8_t* message, size_t length) {
    if (length <= 5) return std::nullopt;
    return message[5];
}

std::optional<ProgOnInfo> ParseProgOnReply(const uint8_t* m, size_t len) {
    if (len <= 5) return std::nullopt;
    const uint8_t* end = static_cast<const uint8_t*>(std::memchr(m + 5, 0, len - 5));
    if (!end) return std::nullopt;
    size_t zero = static_cast<size_t>(end - m);
    if (zero + 3 >= len) return std::nullopt;
    ProgOnInfo info;
    info.typeText.assign(reinterpret_cast<const char*>(m + 5), zero - 5);
    info.typeName = info.typeText.substr(0, info.typeText.find('/'));
    info.version = static_cast<int8_t>(m[zero + 3]);
    return info;
}

std::optional<ParameterMessage> BuildParameterMessage(const ParameterList& list, bool factory) {
    auto firstFactory =
        std::find_if(list.begin(), list.end(), [](const ModemParam& p) { return p.level == '9'; });
    ParameterMessage msg;
    if (factory && firstFactory != list.end()) {
        msg.code = Command::FactoryParamsSend;
        msg.firstIndex = static_cast<size_t>(firstFactory - list.begin());
        for (auto it = firstFactory; it != list.end() && it->level == '9'; ++it)
            msg.fields.push_back(Field{it->type, it->level, it->value});
    } else {
        msg.code = Command::ParamsSend;
        for (auto it = list.begin(); it != firstFactory; ++it)
            msg.fields.push_back(Field{it->type, it->level, it->value});
        if (msg.fields.empty()) return std::nullopt;
    }
    MessageBuilder b(msg.code);
    for (size_t i = 0; i < msg.fields.size() && b.Ok(); ++i) {
        b.Add(msg.fields[i]);
        if (!b.Ok())
            msg.error = "parameter " + std::to_string(msg.firstIndex + i + 1) + ": " + b.Error();
    }
    msg.bytes = b.Finish();
    return msg;
}

ReplyAssembler::Outcome ReplyAssembler::Feed(const uint8_t* chunk, size_t count) {
    Outcome out;
    if (count > 0) buffer_.insert(buffer_.end(), chunk, chunk + count);
    // The first '$' must stand before the first 0x00; otherwise nothing here can start a reply.
    auto zero = std::find(buffer_.begin(), buffer_.end(), uint8_t{0});
    auto start = std::find(buffer_.begin(), zero, kStartByte);
    if (start == zero) {
        buffer_.clear();
        return out;
    }
    buffer_.erase(buffer_.begin(), start);
    if (MsgComplete(buffer_)) {
        out.crc = CheckCrc(buffer_);
        out.result = out.crc.ok ? Result::Complete : Result::CrcError;
        out.message = std::move(buffer_);
        Clear();
        return out;
    }
    if (buffer_.size() > kMaxReplyLength) {
        out.result = Result::Overflow;
        Clear();
    }
    return out;
}

void ReplyAssembler::Clear() {
    std::fill(buffer_.begin(), buffer_.end(), uint8_t{0});
    buffer_.clear();
    buffer_.shrink_to_fit();
}

}  // namespace kelmor::modemcfg
