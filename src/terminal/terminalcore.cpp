#include "terminal/terminalcore.h"

#include <algorithm>

namespace kelmor::terminal {

namespace {
constexpr int kErrorReportPause = 15000;
constexpr uint32_t kLineErrorEvent = 0x0080;
}  // namespace

std::vector<uint8_t> PasteBytes(std::string_view text) {
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) bytes.push_back(13);
        bytes.push_back(static_cast<uint8_t>(text[i]));
    }
    return bytes;
}

TerminalCore::TerminalCore(TerminalDisplay& display, QObject* parent)
    : QObject(parent), display_(display) {
    port_.SetRX_puskurin_koko(2048);
    port_.SetTX_puskurin_koko(1024);
    port_.SetRX_notify(2048);
    port_.SetTX_notify(1024);
    port_.SetDTRmode(serial::dtrENABLE);
    port_.Setvaliaika(50);
    port_.Settaustaajo(true);
    port_.tulleet_merkit = [this](serial::TCommPort*) { Reception(); };
    port_.lahteneet_merkit = [this](serial::TCommPort*) { WriteFinished(); };
    port_.tapahtumat = [this](serial::TCommPort*) { LineEvents(); };
    port_.laite_poistui = [this](serial::TCommPort*) {
        ForgetWrites();
        closedBy_ = PortClosedBy::DeviceLost;
        PortNotice(TransmitMessage::PortClosed, PortChange::DeviceLost);
        if (onPortChanged) onPortChanged(PortChange::DeviceLost);
        if (onDeviceLost) onDeviceLost();
    };
    crTimer_.setSingleShot(false);
    connect(&crTimer_, &QTimer::timeout, this, [this] { CrIntervalTimer(); });
    errorTimer_.setInterval(kErrorReportPause);
    errorTimer_.setSingleShot(true);
}

TerminalCore::~TerminalCore() {
    port_.tulleet_merkit = nullptr;
    port_.lahteneet_merkit = nullptr;
    port_.tapahtumat = nullptr;
    port_.laite_poistui = nullptr;
    port_.SetOpen(false);
}

void TerminalCore::SetCrInterval(int ms, bool enabled) {
    crIntervalMs_ = std::max(ms, 0);
    crTimer_.setInterval(crIntervalMs_);
    if (enabled && crIntervalMs_ > 0)
        crTimer_.start();
    else
        crTimer_.stop();
}

// ---- reception ----

void TerminalCore::Reception() {
    int count = port_.ReceivedCount();
    std::vector<uint8_t> bytes = port_.TakeReceived();
    if (count <= 0 || bytes.empty()) return;
    if (crIntervalMs_ != 0) crTimer_.start(crIntervalMs_);
    if (crIntervalMs_ == 0 && options_.timeStamp && !programmingMode_) stampPending_ = true;
    if (stampPending_) {
        display_.AppendText(TimeStampText(), kColourMaroon);
        stampPending_ = false;
    }
    display_.ShowData(bytes);
}

void TerminalCore::CrIntervalTimer() {
    display_.AppendText("\r\n", kColourDefault);
    if (options_.timeStamp) stampPending_ = true;
    crTimer_.stop();
}

void TerminalCore::LineEvents() {
    uint32_t events = port_.LastEvents();
    if ((events & 0xFFFF & kLineErrorEvent) == 0) return;
    if (errorTimer_.isActive()) return;
    errorTimer_.start();
    uint32_t errors = events >> 16;
    if (errors & serial::kCeRxParity)
        display_.AppendText("\r\nERROR: RX parity error occured\n", kColourRed);
    if (errors & serial::kCeOverrun)
        display_.AppendText("\r\nERROR: RX overrun error occured\n", kColourRed);
    if (errors & serial::kCeFrame)
        display_.AppendText("\r\nERROR: RX frame error occured\n", kColourRed);
}

// ---- sending ----

void TerminalCore::RaiseRts() {
    if (options_.rtsControl) port_.SetRTSmode(serial::rtsHANDSHAKE);
}

bool TerminalCore::Queue(std::vector<uint8_t> bytes) {
    if (!port_.QueueWrite(std::move(bytes))) return false;
    writeInFlight_ = true;
    return true;
}

void TerminalCore::TypeCharacter(uint8_t ch) {
    if (ch == 13 && options_.crLf) {
        typed_.push_back(13);
        typed_.push_back(10);
        if (options_.localEcho) display_.ShowData(typed_.data() + typed_.size() - 2, 2);
    } else {
        typed_.push_back(ch);
        if (options_.localEcho) display_.ShowData(&ch, 1);
    }
    SendTyped();
}

