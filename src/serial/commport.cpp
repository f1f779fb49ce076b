#include "serial/commport.h"

#include <fcntl.h>
#include <unistd.h>

#include <QMetaObject>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>

#include "platform/clock.h"
#include "platform/programdir.h"

namespace kelmor::serial {

bool PortAccessDenied(const std::string& devicePath) {
    // The effective ids decide, as they do for open().
    return !devicePath.empty() &&
           ::faccessat(AT_FDCWD, devicePath.c_str(), R_OK | W_OK, AT_EACCESS) != 0 &&
           errno == EACCES;
}

int BaudRateValue(TBaudRate rate) {
    static constexpr int kRates[] = {300,   600,   1200,  2400,   4800,   9600,
                                     19200, 38400, 57600, 115200, 128000, 256000};
    return rate < std::size(kRates) ? kRates[rate] : 9600;
}

TBaudRate BaudRateOf(int value) {
    for (int r = br___300; r <= br256000; ++r)
        if (BaudRateValue(static_cast<TBaudRate>(r)) == value) return static_cast<TBaudRate>(r);
    return br__9600;
}

TParityBits ParityOf(char letter) {
    switch (letter) {
        case 'O':
            return pbOdd;
        case 'E':
            return pbEven;
        case 'M':
            return pbMark;
        case 'S':
            return pbSpace;
        default:
            return _pbNone;
    }
}

uint32_t EventMaskBit(TCommEvents event) {
    static constexpr uint32_t kBits[] = {kEvRxChar, kEvRxFlag, kEvTxEmpty, kEvCts,  kEvDsr,
                                         0,         kEvBreak,  kEvErr,     kEvRing, kEvRlsd};
    return event < std::size(kBits) ? kBits[event] : 0;
}

uint32_t EventMask(TCommEventSet events) {
    uint32_t mask = 0;
    for (int e = ceRxChar; e <= ceRlsds; ++e)
        if (events.Contains(static_cast<TCommEvents>(e)))
            mask |= EventMaskBit(static_cast<TCommEvents>(e));
    return mask;
}

namespace detail {

// A write (or its drain) that makes no progress for this long is given up in direct mode, so
// a modem holding CTS low or XOFF forever cannot hang its caller.
constexpr int64_t kDirectStallMs = 2000;

// Sleeps of the poll threads: interruptible, so closing a port never waits out a tick.
class Ticker {
  public:
    explicit Ticker(int intervalMs) : interval_(intervalMs) {}
    virtual ~Ticker() { Stop(); }

    void SetInterval(int ms) { interval_ = ms; }
    void Wake() {
        {
            std::lock_guard lock(mutex_);
            wake_ = true;
        }
        cv_.notify_all();
    }
    void Stop() {
        target_ = nullptr;
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        cv_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

  protected:
    // Waits ms (at least 1, so a zero interval cannot spin); false once asked to stop.
    bool Sleep(int ms) {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, std::chrono::milliseconds(std::max(ms, 1)),
                     [this] { return stop_ || wake_; });
        wake_ = false;
        return !stop_;
    }
    bool Stopping() {
        std::lock_guard lock(mutex_);
        return stop_;
    }
    int Interval() const { return interval_; }

    std::atomic<TCommPort*> target_{nullptr};  // cleared first at close: no more posts
    std::mutex mutex_;
    std::condition_variable cv_;
    bool stop_ = false;
    bool wake_ = false;
    bool suspended_ = false;
    std::thread thread_;

  private:
    std::atomic<int> interval_;
};

}  // namespace detail

using detail::kDirectStallMs;
using detail::Ticker;

// Ticks the read/write steps and carries a write that did not finish at once to its end (all
// bytes accepted by the driver and its output queue drained).
class Tsarja_event : public Ticker {
  public:
    Tsarja_event(TCommPort* port, platform::SerialDevice* device, int intervalMs,
                 uint32_t generation)
        : Ticker(intervalMs), port_(port), device_(device), generation_(generation) {
        target_ = port;
    }
    ~Tsarja_event() override { Stop(); }
    void Start() {
        thread_ = std::thread([this] { Run(); });
    }
    using Ticker::SetInterval;
    using Ticker::Stop;
    using Ticker::Wake;

