// kelmor started with the remote-flash code flashes simulated modems (kelmor-modem-sim on
// pseudo-terminals) unattended and ends with its exit code; each program is its own process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "childprocess.h"
#include "platform/inifile.h"
#include "sim/srecordwriter.h"

namespace {

using Process = kelmor::testing::ChildProcess;

TEST(RemoteFlashEndToEnd, FlashesTwoModemsUnattendedAndExitsWithZero) {
    std::string home = std::getenv("KELMOR_HOME");
    std::string rec = home + "/firmware.a37";
    constexpr uint32_t kLength = 0x1400;
    auto image = kelmor::sim::PatternImage(kLength);
    ASSERT_TRUE(
        kelmor::platform::WriteFileAtomic(rec, kelmor::sim::MakeSRecords(image, 0, kLength)));

    // Channels 1 and 3 (mask 5): channel 1 on COM2 from the command line, channel 3 on the port
    // the settings remember for it.
    kelmor::platform::IniFile ini(home + "/kelmor.ini");
    ASSERT_TRUE(ini.WriteInteger("Multi Flash", "Serial port3", 3));  // COM4
    std::vector<std::unique_ptr<Process>> modems;
    std::vector<std::string> dumps;
    for (int com : {2, 4}) {
        dumps.push_back(home + "/flash" + std::to_string(com) + ".bin");
        modems.push_back(std::make_unique<Process>(std::vector<std::string>{
            KELMOR_SIM_PATH, "--chip", "h8", "--mode", "boot", "--dump-flash", dumps.back()}));
        std::string device = modems.back()->Line();
        ASSERT_FALSE(device.empty());
        setenv(("KELMOR_COM" + std::to_string(com)).c_str(), device.c_str(), 1);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    Process program({KELMOR_PATH, "XvenatopirY", "2", "5", "0", rec});
    EXPECT_EQ(program.Wait(60000), 0);

    for (size_t i = 0; i < modems.size(); ++i) {
        kill(modems[i]->pid, SIGTERM);
        EXPECT_EQ(modems[i]->Wait(60000), 0);
        std::string flash;
        ASSERT_TRUE(kelmor::platform::ReadFileBytes(dumps[i], flash));
        ASSERT_EQ(flash.size(), 0x80000u);
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + kLength,
                               reinterpret_cast<const uint8_t*>(flash.data())))
            << dumps[i];
    }
    unsetenv("KELMOR_COM2");
    unsetenv("KELMOR_COM4");
}

}  // namespace
