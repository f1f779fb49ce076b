#pragma once
// TCommPort: the one serial port abstraction of the program. Background mode (taustaajo = true):
// two poll threads tick at valiaika and every read, write and event step runs in the owner's
// (event-loop) thread, which receives tulleet_merkit, lahteneet_merkit and tapahtumat.
// Direct mode: no threads, no events; the owner calls DirectWrite/DirectRead, possibly from a
// worker thread.
#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/prompter.h"
#include "platform/serialdevice.h"

namespace kelmor::serial {

enum TPortnro : uint8_t {
    COM1,
    COM2,
    COM3,
    COM4,
    COM5,
    COM6,
    COM7,
    COM8,
    COM9,
    COM10,
    COM11,
    COM12,
    COM13,
    COM14,
    COM15,
    COM16
};
enum TBaudRate : uint8_t {
    br___300,
    br___600,
    br__1200,
    br__2400,
    br__4800,
    br__9600,
    br_19200,
    br_38400,
    br_57600,
    br115200,
    br128000,
    br256000
};
enum TDataBits : uint8_t { db_4_Four, db_5_Five, db_6_Six, db_7_Seven, db_8_Eight };
enum TParityBits : uint8_t { _pbNone, pbOdd, pbEven, pbMark, pbSpace };
enum TStopBits : uint8_t { sbOne, sbOnePointFive, sbTwo };
enum TFlowControl : uint8_t { fcNone, fcXONXOFF };
enum TDtr : uint8_t { dtrDISABLE, dtrENABLE, dtrHANDSHAKE };
enum TRts : uint8_t { rtsDISABLE, rtsENABLE, rtsHANDSHAKE, rtsTOGGLE };
enum TCommEvents : uint8_t {
    ceRxChar,
    ceRxFlag,
    ceTxEmpty,
    ceCts,
    ceDsr,
    cdRlsd,
    ceBreak,
    ceErr,
    ceRing,
    ceRlsds
};

// A set of TCommEvents (bit n = ordinal n).
class TCommEventSet {
  public:
    TCommEventSet() = default;
    TCommEventSet(std::initializer_list<TCommEvents> events) {
        for (auto e : events) Include(e);
    }
    void Include(TCommEvents e) { bits_ |= static_cast<uint16_t>(1u << e); }
    void Exclude(TCommEvents e) { bits_ &= static_cast<uint16_t>(~(1u << e)); }
    bool Contains(TCommEvents e) const { return bits_ & (1u << e); }
    bool Empty() const { return bits_ == 0; }
    bool operator==(const TCommEventSet&) const = default;

  private:
    uint16_t bits_ = 0;
};

// OS event-mask bits.
inline constexpr uint32_t kEvRxChar = 0x0001, kEvRxFlag = 0x0002, kEvTxEmpty = 0x0004,
                          kEvCts = 0x0008, kEvDsr = 0x0010, kEvRlsd = 0x0020, kEvBreak = 0x0040,
                          kEvErr = 0x0080, kEvRing = 0x0100;
// Line-error flags, as they appear in the high half of LastEvents.
inline constexpr uint32_t kCeOverrun = 0x0002, kCeRxParity = 0x0004, kCeFrame = 0x0008,
                          kCeBreak = 0x0010;

// How a user gets at serial ports on Linux, told when a port exists but may not be opened.
inline constexpr const char* kDialoutHint =
    "Serial ports belong to the group dialout: add yourself with "
    "\"sudo usermod -aG dialout $USER\" and log in again.";
// True when devicePath exists but this user may not open it for reading and writing.
bool PortAccessDenied(const std::string& devicePath);

int BaudRateValue(TBaudRate rate);         // 300 … 256000
// A definition file's bit rate and parity letter (N, O, E, M, S) as the port's settings; a rate
// that is none of the port's gives 9600, an unknown letter no parity.
TBaudRate BaudRateOf(int value);
TParityBits ParityOf(char letter);
uint32_t EventMaskBit(TCommEvents event);  // cdRlsd gives 0
uint32_t EventMask(TCommEventSet events);

class Tsarja_event;
class TLinja_event;

class TCommPort : public QObject {
    Q_OBJECT
  public:
    using Event = std::function<void(TCommPort* sender)>;

