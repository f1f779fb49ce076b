#include "terminal/ui/scriptcolour.h"

#include <QAction>
#include <QTextCursor>
#include <QTextEdit>
#include <QWidget>

#include "core/mixedtext.h"
#include "platform/ansi.h"

namespace kelmor::terminal {

namespace {

std::pair<QString, QString> SplitHint(const QString& hint) {
    const int bar = hint.indexOf('|');
    if (bar < 0) return {hint, hint};
    return {hint.left(bar).trimmed(), hint.mid(bar + 1).trimmed()};
}

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
    const QColor normal = box->palette().color(QPalette::Text);
    const QString text = box->toPlainText();
    const int caret = box->textCursor().position();
    const int anchor = box->textCursor().anchor();
    const bool blocked = box->blockSignals(true);
    box->setUpdatesEnabled(false);
    QTextCursor cursor(box->document());
    cursor.beginEditBlock();
    QTextCharFormat plain;
    plain.setForeground(normal);
    cursor.select(QTextCursor::Document);
    cursor.setCharFormat(plain);
    if (mixed) {
        // The escape rule works on the text's characters; anything beyond Latin-1 is no digit.
        const std::string latin = text.toLatin1().toStdString();
        QTextCharFormat blue;
        blue.setForeground(QColor(Qt::blue));
        for (size_t i = 0; i < latin.size();) {
            if (core::IsMixedEscape(latin, i)) {
                cursor.setPosition(static_cast<int>(i));
                cursor.setPosition(static_cast<int>(i) + 3, QTextCursor::KeepAnchor);
                cursor.setCharFormat(blue);
                i += 3;
            } else {
                ++i;
            }
        }
    }
    cursor.endEditBlock();
    QTextCursor caretCursor = box->textCursor();
    caretCursor.setPosition(std::min(anchor, static_cast<int>(text.size())));
    caretCursor.setPosition(std::min(caret, static_cast<int>(text.size())),
                            QTextCursor::KeepAnchor);
    box->setTextCursor(caretCursor);
    QTextCharFormat typing = box->currentCharFormat();
    typing.setForeground(normal);
    box->setCurrentCharFormat(typing);
    box->setUpdatesEnabled(true);
    box->blockSignals(blocked);
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
