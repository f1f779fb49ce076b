#include "flash/firmwarefile.h"

#include <algorithm>
#include <cctype>

#include "core/crc16.h"
#include "flash/crypt.h"

namespace kelmor::flash {

namespace {

bool StartsWith(const std::vector<uint8_t>& bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

// Passes prompts on and keeps the last text, so a check can report what it showed.
class RecordingPrompter : public platform::Prompter {
  public:
    explicit RecordingPrompter(platform::Prompter& inner) : inner_(inner) {}
    platform::Answer Ask(const platform::Prompt& prompt) override {
        last = prompt.text;
        return inner_.Ask(prompt);
    }
    std::string last;

  private:
    platform::Prompter& inner_;
};

}  // namespace

std::vector<uint8_t> DecipherContainer(std::string_view file, const FirmwareKey& key) {
    std::vector<uint8_t> bytes(file.begin(), file.end());
    if (bytes.size() < 2) return bytes;
    CCrypt crypt;
    CCrypt::KeySchedule schedule;
    crypt.ExpandKey(key.data(), kContainerRounds, true, schedule);
    crypt.DecryptCfb(bytes.data(), bytes.size() - 1, schedule, kContainerIv.data(),
                     kContainerIv.size());
    return bytes;
}

bool ContainerCrcMatches(const std::vector<uint8_t>& deciphered) {
    size_t n = deciphered.size();
    if (n < 2) return false;
    uint16_t stored = static_cast<uint16_t>(deciphered[n - 2] << 8 | deciphered[n - 1]);
    return core::KermitCrc(deciphered.data(), n - 2) == stored;
}

ContainerCheck CheckContainerForImage(std::string_view file, std::string_view extension,
                                      const FirmwareKey& key, FlashImage& image,
                                      platform::Prompter& prompter) {
    ContainerCheck check;
    auto fail = [&](const char* message) {
        check.message = message;
        prompter.Message(message);
        return check;
    };
    if (file.empty()) return fail(kSf2Empty);

    std::vector<uint8_t> bytes = DecipherContainer(file, key);
    // Only the extension exactly as typed, ".sf3", admits the NMS markers.
    bool nms = extension == ".sf3";
    if (nms && StartsWith(bytes, kMarkerUhfNms)) {
        check.marker = kMarkerUhfNms;
    } else if (nms && StartsWith(bytes, kMarkerVhfNms)) {
        check.marker = kMarkerVhfNms;
    } else if (StartsWith(bytes, kMarkerFlash)) {
        check.marker = kMarkerFlash;
    }
    // A marker needs its two CRC bytes after it to be a container at all.
    if (check.marker.empty() || bytes.size() < check.marker.size() + 2) {
        check.marker.clear();
        return fail(kWrongKey);
    }
    check.crcOk = ContainerCrcMatches(bytes);
    if (!check.crcOk) return fail(kWrongCrc);

    // An ".sf3" takes its text from offset 11 whatever its marker; one starting with
    // "ZorvaFlash" counts as VHF.
    size_t offset = nms ? 11 : 10;
    check.model = nms ? (check.marker == kMarkerUhfNms ? 1 : 2) : 0;
    size_t textEnd = bytes.size() - 2;
    std::string_view text;
    if (offset < textEnd)
        text = std::string_view(reinterpret_cast<const char*>(bytes.data()) + offset,
                                textEnd - offset);

    image = NewFlashImage();
    RecordingPrompter recording(prompter);
    check.programSize = ParseSRecordsSplit(text, image, recording);
    check.ok = check.programSize > 0;
    if (!check.ok) check.message = recording.last;
    return check;
}

std::string_view SffCheck::Text() const {
    if (result != 0 || plain.size() < kMarkerFlash.size()) return {};
    return std::string_view(reinterpret_cast<const char*>(plain.data()) + kMarkerFlash.size(),
                            plain.size() - kMarkerFlash.size());
}

SffCheck CheckSffContainer(std::string_view file, const FirmwareKey& key) {
    SffCheck check;
    std::vector<uint8_t> bytes = DecipherContainer(file, key);
    if (bytes.size() < kMarkerFlash.size() + 2 || !StartsWith(bytes, kMarkerFlash)) {
        check.result = kResultWrongKey;
        return check;
    }
    if (!ContainerCrcMatches(bytes)) {
        check.result = kResultWrongCrc;
        return check;
    }
    bytes.resize(bytes.size() - 2);
    check.plain = std::move(bytes);
    check.result = 0;
    return check;
}

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

int CheckH8RecordText(std::string_view text) {
    size_t pos = 0;
    for (;;) {
        // The transfer skips at most 1024 characters looking for the next record.
        int skipped = 0;
        while (pos < text.size() && text[pos] != 'S' && skipped < 1024) {
            ++pos;
            ++skipped;
        }
        if (pos >= text.size() || text[pos] != 'S') return kResultNotValidFile;  // no S9
        if (text.size() - pos < 4) return kResultNotValidFile;
        char type = text[pos + 1];
        if (type < '0' || type > '9') return kResultNotValidFile;
        int high = HexValue(text[pos + 2]), low = HexValue(text[pos + 3]);
        if (high < 0 || low < 0) return kResultNotValidFile;
        int count = high * 16 + low;
        if (count < 1) return kResultNotValidFile;
        pos += 2;  // the count pair is the first summed byte
        if ((text.size() - pos) / 2 < static_cast<size_t>(count) + 1) return kResultNotValidFile;
        int sum = 0;
        for (int i = 0; i <= count; ++i, pos += 2) {
            int h = HexValue(text[pos]), l = HexValue(text[pos + 1]);
            if (h < 0 || l < 0) return kResultNotValidFile;
            sum += h * 16 + l;
        }
        if ((sum & 0xFF) != 0xFF) return kResultNotValidFile;
        if (type == '9') return 0;
    }
}

int CheckPlainSRecordData(std::string_view data) {
    if (data.substr(0, 2) != "S0") return kResultNotValidFile;
    return CheckH8RecordText(data);
}

OemFileCheck CheckOemFile(std::string_view file, platform::Prompter& prompter) {
    OemFileCheck check;
    auto fail = [&](const char* message) {
        check.message = message;
        prompter.Message(message);
        return check;
    };
    if (file.empty()) return fail(kSf2Empty);
    if (file.size() < 2) return fail(kWrongCrc);
    size_t n = file.size() - 2;
    auto* p = reinterpret_cast<const uint8_t*>(file.data());
    uint16_t stored = static_cast<uint16_t>(p[n] << 8 | p[n + 1]);
    if (core::OemFileCrc(p, n) != stored) return fail(kWrongCrc);
    // The engine sends whole 132-byte packets; a partial one would be read past the file.
    if (n == 0 || n % 132 != 0) return fail(kOemFileLength);
    check.ok = true;
    check.bodies = file.substr(0, n);
    return check;
}

FirmwareKind KindOfPath(std::string_view path) {
    size_t slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return FirmwareKind::Unknown;
    std::string ext(name.substr(dot));
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".sff") return FirmwareKind::Sff;
    if (ext == ".sf2") return FirmwareKind::Sf2;
    if (ext == ".sf3") return FirmwareKind::Sf3;
    if (ext == ".sfo") return FirmwareKind::Sfo;
    if (ext == ".rec" || (ext.size() == 4 && ext[1] == 'a')) return FirmwareKind::SRecord;
    return FirmwareKind::Unknown;
}

}  // namespace kelmor::flash