  private:
    void Run() {
        while (!Stopping()) {
            if (port_->writeInFlight_.load(std::memory_order_acquire)) {
                switch (ContinueWrite()) {
                    case Progress::Going:
                        continue;
                    case Progress::Done:
                        port_->writeInFlight_.store(false, std::memory_order_release);
                        if (TCommPort* t = target_.load()) {
                            const uint32_t g = generation_;
                            QMetaObject::invokeMethod(
                                t, [t, g] { t->OnSent(g); }, Qt::QueuedConnection);
                        }
                        continue;
                    case Progress::Lost:
                        port_->writeInFlight_.store(false, std::memory_order_release);
                        port_->lost_ = true;
                        if (TCommPort* t = target_.load()) {
                            const uint32_t g = generation_;
                            QMetaObject::invokeMethod(
                                t, [t, g] { t->OnLost(g); }, Qt::QueuedConnection);
                        }
                        return;  // nothing more to do on a device that is gone
                }
            }
            if (TCommPort* t = target_.load(); t && !port_->pollPosted_.exchange(true))
                QMetaObject::invokeMethod(
                    t, [t] { t->OnPoll(); }, Qt::QueuedConnection);
            if (!Sleep(Interval())) return;
        }
    }

    enum class Progress { Going, Done, Lost };

    // One slice of at most about 5 ms.
    Progress ContinueWrite() {
        const int count = port_->inFlightCount_;
        int& done = port_->inFlightDone_;
        if (done < count) {
            if (!device_->WaitWritable(5))
                return device_->HungUp() ? Progress::Lost : Progress::Going;
            ssize_t n =
                device_->Write(port_->txBuffer_.data() + done, static_cast<size_t>(count - done));
            if (n < 0) {
                if (device_->HungUp()) return Progress::Lost;
                Sleep(5);  // a passing driver error: try again shortly rather than spin
                return Progress::Going;
            }
            done += static_cast<int>(n);
            return Progress::Going;
        }
        if (device_->OutputQueue() > 0) {
            Sleep(1);
            return Progress::Going;
        }
        return Progress::Done;
    }

    TCommPort* port_;
    platform::SerialDevice* device_;
    uint32_t generation_;
};

// Ticks the event step; sleeps without ticking while suspended (event mask 0).
class TLinja_event : public Ticker {
  public:
    TLinja_event(TCommPort* port, int intervalMs) : Ticker(intervalMs), port_(port) {
        target_ = port;
    }
    ~TLinja_event() override { Stop(); }
    void Start(bool suspended) {
        suspended_ = suspended;
        thread_ = std::thread([this] { Run(); });
    }
    void Suspend() {
        std::lock_guard lock(mutex_);
        suspended_ = true;
    }
    void Resume() {
        {
            std::lock_guard lock(mutex_);
            suspended_ = false;
        }
        cv_.notify_all();
    }
    bool Suspended() {
        std::lock_guard lock(mutex_);
        return suspended_;
    }
    using Ticker::SetInterval;
    using Ticker::Stop;

  private:
    void Run() {
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                cv_.wait(lock, [this] { return stop_ || !suspended_; });
                if (stop_) return;
            }
            if (TCommPort* t = target_.load(); t && !port_->linePosted_.exchange(true))
                QMetaObject::invokeMethod(
                    t, [t] { t->OnLine(); }, Qt::QueuedConnection);
            if (!Sleep(Interval())) return;
        }
    }

    TCommPort* port_;
};

namespace {

// Marks a step as running for its whole length.
class StepGuard {
  public:
    explicit StepGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~StepGuard() { flag_ = false; }
    StepGuard(const StepGuard&) = delete;
    StepGuard& operator=(const StepGuard&) = delete;

  private:
    bool& flag_;
};

}  // namespace

TCommPort::TCommPort(QObject* parent) : QObject(parent) {
    rxBuffer_.assign(static_cast<size_t>(rxSize_) + 1, 0);
    txBuffer_.assign(static_cast<size_t>(txSize_) + 1, 0);
}

TCommPort::~TCommPort() { Close(); }

std::string TCommPort::DevicePath() const {
    return devicePathOverride_.empty() ? platform::ComDevicePath(PortNumber())
                                       : devicePathOverride_;
}

