// The termios backend of SerialDevice.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/serialdevice.h"
#include "platform/serialdevice_termios2.h"

namespace kelmor::platform {

namespace {

speed_t StandardSpeed(int rate) {
    switch (rate) {
        case 300:
            return B300;
        case 600:
            return B600;
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        default:
            return B0;
    }
}

// The flags a driver must keep for the settings to mean what was asked: a driver that drops
// CMSPAR or CRTSCTS would otherwise put wrong bytes on the line without a word.
constexpr tcflag_t kCheckedCflags = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS;
constexpr tcflag_t kCharacterCflags = CSIZE | PARENB | PARODD | CMSPAR;

// Unix98 pty slaves (/dev/pts/N) have majors 136 to 143.
bool IsPtySlave(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const unsigned m = major(st.st_rdev);
    return m >= 136 && m <= 143;
}

class PosixSerialDevice final : public SerialDevice {
  public:
    ~PosixSerialDevice() override { Close(); }

    OpenResult Open(const std::string& path) override {
        Close();
        hungUp_ = false;
        int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            lastErrno_ = errno;
            return OpenErrorResult(errno);
        }
        if (!isatty(fd)) {
            ::close(fd);
            lastErrno_ = ENOTTY;
            return OpenResult::Failed;
        }
        // TIOCEXCL keeps other programs out (root passes it); the advisory lock also keeps out
        // a second open from this program and from other instances running as root.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            lastErrno_ = errno;
            ::close(fd);
            return OpenResult::Busy;
        }
        ::ioctl(fd, TIOCEXCL);
        termios t{};
        if (tcgetattr(fd, &t) != 0) {
            const int e = errno;
            lastErrno_ = e;
            ::ioctl(fd, TIOCNXCL);
            ::close(fd);
            return e == EIO ? OpenResult::NotFound : OpenResult::Failed;
        }
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        tcsetattr(fd, TCSANOW, &t);
        // USB adapters otherwise hold received bytes for their latency timer (16 ms).
        serial_struct ss{};
        if (::ioctl(fd, TIOCGSERIAL, &ss) == 0 && !(ss.flags & ASYNC_LOW_LATENCY)) {
            ss.flags |= ASYNC_LOW_LATENCY;
            ::ioctl(fd, TIOCSSERIAL, &ss);
        }
        fd_ = fd;
        pty_ = IsPtySlave(fd);
        return OpenResult::Ok;
    }

    void Close() override {
        if (fd_ < 0) return;
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
    }

    bool IsOpen() const override { return fd_ >= 0; }

