#pragma once
// The framed request/reply messages between the PC and a modem in programming mode:
//   '$', code, 0x00, fields..., 'L', CRC high, CRC low
// CRC = MsgCrc(0xFFFF) over every byte from '$' up to and including 'L'. Each field is a type
// letter, a tag byte (the parameter's security-level character, '0' for non-parameters) and a
// value. Everything here is pure: no port, no clock, no prompts.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "modemcfg/modemparam.h"

namespace kelmor::modemcfg {

using Bytes = std::vector<uint8_t>;

inline constexpr uint8_t kStartByte = '$';
inline constexpr uint8_t kEndLetter = 'L';
inline constexpr char kNonParameterTag = '0';

// Commands the PC sends.
enum class Command : uint8_t {
    ProgOff = 0,
    ProgOn = 1,
    ParamsSend = 2,
    ParamsRequest = 3,
    RoutesSend = 4,
    ParamsSave = 6,
    OffsetLengthSend = 7,
    VirtualRoutesSend = 10,
    ProtocolSend = 11,
    RoutesSave = 12,
    RoutesSendFirst = 13,
    VirtualRoutesSendFirst = 14,
    SourceRoutesRemove = 15,
    FactoryParamsSend = 17,
    FactoryParamsRequest = 18,
};

// Reply codes the PC recognises (byte 1 of a reply with bit 7 cleared).
enum class Reply : uint8_t {
    ProgOff = 0,
    ProgOn = 1,
    ParamsSend = 2,
    ParamsRequest = 3,
    RoutesSend = 4,
    CrcErrorReply = 5,
    ParamsSave = 6,
    OffsetLengthSend = 7,
    RemoteState = 8,
    VirtualRoutesSend = 10,
    ProtocolSend = 11,
    RoutesSave = 12,
    SourceRoutesRemove = 15,
    FactoryParamsSend = 17,
    FactoryParamsRequest = 18,
    UnknownReply = 19,
};

struct CommandInfo {
    Command code;
    const char* name;        // "ProgOn"
    const char* statusLine;  // shown when sent; nullptr where the sender sets its own
};

// Texts of a recognised reply. nullptr = none. Which of the conditional texts applies is the
// handler's business (fields present, the byte at offset 5).
struct ReplyInfo {
    Reply code;
    const char* name;
    const char* statusLine;        // always appended first
    const char* fieldsStatusLine;  // appended too when the reply carries fields
    const char* message;           // message box shown for every such reply
    const char* fieldsMessage;     // message box when the reply carries fields
    const char* byte5ZeroMessage;  // message box when the byte at offset 5 is 0
    const char* byte5TwoMessage;   // message box when the byte at offset 5 is 2
};

const std::vector<CommandInfo>& Commands();
const CommandInfo* FindCommand(Command code);
const CommandInfo* FindCommand(std::string_view name);  // exact, case-sensitive name

const std::vector<ReplyInfo>& Replies();
// The entry for a received code byte (bit 7 ignored); nullptr for codes that are accepted and
// then dropped (9, 13, 14, 16, 20 and above).
const ReplyInfo* FindReply(uint8_t codeByte);
inline uint8_t ReplyCode(uint8_t codeByte) { return codeByte & 0x7F; }

// One typed field. value holds the text form for B, R, W, H, M, S (decimal, hexadecimal
// without prefix, "1"/"0", text), hexadecimal for A, decimal for J, the raw data bytes for N,
// and nothing for K.
struct Field {
    char type = 'B';
    char tag = kNonParameterTag;
    std::string value;

    bool operator==(const Field&) const = default;
};

// Size in bytes of a field of a fixed-size type (letter included); 0 for S, N and unknown.
size_t FixedFieldSize(char type);

// Builds one message: '$', code, 0x00, the fields, 'L', CRC. A field that cannot travel
// (unknown letter, a tag other than '0'..'9', an N block over 255 bytes) makes Ok() false with a
// reason in Error(); the bytes are then not to be sent.
class MessageBuilder {
  public:
    explicit MessageBuilder(uint8_t code);
    explicit MessageBuilder(Command code) : MessageBuilder(static_cast<uint8_t>(code)) {}

    // A field from its text form (the encoding rules of each letter, see protocol.cpp).
    MessageBuilder& Add(const Field& field);
    MessageBuilder& Add(char type, char tag, std::string_view valueText);
    // Non-parameter fields from numbers and bytes (route messages).
    MessageBuilder& AddByte(char tag, uint8_t value);                       // B
    MessageBuilder& AddWord(char tag, uint16_t value);                      // W
    MessageBuilder& AddAddress(char tag, uint32_t value);                   // A
    MessageBuilder& AddLabel(char tag, uint16_t value);                     // J
    MessageBuilder& AddBlock(char tag, const uint8_t* data, size_t count);  // N
    MessageBuilder& AddBlock(char tag, const Bytes& data) {
        return AddBlock(tag, data.data(), data.size());
    }

    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    // The finished frame ('L' and CRC appended). Empty when !Ok().
    Bytes Finish() const;

  private:
    bool TagOk(char type, char tag);

