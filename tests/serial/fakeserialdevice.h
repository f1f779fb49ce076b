#pragma once
// An in-memory serial device for what a pty cannot show: modem lines, line-error counters,
// refused settings and a slow output queue. The test keeps the shared state and drives it
// while the port owns the device.
#include <algorithm>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/serialdevice.h"

namespace kelmor::testing {

struct FakeLine {
    std::mutex mutex;
    std::deque<uint8_t> input;     // bytes the port will read
    std::vector<uint8_t> written;  // bytes the port wrote
    int outputQueue = 0;           // what OutputQueue reports after a write
    std::optional<uint32_t> modemStatus = 0u;
    std::optional<platform::LineErrorCounts> counts = platform::LineErrorCounts{};
    bool refuseConfigure = false;
    std::vector<platform::LineSettings> configured;
    bool dtr = false, rts = false;
    std::vector<bool> rtsHistory;  // every SetRts, in order
    bool hungUp = false;
    // Flow control holding the line: writes take nothing until released.
    bool holdWrites = false;
    // The next stallWrites writes take nothing and return only after stallMs (a driver that
    // keeps the caller a while), so other threads run meanwhile.
    int stallWrites = 0;
    int stallMs = 0;
    int writeCalls = 0;
    bool failQueueQuery = false;
    platform::OpenResult openResult = platform::OpenResult::Ok;

    void Feed(const std::string& bytes) {
        std::lock_guard lock(mutex);
        input.insert(input.end(), bytes.begin(), bytes.end());
    }
    template <class F>
    void With(F f) {
        std::lock_guard lock(mutex);
        f(*this);
    }
};

class FakeSerialDevice : public platform::SerialDevice {
  public:
    explicit FakeSerialDevice(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}

    platform::OpenResult Open(const std::string&) override {
        std::lock_guard lock(line_->mutex);
        open_ = line_->openResult == platform::OpenResult::Ok;
        return line_->openResult;
    }
    void Close() override { open_ = false; }
    bool IsOpen() const override { return open_; }
    bool Configure(const platform::LineSettings& s) override {
        std::lock_guard lock(line_->mutex);
        if (line_->refuseConfigure || s.dataBits < 5) return false;
        line_->configured.push_back(s);
        return true;
    }
    ssize_t Read(uint8_t* buffer, size_t max) override {
        std::lock_guard lock(line_->mutex);
        if (line_->hungUp) return -1;
        size_t n = std::min(max, line_->input.size());
        for (size_t i = 0; i < n; ++i) {
            buffer[i] = line_->input.front();
            line_->input.pop_front();
        }
        return static_cast<ssize_t>(n);
    }
    ssize_t Write(const uint8_t* buffer, size_t count) override {
        int stallMs = 0;
        {
            std::lock_guard lock(line_->mutex);
            ++line_->writeCalls;
            if (line_->hungUp) return -1;
            if (line_->stallWrites > 0) {
                --line_->stallWrites;
                stallMs = line_->stallMs;
            } else if (line_->holdWrites) {
                return 0;
            } else {
                line_->written.insert(line_->written.end(), buffer, buffer + count);
                return static_cast<ssize_t>(count);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(stallMs));
        return 0;
    }
    bool WaitReadable(int) override {
        std::lock_guard lock(line_->mutex);
        return !line_->input.empty();
    }
    bool WaitWritable(int ms) override {
        {
            std::lock_guard lock(line_->mutex);
            if (!line_->holdWrites) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 5)));
        return false;
    }
    int InputQueue() override {
        std::lock_guard lock(line_->mutex);
        if (line_->failQueueQuery) return -1;
        return static_cast<int>(line_->input.size());
    }
    int OutputQueue() override {
        std::lock_guard lock(line_->mutex);
        return line_->outputQueue;
    }
    bool PurgeInput() override {
        std::lock_guard lock(line_->mutex);
        line_->input.clear();
        return true;
    }
    bool PurgeOutput() override { return true; }
    bool SetDtr(bool on) override {
        std::lock_guard lock(line_->mutex);
        line_->dtr = on;
        return true;
    }
    bool SetRts(bool on) override {
        std::lock_guard lock(line_->mutex);
        line_->rts = on;
        line_->rtsHistory.push_back(on);
        return true;
    }
    std::optional<uint32_t> ModemStatus() override {
        std::lock_guard lock(line_->mutex);
        return line_->modemStatus;
    }
    std::optional<platform::LineErrorCounts> ErrorCounts() override {
        std::lock_guard lock(line_->mutex);
        return line_->counts;
    }
    bool HungUp() const override {
        std::lock_guard lock(line_->mutex);
        return line_->hungUp;
    }
    std::string LastError() const override { return "fake"; }

  private:
    std::shared_ptr<FakeLine> line_;
    bool open_ = false;
};

inline platform::SerialDeviceFactory FakeFactory(std::shared_ptr<FakeLine> line) {
    return [line] { return std::make_unique<FakeSerialDevice>(line); };
}

}  // namespace kelmor::testing
