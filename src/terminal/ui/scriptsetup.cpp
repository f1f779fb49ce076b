#include "terminal/ui/scriptsetup.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "platform/inifile.h"
#include "platform/programdir.h"
#include "platform/prompter.h"
#include "shell/shellservices.h"
#include "terminal/ui/scriptcolour.h"
#include "terminal/ui/terminaali.h"

namespace kelmor::terminal {

TScriptSetup::TScriptSetup(shell::ShellServices& services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), services_(services) {
    setObjectName("ScriptSetup");
    setWindowTitle("Script setup");

    auto* outer = new QVBoxLayout(this);
    menuBar_ = new QMenuBar(this);
    outer->setMenuBar(menuBar_);
    fileMenu_ = menuBar_->addMenu("&File");
    QAction* load = fileMenu_->addAction("Load ...", this, [this] { LoadCommand(); });
    SetHint(load, "Load shortcut data from file...");
    QAction* saveAs = fileMenu_->addAction("Save as...", this, [this] { SaveAsCommand(); });
    SetHint(saveAs, "Save shotcut data to file...");
    // Factory mode as it is when the window is made.
    const bool factory = services_.FactoryMode();
    fileMenu_->menuAction()->setVisible(factory);
    fileMenu_->menuAction()->setEnabled(factory);

    QMenu* edit = menuBar_->addMenu("&Edit");
    SetHint(edit->menuAction(), "Cut, Copy, Paste, Select all.");
    QAction* cut = edit->addAction("Cu&t", this, [this] {
        if (QTextEdit* box = FocusedBox()) box->cut();
    });
    cut->setShortcut(QKeySequence("Ctrl+X"));
    QAction* copy = edit->addAction("&Copy", this, [this] {
        if (QTextEdit* box = FocusedBox()) box->copy();
    });
    copy->setShortcut(QKeySequence("Ctrl+C"));
    QAction* paste = edit->addAction("&Paste", this, [this] {
        QTextEdit* box = FocusedBox();
        if (!box) return;
        box->paste();
        for (int i = 0; i < kScriptCount; ++i)
            if (boxes_[static_cast<size_t>(i)] == box) PostRecolour(i);
    });
    paste->setShortcut(QKeySequence("Ctrl+V"));

    auto* grid = new QGridLayout;
    outer->addLayout(grid);
    for (int i = 0; i < kScriptCount; ++i) {
        const QString n = QString::number(i + 1);
        auto* label = new QLabel("Shift-F" + n + " :", this);
        auto* box = new QTextEdit(this);
        box->setObjectName("RichEdit" + n);
        SetupScriptBox(box);
        box->setFixedHeight(38);
        box->setMinimumWidth(420);
        SetHint(box, "Add script|Add script text for shift-function button");
        box->setAccessibleName(label->text());
        label->setBuddy(box);
        box->installEventFilter(this);
        connect(box, &QTextEdit::textChanged, this, [box] {
            // At most 64000 characters, as the box has always held.
            const QString text = box->toPlainText();
            if (text.size() <= static_cast<qsizetype>(kMaxScriptChars)) return;
            QTextCursor c(box->document());
            c.setPosition(static_cast<int>(kMaxScriptChars));
            c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            c.removeSelectedText();
        });
        auto* check = new QCheckBox("Mixed", this);
        check->setObjectName("Mixed" + n);
        check->setAccessibleDescription("Shift-F" + n);
        SetHint(check, "Mixed script|This script text shoud handle as mixed text (hex and ASCII).");
        connect(check, &QCheckBox::clicked, this, [this, i] { PostRecolour(i); });
        grid->addWidget(label, i, 0);
        grid->addWidget(box, i, 1);
        grid->addWidget(check, i, 2);
        boxes_[static_cast<size_t>(i)] = box;
        mixed_[static_cast<size_t>(i)] = check;
    }

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("Okbtn");
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setObjectName("peruuta");
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    outer->addLayout(buttons);
    connect(ok_, &QPushButton::clicked, this, [this] { OkbtnClick(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { peruutaClick(); });
    adjustSize();

    ScriptLoad load0 = LoadScripts(platform::ProgramDir(), platform::SettingsPath());
    if (load0.found) SetScripts(load0.scripts);
    if (!load0.message.empty()) services_.Prompter().Message(load0.message);
}

ScriptSet TScriptSetup::Scripts() const {
    ScriptSet s;
    for (size_t i = 0; i < boxes_.size(); ++i) {
        s.texts[i] = BoxBytes(boxes_[i]);
        s.mixed[i] = mixed_[i]->isChecked();
    }
    return s;
}

void TScriptSetup::SetScripts(const ScriptSet& scripts) {
    for (size_t i = 0; i < boxes_.size(); ++i) {
        mixed_[i]->setChecked(scripts.mixed[i]);
        SetBoxBytes(boxes_[i], scripts.texts[i]);
        PostRecolour(static_cast<int>(i));
    }
}

std::vector<uint8_t> TScriptSetup::ScriptPacket(int n) const {
    if (n < 1 || n > kScriptCount) return {};
    const size_t i = static_cast<size_t>(n - 1);
    return ScriptBytes(BoxBytes(boxes_[i]), mixed_[i]->isChecked());
}

void TScriptSetup::SendScript(int n, Tterminaali* terminal) {
    if (!terminal) return;
    SendScript(n,
               [terminal](std::vector<uint8_t> bytes) { terminal->SendBlock(std::move(bytes)); });
}

void TScriptSetup::SendScript(int n, const std::function<void(std::vector<uint8_t>)>& sendBlock) {
    if (sendBlock) sendBlock(ScriptPacket(n));
}

bool TScriptSetup::Save() {
    if (SaveScripts(platform::ProgramDir(), platform::SettingsPath(), Scripts())) return true;
    services_.Prompter().Message(platform::kIniWriteFailed);
    return false;
}

void TScriptSetup::OkbtnClick() {
    Save();
    hide();
}

void TScriptSetup::peruutaClick() { hide(); }

void TScriptSetup::ProgramEnding() {
    if (isVisible()) Save();
}

void TScriptSetup::LoadCommand() {
    const QString path = fileChooser ? fileChooser(false)
                                     : QFileDialog::getOpenFileName(
                                           this, {}, QString::fromStdString(platform::ProgramDir()),
                                           "Script text file (*.stf)");
    if (path.isEmpty()) return;
    ScriptSet scripts = Scripts();
    std::string message;
    if (!LoadStfFile(path.toStdString(), scripts, message)) {
        services_.Prompter().Message(message);
        return;
    }
    SetScripts(scripts);
}

void TScriptSetup::SaveAsCommand() {
    const QString path = fileChooser ? fileChooser(true)
                                     : QFileDialog::getSaveFileName(
                                           this, {}, QString::fromStdString(platform::ProgramDir()),
                                           "Script text file (*.stf)");
    if (path.isEmpty()) return;
    std::string message;
    if (!SaveStfFile(path.toStdString(), Scripts(), message)) services_.Prompter().Message(message);
}

bool TScriptSetup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        for (int i = 0; i < kScriptCount; ++i) {
            if (watched != boxes_[static_cast<size_t>(i)]) continue;
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
                cancel_->click();
                return true;
            }
            PostRecolour(i);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TScriptSetup::PostRecolour(int index) {
    // WM_SCRIPT_RECOLOUR: after the key or the click has done its work.
    QMetaObject::invokeMethod(
        this,
        [this, index] {
            const size_t i = static_cast<size_t>(index);
            RecolourMixed(boxes_[i], mixed_[i]->isChecked());
        },
        Qt::QueuedConnection);
}

QTextEdit* TScriptSetup::FocusedBox() const {
    for (QTextEdit* box : boxes_)
        if (box->hasFocus()) return box;
    return nullptr;
}

}  // namespace kelmor::terminal
