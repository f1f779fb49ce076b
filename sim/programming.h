#pragma once
// The simulated modem's programming mode: a modem of one definition type that holds parameter
// values (factory ones too), an EEPROM copy of them, the project's protocol information and its
// routing tables, and answers the PC's framed commands one reply per command. Bytes go in one at
// a time; a byte that completes a command returns the reply frame. No clock and no port: the
// in-process tests and the pty front end both drive it.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "modemcfg/definition.h"
#include "modemcfg/protocol.h"

namespace kelmor::sim {

using Bytes = std::vector<uint8_t>;

enum class ProgFaultKind {
    Silence,        // no reply (the command is not carried out)
    CrcErrorReply,  // reply code 5 instead (not carried out)
    UnknownReply,   // reply code 19 instead (not carried out)
    CorruptFrame,   // carried out, but the reply's CRC is wrong
    Stall,          // carried out and answered; then nothing more is ever answered
    SaveFails,      // ParamsSave / RoutesSave answer 0 and keep nothing
};

struct ProgFault {
    int command = -1;  // command code; -1 any command
    ProgFaultKind kind = ProgFaultKind::Silence;
    int after = 0;  // matching commands that pass untouched first
    int count = 1;  // matching commands affected; < 0 every one that follows
};

// "COMMAND:KIND[:AFTER[:COUNT]]": COMMAND a command name (ProgOn, ParamsSend, … any case), its
// code, or "any"; KIND silence, crc, unknown, corrupt, stall, savefail.
std::optional<ProgFault> ParseProgFault(const std::string& text, std::string* error = nullptr);
std::string ProgFaultHelp();

struct ProgrammingConfig {
    std::string typeText;        // reported type text; empty: the definition's Name + "/SIM"
    std::optional<int> version;  // reported version byte; none: the definition's
    bool routingAvailable = true;
    bool wantsOffsetLength = false;  // byte 5 of the protocol reply
    std::vector<ProgFault> faults;
};

struct SourceRoute {
    uint32_t address = 0;
    std::vector<uint16_t> path;  // system addresses, from the node next to the master
    bool operator==(const SourceRoute&) const = default;
};

// What the modem holds.
struct ModemState {
    std::vector<std::string> values;  // working values, one per parameter in definition order
    std::vector<std::string> eeprom;  // the saved copy (what survives ProgOff and a restart)
    int protocol = -1;
    int routingType = -1;
    int systemAddress = -1;
    std::string networkId;
    int offset = -1;
    int length = -1;
    std::vector<SourceRoute> sourceRoutes;   // saved
    std::vector<std::string> virtualRoutes;  // saved, "000000F0 <-> 0001" or "0003 <-> 0002"
};

class ProgrammingModem {
  public:
    ProgrammingModem(modemcfg::Definition definition, ProgrammingConfig config);

    // One byte from the PC; the reply when the byte completed a command.
    Bytes Receive(uint8_t byte);
    Bytes Receive(const Bytes& bytes);  // every reply, concatenated

    bool InProgrammingMode() const { return programming_; }
    // Neither in programming mode nor inside a frame: the bytes belong to someone else.
    bool Idle() const { return !programming_ && buffer_.empty(); }
    const modemcfg::Definition& Definition() const { return definition_; }
    ModemState& State() { return state_; }
    const ModemState& State() const { return state_; }
    // Names of the commands received with a good CRC, in order.
    const std::vector<std::string>& CommandLog() const { return log_; }
    const ProgrammingConfig& Config() const { return config_; }
    ProgrammingConfig& Config() { return config_; }

    // Called after every command the modem carried out (the pty front end saves its state).
    std::function<void()> onCommand;

    // What the modem holds as JSON, and back (values by parameter key).
    std::string StateJson() const;
    bool LoadStateJson(const std::string& text, std::string* error);

  private:
    Bytes Handle(const Bytes& frame);
    Bytes Answer(uint8_t code, const Bytes& frame);
    Bytes Execute(uint8_t code, const Bytes& frame, bool corruptSave);
    Bytes ParameterReply(uint8_t code, size_t first, size_t end) const;
    Bytes AcceptParameters(uint8_t code, const Bytes& frame, size_t first, size_t end);
    Bytes Reply(uint8_t code, std::vector<modemcfg::Field> fields = {}) const;
    Bytes ByteReply(uint8_t code, uint8_t value) const;
    const ProgFault* TakeFault(uint8_t code);
    size_t FirstFactory() const;

    modemcfg::Definition definition_;
    ProgrammingConfig config_;
    ModemState state_;
    std::vector<int> faultSeen_;
    Bytes buffer_;
    bool programming_ = false;
    bool stalled_ = false;
    // Route messages since the last save; the kind of the sequence that collected them.
    std::vector<SourceRoute> stagedSource_;
    std::vector<std::string> stagedVirtual_;
    bool stagedAny_ = false;
    bool stagedVirtualKind_ = false;
    std::vector<std::string> log_;
};

// The value a fresh modem holds for a parameter of this type.
std::string DefaultValue(char type);

}  // namespace kelmor::sim
