#include "terminal/display.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/ansi.h"

namespace kelmor::terminal {

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr uint8_t kCr = 13, kLf = 10, kBackspace = 8, kTab = 9;
}  // namespace

// ---- conversion ----

void DisplayConverter::Convert(const uint8_t* bytes, size_t count, int viewType) {
    text_.clear();
    runs_.clear();
    // No view needs more than five output bytes per input byte.
    text_.reserve(count * 5 + 1);
    if (count == 0 || bytes == nullptr) return;
    switch (viewType) {
        case kViewHex:
            ConvertHex(bytes, count);
            break;
        case kViewMixed:
            ConvertMixed(bytes, count);
            break;
        default:
            ConvertText(bytes, count);
            break;
    }
}

void DisplayConverter::ConvertText(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        uint8_t b = bytes[i];
        if (b < 32 && b != kCr && b != kLf && b != kBackspace && b != kTab) b = ' ';
        if (b == kLf) {
            if (lastBreak_ == LastBreak::Cr) {
                lastBreak_ = LastBreak::None;
            } else {
                text_ += "\r\n";
                lastBreak_ = LastBreak::Lf;
            }
        } else if (b == kCr) {
            if (lastBreak_ == LastBreak::Lf) {
                lastBreak_ = LastBreak::None;
            } else {
                text_ += "\r\n";
                lastBreak_ = LastBreak::Cr;
            }
        } else if (b == kBackspace) {
            lastBreak_ = LastBreak::None;
        } else {
            text_ += static_cast<char>(b);
            lastBreak_ = LastBreak::None;
        }
    }
    if (!text_.empty()) runs_.push_back({0, text_.size(), kColourDefault});
}

void DisplayConverter::AppendHexByte(uint8_t byte) {
    if (byte == kCr) text_ += "\r\n";
    text_ += '\\';
    text_ += kHexDigits[byte >> 4];
    text_ += kHexDigits[byte & 0x0F];
}

void DisplayConverter::ConvertHex(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) AppendHexByte(bytes[i]);
    runs_.push_back({0, text_.size(), kColourBlue});
}

void DisplayConverter::ConvertMixed(const uint8_t* bytes, size_t count) {
    size_t i = 0;
    while (i < count) {
        bool printable = bytes[i] >= 32 && bytes[i] <= 127;
        size_t begin = text_.size();
        while (i < count && (bytes[i] >= 32 && bytes[i] <= 127) == printable) {
            if (printable)
                text_ += static_cast<char>(bytes[i]);
            else
                AppendHexByte(bytes[i]);
            ++i;
        }
        runs_.push_back({begin, text_.size() - begin, printable ? kColourDefault : kColourBlue});
    }
}

// ---- memory text area ----

size_t MemoryTextArea::CharacterCount() const { return text_.size(); }

size_t MemoryTextArea::LineLength(size_t i) const {
    return i < lineLengths_.size() ? lineLengths_[i] : 0;
}

void MemoryTextArea::RemoveFront(size_t chars) {
    chars = std::min(chars, text_.size());
    text_.erase(0, chars);
    colours_.erase(colours_.begin(), colours_.begin() + static_cast<std::ptrdiff_t>(chars));
    size_t left = chars;
    while (left > 0 && !lineLengths_.empty()) {
        if (lineLengths_.front() <= left && lineLengths_.size() > 1) {
            left -= lineLengths_.front();
            lineLengths_.erase(lineLengths_.begin());
        } else {
            lineLengths_.front() -= std::min(left, lineLengths_.front());
            left = 0;
        }
    }
}

void MemoryTextArea::Append(std::string_view text, int colour) {
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            // CR LF inside one insertion is one break, as in the text widget.
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            text_ += '\n';
            colours_.push_back(colour);
            ++lineLengths_.back();
            lineLengths_.push_back(0);
        } else {
            text_ += c;
            colours_.push_back(colour);
            ++lineLengths_.back();
        }
    }
}

void MemoryTextArea::Clear() {
    text_.clear();
    colours_.clear();
    lineLengths_.assign(1, 0);
}

// ---- log ----

bool DisplayLog::Start(const std::string& path, std::string& error) {
    Stop();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        error = "Cannot create file \"" + path + "\". " + std::strerror(errno);
        return false;
    }
    file_ = f;
    total_ = 0;
    writes_ = 0;
    path_ = path;
    return true;
}

void DisplayLog::Stop() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

bool DisplayLog::Write(std::string_view text, std::string& error) {
    if (file_ == nullptr) return true;
    // Flushed at once: a log is most wanted after a crash or an unplugged cable.
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0) {
        error = "Unable to write log file \"" + path_ + "\". " + std::strerror(errno) +
                ". Logging has stopped.";
        Stop();
        return false;
    }
    total_ += text.size();
    ++writes_;
    return true;
}

