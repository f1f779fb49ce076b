// The older H8: firmware with the flash-mode request, the boot program (synchronisation, 0x55,
// loader length and echoed loader) and the RAM loader (erase, ENQ/ACK at its own rate, its CRC,
// record packets with CRC-16/MCRF4XX written into the flash model).
#include <algorithm>

#include "core/crc16.h"
#include "sim/chipcommon.h"

namespace kelmor::sim {

namespace {

constexpr uint8_t kAck = 0x06, kNak = 0x15, kCan = 0x18, kEnq = 0x05;

class H8FlashSide : public ModemSide {
  public:
    explicit H8FlashSide(ChipContext& ctx) : ctx_(ctx) {
        state_ = ctx.Config().mode == Mode::Update ? State::Firmware : State::Sync;
        if (state_ == State::Sync) ctx_.SetAutoBaud(true);
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
            case State::Records:
                Record(b);
                break;
            case State::Done:
                if (b == 0xFE && ctx_.Config().mode == Mode::Update) state_ = State::Firmware;
                break;
            case State::Dead:
                break;
        }
    }

    std::string Describe() const override {
        static const char* names[] = {"firmware",      "sync",   "loader length",
                                      "loader length", "loader", "enq",
                                      "records",       "done",   "dead"};
        return names[static_cast<int>(state_)];
    }

  private:
    enum class State { Firmware, Sync, LengthHigh, LengthLow, Loader, Enq, Records, Done, Dead };

    void Firmware(uint8_t b) {
        if (matcher_.Feed(b) != "QVFLASH") return;
        const Fault* f = ctx_.TakeFault(FaultPoint::FlashMode);
        const std::string& token = ctx_.Config().flashToken;
        SendWithFault(ctx_, std::vector<uint8_t>(token.begin(), token.end()), f);
        state_ = State::Sync;
        ctx_.SetAutoBaud(true);
    }

    void Sync(uint8_t b) {
        if (b == 0x00) {
            SendWithFault(ctx_, {0x00}, ctx_.TakeFault(FaultPoint::Sync));
        } else if (b == 0x55) {
            SendWithFault(ctx_, {0xAA}, ctx_.TakeFault(FaultPoint::SyncEnd));
            ctx_.SetAutoBaud(false);
            state_ = State::LengthHigh;
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
        if (!info.known || info.h83069) {
            state_ = State::Dead;
            return;
        }
        // The loader erases the whole flash, reports, and switches to its own rate.
        const Fault* f = ctx_.TakeFault(FaultPoint::EraseStatus);
        int64_t eraseUs = int64_t{ctx_.Config().eraseMs} * 1000;
        if (f && f->kind == FaultKind::EraseFail) {
            ctx_.Send({0xFF}, eraseUs);
        } else {
            std::fill(ctx_.Flash().begin(), ctx_.Flash().end(), 0xFF);
            if (!f || (f->kind != FaultKind::NoAnswer && f->kind != FaultKind::Unplug)) {
                int64_t delay = eraseUs + (f && f->kind == FaultKind::Late ? f->delayMs * 1000 : 0);
                ctx_.Send({0x00}, delay);
            }
        }
        ctx_.SetBitRate(info.nominalRate);
        state_ = State::Enq;
    }

    void Enq(uint8_t b) {
        if (b != kEnq) return;
        const Fault* f = ctx_.TakeFault(FaultPoint::Enq);
        if (f && (f->kind == FaultKind::NoAnswer || f->kind == FaultKind::Unplug)) return;
        SendWithFault(ctx_, {kAck}, f);
        uint16_t crc = core::Mcrf4xxCrc(loader_.data(), loader_.size());
        const Fault* c = ctx_.TakeFault(FaultPoint::LoaderCrc);
        if (c && c->kind == FaultKind::WrongCrc) crc ^= 0x5A5A;
        SendWithFault(ctx_, {static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc)}, c);
        state_ = State::Records;
        packet_.clear();
    }

    void Record(uint8_t b) {
        if (packet_.empty() && b != 'S') return;  // stray ENQs and line noise before a packet
        packet_.push_back(b);
        if (packet_.size() < 3 || packet_.size() < size_t{3} + packet_[2]) return;
        std::vector<uint8_t> packet;
        packet.swap(packet_);
        Answer(packet);
    }

    void Answer(const std::vector<uint8_t>& p) {
        const Fault* f = ctx_.TakeFault(FaultPoint::Packet);
        if (f) {
            switch (f->kind) {
                case FaultKind::Nak:
                    ctx_.Send({kNak});
                    return;
                case FaultKind::Can:
                    ctx_.Send({kCan});
                    return;
                case FaultKind::Late:
                    break;
                default:
                    SendWithFault(ctx_, {kAck}, f);
                    return;
            }
        }
        int64_t delay = f ? int64_t{f->delayMs} * 1000 : 0;
        size_t n = p.size();
        uint16_t crc = core::Mcrf4xxCrc(p.data(), n - 2);
        if (n < 5 || p[n - 2] != (crc >> 8) || p[n - 1] != (crc & 0xFF)) {
            ctx_.Send({kNak}, delay);
            return;
        }
        uint8_t type = p[1];
        if (type < '0' || type > '9') {
            ctx_.Send({kCan}, delay);
            return;
        }
        size_t addressBytes = type == '1' ? 2 : type == '2' ? 3 : type == '3' ? 4 : 0;
        size_t body = n - 5;  // address and data
        if (addressBytes) {
            if (body < addressBytes) {
                ctx_.Send({kCan}, delay);
                return;
            }
            uint32_t address = 0;
            for (size_t i = 0; i < addressBytes; ++i) address = (address << 8) | p[3 + i];
            size_t count = body - addressBytes;
            if (address > kSimFlashSize || count > kSimFlashSize - address) {
                ctx_.Send({kCan}, delay);
                return;
            }
            auto& flash = ctx_.Flash();
            for (size_t i = 0; i < count; ++i) flash[address + i] &= p[3 + addressBytes + i];
            delay += int64_t{ctx_.Config().programMs} * 1000;
        }
        ctx_.Send({kAck}, delay);
        if (type == '9') state_ = State::Done;
    }

    ChipContext& ctx_;
    State state_;
    RequestMatcher matcher_;
    size_t loaderLength_ = 0;
    std::vector<uint8_t> loader_;
    std::vector<uint8_t> packet_;
};

}  // namespace

std::unique_ptr<ModemSide> MakeH8FlashSide(ChipContext& context) {
    return std::make_unique<H8FlashSide>(context);
}

}  // namespace kelmor::sim
