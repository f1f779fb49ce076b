#include "designer/ui/prjominaisuus.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "designer/network.h"
#include "platform/ansi.h"

namespace kelmor::designer::ui {

namespace {

// "Short|Long": the short part is the tool tip, the long one the status-bar text.
void Hint(QWidget* w, const char* hint) {
    QString text = QString::fromUtf8(hint);
    int bar = text.indexOf('|');
    w->setToolTip(bar < 0 ? text : text.left(bar));
    w->setStatusTip(bar < 0 ? text : text.mid(bar + 1));
}

QString FromAnsi(const std::string& s) { return QString::fromStdString(platform::AnsiToUtf8(s)); }
std::string ToAnsi(const QString& s) { return platform::Utf8ToAnsi(s.toStdString()); }

}  // namespace

Tprj_ominaisuus::Tprj_ominaisuus(Network& network, std::function<void()> accepted, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint),
      network_(network),
      accepted_(std::move(accepted)) {
    setObjectName("prj_ominaisuus");
    setWindowTitle("Project properties");
    setModal(false);

    auto* form = new QFormLayout;
    nimi = new QLineEdit(this);
    nimi->setObjectName("nimi");
    Hint(nimi,
         "Name of network|Give name to designed network used for documentation purpose only.");
    auto* nimiLabel = new QLabel("Name of network: ", this);
    nimiLabel->setBuddy(nimi);
    form->addRow(nimiLabel, nimi);
    netid = new QLineEdit(this);
    netid->setObjectName("netid");
    netid->setMaxLength(kMaxNetworkIdLength);
    Hint(netid,
         "Network ID|Insert network ID to separate network from other networks using same "
         "frequency. ");
    auto* netidLabel = new QLabel("Network ID (text) :", this);
    netidLabel->setBuddy(netid);
    form->addRow(netidLabel, netid);

    auto* protocol = new QGroupBox("Protocol information", this);
    auto* pform = new QFormLayout(protocol);
    addresstype = new QComboBox(protocol);
    addresstype->setObjectName("addresstype");
    for (const char* name : kProtocolNames) addresstype->addItem(QString::fromLatin1(name));
    Hint(addresstype, "Select protocol|Select used protocol from dropdown list.");
    auto* typeLabel = new QLabel("Protocol:", protocol);
    typeLabel->setBuddy(addresstype);
    pform->addRow(typeLabel, addresstype);
    m = new QSpinBox(protocol);
    m->setObjectName("m");
    m->setRange(0, 16);
    Hint(m, "Offset of address|Offset of address from begining of message.");
    auto* mLabel = new QLabel("Offset of address:", protocol);
    mLabel->setBuddy(m);
    pform->addRow(mLabel, m);
    n = new QSpinBox(protocol);
    n->setObjectName("n");
    n->setRange(1, 4);
    Hint(n, "Length of address|Length of address field in message.");
    auto* nLabel = new QLabel("Length of address:", protocol);
    nLabel->setBuddy(n);
    pform->addRow(nLabel, n);
    // Stored in the project file, read by nothing else: kept hidden.
    hexaddress = new QGroupBox("Address format", protocol);
    hexaddress->setObjectName("hexaddress");
    Hint(hexaddress,
         "Address format|Select which address format is in use when filling terminal "
         "addressies to modems.");
    auto* hexLayout = new QVBoxLayout(hexaddress);
    decimalButton = new QRadioButton("Decimal", hexaddress);
    hexadecimalButton = new QRadioButton("Hexadecimal", hexaddress);
    hexLayout->addWidget(decimalButton);
    hexLayout->addWidget(hexadecimalButton);
    hexaddress->hide();
    pform->addRow(hexaddress);

    auto* routing = new QGroupBox("RoutingType", this);
    routing->setObjectName("RoutingType");
    Hint(routing, "Routing type|Select used routing type in the network.");
    auto* rlayout = new QHBoxLayout(routing);
    sourceRouting = new QRadioButton("Source routing", routing);
    virtualRouting = new QRadioButton("Virtual routing", routing);
    rlayout->addWidget(sourceRouting);
    rlayout->addWidget(virtualRouting);

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("OKBtn");
    ok->setDefault(true);
    Hint(ok, "OK|Accept project properties.");
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("CancelBtn");
    Hint(cancel, "Cancel|Cancel operation.");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(protocol);
    layout->addWidget(routing);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &Tprj_ominaisuus::OKBtnClick);
    connect(cancel, &QPushButton::clicked, this, &Tprj_ominaisuus::CancelBtnClick);
    connect(addresstype, &QComboBox::activated, this, [this](int index) {
        if (loading_) return;
        StoreControls();
        network_.properties.ProtocolChanged(index);
        LoadControls();
    });
    auto routingClick = [this](int index) {
        if (loading_) return;
        network_.properties.RoutingTypeClick(network_, index);
    };
    connect(sourceRouting, &QRadioButton::clicked, this, [routingClick] { routingClick(0); });
    connect(virtualRouting, &QRadioButton::clicked, this, [routingClick] { routingClick(1); });
    LoadControls();
}

void Tprj_ominaisuus::LoadControls() {
    loading_ = true;
    const PropertyControls& c = network_.properties.controls;
    nimi->setText(FromAnsi(c.nimi));
    netid->setText(FromAnsi(c.netid));
    addresstype->setCurrentIndex(c.addresstype);
    n->setMaximum(c.nMax);
    m->setValue(c.m);
    n->setValue(c.n);
    m->setEnabled(c.mEnabled);
    n->setEnabled(c.nEnabled);
    decimalButton->setChecked(c.hexaddress == 0);
    hexadecimalButton->setChecked(c.hexaddress == 1);
    sourceRouting->setChecked(c.routingType == 0);
    virtualRouting->setChecked(c.routingType == 1);
    loading_ = false;
}

void Tprj_ominaisuus::StoreControls() {
    PropertyControls& c = network_.properties.controls;
    c.nimi = ToAnsi(nimi->text());
    c.netid = ToAnsi(netid->text());
    c.addresstype = addresstype->currentIndex();
    c.m = m->value();
    c.n = n->value();
    if (decimalButton->isChecked()) c.hexaddress = 0;
    if (hexadecimalButton->isChecked()) c.hexaddress = 1;
    if (sourceRouting->isChecked()) c.routingType = 0;
    if (virtualRouting->isChecked()) c.routingType = 1;
}

void Tprj_ominaisuus::ShowProperties() {
    network_.properties.Show();
    network_.properties.EnableByProtocol(false);
    LoadControls();
    show();
    raise();
    activateWindow();
    nimi->setFocus();
}

void Tprj_ominaisuus::OKBtnClick() {
    StoreControls();
    network_.properties.Ok(network_);
    hide();
    if (accepted_) accepted_();
}

void Tprj_ominaisuus::CancelBtnClick() {
    network_.properties.Cancel();
    LoadControls();
    hide();
}

}  // namespace kelmor::designer::ui
