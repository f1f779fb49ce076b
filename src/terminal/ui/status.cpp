#include "terminal/ui/status.h"

#include <QAction>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include "platform/ansi.h"
#include "platform/inifile.h"

namespace kelmor::terminal::ui {

namespace {
QString Q(const std::string& text) { return QString::fromStdString(platform::AnsiToUtf8(text)); }
}  // namespace

Tinfo::Tinfo(bool factoryMode, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint),
      model_(factoryMode) {
    setObjectName("Tinfo");
    setWindowTitle(kStatusWindowCaption);
    auto* layout = new QVBoxLayout(this);
    log_ = new QTextEdit(this);
    log_->setReadOnly(true);
    log_->setAccessibleName("Status log");
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font("Courier New");
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(13);
    log_->setFont(font);
    layout->addWidget(log_);

    // Copy and select-all only in factory mode.
    copy_ = new QAction("&Copy", this);
    copy_->setShortcut(QKeySequence::Copy);
    connect(copy_, &QAction::triggered, log_, &QTextEdit::copy);
    selectAll_ = new QAction("Select &all", this);
    selectAll_->setShortcut(QKeySequence::SelectAll);
    connect(selectAll_, &QAction::triggered, log_, &QTextEdit::selectAll);
    if (factoryMode) {
        log_->setContextMenuPolicy(Qt::ActionsContextMenu);
        log_->addAction(copy_);
        log_->addAction(selectAll_);
    } else {
        log_->setContextMenuPolicy(Qt::NoContextMenu);
        log_->setTextInteractionFlags(Qt::NoTextInteraction);
    }

    auto* bar = new QHBoxLayout;
    close_ = new QPushButton("Close", this);
    save_ = new QPushButton("Save as..", this);
    bar->addStretch();
    bar->addWidget(close_);
    bar->addWidget(save_);
    layout->addLayout(bar);
    connect(close_, &QPushButton::clicked, this, &QDialog::hide);
    connect(save_, &QPushButton::clicked, this, [this] { SaveClicked(); });

    reenable_.setInterval(kReenableDelayMs);
    reenable_.setSingleShot(true);
    connect(&reenable_, &QTimer::timeout, this, [this] { SetStatusButtons(model_.caption, true); });
    resize(520, 320);
}

void Tinfo::SetStatusButtons(const std::string& caption, bool enabled) {
    if (!caption.empty()) {
        model_.caption = caption;
        setWindowTitle(Q(caption));
    }
    model_.buttonsEnabled = enabled;
    close_->setEnabled(enabled);
    save_->setEnabled(enabled);
    if (!enabled) {
        reenable_.stop();
        raise();
    }
}

void Tinfo::AddStatusLine(const std::string& line) {
    model_.AddLine(line);
    Append(model_.Lines().back());
}

void Tinfo::AddStatusBytes(const std::vector<uint8_t>& bytes, bool sent) {
    if (!model_.AddBytes(bytes, sent)) return;
    log_->setUpdatesEnabled(false);
    Append(model_.Lines().back());
    log_->setUpdatesEnabled(true);
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

void Tinfo::Append(const StatusLine& line) {
    QTextCursor cursor(log_->document());
    cursor.movePosition(QTextCursor::End);
    if (!log_->document()->isEmpty()) cursor.insertBlock();
    QTextCharFormat format;
    format.setForeground(QColor(static_cast<QRgb>(line.colour)));
    cursor.insertText(Q(line.text), format);
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

void Tinfo::ShowStatus() {
    if (isVisible()) return;
    model_.Clear();
    log_->clear();
    if (QWidget* p = parentWidget()) {
        QPoint centre = p->mapToGlobal(p->rect().center());
        move(centre - rect().center());
    }
    show();
}

bool Tinfo::SaveTo(const QString& path) {
    return platform::WriteFileAtomic(path.toStdString(), model_.Text());
}

void Tinfo::SaveClicked() {
    QString path;
    if (chooser_) {
        path = chooser_(this);
    } else {
        QFileDialog dialog(this, "Save as..");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter("Text file (*.txt)");
        dialog.setDefaultSuffix("txt");
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = dialog.selectedFiles().first();
    }
    if (!path.isEmpty()) SaveTo(path);
}

}  // namespace kelmor::terminal::ui
