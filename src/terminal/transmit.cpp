#include "terminal/transmit.h"

#include <cmath>
#include <cstdio>
#include <fstream>

#include "core/crc16.h"
#include "core/mixedtext.h"
#include "platform/inifile.h"
#include "terminal/scriptfiles.h"
#include "terminal/terminalcore.h"

namespace kelmor::terminal {

int NextCounter(int counter) { return counter >= kCounterMax || counter < -1 ? 0 : counter + 1; }

std::vector<uint8_t> BuildTextPacket(std::string_view text, const TransmitOptions& options,
                                     int& counter) {
    std::string packet;
    if (options.counter) {
        counter = NextCounter(counter);
        char digits[16];
        std::snprintf(digits, sizeof digits, "%05d", counter);
        packet += digits;
    }
    packet += text;
    if (options.mixed) packet = core::MixedToBytes(packet);
    if (options.crc) {
        const uint16_t crc = core::MsgCrc(0xFFFF, packet);
        packet += static_cast<char>(crc >> 8);
        packet += static_cast<char>(crc & 0xFF);
    }
    if (options.crLf) packet += "\r\n";
    return std::vector<uint8_t>(packet.begin(), packet.end());
}

std::string TransmitCaption(std::string_view terminalCaption) {
    return "Transmit window " + std::string(terminalCaption.substr(0, 5));
}

std::string TransmitWindowName(std::string_view caption) {
    return std::string(caption.substr(0, caption.find(':')));
}

std::string TransmitTextPath(const std::string& folder, const std::string& windowName) {
    return folder + "/" + windowName + ".txw";
}

TransmitFlags ReadTransmitFlags(const std::string& settingsPath, const std::string& section) {
    platform::IniFile ini(settingsPath);
    TransmitFlags flags;
    flags.crLf = ini.ReadInteger(section, "CR_LF", 0) == 1;
    flags.mixed = ini.ReadInteger(section, "Mixed", 0) == 1;
    flags.crc = ini.ReadInteger(section, "CRC", 0) == 1;
    return flags;
}

bool WriteTransmitFlags(const std::string& settingsPath, const std::string& section,
                        const TransmitFlags& flags) {
    platform::IniFile ini(settingsPath);
    return ini.WriteStrings(section, {{"CR_LF", flags.crLf ? "1" : "0"},
                                      {"Mixed", flags.mixed ? "1" : "0"},
                                      {"CRC", flags.crc ? "1" : "0"}});
}

TransmitText LoadTransmitText(const std::string& path) {
    TransmitText result;
    bool truncated = false;
    if (!ReadFileCapped(path, kTransmitTextCap, result.text, truncated)) return result;
    result.found = true;
    result.cut = truncated;
    if (size_t nul = result.text.find('\0'); nul != std::string::npos) {
        result.text.resize(nul);
        result.cut = true;
    }
    return result;
}

bool SaveTransmitText(const std::string& path, const std::string& text) {
    return platform::WriteFileAtomic(path, text);
}

FileRead ReadTransmitFile(const std::string& path, std::vector<uint8_t>& bytes, size_t cap) {
    bytes.clear();
    std::string data;
    bool truncated = false;
    if (!ReadFileCapped(path, cap, data, truncated)) return FileRead::Unreadable;
    if (truncated) return FileRead::TooLarge;
    if (data.empty()) return FileRead::Empty;
    bytes.assign(data.begin(), data.end());
    return FileRead::Ok;
}

double ParseDelay(std::string_view text) {
    std::string s;
    for (char c : text) {
        if (c == ',') c = '.';
        if (c == ' ' && s.empty()) continue;
        s += c;
    }
    while (!s.empty() && s.back() == ' ') s.pop_back();
    if (s.empty()) return 0;
    // Whole text or nothing: "0,2x" does not convert.
    size_t used = 0;
    double value = 0;
    try {
        value = std::stod(s, &used);
    } catch (const std::exception&) {
        return 0;
    }
    if (used != s.size() || !std::isfinite(value)) return 0;
    return value;
}

int RepeatIntervalMs(std::string_view delayText) {
    const double ms = std::trunc(ParseDelay(delayText) * 1000.0);
    // A delay of weeks is not a delay: keep the timer's interval in range.
    if (ms >= 2e9) return 2000000000;
    return std::max(static_cast<int>(ms), kMinRepeatMs);
}

std::string FormatDelay(double value, char separator) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string s = text;
    for (char& c : s)
        if (c == '.') c = separator;
    return s;
}

std::string NormaliseDelay(std::string_view text, char separator) {
    if (ParseDelay(text) < kMinDelay) return separator == ',' ? "0,2" : "0.2";
    return std::string(text);
}

std::string SpinDelay(std::string_view text, bool up, char separator) {
    double value = ParseDelay(text);
    value = up ? value + 0.1 : std::max(value - 0.1, kMinDelay);
    return FormatDelay(value, separator);
}

// ---------------------------------------------------------------------------------------------

TransmitSender::TransmitSender(TransmitTarget& target, platform::Prompter& prompter,
                               QObject* parent)
    : QObject(parent), target_(target), prompter_(prompter) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { Send(false); });
}

bool TransmitSender::BuildPacket(const TransmitRequest& r, std::vector<uint8_t>& packet) {
    if (!r.fromFile) {
        if (r.text.empty()) {
            prompter_.Message(kNoTextToSend);
            return false;
        }
        packet = BuildTextPacket(r.text, r.options, counter_);
        return true;
    }
    if (!r.fileSelected) {
        prompter_.Message(kNoFileSelected);
        return false;
    }
    switch (ReadTransmitFile(r.filePath, packet)) {
        case FileRead::Ok:
            return true;
        case FileRead::Empty:
            prompter_.Message(kFileIsEmpty);
            return false;
        case FileRead::TooLarge:
            prompter_.Message(kNoMemoryForFile);
            return false;
        case FileRead::Unreadable:
            prompter_.Message("Unable to read file " + r.filePath);
            return false;
    }
    return false;
}

void TransmitSender::Send(bool userClick) {
    if (!request) return;
    const TransmitRequest r = request();
    if (userClick) counter_ = -1;
    std::vector<uint8_t> packet;
    if (!BuildPacket(r, packet)) return;
    if (r.continuous && !active_) {
        active_ = true;
        if (onActiveChanged) onActiveChanged(true);
    }
    target_.SendBlock(std::move(packet));
}

void TransmitSender::Notice(TransmitMessage message) {
    QMetaObject::invokeMethod(
        this,
        [this, message] {
            switch (message) {
                case TransmitMessage::AllSent:
                    AllSent();
                    break;
                case TransmitMessage::PortClosed:
                    PortClosed();
                    break;
                case TransmitMessage::PortBack:
                    PortBack();
                    break;
            }
        },
        Qt::QueuedConnection);
}

void TransmitSender::AllSent() {
    if (!active_ || !request) return;
    const TransmitRequest r = request();
    if (!r.continuous) return;
    timer_.start(RepeatIntervalMs(r.delay));
    if (onRepeatArmed) onRepeatArmed();
}

void TransmitSender::PortClosed() {
    if (active_) StopContinuous();
}

void TransmitSender::PortBack() {
    if (!active_) Send(false);
}

void TransmitSender::StopContinuous() {
    timer_.stop();
    active_ = false;
    if (onActiveChanged) onActiveChanged(false);
    target_.DiscardPendingSend();
}

bool TransmitSender::Cancel() {
    if (active_) {
        StopContinuous();
        return false;
    }
    target_.DiscardPendingSend();
    return true;
}

}  // namespace kelmor::terminal
