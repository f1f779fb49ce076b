// kelmor-tool crc ALGO (--text TEXT | --hex "HEX BYTES" | FILE)
#include <cstdio>
#include <string>

#include "core/crc16.h"
#include "core/hex.h"
#include "platform/inifile.h"
#include "tool/command.h"

namespace {

struct CrcOptions {
    std::string algo, text, hex, file;
};

void Run(const CrcOptions& o) {
    std::string bytes;
    int sources = !o.text.empty() + !o.hex.empty() + !o.file.empty();
    if (sources != 1) {
        std::fprintf(stderr, "crc: give exactly one of --text, --hex or FILE\n");
        kelmor::tool::SetExitCode(2);
        return;
    }
    if (!o.text.empty()) {
        bytes = o.text;
    } else if (!o.hex.empty()) {
        auto parsed = kelmor::core::ParseHexBytes(o.hex);
        if (!parsed) {
            std::fprintf(stderr, "crc: \"%s\" is not a list of hexadecimal bytes\n", o.hex.c_str());
            kelmor::tool::SetExitCode(2);
            return;
        }
        bytes.assign(parsed->begin(), parsed->end());
    } else if (!kelmor::platform::ReadFileBytes(o.file, bytes)) {
        std::fprintf(stderr, "crc: cannot read %s\n", o.file.c_str());
        kelmor::tool::SetExitCode(1);
        return;
    }
    auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    uint16_t crc = o.algo == "mcrf4xx"  ? kelmor::core::Mcrf4xxCrc(p, bytes.size())
                   : o.algo == "kermit" ? kelmor::core::KermitCrc(p, bytes.size())
                                        : kelmor::core::OemFileCrc(p, bytes.size());
    std::printf("%s\n", kelmor::core::HexWord(crc, 4).c_str());
}

const bool registered = kelmor::tool::Register([](CLI::App& app) {
    auto opts = std::make_shared<CrcOptions>();
    auto* cmd = app.add_subcommand("crc", "CRC-16 of text, hexadecimal bytes or a file");
    cmd->add_option("algo", opts->algo, "mcrf4xx, kermit or oem")
        ->required()
        ->check(CLI::IsMember({"mcrf4xx", "kermit", "oem"}));
    cmd->add_option("--text", opts->text, "the bytes of this text");
    cmd->add_option("--hex", opts->hex, "hexadecimal bytes, e.g. \"24 01 00\"");
    cmd->add_option("file", opts->file, "a file");
    cmd->callback([opts] { Run(*opts); });
});

}  // namespace