    bool Configure(const LineSettings& s) override {
        if (fd_ < 0) return Refuse(EBADF);
        if (s.dataBits < 5 || s.dataBits > 8 || s.baudRate <= 0) return Refuse(EINVAL);
        termios old{};
        if (tcgetattr(fd_, &old) != 0) return Refuse(errno);
        termios t = old;
        t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                            ICRNL | IXON | IXOFF | IXANY | INPCK | IGNPAR);
        t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        t.c_cflag &= ~kCheckedCflags;
        t.c_cflag |= CLOCAL | CREAD;
        static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
        t.c_cflag |= kSizes[s.dataBits - 5];
        // Parity is generated and counted (TIOCGICOUNT) but a bad byte is passed on as
        // received rather than replaced, so no data are lost to the check.
        switch (s.parity) {
            case Parity::None:
                break;
            case Parity::Odd:
                t.c_cflag |= PARENB | PARODD;
                break;
            case Parity::Even:
                t.c_cflag |= PARENB;
                break;
            case Parity::Mark:
                t.c_cflag |= PARENB | CMSPAR | PARODD;
                break;
            case Parity::Space:
                t.c_cflag |= PARENB | CMSPAR;
                break;
        }
        // A pty carries bytes, not characters: it has no use for a character size or parity,
        // and some kernels refuse PARENB on a re-opened pty. Give it 8 bits, no parity.
        if (pty_) t.c_cflag = (t.c_cflag & ~kCharacterCflags) | CS8;
        if (s.stopBits >= 2) t.c_cflag |= CSTOPB;
        if (s.rtsCts) t.c_cflag |= CRTSCTS;
        if (s.xonXoff) t.c_iflag |= IXON | IXOFF;
        t.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
        t.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        const speed_t standard = StandardSpeed(s.baudRate);
        if (standard != B0) {
            cfsetispeed(&t, standard);
            cfsetospeed(&t, standard);
        }
        // Input at the output speed: a CIBAUD left from an earlier BOTHER rate would split them.
        t.c_cflag &= ~static_cast<tcflag_t>(CIBAUD);
        if (tcsetattr(fd_, TCSANOW, &t) != 0) return Restore(old, errno);
        if (standard == B0 && !detail::SetArbitrarySpeed(fd_, s.baudRate))
            return Restore(old, EINVAL);
        termios back{};
        if (tcgetattr(fd_, &back) != 0) return Restore(old, errno);
        // A pty always reports 8 bits without parity (it carries bytes, not characters).
        const tcflag_t checked = pty_ ? kCheckedCflags & ~kCharacterCflags : kCheckedCflags;
        if ((back.c_cflag & checked) != (t.c_cflag & checked) ||
            (standard != B0 && cfgetospeed(&back) != standard))
            return Restore(old, EINVAL);
        return true;
    }

    ssize_t Read(uint8_t* buffer, size_t max) override {
        if (fd_ < 0) return Fail(EBADF);
        if (max == 0) return 0;
        for (;;) {
            ssize_t n = ::read(fd_, buffer, max);
            if (n > 0) return n;
            if (n == 0) {
                // Raw mode with VMIN 0 also reads 0 when nothing is queued: only a hang-up
                // also shows in poll().
                if (PeerGone()) return -1;
                return 0;
            }
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
            if (errno == EIO || errno == ENXIO || errno == ENODEV) hungUp_ = true;
            return Fail(errno);
        }
    }

    ssize_t Write(const uint8_t* buffer, size_t count) override {
        if (fd_ < 0) return Fail(EBADF);
        if (count == 0) return 0;
        for (;;) {
            ssize_t n = ::write(fd_, buffer, count);
            if (n >= 0) return n;
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
            if (errno == EIO || errno == ENXIO || errno == ENODEV) hungUp_ = true;
            return Fail(errno);
        }
    }

    bool WaitReadable(int timeoutMs) override { return Wait(POLLIN, timeoutMs); }
    bool WaitWritable(int timeoutMs) override { return Wait(POLLOUT, timeoutMs); }

    int InputQueue() override {
        if (fd_ < 0) return Fail(EBADF);
        int n = 0;
        if (::ioctl(fd_, FIONREAD, &n) != 0) {
            if (errno == EIO || errno == ENXIO || errno == ENODEV) hungUp_ = true;
            return Fail(errno);
        }
        return n;
    }

    int OutputQueue() override {
        if (fd_ < 0) return Fail(EBADF);
        int n = 0;
        if (::ioctl(fd_, TIOCOUTQ, &n) != 0) return Fail(errno);
        if (n == 0) {
            // The driver's count leaves out the UART's own FIFO; the transmitter is empty
            // only when the line status says so (where the driver can tell).
            unsigned int lsr = 0;
            if (::ioctl(fd_, TIOCSERGETLSR, &lsr) == 0 && !(lsr & TIOCSER_TEMT)) return 1;
        }
        return n;
    }

    bool PurgeInput() override { return Flush(TCIFLUSH); }
    bool PurgeOutput() override { return Flush(TCOFLUSH); }

    bool SetDtr(bool on) override { return SetLine(TIOCM_DTR, on); }
    bool SetRts(bool on) override { return SetLine(TIOCM_RTS, on); }

    std::optional<uint32_t> ModemStatus() override {
        int bits = 0;
        if (fd_ < 0 || ::ioctl(fd_, TIOCMGET, &bits) != 0) return std::nullopt;
        uint32_t out = 0;
        if (bits & TIOCM_CTS) out |= kLineCts;
        if (bits & TIOCM_DSR) out |= kLineDsr;
        if (bits & TIOCM_RNG) out |= kLineRi;
        if (bits & TIOCM_CAR) out |= kLineCd;
        return out;
    }

    std::optional<LineErrorCounts> ErrorCounts() override {
        serial_icounter_struct ic{};
        if (fd_ < 0 || ::ioctl(fd_, TIOCGICOUNT, &ic) != 0) return std::nullopt;
        LineErrorCounts c;
        c.parity = static_cast<uint32_t>(ic.parity);
        c.overrun = static_cast<uint32_t>(ic.overrun) + static_cast<uint32_t>(ic.buf_overrun);
        c.framing = static_cast<uint32_t>(ic.frame);
        c.brk = static_cast<uint32_t>(ic.brk);
        return c;
    }

    bool HungUp() const override { return hungUp_; }

    std::string LastError() const override {
        int e = lastErrno_;
        return e == 0 ? std::string() : std::string(std::strerror(e));
    }

  private:
    static OpenResult OpenErrorResult(int e) {
        switch (e) {
            case ENOENT:
            case ENODEV:
            case ENXIO:
            case EIO:  // a ttyS name without a UART behind it
                return OpenResult::NotFound;
            case EBUSY:
            case EWOULDBLOCK:
                return OpenResult::Busy;
            default:
                return OpenResult::Failed;
        }
    }

    bool Wait(short what, int timeoutMs) {
        if (fd_ < 0) return Refuse(EBADF);
        pollfd p{fd_, what, 0};
        for (;;) {
            int r = ::poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) return Refuse(errno);
            if (r == 0) return false;
            if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
                hungUp_ = true;
                // Bytes that arrived before the hang-up can still be read.
                return (what & POLLIN) && (p.revents & POLLIN);
            }
            return (p.revents & what) != 0;
        }
    }

    bool PeerGone() {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            hungUp_ = true;
            lastErrno_ = EIO;
            return true;
        }
        return false;
    }

    bool Flush(int queue) {
        if (fd_ < 0) return Refuse(EBADF);
        if (tcflush(fd_, queue) != 0) return Refuse(errno);
        return true;
    }

    bool SetLine(int bit, bool on) {
        if (fd_ < 0) return Refuse(EBADF);
        if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) != 0) return Refuse(errno);
        return true;
    }

    bool Refuse(int e) {
        lastErrno_ = e;
        return false;
    }

    bool Restore(const termios& old, int e) {
        tcsetattr(fd_, TCSANOW, &old);
        return Refuse(e);
    }

    int Fail(int e) {
        lastErrno_ = e;
        return -1;
    }

    int fd_ = -1;
    bool pty_ = false;
    std::atomic<bool> hungUp_{false};
    std::atomic<int> lastErrno_{0};
};

}  // namespace

std::unique_ptr<SerialDevice> MakePosixSerialDevice() {
    return std::make_unique<PosixSerialDevice>();
}

SerialDeviceFactory& DefaultSerialDeviceFactory() {
    static SerialDeviceFactory factory = [] { return MakePosixSerialDevice(); };
    return factory;
}

}  // namespace kelmor::platform
