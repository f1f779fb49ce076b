// The H8/3069: the boot program with the chip maker's command protocol (inquiries, selections,
// new bit rate derived from the commanded frequency and the chip's own crystal, programming
// state, 128-byte frames with a SUM check), and the update path through the running firmware
// (flash-mode request, echoed loader, ENQ, CRC, block erasure) including its OEM flasher.
#include <algorithm>
#include <cmath>

#include "core/crc16.h"
#include "flash/oempackets.h"
#include "sim/chipcommon.h"

namespace kelmor::sim {

namespace {

constexpr uint8_t kAck = 0x06;
constexpr uint32_t kBlockSizes[] = {4096,  4096,  4096,  4096,  4096,  4096,  4096,  4096,
                                    32768, 65536, 65536, 65536, 65536, 65536, 65536, 65536};

class H83069FlashSide : public ModemSide {
  public:
    explicit H83069FlashSide(ChipContext& ctx) : ctx_(ctx) {
        if (ctx.Config().mode == Mode::Update) {
            state_ = State::Firmware;
        } else {
            state_ = State::Sync;
            ctx_.SetAutoBaud(true);
        }
    }

    void Receive(uint8_t b) override {
        switch (state_) {
            case State::Firmware:
                Firmware(b);
                break;
            case State::Sync:
                Sync(b);
                break;
            case State::LengthHigh:
            case State::LengthLow:
                Length(b);
                break;
            case State::Loader:
                Loader(b);
                break;
            case State::Enq:
                Enq(b);
                break;
            case State::Commands:
            case State::BitRateConfirm:
                Command(b);
                break;
            case State::Dead:
                break;
        }
    }

    std::string Describe() const override {
        static const char* names[] = {"firmware", "sync", "loader length", "loader length",
                                      "loader",   "enq",  "commands",      "bit-rate confirmation",
                                      "dead"};
        return names[static_cast<int>(state_)];
    }

  private:
    enum class State {
        Firmware,
        Sync,
        LengthHigh,
        LengthLow,
        Loader,
        Enq,
        Commands,
        BitRateConfirm,
        Dead
    };
    // Who answers the commands: the chip's boot program, the RAM loader, or the firmware's own
    // OEM flasher (which takes scrambled frames).
    enum class Speaker { Boot, Loader, Oem };

    void Restart() {
        state_ = State::Firmware;
        speaker_ = Speaker::Boot;
        matcher_ = RequestMatcher();
        loader_.clear();
        frame_.clear();
        switchRate_ = 0;
        deviceSelected_ = programmingState_ = eraseSelected_ = programSelected_ = false;
        finished_ = false;
        ctx_.SetBitRate(9600);
    }

    void Firmware(uint8_t b) {
        std::string request = matcher_.Feed(b);
        if (request.empty()) return;
        const Fault* f = ctx_.TakeFault(FaultPoint::FlashMode);
        bool oem = request == "QVFLOEM";
        const std::string& token = oem ? ctx_.Config().oemToken : ctx_.Config().flashToken;
        SendWithFault(ctx_, std::vector<uint8_t>(token.begin(), token.end()), f);
        if (oem) {
            ctx_.SetBitRate(ctx_.Config().oemBitRate);
            speaker_ = Speaker::Oem;
            state_ = State::Enq;
        } else {
            speaker_ = Speaker::Loader;
            state_ = State::Sync;
            ctx_.SetAutoBaud(true);
        }
    }

    void Sync(uint8_t b) {
        if (b == 0x00) {
            SendWithFault(ctx_, {0x00}, ctx_.TakeFault(FaultPoint::Sync));
        } else if (b == 0x55) {
            SendWithFault(ctx_, {0xE6}, ctx_.TakeFault(FaultPoint::SyncEnd));
            ctx_.SetAutoBaud(false);
            state_ = speaker_ == Speaker::Boot ? State::Commands : State::LengthHigh;
        }
    }

    void Length(uint8_t b) {
        SendWithFault(ctx_, {b}, ctx_.TakeFault(FaultPoint::LoaderLength));
        if (state_ == State::LengthHigh) {
            loaderLength_ = size_t{b} << 8;
            state_ = State::LengthLow;
        } else {
            loaderLength_ |= b;
            loader_.clear();
            state_ = loaderLength_ == 0 ? State::Dead : State::Loader;
        }
    }

    void Loader(uint8_t b) {
        SendWithFault(ctx_, {b}, ctx_.TakeFault(FaultPoint::LoaderEcho));
        loader_.push_back(b);
        if (loader_.size() < loaderLength_) return;
        LoaderInfo info = IdentifyLoader(loader_);
        if (!info.known || !info.h83069) {
            state_ = State::Dead;
            return;
        }
        // The loader's bit-rate register was worked out for its design crystal.
        double rate = double(info.nominalRate) * ctx_.Config().crystalHz / info.designCrystal;
        ctx_.SetBitRate(static_cast<int>(std::lround(rate)));
        state_ = State::Enq;
    }

