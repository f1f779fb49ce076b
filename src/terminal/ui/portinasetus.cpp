#include "terminal/ui/portinasetus.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "terminal/ui/scriptcolour.h"

namespace kelmor::terminal {

QButtonGroup* Tportinasetus::AddGroup(QWidget* parent, const QString& title,
                                      const QStringList& items, int columns, const QString& hint) {
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(title);
    SetHint(box, hint);
    auto* grid = new QGridLayout(box);
    auto* group = new QButtonGroup(box);
    group->setObjectName(title);
    int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
    for (int i = 0; i < items.size(); ++i) {
        auto* radio = new QRadioButton(items[i], box);
        SetHint(radio, hint);
        group->addButton(radio, i);
        grid->addWidget(radio, i % rows, i / rows);
    }
    parent->layout()->addWidget(box);
    return group;
}

Tportinasetus::Tportinasetus(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Serial port setup");
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    auto* outer = new QVBoxLayout(this);
    auto* columns = new QWidget(this);
    auto* row = new QHBoxLayout(columns);
    row->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(columns);

    auto* c1 = new QWidget(columns);
    c1->setLayout(new QVBoxLayout);
    auto* c2 = new QWidget(columns);
    c2->setLayout(new QVBoxLayout);
    auto* c3 = new QWidget(columns);
    c3->setLayout(new QVBoxLayout);
    for (QWidget* c : {c1, c2, c3}) {
        c->layout()->setContentsMargins(0, 0, 0, 0);
        row->addWidget(c, 0, Qt::AlignTop);
    }
    QStringList ports;
    for (int i = 1; i <= 16; ++i) ports << QString("COM %1").arg(i);
    port_ = AddGroup(c1, "Port number", ports, 2, "Port|Select serial port which to use.");
    baud_ = AddGroup(
        c2, "Baud rate",
        {"300", "600", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}, 1,
        "Baudrate|Select baudrate.");
    handshake_ = AddGroup(c2, "Handshake", {"None", "Hardware", "Software", "Q5X/Q6X"}, 1,
                          "Handshake|Select handshake.");
    parity_ = AddGroup(c3, "Parity", {"None", "Odd", "Even", "Mark", "Space"}, 1,
                       "Parity|Select parity.");
    databits_ = AddGroup(c3, "Data bits", {"7", "8"}, 1, "Databits|Select databits.");
    stopbits_ = AddGroup(c3, "Stop bits", {"1", "2"}, 1, "Stopbits|Select stopbits.");
    view_ = AddGroup(c1, "View", {"ASCII", "HEX", "Mixed"}, 1, "View|Select view mode.");

    auto* misc = new QGroupBox("Miscellaneous", this);
    auto* grid = new QGridLayout(misc);
    mirror_ = new QCheckBox("Mirror", misc);
    SetHint(mirror_, "Mirror|Mirror send data to all other terminal windows.");
    echo_ = new QCheckBox("Local echo", misc);
    SetHint(echo_, "Local echo|Select if local echo is used terminal window.");
    crLf_ = new QCheckBox("CR->CR/LF", misc);
    SetHint(crLf_, "CR->CR/LF|Send converts CR character to CR/LF combination.");
    stamp_ = new QCheckBox("Time stamp", misc);
    SetHint(stamp_,
            "Add time stamp|Add time stamp to every incoming packet if interval is tricket.");
    interval_ = new QSpinBox(misc);
    interval_->setRange(0, kMaxPacketInterval);
    SetHint(interval_,
            "Add linefeedm|Add linefeed after this time interval if no character is received.");
    scrollBack_ = new QSpinBox(misc);
    scrollBack_->setRange(kMinScrollBack, kMaxScrollBack);
    grid->addWidget(mirror_, 0, 0);
    grid->addWidget(echo_, 1, 0);
    grid->addWidget(crLf_, 2, 0);
    grid->addWidget(stamp_, 3, 0);
    // Labels are the spin edits' buddies: a screen reader names each edit by its label.
    auto* intervalLabel = new QLabel("Packet interval (s):", misc);
    intervalLabel->setBuddy(interval_);
    auto* scrollBackLabel = new QLabel("Scrollback buffer size (kB) :", misc);
    scrollBackLabel->setBuddy(scrollBack_);
    grid->addWidget(intervalLabel, 0, 1);
    grid->addWidget(interval_, 1, 1);
    grid->addWidget(scrollBackLabel, 2, 1);
    grid->addWidget(scrollBack_, 3, 1);
    outer->addWidget(misc);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("OK");
    ok->setDefault(true);
    SetHint(ok, "OK|Accept these settings.");
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("Cancel");
    SetHint(cancel, "Cancel|Cancel new port operation.");
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    outer->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, [this] { OKClick(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    // Line settings take effect on the port at once (Cancel keeps them).
    connect(baud_, &QButtonGroup::idClicked, this, [this](int i) { setup_.ClickBaudrate(i); });
    connect(databits_, &QButtonGroup::idClicked, this, [this](int i) { setup_.ClickDatabits(i); });
    connect(parity_, &QButtonGroup::idClicked, this, [this](int i) { setup_.ClickParity(i); });
    connect(stopbits_, &QButtonGroup::idClicked, this, [this](int i) { setup_.ClickStopbits(i); });
    connect(handshake_, &QButtonGroup::idClicked, this,
            [this](int i) { setup_.ClickHandshake(i); });

    SetValues(TerminalPortSettings{});
    setFixedSize(sizeHint());
}

void Tportinasetus::ClickRadio(const QString& group, int index) {
    for (QButtonGroup* g : {port_, baud_, handshake_, parity_, databits_, stopbits_, view_}) {
        if (g->objectName() == group && g->button(index)) g->button(index)->click();
    }
}

TerminalPortSettings Tportinasetus::Values() const {
    TerminalPortSettings s;
    s.serialPort = port_->checkedId();
    s.baudrate = baud_->checkedId();
    s.handshake = handshake_->checkedId();
    s.parity = parity_->checkedId();
    s.databits = databits_->checkedId();
    s.stopbits = stopbits_->checkedId();
    s.viewType = view_->checkedId();
    s.mirror = mirror_->isChecked();
    s.localEcho = echo_->isChecked();
    s.crLf = crLf_->isChecked();
    s.timeStamp = stamp_->isChecked();
    s.packetInterval = interval_->value();
    s.crInterval = s.packetInterval != 0;
    s.scrollBack = scrollBack_->value();
    return s;
}

void Tportinasetus::SetValues(const TerminalPortSettings& s) {
    auto check = [](QButtonGroup* g, int i) {
        if (QAbstractButton* b = g->button(i)) b->setChecked(true);
    };
    check(port_, s.serialPort);
    check(baud_, s.baudrate);
    check(handshake_, s.handshake);
    check(parity_, s.parity);
    check(databits_, s.databits);
    check(stopbits_, s.stopbits);
    check(view_, s.viewType);
    mirror_->setChecked(s.mirror);
    echo_->setChecked(s.localEcho);
    crLf_->setChecked(s.crLf);
    stamp_->setChecked(s.timeStamp);
    interval_->setValue(s.packetInterval);
    scrollBack_->setValue(s.scrollBack);
}

int Tportinasetus::ShowFor(TerminalCore& terminal, bool newTerminal) {
    SetValues(setup_.Begin(terminal, newTerminal));
    if (runner) {
        int r = runner(*this);
        setResult(r);
        return r;
    }
    return exec();
}

void Tportinasetus::OKClick() {
    setup_.Accept(Values());
    accept();
}

}  // namespace kelmor::terminal
