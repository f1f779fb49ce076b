// kelmor-tool flash against kelmor-modem-sim over a pseudo-terminal, in real time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "childprocess.h"
#include "platform/inifile.h"
#include "sim/srecordwriter.h"

namespace {

using Child = kelmor::testing::ChildProcess;

TEST(FlashEndToEnd, ToolFlashesTheSimulatedH83069OverAPty) {
    std::string home = std::getenv("KELMOR_HOME");
    std::string rec = home + "/firmware.rec", dump = home + "/flash.bin";
    constexpr uint32_t kLength = 0x2345;
    auto image = kelmor::sim::PatternImage(kLength);
    ASSERT_TRUE(
        kelmor::platform::WriteFileAtomic(rec, kelmor::sim::MakeSRecords(image, 0, kLength)));

    Child modem({KELMOR_SIM_PATH, "--chip", "h8-3069", "--mode", "update", "--pacing",
                 "--dump-flash", dump});
    std::string device = modem.Line();
    ASSERT_FALSE(device.empty());
    setenv("KELMOR_COM1", device.c_str(), 1);

    Child tool({KELMOR_TOOL_PATH, "flash", "--port", "COM1", "--chip", "h8-3069", "--update", rec});
    std::string output = tool.Rest();
    EXPECT_EQ(tool.Wait(), 0) << output;
    EXPECT_NE(output.find("COM1: Programming completed succesfully!"), std::string::npos) << output;
    unsetenv("KELMOR_COM1");

    kill(modem.pid, SIGTERM);
    EXPECT_EQ(modem.Wait(), 0);
    std::string flash;
    ASSERT_TRUE(kelmor::platform::ReadFileBytes(dump, flash));
    ASSERT_EQ(flash.size(), 0x80000u);
    // The erased blocks (0..2 for 0x2380 bytes) hold the image.
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 0x3000,
                           reinterpret_cast<const uint8_t*>(flash.data())));
}

}  // namespace