    explicit TCommPort(QObject* parent = nullptr);
    ~TCommPort() override;

    // Published properties (getter = name, setter = Set + name).
    TPortnro Portin_nro() const { return portin_nro_; }
    void SetPortin_nro(TPortnro value) { portin_nro_ = value; }
    TBaudRate Baudrate() const { return baudrate_; }
    void SetBaudrate(TBaudRate value);
    TDataBits Databits() const { return databits_; }
    void SetDatabits(TDataBits value);
    TParityBits pariteetti() const { return pariteetti_; }
    void Setpariteetti(TParityBits value);
    TStopBits Stopbits() const { return stopbits_; }
    void SetStopbits(TStopBits value);
    int RX_puskurin_koko() const { return rxSize_; }
    void SetRX_puskurin_koko(int value);
    int TX_puskurin_koko() const { return txSize_; }
    void SetTX_puskurin_koko(int value);
    int RX_notify() const { return rxNotify_; }
    void SetRX_notify(int value);
    int TX_notify() const { return txNotify_; }
    void SetTX_notify(int value);
    TFlowControl Kattely() const { return kattely_; }
    void SetKattely(TFlowControl value);
    char xon_char() const { return xonChar_; }
    void Setxon_char(char value);
    char xoff_char() const { return xoffChar_; }
    void Setxoff_char(char value);
    TDtr DTRmode() const { return dtrMode_; }
    void SetDTRmode(TDtr value);
    TRts RTSmode() const { return rtsMode_; }
    void SetRTSmode(TRts value);
    bool DTRline() const { return dtrLine_; }
    void SetDTRline(bool value);
    bool RTSline() const { return rtsLine_; }
    void SetRTSline(bool value);
    TCommEventSet Eventit() const { return eventit_; }
    void SetEventit(TCommEventSet value);
    int valiaika() const { return valiaika_; }
    void Setvaliaika(int value);
    bool taustaajo() const { return taustaajo_; }
    void Settaustaajo(bool value) { taustaajo_ = value; }

    // Events, always fired in the thread that owns this object (the GUI thread).
    Event tulleet_merkit;
    Event lahteneet_merkit;
    Event tapahtumat;
    // Fired once, in the GUI thread, when the device goes away while open (unplugged adapter,
    // closed pty peer); the port stops polling and reports closed afterwards.
    Event laite_poistui;

    void SetOpen(bool open);
    bool IsOpen() const { return open_; }
    int ReceivedCount() const { return receiveCount_; }
    // The bytes of the last read step that took any; empty when the count is 0 or less.
    std::vector<uint8_t> TakeReceived();
    // Appends to the transmit buffer when open; the bytes leave at the next write step.
    // Returns false when the port is closed or the bytes do not all fit (callers keep within
    // TX_puskurin_koko until lahteneet_merkit); then nothing is queued, so a frame is never
    // sent cut short.
    bool QueueWrite(std::vector<uint8_t> bytes);
    bool QueueWrite(const uint8_t* bytes, int count);
    // Direct mode; may be called from a worker thread.
    int DirectWrite(const uint8_t* bytes, int count);
    // Up to RX_notify bytes that are queued now; empty (count left alone) when closed.
    std::vector<uint8_t> DirectRead(int& count);
    // Direct mode: waits up to timeoutMs for received bytes (true when some are queued).
    bool DirectWaitReadable(int timeoutMs);
    void PurgeRx();
    void PurgeTx();
    bool DsrOn();
    uint32_t LastEvents() const { return lastEvents_; }
    // True once the device hung up during this open (direct-mode callers ask it after a read
    // or write that moved nothing).
    bool HungUp() const { return lost_; }

    // The device path that COM n maps to (platform::ComDevicePath) is used unless overridden.
    void SetDevicePath(const std::string& path) { devicePathOverride_ = path; }
    std::string DevicePath() const;
    void SetPrompter(platform::Prompter* prompter) { prompter_ = prompter; }
    void SetDeviceFactory(platform::SerialDeviceFactory factory) { factory_ = std::move(factory); }
    // The device while open (tests, diagnostics); null when closed.
    platform::SerialDevice* Device() const { return device_.get(); }

