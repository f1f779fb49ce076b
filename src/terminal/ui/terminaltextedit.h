#pragma once
// The terminal's text area: a plain-text widget that stays fast with a large scroll-back, plus
// the display's view of it (TextArea).
#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <QTextCursor>
#include <functional>
#include <string_view>

#include "terminal/display.h"

namespace kelmor::terminal {

class TerminalTextEdit : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit TerminalTextEdit(QWidget* parent = nullptr);

    // A typed character (Windows-1252 byte), after the key rules.
    std::function<void(uint8_t ch)> onCharacter;
    // Shift+F1 … Shift+F12.
    std::function<void(int n)> onScriptKey;
    std::function<void(const QPoint& globalPos)> onPopup;
    std::function<void(bool focused)> onFocusChanged;

    // Removes the last character, as backspace does on screen.
    void ApplyBackspace();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

// TextArea on a TerminalTextEdit. Line breaks are one character in the document.
class QtTextArea : public TextArea {
  public:
    QtTextArea(TerminalTextEdit& edit, const bool& focused) : edit_(edit), focused_(focused) {}
    size_t CharacterCount() const override;
    size_t LineCount() const override;
    size_t LineLength(size_t i) const override;
    void RemoveFront(size_t chars) override;
    void Append(std::string_view text, int colour) override;
    void AppendRuns(std::string_view text, const std::vector<RunSpan>& runs) override;
    double LineWidthWith(std::string_view text) const override;
    double AvailableWidth() const override;
    bool Focused() const override { return focused_; }
    int VisibleLines() const override;
    void SetUpdatesFrozen(bool frozen) override;
    void ScrollToBottom() override;
    void BeginBatch() override;
    void EndBatch() override;

  private:
    TerminalTextEdit& edit_;
    const bool& focused_;
    const QTextCharFormat& Format(int colour);
    double ComputeAvailableWidth() const;
    QTextCursor batch_;
    int batchDepth_ = 0;
    bool followTail_ = false;
    QTextCharFormat formats_[4];
    QColor defaultColour_;
    double charWidth_ = 0;
    double availableWidth_ = 0;  // within a batch
    bool formatsChecked_ = false;
};

}  // namespace kelmor::terminal
