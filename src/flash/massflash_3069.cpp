#include "flash/massflash_3069.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/crc16.h"
#include "flash/loaders.h"
#include "flash/massflash.h"
#include "flash/massflashcommon.h"

namespace kelmor::flash {

namespace {

constexpr uint8_t kAck = 0x06, kEnq = 0x05, kUpdateEnd = 0xFE;

uint8_t Sum(const std::vector<uint8_t>& bytes) {
    unsigned sum = 0;
    for (uint8_t b : bytes) sum += b;
    return static_cast<uint8_t>(0x100 - (sum & 0xFF));
}

std::vector<uint8_t> WithSum(std::vector<uint8_t> bytes) {
    bytes.push_back(Sum(bytes));
    return bytes;
}

bool Contains(const std::string& text, std::string_view token) {
    return text.find(token) != std::string::npos;
}

// A reply of the command protocol is complete when its form says so: ACK alone, an error code
// after an error response, an inquiry answer by its size byte. Anything else ends when the
// line goes quiet.
bool ReplyComplete(const uint8_t* r, int count) {
    if (count < 1) return false;
    switch (r[0]) {
        case 0x06:
        case 0xE6:
        case 0xFF:
            return true;
        case 0x30:
        case 0x31:
        case 0x32:
        case 0x37:
            return count >= 2 && count >= 3 + r[1];
        default:
            return (r[0] & 0x80) ? count >= 2 : false;
    }
}

}  // namespace

class CMassFlash_3069::Session {
  public:
    explicit Session(CMassFlash_3069& e)
        : e_(e),
          serial_(e.link),
          clock_(e.link.ClockOrReal()),
          prompter_(e.link.PrompterOrDefault()),
          reply_(2048, 0) {}

    int Run();
    void Close() { serial_.Close(); }

  private:
    bool Aborted() const { return e_.abort.load(); }
    void Step() {
        int v = std::min(e_.loaderProgress.load() + 1, 8);
        e_.loaderProgress.store(v);
        if (e_.observer) e_.observer->LoaderProgress(v);
    }
    void ClearTen() { std::fill_n(reply_.begin(), 10, 0); }
    void ClearAll() { std::fill(reply_.begin(), reply_.end(), 0); }
    int Write(const std::vector<uint8_t>& bytes) {
        return serial_.Write(bytes.data(), static_cast<int>(bytes.size()));
    }
    // Waits up to 1000 x 10 ms for a reply and reads it (at most limit bytes).
    int Collect(int limit);
    // Sends a command, collects its reply; true when the first reply byte is expected.
    bool Command(const std::vector<uint8_t>& bytes, uint8_t expected, int limit = 1023) {
        Write(bytes);
        ClearTen();
        Collect(limit);
        return reply_[0] == expected;
    }
    // The first reply byte as the result, 101 when nothing (or only a zero) came.
    int FailWithReply() const { return reply_[0] != 0 ? reply_[0] : h3069result::kNoReply; }
    // An error response 0xBF carries its error code in the second byte, shown as a number.
    void BfRule() {
        if (reply_[0] == 0xBF && !Aborted()) prompter_.Message(std::to_string(reply_[1]));
    }
    void WaitLateReply() {
        if (reply_[0] != 0) return;
        for (int round = 0; round < 1000 && reply_[0] == 0 && !Aborted(); ++round)
            serial_.ReadTimed(reply_.data() + 1, 10, 10);
    }
    int FlashModeRequest();
    int Synchronise();
    int SendLoader();
    int StartLoader();
    int UpdateCommands();
    int BootCommands();
    int Program();

