#pragma once
// The simulated modem: the far end of a serial line for tests, benchmarks and kelmor-modem-sim.
// It is fed the bytes the host sends (with the time each finished arriving and the bit rate it
// was sent at) and queues the bytes it answers, each with the time it reaches the host. Time is
// in microseconds so that pacing at 115200 bit/s (87 us a byte) stays exact.
//
// The flash side plays the chip's boot program, its RAM loader and the firmware's flash-mode
// request; a programming side (the modem's parameter protocol) can sit next to it and take the
// bytes whenever the flash side is idle.
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kelmor::sim {

enum class Chip { H8, H83069 };
enum class Mode { Boot, Update };

// Where a fault strikes.
enum class FaultPoint {
    Sync,          // a synchronisation byte 0x00
    SyncEnd,       // the 0x55 that ends synchronisation
    FlashMode,     // the reply to "QVFLASH" / "QVFLOEM"
    LoaderLength,  // echo of a loader length byte
    LoaderEcho,    // echo of a loader byte (occurrence = byte index)
    EraseStatus,   // H8: the erase status after the loader arrived
    Enq,           // the answer to an ENQ
    LoaderCrc,     // the loader's CRC
    Packet,        // H8: the answer to a record packet (occurrence = packet index)
    Command,       // H8/3069: the reply to a command (see Fault::command)
    Frame,         // H8/3069: the reply to a 128-byte programming frame (occurrence = frame index)
};

enum class FaultKind {
    NoAnswer,    // stay silent
    Late,        // answer after delayMs
    Nak,         // H8 packet: NAK
    Can,         // H8 packet: CAN
    Garbage,     // answer with a byte that means nothing ('?')
    SumError,    // H8/3069 frame: 0xD0 0x11
    WrongCrc,    // loader CRC off by one bit pattern
    WrongEcho,   // echo an inverted byte
    EraseFail,   // H8: status 0xFF; H8/3069: 0xD8 0x51
    ErrorReply,  // answer with Fault::reply instead
    Unplug,      // the line goes dead in both directions from here on
};

struct Fault {
    FaultPoint point = FaultPoint::Sync;
    FaultKind kind = FaultKind::NoAnswer;
    int after = 0;               // occurrences of the point that pass untouched first
    int count = 1;               // occurrences affected; < 0: all that follow
    int delayMs = 0;             // Late
    int command = -1;            // Command: only this command byte (-1: any command)
    std::vector<uint8_t> reply;  // ErrorReply
};

struct ModemConfig {
    Chip chip = Chip::H8;
    Mode mode = Mode::Boot;
    // The firmware's reply to the flash-mode request. Empty: "FLASH OK" for an H8, "H3069 OK"
    // for an H8/3069.
    std::string flashToken;
    std::string oemToken = "H8OEM OK";  // reply to "QVFLOEM"
    uint32_t crystalHz = 24576000;      // the chip's own crystal
    uint32_t deviceCode = 0x30363930;   // H8/3069 device code, sent high byte first
    int oemBitRate = 38400;             // rate of the firmware's OEM flasher
    bool pacing = false;                // 10 bits per byte at the current bit rate
    bool dsr = true;                    // DSR line raised by the modem
    int eraseMs = 30;                   // H8 loader: time to erase the whole flash
    int blockEraseMs = 2;               // H8/3069: per erase block (and 0x40: whole flash)
    int programMs = 0;                  // per programmed 128-byte page or record
    std::vector<Fault> faults;
};

inline constexpr uint32_t kSimFlashSize = 0x80000;

// Rates closer than this (relative) understand each other.
bool RatesMatch(int a, int b);

class SimulatedModem;

// What a chip uses to talk and to reach the modem's state.
class ChipContext {
  public:
    virtual ~ChipContext() = default;
    virtual int64_t NowUs() const = 0;
    virtual void Send(const std::vector<uint8_t>& bytes, int64_t delayUs = 0) = 0;
    virtual void SetBitRate(int rate) = 0;
    virtual int BitRate() const = 0;
    // The chip measures the host's rate from what arrives (boot-program synchronisation).
    virtual void SetAutoBaud(bool on) = 0;
    virtual const Fault* TakeFault(FaultPoint point, int command = -1) = 0;
    virtual void Unplug() = 0;
    virtual std::vector<uint8_t>& Flash() = 0;
    virtual const ModemConfig& Config() const = 0;
};

// One side of the modem that takes the received bytes.
class ModemSide {
  public:
    virtual ~ModemSide() = default;
    virtual void Receive(uint8_t byte) = 0;
    // A short text for logs ("boot: waiting for sync").
    virtual std::string Describe() const = 0;
};

std::unique_ptr<ModemSide> MakeH8FlashSide(ChipContext& context);
std::unique_ptr<ModemSide> MakeH83069FlashSide(ChipContext& context);

class SimulatedModem : private ChipContext {
  public:
    explicit SimulatedModem(ModemConfig config);
    ~SimulatedModem() override;

    struct OutByte {
        int64_t atUs;  // when it has fully reached the host
        uint8_t value;
        int bitRate;  // the rate the modem sent it at
    };

    // A byte the host sent at hostRate has fully arrived at atUs. Bytes must come in time order.
    void Deliver(uint8_t byte, int hostRate, int64_t atUs);
    // Removes and returns the answered bytes that have reached the host by atUs; bytes sent at a
    // rate the host does not use arrive garbled.
    std::vector<uint8_t> TakeArrived(int64_t atUs, int hostRate);
    // Time the next answered byte reaches the host, if any is queued.
    std::optional<int64_t> NextArrivalUs() const;
    size_t QueuedCount() const { return out_.size(); }

    int BitRate() const override { return rate_; }
    bool Unplugged() const { return unplugged_; }
    bool Dsr() const { return config_.dsr; }
    const ModemConfig& Config() const override { return config_; }
    // The flash memory model (kSimFlashSize bytes). Before any erase it holds "old firmware".
    const std::vector<uint8_t>& FlashContent() const { return flash_; }
    std::string Describe() const;
    // Time a byte takes on the line at this rate with pacing on (0 without pacing).
    int64_t ByteTimeUs(int rate) const;

  private:
    int64_t NowUs() const override { return now_; }
    void Send(const std::vector<uint8_t>& bytes, int64_t delayUs) override;
    void SetBitRate(int rate) override { rate_ = rate; }
    void SetAutoBaud(bool on) override { autoBaud_ = on; }
    const Fault* TakeFault(FaultPoint point, int command) override;
    void Unplug() override;
    std::vector<uint8_t>& Flash() override { return flash_; }

    ModemConfig config_;
    std::vector<int> faultSeen_;  // occurrences counted per fault
    std::vector<uint8_t> flash_;
    std::unique_ptr<ModemSide> flashSide_;
    std::deque<OutByte> out_;
    int64_t now_ = 0;
    int64_t txFreeUs_ = 0;
    int rate_ = 9600;
    bool autoBaud_ = false;
    bool unplugged_ = false;
};

}  // namespace kelmor::sim
