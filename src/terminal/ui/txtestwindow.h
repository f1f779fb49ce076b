#pragma once
// Ttxtestfrm: the TX test window ("RadioTests"). Start takes the chosen port from the terminals
// and keeps a test text going out on it from the writer thread; Cancel gives the port back.
#include <QWidget>
#include <array>
#include <memory>

#include "terminal/txtest.h"

class QButtonGroup;
class QLineEdit;
class QPushButton;

namespace kelmor::shell {
class ShellServices;
}

namespace kelmor::terminal {

class Ttxtestfrm : public QWidget {
    Q_OBJECT
  public:
    explicit Ttxtestfrm(shell::ShellServices& services, QWidget* parent = nullptr);
    ~Ttxtestfrm() override;

    void StartClick();
    void CancelClick();
    void CloseWindow();

    TxTestSettings Settings() const;
    void SetSettings(const TxTestSettings& settings);
    QLineEdit* TestText() const { return text_; }
    QPushButton* StartButton() const { return start_; }
    QPushButton* CancelButton() const { return cancel_; }
    TxTestSession& Session() { return *session_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QButtonGroup* AddGroup(const QString& caption, const QStringList& items, int checked,
                           int columns);

    shell::ShellServices& services_;
    std::unique_ptr<TxTestSession> session_;
    // Port number, baudrate, handshake, parity, databits, stopbits.
    std::array<QButtonGroup*, 6> groups_{};
    QLineEdit* text_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool closeWhenStopped_ = false;
};

}  // namespace kelmor::terminal
