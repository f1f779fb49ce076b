#pragma once
// The terminal's text display as logic: byte-to-text conversion of the three views, appending
// with colours, scroll-back trimming and the log file. The text widget sits behind TextArea,
// so tests and benchmarks drive the same code as the window.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/prompter.h"

namespace kelmor::terminal {

enum ViewType : int { kViewText = 0, kViewHex = 1, kViewMixed = 2 };

// Colour codes of appended text.
enum ColourCode : int {
    kColourDefault = 0,  // the window text colour
    kColourBlue = 1,     // hexadecimal bytes
    kColourMaroon = 2,   // time stamps
    kColourRed = 3,      // line errors
};

inline constexpr int kDefaultScrollBack = 65536;
inline constexpr int kTrimMargin = 1024;

// One piece of converted output: text[begin, begin + length) in one colour.
struct RunSpan {
    size_t begin = 0;
    size_t length = 0;
    int colour = kColourDefault;
};

// Converts received bytes by view type. The text view keeps the last line-break byte across
// calls, so a CR LF split between two reads still gives one line break.
class DisplayConverter {
  public:
    // Output text (Windows-1252 bytes) and its runs; valid until the next Convert.
    void Convert(const uint8_t* bytes, size_t count, int viewType);
    const std::string& Text() const { return text_; }
    const std::vector<RunSpan>& Runs() const { return runs_; }

  private:
    enum class LastBreak { None, Cr, Lf };
    void ConvertText(const uint8_t* bytes, size_t count);
    void ConvertHex(const uint8_t* bytes, size_t count);
    void ConvertMixed(const uint8_t* bytes, size_t count);
    void AppendHexByte(uint8_t byte);

    LastBreak lastBreak_ = LastBreak::None;
    std::string text_;
    std::vector<RunSpan> runs_;
};

// The text widget as the display sees it. A line break counts as one character; text is
// Windows-1252 bytes and may hold "\r\n", "\r" or "\n" line breaks (each pair is one break).
class TextArea {
  public:
    virtual ~TextArea() = default;
    virtual size_t CharacterCount() const = 0;
    virtual size_t LineCount() const = 0;
    // Characters of line i including its line break (the last line has none).
    virtual size_t LineLength(size_t i) const = 0;
    // Removes the first `chars` characters.
    virtual void RemoveFront(size_t chars) = 0;
    virtual void Append(std::string_view text, int colour) = 0;
    // The runs of one converted chunk, in order: the same as appending each run. A widget may
    // insert them in one go.
    virtual void AppendRuns(std::string_view text, const std::vector<RunSpan>& runs) {
        for (const RunSpan& run : runs)
            if (run.length > 0) Append(text.substr(run.begin, run.length), run.colour);
    }
    // Width in pixels of the caret's (last) line followed by text, and the width available
    // to a line before it wraps; 0 when the area does not wrap.
    virtual double LineWidthWith(std::string_view text) const = 0;
    virtual double AvailableWidth() const = 0;
    virtual bool Focused() const = 0;
    virtual int VisibleLines() const = 0;
    virtual void SetUpdatesFrozen(bool frozen) = 0;
    virtual void ScrollToBottom() = 0;
    // The appends of one received chunk, so the widget lays out once per chunk, not per run.
    virtual void BeginBatch() {}
    virtual void EndBatch() {}
};

// A text area held in memory (tests, benchmarks, a display without a window).
class MemoryTextArea : public TextArea {
  public:
    size_t CharacterCount() const override;
    size_t LineCount() const override { return lineLengths_.size(); }
    size_t LineLength(size_t i) const override;
    void RemoveFront(size_t chars) override;
    void Append(std::string_view text, int colour) override;
    double LineWidthWith(std::string_view) const override { return 0; }
    double AvailableWidth() const override { return 0; }
    bool Focused() const override { return focused; }
    int VisibleLines() const override { return 20; }
    void SetUpdatesFrozen(bool) override {}
    void ScrollToBottom() override {}

    // Text with every line break as "\n", and the colour of each character.
    const std::string& PlainText() const { return text_; }
    const std::vector<int>& Colours() const { return colours_; }
    void Clear();
    bool focused = false;

  private:
    std::string text_;
    std::vector<int> colours_;
    std::vector<size_t> lineLengths_{0};
};

// Writes everything the display inserts to a file, and counts it.
class DisplayLog {
  public:
    ~DisplayLog() { Stop(); }
    // Creates (truncates) the file; false with a readable reason when it cannot.
    bool Start(const std::string& path, std::string& error);
    void Stop();
    bool On() const { return file_ != nullptr; }
    uint64_t Total() const { return total_; }
    // Writes to the file since it was created.
    uint64_t Writes() const { return writes_; }
    const std::string& Path() const { return path_; }
    // False (and logging stops) when the write fails.
    bool Write(std::string_view text, std::string& error);

  private:
    std::FILE* file_ = nullptr;
    uint64_t total_ = 0;
    uint64_t writes_ = 0;
    std::string path_;
};

// One terminal's display: ShowData and AppendText on a TextArea, with trimming and logging.
class TerminalDisplay {
  public:
    explicit TerminalDisplay(TextArea& area) : area_(&area) {}

    void SetViewType(int viewType) { viewType_ = viewType; }
    int ViewType() const { return viewType_; }
    // Scroll-back maximum in bytes; the trim target follows it (maximum - 1024).
    void SetScrollBackMaximum(int bytes);
    int ScrollBackMaximum() const { return scrollBackMaximum_; }
    int TrimTarget() const { return trimTarget_; }

    // Converts by the view type and appends. The caller's bytes are not touched.
    void ShowData(const uint8_t* bytes, size_t count);
    void ShowData(const std::vector<uint8_t>& bytes) { ShowData(bytes.data(), bytes.size()); }
    // Appends text (Windows-1252 bytes) in a colour; returns the visual lines it adds by wrapping.
    int AppendText(std::string_view text, int colour);

    // Log file. StartLog reports a failure through the prompter and leaves the log off.
    bool StartLog(const std::string& path);
    void StopLog();
    bool LogOn() const { return log_.On(); }
    uint64_t LogTotal() const { return log_.Total(); }
    uint64_t LogWrites() const { return log_.Writes(); }
    // Called when the log starts, stops, or its total changes.
    std::function<void(bool on, uint64_t total)> onLogChanged;

    void SetPrompter(platform::Prompter* prompter) { prompter_ = prompter; }

  private:
    void Trim();
    // Appends one run; the text inserted is added to *logged when it is given.
    int Insert(std::string_view text, int colour, std::string* logged);
    void Log(std::string_view text);
    platform::Prompter& Prompter() const;

    TextArea* area_;
    DisplayConverter converter_;
    int viewType_ = kViewText;
    int scrollBackMaximum_ = kDefaultScrollBack;
    int trimTarget_ = kDefaultScrollBack - kTrimMargin;
    DisplayLog log_;
    platform::Prompter* prompter_ = nullptr;
};

// "(" + date and time + ")": the time stamp put before received data.
std::string TimeStampText();

}  // namespace kelmor::terminal
