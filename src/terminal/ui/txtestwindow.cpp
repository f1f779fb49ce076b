#include "terminal/ui/txtestwindow.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/ansi.h"
#include "shell/shellservices.h"
#include "terminal/ui/scriptcolour.h"

namespace kelmor::terminal {

namespace {
constexpr const char* kCancelHint = "Cancel|Close this window.";
constexpr const char* kStopHint = "Stop sending|Stop continuously sending.";
}  // namespace

Ttxtestfrm::Ttxtestfrm(shell::ShellServices& services, QWidget* parent)
    : QWidget(parent), services_(services), session_(std::make_unique<TxTestSession>()) {
    setObjectName("txtestfrm");
    setWindowTitle("RadioTests");
    setAttribute(Qt::WA_DeleteOnClose);
    session_->Port().SetPrompter(&services_.Prompter());
    session_->releasePort = [this](int i) { services_.ReleasePort(i); };
    session_->reacquirePort = [this](int i) { services_.ReacquirePort(i); };
    session_->onSendingChanged = [this](bool sending) {
        SetHint(cancel_, sending ? kStopHint : kCancelHint);
    };
    session_->onStopped = [this] {
        if (closeWhenStopped_) CloseWindow();
    };

    auto* outer = new QVBoxLayout(this);
    auto* groups = new QGridLayout;
    outer->addLayout(groups);
    QStringList ports;
    for (int n = 1; n <= 8; ++n) ports << "COM " + QString::number(n);
    groups_[0] = AddGroup("Port number", ports, 0, 2);
    groups_[1] = AddGroup(
        "Baudrate",
        {"300", "600", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}, 5, 2);
    groups_[2] = AddGroup("Handshake", {"None", "Hardware", "Software"}, 0, 1);
    groups_[3] = AddGroup("Parity", {"None", "Odd", "Even", "Mark", "Space"}, 0, 1);
    groups_[4] = AddGroup("Databits", {"7", "8"}, 1, 1);
    groups_[5] = AddGroup("Stopbits", {"1", "2"}, 0, 1);
    int column = 0;
    for (QButtonGroup* g : groups_) {
        auto* box = qobject_cast<QGroupBox*>(g->parent());
        groups->addWidget(box, column < 3 ? 0 : 1, column % 3);
        ++column;
    }

    auto* textRow = new QHBoxLayout;
    auto* label = new QLabel("Used test character:", this);
    text_ = new QLineEdit("U", this);
    label->setBuddy(text_);
    text_->setAccessibleName(label->text());
    SetHint(text_, "Character to send|Set character to use in continuous sending.");
    textRow->addWidget(label);
    textRow->addWidget(text_);
    outer->addLayout(textRow);

    auto* buttons = new QHBoxLayout;
    start_ = new QPushButton("Start", this);
    SetHint(start_, "Start sending|Stars continuously sendin of given character.");
    cancel_ = new QPushButton("Cancel", this);
    SetHint(cancel_, kCancelHint);
    buttons->addStretch();
    buttons->addWidget(start_);
    buttons->addWidget(cancel_);
    outer->addLayout(buttons);
    connect(start_, &QPushButton::clicked, this, [this] { StartClick(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { CancelClick(); });
    adjustSize();
    setFixedSize(sizeHint());
}

Ttxtestfrm::~Ttxtestfrm() {
    session_->onStopped = nullptr;
    session_->onSendingChanged = nullptr;
}

QButtonGroup* Ttxtestfrm::AddGroup(const QString& caption, const QStringList& items, int checked,
                                   int columns) {
    auto* box = new QGroupBox(caption, this);
    auto* layout = new QGridLayout(box);
    auto* group = new QButtonGroup(box);
    const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
    for (int i = 0; i < items.size(); ++i) {
        auto* radio = new QRadioButton(items[i], box);
        radio->setAccessibleDescription(caption);
        group->addButton(radio, i);
        layout->addWidget(radio, i % rows, i / rows);
    }
    group->button(checked)->setChecked(true);
    return group;
}

TxTestSettings Ttxtestfrm::Settings() const {
    TxTestSettings s;
    s.port = groups_[0]->checkedId();
    s.baudrate = groups_[1]->checkedId();
    s.handshake = groups_[2]->checkedId();
    s.parity = groups_[3]->checkedId();
    s.databits = groups_[4]->checkedId();
    s.stopbits = groups_[5]->checkedId();
    return s;
}

void Ttxtestfrm::SetSettings(const TxTestSettings& s) {
    const int ids[] = {s.port, s.baudrate, s.handshake, s.parity, s.databits, s.stopbits};
    for (size_t i = 0; i < groups_.size(); ++i)
        if (QAbstractButton* b = groups_[i]->button(ids[i])) b->setChecked(true);
}

void Ttxtestfrm::StartClick() {
    if (session_->Busy()) return;
    session_->Start(Settings(), platform::Utf8ToAnsi(text_->text().toStdString()));
}

void Ttxtestfrm::CancelClick() {
    if (session_->Busy()) {
        session_->Stop();
        return;
    }
    CloseWindow();
}

void Ttxtestfrm::CloseWindow() {
    // In the main window the frame around this window closes, and with it this window.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->close();
    else
        close();
}

void Ttxtestfrm::closeEvent(QCloseEvent* event) {
    if (session_->Busy()) {
        // Stop first; the window closes itself when the port is back with the terminals.
        closeWhenStopped_ = true;
        session_->Stop();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

}  // namespace kelmor::terminal