  private:
    friend class Tsarja_event;
    friend class TLinja_event;
    void OnPoll();                     // WM_COMM_POLL
    void OnLine();                     // WM_COMM_LINE
    void OnSent(uint32_t generation);  // WM_COMM_SENT
    void OnLost(uint32_t generation);  // the poll thread saw the device hang up mid-write
    void ReadStep();
    void WriteStep();
    void FinishWrite(int carried);
    void EventStep();
    void Dispatch(uint32_t events, uint32_t errorFlags);
    void Open();
    void Close();
    bool ApplyConfiguration(int faultCode);
    void ApplyStoredLines();
    void ComputeStoredFlow();
    void ChangeMaskBit(uint32_t bit, bool add);
    void SetMaskInForce(uint32_t mask);
    void TakeBaseline();
    platform::LineSettings Settings() const;
    void CloseDevice();
    void DeviceLost();
    void StopThreads();
    void AllocateTx(int size);
    void ReportMessage(const std::string& text);
    platform::Prompter& Prompts() const;
    int PortNumber() const { return static_cast<int>(portin_nro_) + 1; }

    TPortnro portin_nro_ = COM2;
    TBaudRate baudrate_ = br__9600;
    TDataBits databits_ = db_8_Eight;
    TParityBits pariteetti_ = _pbNone;
    TStopBits stopbits_ = sbOne;
    int rxSize_ = 512, txSize_ = 512, rxNotify_ = 1, txNotify_ = 1;
    TFlowControl kattely_ = fcNone;
    char xonChar_ = 17, xoffChar_ = 19;
    TDtr dtrMode_ = dtrDISABLE;
    TRts rtsMode_ = rtsDISABLE;
    bool dtrLine_ = false, rtsLine_ = false;
    TCommEventSet eventit_;
    int valiaika_ = 200;
    bool taustaajo_ = false;

    bool open_ = false;
    bool background_ = false;  // the mode of the current open
    uint32_t generation_ = 0;  // counts opens, so stale completions of an earlier open are known
    std::unique_ptr<platform::SerialDevice> device_;
    // The stored configuration and the DTR/RTS controls it carries (from the last open or
    // Kattely change); live* is what the port has in force now.
    platform::LineSettings stored_;
    TDtr storedDtr_ = dtrDISABLE;
    TRts storedRts_ = rtsDISABLE;
    TRts liveRts_ = rtsDISABLE;
    platform::LineSettings live_;    // the settings last written to the port
    std::vector<uint8_t> rxBuffer_;  // rxSize_ + 1 bytes
    int receiveCount_ = 0;
    std::vector<uint8_t> txBuffer_;  // txSize_ + 1 bytes
    int txCount_ = 0;
    bool txPending_ = false;
    int pendingTxSize_ = 0;  // a size change that waits for the write in flight to finish
    // The write in flight, handed to the poll thread: bytes [0, inFlightCount_) of txBuffer_,
    // of which inFlightDone_ are accepted by the driver. Written before writeInFlight_ is set.
    int inFlightCount_ = 0;
    int inFlightDone_ = 0;
    uint32_t eventMask_ = 0;
    uint32_t lastEvents_ = 0;
    bool waitPending_ = false;
    bool inStep_ = false;  // a step is running (a prompt's nested event loop must not re-enter)
    bool rxSeen_ = false, txEmptySeen_ = false;
    bool queueErrorShown_ = false;
    // The poll thread's flag: set here, cleared by the thread when the write has finished.
    std::atomic<bool> writeInFlight_{false};
    // The owner thread's view: a write was handed to the poll thread and its completion has
    // not been handled yet. Only this one keeps steps from starting a second write.
    bool writeOutstanding_ = false;
    std::atomic<bool> pollPosted_{false}, linePosted_{false};
    std::atomic<bool> lost_{false};
    std::unique_ptr<Tsarja_event> pollThread_;
    std::unique_ptr<TLinja_event> lineThread_;
    std::string devicePathOverride_;
    platform::Prompter* prompter_ = nullptr;
    platform::SerialDeviceFactory factory_;
    // Line state seen by the last event step, to turn levels and counters into events.
    std::optional<uint32_t> lastModemStatus_;
    std::optional<platform::LineErrorCounts> lastCounts_;
    bool deviceLostReported_ = false;
};

}  // namespace kelmor::serial
