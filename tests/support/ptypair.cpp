#include "ptypair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace kelmor::testing {

PtyPair::PtyPair() {
    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
    termios t{};
    if (tcgetattr(slave, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
    }
    if (tcgetattr(master, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(master, TCSANOW, &t);
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    master_ = master;
    slaveKeep_ = slave;
    slavePath_ = name;
}

PtyPair::~PtyPair() {
    if (master_ >= 0) ::close(master_);
    if (slaveKeep_ >= 0) ::close(slaveKeep_);
}

bool PtyPair::Write(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                pollfd p{master_, POLLOUT, 0};
                ::poll(&p, 1, 100);
                continue;
            }
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool PtyPair::Write(const std::string& bytes) {
    return Write(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

std::vector<uint8_t> PtyPair::Read(size_t count, int timeoutMs) {
    std::vector<uint8_t> out;
    uint8_t buf[4096];
    while (out.size() < count) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) break;
        ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - out.size()));
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            break;
        }
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

std::vector<uint8_t> PtyPair::ReadAll(int quietMs) { return Read(SIZE_MAX, quietMs); }

void PtyPair::CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

}  // namespace kelmor::testing
