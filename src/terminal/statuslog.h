#pragma once
// The content of the communication status window: progress lines of the modem exchange and,
// in factory mode, a byte log of the frames (sent in green, received in blue). The window only
// shows what this model holds.
#include <cstdint>
#include <string>
#include <vector>

namespace kelmor::terminal {

inline constexpr const char* kStatusWindowCaption = "Serial port communication status";
inline constexpr uint32_t kDefaultTextColour = 0x000000;  // RGB
inline constexpr uint32_t kSentColour = 0x008000;         // green
inline constexpr uint32_t kReceivedColour = 0x0000FF;     // blue
inline constexpr int kReenableDelayMs = 1000;

struct StatusLine {
    std::string text;  // Windows-1252 bytes as the exchange wrote them
    uint32_t colour = kDefaultTextColour;
    bool operator==(const StatusLine&) const = default;
};

class StatusLogModel {
  public:
    // The byte log is kept only in factory mode.
    explicit StatusLogModel(bool factoryMode = false) : factoryMode_(factoryMode) {}

    void SetFactoryMode(bool on) { factoryMode_ = on; }
    bool FactoryMode() const { return factoryMode_; }

    void AddLine(const std::string& text);
    // Factory mode only: an empty line, then each byte as "\XX" in the frame's colour. False
    // (nothing added) outside factory mode.
    bool AddBytes(const std::vector<uint8_t>& bytes, bool sent);
    void Clear() { lines_.clear(); }

    const std::vector<StatusLine>& Lines() const { return lines_; }
    // The lines as a text file holds them, each followed by CR LF.
    std::string Text() const;

    // The caption the exchange set and whether Close / Save as.. are enabled.
    std::string caption = kStatusWindowCaption;
    bool buttonsEnabled = true;

  private:
    bool factoryMode_;
    std::vector<StatusLine> lines_;
};

}  // namespace kelmor::terminal
