#include "terminal/ui/terminaltextedit.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "platform/ansi.h"

namespace kelmor::terminal {

TerminalTextEdit::TerminalTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setTabChangesFocus(false);
    setUndoRedoEnabled(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font("Courier New");
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(13);
    // A terminal shows single bytes, no ligatures or complex scripts: skip the shaper's
    // features (the mixed view lays out one text item per coloured run).
    font.setStyleStrategy(QFont::PreferNoShaping);
    setFont(font);
    setFocusPolicy(Qt::StrongFocus);
}

void TerminalTextEdit::keyPressEvent(QKeyEvent* event) {
    Qt::KeyboardModifiers mods = event->modifiers();
    int key = event->key();
    bool shift = mods & Qt::ShiftModifier, ctrl = mods & Qt::ControlModifier,
         alt = mods & Qt::AltModifier;
    if (shift && !ctrl && !alt && key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        if (onScriptKey) onScriptKey(key - Qt::Key_F1 + 1);
        return;
    }
    int ch = -1;
    if (ctrl && key >= Qt::Key_A && key <= Qt::Key_Z) {
        ch = key - Qt::Key_A + 1;
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        ch = 13;
    } else if (key == Qt::Key_Backspace) {
        ch = 8;
    } else if (key == Qt::Key_Tab) {
        ch = 9;
    } else if (key == Qt::Key_Escape) {
        ch = 27;
    } else if (!ctrl && !event->text().isEmpty()) {
        std::string bytes = platform::Utf8ToAnsi(event->text().toStdString());
        for (char c : bytes)
            if (onCharacter) onCharacter(static_cast<uint8_t>(c));
        return;
    }
    if (ch >= 0) {
        if (onCharacter) onCharacter(static_cast<uint8_t>(ch));
        return;
    }
    // With Ctrl held nothing else reaches the text; other keys move the view.
    if (!ctrl) QPlainTextEdit::keyPressEvent(event);
}

void TerminalTextEdit::ApplyBackspace() {
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.deletePreviousChar();
}

void TerminalTextEdit::contextMenuEvent(QContextMenuEvent* event) {
    if (onPopup) onPopup(event->globalPos());
}

void TerminalTextEdit::focusInEvent(QFocusEvent* event) {
    QPlainTextEdit::focusInEvent(event);
    if (onFocusChanged) onFocusChanged(true);
}

void TerminalTextEdit::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    if (onFocusChanged) onFocusChanged(false);
}

// ---- QtTextArea ----

size_t QtTextArea::CharacterCount() const {
    int n = edit_.document()->characterCount();
    return n > 0 ? static_cast<size_t>(n - 1) : 0;
}

size_t QtTextArea::LineCount() const { return static_cast<size_t>(edit_.document()->blockCount()); }

size_t QtTextArea::LineLength(size_t i) const {
    QTextDocument* doc = edit_.document();
    QTextBlock block = doc->findBlockByNumber(static_cast<int>(i));
    if (!block.isValid()) return 0;
    // Every block's length counts its separator; the last one has none in CharacterCount.
    int len = block.length();
    if (block.blockNumber() == doc->blockCount() - 1) --len;
    return len > 0 ? static_cast<size_t>(len) : 0;
}

