#pragma once
// ModemExchange: one conversation with a modem in programming mode, as a state machine without
// I/O. It is fed received chunks, timer expiries and the user's answers, and acts through its
// host (port, status window, timers, properties form) and its target (the node whose values
// travel, and in routing mode the route distribution). The designer window is one host; the
// command-line tool and the tests are others.
//
// Chains, one command per reply:
//   receive            ProgOn, ParamsRequest, [FactoryParamsRequest at level 9], ProgOff
//   transmit (single)  ProgOn, [FactoryParamsSend at level 9], ParamsSend, ParamsSave, ProgOff
//   transmit (routing) ProgOn, [FactoryParamsSend], ParamsSend, ProtocolSend, [OffsetLengthSend],
//                      ParamsSave, route messages or SourceRoutesRemove, ProgOff
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "modemcfg/definition.h"
#include "modemcfg/modemparam.h"
#include "modemcfg/protocol.h"
#include "platform/prompter.h"

namespace kelmor::modemcfg {

// What the programming-mode reply leads to.
enum class PendingOperation : int {
    None = 0,
    Receive = 2,
    Transmit = 3,
    Routes = 5,
    TransmitFactory = 13,
};

enum class ExchangeTimer : int {
    Alkutmr = 0,     // 1 s between opening the port and the programming-mode command
    Tilasiirto = 1,  // 10 s for the programming-mode reply
    Rsptmr = 2,      // 10 s data-flow watchdog
};
inline constexpr int kAlkutmrMs = 1000;
inline constexpr int kTilasiirtoMs = 10000;
inline constexpr int kRsptmrMs = 10000;

enum class StatusMode : int {
    Ordinary = 0,
    Final = 1,           // the last line: the port closes after it
    TransmitBegins = 2,  // caption "Transfering values to modem " + node name
    ReceiveBegins = 3,   // caption "Receiving values from modem " + node name
};

inline constexpr const char* kTransmitCaption = "Transfering values to modem ";
inline constexpr const char* kReceiveCaption = "Receiving values from modem ";
inline constexpr const char* kClosePortFirstText =
    "Close serial port before changing port number !!";
inline constexpr const char* kPortNumberText = "Check serial port number !!. Allowed values 1..16";
inline constexpr const char* kNoResponseText =
    "No response from the modem!!!\r\nCheck the selected port, the power supply, the serial "
    "cable and set the modem to the programming mode.";
inline constexpr const char* kDataflowText =
    "ERROR: Dataflow between modem and PC interrupted some way !!";
inline constexpr const char* kDataflowStatus =
    "Dataflow between modem and PC interrupted some way !!";
inline constexpr const char* kVersionQuestion =
    "The radio modem smf-file version number value is different.\r\nContinue anyway ?";
inline constexpr const char* kParameterErrorText =
    "ERROR: One of parameters send to modem was invalid !\r\nPlease check parameters.";
inline constexpr const char* kSaveErrorText = "Error saving parameters to eeprom";
inline constexpr const char* kCrcReplyText = "CRC Error in PC <-> modem message";
inline constexpr const char* kUnknownReplyText = "Unknown response from modem";
inline constexpr const char* kQuestionCaption = "Warning";
// Not in the original texts: the exchange refuses a second start, an empty parameter block and
// a parameter reply it cannot read, each with a message instead of a silent stall.
inline constexpr const char* kExchangeRunningText =
    "A transfer with the modem is already running.\r\nWait until it has ended.";
inline constexpr const char* kNoModemText = "No modem selected.";
inline constexpr const char* kNothingToSendText =
    "There are no parameter values to send to the modem.\r\nReceive the values or open the "
    "modem properties first.";
inline constexpr const char* kBadParameterReplyText =
    "The modem's parameter reply could not be read; nothing was stored.\r\n";
inline constexpr const char* kQueueFailedText =
    "ERROR: The message could not be handed to the serial port.\r\nThe transfer with the modem "
    "was stopped.";
inline constexpr const char* kQueueFailedStatus = "Message could not be sent, transfer stopped";
inline constexpr const char* kAbortedStatus = "Transfer stopped, serial port closed";

// "Smf-file type doesn't match. ..." with the definition's and the modem's type names.
std::string TypeQuestion(const std::string& typeTitle, const std::string& reportedName);
std::string OpeningPortText(int portNumber);  // "Opening port COM1.. Wait 1 second.."

// How an exchange ended.
enum class ExchangeResult {
    Completed,            // the whole chain ran and the modem returned to its normal state
    Declined,             // the user answered No to the type or version question
    NoResponse,           // no programming-mode reply
    DataflowInterrupted,  // the watchdog ended a stalled exchange
    ParameterError,       // the modem rejected parameters (reply 2 or 17 with fields)
    NothingToSend,        // the node has no parameters to send
    BadReply,             // a parameter reply that could not be read
    SaveFailed,           // "Error saving parameters to eeprom"
    RoutesFailed,         // a negative route reply
    RoutingNotAvailable,  // "Routing NOT available in this modem version !!"
    RouteMessageError,    // a route message could not be built
    CrcError,             // a reply with a bad CRC, or the modem's CRC-error reply
    UnknownReply,         // the modem did not know a command
    Interrupted,          // the modem left programming mode before the chain ended
    QueueFailed,          // a frame could not be handed to the port
    Aborted,              // ended by the window (Abort), e.g. when it closed
};
const char* ResultText(ExchangeResult result);

// One step of route distribution, as the target's route sequence decides it.
struct RouteStep {
    enum class Kind {
        Send,        // send frame after showing statusLine
        ParamsSave,  // the save-parameters command comes next
        End,         // the distribution is over (errorText shown first when set)
        Error,       // a message could not be built: errorStatus ends the port use, errorText
        NotMine,     // not a route reply
    };
    Kind kind = Kind::NotMine;
    Bytes frame;
    std::string statusLine;
    std::string errorStatus;
    std::string errorText;
};

// The network side of an exchange.
class ExchangeTarget {
  public:
    virtual ~ExchangeTarget() = default;