    Bytes body_;
    std::string error_;
};

// A message without fields (6 bytes), or with fields; empty on a field that cannot travel,
// with the reason in *error when given.
Bytes BuildMessage(Command code);
Bytes BuildMessage(uint8_t code, const std::vector<Field>& fields, std::string* error = nullptr);

// Field bytes of one parameter from its text form: B, R low 8 bits of the decimal value;
// W 16 bits big-endian; H the hexadecimal text as 32 bits big-endian; M '1' or '0'; S the
// characters. Invalid numbers are 0. Appends to out; false for an unknown letter.
bool EncodeField(Bytes& out, char type, char tag, std::string_view valueText);

// True when buffer (which starts with '$') holds exactly one complete message and nothing
// more. A message followed by further bytes is never complete; a cut-short one not yet.
bool MsgComplete(const uint8_t* buffer, size_t length);
inline bool MsgComplete(const Bytes& b) { return MsgComplete(b.data(), b.size()); }

struct CrcCheck {
    bool ok = false;
    uint16_t computed = 0;  // over all but the last two bytes
    uint16_t received = 0;  // the last two bytes, high first
};
// Length under 2 gives ok = false with both values 0.
CrcCheck CheckCrc(const uint8_t* message, size_t length);
inline CrcCheck CheckCrc(const Bytes& m) { return CheckCrc(m.data(), m.size()); }

inline constexpr const char* kModemCrcErrorText = "CRC error in modem -> PC message";
// "CRC error in modem -> PC message" + computed + " " + received, both decimal.
std::string CrcErrorMessage(uint16_t computed, uint16_t received);

// Decodes the fields from offset 3 up to 'L'. B, R, W, J decimal; H, A upper-case hexadecimal
// of 4 digits when the value fits 16 bits, else 8; M, S the characters up to 0x00; N the raw
// bytes; K no value. False, with a reason, when the bytes end inside a field, a letter is
// unknown or no 'L' is found; fields decoded so far stay in out.
bool DecodeFields(const uint8_t* message, size_t length, std::vector<Field>& out,
                  std::string* error = nullptr);
inline bool DecodeFields(const Bytes& m, std::vector<Field>& out, std::string* error = nullptr) {
    return DecodeFields(m.data(), m.size(), out, error);
}

// True when a reply carries at least one field (byte 3 is not 'L').
bool HasFields(const uint8_t* message, size_t length);
inline bool HasFields(const Bytes& m) { return HasFields(m.data(), m.size()); }

// The byte at offset 5 (value of a one-byte first field) by which route, protocol and save
// replies are judged; nothing when the reply is shorter.
std::optional<uint8_t> ReplyByte5(const uint8_t* message, size_t length);
inline std::optional<uint8_t> ReplyByte5(const Bytes& m) { return ReplyByte5(m.data(), m.size()); }

// The type name and version byte of a programming-mode reply: from offset 5 a 0x00-terminated
// type text whose part before the first '/' is the type name; the version byte (signed) stands
// three bytes after the terminating 0x00. Nothing when the reply is too short for either.
struct ProgOnInfo {
    std::string typeText;  // the whole reported text
    std::string typeName;  // up to the first '/'
    int8_t version = 0;
};
std::optional<ProgOnInfo> ParseProgOnReply(const uint8_t* message, size_t length);
inline std::optional<ProgOnInfo> ParseProgOnReply(const Bytes& m) {
    return ParseProgOnReply(m.data(), m.size());
}

// The parameter message of a transmit. Without factory: ParamsSend with every entry before
// the first level-9 entry (nothing when the list starts with one or is empty). With factory:
// FactoryParamsSend with the run of level-9 entries starting at the first one, or, when the
// list has no level-9 entry, the ParamsSend above. Tags are the entries' level characters.
// Nothing when there is nothing to send. An entry that cannot travel (a level that is not
// '0'..'9', an unknown type) leaves bytes empty and says which in error: send nothing then.
struct ParameterMessage {
    Command code = Command::ParamsSend;
    std::vector<Field> fields;
    size_t firstIndex = 0;  // list index of fields[0]
    Bytes bytes;            // the frame to send
    std::string error;
};
std::optional<ParameterMessage> BuildParameterMessage(const ParameterList& list, bool factory);

// Reassembles a reply from received chunks. Feed a chunk; when the buffer then holds one
// complete message its CRC is checked and the buffer is cleared, whatever the result.
// Garbage before the first '$' is dropped; a buffer without a '$' before its first 0x00 byte
// is dropped whole. The buffer is bounded: one that grows past kMaxReplyLength without
// completing is dropped (Overflow), so a modem streaming garbage cannot exhaust memory.
class ReplyAssembler {
  public:
    static constexpr size_t kMaxReplyLength = 4096;

    enum class Result {
        Pending,   // nothing complete yet (buffer kept, or empty)
        Complete,  // message holds a reply with a good CRC
        CrcError,  // message holds a complete reply with a bad CRC; crc has both values
        Overflow,  // the buffer grew past the bound and was dropped
    };
    struct Outcome {
        Result result = Result::Pending;
        Bytes message;
        CrcCheck crc;
    };

    Outcome Feed(const uint8_t* chunk, size_t count);
    Outcome Feed(const Bytes& chunk) { return Feed(chunk.data(), chunk.size()); }
    void Clear();
    const Bytes& Buffer() const { return buffer_; }

  private:
    Bytes buffer_;
};

}  // namespace kelmor::modemcfg