void QtTextArea::RemoveFront(size_t chars) {
    // A new cursor stands at the start already; moving it there would lay out the first
    // block for nothing.
    QTextCursor cursor(edit_.document());
    cursor.setPosition(static_cast<int>(std::min(chars, CharacterCount())),
                       QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

const QTextCharFormat& QtTextArea::Format(int colour) {
    if (colour < 0 || colour > 3) colour = 0;
    // The palette can change between appends, not within one received chunk.
    if (batchDepth_ > 0 && formatsChecked_) return formats_[colour];
    formatsChecked_ = batchDepth_ > 0;
    QColor text = edit_.palette().color(QPalette::Text);
    if (formats_[0].foreground().color() != text ||
        !formats_[0].hasProperty(QTextFormat::ForegroundBrush)) {
        formats_[0].setForeground(text);
        formats_[1].setForeground(QColor(0, 0, 255));
        formats_[2].setForeground(QColor(128, 0, 0));
        formats_[3].setForeground(QColor(255, 0, 0));
    }
    return formats_[colour];
}

void QtTextArea::Append(std::string_view text, int colour) {
    if (text.empty()) return;
    QString s(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
    QChar* out = s.data();
    for (char c : text)
        *out++ =
            QChar(static_cast<char16_t>(platform::AnsiToCodePoint(static_cast<unsigned char>(c))));
    if (batchDepth_ > 0) {
        // The cursor stays at the end after each insertion. movePosition would lay out the
        // last block each time (it computes the x position), which costs more than the
        // insertion itself.
        if (!batch_.atEnd()) batch_.setPosition(static_cast<int>(CharacterCount()));
        batch_.insertText(s, Format(colour));
        return;
    }
    QTextCursor cursor(edit_.document());
    cursor.setPosition(static_cast<int>(CharacterCount()));
    cursor.insertText(s, Format(colour));
}

// One insertion in the default colour, then the other runs recoloured: far fewer document
// edits than one insertion per run when the mixed view alternates colours every few bytes.
void QtTextArea::AppendRuns(std::string_view text, const std::vector<RunSpan>& runs) {
    if (text.empty()) return;
    if (batchDepth_ == 0) return TextArea::AppendRuns(text, runs);
    QString s(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
    QChar* out = s.data();
    for (char c : text)
        *out++ =
            QChar(static_cast<char16_t>(platform::AnsiToCodePoint(static_cast<unsigned char>(c))));
    if (!batch_.atEnd()) batch_.setPosition(static_cast<int>(CharacterCount()));
    const int start = batch_.position();
    const int first = runs.empty() ? 0 : runs.front().colour;
    batch_.insertText(s, Format(first));
    // Document positions: a CR LF pair is one block separator (pairs never straddle runs).
    int position = start;
    QTextCursor paint(edit_.document());
    for (const RunSpan& run : runs) {
        int length = 0;
        for (size_t i = run.begin; i < run.begin + run.length; ++i) {
            if (text[i] == '\r' && i + 1 < run.begin + run.length && text[i + 1] == '\n') ++i;
            ++length;
        }
        if (run.colour != first && length > 0) {
            paint.setPosition(position);
            paint.setPosition(position + length, QTextCursor::KeepAnchor);
            paint.setCharFormat(Format(run.colour));
        }
        position += length;
    }
}

double QtTextArea::LineWidthWith(std::string_view text) const {
    QTextBlock last = edit_.document()->lastBlock();
    double charWidth =
        batchDepth_ > 0 ? charWidth_ : edit_.fontMetrics().horizontalAdvance(QLatin1Char('W'));
    return (std::max(last.length() - 1, 0) + static_cast<double>(text.size())) * charWidth;
}

double QtTextArea::AvailableWidth() const {
    return batchDepth_ > 0 ? availableWidth_ : ComputeAvailableWidth();
}

double QtTextArea::ComputeAvailableWidth() const {
    int scroll = edit_.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    return std::max(edit_.width() - 2 * scroll, 1);
}

int QtTextArea::VisibleLines() const {
    int h = edit_.fontMetrics().boundingRect("Wg").height();
    return h > 0 ? edit_.viewport()->height() / h - 1 : 0;
}

void QtTextArea::BeginBatch() {
    if (batchDepth_++ == 0) {
        // A view resting on the last line keeps following it, as a caret at the end would.
        QScrollBar* bar = edit_.verticalScrollBar();
        followTail_ = bar->value() >= bar->maximum();
        batch_ = QTextCursor(edit_.document());
        batch_.beginEditBlock();
        charWidth_ = edit_.fontMetrics().horizontalAdvance(QLatin1Char('W'));
        formatsChecked_ = false;
        availableWidth_ = ComputeAvailableWidth();
    }
}

void QtTextArea::EndBatch() {
    if (batchDepth_ > 0 && --batchDepth_ == 0) {
        batch_.endEditBlock();
        if (followTail_) ScrollToBottom();
    }
}

void QtTextArea::SetUpdatesFrozen(bool frozen) { edit_.viewport()->setUpdatesEnabled(!frozen); }

void QtTextArea::ScrollToBottom() {
    QScrollBar* bar = edit_.verticalScrollBar();
    bar->setValue(bar->maximum());
}

}  // namespace kelmor::terminal