    void Enq(uint8_t b) {
        if (b != 0x05) return;
        const Fault* f = ctx_.TakeFault(FaultPoint::Enq);
        if (f && (f->kind == FaultKind::NoAnswer || f->kind == FaultKind::Unplug)) return;
        SendWithFault(ctx_, {kAck}, f);
        if (speaker_ == Speaker::Loader) {
            uint16_t crc = core::Mcrf4xxCrc(loader_.data(), loader_.size());
            const Fault* c = ctx_.TakeFault(FaultPoint::LoaderCrc);
            if (c && c->kind == FaultKind::WrongCrc) crc ^= 0x5A5A;
            SendWithFault(ctx_, {static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc)}, c);
        }
        state_ = State::Commands;
        frame_.clear();
    }

    // Bytes of the frame that starts with command byte c, once `have` bytes are in (0: unknown
    // yet).
    size_t FrameLength(const std::vector<uint8_t>& f) const {
        switch (f[0]) {
            case 0x10:
            case 0x11:
            case 0x21:
            case 0x3F:
            case 0x58:
                return f.size() < 2 ? 0 : size_t{3} + f[1];
            case 0x50: {
                if (f.size() < 5) return 0;
                if (speaker_ == Speaker::Oem) {
                    uint32_t value = flash::OemWordFromBytes(&f[1]);
                    return (value >> 8) == 0xFFFFFF ? 6 : 134;
                }
                bool end = f[1] == 0xFF && f[2] == 0xFF && f[3] == 0xFF && f[4] == 0xFF;
                return end ? 6 : 134;
            }
            default:
                return 1;
        }
    }

    void Command(uint8_t b) {
        if (frame_.empty() && b == 0x05 && speaker_ != Speaker::Boot) return;  // late ENQs
        if (frame_.empty() && b == 0xFE && finished_ && ctx_.Config().mode == Mode::Update) {
            // The host's "done": the firmware restarts.
            Restart();
            return;
        }
        frame_.push_back(b);
        size_t length = FrameLength(frame_);
        if (length == 0 || frame_.size() < length) return;
        std::vector<uint8_t> f;
        f.swap(frame_);
        if (f[0] == 0x50) {
            Program(f);
            return;
        }
        const Fault* fault = ctx_.TakeFault(FaultPoint::Command, f[0]);
        if (fault && fault->kind != FaultKind::Late) {
            SendWithFault(ctx_, {}, fault);
            return;
        }
        int64_t delay = fault ? int64_t{fault->delayMs} * 1000 : 0;
        std::vector<uint8_t> reply = Execute(f, delay);
        ctx_.Send(reply, delay);
        if (switchRate_) {
            ctx_.SetBitRate(switchRate_);
            switchRate_ = 0;
            state_ = State::BitRateConfirm;
        }
    }

    static std::vector<uint8_t> Framed(uint8_t code, const std::vector<uint8_t>& data) {
        std::vector<uint8_t> r;
        r.reserve(data.size() + 3);
        r.push_back(code);
        r.push_back(static_cast<uint8_t>(data.size()));
        for (uint8_t b : data) r.push_back(b);
        r.push_back(SumByte(r));
        return r;
    }

    std::vector<uint8_t> Execute(const std::vector<uint8_t>& f, int64_t& delay) {
        uint8_t c = f[0];
        uint8_t error = static_cast<uint8_t>(c | 0x80);
        if (f.size() > 1 && !SumOk(f)) return {error, 0x11};
        if (state_ == State::BitRateConfirm) {
            state_ = State::Commands;
            return c == 0x06 ? std::vector<uint8_t>{kAck} : std::vector<uint8_t>{0xFF};
        }
        bool boot = speaker_ == Speaker::Boot;
        switch (c) {
            case 0x20: {
                if (!boot) break;
                uint32_t d = ctx_.Config().deviceCode;
                std::vector<uint8_t> data{1,
                                          4 + 8,
                                          static_cast<uint8_t>(d >> 24),
                                          static_cast<uint8_t>(d >> 16),
                                          static_cast<uint8_t>(d >> 8),
                                          static_cast<uint8_t>(d)};
                for (char ch : std::string("H8/3069F")) data.push_back(static_cast<uint8_t>(ch));
                return Framed(0x30, data);
            }
            case 0x10: {
                if (!boot || f[1] != 4) return {0x90, 0x21};
                uint32_t d =
                    (uint32_t{f[2]} << 24) | (uint32_t{f[3]} << 16) | (uint32_t{f[4]} << 8) | f[5];
                if (d != ctx_.Config().deviceCode) return {0x90, 0x21};
                deviceSelected_ = true;
                return {kAck};
            }
            case 0x21:
                if (!boot) break;
                return Framed(0x31, {1, 0x00});
            case 0x11:
                if (!boot) break;
                if (!deviceSelected_) return {0x91, 0x21};
                if (f[1] != 1 || f[2] != 0) return {0x91, 0x22};
                return {kAck};
            case 0x22:
                if (!boot) break;
                return Framed(0x32, {1, 1, 1});
            case 0x27:
                if (!boot) break;
                return Framed(0x37, {0x00, 0x80});
            case 0x3F:
                if (!boot) break;
                return NewBitRate(f);
            case 0x40:
                if (!boot) break;
                // The boot program erases the whole flash on entering the programming state.
                std::fill(ctx_.Flash().begin(), ctx_.Flash().end(), 0xFF);
                delay += int64_t{ctx_.Config().blockEraseMs} * 1000 * 16;
                programmingState_ = true;
                return {kAck};
            case 0x48:
                if (boot && !programmingState_) break;
                eraseSelected_ = true;
                return {kAck};
            case 0x58: {
                if (!eraseSelected_ || f[1] != 1) return {0xD8, 0x29};
                uint8_t k = f[2];
                if (k == 0xFF) {
                    eraseSelected_ = false;
                    return {kAck};
                }
                if (k >= std::size(kBlockSizes)) return {0xD8, 0x29};
                uint32_t start = 0;
                for (uint8_t i = 0; i < k; ++i) start += kBlockSizes[i];
                std::fill_n(ctx_.Flash().begin() + start, kBlockSizes[k], 0xFF);
                delay += int64_t{ctx_.Config().blockEraseMs} * 1000;
                return {kAck};
            }
            case 0x43:
                if (boot && !programmingState_) break;
                programSelected_ = true;
                return {kAck};
            default:
                break;
        }
        return {0x80};
    }

