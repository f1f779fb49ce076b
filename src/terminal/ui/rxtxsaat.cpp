#include "terminal/ui/rxtxsaat.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "terminal/buffersettings.h"

namespace kelmor::terminal {

Tpuskuriensaato::Tpuskuriensaato(QWidget* parent) : QDialog(parent) {
    setObjectName("puskuriensaato");
    setWindowTitle("CommPort buffers");
    setWindowFlag(Qt::WindowStaysOnTopHint);
    auto* grid = new QGridLayout(this);
    auto row = [this, grid](int r, const QString& caption, int max, const QString& unit) {
        auto* label = new QLabel(caption, this);
        auto* spin = new QSpinBox(this);
        spin->setRange(0, max);
        label->setBuddy(spin);
        spin->setAccessibleName(caption);
        grid->addWidget(label, r, 0);
        grid->addWidget(spin, r, 1);
        if (!unit.isEmpty()) grid->addWidget(new QLabel(unit, this), r, 2);
        return spin;
    };
    rx_ = row(0, "RX buffer length:", kMaxBufferLength, "bytes");
    tx_ = row(1, "TX buffer length:", kMaxBufferLength, "bytes");
    poll_ = row(2, "RS poll delay", 60000, "");
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton("OK", this);
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 3, 0, 1, 3);
    connect(ok, &QPushButton::clicked, this, [this] { OKClick(); });
    connect(cancel, &QPushButton::clicked, this, [this] { CancelClick(); });
}

void Tpuskuriensaato::Serve(serial::TCommPort* port) {
    port_ = port;
    if (!port) return;
    const BufferSettings s = ReadBufferSettings(*port);
    rx_->setValue(s.rxLength);
    tx_->setValue(s.txLength);
    poll_->setValue(s.pollDelayMs);
}

void Tpuskuriensaato::OKClick() {
    // The terminal may have closed meanwhile: then there is nothing to change.
    if (port_) ApplyBufferSettings(*port_, {rx_->value(), tx_->value(), poll_->value()});
    rx_->setValue(0);
    tx_->setValue(0);
    accept();
}

void Tpuskuriensaato::CancelClick() { reject(); }

}  // namespace kelmor::terminal
