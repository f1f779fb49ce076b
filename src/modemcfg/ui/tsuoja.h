#pragma once
// Tsuoja: the security level dialog. It raises the designer's security level from 0 to 5 or 9
// with a password; it is reached only in factory mode.
#include <QDialog>
#include <functional>

#include "platform/prompter.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kelmor::modemcfg::ui {

class Tsuoja : public QDialog {
    Q_OBJECT
  public:
    Tsuoja(bool factoryMode, platform::Prompter& prompter, QWidget* parent = nullptr);

    // The level every OK gives the designer (0 after a wrong password).
    std::function<void(int level)> levelChanged;
    // After an OK without a wrong password: the properties form, if visible, opens again.
    std::function<void()> accepted;

    int AcceptedLevel() const { return acceptedLevel_; }
    // The exchange reads the level-9 choice from the dialog.
    bool Level9Chosen() const;

    QRadioButton* taso_0 = nullptr;
    QRadioButton* taso_5 = nullptr;
    QRadioButton* taso_9 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* salasana = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* pois = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void OkClick();
    void RadioClick();

    bool factoryMode_;
    platform::Prompter& prompter_;
    int acceptedLevel_ = 0;
};

}  // namespace kelmor::modemcfg::ui
