#include "flash/srecord.h"

#include <algorithm>

namespace kelmor::flash {

namespace {

// The modem tools read digits as c - 55 from 'A' up, c - 48 below, without further checks; a
// wrong digit then shows up as a checksum error, which is what users of these files know.
int DigitValue(char c) {
    auto u = static_cast<unsigned char>(c);
    return u >= 'A' ? u - 55 : u - 48;
}
int PairValue(std::string_view record, size_t at) {
    return DigitValue(record[at]) * 16 + DigitValue(record[at + 1]);
}

enum class Outcome { Continue, End, Failed };

class Parser {
  public:
    Parser(FlashImage& image, platform::Prompter& prompter) : image_(image), prompter_(prompter) {}

    // One record: 'S' (or whatever the first character is), type, count, count bytes. Trailing
    // characters after the checksum (line ends) are ignored.
    Outcome Record(std::string_view record, bool lineMode) {
        if (record.size() > kRecordBufferSize) return Fail(kRecordTooLong);
        if (record.size() < 4) return Fail(kRecordChecksumError);
        char type = record[1];
        int count = PairValue(record, 2);
        if (lineMode && count >= 256) prompter_.Message(kRecordCountTooBig);
        if (count < 0) return Fail(kRecordChecksumError);
        if (4 + 2 * static_cast<size_t>(count) > record.size()) return Fail(kRecordTruncated);
        int sum = 0;
        for (int i = 0; i <= count; ++i) sum += PairValue(record, 2 + 2 * static_cast<size_t>(i));
        if ((sum & 0xFF) != 0xFF) return Fail(kRecordChecksumError);

        if (type == '1' || type == '2') {
            int addressBytes = type == '1' ? 2 : 3;
            if (count < addressBytes + 1) return Fail(kRecordAddressTooShort);
            uint32_t address = 0;
            for (int i = 0; i < addressBytes; ++i)
                address = address << 8 | (PairValue(record, 4 + 2 * static_cast<size_t>(i)) & 0xFF);
            size_t n = static_cast<size_t>(count - addressBytes - 1);
            size_t data = 4 + 2 * static_cast<size_t>(addressBytes);
            if (n > 0) {
                if (address + n > image_.size()) return Fail(kRecordOutsideFlash);
                for (size_t i = 0; i < n; ++i)
                    image_[address + i] = static_cast<uint8_t>(PairValue(record, data + 2 * i));
                highest_ = std::max<uint32_t>(highest_, static_cast<uint32_t>(address + n - 1));
                anyData_ = true;
            }
            return Outcome::Continue;
        }
        if (type == '8' || type == '9') return Outcome::End;
        return Outcome::Continue;  // S0, S3, S5, S7, ...: checked, then ignored
    }

    Outcome Fail(const char* message) {
        prompter_.Message(message);
        return Outcome::Failed;
    }

    uint32_t Result() {
        if (!anyData_) {
            // Erasing a modem and programming nothing would leave it without firmware.
            prompter_.Message(kRecordNoData);
            return 0;
        }
        return ProgramSizeFor(highest_);
    }

  private:
    FlashImage& image_;
    platform::Prompter& prompter_;
    uint32_t highest_ = 0;
    bool anyData_ = false;
};

}  // namespace

FlashImage NewFlashImage() { return FlashImage(kFlashSize, 0xFF); }

uint32_t ProgramSizeFor(uint32_t highestAddress) {
    return (highestAddress / kFlashPageSize + 1) * kFlashPageSize;
}

uint32_t ParseSRecordsSplit(std::string_view text, FlashImage& image,
                            platform::Prompter& prompter) {
    Parser parser(image, prompter);
    size_t pos = text.find('S');
    while (true) {
        if (pos >= text.size()) {
            // The text ran out before an end record: an empty record, failing its checksum.
            parser.Fail(kRecordChecksumError);
            return 0;
        }
        size_t next = text.find('S', pos + 1);
        size_t end = next == std::string_view::npos ? text.size() : next;
        std::string_view record = text.substr(pos, end - pos);
        pos = end;
        if (record.size() == 1 && next != std::string_view::npos) break;  // "SS": nothing left
        Outcome outcome = parser.Record(record, false);
        if (outcome == Outcome::Failed) return 0;
        if (outcome == Outcome::End) break;
    }
    return parser.Result();
}

uint32_t ParseSRecordLines(std::string_view text, FlashImage& image, platform::Prompter& prompter) {
    Parser parser(image, prompter);
    size_t pos = 0;
    while (true) {
        if (pos >= text.size()) {
            // What follows a final CR LF (or an empty text) is parsed as an empty line.
            prompter.Message(kRecordWrongFormat);
            parser.Fail(kRecordChecksumError);
            return 0;
        }
        if (text[pos] == '\r') break;  // an empty line ends the text
        size_t cr = text.find('\r', pos);
        size_t end = cr == std::string_view::npos ? text.size() : cr;
        std::string_view line = text.substr(pos, end - pos);
        if (line.find('\n') != std::string_view::npos) {
            parser.Fail(kRecordLineEnd);
            return 0;
        }
        if (line.size() > kRecordBufferSize) {
            parser.Fail(kRecordTooLong);
            return 0;
        }
        if (line[0] != 'S') prompter.Message(kRecordWrongFormat);
        Outcome outcome = parser.Record(line, true);
        if (outcome == Outcome::Failed) return 0;
        if (outcome == Outcome::End || cr == std::string_view::npos) break;
        pos = cr + 2;
    }
    return parser.Result();
}

}  // namespace kelmor::flash
