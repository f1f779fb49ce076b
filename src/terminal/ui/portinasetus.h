#pragma once
// The port settings dialog, shared by all terminals: widgets over PortSetup.
#include <QDialog>
#include <functional>

#include "terminal/portsetup.h"

class QButtonGroup;
class QCheckBox;
class QSpinBox;
class QGroupBox;

namespace kelmor::terminal {

class Tportinasetus : public QDialog {
    Q_OBJECT
  public:
    explicit Tportinasetus(QWidget* parent = nullptr);

    // Binds the dialog to a terminal, fills the controls and shows it modally.
    int ShowFor(TerminalCore& terminal, bool newTerminal);

    PortSetup& Setup() { return setup_; }
    // The controls' values now, and setting them (as the user would).
    TerminalPortSettings Values() const;
    void SetValues(const TerminalPortSettings& values);
    // Clicks a radio button of a group by caption ("Baud rate", 3), as a user does.
    void ClickRadio(const QString& group, int index);

    // Tests replace the modal loop: called instead of exec(), returns Accepted or Rejected
    // (accept() and reject() may be called inside).
    std::function<int(Tportinasetus&)> runner;

    void OKClick();

  private:
    QButtonGroup* AddGroup(QWidget* box, const QString& title, const QStringList& items,
                           int columns, const QString& hint);
    PortSetup setup_;
    QButtonGroup* port_ = nullptr;
    QButtonGroup* baud_ = nullptr;
    QButtonGroup* handshake_ = nullptr;
    QButtonGroup* parity_ = nullptr;
    QButtonGroup* databits_ = nullptr;
    QButtonGroup* stopbits_ = nullptr;
    QButtonGroup* view_ = nullptr;
    QCheckBox* mirror_ = nullptr;
    QCheckBox* echo_ = nullptr;
    QCheckBox* crLf_ = nullptr;
    QCheckBox* stamp_ = nullptr;
    QSpinBox* interval_ = nullptr;
    QSpinBox* scrollBack_ = nullptr;
    bool filling_ = false;
};

// SetHint (the two-part hint "short|long" as tool tip and status tip) is in scriptcolour.h.

}  // namespace kelmor::terminal
