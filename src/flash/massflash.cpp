#include "flash/massflash.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/crc16.h"
#include "flash/firmwarefile.h"
#include "flash/loaders.h"
#include "flash/massflashcommon.h"

namespace kelmor::flash {

namespace {

constexpr uint8_t kSync = 0x00, kSyncEnd = 0x55, kEnq = 0x05, kAck = 0x06, kNak = 0x15,
                  kCanByte = 0x18, kUpdateEnd = 0xFE, kEraseFailure = 0xFF;

// Hexadecimal digit as the loader protocol has always converted it.
int DigitValue(char c) {
    int v = static_cast<unsigned char>(c) - '0';
    if (v > 9) v -= 7;
    return v;
}

bool ValidDigit(char c) {
    int v = DigitValue(c);
    return v >= 0 && v <= 15;
}

}  // namespace

CMassFlash::CMassFlash() : loaderLength(kH8LoaderLength) {
    auto image = BuiltInLoader(SelectH8Loader(0));
    std::copy_n(image.begin(), std::min(image.size(), loader.size()), loader.begin());
}

int CMassFlash::Run() {
    CDirectSerial serial(link);
    int code = RunSteps(serial);
    serial.Close();
    // A step cut short because the user interrupted (a question answered No, a wait broken
    // off) reports the interrupt, not the step's own failure.
    if (code != h8result::kOk && abort.load()) code = h8result::kInterrupted;
    result.store(code);
    return code;
}

int CMassFlash::RunSteps(CDirectSerial& serial) {
    using namespace h8result;
    platform::Clock& clock = link.ClockOrReal();
    platform::Prompter& prompter = link.PrompterOrDefault();
    auto aborted = [this] { return abort.load(); };
    programProgress.store(0);
    loaderProgress.store(0);

    // 1. The loader for this speed mode.
    LoaderImage image = LoadLoader(SelectH8Loader(speedMode));
    if (image.bytes.size() != kH8LoaderLength) {
        prompter.Message(image.error.empty() ? "The loader program is missing." : image.error);
        return kLoaderUnusable;
    }
    loader.fill(0);
    std::copy(image.bytes.begin(), image.bytes.end(), loader.begin());
    loaderLength = kH8LoaderLength;

    // 2. Data check.
    if (!data || fileSize <= 0) return h8result::kNotValidFile;
    std::string_view file(reinterpret_cast<const char*>(data), static_cast<size_t>(fileSize));
    SffCheck container;
    std::string_view text;
    if (enciphered) {
        container = CheckSffContainer(file, key);
        if (container.result != 0) return container.result;
        text = container.Text();
        if (CheckH8RecordText(text) != 0) return h8result::kNotValidFile;
    } else {
        if (CheckPlainSRecordData(file) != 0) return h8result::kNotValidFile;
        text = file;
    }

    // 3-5. Open, settle, drain.
    if (!serial.Open(port, 9600, 8, 0)) return kPortNotOpen;
    clock.Sleep(1600);
    if (aborted()) return kInterrupted;
    detail::Drain(serial, clock, 1023, 5);

    // 6. Ask the running firmware to enter flash mode.
    if (update) {
        detail::WriteText(serial, "QVFLASH");
        std::vector<uint8_t> reply(1024, 0);
        clock.Sleep(500);
        int n = serial.ReadTimed(reply.data(), 1023, 300);
        int length = 0;
        for (int rounds = 0; n > 0 && rounds < 15; ++rounds) {
            clock.Sleep(50);
            length += n;
            n = serial.ReadTimed(reply.data() + length, 1023 - length, 200);
        }
        std::string answer = detail::ReplyText(reply.data(), 1023);
        if (!answer.empty() && answer.find("H3069 OK") != std::string::npos) return kWrongModemType;
        if (answer.empty() || answer.find("FLASH OK") != std::string::npos) {
            clock.Sleep(50);
        } else {
            platform::Prompt question{
                "But if leds are in order"
                "\r\nRTS CTS    TD         RD          CD"
                "\r\nRED NONE GREEN ORANGE RED\r\nYou may try to continue"
                "\r\n\r\nContinue anyway ?",
                kFlashErrorCaption, platform::Icon::Warning, platform::Buttons::YesNo,
                platform::Answer::No};
            // Once the user has interrupted, no question is put to them any more.
            if (aborted() || prompter.Ask(question) != platform::Answer::Yes)
                return kFlashModeRefused;
            clock.Sleep(50);
        }
    }

    // 7-8. Bit-rate synchronisation.
    detail::Drain(serial, clock, 1023, 10);
    bool answered = false;
    for (int attempt = 0; attempt < 31 && !answered && !aborted(); ++attempt) {
        uint8_t b = kSync, in = 0;
        serial.Write(&b, 1);
        answered = serial.ReadTimed(&in, 1, 20) > 0;
    }
    if (!answered) return kNoModem;
    if (aborted()) return kInterrupted;

    // 10. End of synchronisation; the boot program's answer is not examined.
    clock.Sleep(100);
    uint8_t end = kSyncEnd;
    serial.Write(&end, 1);
    clock.Sleep(100);
    detail::Drain(serial, clock, 1023, 10);

    // 11. Loader length, high byte first, each echoed.
    std::vector<uint8_t> buffer(1024, 0);
    uint8_t high = static_cast<uint8_t>(loaderLength >> 8),
            low = static_cast<uint8_t>(loaderLength);
    serial.Write(&high, 1);
    if (serial.ReadTimed(buffer.data(), 1023, 50) < 1 || buffer[0] != high) return kNoResponse;
    serial.Write(&low, 1);
    if (serial.ReadTimed(buffer.data(), 1, 50) != 1 || buffer[0] != low) return kNoResponse;

    // 12-13. Loader, echoed in chunks of 32 bytes.
    if (aborted()) return kInterrupted;
    uint16_t loaderCrc = core::Mcrf4xxCrc(loader.data(), loaderLength);
    for (uint32_t sent = 0; sent < loaderLength;) {
        int chunk = static_cast<int>(std::min<uint32_t>(32, loaderLength - sent));
        detail::Drain(serial, clock, 1023, 10);
        if (serial.Write(loader.data() + sent, chunk) != chunk) return kLoaderNoEcho;
        clock.Sleep(45);
        if (serial.ReadTimed(buffer.data(), chunk, chunk * 100 + 150) != chunk)
            return kLoaderNoEcho;
        if (std::memcmp(buffer.data(), loader.data() + sent, static_cast<size_t>(chunk)) != 0)
            return kLoaderWrongEcho;
        sent += static_cast<uint32_t>(chunk);
        loaderProgress.store(static_cast<int32_t>(std::min(sent, loaderLength)));
        if (observer) observer->LoaderProgress(loaderProgress.load());
        if (aborted()) return kInterrupted;
    }

    // 14. The loader erases the flash and reports.
    if (serial.ReadTimed(buffer.data(), 5, 500) == 0) return kNoEraseStatus;
    if (buffer[0] == kEraseFailure) return kEraseFailed;

    // 15-16. The loader now talks at its own rate; it answers ENQ with ACK.
    if (observer) observer->FlashingBegun();
    clock.Sleep(20);
    serial.SetBitRate(speedMode != 0 ? 115200 : 38400);
    int attempts = 0;
    do {
        uint8_t enq = kEnq;
        serial.Write(&enq, 1);
        serial.ReadTimed(buffer.data(), 1, 2);
        ++attempts;
    } while (buffer[0] != kAck && attempts < 50);
    if (attempts > 48) return kNoEnqReply;

    // 17. The loader's CRC of itself.
    clock.Sleep(100);
    if (serial.ReadTimed(buffer.data(), 2, 100) != 2) return kNoLoaderCrc;
    if (aborted()) return kInterrupted;
    if (((buffer[0] << 8) | buffer[1]) != loaderCrc) return kWrongLoaderCrc;

    // 18. The records.
    if (int code = SendRecords(serial, text); code != kOk) return code;

    // 19.
    if (update) {
        uint8_t done = kUpdateEnd;
        serial.Write(&done, 1);
    }
    return kOk;
}

int CMassFlash::SendRecords(CDirectSerial& serial, std::string_view text) {
    using namespace h8result;
    platform::Clock& clock = link.ClockOrReal();
    platform::Prompter& prompter = link.PrompterOrDefault();
    size_t pos = 0;
    int32_t progress = 0;
    programProgress.store(0);
    std::vector<uint8_t> packet;
    packet.reserve(300);
    for (;;) {
        int skipped = 0;
        while (pos < text.size() && text[pos] != 'S' && skipped < 1024) {
            ++pos;
            ++skipped;
            ++progress;
        }
        if (skipped > 512) prompter.Message(kDebugNoS);
        packet.clear();
        bool last = true;
        if (pos < text.size() && text[pos] == 'S') {
            // 'S', type, two count digits; then count - 1 pairs (address and data). The record's
            // own checksum pair is left behind and skipped with the line end.
            if (text.size() - pos < 4) return h8result::kNotValidFile;
            char type = text[pos + 1];
            if (type < '0' || type > '9') return h8result::kNotValidFile;
            if (!ValidDigit(text[pos + 2]) || !ValidDigit(text[pos + 3]))
                return h8result::kNotValidFile;
            int count = DigitValue(text[pos + 2]) * 16 + DigitValue(text[pos + 3]);
            if (count < 1) return h8result::kNotValidFile;
            pos += 4;
            progress += 4;
            size_t pairs = static_cast<size_t>(count - 1);
            if ((text.size() - pos) / 2 < pairs) return h8result::kNotValidFile;
            packet.push_back('S');
            packet.push_back(static_cast<uint8_t>(type));
            packet.push_back(static_cast<uint8_t>((count + 1) & 0xFF));
            for (size_t i = 0; i < pairs; ++i, pos += 2, progress += 2) {
                if (!ValidDigit(text[pos]) || !ValidDigit(text[pos + 1]))
                    return h8result::kNotValidFile;
                packet.push_back(
                    static_cast<uint8_t>(DigitValue(text[pos]) * 16 + DigitValue(text[pos + 1])));
            }
            uint16_t crc = core::Mcrf4xxCrc(packet.data(), packet.size());
            packet.push_back(static_cast<uint8_t>(crc >> 8));
            packet.push_back(static_cast<uint8_t>(crc));
            last = type == '9';
        }
        programProgress.store(progress);
        if (observer) observer->ProgramProgress(progress);
        if (abort.load()) return kInterrupted;

        int failures = 0, others = 0;
        for (;;) {
            detail::Drain(serial, clock, 1023, 10);
            serial.Write(packet.data(), static_cast<int>(packet.size()));
            uint8_t answer = 0;
            int n = serial.ReadTimed(&answer, 1, 500);
            if (n > 0 && (answer == 'e' || answer == 'B')) {
                n = serial.ReadTimed(&answer, 1, 500);
                if (n > 0 && answer == 'E') n = serial.ReadTimed(&answer, 1, 500);
            }
            if (n == 0) {
                if (failures > 50) return kNoAck;
                ++failures;
            } else if (answer == kAck) {
                break;
            } else if (answer == kNak) {
                if (failures > 50) return kNakLimit;
                ++failures;
            } else if (answer == kCanByte) {
                return kCan;
            } else if (++others > kMaxOtherAnswers) {
                return kNoAck;
            }
        }
        if (last) return kOk;
    }
}

std::string CMassFlash::ResultText(int code) {
    switch (code) {
        case 0:
            return "Programming completed succesfully!";
        case 1:
            return "ERROR: Couldn't find Zorva Modem!";
        case 3:
            return "ERROR: No response from the modem!!!\r\nCheck the selected port, the power "
                   "supply, the serial cable and set the modem to the programming mode.";
        case 4:
            return "ERROR: Modem didn't reply to sent loader byte!";
        case 5:
            return "ERROR: Modem didn't reply right to send loader byte!";
        case 6:
            return "ERROR: Modem didn't send erase status byte!";
        case 7:
            return "ERROR: Modem couldn't erase properly!";
        case 8:
            return "ERROR: Loader didn't reply to ENQ!";
        case 9:
            return "ERROR: Loader didn't send CRC!";
        case 10:
            return "ERROR: Loader has wrong CRC!";
        case 11:
            return "ERROR: Hitachi couldn't burn (NAK), tried 50 times!";
        case 12:
            return "ERROR: Hitachi couldn't program (CAN)!";
        case 40:
            return "ERROR: Couldn't open com port!";
        case 41:
            return "ERROR: Wrong CRC after decrypting! Check file!";
        case 42:
            return "ERROR: Wrong key or file isn't correct!";
        case 43:
            return "ERROR: Not a valid file!";
        case 50:
            return "ERROR: No ack after sending user program packet";
        case 51:
            return "ERROR: Modem didn't reply to QVFLASH modem right!";
        case 52:
            return "User interrupted flashing!";
        case 55:
            return "ERROR: Modem software not suitable for this modem type!";
        case 56:
            return "ERROR: The loader program is missing or damaged!";
        case 0xFFFF:
            return "Port not enabled!";
        default:
            return "ERROR: Unknown error occured!";
    }
}

}  // namespace kelmor::flash
