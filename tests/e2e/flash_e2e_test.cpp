// kelmor-tool flash against kelmor-modem-sim over a pseudo-terminal, in real time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/inifile.h"
#include "sim/srecordwriter.h"

namespace {

// A child process whose standard output we read.
struct Child {
    pid_t pid = -1;
    FILE* out = nullptr;

    explicit Child(std::vector<std::string> argv) {
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
    std::string Rest() {
        std::string s;
        char buffer[512];
        while (out && fgets(buffer, sizeof buffer, out)) s += buffer;
        return s;
    }
    int Wait() {
        int status = 0;
        if (pid > 0) waitpid(pid, &status, 0);
        pid = -1;
        if (out) fclose(out);
        out = nullptr;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ~Child() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            Wait();
        }
    }
};

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