platform::Prompter& TCommPort::Prompts() const {
    return prompter_ ? *prompter_ : platform::DefaultPrompter();
}

void TCommPort::ReportMessage(const std::string& text) { Prompts().Message(text); }

platform::LineSettings TCommPort::Settings() const {
    platform::LineSettings s;
    s.baudRate = BaudRateValue(baudrate_);
    s.dataBits = static_cast<int>(databits_) + 4;
    s.parity = pariteetti_ <= pbSpace ? static_cast<platform::Parity>(pariteetti_)
                                      : platform::Parity::None;
    s.stopBits = stopbits_ == sbOne ? 1 : 2;  // 1.5 is taken as 2
    s.xonXoff = kattely_ == fcXONXOFF;
    s.xonChar = xonChar_;
    s.xoffChar = xoffChar_;
    s.rtsCts = stored_.rtsCts;
    return s;
}

// ---------------------------------------------------------------------------------------------
// Open and close

void TCommPort::SetOpen(bool open) {
    if (open)
        Open();
    else
        Close();
}

void TCommPort::Open() {
    if (open_) return;
    const std::string n = std::to_string(PortNumber());
    lost_ = false;
    deviceLostReported_ = false;
    queueErrorShown_ = false;
    try {
        const platform::SerialDeviceFactory& factory =
            factory_ ? factory_ : platform::DefaultSerialDeviceFactory();
        device_ = factory();
        const std::string path = DevicePath();
        const platform::OpenResult opened =
            device_ ? device_->Open(path) : platform::OpenResult::Failed;
        if (opened != platform::OpenResult::Ok) {
            device_.reset();
            std::string text = "Port COM" + n + " doesn't exist or is already in use";
            if (opened == platform::OpenResult::Failed && PortAccessDenied(path))
                text += "\n\nNo permission to open " + path + ". " + kDialoutHint;
            Prompts().Message(text, "Error opening port", platform::Icon::Information);
            return;
        }
        if (pendingTxSize_ > 0) AllocateTx(pendingTxSize_);
        open_ = true;
        stored_.rtsCts = false;
        stored_ = Settings();
        ComputeStoredFlow();
        if (!device_->Configure(stored_)) {
            ReportMessage("Port COM" + n + " can't change it's parameters !yyy");
            CloseDevice();
            return;
        }
        live_ = stored_;
        liveRts_ = storedRts_;
        ApplyStoredLines();

        receiveCount_ = 0;
        txCount_ = 0;
        txPending_ = false;
        inFlightCount_ = inFlightDone_ = 0;
        writeInFlight_ = false;
        writeOutstanding_ = false;
        pollPosted_ = linePosted_ = false;
        waitPending_ = false;
        rxSeen_ = txEmptySeen_ = false;
        ++generation_;
        background_ = taustaajo_;
        eventMask_ = 0;
        if (background_) {
            eventMask_ = EventMask(eventit_);
            if (eventMask_ != 0) TakeBaseline();
            try {
                pollThread_ =
                    std::make_unique<Tsarja_event>(this, device_.get(), valiaika_, generation_);
                pollThread_->Start();
            } catch (const std::exception&) {
                pollThread_.reset();
                ReportMessage("Portin sarja pieleen");
            }
            try {
                lineThread_ = std::make_unique<TLinja_event>(this, valiaika_);
                lineThread_->Start(eventMask_ == 0);
            } catch (const std::exception&) {
                lineThread_.reset();
                ReportMessage("Portin linja pieleen");
            }
        }
        PurgeRx();
        PurgeTx();
    } catch (const std::exception&) {
        StopThreads();
        CloseDevice();
        ReportMessage("Port COM" + n + " doesn't open correctly !");
    }
}

void TCommPort::Close() {
    if (!open_) return;
    PurgeRx();
    PurgeTx();
    StopThreads();
    CloseDevice();
}

void TCommPort::StopThreads() {
    if (pollThread_) pollThread_->Stop();
    if (lineThread_) lineThread_->Stop();
    pollThread_.reset();
    lineThread_.reset();
    // A write the poll thread was carrying is abandoned with the port.
    writeInFlight_ = false;
    writeOutstanding_ = false;
}

