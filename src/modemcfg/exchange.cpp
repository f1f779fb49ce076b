#include "modemcfg/exchange.h"

#include <algorithm>

#include "platform/inifile.h"

namespace kelmor::modemcfg {

namespace {

constexpr int kNoCommand = -1;
constexpr int kMaxRestarts = 3;

const char* StatusOf(Command c) {
    const CommandInfo* info = FindCommand(c);
    return info && info->statusLine ? info->statusLine : "";
}

bool IsParameterType(char type) {
    switch (type) {
        case 'B':
        case 'H':
        case 'M':
        case 'R':
        case 'S':
        case 'W':
            return true;
        default:
            return false;
    }
}

// The reply a command is answered with. Replies to commands we did not send are dropped: a
// stray or repeated reply must not advance a chain (a repeated ParamsSend reply in a receive
// would otherwise save and distribute routes to a modem the user only wanted to read).
bool Answers(uint8_t reply, int command) {
    switch (reply) {
        case 3:
            return command == static_cast<int>(Command::ParamsRequest);
        case 18:
            return command == static_cast<int>(Command::FactoryParamsRequest);
        case 2:
            return command == static_cast<int>(Command::ParamsSend);
        case 17:
            return command == static_cast<int>(Command::FactoryParamsSend);
        case 6:
            return command == static_cast<int>(Command::ParamsSave);
        case 11:
            return command == static_cast<int>(Command::ProtocolSend);
        case 7:
            return command == static_cast<int>(Command::OffsetLengthSend);
        case 4:
            return command == static_cast<int>(Command::RoutesSend) ||
                   command == static_cast<int>(Command::RoutesSendFirst);
        case 10:
            return command == static_cast<int>(Command::VirtualRoutesSend) ||
                   command == static_cast<int>(Command::VirtualRoutesSendFirst);
        case 12:
            return command == static_cast<int>(Command::RoutesSave);
        case 15:
            return command == static_cast<int>(Command::SourceRoutesRemove);
        default:
            // Normal state, programming mode, remote state, CRC error and unknown command are
            // taken whenever they come.
            return true;
    }
}

}  // namespace

std::string TypeQuestion(const std::string& typeTitle, const std::string& reportedName) {
    return "Smf-file type doesn't match.\r\nSelected " + typeTitle +
           "\r\nRadio modem software needs the smf-file " + reportedName +
           "\r\nIncorrect smf-file type may show wrong values.\r\nDo you want to continue ?";
}

std::string OpeningPortText(int portNumber) {
    return "Opening port COM" + std::to_string(portNumber) + ".. Wait 1 second..";
}

const char* ResultText(ExchangeResult result) {
    switch (result) {
        case ExchangeResult::Completed:
            return "completed";
        case ExchangeResult::Declined:
            return "stopped by the user at the type or version question";
        case ExchangeResult::NoResponse:
            return "no response from the modem";
        case ExchangeResult::DataflowInterrupted:
            return "data flow between modem and PC interrupted";
        case ExchangeResult::ParameterError:
            return "the modem rejected parameters; nothing was saved";
        case ExchangeResult::NothingToSend:
            return "no parameter values to send";
        case ExchangeResult::BadReply:
            return "unreadable parameter reply; nothing was stored";
        case ExchangeResult::SaveFailed:
            return "the modem could not save the parameters to its EEPROM";
        case ExchangeResult::RoutesFailed:
            return "the modem refused the routes";
        case ExchangeResult::RoutingNotAvailable:
            return "routing not available in this modem version";
        case ExchangeResult::RouteMessageError:
            return "a route message could not be built";
        case ExchangeResult::CrcError:
            return "CRC error between modem and PC";
        case ExchangeResult::UnknownReply:
            return "the modem did not know a command";
        case ExchangeResult::Interrupted:
            return "the modem left programming mode before the transfer ended";
        case ExchangeResult::QueueFailed:
            return "a message could not be handed to the serial port";
        case ExchangeResult::Aborted:
            return "stopped before the transfer ended";
    }
    return "?";
}

ModemExchange::ModemExchange(ExchangeHost& host, ExchangeTarget& target,
                             platform::Prompter& prompter)
    : host_(host), target_(target), prompter_(prompter) {}

void ModemExchange::Start(ExchangeTimer t, int ms) {
    timers_[Index(t)] = true;
    ++generation_[Index(t)];
    host_.StartTimer(t, ms);
}

void ModemExchange::Stop(ExchangeTimer t) {
    if (!timers_[Index(t)]) return;
    timers_[Index(t)] = false;
    host_.StopTimer(t);
}

void ModemExchange::Status(const std::string& line, StatusMode mode) {
    switch (mode) {
        case StatusMode::Ordinary:
            // Every line proves the exchange is alive; while the programming-mode reply is
            // awaited the no-response timer watches instead.
            Stop(ExchangeTimer::Rsptmr);
            if (!timers_[Index(ExchangeTimer::Tilasiirto)]) Start(ExchangeTimer::Rsptmr, kRsptmrMs);
            host_.StatusLine(line, mode, {});
            break;
        case StatusMode::TransmitBegins:
        case StatusMode::ReceiveBegins:
            Stop(ExchangeTimer::Rsptmr);
            Start(ExchangeTimer::Rsptmr, kRsptmrMs);
            host_.StatusLine(
                line, mode,
                (mode == StatusMode::TransmitBegins ? kTransmitCaption : kReceiveCaption) + line);
            break;
        case StatusMode::Final:
            host_.StatusLine(line, mode, {});
            Stop(ExchangeTimer::Rsptmr);
            host_.ClosePort();
            break;
    }
}

bool ModemExchange::Send(const Bytes& frame, const std::string& statusLine) {
    lastCommand_ = frame.size() > 1 ? frame[1] : kNoCommand;
    if (!host_.QueueBytes(frame)) {
        // Waiting for a reply to a frame that never left would end, ten seconds later, in a
        // misleading data-flow message; say what happened and end now.
        Fail(ExchangeResult::QueueFailed);
        exchangeActive_ = false;
        Status(kQueueFailedStatus, StatusMode::Final);
        Finish(ExchangeResult::QueueFailed);
        Message(kQueueFailedText);
        return false;
    }
    host_.StatusBytes(frame, true);
    Status(statusLine);
    return true;
}

bool ModemExchange::SendCommand(Command command) {
    return Send(BuildMessage(command), StatusOf(command));
}

platform::Answer ModemExchange::Ask(const platform::Prompt& prompt) {
    ++modal_;
    platform::Answer answer = prompter_.Ask(prompt);
    --modal_;
    return answer;
}

void ModemExchange::Message(const std::string& text) {
    Ask(platform::Prompt{text, "", platform::Icon::None, platform::Buttons::Ok,
                         platform::Answer::Ok});
}

bool ModemExchange::Question(const std::string& text) {
    return Ask(platform::Prompt{text, kQuestionCaption, platform::Icon::Warning,
                                platform::Buttons::YesNo, platform::Answer::No}) ==
           platform::Answer::Yes;
}

void ModemExchange::Fail(ExchangeResult result) {
    if (!failure_) failure_ = result;
}

bool ModemExchange::Begin(PendingOperation operation) {
    running_ = true;
    exchangeActive_ = false;
    chainDone_ = false;
    failure_.reset();
    lastCommand_ = kNoCommand;
    restarts_ = 0;
    heldBytes_.clear();
    heldTimers_.clear();
    assembler_.Clear();
    pending_ = operation;
    return true;
}

void ModemExchange::Finish(ExchangeResult result) {
    for (auto t : {ExchangeTimer::Alkutmr, ExchangeTimer::Tilasiirto, ExchangeTimer::Rsptmr})
        Stop(t);
    exchangeActive_ = false;
    pending_ = PendingOperation::None;
    lastCommand_ = kNoCommand;
    target_.AbandonRoutes();
    assembler_.Clear();
    running_ = false;
    host_.ExchangeEnded(failure_.value_or(result));
}

void ModemExchange::OpenPort() {
    SerialSettings settings = ParseSettings(target_.PortSettings());
    for (const std::string& text : settings.messages) Message(text);
    host_.ApplySerialSettings(settings);
    if (host_.PortIsOpen()) {
        Message(kClosePortFirstText);
    } else if (portNumber_ > 16 || portNumber_ < 1) {
        Message(kPortNumberText);
    } else {
        host_.SetPortNumber(portNumber_);
    }
    host_.ReserveTransmit(LargestFrameSize(target_.Parameters()));
    host_.OpenPort();
    Status(OpeningPortText(portNumber_));
    Start(ExchangeTimer::Alkutmr, kAlkutmrMs);
}

bool ModemExchange::StartReceive() {
    if (running_) {
        Message(kExchangeRunningText);
        return false;
    }
    if (!target_.Begin()) {
        Message(kNoModemText);
        return false;
    }
    ++depth_;
    Begin(PendingOperation::Receive);
    OpenPort();
    Start(ExchangeTimer::Tilasiirto, kTilasiirtoMs);
    Status(target_.NodeName(), StatusMode::ReceiveBegins);
    if (--depth_ == 0) ReleaseHeld();
    return true;
}

bool ModemExchange::StartTransmit() {
    if (running_) {
        Message(kExchangeRunningText);
        return false;
    }
    if (target_.RoutingMode() && !target_.ComputeRoutes()) return false;
    if (!target_.Begin()) {
        Message(kNoModemText);
        return false;
    }
    ++depth_;
    Begin(securityLevel_ == '9' ? PendingOperation::TransmitFactory : PendingOperation::Transmit);
    OpenPort();
    Start(ExchangeTimer::Tilasiirto, kTilasiirtoMs);
    Status(target_.NodeName(), StatusMode::TransmitBegins);
    target_.TransmitStarting();
    if (--depth_ == 0) ReleaseHeld();
    return true;
}

void ModemExchange::Abort(const std::string& statusLine) {
    if (!running_) return;
    heldBytes_.clear();
    heldTimers_.clear();
    exchangeActive_ = false;
    host_.ClosePort();
    Status(statusLine, StatusMode::Final);
    host_.EnableFormCancel();
    failure_.reset();
    Finish(ExchangeResult::Aborted);
}

void ModemExchange::OnTimer(ExchangeTimer timer) {
    if (modal_ > 0) {
        // Handled once the open message or question has closed, unless restarted meanwhile.
        heldTimers_.emplace_back(timer, generation_[Index(timer)]);
        return;
    }
    ++depth_;
    Expire(timer);
    if (--depth_ == 0) ReleaseHeld();
}

void ModemExchange::OnReceived(const uint8_t* bytes, size_t count) {
    if (modal_ > 0) {
        heldBytes_.insert(heldBytes_.end(), bytes, bytes + count);
        return;
    }
    ++depth_;
    Receive(bytes, count);
    if (--depth_ == 0) ReleaseHeld();
}

void ModemExchange::ReleaseHeld() {
    ++depth_;
    while (modal_ == 0 && (!heldBytes_.empty() || !heldTimers_.empty())) {
        if (!heldBytes_.empty()) {
            Bytes bytes;
            bytes.swap(heldBytes_);
            Receive(bytes.data(), bytes.size());
            continue;
        }
        auto [timer, generation] = heldTimers_.front();
        heldTimers_.erase(heldTimers_.begin());
        if (generation == generation_[Index(timer)]) Expire(timer);
    }
    --depth_;
}

void ModemExchange::Expire(ExchangeTimer timer) {
    // An expiry that was already on its way when the timer was stopped is stale.
    if (!running_ || !timers_[Index(timer)]) return;
    switch (timer) {
        case ExchangeTimer::Alkutmr:
            Stop(ExchangeTimer::Alkutmr);
            exchangeActive_ = true;
            SendCommand(Command::ProgOn);
            break;
        case ExchangeTimer::Tilasiirto:
            Stop(ExchangeTimer::Tilasiirto);
            exchangeActive_ = false;
            host_.ClosePort();
            Message(kNoResponseText);
            if (!running_) return;  // aborted while the message was open
            Status("No response from the modem");
            Status("Port closed", StatusMode::Final);
            host_.EnableFormCancel();
            Finish(ExchangeResult::NoResponse);
            break;
        case ExchangeTimer::Rsptmr:
            Stop(ExchangeTimer::Rsptmr);
            exchangeActive_ = false;  // a late reply must not drive the chain on
            Message(kDataflowText);
            if (!running_) return;
            Status(kDataflowStatus, StatusMode::Final);
            Finish(ExchangeResult::DataflowInterrupted);
            break;
    }
}

void ModemExchange::Receive(const uint8_t* bytes, size_t count) {
    if (!running_ || !exchangeActive_ || count == 0) return;  // taken and discarded
    ReplyAssembler::Outcome out = assembler_.Feed(bytes, count);
    switch (out.result) {
        case ReplyAssembler::Result::Complete:
            host_.StatusBytes(out.message, false);
            Dispatch(out.message);
            break;
        case ReplyAssembler::Result::CrcError:
            // The operation is abandoned; the watchdog ends the exchange.
            pending_ = PendingOperation::None;
            lastCommand_ = kNoCommand;
            target_.AbandonRoutes();
            Fail(ExchangeResult::CrcError);
            Message(CrcErrorMessage(out.crc.computed, out.crc.received));
            break;
        case ReplyAssembler::Result::Overflow:
        case ReplyAssembler::Result::Pending:
            break;
    }
}

void ModemExchange::Dispatch(const Bytes& reply) {
    if (reply.size() < 2) return;
    const ReplyInfo* info = FindReply(reply[1]);
    if (!info) return;  // accepted and dropped
    const uint8_t code = ReplyCode(reply[1]);
    if (!Answers(code, lastCommand_)) return;
    if ((code == 1 || code == 8) && lastCommand_ != static_cast<int>(Command::ProgOn)) {
        // Unasked: the modem announces programming mode while another reply is awaited. Only
        // while routes are in flight does it mean a restart that lost the route message (the
        // sequence then starts again); otherwise the awaited reply still comes and must find
        // its command waiting.
        if (pending_ != PendingOperation::Routes) return;
        // A modem that keeps restarting would drive the chain round for ever, each round
        // feeding the watchdog; after a few restarts it is left to the watchdog.
        if (++restarts_ > kMaxRestarts) return;
    }
    const int answered = lastCommand_;
    lastCommand_ = kNoCommand;  // one reply per command

    switch (static_cast<Reply>(code)) {
        case Reply::ProgOff:
            Status(info->statusLine);
            exchangeActive_ = false;
            pending_ = PendingOperation::None;
            host_.ClosePort();
            Status("Serial port closed", StatusMode::Final);
            Finish(chainDone_ ? ExchangeResult::Completed : ExchangeResult::Interrupted);
            break;
        case Reply::ProgOn:
            OnProgOn(reply);
            break;
        case Reply::RemoteState:
            Status(info->statusLine);
            OnRemoteState();
            break;
        case Reply::ParamsRequest:
            Status(info->statusLine);
            host_.HideForm();
            if (!StoreFields(reply, false)) break;
            pending_ = PendingOperation::None;
            target_.ValuesReceived();
            if (securityLevel_ == '9') {
                SendCommand(Command::FactoryParamsRequest);
            } else {
                chainDone_ = true;
                host_.ShowForm();
                SendCommand(Command::ProgOff);
            }
            break;
        case Reply::FactoryParamsRequest:
            Status(info->statusLine);
            host_.HideForm();
            if (!StoreFields(reply, true)) break;
            pending_ = PendingOperation::None;
            target_.ValuesReceived();
            chainDone_ = true;
            host_.ShowForm();
            SendCommand(Command::ProgOff);
            break;
        case Reply::ParamsSend:
            Status(info->statusLine);
            OnParamsSendReply(reply);
            break;
        case Reply::FactoryParamsSend:
            Status(info->statusLine);
            OnFactoryParamsSendReply(reply);
            break;
        case Reply::ParamsSave:
            Status(info->statusLine);
            OnParamsSaveReply(reply);
            break;
        case Reply::ProtocolSend:
        case Reply::OffsetLengthSend:
        case Reply::RoutesSend:
        case Reply::VirtualRoutesSend:
        case Reply::RoutesSave:
        case Reply::SourceRoutesRemove:
            Status(info->statusLine);
            RouteReply(code, reply);
            break;
        case Reply::CrcErrorReply:
            Status(info->statusLine);
            pending_ = PendingOperation::None;  // no resend; the watchdog ends the exchange
            target_.AbandonRoutes();
            Fail(ExchangeResult::CrcError);
            Message(kCrcReplyText);
            break;
        case Reply::UnknownReply:
            Status(info->statusLine);
            Fail(ExchangeResult::UnknownReply);
            // Not again when it was ProgOff itself that the modem did not know: the two would
            // answer each other for ever. The watchdog ends the exchange then.
            if (answered != static_cast<int>(Command::ProgOff) && !SendCommand(Command::ProgOff)) {
                return;
            }
            Message(kUnknownReplyText);
            break;
    }
}

void ModemExchange::OnProgOn(const Bytes& reply) {
    Stop(ExchangeTimer::Tilasiirto);
    std::optional<ProgOnInfo> info = ParseProgOnReply(reply);
    std::optional<std::string> question;
    if (!info || !platform::EqualsNoCase(info->typeName, target_.TypeTitle())) {
        question = TypeQuestion(target_.TypeTitle(), info ? info->typeName : std::string());
    } else if (info->version != target_.TypeVersion()) {
        question = kVersionQuestion;
    }
    if (question) {
        bool yes = Question(*question);
        if (!running_) return;  // aborted while the question was open
        if (!yes) {
            Fail(ExchangeResult::Declined);
            pending_ = PendingOperation::None;
            SendCommand(Command::ProgOff);
            return;
        }
    }
    exchangeActive_ = true;
    Status("Modem turned to remote state response");
    OnRemoteState();
}

void ModemExchange::OnRemoteState() {
    Stop(ExchangeTimer::Tilasiirto);
    switch (pending_) {
        case PendingOperation::Receive:
            SendCommand(Command::ParamsRequest);
            break;
        case PendingOperation::Transmit:
            SendParameters(false);
            break;
        case PendingOperation::TransmitFactory:
            SendParameters(true);
            break;
        case PendingOperation::Routes:
            // The modem restarted while routes were in flight: the sequence starts again.
            Apply(target_.OnRouteReply(static_cast<uint8_t>(Reply::RemoteState), std::nullopt,
                                       false));
            break;
        case PendingOperation::None:
            break;
    }
}

void ModemExchange::SendParameters(bool factory) {
    const ParameterList& list = target_.Parameters();
    auto firstFactory =
        std::find_if(list.begin(), list.end(), [](const ModemParam& p) { return p.level == '9'; });
    Command code = Command::ParamsSend;
    std::vector<Field> fields;
    if (factory && firstFactory != list.end()) {
        code = Command::FactoryParamsSend;
        for (auto it = firstFactory; it != list.end() && it->level == '9'; ++it)
            fields.push_back(Field{it->type, it->level, it->value});
    } else {
        for (auto it = list.begin(); it != firstFactory; ++it)
            fields.push_back(Field{it->type, it->level, it->value});
    }
    std::string error;
    Bytes frame;
    if (!fields.empty()) frame = BuildMessage(static_cast<uint8_t>(code), fields, &error);
    if (frame.empty()) {
        // Sending nothing would leave the modem in programming mode until the watchdog fires
        // with a misleading data-flow message; say what is wrong and end properly instead.
        Fail(ExchangeResult::NothingToSend);
        pending_ = PendingOperation::None;
        if (!SendCommand(Command::ProgOff)) return;
        Message(fields.empty() ? std::string(kNothingToSendText)
                               : "The parameter values cannot be sent: " + error);
        return;
    }
    Send(frame, StatusOf(code));
}

bool ModemExchange::StoreFields(const Bytes& reply, bool factory) {
    std::vector<Field> fields;
    std::string error;
    bool ok = DecodeFields(reply, fields, &error);
    for (const Field& f : fields) {
        if (ok && !IsParameterType(f.type)) {
            ok = false;
            error = std::string("field type ") + f.type + " is not a parameter";
        }
    }
    if (!ok) {
        // Nothing is stored from a reply that cannot be read whole.
        Fail(ExchangeResult::BadReply);
        pending_ = PendingOperation::None;
        if (SendCommand(Command::ProgOff)) Message(kBadParameterReplyText + error);
        return false;
    }
    if (!factory) target_.RewindParameters();
    for (const Field& f : fields) target_.PutParameter(f.type, f.tag, factory, factory, f.value);
    return true;
}

void ModemExchange::OnParamsSendReply(const Bytes& reply) {
    if (HasFields(reply)) {
        Status("Parameter error");
        pending_ = PendingOperation::None;
        Fail(ExchangeResult::ParameterError);
        if (!SendCommand(Command::ProgOff)) return;
        std::vector<Field> fields;
        DecodeFields(reply, fields);
        for (size_t i = 0; i < fields.size(); ++i)
            host_.MarkField(static_cast<int>(i) + 1, fields[i]);
        host_.ShowForm();
        Message(kParameterErrorText);
        return;
    }
    if (target_.RoutingMode()) {
        Apply(target_.SendProtocolInfo());
    } else {
        SendCommand(Command::ParamsSave);
    }
}

void ModemExchange::OnFactoryParamsSendReply(const Bytes& reply) {
    if (HasFields(reply)) {
        Status("Factory parameter error");
        pending_ = PendingOperation::None;
        Fail(ExchangeResult::ParameterError);
        if (!SendCommand(Command::ProgOff)) return;
        host_.ShowForm();
        std::vector<Field> fields;
        DecodeFields(reply, fields);
        for (size_t i = 0; i < fields.size(); ++i)
            host_.MarkField(static_cast<int>(i) + 1001, fields[i]);
        return;
    }
    SendParameters(false);
}

void ModemExchange::OnParamsSaveReply(const Bytes& reply) {
    std::optional<uint8_t> byte5 = ReplyByte5(reply);
    if (byte5.value_or(0) == 0) {
        Fail(ExchangeResult::SaveFailed);
        if (SendCommand(Command::ProgOff)) Message(kSaveErrorText);
        return;
    }
    if (!target_.RoutingMode()) {
        chainDone_ = true;
        SendCommand(Command::ProgOff);
        return;
    }
    Apply(target_.OnRouteReply(static_cast<uint8_t>(Reply::ParamsSave), byte5, HasFields(reply)));
}

void ModemExchange::RouteReply(uint8_t code, const Bytes& reply) {
    if (!target_.RoutingMode()) return;  // only a routing transmit sends route messages
    Apply(target_.OnRouteReply(code, ReplyByte5(reply), HasFields(reply)));
}

void ModemExchange::Apply(const RouteStep& step) {
    switch (step.kind) {
        case RouteStep::Kind::Send:
            if (!Send(step.frame, step.statusLine)) return;
            if (target_.RoutesInFlight()) {
                pending_ = PendingOperation::Routes;
            } else if (pending_ == PendingOperation::Routes) {
                pending_ = PendingOperation::None;
            }
            break;
        case RouteStep::Kind::ParamsSave:
            SendCommand(Command::ParamsSave);
            break;
        case RouteStep::Kind::End:
            pending_ = PendingOperation::None;
            if (step.errorText.empty()) {
                chainDone_ = true;
                SendCommand(Command::ProgOff);
            } else {
                // ProgOff first: the modem returns to its normal state while the user reads.
                Fail(step.errorText == "Routing NOT available in this modem version !!"
                         ? ExchangeResult::RoutingNotAvailable
                         : ExchangeResult::RoutesFailed);
                if (SendCommand(Command::ProgOff)) Message(step.errorText);
            }
            break;
        case RouteStep::Kind::Error:
            Fail(ExchangeResult::RouteMessageError);
            exchangeActive_ = false;
            target_.AbandonRoutes();
            assembler_.Clear();
            Status(step.errorStatus, StatusMode::Final);
            Finish(ExchangeResult::RouteMessageError);
            Message(step.errorText);
            break;
        case RouteStep::Kind::NotMine:
            break;
    }
}

size_t LargestFrameSize(const ParameterList& parameters) {
    // '$', code, 0x00 ... 'L', CRC high, CRC low
    size_t block = 6;
    for (const ModemParam& p : parameters) {
        size_t fixed = FixedFieldSize(p.type);
        block += fixed ? fixed : p.value.size() + 3;
    }
    // A source-route line: header, 'N', tag, length, up to 255 data bytes, 0x00, trailer.
    constexpr size_t kLargestRouteFrame = 3 + 3 + 255 + 1 + 3;
    return std::max(block, kLargestRouteFrame);
}

int ReadPortNumber(const std::string& iniPath) {
    return platform::IniFile(iniPath).ReadInteger("Properties", "Port number", 1);
}

bool StorePortNumber(const std::string& iniPath, int number, platform::Prompter& prompter) {
    if (platform::IniFile(iniPath).WriteInteger("Properties", "Port number", number)) return true;
    prompter.Message(platform::kIniWriteFailed);
    return false;
}

}  // namespace kelmor::modemcfg
