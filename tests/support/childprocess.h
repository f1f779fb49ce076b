#pragma once
// A program a test starts, with its standard output read through a pipe. A child still running
// when the object goes away is killed.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace kelmor::testing {

struct ChildProcess {
    pid_t pid = -1;
    FILE* out = nullptr;

    explicit ChildProcess(std::vector<std::string> argv) {
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
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            Wait();
        }
    }

    // The next line of output without its line end; empty at the end.
    std::string Line() {
        char buffer[512] = {};
        if (!out || !fgets(buffer, sizeof buffer, out)) return {};
        std::string s = buffer;
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
        return s;
    }
    // Everything up to the end of its output.
    std::string Rest() {
        std::string s;
        char buffer[512];
        while (out && fgets(buffer, sizeof buffer, out)) s += buffer;
        return s;
    }
    // The exit code; -1 when it did not exit normally, or did not end within timeoutMs (given
    // as 0 or more), in which case it is killed.
    int Wait(int timeoutMs = -1) {
        int status = 0;
        if (pid > 0) {
            if (timeoutMs < 0) {
                waitpid(pid, &status, 0);
            } else {
                auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
                while (waitpid(pid, &status, WNOHANG) == 0) {
                    if (std::chrono::steady_clock::now() > end) {
                        kill(pid, SIGKILL);
                        waitpid(pid, &status, 0);
                        status = -1;
                        break;
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
            }
        }
        pid = -1;
        if (out) fclose(out);
        out = nullptr;
        return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Asks it to end (SIGTERM) and waits.
    int Stop() {
        if (pid > 0) kill(pid, SIGTERM);
        return Wait();
    }
};

}  // namespace kelmor::testing
