// kelmor-tool flash --port COMn[,COMm...] [--chip h8|h8-3069] [--update] [--speed 0|1|2]
//                   [--crystal HZ] [--oem] [--nms] [--key K1 K2 K3 [K4]] [--yes|--no] FILE
// Flashes one modem per port in parallel, one progress line per port, and prints each port's
// result. Exit code 0 only when every port succeeded.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <iostream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "flash/channels.h"
#include "flash/firmwarefile.h"
#include "flash/firmwarekey.h"
#include "flash/oempackets.h"
#include "flash/srecord.h"
#include "platform/ansi.h"
#include "platform/inifile.h"
#include "tool/command.h"

namespace {

using namespace kelmor;

struct FlashOptions {
    std::string ports, chip, file;
    bool update = false, oem = false, nms = false, yes = false, no = false, boardCheck = false;
    int speed = 0;
    uint32_t crystal = 0;
    std::vector<std::string> key;
};

std::mutex outputMutex;  // progress lines and questions never interleave

std::string Readable(const std::string& text) {
    std::string out;
    for (char c : platform::AnsiToUtf8(text))
        if (c != '\r') out += c;
    return out;
}

// Questions on the terminal, or answered by --yes / --no.
class TerminalPrompter : public platform::Prompter {
  public:
    TerminalPrompter(bool yes, bool no) : yes_(yes), no_(no) {}
    platform::Answer Ask(const platform::Prompt& p) override {
        std::lock_guard lock(outputMutex);
        std::string head = p.caption.empty() ? "" : p.caption + ": ";
        bool question =
            p.buttons == platform::Buttons::YesNo || p.buttons == platform::Buttons::YesNoCancel;
        std::fprintf(stderr, "\n%s%s\n", head.c_str(), Readable(p.text).c_str());
        if (!question) return platform::Answer::Ok;
        if (yes_ || no_) {
            std::fprintf(stderr, "-> %s\n", yes_ ? "yes" : "no");
            return yes_ ? platform::Answer::Yes : platform::Answer::No;
        }
        std::fprintf(stderr, "[y/N] ");
        std::string line;
        if (!std::getline(std::cin, line)) return p.defaultButton;
        if (line == "y" || line == "Y" || line == "yes") return platform::Answer::Yes;
        if (line == "n" || line == "N" || line == "no") return platform::Answer::No;
        return p.defaultButton;
    }

  private:
    bool yes_, no_;
};

// End messages of the worker threads, handed to the main thread.
class EndQueue : public flash::FlashObserver {
  public:
    void RunEnded(int channel) override {
        std::lock_guard lock(mutex_);
        ended_.push_back(channel);
        cv_.notify_one();
    }
    // Waits up to ms for an end message.
    std::optional<int> Next(int ms) {
        std::unique_lock lock(mutex_);
        if (!cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return !ended_.empty(); }))
            return std::nullopt;
        int c = ended_.front();
        ended_.pop_front();
        return c;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<int> ended_;
};

bool ParsePorts(const std::string& text, std::vector<int>& ports) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item.size() > 3 && (item.compare(0, 3, "COM") == 0 || item.compare(0, 3, "com") == 0))
            item = item.substr(3);
        char* end = nullptr;
        long n = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || n < 1 || n > 16) return false;
        ports.push_back(static_cast<int>(n));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return !ports.empty();
}

int Fail(const std::string& text, int code = 2) {
    std::fprintf(stderr, "flash: %s\n", Readable(text).c_str());
    kelmor::tool::SetExitCode(code);
    return code;
}

std::string Bar(int value, int max) {
    int pct = max > 0 ? static_cast<int>(int64_t{std::min(value, max)} * 100 / max) : 0;
    return std::to_string(pct) + "%";
}

