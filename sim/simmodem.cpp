#include "sim/simmodem.h"

#include <cmath>
#include <cstdlib>

namespace kelmor::sim {

bool RatesMatch(int a, int b) {
    if (a <= 0 || b <= 0) return false;
    return std::abs(a - b) * 100 < 4 * b;  // within 4 %, what a UART still samples right
}

SimulatedModem::SimulatedModem(ModemConfig config)
    : config_(std::move(config)), faultSeen_(config_.faults.size(), 0), flash_(kSimFlashSize) {
    if (config_.flashToken.empty())
        config_.flashToken = config_.chip == Chip::H8 ? "FLASH OK" : "H3069 OK";
    // Old firmware: anything but erased flash, so a missed erase or page shows in a comparison.
    for (size_t i = 0; i < flash_.size(); ++i) flash_[i] = static_cast<uint8_t>((i * 7 + 3) & 0x7F);
    flashSide_ = config_.chip == Chip::H8 ? MakeH8FlashSide(*this) : MakeH83069FlashSide(*this);
}

SimulatedModem::~SimulatedModem() = default;

int64_t SimulatedModem::ByteTimeUs(int rate) const {
    if (!config_.pacing || rate <= 0) return 0;
    return (10'000'000 + rate - 1) / rate;
}

void SimulatedModem::Deliver(uint8_t byte, int hostRate, int64_t atUs) {
    if (atUs > now_) now_ = atUs;
    if (unplugged_) return;
    if (autoBaud_) {
        rate_ = hostRate;
    } else if (!RatesMatch(hostRate, rate_)) {
        // A wrong rate samples other bits (not simply the inverse, so that a byte garbled on the
        // way in and echoed back garbled again never comes out right).
        byte = static_cast<uint8_t>(byte ^ 0x5A);
    }
    flashSide_->Receive(byte);
}

void SimulatedModem::Send(const std::vector<uint8_t>& bytes, int64_t delayUs) {
    if (unplugged_) return;
    int64_t t = std::max(now_ + delayUs, txFreeUs_);
    int64_t step = ByteTimeUs(rate_);
    for (uint8_t b : bytes) {
        t += step;
        out_.push_back(OutByte{t, b, rate_});
    }
    txFreeUs_ = t;
}

std::vector<uint8_t> SimulatedModem::TakeArrived(int64_t atUs, int hostRate) {
    std::vector<uint8_t> bytes;
    while (!out_.empty() && out_.front().atUs <= atUs) {
        const OutByte& b = out_.front();
        bytes.push_back(RatesMatch(hostRate, b.bitRate) ? b.value : static_cast<uint8_t>(~b.value));
        out_.pop_front();
    }
    return bytes;
}

std::optional<int64_t> SimulatedModem::NextArrivalUs() const {
    if (out_.empty()) return std::nullopt;
    return out_.front().atUs;
}

const Fault* SimulatedModem::TakeFault(FaultPoint point, int command) {
    const Fault* hit = nullptr;
    for (size_t i = 0; i < config_.faults.size(); ++i) {
        const Fault& f = config_.faults[i];
        if (f.point != point) continue;
        if (point == FaultPoint::Command && f.command >= 0 && f.command != command) continue;
        int seen = ++faultSeen_[i];
        bool active = seen > f.after && (f.count < 0 || seen <= f.after + f.count);
        if (active && !hit) hit = &f;
    }
    if (hit && hit->kind == FaultKind::Unplug) Unplug();
    return hit;
}

void SimulatedModem::Unplug() {
    unplugged_ = true;
    out_.clear();
}

std::string SimulatedModem::Describe() const { return flashSide_->Describe(); }

}  // namespace kelmor::sim
