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

#include "platform/inifile.h"
#include "sim/srecordwriter.h"

namespace {

// A child process; its standard output can be read line by line.
struct Process {
    pid_t pid = -1;
    FILE* out = nullptr;

    explicit Process(std::vector<std::string> argv) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid = fork();
        if (pid == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            std::vector<char*> args;
            for (auto& a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        close(fds[1]);
        out = fdopen(fds[0], "r");
    }
    std::string Line() {
        char buffer[512] = {};
        if (!out || !fgets(buffer, sizeof buffer, out)) return {};
        std::string s = buffer;
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
        return s;
    }
    // The exit code, or -1 when the process did not end within timeoutMs (it is then killed).
    int Wait(int timeoutMs = 60000) {
        int status = 0;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (pid > 0 && waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                status = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        pid = -1;
        if (out) fclose(out);
        out = nullptr;
        return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ~Process() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            Wait();
        }
    }
};

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
    EXPECT_EQ(program.Wait(), 0);

    for (size_t i = 0; i < modems.size(); ++i) {
        kill(modems[i]->pid, SIGTERM);
        EXPECT_EQ(modems[i]->Wait(), 0);
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
