// kelmor-tool firmware check FILE [--key K1 K2 K3 [K4]]
// kelmor-tool firmware image FILE [--key ...] --out IMAGE.bin
// kelmor-tool firmware pack IN.rec OUT (--sff | --sf2 | --sf3-uhf | --sf3-vhf | --sfo) [--key ...]
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "flash/firmwarefile.h"
#include "flash/firmwarekey.h"
#include "flash/firmwarepack.h"
#include "flash/oempackets.h"
#include "flash/srecord.h"
#include "platform/ansi.h"
#include "platform/inifile.h"
#include "tool/command.h"

namespace {

using namespace kelmor;
using nlohmann::json;

// Keeps every message a check shows, to report them instead of showing boxes.
class CollectingPrompter : public platform::Prompter {
  public:
    platform::Answer Ask(const platform::Prompt& prompt) override {
        texts.push_back(prompt.text);
        return prompt.defaultButton;
    }
    std::vector<std::string> texts;
};

struct FirmwareOptions {
    std::string file, out, packOut;
    std::vector<std::string> key;
    bool sff = false, sf2 = false, sf3Uhf = false, sf3Vhf = false, sfo = false;
    bool haveSeed = false;
    uint32_t seed = 0;
};

std::string Utf8(const std::string& text) { return platform::AnsiToUtf8(text); }

void Print(const json& j) { std::printf("%s\n", j.dump(2).c_str()); }

bool ParseKey(const std::vector<std::string>& fields, flash::FirmwareKey& key) {
    if (fields.empty()) {
        key = flash::ZeroKey();
        return true;
    }
    return flash::ParseKeyFields(fields[0], fields[1], fields[2],
                                 fields.size() > 3 ? fields[3] : "", key);
}

// The extension exactly as typed, as the single flash window tests it when flashing.
std::string ExtensionAsTyped(const std::string& path) {
    size_t slash = path.find_last_of('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return path.substr(dot);
}

const char* KindName(flash::FirmwareKind kind) {
    switch (kind) {
        case flash::FirmwareKind::Sff:
            return "sff";
        case flash::FirmwareKind::Sf2:
            return "sf2";
        case flash::FirmwareKind::Sf3:
            return "sf3";
        case flash::FirmwareKind::Sfo:
            return "sfo";
        case flash::FirmwareKind::SRecord:
            return "srec";
        default:
            return "unknown";
    }
}

// Checks a file as the program would before flashing it. Returns false when it is refused.
bool CheckFile(const FirmwareOptions& o, json& report, flash::FlashImage& image,
               uint32_t& imageSize) {
    imageSize = 0;
    flash::FirmwareKind kind = flash::KindOfPath(o.file);
    report = {{"file", o.file},  {"kind", KindName(kind)}, {"marker", ""}, {"model", 0},
              {"crc_ok", false}, {"program_size", 0},      {"result", ""}};
    CollectingPrompter prompter;
    bool ok = false;
    auto finish = [&](bool accepted, const std::string& failure) {
        report["result"] = Utf8(accepted ? "OK" : failure);
        json messages = json::array();
        for (const auto& t : prompter.texts) messages.push_back(Utf8(t));
        report["messages"] = messages;
        return accepted;
    };
    auto lastMessage = [&] {
        return prompter.texts.empty() ? std::string() : prompter.texts.back();
    };

    if (kind == flash::FirmwareKind::Unknown)
        return finish(
            false,
            "not a firmware file (.sff, .sf2, .sf3, .sfo, .rec, .a followed by two characters)");
    std::string bytes;
    if (!platform::ReadFileBytes(o.file, bytes)) return finish(false, "cannot read " + o.file);
    flash::FirmwareKey key{};
    if (!ParseKey(o.key, key)) return finish(false, flash::kKeyFormatInvalid);

    switch (kind) {
        case flash::FirmwareKind::Sff: {
            if (bytes.empty()) return finish(false, flash::kSffEmpty);
            flash::SffCheck sff = flash::CheckSffContainer(bytes, key);
            report["crc_ok"] = sff.result == 0;
            if (sff.result == flash::kResultWrongKey) return finish(false, flash::kWrongKey);
            if (sff.result == flash::kResultWrongCrc) {
                report["marker"] = std::string(flash::kMarkerFlash);
                return finish(false, flash::kWrongCrc);
            }
            report["marker"] = std::string(flash::kMarkerFlash);
            // The H8 engine sends the records as they are; parsing them shows what it would send.
            image = flash::NewFlashImage();
            imageSize = flash::ParseSRecordsSplit(sff.Text(), image, prompter);
            report["program_size"] = imageSize;
            ok = imageSize > 0;
            return finish(ok, lastMessage());
        }
        case flash::FirmwareKind::Sf2:
        case flash::FirmwareKind::Sf3: {
            flash::ContainerCheck check = flash::CheckContainerForImage(
                bytes, ExtensionAsTyped(o.file), key, image, prompter);
            report["marker"] = check.marker;
            report["model"] = check.model;
            report["crc_ok"] = check.crcOk;
            report["program_size"] = check.programSize;
            imageSize = check.programSize;
            return finish(check.ok, check.message);
        }
        case flash::FirmwareKind::Sfo: {
            flash::OemFileCheck check = flash::CheckOemFile(bytes, prompter);
            report["crc_ok"] = check.ok || check.message == flash::kOemFileLength;
            report["program_size"] = check.bodies.size();
            return finish(check.ok, check.message);
        }
        case flash::FirmwareKind::SRecord: {
            image = flash::NewFlashImage();
            imageSize = flash::ParseSRecordLines(bytes, image, prompter);
            bool checksumError = false;
            for (const auto& t : prompter.texts) checksumError |= t == flash::kRecordChecksumError;
            report["crc_ok"] = !checksumError;
            report["program_size"] = imageSize;
            return finish(imageSize > 0, lastMessage());
        }
        default:
            return finish(false, "not a firmware file");
    }
}

void RunCheck(const FirmwareOptions& o) {
    json report;
    flash::FlashImage image;
    uint32_t size = 0;
    bool ok = CheckFile(o, report, image, size);
    Print(report);
    tool::SetExitCode(ok ? 0 : 1);
}

void RunImage(const FirmwareOptions& o) {
    json report;
    flash::FlashImage image;
    uint32_t size = 0;
    bool ok = CheckFile(o, report, image, size);
    flash::FirmwareKind kind = flash::KindOfPath(o.file);
    if (ok && (kind == flash::FirmwareKind::Sfo)) {
        report["result"] = "an OEM file holds packets, not a flash image";
        ok = false;
    }
    if (ok) {
        std::string bytes(image.begin(), image.begin() + size);
        if (!platform::WriteFileAtomic(o.out, bytes)) {
            report["result"] = "cannot write " + o.out;
            ok = false;
        } else {
            report["out"] = o.out;
        }
    }
    Print(report);
    tool::SetExitCode(ok ? 0 : 1);
}

void RunPack(const FirmwareOptions& o) {
    int kinds = o.sff + o.sf2 + o.sf3Uhf + o.sf3Vhf + o.sfo;
    if (kinds != 1) {
        std::fprintf(stderr,
                     "firmware pack: give exactly one of --sff, --sf2, --sf3-uhf, "
                     "--sf3-vhf, --sfo\n");
        tool::SetExitCode(2);
        return;
    }
    json report = {{"in", o.file}, {"out", o.packOut}};
    auto fail = [&](const std::string& why, int code) {
        report["result"] = Utf8(why);
        Print(report);
        tool::SetExitCode(code);
    };
    std::string text;
    if (!platform::ReadFileBytes(o.file, text)) return fail("cannot read " + o.file, 1);
    flash::FirmwareKey key{};
    if (!ParseKey(o.key, key)) return fail(flash::kKeyFormatInvalid, 1);

    // Refuse to wrap records the flashing side would refuse.
    CollectingPrompter prompter;
    flash::FlashImage image = flash::NewFlashImage();
    uint32_t size = flash::ParseSRecordsSplit(text, image, prompter);
    report["program_size"] = size;
    if (size == 0) return fail(prompter.texts.empty() ? "no records" : prompter.texts.back(), 1);

    std::string packed;
    if (o.sfo) {
        report["kind"] = "sfo";
        flash::RandomByteSource random = flash::TimeSeededRandomBytes();
        if (o.haveSeed) {
            auto engine = std::make_shared<std::mt19937>(o.seed);
            random = [engine] { return static_cast<uint8_t>((*engine)() & 0xFF); };
        }
        packed = flash::PackOemFile(std::move(image), size, random);
    } else {
        std::string_view marker = o.sf3Uhf   ? flash::kMarkerUhfNms
                                  : o.sf3Vhf ? flash::kMarkerVhfNms
                                             : flash::kMarkerFlash;
        report["kind"] = o.sff ? "sff" : o.sf2 ? "sf2" : "sf3";
        report["marker"] = std::string(marker);
        packed = flash::PackContainer(marker, text, key);
    }
    if (!platform::WriteFileAtomic(o.packOut, packed)) return fail("cannot write " + o.packOut, 1);
    report["bytes"] = packed.size();
    report["result"] = "OK";
    Print(report);
    tool::SetExitCode(0);
}

const bool registered = tool::Register([](CLI::App& app) {
    auto* group = app.add_subcommand("firmware", "firmware files: check, flash image, pack");
    group->require_subcommand(1);

    auto check = std::make_shared<FirmwareOptions>();
    auto* c = group->add_subcommand("check", "check a firmware file as flashing would (JSON)");
    c->add_option("file", check->file, "an .sff, .sf2, .sf3, .sfo, .rec or .a?? file")->required();
    c->add_option("--key", check->key, "the key fields K1 K2 K3 [K4] (default 00000000 each)")
        ->expected(3, 4);
    c->callback([check] { RunCheck(*check); });

    auto image = std::make_shared<FirmwareOptions>();
    auto* i = group->add_subcommand("image", "write the flash image up to the program size");
    i->add_option("file", image->file, "an .sf2, .sf3, .sff, .rec or .a?? file")->required();
    i->add_option("--key", image->key, "the key fields K1 K2 K3 [K4]")->expected(3, 4);
    i->add_option("--out", image->out, "the image file to write")->required();
    i->callback([image] { RunImage(*image); });

    auto pack = std::make_shared<FirmwareOptions>();
    auto* p = group->add_subcommand("pack", "build a container or OEM file from S-records");
    p->add_option("in", pack->file, "S-record text")->required();
    p->add_option("out", pack->packOut, "the file to write")->required();
    p->add_flag("--sff", pack->sff, "H8 container (ZorvaFlash)");
    p->add_flag("--sf2", pack->sf2, "H8/3069 container (ZorvaFlash)");
    p->add_flag("--sf3-uhf", pack->sf3Uhf, "NMS container, UHF (ZorvaUHFNMS)");
    p->add_flag("--sf3-vhf", pack->sf3Vhf, "NMS container, VHF (ZorvaVHFNMS)");
    p->add_flag("--sfo", pack->sfo, "OEM packet file (no key)");
    p->add_option("--key", pack->key, "the key fields K1 K2 K3 [K4]")->expected(3, 4);
    p->add_option("--seed", pack->seed, "seed of the OEM random bytes (default: time of day)")
        ->each([pack](const std::string&) { pack->haveSeed = true; });
    p->callback([pack] { RunPack(*pack); });
});

}  // namespace