void TerminalCore::SendTyped() {
    if (typedInFlight_ || typed_.empty()) return;
    std::vector<uint8_t> bytes;
    bytes.swap(typed_);
    // Always through the send buffer: behind pending data, never a second write while one is
    // in the port, and in chunks the port takes (a backlog typed while a write was held can
    // be larger than its transmit buffer). Typed bytes were echoed as typed; the chunk echo
    // must not show them twice.
    Enqueue(bytes, true);
    typedInFlight_ = writeInFlight_ || !sendBuffer_.empty();
}

void TerminalCore::SendBlock(std::vector<uint8_t> bytes, bool fromMirror) {
    if (bytes.empty()) return;
    if (!fromMirror && options_.mirror && transmitWindowOpen && onMirrorBlock) onMirrorBlock(bytes);
    Enqueue(bytes, false);
}

void TerminalCore::Enqueue(const std::vector<uint8_t>& bytes, bool echoed) {
    bool wasEmpty = sendBuffer_.empty();
    for (uint8_t b : bytes) sendBuffer_.push_back({b, echoed});
    if (wasEmpty && !writeInFlight_) QueueChunk();
    morePending_ = !sendBuffer_.empty();
}

void TerminalCore::QueueChunk() {
    size_t n =
        std::min(sendBuffer_.size(), static_cast<size_t>(std::max(port_.TX_puskurin_koko(), 1)));
    std::vector<uint8_t> chunk;
    std::vector<uint8_t> echo;
    chunk.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        chunk.push_back(sendBuffer_[i].byte);
        if (options_.localEcho && !sendBuffer_[i].echoed) echo.push_back(sendBuffer_[i].byte);
    }
    RaiseRts();
    if (!Queue(std::move(chunk))) {
        // Closed port: nothing will finish this write, so the rest cannot go either. An open
        // port that is still full keeps the bytes for the next finished write.
        if (!port_.IsOpen()) sendBuffer_.clear();
        return;
    }
    if (!echo.empty()) display_.ShowData(echo);
    sendBuffer_.erase(sendBuffer_.begin(), sendBuffer_.begin() + static_cast<std::ptrdiff_t>(n));
}

void TerminalCore::WriteFinished() {
    if (options_.rtsControl) {
        // RTS drops once the last character has had time to leave the modem's line driver.
        // The wait is a timer, not a sleep of the GUI thread; the write counts as in flight
        // until then, so no new chunk raises RTS first.
        const uint64_t epoch = writeEpoch_;
        QTimer::singleShot(rtsDropDelay_, this, [this, epoch] {
            if (epoch != writeEpoch_) return;  // the port closed meanwhile
            port_.SetRTSmode(serial::rtsDISABLE);
            AfterWrite();
        });
        return;
    }
    AfterWrite();
}

void TerminalCore::AfterWrite() {
    if (typedInFlight_)
        QMetaObject::invokeMethod(
            this, [this] { TypedDone(); }, Qt::QueuedConnection);
    if (!sendBuffer_.empty())
        QMetaObject::invokeMethod(
            this, [this] { NextChunk(); }, Qt::QueuedConnection);
    else if (transmitWindowOpen && onTransmitMessage)
        onTransmitMessage(TransmitMessage::AllSent);
    writeInFlight_ = false;
}

void TerminalCore::TypedDone() {
    typedInFlight_ = false;
    SendTyped();
}

void TerminalCore::NextChunk() {
    morePending_ = false;
    if (sendBuffer_.empty() || writeInFlight_) return;
    QueueChunk();
    morePending_ = !sendBuffer_.empty();
}

void TerminalCore::DiscardPendingSend() {
    std::deque<PendingByte> kept;
    for (const PendingByte& b : sendBuffer_)
        if (b.echoed) kept.push_back(b);  // typed, waiting behind the block
    sendBuffer_.swap(kept);
    morePending_ = !sendBuffer_.empty();
}

void TerminalCore::ForgetWrites() {
    sendBuffer_.clear();
    typed_.clear();
    ForgetInFlight();
}

// The port's write in flight went with its close: nothing will report it finished.
void TerminalCore::ForgetInFlight() {
    ++writeEpoch_;
    writeInFlight_ = false;
    typedInFlight_ = false;
    morePending_ = false;
}

void TerminalCore::ResumeSending() {
    if (!sendBuffer_.empty() && !writeInFlight_) QueueChunk();
    morePending_ = !sendBuffer_.empty();
    SendTyped();
}

void TerminalCore::PortNotice(TransmitMessage message, PortChange why) {
    if (!transmitWindowOpen) return;
    // The transmit window's own notice: "back" only after a resume.
    const bool told = message == TransmitMessage::PortClosed || why == PortChange::Resumed;
    if (told && onTransmitMessage) onTransmitMessage(message);
    if (onPortNotice) onPortNotice(message, why);
}

