#pragma once
// CMassFlash: one flashing run of a modem with an H8 of the older family over its serial boot
// mode: synchronise, send the RAM loader, let it erase, then stream the S-records to it as
// CRC-protected packets. One engine object per modem and port; Run is called from a worker
// thread and ends with a result code (ResultText).
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "flash/directserial.h"
#include "flash/firmwarekey.h"
#include "flash/massflashobserver.h"

namespace kelmor::flash {

// Result codes of the H8 run.
namespace h8result {
inline constexpr int kOk = 0;
inline constexpr int kNoModem = 1;
inline constexpr int kNoResponse = 3;
inline constexpr int kLoaderNoEcho = 4;
inline constexpr int kLoaderWrongEcho = 5;
inline constexpr int kNoEraseStatus = 6;
inline constexpr int kEraseFailed = 7;
inline constexpr int kNoEnqReply = 8;
inline constexpr int kNoLoaderCrc = 9;
inline constexpr int kWrongLoaderCrc = 10;
inline constexpr int kNakLimit = 11;
inline constexpr int kCan = 12;
inline constexpr int kPortNotOpen = 40;
inline constexpr int kWrongCrc = 41;
inline constexpr int kWrongKey = 42;
inline constexpr int kNotValidFile = 43;
inline constexpr int kNoAck = 50;
inline constexpr int kFlashModeRefused = 51;
inline constexpr int kInterrupted = 52;
inline constexpr int kWrongModemType = 55;
inline constexpr int kLoaderUnusable = 56;
inline constexpr int kPortNotEnabled = 0xFFFF;
}  // namespace h8result

// A loader answering neither ACK, NAK nor CAN gets the same packet again this many times, then
// the run ends with "no ack" (50) instead of looping for ever.
inline constexpr int kMaxOtherAnswers = 100;

inline constexpr const char* kDebugNoS =
    "debug version error: Not a valid S-file, couldn't find 'S'";
inline constexpr const char* kFlashErrorCaption = "FLASH ERROR !!";

class CMassFlash {
  public:
    CMassFlash();
    CMassFlash(const CMassFlash&) = delete;
    CMassFlash& operator=(const CMassFlash&) = delete;

    // The whole run; also stores the result. Worker thread.
    int Run();
    static std::string ResultText(int code);
    int LoaderSteps() const { return static_cast<int>(loaderLength); }

    // Run record.
    std::array<uint8_t, 2048> loader{};
    uint32_t loaderLength;
    bool update = false;
    bool h8_3069 = false;         // not used by this run
    bool h8_3069Warning = false;  // not used by this run
    int32_t fileSize = 0;         // bytes at data
    FirmwareKey key{};
    bool enciphered = false;  // data is an ".sff" container; else plain S-record text
    std::atomic<int32_t> programProgress{0};
    std::atomic<int32_t> loaderProgress{0};
    std::atomic<int32_t> result{0};
    int32_t speedMode = 0;  // 0: loader at 38400 bit/s, else 115200
    int32_t port = 1;
    const uint8_t* data = nullptr;  // owned by the caller, read only during the run
    FlashObserver* observer = nullptr;
    std::atomic<bool> abort{false};
    // Clock, prompter and device of the run's link.
    DirectSerialSetup link;

  private:
    int RunSteps(CDirectSerial& serial);
    int SendRecords(CDirectSerial& serial, std::string_view text);
};

}  // namespace kelmor::flash