void TCommPort::CloseDevice() {
    if (device_) device_->Close();
    device_.reset();
    open_ = false;
    waitPending_ = false;
}

void TCommPort::DeviceLost() {
    if (!open_) return;
    lost_ = true;
    StopThreads();
    CloseDevice();
    if (!deviceLostReported_) {
        deviceLostReported_ = true;
        if (laite_poistui) laite_poistui(this);
    }
}

// ---------------------------------------------------------------------------------------------
// Configuration

void TCommPort::ComputeStoredFlow() {
    storedDtr_ = dtrMode_;
    storedRts_ = rtsMode_;
    switch (rtsMode_) {
        case rtsDISABLE:
        case rtsENABLE:
            stored_.rtsCts = false;
            ChangeMaskBit(kEvCts, false);
            break;
        case rtsHANDSHAKE:
            stored_.rtsCts = true;
            ChangeMaskBit(kEvCts, true);
            break;
        default:  // rtsTOGGLE: CTS flow as it was
            ChangeMaskBit(kEvCts, false);
            break;
    }
    stored_.xonXoff = kattely_ == fcXONXOFF;
}

// Every write of the whole configuration also puts the stored DTR/RTS controls back in force.
void TCommPort::ApplyStoredLines() {
    if (!device_) return;
    device_->SetDtr(storedDtr_ != dtrDISABLE);
    device_->SetRts(storedRts_ == rtsENABLE || storedRts_ == rtsHANDSHAKE);
}

bool TCommPort::ApplyConfiguration(int faultCode) {
    if (!open_ || !device_) return true;
    if (!device_->Configure(stored_)) {
        ReportMessage("Port COM" + std::to_string(PortNumber()) + " can't set it's parameter ! " +
                      std::to_string(faultCode));
        return false;
    }
    live_ = stored_;
    liveRts_ = storedRts_;
    ApplyStoredLines();
    return true;
}

void TCommPort::SetBaudrate(TBaudRate value) {
    baudrate_ = value;
    if (!open_) return;
    stored_.baudRate = BaudRateValue(value);
    ApplyConfiguration(3);
}

void TCommPort::SetDatabits(TDataBits value) {
    databits_ = value;
    if (!open_) return;
    stored_.dataBits = static_cast<int>(value) + 4;
    ApplyConfiguration(4);
}

void TCommPort::Setpariteetti(TParityBits value) {
    pariteetti_ = value;
    if (!open_) return;
    stored_.parity =
        value <= pbSpace ? static_cast<platform::Parity>(value) : platform::Parity::None;
    if (ApplyConfiguration(5)) ChangeMaskBit(kEvErr, value != _pbNone);
}

void TCommPort::SetStopbits(TStopBits value) {
    stopbits_ = value;
    if (!open_) return;
    stored_.stopBits = value == sbOne ? 1 : 2;
    ApplyConfiguration(8);
}

void TCommPort::SetKattely(TFlowControl value) {
    kattely_ = value;
    if (!open_) return;
    ComputeStoredFlow();
    ApplyConfiguration(9);
}

void TCommPort::Setxon_char(char value) {
    xonChar_ = value;
    if (!open_) return;
    stored_.xonChar = value;
    ApplyConfiguration(1);
}

void TCommPort::Setxoff_char(char value) {
    xoffChar_ = value;
    if (!open_) return;
    stored_.xoffChar = value;
    ApplyConfiguration(2);
}

void TCommPort::SetDTRmode(TDtr value) {
    dtrMode_ = value;
    if (open_ && device_) device_->SetDtr(value != dtrDISABLE);
}

void TCommPort::SetRTSmode(TRts value) {
    rtsMode_ = value;
    if (!open_ || !device_) return;
    liveRts_ = value;
    platform::LineSettings live = live_;
    if (value == rtsHANDSHAKE)
        live.rtsCts = true;
    else if (value != rtsTOGGLE)
        live.rtsCts = false;
    if (live.rtsCts != live_.rtsCts && device_->Configure(live)) live_ = live;
    device_->SetRts(value == rtsENABLE || value == rtsHANDSHAKE);
    ChangeMaskBit(kEvCts, value == rtsHANDSHAKE);
}

void TCommPort::SetDTRline(bool value) {
    dtrLine_ = value;
    if (open_ && device_) device_->SetDtr(value);
}

