#include "sim/programmingrunner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <deque>

#include "sim/ptyline.h"

namespace kelmor::sim {

ProgrammingPtyRunner::ProgrammingPtyRunner(ModemConfig flashConfig,
                                           std::unique_ptr<ProgrammingModem> programming,
                                           int programmingRate)
    : modem_(std::move(flashConfig)),
      programming_(std::move(programming)),
      programmingRate_(programmingRate) {
    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
    termios t{};
    if (tcgetattr(slave, &t) == 0) {
        cfmakeraw(&t);
        cfsetspeed(&t, B9600);
        tcsetattr(slave, TCSANOW, &t);
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    master_ = master;
    slaveKeep_ = slave;
    slavePath_ = name;
}

ProgrammingPtyRunner::~ProgrammingPtyRunner() {
    if (master_ >= 0) ::close(master_);
    if (slaveKeep_ >= 0) ::close(slaveKeep_);
}

int ProgrammingPtyRunner::HostRate() {
    termios t{};
    if (tcgetattr(slaveKeep_, &t) == 0) {
        int rate = RateOf(cfgetospeed(&t));
        if (rate > 0) lastRate_ = rate;
    }
    return lastRate_;
}

bool ProgrammingPtyRunner::ForProgramming(uint8_t byte) const {
    if (!programming_->Idle()) return true;
    return byte == modemcfg::kStartByte && modem_.Describe() == "firmware";
}

void ProgrammingPtyRunner::Run(const std::atomic<bool>& stop) {
    struct InByte {
        int64_t atUs;
        uint8_t value;
        int rate;
    };
    std::deque<InByte> pending;
    std::vector<uint8_t> outBuffer;
    int64_t hostTxFree = 0;
    uint8_t buffer[4096];
    while (!stop.load()) {
        int64_t now = NowUs();
        while (!pending.empty() && pending.front().atUs <= now) {
            const InByte in = pending.front();
            pending.pop_front();
            const bool rateOk = RatesMatch(in.rate, programmingRate_);
            const uint8_t seen = rateOk ? in.value : static_cast<uint8_t>(in.value ^ 0x5A);
            if (ForProgramming(seen)) {
                Bytes reply = programming_->Receive(seen);
                for (uint8_t& b : reply) b = rateOk ? b : static_cast<uint8_t>(b ^ 0x5A);
                outBuffer.insert(outBuffer.end(), reply.begin(), reply.end());
            } else {
                modem_.Deliver(in.value, in.rate, in.atUs);
            }
        }
        auto due = modem_.TakeArrived(now, HostRate());
        outBuffer.insert(outBuffer.end(), due.begin(), due.end());
        while (!outBuffer.empty()) {
            ssize_t n = ::write(master_, outBuffer.data(), outBuffer.size());
            if (n <= 0) break;
            outBuffer.erase(outBuffer.begin(), outBuffer.begin() + n);
        }
        int64_t next = now + 50'000;
        if (!pending.empty()) next = std::min(next, pending.front().atUs);
        if (auto a = modem_.NextArrivalUs()) next = std::min(next, *a);
        int64_t waitUs = std::max<int64_t>(next - now, 0);
        pollfd p{master_, POLLIN, 0};
        if (!outBuffer.empty()) {
            p.events |= POLLOUT;
            waitUs = std::min<int64_t>(waitUs, 5'000);
        }
        timespec ts{static_cast<time_t>(waitUs / 1'000'000),
                    static_cast<long>(waitUs % 1'000'000) * 1000};
        int r = ::ppoll(&p, 1, &ts, nullptr);
        if (r < 0 && errno != EINTR) break;
        if (r > 0 && (p.revents & POLLIN)) {
            ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0) {
                int64_t t = NowUs();
                int rate = HostRate();
                int64_t step = modem_.ByteTimeUs(rate);
                int64_t at = std::max(t, hostTxFree);
                for (ssize_t i = 0; i < n; ++i) {
                    at += step;
                    pending.push_back(InByte{at, buffer[i], rate});
                }
                hostTxFree = at;
            }
        }
    }
}

}  // namespace kelmor::sim
