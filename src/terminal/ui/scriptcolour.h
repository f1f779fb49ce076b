#pragma once
// Helpers the script and transmit windows share: their text boxes' font, mixed-text colouring,
// the box text as the bytes it sends, and two-part hints.
#include <QString>
#include <string>

class QTextEdit;
class QWidget;
class QAction;

namespace kelmor::terminal {

// Courier New 13 pixels, plain text only, vertical scroll bar.
void SetupScriptBox(QTextEdit* box);

// Default colour over the whole text and, when mixed, every valid escape (backslash and two
// hexadecimal digits) in blue; the caret stays and typing goes on in the default colour. The
// colours follow every later edit of the box until the next call.
void RecolourMixed(QTextEdit* box, bool mixed);

// The box text as Windows-1252 bytes with CR LF line breaks, and back.
std::string BoxBytes(const QTextEdit* box);
void SetBoxBytes(QTextEdit* box, const std::string& bytes);

// "short|long": the short part as tool tip, the long one in the status bar; one part is both.
void SetHint(QWidget* widget, const QString& hint);
void SetHint(QAction* action, const QString& hint);

}  // namespace kelmor::terminal
