#include "terminal/ui/scriptcolour.h"

#include <QAction>
#include <QSyntaxHighlighter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QWidget>

#include "core/mixedtext.h"
#include "platform/ansi.h"

namespace kelmor::terminal {

namespace {

constexpr qsizetype kMaxWrappedLine = 4000;

std::pair<QString, QString> SplitHint(const QString& hint) {
    const int bar = hint.indexOf('|');
    if (bar < 0) return {hint, hint};
    return {hint.left(bar).trimmed(), hint.mid(bar + 1).trimmed()};
}

// Paints the valid escapes of a mixed text blue as each line is laid out, so the text itself
// keeps no colours: a long text costs one pass per changed line, the caret never moves, and
// undo sees only the typing. A line break is never a hexadecimal digit, so an escape never
// spans two lines and line-by-line colouring gives the same result as the whole text.
class MixedHighlighter : public QSyntaxHighlighter {
  public:
    explicit MixedHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}
    void SetMixed(bool mixed) {
        if (mixed == mixed_) return;
        mixed_ = mixed;
        rehighlight();
    }

  protected:
    void highlightBlock(const QString& text) override {
        if (!mixed_) return;
        // The escape rule works on the text's characters; anything beyond Latin-1 is no digit.
        const QByteArray latin = text.toLatin1();
        const std::string_view bytes(latin.constData(), static_cast<size_t>(latin.size()));
        QTextCharFormat blue;
        blue.setForeground(QColor(Qt::blue));
        for (size_t i = 0; i < bytes.size();) {
            if (core::IsMixedEscape(bytes, i)) {
                setFormat(static_cast<int>(i), 3, blue);
                i += 3;
            } else {
                ++i;
            }
        }
    }

  private:
    bool mixed_ = false;
};

}  // namespace

void SetupScriptBox(QTextEdit* box) {
    QFont font("Courier New");
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(13);
    box->setFont(font);
    box->setAcceptRichText(false);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setLineWrapMode(QTextEdit::WidgetWidth);
}

void RecolourMixed(QTextEdit* box, bool mixed) {
    MixedHighlighter* colours = nullptr;
    for (QObject* child : box->document()->children())
        if (auto* h = dynamic_cast<MixedHighlighter*>(child)) colours = h;
    if (!colours) colours = new MixedHighlighter(box->document());
    colours->SetMixed(mixed);
    // Typing goes on in the default colour.
    QTextCharFormat typing = box->currentCharFormat();
    typing.setForeground(box->palette().color(QPalette::Text));
    box->setCurrentCharFormat(typing);
}

std::string BoxBytes(const QTextEdit* box) {
    QString text = box->toPlainText();
    text.replace(QChar::ParagraphSeparator, '\n');
    text.replace(QChar::LineSeparator, '\n');
    text.replace("\n", "\r\n");
    return platform::Utf8ToAnsi(text.toStdString());
}

void SetBoxBytes(QTextEdit* box, const std::string& bytes) {
    QString text = QString::fromStdString(platform::AnsiToUtf8(bytes));
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    // Wrapping a line of many thousand characters takes the text widget seconds (more than
    // linear in the line's length); such a line scrolls sideways instead.
    qsizetype longest = 0, start = 0;
    for (qsizetype end = 0; end <= text.size(); ++end) {
        if (end == text.size() || text[end] == '\n') {
            longest = std::max(longest, end - start);
            start = end + 1;
        }
    }
    box->setLineWrapMode(longest > kMaxWrappedLine ? QTextEdit::NoWrap : QTextEdit::WidgetWidth);
    box->setPlainText(text);
}

void SetHint(QWidget* widget, const QString& hint) {
    auto [shortPart, longPart] = SplitHint(hint);
    widget->setToolTip(shortPart);
    widget->setStatusTip(longPart);
}

void SetHint(QAction* action, const QString& hint) {
    auto [shortPart, longPart] = SplitHint(hint);
    action->setToolTip(shortPart);
    action->setStatusTip(longPart);
}

}  // namespace kelmor::terminal