    // Called when an exchange starts: the node it works on from now on. False: no node.
    virtual bool Begin() = 0;
    virtual std::string NodeName() const = 0;
    virtual std::string PortSettings() const = 0;
    virtual int TypeVersion() const = 0;
    virtual std::string TypeTitle() const = 0;
    virtual const ParameterList& Parameters() const = 0;
    virtual void RewindParameters() = 0;
    // Writes the next entry: with setShown the entry's shown flag becomes shownValue first;
    // without it only an entry whose shown flag is set takes the value.
    virtual void PutParameter(char type, char level, bool setShown, bool shownValue,
                              const std::string& value) = 0;
    // After a parameter reply was stored: the node becomes the current one, the work modified.
    virtual void ValuesReceived() = 0;
    // A transmit begins: no current node.
    virtual void TransmitStarting() = 0;

    virtual bool RoutingMode() const = 0;
    // Routing mode: the routes are computed before a transmit; false stops it (the target has
    // shown its message).
    virtual bool ComputeRoutes() = 0;
    virtual RouteStep SendProtocolInfo() = 0;
    // The step that follows a route-related reply (code 1, 4, 6, 7, 8, 10, 11, 12, 15).
    virtual RouteStep OnRouteReply(uint8_t replyCode, std::optional<uint8_t> byte5,
                                   bool hasFields) = 0;
    virtual bool RoutesInFlight() const = 0;
    virtual void AbandonRoutes() = 0;
};

// The window side of an exchange.
class ExchangeHost {
  public:
    virtual ~ExchangeHost() = default;

    // --- serial port ---
    virtual bool PortIsOpen() const = 0;
    // The accepted parts of the node's serial settings (the others keep their previous value),
    // and always DTRline false, DTRmode dtrENABLE, Kattely fcNone, RTSline false, RTSmode
    // rtsDISABLE.
    virtual void ApplySerialSettings(const SerialSettings& settings) = 0;
    virtual void SetPortNumber(int number) = 0;  // 1..16 (Portin_nro = number - 1)
    virtual void OpenPort() = 0;
    virtual void ClosePort() = 0;  // may be called when already closed
    // Before the port opens: the largest frame this exchange can send (the transmit buffer
    // must take it whole).
    virtual void ReserveTransmit(size_t /*bytes*/) {}
    // Queues a whole frame; false when the port could not take it (closed, buffer too small).
    // The engine then ends the exchange at once.
    virtual bool QueueBytes(const Bytes& frame) = 0;

    // --- communication status window ---
    // Shows the window if hidden and appends the line. Modes 2 and 3 also set the caption
    // (given), disable Close and Save and bring the window to front; mode 1 starts the
    // one-second timer that enables them again. The engine closes the port after a final line.
    virtual void StatusLine(const std::string& line, StatusMode mode,
                            const std::string& caption) = 0;
    // The byte log: sent frames in green, received frames in blue (factory mode shows it).
    virtual void StatusBytes(const Bytes& frame, bool sent) = 0;

    // --- timers (one shot or periodic, the engine stops them itself) ---
    virtual void StartTimer(ExchangeTimer timer, int intervalMs) = 0;
    virtual void StopTimer(ExchangeTimer timer) = 0;

    // --- properties form ---
    virtual void HideForm() {}
    virtual void ShowForm() {}  // open the form for the exchange's node
    // Mark field of the form: index 1, 2, 3 … (reply 2) or 1001, 1002 … (reply 17).
    virtual void MarkField(int /*index*/, const Field& /*field*/) {}
    virtual void EnableFormCancel() {}