void TerminalCore::ClosePort(PortChange why) {
    const bool wasOpen = port_.IsOpen();
    port_.SetOpen(false);
    // Writes queued in a closed port never finish; forget them so sending works after reopen.
    ForgetWrites();
    if (why == PortChange::User)
        closedBy_ = PortClosedBy::User;
    else if (wasOpen)
        closedBy_ = PortClosedBy::Shell;  // a port already closed keeps whoever closed it
    PortNotice(TransmitMessage::PortClosed, why);
    if (onPortChanged) onPortChanged(why);
}

bool TerminalCore::OpenPort(PortChange why) {
    port_.SetOpen(true);
    const bool open = port_.IsOpen();
    if (open) {
        closedBy_ = PortClosedBy::None;
        PortNotice(TransmitMessage::PortBack, why);
    } else if (why == PortChange::User) {
        closedBy_ = PortClosedBy::User;
    }
    if (onPortChanged) onPortChanged(why);
    return open;
}

bool TerminalCore::MovePort(serial::TPortnro port) {
    port_.SetOpen(false);
    ForgetInFlight();
    port_.SetPortin_nro(port);
    const bool open = OpenPort(PortChange::User);
    ResumeSending();
    return open;
}

// ---- settings and programming mode ----

void TerminalCore::SettingsAccepted() {
    programmingMode_ = false;
    rtsDropDelay_ = RtsDropDelay(port_.Baudrate());
    display_.SetScrollBackMaximum(display_.ScrollBackMaximum());
    serial::TCommEventSet events = port_.Eventit();
    if (port_.pariteetti() != serial::_pbNone)
        events.Include(serial::ceErr);
    else
        events.Exclude(serial::ceErr);
    port_.SetEventit(events);
}

std::string TerminalCore::NormalCaption() const {
    return TerminalCaption(
        port_, {options_.localEcho, options_.crLf, options_.mirror, options_.rtsControl});
}

std::string TerminalCore::Caption() const {
    return programmingMode_ ? ProgrammingModeCaption(port_.Portin_nro()) : NormalCaption();
}

void TerminalCore::ToggleProgrammingMode() {
    if (programmingMode_)
        LeaveProgrammingMode();
    else
        EnterProgrammingMode();
}

void TerminalCore::EnterProgrammingMode() {
    if (programmingMode_) return;
    saved_.baudrate = port_.Baudrate();
    saved_.parity = port_.pariteetti();
    saved_.databits = port_.Databits();
    saved_.stopbits = port_.Stopbits();
    saved_.handshake = HandshakeIndex(options_.rtsControl, port_.RTSmode(), port_.Kattely());
    saved_.mirror = options_.mirror;
    saved_.echo = options_.localEcho;
    saved_.crLf = options_.crLf;
    saved_.stampPending = stampPending_;
    saved_.viewType = display_.ViewType();
    saved_.crInterval = crIntervalMs_;
    programmingMode_ = true;
    port_.SetBaudrate(serial::br__9600);
    port_.Setpariteetti(serial::_pbNone);
    port_.SetDatabits(serial::db_8_Eight);
    port_.SetStopbits(serial::sbOne);
    port_.SetKattely(serial::fcNone);
    port_.SetRTSmode(serial::rtsDISABLE);
    options_.mirror = false;
    options_.localEcho = true;
    options_.crLf = true;
    crTimer_.stop();
    stampPending_ = false;
    display_.SetViewType(kViewText);
    crIntervalMs_ = 0;
    crTimer_.setInterval(0);
    options_.rtsControl = false;
}

void TerminalCore::LeaveProgrammingMode() {
    if (!programmingMode_) return;
    port_.SetBaudrate(saved_.baudrate);
    port_.Setpariteetti(saved_.parity);
    port_.SetDatabits(saved_.databits);
    port_.SetStopbits(saved_.stopbits);
    options_.rtsControl = saved_.handshake == 3;
    port_.SetKattely(saved_.handshake == 2 ? serial::fcXONXOFF : serial::fcNone);
    port_.SetRTSmode(saved_.handshake == 1 ? serial::rtsHANDSHAKE : serial::rtsDISABLE);
    options_.mirror = saved_.mirror;
    options_.localEcho = saved_.echo;
    options_.crLf = saved_.crLf;
    stampPending_ = saved_.stampPending;
    display_.SetViewType(saved_.viewType);
    crIntervalMs_ = saved_.crInterval;
    crTimer_.setInterval(crIntervalMs_);
    programmingMode_ = false;
}

}  // namespace kelmor::terminal
