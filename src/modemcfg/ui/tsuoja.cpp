#include "modemcfg/ui/tsuoja.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "modemcfg/propertiesform.h"

namespace kelmor::modemcfg::ui {

namespace {

// The password edit masks with '#'.
class HashMaskStyle : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '#';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

const char* kLevelHint = "Select security level|Select security level for modem programming.";

void SetHint(QWidget* w, const QString& hint) {
    int bar = hint.indexOf('|');
    w->setToolTip(bar < 0 ? hint : hint.left(bar));
    w->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

}  // namespace

Tsuoja::Tsuoja(bool factoryMode, platform::Prompter& prompter, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint),
      factoryMode_(factoryMode),
      prompter_(prompter) {
    setWindowTitle("Security level.");
    setObjectName("Tsuoja");
    auto* layout = new QVBoxLayout(this);
    taso_0 = new QRadioButton("Level &0", this);
    taso_5 = new QRadioButton("Level &5", this);
    taso_9 = new QRadioButton("Level &9", this);
    for (QRadioButton* r : {taso_0, taso_5, taso_9}) {
        SetHint(r, kLevelHint);
        layout->addWidget(r);
        connect(r, &QRadioButton::clicked, this, [this] { RadioClick(); });
    }
    taso_0->setChecked(true);
    auto* row = new QHBoxLayout;
    Label1 = new QLabel("Password:", this);
    salasana = new QLineEdit(this);
    salasana->setObjectName("salasana");
    salasana->setEchoMode(QLineEdit::Password);
    salasana->setMaxLength(8);
    auto* style = new HashMaskStyle;
    style->setParent(salasana);
    salasana->setStyle(style);
    SetHint(salasana,
            "Insert password|Insert password for selected sacuritylevel. No password for "
            "level 0.");
    Label1->setBuddy(salasana);
    row->addWidget(Label1);
    row->addWidget(salasana);
    layout->addLayout(row);
    auto* buttons = new QHBoxLayout;
    ok = new QPushButton("OK", this);
    ok->setDefault(true);
    SetHint(ok, "Accept security level.");
    pois = new QPushButton("Cancel", this);
    buttons->addWidget(ok);
    buttons->addWidget(pois);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, [this] { OkClick(); });
    connect(pois, &QPushButton::clicked, this, [this] { hide(); });
}

bool Tsuoja::Level9Chosen() const { return taso_9->isChecked(); }

void Tsuoja::showEvent(QShowEvent* event) {
    salasana->clear();
    taso_9->setVisible(factoryMode_);
    taso_9->setEnabled(factoryMode_);
    QRadioButton* current = acceptedLevel_ == 9 ? taso_9 : acceptedLevel_ == 5 ? taso_5 : taso_0;
    current->setChecked(true);
    RadioClick();
    QDialog::showEvent(event);
}

void Tsuoja::RadioClick() {
    const bool password = !taso_0->isChecked();
    salasana->setEnabled(password);
    Label1->setEnabled(password);
    if (password) salasana->setFocus();
}

void Tsuoja::OkClick() {
    int chosen = taso_9->isChecked() ? 9 : taso_5->isChecked() ? 5 : 0;
    bool wrong = false;
    acceptedLevel_ = AcceptedSecurityLevel(chosen, salasana->text().toStdString(), wrong);
    if (wrong) {
        prompter_.Message(kWrongPasswordText);
        salasana->clear();
        salasana->setFocus();
    }
    if (levelChanged) levelChanged(acceptedLevel_);
    if (wrong) return;
    hide();
    if (accepted) accepted();
}

}  // namespace kelmor::modemcfg::ui