void Run(const FlashOptions& o) {
    std::vector<int> ports;
    if (!ParsePorts(o.ports, ports)) {
        Fail("--port takes COM ports 1 to 16, e.g. COM1,COM3");
        return;
    }
    if (std::set<int>(ports.begin(), ports.end()).size() != ports.size()) {
        Fail("All active channels must point to different com ports !!!");
        return;
    }
    if (o.yes && o.no) {
        Fail("give --yes or --no, not both");
        return;
    }
    std::string bytes;
    if (!platform::ReadFileBytes(o.file, bytes)) {
        Fail("File " + o.file + " does not exists !!!", 1);
        return;
    }
    TerminalPrompter prompter(o.yes, o.no);
    flash::FirmwareKind kind = flash::KindOfPath(o.file);
    bool h3069 = o.chip.empty()
                     ? (kind == flash::FirmwareKind::Sf2 || kind == flash::FirmwareKind::Sf3 ||
                        kind == flash::FirmwareKind::Sfo)
                     : o.chip == "h8-3069";
    if (kind == flash::FirmwareKind::Unknown) {
        Fail("unknown file kind: " + o.file + " (.sff, .sf2, .sf3, .sfo, .rec or .a\?\?)");
        return;
    }
    if (kind == flash::FirmwareKind::Sff && h3069) {
        Fail(".sff files are for H8 modems");
        return;
    }
    if ((kind == flash::FirmwareKind::Sf2 || kind == flash::FirmwareKind::Sf3 ||
         kind == flash::FirmwareKind::Sfo) &&
        !h3069) {
        Fail("this file is for H8/3069 modems");
        return;
    }
    flash::FirmwareKey key = flash::ZeroKey();
    if (!o.key.empty()) {
        std::string k4 = o.key.size() > 3 ? o.key[3] : "00000000";
        if (!flash::ParseKeyFields(o.key[0], o.key[1], o.key[2], k4, key)) {
            Fail(flash::kKeyFormatInvalid);
            return;
        }
    }
    if (bytes.empty()) {
        Fail(h3069 ? flash::kSf2Empty : flash::kSffEmpty, 1);
        return;
    }

    // The data every channel reads: the file (H8), or the image / OEM packet bodies (H8/3069).
    std::vector<uint8_t> image;
    uint32_t programSize = 0;
    uint8_t model = flash::kModelUnchecked;
    bool nms = o.nms, oem = o.oem, warning = false, enciphered = false;
    uint32_t crystal = 24576000;
    if (h3069) {
        if (kind == flash::FirmwareKind::Sfo) {
            auto check = flash::CheckOemFile(bytes, prompter);
            if (!check.ok) {
                kelmor::tool::SetExitCode(1);
                return;
            }
            image.assign(check.bodies.begin(), check.bodies.end());
            programSize = static_cast<uint32_t>(image.size());
            oem = true;
            model = flash::kModelNone;
        } else if (kind == flash::FirmwareKind::Sf2 || kind == flash::FirmwareKind::Sf3) {
            std::string ext = o.file.substr(o.file.rfind('.'));
            image = flash::NewFlashImage();
            auto check = flash::CheckContainerForImage(bytes, ext, key, image, prompter);
            if (!check.ok) {
                kelmor::tool::SetExitCode(1);
                return;
            }
            programSize = check.programSize;
            model = static_cast<uint8_t>(check.model);
            if (kind == flash::FirmwareKind::Sf3) {
                nms = true;
                crystal = 33000000;
            }
            if (oem) {
                Fail("--oem takes an .sfo file or plain S-records");
                return;
            }
        } else {
            image = flash::NewFlashImage();
            programSize = flash::ParseSRecordLines(bytes, image, prompter);
            if (programSize == 0) {
                kelmor::tool::SetExitCode(1);
                return;
            }
            warning = true;  // the multi-port kind: the reply checks ask instead of refusing
            if (oem) {
                std::vector<uint8_t> bodies;
                programSize = static_cast<uint32_t>(flash::BuildOemPackets(
                    image, programSize, bodies, flash::TimeSeededRandomBytes()));
                image = std::move(bodies);
            }
        }
    } else {
        enciphered = kind == flash::FirmwareKind::Sff;
        if (oem || nms) {
            Fail("--oem and --nms are for H8/3069 modems");
            return;
        }
    }
    if (o.crystal) crystal = o.crystal;

    int n = static_cast<int>(ports.size());
    flash::CFlashChannels channels(n);
    channels.h3069Active = h3069;
    channels.prompter = &prompter;
    for (int i = 0; i < n; ++i) {
        auto& c = channels.Channel(i);
        c.enabled = true;
        c.SetPort(ports[static_cast<size_t>(i)]);
        if (h3069) {
            auto& e = c.h3069;
            e.link.prompter = &prompter;
            e.update = o.update;
            e.h8_3069Warning = warning;
            e.nms = nms;
            e.oem = oem;
            e.model = model;
            e.speedMode = o.speed;
            e.crystal = crystal;
            e.boardCheck = o.boardCheck;
            e.image = image.data();
            e.imageSize = static_cast<uint32_t>(image.size());
            e.programSize = programSize;
            e.fileSize = static_cast<int32_t>(programSize);
        } else {
            auto& e = c.h8;
            e.link.prompter = &prompter;
            e.update = o.update;
            e.h8_3069Warning = !enciphered;
            e.enciphered = enciphered;
            e.key = key;
            e.speedMode = o.speed;
            e.data = reinterpret_cast<const uint8_t*>(bytes.data());
            e.fileSize = static_cast<int32_t>(bytes.size());
        }
    }

    bool tty = isatty(STDOUT_FILENO);
    auto line = [&](int i) {
        auto& c = channels.Channel(i);
        int loader = h3069 ? c.h3069.loaderProgress.load() : c.h8.loaderProgress.load();
        int program = h3069 ? c.h3069.programProgress.load() : c.h8.programProgress.load();
        int steps = h3069 ? c.h3069.LoaderSteps() : c.h8.LoaderSteps();
        int total = h3069 ? static_cast<int>(programSize) : static_cast<int>(bytes.size());
        return "COM" + std::to_string(channels.PortOf(i)) + ": loader " + Bar(loader, steps) +
               "  program " + Bar(program, total);
    };
    std::vector<std::string> shown(static_cast<size_t>(n));
    auto show = [&](bool redraw) {
        std::lock_guard lock(outputMutex);
        if (tty && redraw) std::printf("\x1b[%dA", n);
        for (int i = 0; i < n; ++i) {
            std::string text = line(i);
            if (tty) {
                std::printf("\r\x1b[2K%s\n", text.c_str());
            } else if (text != shown[static_cast<size_t>(i)]) {
                std::printf("%s\n", text.c_str());  // no terminal: changed lines only
                shown[static_cast<size_t>(i)] = text;
            }
        }
        std::fflush(stdout);
    };

    EndQueue ends;
    show(false);
    channels.Start(&ends);
    std::optional<flash::FlashSummary> summary;
    auto lastShow = std::chrono::steady_clock::now();
    while (!summary) {
        if (auto c = ends.Next(200)) summary = channels.ChannelEnded(*c);
        auto now = std::chrono::steady_clock::now();
        if (tty || now - lastShow > std::chrono::seconds(2)) {
            show(true);
            lastShow = now;
        }
    }
    show(true);
    bool allOk = true;
    for (int i = 0; i < n; ++i) {
        int code = channels.ResultOf(i);
        if (code != 0) allOk = false;
        std::printf("COM%d: %s\n", channels.PortOf(i), Readable(channels.ResultTextOf(i)).c_str());
    }
    kelmor::tool::SetExitCode(allOk ? 0 : 1);
}

