#pragma once
// CMassFlash_3069: one flashing run of a modem built on the H8/3069, either through the chip's
// boot program (boot path) or through the running firmware's flash mode and a RAM loader
// (update path, with its OEM variant that sends pre-scrambled packets and no loader).
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "flash/directserial.h"
#include "flash/firmwarekey.h"
#include "flash/massflashobserver.h"
#include "flash/oempackets.h"

namespace kelmor::flash {

namespace h3069result {
inline constexpr int kOk = 0;
inline constexpr int kNoModem = 1;
inline constexpr int kNoResponse = 3;
inline constexpr int kLoaderNoEcho = 4;
inline constexpr int kLoaderWrongEcho = 5;
inline constexpr int kNoEnqReply = 8;
inline constexpr int kNoLoaderCrc = 9;
inline constexpr int kWrongLoaderCrc = 10;
inline constexpr int kPortNotOpen = 48;
inline constexpr int kNotValidFile = 51;
inline constexpr int kWrongModemType = 85;
inline constexpr int kFlashModeRefused = 97;
inline constexpr int kInterrupted = 98;
inline constexpr int kPacketFailed = 100;
inline constexpr int kNoReply = 101;
inline constexpr int kBoardNotInPlace = 113;
inline constexpr int kLoaderUnusable = 114;
inline constexpr int kPortNotEnabled = 0xFFFF;
}  // namespace h3069result

// Flash blocks of the chip in erase order.
inline constexpr std::array<uint32_t, 16> kH83069Blocks = {4096,  4096,  4096,  4096,  4096,  4096,
                                                           4096,  4096,  32768, 65536, 65536, 65536,
                                                           65536, 65536, 65536, 65536};

// Models of firmware files.
inline constexpr uint8_t kModelNone = 0, kModelUhf = 1, kModelVhf = 2, kModelUnchecked = 3;

class CMassFlash_3069 {
  public:
    CMassFlash_3069();
    CMassFlash_3069(const CMassFlash_3069&) = delete;
    CMassFlash_3069& operator=(const CMassFlash_3069&) = delete;

    int Run();
    // Code 101 carries the loader progress (the step reached), so the text is the engine's.
    std::string ResultText(int code) const;
    // Loader-bar maximum: the loader length on the update path, the 8 command steps otherwise.
    int LoaderSteps() const { return update ? static_cast<int>(loaderLength) : 8; }

    // The new-bit-rate command for a speed mode and crystal (also what tests compare with).
    static std::vector<uint8_t> NewBitRateFrame(int speedMode, uint32_t crystalHz);
    // Rate the host uses after the loader or the new-bit-rate command.
    static int HostRateFor(int speedMode);

    // Run record.
    std::array<uint8_t, 2048> loader{};
    uint32_t loaderLength;
    bool update = false;
    bool h8_3069 = true;          // not used by the run
    bool h8_3069Warning = false;  // multi windows: ask instead of refusing
    bool nms = false;
    int32_t fileSize = 0;     // not used by the run
    FirmwareKey key{};        // not used by the run
    bool enciphered = false;  // not used by the run
    std::atomic<int32_t> programProgress{0};
    std::atomic<int32_t> loaderProgress{0};
    std::atomic<int32_t> result{0};
    int32_t speedMode = 0;  // 0: 38400, 1: 115200, 2: 9600 bit/s after the loader / new bit rate
    uint32_t crystal = 24576000;
    int32_t port = 1;
    const uint8_t* image = nullptr;  // flash image, or the OEM packet bodies; owned by the caller
    uint32_t imageSize = 0;          // bytes at image: nothing beyond is ever read
    bool oem = false;
    bool boardCheck = false;
    uint8_t model = kModelNone;
    uint32_t programSize = 0;  // bytes to program (image program size or OEM byte count)
    FlashObserver* observer = nullptr;
    std::atomic<bool> abort{false};
    DirectSerialSetup link;
    // The random byte of the OEM end frame (time seeded unless a test sets it).
    RandomByteSource randomByte;

  private:
    class Session;
};

}  // namespace kelmor::flash
