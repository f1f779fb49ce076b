// kelmor-tool ports: where COM1 … COM16 lead and whether each can be opened now.
#include <cstdio>
#include <string>

#include "platform/programdir.h"
#include "platform/serialdevice.h"
#include "serial/commport.h"
#include "tool/command.h"

namespace {

void Run() {
    bool anyDenied = false;
    for (int n = 1; n <= 16; ++n) {
        const std::string path = kelmor::platform::ComDevicePath(n);
        auto device = kelmor::platform::MakePosixSerialDevice();
        const char* state = "absent";
        switch (device->Open(path)) {
            case kelmor::platform::OpenResult::Ok:
                state = "present";
                break;
            case kelmor::platform::OpenResult::NotFound:
                state = "absent";
                break;
            case kelmor::platform::OpenResult::Busy:
                state = "busy";
                break;
            case kelmor::platform::OpenResult::Failed:
                if (kelmor::serial::PortAccessDenied(path)) {
                    state = "no permission";
                    anyDenied = true;
                    break;
                }
                // It exists but cannot be taken (not a terminal, say): say why aside.
                state = "busy";
                std::fprintf(stderr, "COM%d: %s: %s\n", n, path.c_str(),
                             device->LastError().c_str());
                break;
        }
        device->Close();
        std::printf("COM%d\t%s\t%s\n", n, path.c_str(), state);
    }
    if (anyDenied) std::fprintf(stderr, "%s\n", kelmor::serial::kDialoutHint);
}

const bool registered = kelmor::tool::Register([](CLI::App& app) {
    auto* cmd = app.add_subcommand(
        "ports", "COM1 to COM16: device path and present, absent, busy or no permission");
    cmd->callback([] { Run(); });
});

}  // namespace