// ---- display ----

void TerminalDisplay::SetScrollBackMaximum(int bytes) {
    scrollBackMaximum_ = std::max(bytes, kTrimMargin + 1);
    trimTarget_ = scrollBackMaximum_ - kTrimMargin;
}

platform::Prompter& TerminalDisplay::Prompter() const {
    return prompter_ ? *prompter_ : platform::DefaultPrompter();
}

void TerminalDisplay::ShowData(const uint8_t* bytes, size_t count) {
    if (bytes == nullptr || count == 0) return;
    bool hasCr = std::memchr(bytes, kCr, count) != nullptr;
    bool frozen = false;
    bool followTail =
        !area_->Focused() &&
        area_->LineCount() > static_cast<size_t>(std::max(area_->VisibleLines(), 0)) && hasCr;
    if (followTail) {
        area_->SetUpdatesFrozen(true);
        frozen = true;
    }
    converter_.Convert(bytes, count, viewType_);
    const std::string& text = converter_.Text();
    int extraLines = 0;
    // The runs go into the area one by one; the log gets all of them in one write and the
    // indicator one update.
    const bool logging = log_.On();
    area_->BeginBatch();
    // No run of the conversion begins with a bare LF (line breaks are CR LF), so nothing is
    // dropped and the whole text goes in at once, wrapped lines counted over all of it.
    const double available = area_->AvailableWidth();
    if (available > 0) {
        double width = area_->LineWidthWith(text);
        while (width > available) {
            ++extraLines;
            width -= available;
        }
    }
    area_->AppendRuns(text, converter_.Runs());
    if (area_->CharacterCount() > static_cast<size_t>(scrollBackMaximum_)) Trim();
    area_->EndBatch();
    if (logging) Log(text);
    if (followTail) {
        area_->ScrollToBottom();
    } else if (extraLines > 0) {
        if (!frozen) {
            area_->SetUpdatesFrozen(true);
            frozen = true;
        }
        area_->ScrollToBottom();
    }
    if (frozen) area_->SetUpdatesFrozen(false);
}

int TerminalDisplay::AppendText(std::string_view text, int colour) {
    std::string inserted;
    const bool logging = log_.On();
    int extra = Insert(text, colour, logging ? &inserted : nullptr);
    if (logging) Log(inserted);
    return extra;
}

void TerminalDisplay::Log(std::string_view text) {
    if (!log_.On() || text.empty()) return;
    std::string error;
    if (!log_.Write(text, error)) {
        if (onLogChanged) onLogChanged(false, log_.Total());
        Prompter().Message(error);
    } else if (onLogChanged) {
        onLogChanged(true, log_.Total());
    }
}

int TerminalDisplay::Insert(std::string_view text, int colour, std::string* logged) {
    int extra = 0;
    double available = area_->AvailableWidth();
    if (available > 0) {
        double width = area_->LineWidthWith(text);
        while (width > available) {
            ++extra;
            width -= available;
        }
    }
    if (!text.empty() && text.front() == '\n') text.remove_prefix(1);
    area_->Append(text, colour);
    // Trimmed after the insertion, so the area never holds more than the maximum.
    if (area_->CharacterCount() > static_cast<size_t>(scrollBackMaximum_)) Trim();
    if (logged) logged->append(text);
    return extra;
}

void TerminalDisplay::Trim() {
    size_t count = area_->CharacterCount();
    size_t target = static_cast<size_t>(trimTarget_);
    size_t lines = area_->LineCount();
    size_t remove = 0;
    size_t line = 0;
    // Whole first lines, until no more than the trim target is left.
    while (count - remove > target && line + 1 < lines) remove += area_->LineLength(line++);
    // One line longer than the target (data without line breaks): keep its tail, or the
    // memory would grow without bound.
    if (count - remove > target) remove = count - target;
    if (remove > 0) area_->RemoveFront(remove);
}

bool TerminalDisplay::StartLog(const std::string& path) {
    std::string error;
    if (!log_.Start(path, error)) {
        Prompter().Message(error);
        if (onLogChanged) onLogChanged(false, 0);
        return false;
    }
    if (onLogChanged) onLogChanged(true, 0);
    return true;
}

void TerminalDisplay::StopLog() {
    bool was = log_.On();
    log_.Stop();
    if (was && onLogChanged) onLogChanged(false, log_.Total());
}

std::string TimeStampText() {
    QDateTime now = QDateTime::currentDateTime();
    QLocale locale = QLocale::system();
    // The long time format without the zone name.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat).remove('t').trimmed();
    QString text = "(" + locale.toString(now.date(), QLocale::ShortFormat) + " " +
                   locale.toString(now.time(), timeFormat) + ")";
    return platform::Utf8ToAnsi(text.toStdString());
}

}  // namespace kelmor::terminal
