// Stored terminal settings, the caption, the RTS delays and the port proposal.
#include "terminal/portsettings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/inifile.h"
#include "platform/programdir.h"

using namespace kelmor;
using namespace kelmor::terminal;

TEST(TerminalPortSettingsFile, MissingFileGivesDefaults) {
    platform::IniFile ini(platform::SettingsPath());
    EXPECT_EQ(ReadTerminalPortSettings(ini), TerminalPortSettings{});
}

TEST(TerminalPortSettingsFile, WritesFourteenKeysInOrderAndReadsThemBack) {
    platform::IniFile ini(platform::SettingsPath());
    TerminalPortSettings s;
    s.serialPort = 3;
    s.baudrate = 9;
    s.handshake = 3;
    s.mirror = true;
    s.packetInterval = 5;
    s.crInterval = true;
    s.viewType = 2;
    s.scrollBack = 10;
    ASSERT_TRUE(WriteTerminalPortSettings(ini, s));
    EXPECT_EQ(
        ini.ReadSection("Terminal port"),
        (std::vector<std::string>{"Serial port", "Baudrate", "Databits", "Parity", "Stopbits",
                                  "Handshake", "Local Echo", "Mirror", "CR LF", "Time stamp",
                                  "CR interval", "Packet Interval", "View Type", "ScrollBack"}));
    EXPECT_EQ(ReadTerminalPortSettings(ini), s);
}

TEST(TerminalPortSettingsFile, GarbageAndOutOfRangeValues) {
    platform::IniFile ini(platform::SettingsPath());
    ASSERT_TRUE(ini.WriteStrings("Terminal port", {{"Serial port", "COM3"},
                                                   {"Baudrate", "99"},
                                                   {"Local Echo", "2"},
                                                   {"CR LF", "x"},
                                                   {"Mirror", "1"},
                                                   {"ScrollBack", "4000"},
                                                   {"Packet Interval", "-5"}}));
    TerminalPortSettings s = ReadTerminalPortSettings(ini);
    EXPECT_EQ(s.serialPort, 0);  // not a number: 0
    EXPECT_EQ(s.baudrate, 5);    // no such item: the default
    EXPECT_FALSE(s.localEcho);   // only 1 sets a check box
    EXPECT_FALSE(s.crLf);
    EXPECT_TRUE(s.mirror);
    EXPECT_EQ(s.scrollBack, 64);
    EXPECT_EQ(s.packetInterval, 0);
}

TEST(TerminalPortSettingsFile, ReadOnlyFileIsDetected) {
    std::string path = platform::SettingsPath();
    ASSERT_TRUE(platform::WriteFileAtomic(path, "[Terminal port]\n"));
    EXPECT_FALSE(FileReadOnly(path));
    chmod(path.c_str(), 0444);
    EXPECT_TRUE(FileReadOnly(path));
    EXPECT_FALSE(FileReadOnly(path + ".missing"));
}

TEST(TerminalCaption, TextsAndHandshakeIndex) {
    serial::TCommPort port;
    port.SetPortin_nro(serial::COM1);
    port.SetBaudrate(serial::br__9600);
    port.Setpariteetti(serial::_pbNone);
    port.SetDatabits(serial::db_8_Eight);
    port.SetStopbits(serial::sbOne);
    port.SetKattely(serial::fcNone);
    port.SetRTSmode(serial::rtsDISABLE);
    EXPECT_EQ(TerminalCaption(port, {true, true, false, false}),
              "COM1: 9600 None  8 1 | None | Echo | CR -> CR/LF");
    port.SetPortin_nro(serial::COM12);
    port.SetBaudrate(serial::br115200);
    port.Setpariteetti(serial::pbSpace);
    port.SetDatabits(serial::db_7_Seven);
    port.SetStopbits(serial::sbTwo);
    EXPECT_EQ(TerminalCaption(port, {false, false, true, true}),
              "COM12: 115200 Space  7 2 | Q5X/Q6X | Mirror");
    EXPECT_EQ(ProgrammingModeCaption(serial::COM3), "COM3: Programming mode");

    EXPECT_EQ(HandshakeIndex(true, serial::rtsHANDSHAKE, serial::fcXONXOFF), 3);
    EXPECT_EQ(HandshakeIndex(false, serial::rtsHANDSHAKE, serial::fcXONXOFF), 1);
    EXPECT_EQ(HandshakeIndex(false, serial::rtsDISABLE, serial::fcXONXOFF), 2);
    EXPECT_EQ(HandshakeIndex(false, serial::rtsDISABLE, serial::fcNone), 0);
}

TEST(TerminalRts, DropDelayByBitRate) {
    const int expected[] = {220, 100, 60, 25, 12, 6, 3, 3, 1, 1, 0, 0};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(RtsDropDelay(static_cast<serial::TBaudRate>(i)), expected[i]) << i;
}

TEST(PortsInUse, ProposesLowestFreePortOrTheStoredOne) {
    PortsInUse ports;
    EXPECT_EQ(ports.Propose(7, 0), 7);
    ports.Mark(0);
    ports.Mark(1);
    EXPECT_EQ(ports.Propose(0, 0), 2);
    ports.Release(0);
    EXPECT_EQ(ports.Propose(5, 0), 0);
    // A second holder of COM 2 that goes away does not free it for the first.
    ports.Mark(1);
    ports.Release(1);
    EXPECT_TRUE(ports.Contains(1));
    for (int i = 0; i < 16; ++i) ports.Mark(i);
    EXPECT_EQ(ports.Propose(3, 9), 9);
    EXPECT_EQ(ports.Bits(), 0xFFFF);
}