    // --- the end ---
    virtual void ExchangeEnded(ExchangeResult /*result*/) {}
};

class ModemExchange {
  public:
    ModemExchange(ExchangeHost& host, ExchangeTarget& target, platform::Prompter& prompter);

    // Security level '0', '5' or '9'; port number 1..16 (stored as given, checked on use).
    void SetSecurityLevel(char level) { securityLevel_ = level; }
    char SecurityLevel() const { return securityLevel_; }
    void SetPortNumber(int number) { portNumber_ = number; }
    int PortNumber() const { return portNumber_; }

    // "&Receive values" / "&Transmit values". False when nothing was started (another
    // exchange runs, no node, or the routes could not be computed).
    bool StartReceive();
    bool StartTransmit();

    // A chunk from the port (tulleet_merkit).
    void OnReceived(const uint8_t* bytes, size_t count);
    void OnReceived(const Bytes& bytes) { OnReceived(bytes.data(), bytes.size()); }
    void OnTimer(ExchangeTimer timer);
    // Ends a running exchange at once (the window closes, the user stops it): timers stopped,
    // the port closed, the final status line written, ExchangeEnded(Aborted). Safe to call
    // while a question of the exchange is open; the question's answer is then ignored.
    void Abort(const std::string& statusLine = kAbortedStatus);

    // While a message or question of the exchange is open (a modal box runs its own event loop),
    // received bytes and timer expiries are held and handled in order once it has closed, so
    // the engine is never entered twice.
    bool QuestionOpen() const { return modal_ > 0; }

    bool Running() const { return running_; }
    bool ExchangeActive() const { return exchangeActive_; }
    PendingOperation Pending() const { return pending_; }
    bool TimerRunning(ExchangeTimer timer) const { return timers_[Index(timer)]; }
    const Bytes& ReceiveBuffer() const { return assembler_.Buffer(); }

  private:
    static size_t Index(ExchangeTimer t) { return static_cast<size_t>(t); }
    void Start(ExchangeTimer t, int ms);
    void Stop(ExchangeTimer t);
    void Status(const std::string& line, StatusMode mode = StatusMode::Ordinary);
    bool Send(const Bytes& frame, const std::string& statusLine);
    bool SendCommand(Command command);
    void OpenPort();
    bool Begin(PendingOperation operation);
    void Finish(ExchangeResult result);
    void Fail(ExchangeResult result);  // remembers the first failure of the exchange

    void Receive(const uint8_t* bytes, size_t count);
    void Expire(ExchangeTimer timer);
    void ReleaseHeld();
    platform::Answer Ask(const platform::Prompt& prompt);
    void Message(const std::string& text);
    bool Question(const std::string& text);
    void Dispatch(const Bytes& reply);
    void OnProgOn(const Bytes& reply);
    void OnRemoteState();
    void SendParameters(bool factory);
    bool StoreFields(const Bytes& reply, bool factory);
    void OnParamsSendReply(const Bytes& reply);
    void OnFactoryParamsSendReply(const Bytes& reply);
    void OnParamsSaveReply(const Bytes& reply);
    void RouteReply(uint8_t code, const Bytes& reply);
    void Apply(const RouteStep& step);

    ExchangeHost& host_;
    ExchangeTarget& target_;
    platform::Prompter& prompter_;
    ReplyAssembler assembler_;
    std::array<bool, 3> timers_{};
    bool running_ = false;
    bool exchangeActive_ = false;
    bool chainDone_ = false;  // the chain's last step before ProgOff was reached
    std::optional<ExchangeResult> failure_;
    int lastCommand_ = -1;  // code of the command awaiting its reply, -1 none
    int restarts_ = 0;      // programming-mode replies that came unasked
    int modal_ = 0;         // messages and questions open
    int depth_ = 0;         // entry points running (OnReceived, OnTimer, Start*)
    Bytes heldBytes_;
    std::vector<std::pair<ExchangeTimer, uint32_t>> heldTimers_;  // with the timer's generation
    std::array<uint32_t, 3> generation_{};                        // counted up on every start
    PendingOperation pending_ = PendingOperation::None;
    char securityLevel_ = '0';
    int portNumber_ = 1;
};

// The largest frame an exchange of this parameter list can send: the parameter block (all
// entries; the factory block is a part of it) or a route message, whichever is larger.
size_t LargestFrameSize(const ParameterList& parameters);

// The port number of the designer, from the settings file (section "Properties", key "Port
// number", default 1), and its storing (the write failure shows "Unable to write ini file.
// Access denied").
int ReadPortNumber(const std::string& iniPath);
bool StorePortNumber(const std::string& iniPath, int number, platform::Prompter& prompter);

}  // namespace kelmor::modemcfg