    CMassFlash_3069& e_;
    CDirectSerial serial_;
    platform::Clock& clock_;
    platform::Prompter& prompter_;
    std::vector<uint8_t> reply_;
    uint16_t loaderCrc_ = 0;
};

int CMassFlash_3069::Session::Collect(int limit) {
    int count = 0;
    limit = std::min(limit, static_cast<int>(reply_.size()));
    for (int round = 0; round < 1000 && count < limit && !Aborted(); ++round) {
        if (ReplyComplete(reply_.data(), count)) break;
        uint8_t b = 0;
        if (serial_.ReadTimed(&b, 1, 10) > 0) {
            if (count == 0 && b == 0) continue;  // no reply starts with 0: late sync answers
            reply_[static_cast<size_t>(count++)] = b;
            clock_.Sleep(5);
        } else if (count > 0) {
            break;  // the line went quiet after the reply
        }
    }
    return count;
}

int CMassFlash_3069::Session::FlashModeRequest() {
    using namespace h3069result;
    detail::WriteText(serial_, e_.oem ? "QVFLOEM" : "QVFLASH");
    std::fill_n(reply_.begin(), 1024, 0);
    clock_.Sleep(500);
    int n = serial_.ReadTimed(reply_.data(), 2047, 300);
    int length = 0;
    for (int reads = 0; n > 0 && reads < 35; ++reads) {
        clock_.Sleep(50);
        length += n;
        n = serial_.ReadTimed(reply_.data() + length, 2047 - length, 200);
    }
    std::string answer = detail::ReplyText(reply_.data(), 2047);
    if (answer.empty()) return kNoModem;

    bool oldFirmwareAccepted = false;
    auto ask = [&](const char* text) {
        // Once the user has interrupted, no question is put to them any more.
        if (Aborted()) return false;
        platform::Prompt q{text, kFlashErrorCaption, platform::Icon::Warning,
                           platform::Buttons::YesNo, platform::Answer::No};
        return prompter_.Ask(q) == platform::Answer::Yes;
    };
    if (Contains(answer, "FLASH OK")) {
        if (!e_.h8_3069Warning) return kWrongModemType;
        if (!ask("You try to flash H8/3069 software to modem"
                 "\r\nwhich contains H8/3048 prosessor !!!"
                 "\r\nYou may continue, if you are upgrading from"
                 "\r\nH8/3069 sw 3.00 to 3.01. SW 3.00 Replies old FLASH OK"
                 "\r\n\r\nContinue anyway ?"))
            return kWrongModemType;
        oldFirmwareAccepted = true;
    }
    bool oldNmsAccepted = false;
    if (e_.h8_3069Warning && e_.nms && Contains(answer, "H3069 OK")) {
        if (!ask("You try to flash NMS software to modem"
                 "\r\nwhich contains old portable code !!!"
                 "\r\nYou may continue, if you are upgrading from"
                 "\r\nNMS sw 0.23 to newer. SW 0.23 Replies old H3069 OK"
                 "\r\n\r\nContinue anyway ?"))
            return kWrongModemType;
        oldNmsAccepted = true;
    }
    bool nmsToken = Contains(answer, "HQ7XNMS+") || Contains(answer, "HQ7XUHF+") ||
                    Contains(answer, "HQ7XVHF+");
    bool plain = !e_.nms && !e_.oem, nmsRun = e_.nms && !e_.oem;
    // A user who accepted the old "FLASH OK" of firmware 3.00 has said the modem is right.
    if (plain && !Contains(answer, "H3069 OK") && !oldFirmwareAccepted) return kFlashModeRefused;
    if (nmsRun && !oldNmsAccepted && !nmsToken) return kFlashModeRefused;
    if (nmsRun && e_.model == kModelVhf && Contains(answer, "HQ7XUHF+")) return kFlashModeRefused;
    if (nmsRun && e_.model == kModelUhf && Contains(answer, "HQ7XVHF+")) return kFlashModeRefused;
    if (nmsRun && e_.model == kModelNone &&
        (!Contains(answer, "HQ7XVHF+") || !Contains(answer, "HQ7XUHF+")))
        return kFlashModeRefused;
    if (e_.oem && !Contains(answer, "H8OEM OK")) return kFlashModeRefused;
    clock_.Sleep(50);
    return kOk;
}

int CMassFlash_3069::Session::Synchronise() {
    using namespace h3069result;
    detail::Drain(serial_, clock_, 2047, 10);
    std::fill_n(reply_.begin(), 10, 1);
    int failed = 0;
    bool got = false;
    for (int attempt = 0; attempt < 301; ++attempt) {
        if (Aborted()) return kInterrupted;
        uint8_t zero = 0x00;
        serial_.Write(&zero, 1);
        clock_.Sleep(3);
        if (serial_.ReadTimed(reply_.data(), 1, 50) > 0) {
            got = true;
            break;
        }
        ++failed;
    }
    if (failed >= 300 || !got || reply_[0] != 0x00) return kNoModem;
    if (Aborted()) return kInterrupted;
    uint8_t end = 0x55;
    serial_.Write(&end, 1);
    ClearAll();
    return kOk;
}

int CMassFlash_3069::Session::SendLoader() {
    using namespace h3069result;
    for (int round = 0; round < 1000 && serial_.ReadTimed(reply_.data(), 1023, 10) > 0; ++round)
        clock_.Sleep(2);
    uint8_t high = static_cast<uint8_t>(e_.loaderLength >> 8);
    uint8_t low = static_cast<uint8_t>(e_.loaderLength & 0xFF);
    serial_.Write(&high, 1);
    if (serial_.ReadTimed(reply_.data(), 1023, 50) < 1 || reply_[0] != high) return kNoResponse;
    serial_.Write(&low, 1);
    if (serial_.ReadTimed(reply_.data(), 1, 50) != 1 || reply_[0] != low) return kNoResponse;
    if (Aborted()) return kInterrupted;
    loaderCrc_ = core::Mcrf4xxCrc(e_.loader.data(), e_.loaderLength);
    for (uint32_t sent = 0; sent < e_.loaderLength;) {
        int n = static_cast<int>(std::min<uint32_t>(32, e_.loaderLength - sent));
        detail::Drain(serial_, clock_, 1023, 10);
        if (serial_.Write(e_.loader.data() + sent, n) != n) return kLoaderNoEcho;
        clock_.Sleep(50);
        if (serial_.ReadTimed(reply_.data(), n, n * 100 + 150) != n) return kLoaderNoEcho;
        if (std::memcmp(reply_.data(), e_.loader.data() + sent, static_cast<size_t>(n)) != 0)
            return kLoaderWrongEcho;
        sent += static_cast<uint32_t>(n);
        e_.loaderProgress.store(static_cast<int32_t>(std::min(sent, e_.loaderLength)));
        if (e_.observer) e_.observer->LoaderProgress(e_.loaderProgress.load());
        if (Aborted()) return kInterrupted;
    }
    return kOk;
}

int CMassFlash_3069::Session::StartLoader() {
    using namespace h3069result;
    if (e_.observer) e_.observer->FlashingBegun();
    clock_.Sleep(100);
    ClearAll();
    serial_.SetBitRate(HostRateFor(e_.speedMode));
    int attempts = 0;
    do {
        uint8_t enq = kEnq;
        serial_.Write(&enq, 1);
        serial_.ReadTimed(reply_.data(), 1, 2);
        ++attempts;
    } while (reply_[0] != kAck && attempts < 50);
    if (attempts > 48) return kNoEnqReply;
    if (!e_.oem) {
        clock_.Sleep(100);
        if (serial_.ReadTimed(reply_.data(), 2, 100) != 2) return kNoLoaderCrc;
        if (Aborted()) return kInterrupted;
        if (((reply_[0] << 8) | reply_[1]) != loaderCrc_) return kWrongLoaderCrc;
    }
    return kOk;
}

int CMassFlash_3069::Session::UpdateCommands() {
    if (!Command({0x48}, kAck)) return FailWithReply();
    uint32_t erased = 0;
    for (size_t k = 0; k < kH83069Blocks.size() && erased < e_.programSize; ++k) {
        if (!Command(WithSum({0x58, 0x01, static_cast<uint8_t>(k)}), kAck)) return FailWithReply();
        erased += kH83069Blocks[k];
    }
    if (!Command(WithSum({0x58, 0x01, 0xFF}), kAck)) return FailWithReply();
    return h3069result::kOk;
}

int CMassFlash_3069::Session::BootCommands() {
    using namespace h3069result;
    // 1. Supported devices; the device code comes back in reply bytes 4-7.
    Write({0x20});
    ClearTen();
    Collect(1023);
    if (Aborted()) return kInterrupted;
    Step();
    std::vector<uint8_t> select{0x10, 0x04, reply_[4], reply_[5], reply_[6], reply_[7]};
    // 2. Device selection.
    if (!Command(WithSum(select), kAck)) {
        WaitLateReply();
        BfRule();
        return FailWithReply();
    }
    if (Aborted()) return kInterrupted;
    Step();
    // 3. Clock-mode inquiry.
    if (!Command(WithSum({0x21, 0x04, reply_[4], reply_[5], reply_[6], reply_[7]}), 0x31)) {
        BfRule();
        return FailWithReply();
    }
    if (Aborted()) return kInterrupted;
    Step();
    // 4-6.
    if (!Command(WithSum({0x11, 0x01, 0x00}), kAck)) return FailWithReply();
    if (Aborted()) return kInterrupted;
    Step();
    if (!Command({0x22}, 0x32)) return FailWithReply();
    if (Aborted()) return kInterrupted;
    Step();
    if (!Command({0x27}, 0x37)) return FailWithReply();
    if (Aborted()) return kInterrupted;
    Step();
    // 7. New bit rate.
    if (!Command(NewBitRateFrame(e_.speedMode, e_.crystal), kAck)) {
        for (int round = 0; round < 1000 && reply_[1] == 0; ++round)
            serial_.ReadTimed(reply_.data() + 1, 1, 20);
        BfRule();
        return FailWithReply();
    }
    // 8. Confirmation at the new rate.
    serial_.SetBitRate(HostRateFor(e_.speedMode));
    clock_.Sleep(1);
    if (Aborted()) return kInterrupted;
    Step();
    if (!Command({0x06}, kAck)) return FailWithReply();
    if (Aborted()) return kInterrupted;
    Step();
    // 9. Programming state: the boot program erases the whole flash.
    if (!Command({0x40}, kAck)) return FailWithReply();
    if (e_.observer) e_.observer->FlashingBegun();
    clock_.Sleep(20);
    if (Aborted()) return kInterrupted;
    return kOk;
}

int CMassFlash_3069::Session::Program() {
    using namespace h3069result;
    if (!Command({0x43}, kAck)) {
        for (int round = 0; round < 1000; ++round) {
            uint8_t b;
            if (serial_.ReadTimed(&b, 1, 100) == 0) break;
        }
        return FailWithReply();
    }
    const size_t body = e_.oem ? kOemPacketSize : 128;
    const int32_t step = e_.oem ? 132 : 128;
    std::vector<uint8_t> frame;
    frame.reserve(134);
    for (uint32_t offset = 0; offset < e_.programSize; offset += static_cast<uint32_t>(body)) {
        // At 9600 bit/s the frames take minutes: the user's interrupt is heard between them.
        if (Aborted()) return kInterrupted;
        frame.assign(1, 0x50);
        if (!e_.oem) {
            frame.push_back(static_cast<uint8_t>(offset >> 24));
            frame.push_back(static_cast<uint8_t>(offset >> 16));
            frame.push_back(static_cast<uint8_t>(offset >> 8));
            frame.push_back(static_cast<uint8_t>(offset));
        }
        frame.insert(frame.end(), e_.image + offset, e_.image + offset + body);
        frame.push_back(Sum(frame));
        Write(frame);
        ClearTen();
        Collect(100);
        if (reply_[0] != kAck) {
            for (int tries = 0; tries < 10 && reply_[0] == 0xD0; ++tries) {
                if (reply_[1] == 0) {
                    clock_.Sleep(1);
                    for (int round = 0; round < 1000; ++round)
                        if (serial_.ReadTimed(reply_.data() + 1, 1, 100) == 0) break;
                }
                if (reply_[0] == 0xD0 && reply_[1] == 0x11) {  // sum-check error: send again
                    Write(frame);
                    ClearTen();
                    Collect(100);
                }
            }
            if (reply_[0] != kAck) return kPacketFailed;
        }
        e_.programProgress.fetch_add(step);
        if (e_.observer) e_.observer->ProgramProgress(e_.programProgress.load());
    }
    std::vector<uint8_t> end{0x50};
    if (e_.oem) {
        uint8_t r = e_.randomByte ? e_.randomByte() : TimeSeededRandomBytes()();
        auto bytes = OemEndFrameBytes(r);
        end.insert(end.end(), bytes.begin(), bytes.end());
    } else {
        end.insert(end.end(), {0xFF, 0xFF, 0xFF, 0xFF});
    }
    if (!Command(WithSum(end), kAck)) return kPacketFailed;
    return kOk;
}

int CMassFlash_3069::Session::Run() {
    using namespace h3069result;
    if (!serial_.Open(e_.port, 9600, 8, 0)) return kPortNotOpen;
    if (e_.boardCheck && !serial_.DsrOn()) return kBoardNotInPlace;
    clock_.Sleep(e_.update ? 1800 : 200);
    if (Aborted()) return kInterrupted;
    detail::Drain(serial_, clock_, 2047, 5);
    int code = kOk;
    if (e_.update) {
        if ((code = FlashModeRequest()) != kOk) return code;
        if (!e_.oem) {
            if ((code = Synchronise()) != kOk) return code;
            if ((code = SendLoader()) != kOk) return code;
        }
        if ((code = StartLoader()) != kOk) return code;
        if ((code = UpdateCommands()) != kOk) return code;
    } else {
        if ((code = Synchronise()) != kOk) return code;
        Collect(2047);
        if (reply_[0] != 0xE6) return FailWithReply();
        if ((code = BootCommands()) != kOk) return code;
    }
    if ((code = Program()) != kOk) return code;
    if (e_.update) {
        uint8_t done = kUpdateEnd;
        serial_.Write(&done, 1);
    }
    return kOk;
}

CMassFlash_3069::CMassFlash_3069() : loaderLength(kH83069LoaderLength) {
    auto image = BuiltInLoader(SelectH83069Loader(0, crystal));
    std::copy_n(image.begin(), std::min(image.size(), loader.size()), loader.begin());
}

int CMassFlash_3069::HostRateFor(int speedMode) {
    return speedMode == 1 ? 115200 : speedMode == 2 ? 9600 : 38400;
}

std::vector<uint8_t> CMassFlash_3069::NewBitRateFrame(int speedMode, uint32_t crystalHz) {
    uint16_t rate = speedMode != 0 ? 0x0480 : 0x00C0;
    uint32_t frequency = ((crystalHz + 5000u) / 2u) / 10000u;
    return WithSum({0x3F, 0x07, static_cast<uint8_t>(rate >> 8), static_cast<uint8_t>(rate),
                    static_cast<uint8_t>(frequency >> 8), static_cast<uint8_t>(frequency), 0x01,
                    0x01, 0x00});
}

int CMassFlash_3069::Run() {
    using namespace h3069result;
    programProgress.store(0);
    loaderProgress.store(0);
    int code = kOk;
    LoaderImage li = LoadLoader(SelectH83069Loader(speedMode, crystal));
    if (li.bytes.size() != kH83069LoaderLength) {
        link.PrompterOrDefault().Message(li.error.empty() ? "The loader program is missing."
                                                          : li.error);
        code = kLoaderUnusable;
    } else {
        loader.fill(0);
        std::copy(li.bytes.begin(), li.bytes.end(), loader.begin());
        loaderLength = kH83069LoaderLength;
        // Nothing to program, or frames that would read past the image: refuse before the
        // modem is touched (the boot program would erase the whole flash first).
        size_t body = oem ? kOemPacketSize : 128;
        size_t frames = (size_t{programSize} + body - 1) / body;
        if (!image || programSize == 0 || frames * body > imageSize) code = kNotValidFile;
    }
    if (code == kOk) {
        Session session(*this);
        code = session.Run();
        session.Close();
        // A step cut short because the user interrupted (a question answered No, a wait broken
        // off) reports the interrupt, not the step's own failure.
        if (code != kOk && abort.load()) code = kInterrupted;
    }
    result.store(code);
    return code;
}

std::string CMassFlash_3069::ResultText(int code) const {
    switch (code) {
        case 0:
            return "Programming completed succesfully!";
        case 1:
            return "ERROR: Couldn't find Zorva Modem!";
        case 2:
            return "ERROR: Modem didn't reply to 0x55!";
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
        case 17:
            return "ERROR: Sum check error";
        case 18:
            return "ERROR: Program size error";
        case 33:
            return "ERROR: Device code mismatch error";
        case 34:
            return "ERROR: Clock mode mismatch error";
        case 36:
            return "ERROR: Bit rate selection error";
        case 37:
            return "ERROR: Input frequency error";
        case 38:
            return "ERROR: Multiplication ratio error";
        case 39:
            return "ERROR: Operation frequency error";
        case 41:
            return "ERROR: Block number error";
        case 42:
            return "ERROR: Address error";
        case 43:
            return "ERROR: Data length error";
        case 48:
            return "ERROR: Couldn't open com port!";
        case 49:
            return "ERROR: Wrong CRC after decrypting! Check file!";
        case 50:
            return "ERROR: Wrong key or file isn't correct!";
        case 51:
            return "ERROR: Not a valid file!";
        case 81:
            return "ERROR: Erasure error";
        case 82:
            return "ERROR: Erasure incompletion error";
        case 83:
            return "ERROR: Programming error";
        case 84:
            return "ERROR: Selection error";
        case 85:
            return "ERROR: Modem software not suitable for this modem type!";
        case 96:
            return "ERROR: No ack after sending user program packet";
        case 97:
            return "ERROR: Modem didn't reply to QVFLASH modem right!";
        case 98:
            return "User interrupted flashing!";
        case 99:
            return "ERROR: Serialport speed change failure !";
        case 100:
            return "ERROR: Data packet (128 bytes) programming failure !";
        case 101:
            return "ERROR: Initialization error ! " + std::to_string(loaderProgress.load());
        case 113:
            return "ERROR: Board not in plase ! ";
        case 114:
            return "ERROR: The loader program is missing or damaged!";
        case 128:
            return "ERROR: Command error";
        case 255:
            return "ERROR: Bit-rate-adjustment confirmation error";
        case 0xFFFF:
            return "Port not enabled!";
        default:
            return "ERROR: Unknown error occured!";
    }
}

}  // namespace kelmor::flash