void TCommPort::SetRTSline(bool value) {
    rtsLine_ = value;
    if (open_ && device_) device_->SetRts(value);
}

void TCommPort::SetRX_puskurin_koko(int value) {
    value = std::max(value, 1);
    rxSize_ = value;
    rxNotify_ = std::min(rxNotify_, value);
    receiveCount_ = std::min(receiveCount_, value);
    std::vector<uint8_t> buffer(static_cast<size_t>(value) + 1, 0);
    if (receiveCount_ > 0) std::memcpy(buffer.data(), rxBuffer_.data(), receiveCount_);
    rxBuffer_ = std::move(buffer);
}

void TCommPort::SetTX_puskurin_koko(int value) {
    value = std::max(value, 1);
    txSize_ = value;
    // The poll thread reads the buffer while a write is in flight: reallocate after it.
    if (writeOutstanding_ || writeInFlight_)
        pendingTxSize_ = value;
    else
        AllocateTx(value);
}

void TCommPort::AllocateTx(int size) {
    pendingTxSize_ = 0;
    // Never drop bytes already queued.
    const int capacity = std::max(size, txCount_);
    std::vector<uint8_t> buffer(static_cast<size_t>(capacity) + 1, 0);
    if (txCount_ > 0) std::memcpy(buffer.data(), txBuffer_.data(), txCount_);
    txBuffer_ = std::move(buffer);
}

void TCommPort::SetRX_notify(int value) { rxNotify_ = std::min(value, rxSize_); }
void TCommPort::SetTX_notify(int value) { txNotify_ = std::min(value, txSize_); }

void TCommPort::SetEventit(TCommEventSet value) {
    eventit_ = value;
    if (!open_) return;
    eventMask_ = EventMask(value);
    // A new mask ends the wait in progress; the next one watches from now on.
    TakeBaseline();
    if (eventMask_ != 0 && lineThread_) lineThread_->Resume();
}

void TCommPort::Setvaliaika(int value) {
    valiaika_ = value;
    if (pollThread_) pollThread_->SetInterval(value);
    if (lineThread_) lineThread_->SetInterval(value);
}

void TCommPort::ChangeMaskBit(uint32_t bit, bool add) {
    if (!open_ || !lineThread_) return;
    if (add) {
        eventMask_ |= bit;
        if (lineThread_->Suspended()) {
            TakeBaseline();
            lineThread_->Resume();
        }
    } else {
        eventMask_ &= ~bit;
    }
}

// ---------------------------------------------------------------------------------------------
// Background mode: the steps, run in the owner's thread

void TCommPort::OnPoll() {
    pollPosted_ = false;
    // Not writeInFlight_: the poll thread clears that before its completion message arrives,
    // and a poll posted earlier would then write the carried bytes a second time.
    if (!open_ || !background_ || inStep_ || writeOutstanding_) return;
    ReadStep();
}

void TCommPort::OnLine() {
    linePosted_ = false;
    if (!open_ || !background_ || inStep_) return;
    EventStep();
}

void TCommPort::OnSent(uint32_t generation) {
    if (generation == generation_ && open_) {
        writeOutstanding_ = false;
        FinishWrite(inFlightCount_);
        return;
    }
    if (lahteneet_merkit) lahteneet_merkit(this);
}

void TCommPort::OnLost(uint32_t generation) {
    if (generation == generation_) DeviceLost();
}

void TCommPort::ReadStep() {
    StepGuard guard(inStep_);
    int queued = device_->InputQueue();
    if (queued < 0) {
        device_->WaitReadable(0);  // a failed query is most often a device that went away
        if (device_->HungUp()) return DeviceLost();
        // Once per open: the step runs every tick and a box each time would bury the user.
        if (!queueErrorShown_) {
            queueErrorShown_ = true;
            Prompts().Message("ClearCommError on ComPort COM" + std::to_string(PortNumber()) + "!",
                              "Error", platform::Icon::Error);
            if (!open_) return;
        }
        queued = 0;
    }
    if (queued > 0) {
        const int want = std::clamp(rxNotify_, 0, rxSize_);
        ssize_t n = device_->Read(rxBuffer_.data(), static_cast<size_t>(want));
        if (n < 0) {
            if (device_->HungUp()) DeviceLost();
            return;
        }
        if (n > 0) {
            rxBuffer_[static_cast<size_t>(n)] = 0;
            receiveCount_ = static_cast<int>(n);
            rxSeen_ = true;
        }
        if (txPending_) {
            txPending_ = false;
            WriteStep();
            if (!open_) return;
        }
        if (n > 0 && tulleet_merkit) tulleet_merkit(this);
        return;
    }
    // Nothing queued: this is where a hang-up shows (poll reports it, the queue stays empty).
    device_->WaitReadable(0);
    if (device_->HungUp()) return DeviceLost();
    if (txPending_) {
        txPending_ = false;
        WriteStep();
    }
}