const bool registered = kelmor::tool::Register([](CLI::App& app) {
    auto o = std::make_shared<FlashOptions>();
    auto* cmd = app.add_subcommand("flash", "flash modems, one per port, in parallel");
    cmd->add_option("--port", o->ports, "COM ports, e.g. COM1 or COM1,COM2,COM3")->required();
    cmd->add_option("--chip", o->chip, "h8 or h8-3069 (default: by the file kind)")
        ->check(CLI::IsMember({"h8", "h8-3069"}));
    cmd->add_flag("--update", o->update, "the modems run their firmware (flash-mode request)");
    cmd->add_option("--speed", o->speed, "0: 38400, 1: 115200, 2: 9600 bit/s (H8/3069)")
        ->check(CLI::Range(0, 2));
    cmd->add_option("--crystal", o->crystal,
                    "H8/3069 crystal in Hz (default 24576000, NMS 33000000)");
    cmd->add_flag("--oem", o->oem, "OEM flashing (H8/3069)");
    cmd->add_flag("--nms", o->nms, "NMS firmware (H8/3069)");
    cmd->add_flag("--board-check", o->boardCheck, "refuse a modem that does not raise DSR");
    cmd->add_option("--key", o->key, "container key fields K1 K2 K3 [K4]")->expected(3, 4);
    cmd->add_flag("--yes", o->yes, "answer every question with Yes");
    cmd->add_flag("--no", o->no, "answer every question with No");
    cmd->add_option("file", o->file, ".sff, .sf2, .sf3, .sfo, .rec or .a\?\? file")->required();
    cmd->callback([o] { Run(*o); });
});

}  // namespace
