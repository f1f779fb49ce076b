// The termios device over a pty: what a pty can show of it.
#include "platform/serialdevice.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include "ptypair.h"

namespace kelmor::platform {
namespace {

using kelmor::testing::PtyPair;

TEST(PosixSerialDeviceTest, OpenResults) {
    auto device = MakePosixSerialDevice();
    EXPECT_EQ(device->Open("/nonexistent/tty"), OpenResult::NotFound);
    EXPECT_FALSE(device->IsOpen());
    EXPECT_FALSE(device->LastError().empty());
    EXPECT_EQ(device->Open("/dev/null"), OpenResult::Failed);  // not a terminal

    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ASSERT_EQ(device->Open(pty.SlavePath()), OpenResult::Ok);
    auto second = MakePosixSerialDevice();
    EXPECT_EQ(second->Open(pty.SlavePath()), OpenResult::Busy);
    device->Close();
    EXPECT_EQ(second->Open(pty.SlavePath()), OpenResult::Ok);
}

TEST(PosixSerialDeviceTest, SettingsThatAPortCanAndCannotTake) {
    PtyPair pty;
    auto device = MakePosixSerialDevice();
    ASSERT_EQ(device->Open(pty.SlavePath()), OpenResult::Ok);
    struct Case {
        const char* what;
        LineSettings settings;
        bool ok;
    };
    auto with = [](auto change) {
        LineSettings s;
        change(s);
        return s;
    };
    const Case cases[] = {
        {"9600 8N1", LineSettings{}, true},
        {"128000 via BOTHER", with([](auto& s) { s.baudRate = 128000; }), true},
        {"256000 via BOTHER", with([](auto& s) { s.baudRate = 256000; }), true},
        {"300 7E2", with([](auto& s) {
             s.baudRate = 300, s.dataBits = 7, s.parity = Parity::Even, s.stopBits = 2;
         }),
         true},
        {"mark parity", with([](auto& s) { s.parity = Parity::Mark; }), true},
        {"space parity, 5 bits", with([](auto& s) { s.parity = Parity::Space, s.dataBits = 5; }),
         true},
        {"XON/XOFF and RTS/CTS", with([](auto& s) { s.xonXoff = true, s.rtsCts = true; }), true},
        {"4 data bits", with([](auto& s) { s.dataBits = 4; }), false},
        {"9 data bits", with([](auto& s) { s.dataBits = 9; }), false},
    };
    for (const Case& c : cases) EXPECT_EQ(device->Configure(c.settings), c.ok) << c.what;

    // A refused setting leaves the last good one in force.
    ASSERT_TRUE(device->Configure(with([](auto& s) { s.stopBits = 2; })));
    ASSERT_FALSE(device->Configure(with([](auto& s) { s.dataBits = 4; })));
    termios t{};
    int fd = ::open(pty.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    ::close(fd);
    // (A pty reports every character size as 8 bits without parity.)
    EXPECT_TRUE(t.c_cflag & CSTOPB) << "the last good setting stays";
    EXPECT_FALSE(t.c_iflag & INPCK) << "bad bytes are passed on, not replaced";
}

TEST(PosixSerialDeviceTest, BytesLinesAndHangUp) {
    PtyPair pty;
    auto device = MakePosixSerialDevice();
    ASSERT_EQ(device->Open(pty.SlavePath()), OpenResult::Ok);
    ASSERT_TRUE(device->Configure(LineSettings{}));
    uint8_t buffer[64];
    EXPECT_EQ(device->Read(buffer, sizeof buffer), 0);  // nothing queued is not an error
    EXPECT_FALSE(device->HungUp());

    ASSERT_TRUE(pty.Write(std::string("ping\x00\xff", 6)));
    ASSERT_TRUE(device->WaitReadable(1000));
    EXPECT_EQ(device->InputQueue(), 6);
    EXPECT_EQ(device->Read(buffer, sizeof buffer), 6);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 6), std::string("ping\x00\xff", 6));
    EXPECT_EQ(device->Write(reinterpret_cast<const uint8_t*>("pong\r\n"), 6), 6);
    EXPECT_EQ(pty.Read(6),
              (std::vector<uint8_t>{'p', 'o', 'n', 'g', '\r', '\n'}));  // raw: no CR/LF games
    EXPECT_EQ(device->OutputQueue(), 0);

    // A pty has no modem lines: "no such thing", and the device stays usable.
    EXPECT_FALSE(device->ModemStatus().has_value());
    device->SetDtr(true);
    device->SetRts(false);
    EXPECT_TRUE(device->PurgeInput());
    EXPECT_TRUE(device->PurgeOutput());

    pty.CloseMaster();
    device->WaitReadable(100);
    EXPECT_EQ(device->Read(buffer, sizeof buffer), -1);
    EXPECT_TRUE(device->HungUp());
}

}  // namespace
}  // namespace kelmor::platform