void TCommPort::WriteStep() {
    if (!device_ || txCount_ <= 0) return;
    if (writeOutstanding_) {
        // One write at a time: these bytes go with the step after its completion.
        txPending_ = true;
        return;
    }
    if (liveRts_ == rtsTOGGLE) device_->SetRts(true);
    const int carried = txCount_;
    ssize_t n = device_->Write(txBuffer_.data(), static_cast<size_t>(carried));
    if (n < 0) {
        if (device_->HungUp()) return DeviceLost();
        n = 0;
    }
    if (n == carried && device_->OutputQueue() <= 0) {
        FinishWrite(carried);
        return;
    }
    inFlightCount_ = carried;
    inFlightDone_ = static_cast<int>(n);
    writeOutstanding_ = true;
    writeInFlight_.store(true, std::memory_order_release);
    if (pollThread_) pollThread_->Wake();
}

void TCommPort::FinishWrite(int carried) {
    carried = std::clamp(carried, 0, txCount_);
    txCount_ -= carried;
    if (txCount_ > 0) std::memmove(txBuffer_.data(), txBuffer_.data() + carried, txCount_);
    inFlightCount_ = inFlightDone_ = 0;
    txEmptySeen_ = true;
    if (pendingTxSize_ > 0) AllocateTx(pendingTxSize_);
    if (liveRts_ == rtsTOGGLE && device_) device_->SetRts(false);
    if (lahteneet_merkit) lahteneet_merkit(this);
}

void TCommPort::EventStep() {
    StepGuard guard(inStep_);
    if (eventMask_ == 0) {
        if (lineThread_) lineThread_->Suspend();
        waitPending_ = false;
        return;
    }
    if (!waitPending_) return TakeBaseline();
    std::optional<uint32_t> status = device_->ModemStatus();
    std::optional<platform::LineErrorCounts> counts = device_->ErrorCounts();
    uint32_t events = 0, errorFlags = 0;
    if (rxSeen_) events |= kEvRxChar;
    if (txEmptySeen_) events |= kEvTxEmpty;
    if (status && lastModemStatus_) {
        const uint32_t changed = *status ^ *lastModemStatus_;
        if (changed & platform::kLineCts) events |= kEvCts;
        if (changed & platform::kLineDsr) events |= kEvDsr;
        if (changed & platform::kLineCd) events |= kEvRlsd;
        if (changed & platform::kLineRi) events |= kEvRing;
    }
    if (counts && lastCounts_) {
        if (counts->parity != lastCounts_->parity) errorFlags |= kCeRxParity;
        if (counts->overrun != lastCounts_->overrun) errorFlags |= kCeOverrun;
        if (counts->framing != lastCounts_->framing) errorFlags |= kCeFrame;
        if (errorFlags) events |= kEvErr;
        if (counts->brk != lastCounts_->brk) {
            events |= kEvBreak;
            errorFlags |= kCeBreak;
        }
    }
    rxSeen_ = txEmptySeen_ = false;
    lastModemStatus_ = status;
    lastCounts_ = counts;
    events &= eventMask_;
    if (events != 0) Dispatch(events, errorFlags);
}

// Starts watching: only what happens from now on is an event.
void TCommPort::TakeBaseline() {
    if (!device_) return;
    lastModemStatus_ = device_->ModemStatus();
    lastCounts_ = device_->ErrorCounts();
    rxSeen_ = txEmptySeen_ = false;
    waitPending_ = true;
}

