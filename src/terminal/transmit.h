#pragma once
// The transmit window's logic: the packet it builds (counter, text, mixed escapes, CRC, CR LF,
// or a whole file), its per-port text file and settings, the delay rules, and TransmitSender,
// which sends once or continuously through a terminal with the delay measured from the end of
// one packet's transmission (the terminal's "all sent" notice) to the start of the next.
#include <QObject>
#include <QTimer>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/prompter.h"

namespace kelmor::terminal {

enum class TransmitMessage;

inline constexpr int kCounterMax = 99999;
inline constexpr int kMinRepeatMs = 190;
inline constexpr double kMinDelay = 0.2;
// The text box loads at most this much of a ".txw" file (and stops at a NUL byte), so a binary
// or huge file cannot freeze the window (the script boxes hold 64000 characters too).
inline constexpr size_t kTransmitTextCap = 64000;
// A file sent as the packet is read whole; a larger one is refused as out of memory.
inline constexpr size_t kTransmitFileCap = 64 * 1024 * 1024;

inline constexpr const char* kNoTextToSend = "Error: No text to send";
inline constexpr const char* kNoFileSelected = "No file selected";
inline constexpr const char* kFileIsEmpty = "File is empty. No text to send";
inline constexpr const char* kNoMemoryForFile = "No memory available to read file to memory";
inline constexpr const char* kNoFileChangeWhileSending =
    "Not allowed to change file while continous sending";

struct TransmitOptions {
    bool counter = false;
    bool mixed = false;
    bool crc = false;
    bool crLf = false;
};

// -1 … 99999 to the next packet number, 99999 wrapping to 0.
int NextCounter(int counter);

// The packet of the text source: counter prefix ("%05d", counter advanced first), the text
// (CR LF line breaks), escapes resolved, CRC high and low byte, CR LF.
std::vector<uint8_t> BuildTextPacket(std::string_view text, const TransmitOptions& options,
                                     int& counter);

// "Transmit window " + the first five characters of the terminal's caption.
std::string TransmitCaption(std::string_view terminalCaption);
// The caption up to its first ':' (the whole caption without one): the text file's name and
// the settings section.
std::string TransmitWindowName(std::string_view caption);
std::string TransmitTextPath(const std::string& folder, const std::string& windowName);

// "CR_LF", "Mixed", "CRC" of the window's section: a box is checked when the value is 1.
struct TransmitFlags {
    bool crLf = false;
    bool mixed = false;
    bool crc = false;
};
TransmitFlags ReadTransmitFlags(const std::string& settingsPath, const std::string& section);
bool WriteTransmitFlags(const std::string& settingsPath, const std::string& section,
                        const TransmitFlags& flags);

// The text box's content from its ".txw" file: bytes up to the cap and the first NUL byte.
struct TransmitText {
    bool found = false;
    std::string text;
    bool cut = false;  // the file held more (or a NUL byte) that was left out
};
TransmitText LoadTransmitText(const std::string& path);
// Lines of the box joined by CR LF; the old file stays whole when the write fails.
bool SaveTransmitText(const std::string& path, const std::string& text);

// A whole file as the packet.
enum class FileRead { Ok, Empty, TooLarge, Unreadable };
FileRead ReadTransmitFile(const std::string& path, std::vector<uint8_t>& bytes,
                          size_t cap = kTransmitFileCap);

// The delay edit: "," or "." as the separator; what does not convert is 0.
double ParseDelay(std::string_view text);
// The repeat timer's interval: seconds × 1000 truncated, at least 190 ms.
int RepeatIntervalMs(std::string_view delayText);
// Fixed notation with one decimal and the given separator ("0,2").
std::string FormatDelay(double value, char separator);
// Enter in the delay edit or leaving it: values below 0.2 become 0.2; empty = text stays.
std::string NormaliseDelay(std::string_view text, char separator);
std::string SpinDelay(std::string_view text, bool up, char separator);

// Where a terminal sends a transmit window's packets.
class TransmitTarget {
  public:
    virtual ~TransmitTarget() = default;
    virtual void SendBlock(std::vector<uint8_t> bytes) = 0;
    // Send buffer emptied, chunk in flight and more pending forgotten.
    virtual void DiscardPendingSend() = 0;
};

// What the window holds when Send runs.
struct TransmitRequest {
    bool fromFile = false;
    bool fileSelected = false;
    std::string filePath;
    std::string text;  // CR LF line breaks, Windows-1252
    TransmitOptions options;
    bool continuous = false;
    std::string delay;  // the delay edit's text
};

class TransmitSender : public QObject {
    Q_OBJECT
  public:
    TransmitSender(TransmitTarget& target, platform::Prompter& prompter, QObject* parent = nullptr);

    // The window's current controls.
    std::function<TransmitRequest()> request;
    // Continuous sending started or stopped ("&Send" disabled/enabled, the Cancel hint).
    std::function<void(bool active)> onActiveChanged;
    // The repeat timer started after a packet (the Cancel hint becomes the repeat one).
    std::function<void()> onRepeatArmed;

    // "&Send" (userClick restarts the counter) and the repeat timer's sends.
    void Send(bool userClick);
    // The terminal's notices; handled from the event loop, as posted messages are.
    void Notice(TransmitMessage message);
    void AllSent();
    void PortClosed();
    void PortBack();
    // Cancel: stops continuous sending (false) or, when none runs, discards the terminal's
    // pending data and returns true: the window closes.
    bool Cancel();
    void StopContinuous();

    bool Active() const { return active_; }
    int Counter() const { return counter_; }
    bool RepeatTimerActive() const { return timer_.isActive(); }
    int RepeatTimerInterval() const { return timer_.interval(); }

  private:
    bool BuildPacket(const TransmitRequest& r, std::vector<uint8_t>& packet);

    TransmitTarget& target_;
    platform::Prompter& prompter_;
    QTimer timer_;
    bool active_ = false;
    int counter_ = -1;
};

}  // namespace kelmor::terminal