    std::vector<uint8_t> NewBitRate(const std::vector<uint8_t>& f) {
        if (f[1] != 7) return {0xBF, 0x24};
        int rate = ((f[2] << 8) | f[3]) * 100;
        int freq = (f[4] << 8) | f[5];  // 10 kHz units
        if (freq < 200 || freq > 2500) return {0xBF, 0x25};
        if (f[6] != 1 || f[7] != 1) return {0xBF, 0x26};
        if (rate <= 0) return {0xBF, 0x24};
        // The boot program sets its bit-rate register from the frequency it was told; the line
        // then runs at whatever that register gives on the real crystal.
        double told = freq * 10000.0;
        long divider = std::lround(told / (32.0 * rate));
        if (divider < 1 || divider > 256) return {0xBF, 0x24};
        double reached = told / (32.0 * divider);
        if (std::abs(reached - rate) > 0.04 * rate) return {0xBF, 0x24};
        switchRate_ = static_cast<int>(std::lround(ctx_.Config().crystalHz / (32.0 * divider)));
        return {kAck};
    }

    void Program(const std::vector<uint8_t>& f) {
        const Fault* fault = nullptr;
        bool end = f.size() == 6;
        if (!end) fault = ctx_.TakeFault(FaultPoint::Frame);
        if (fault && fault->kind != FaultKind::Late) {
            if (fault->kind == FaultKind::SumError)
                ctx_.Send({0xD0, 0x11});
            else
                SendWithFault(ctx_, {}, fault);
            return;
        }
        int64_t delay = fault ? int64_t{fault->delayMs} * 1000 : 0;
        ctx_.Send(ProgramReply(f, delay), delay);
    }

    std::vector<uint8_t> ProgramReply(const std::vector<uint8_t>& f, int64_t& delay) {
        if (!SumOk(f)) return {0xD0, 0x11};
        if (!programSelected_) return {0x80};
        if (f.size() == 6) {
            programSelected_ = false;
            finished_ = true;
            return {kAck};
        }
        uint32_t address;
        std::vector<uint8_t> data;
        if (speaker_ == Speaker::Oem) {
            address = flash::OemWordFromBytes(&f[1]) >> 8;
            data.assign(f.begin() + 5, f.begin() + 133);
            for (size_t j = 0; j < data.size(); ++j) data[j] ^= flash::kOemKey[j % 8];
        } else {
            address =
                (uint32_t{f[1]} << 24) | (uint32_t{f[2]} << 16) | (uint32_t{f[3]} << 8) | f[4];
            data.assign(f.begin() + 5, f.begin() + 133);
        }
        if (address % 128 != 0 || address >= kSimFlashSize) return {0xD0, 0x2A};
        auto page = ctx_.Flash().begin() + address;
        if (!std::all_of(page, page + 128, [](uint8_t v) { return v == 0xFF; }))
            return {0xD0, 0x53};
        std::copy(data.begin(), data.end(), page);
        delay += int64_t{ctx_.Config().programMs} * 1000;
        return {kAck};
    }

    ChipContext& ctx_;
    State state_;
    Speaker speaker_ = Speaker::Boot;
    RequestMatcher matcher_;
    size_t loaderLength_ = 0;
    std::vector<uint8_t> loader_;
    std::vector<uint8_t> frame_;
    int switchRate_ = 0;
    bool deviceSelected_ = false;
    bool programmingState_ = false;
    bool eraseSelected_ = false;
    bool programSelected_ = false;
    bool finished_ = false;
};

}  // namespace

std::unique_ptr<ModemSide> MakeH83069FlashSide(ChipContext& context) {
    return std::make_unique<H83069FlashSide>(context);
}

}  // namespace kelmor::sim
