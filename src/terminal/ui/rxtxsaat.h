#pragma once
// Tpuskuriensaato: the buffer settings dialog ("CommPort buffers"). The main window fills it
// from the active terminal's port; OK puts the values on that port at once.
#include <QDialog>
#include <QPointer>

#include "serial/commport.h"

class QSpinBox;

namespace kelmor::terminal {

class Tpuskuriensaato : public QDialog {
    Q_OBJECT
  public:
    explicit Tpuskuriensaato(QWidget* parent = nullptr);

    // Fills the three values from the port and serves it until the next Serve.
    void Serve(serial::TCommPort* port);
    serial::TCommPort* Served() const { return port_; }

    void OKClick();
    void CancelClick();

    QSpinBox* RxLength() const { return rx_; }
    QSpinBox* TxLength() const { return tx_; }
    QSpinBox* PollDelay() const { return poll_; }

  private:
    QPointer<serial::TCommPort> port_;
    QSpinBox* rx_ = nullptr;
    QSpinBox* tx_ = nullptr;
    QSpinBox* poll_ = nullptr;
};

}  // namespace kelmor::terminal