void TCommPort::Dispatch(uint32_t events, uint32_t errorFlags) {
    lastEvents_ = (events & 0xFFFFu) | ((events & kEvErr) ? (errorFlags & 0xFFFFu) << 16 : 0u);
    if (tapahtumat) tapahtumat(this);
}

// ---------------------------------------------------------------------------------------------
// Owner operations

std::vector<uint8_t> TCommPort::TakeReceived() {
    if (receiveCount_ <= 0) return {};
    return std::vector<uint8_t>(rxBuffer_.begin(), rxBuffer_.begin() + receiveCount_);
}

bool TCommPort::QueueWrite(std::vector<uint8_t> bytes) {
    return QueueWrite(bytes.data(), static_cast<int>(bytes.size()));
}

bool TCommPort::QueueWrite(const uint8_t* bytes, int count) {
    if (!open_) return false;
    if (count <= 0 || !bytes) return count == 0;
    const int capacity = std::min(txSize_, static_cast<int>(txBuffer_.size()) - 1);
    if (count > capacity - txCount_) return false;
    std::memcpy(txBuffer_.data() + txCount_, bytes, static_cast<size_t>(count));
    txCount_ += count;
    txPending_ = true;
    // Out now rather than at the next tick: a packet sent "after the delay" must not wait up
    // to a whole poll interval more, and typed keys leave at once.
    if (pollThread_) pollThread_->Wake();
    return true;
}

int TCommPort::DirectWrite(const uint8_t* bytes, int count) {
    if (!open_ || !device_ || !bytes || count <= 0) return 0;
    try {
        platform::Clock& clock = platform::RealClock::Instance();
        if (liveRts_ == rtsTOGGLE) device_->SetRts(true);
        int done = 0;
        int64_t lastProgress = clock.Now();
        while (done < count) {
            ssize_t n = device_->Write(bytes + done, static_cast<size_t>(count - done));
            if (n < 0) {
                if (device_->HungUp()) lost_ = true;
                break;
            }
            if (n > 0) {
                done += static_cast<int>(n);
                lastProgress = clock.Now();
                continue;
            }
            if (clock.Now() - lastProgress > kDirectStallMs) break;
            device_->WaitWritable(5);
            if (device_->HungUp()) {
                lost_ = true;
                break;
            }
        }
        // Finished means on the line, so that an RTS drop or a reply time-out that follows
        // starts at the right moment.
        int left = device_->OutputQueue();
        lastProgress = clock.Now();
        while (left > 0 && !lost_ && clock.Now() - lastProgress <= kDirectStallMs) {
            clock.Sleep(1);
            int now = device_->OutputQueue();
            if (now < left) lastProgress = clock.Now();
            left = now;
        }
        if (liveRts_ == rtsTOGGLE) device_->SetRts(false);
        return done;
    } catch (const std::exception&) {
        ReportMessage("Direct write error: " + device_->LastError());
        return 0;
    }
}

std::vector<uint8_t> TCommPort::DirectRead(int& count) {
    if (!open_ || !device_) return {};
    try {
        std::vector<uint8_t> buffer(static_cast<size_t>(std::max(rxNotify_, 0)));
        ssize_t n = device_->Read(buffer.data(), buffer.size());
        if (n < 0) {
            if (device_->HungUp()) lost_ = true;
            n = 0;
        }
        buffer.resize(static_cast<size_t>(n));
        count = static_cast<int>(n);
        return buffer;
    } catch (const std::exception&) {
        ReportMessage("Direct read error: " + device_->LastError());
        count = 0;
        return {};
    }
}

bool TCommPort::DirectWaitReadable(int timeoutMs) {
    if (!open_ || !device_) return false;
    bool readable = device_->WaitReadable(timeoutMs);
    if (device_->HungUp()) lost_ = true;
    return readable;
}

void TCommPort::PurgeRx() {
    if (open_ && device_ && !device_->PurgeInput()) ReportMessage("Rx buffer purge failed");
}

void TCommPort::PurgeTx() {
    if (open_ && device_ && !device_->PurgeOutput()) ReportMessage("Tx buffer purge failed");
}

bool TCommPort::DsrOn() {
    if (!open_ || !device_) return false;
    std::optional<uint32_t> status = device_->ModemStatus();
    return status && (*status & platform::kLineDsr);
}

}  // namespace kelmor::serial
