#include "sim/simdevice.h"

#include <algorithm>

namespace kelmor::sim {

SimLine::SimLine(ModemConfig config, platform::Clock& clock)
    : modem_(std::move(config)), clock_(clock) {}

std::vector<uint8_t> SimLine::HostBytes() const {
    std::lock_guard lock(mutex_);
    return hostBytes_;
}

std::vector<int> SimLine::HostRates() const {
    std::lock_guard lock(mutex_);
    return hostRates_;
}

void SimLine::SetHostRate(int rate) {
    std::lock_guard lock(mutex_);
    hostRate_ = rate;
    hostRates_.push_back(rate);
}

void SimLine::HostWrite(const uint8_t* bytes, size_t count) {
    std::lock_guard lock(mutex_);
    int64_t now = NowUs();
    PumpLocked(now);
    int64_t t = std::max(now, hostTxFreeUs_);
    int64_t step = modem_.ByteTimeUs(hostRate_);
    for (size_t i = 0; i < count; ++i) {
        t += step;
        pendingIn_.push_back(InByte{t, bytes[i], hostRate_});
        hostBytes_.push_back(bytes[i]);
    }
    hostTxFreeUs_ = t;
    PumpLocked(now);
}

void SimLine::PumpLocked(int64_t nowUs) {
    // The modem reacts to each byte at the moment it has arrived; its answers queue up with
    // their own arrival times.
    while (pendingHead_ < pendingIn_.size() && pendingIn_[pendingHead_].atUs <= nowUs) {
        const InByte& b = pendingIn_[pendingHead_++];
        modem_.Deliver(b.value, b.rate, b.atUs);
    }
    if (pendingHead_ == pendingIn_.size()) {
        pendingIn_.clear();
        pendingHead_ = 0;
    }
    auto bytes = modem_.TakeArrived(nowUs, hostRate_);
    arrived_.insert(arrived_.end(), bytes.begin(), bytes.end());
}

std::optional<int64_t> SimLine::NextEventLocked() const {
    std::optional<int64_t> next = modem_.NextArrivalUs();
    if (pendingHead_ < pendingIn_.size()) {
        int64_t in = pendingIn_[pendingHead_].atUs;
        if (!next || in < *next) next = in;
    }
    return next;
}

size_t SimLine::HostRead(uint8_t* buffer, size_t max) {
    std::lock_guard lock(mutex_);
    PumpLocked(NowUs());
    size_t n = std::min(max, arrived_.size());
    std::copy_n(arrived_.begin(), n, buffer);
    arrived_.erase(arrived_.begin(), arrived_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
}

size_t SimLine::HostQueued() {
    std::lock_guard lock(mutex_);
    PumpLocked(NowUs());
    return arrived_.size();
}

void SimLine::HostPurgeInput() {
    std::lock_guard lock(mutex_);
    PumpLocked(NowUs());
    arrived_.clear();
}

bool SimLine::HostWaitReadable(int timeoutMs) {
    std::unique_lock lock(mutex_);
    int64_t start = clock_.Now();
    int64_t deadline = start + std::max(timeoutMs, 0);
    for (;;) {
        int64_t now = clock_.Now();
        PumpLocked(now * 1000);
        if (!arrived_.empty()) return true;
        if (now >= deadline) return false;
        // Sleep until the next thing happens on the line (whole milliseconds, as clocks tick),
        // or the time-out.
        int64_t until = deadline;
        if (auto next = NextEventLocked()) until = std::min(until, (*next + 999) / 1000);
        int64_t step = std::max<int64_t>(until - now, 1);
        lock.unlock();
        clock_.Sleep(step);
        lock.lock();
    }
}

platform::OpenResult SimSerialDevice::Open(const std::string&) {
    if (failOpen_ != platform::OpenResult::Ok) return failOpen_;
    open_ = true;
    return platform::OpenResult::Ok;
}

bool SimSerialDevice::Configure(const platform::LineSettings& settings) {
    if (settings.dataBits < 5 || settings.dataBits > 8) return false;
    line_->SetHostRate(settings.baudRate);
    return true;
}

ssize_t SimSerialDevice::Read(uint8_t* buffer, size_t max) {
    if (!open_) return -1;
    return static_cast<ssize_t>(line_->HostRead(buffer, max));
}

ssize_t SimSerialDevice::Write(const uint8_t* buffer, size_t count) {
    if (!open_) return -1;
    line_->HostWrite(buffer, count);
    return static_cast<ssize_t>(count);
}

bool SimSerialDevice::WaitReadable(int timeoutMs) {
    if (!open_) return false;
    return line_->HostWaitReadable(timeoutMs);
}

int SimSerialDevice::InputQueue() { return static_cast<int>(line_->HostQueued()); }

bool SimSerialDevice::PurgeInput() {
    line_->HostPurgeInput();
    return true;
}

std::optional<uint32_t> SimSerialDevice::ModemStatus() {
    uint32_t lines = platform::kLineCts;
    if (line_->Modem().Dsr()) lines |= platform::kLineDsr;
    return lines;
}

}  // namespace kelmor::sim
