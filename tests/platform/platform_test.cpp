#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/ansi.h"
#include "platform/clock.h"
#include "platform/inifile.h"
#include "platform/programdir.h"

namespace kp = kelmor::platform;

TEST(ProgramDir, ComesFromKelmorHomeAndHoldsTheSettingsFile) {
    const char* home = std::getenv("KELMOR_HOME");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(kp::ProgramDir(), home);
    EXPECT_EQ(kp::SettingsPath(), std::string(home) + "/kelmor.ini");
}

TEST(ComDevicePath, EnvironmentThenSettingsThenTtyS) {
    EXPECT_EQ(kp::ComDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(kp::ComDevicePath(16), "/dev/ttyS15");
    ASSERT_TRUE(kp::IniFile(kp::SettingsPath()).WriteString("Serial devices", "COM10", "/dev/ttyUSB3"));
    EXPECT_EQ(kp::ComDevicePath(10), "/dev/ttyUSB3");
    setenv("KELMOR_COM10", "/dev/pts/7", 1);
    EXPECT_EQ(kp::ComDevicePath(10), "/dev/pts/7");
    unsetenv("KELMOR_COM10");
}

TEST(Ansi, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(kp::Utf8ToAnsi(kp::AnsiToUtf8(all)), all);
    EXPECT_EQ(kp::AnsiToUtf8("\x80"), "\xE2\x82\xAC");            // euro sign
    EXPECT_EQ(kp::AnsiToUtf8("l\xE4skiks"), "l\xC3\xA4skiks");     // a umlaut
    EXPECT_EQ(kp::AnsiToCodePoint(0x9F), U'\u0178');
    EXPECT_EQ(kp::Utf8ToAnsi("\xE2\x98\x83"), "?");                 // no byte for a snowman
}

TEST(VirtualClock, MovesOnlyWhenSleptOrAdvanced) {
    kp::VirtualClock clock(100);
    EXPECT_EQ(clock.Now(), 100);
    clock.Sleep(10000);
    clock.Advance(5);
    EXPECT_EQ(clock.Now(), 10105);
}
