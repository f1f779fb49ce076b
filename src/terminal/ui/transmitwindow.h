#pragma once
// TLahetys: the transmit window of one terminal. It sends the text box (counter, escapes, CRC,
// CR LF) or a file through its terminal, once or continuously; TransmitSender does the sending.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "terminal/transmit.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QTextEdit;
class QToolButton;

namespace kelmor::shell {
class ShellServices;
}

namespace kelmor::terminal {

class TLahetys : public QWidget {
    Q_OBJECT
  public:
    // terminalCaption: the terminal's caption; the window keeps its first five characters.
    TLahetys(TransmitTarget& terminal, shell::ShellServices& services,
             const QString& terminalCaption, QWidget* parent = nullptr);
    ~TLahetys() override;

    // The terminal's notices (all sent, port closed, port back).
    void Notice(TransmitMessage message);
    // The terminal's transmit-window-open flag is cleared through this (hidden, cancelled,
    // closed).
    std::function<void()> onTransmitWindowClosed;

    void SendClick();
    void CancelClick();
    void ChooseFile();
    // The open dialog (replaced in tests).
    std::function<QString()> fileChooser;

    TransmitSender& Sender() { return *sender_; }
    QString WindowName() const;
    QTextEdit* TextBox() const { return text_; }
    QLineEdit* DelayEdit() const { return delay_; }
    QPushButton* SendButton() const { return send_; }
    QPushButton* CancelButton() const { return cancel_; }
    QCheckBox* CounterBox() const { return counter_; }
    QCheckBox* ContinuousBox() const { return continuous_; }
    QCheckBox* CrLfBox() const { return crLf_; }
    QCheckBox* MixedBox() const { return mixed_; }
    QCheckBox* CrcBox() const { return crc_; }
    QRadioButton* FileSource() const { return fromFile_; }
    QRadioButton* TextSource() const { return fromText_; }
    QPushButton* FilePanel() const { return filePanel_; }
    char DecimalSeparator() const { return separator_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    TransmitRequest Request() const;
    void FirstActivation();
    void DelayEntered();
    void Spin(bool up);
    void PostRecolour();
    void ActiveChanged(bool active);
    void ClearTerminalFlag();
    void SaveState();

    shell::ShellServices& services_;
    std::unique_ptr<TransmitSender> sender_;
    QRadioButton* fromFile_ = nullptr;
    QRadioButton* fromText_ = nullptr;
    QPushButton* filePanel_ = nullptr;
    QPushButton* browse_ = nullptr;
    QCheckBox* counter_ = nullptr;
    QCheckBox* continuous_ = nullptr;
    QLineEdit* delay_ = nullptr;
    QToolButton* up_ = nullptr;
    QToolButton* down_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QTextEdit* text_ = nullptr;
    QCheckBox* crLf_ = nullptr;
    QCheckBox* mixed_ = nullptr;
    QCheckBox* crc_ = nullptr;
    QMenuBar* menuBar_ = nullptr;
    QString filePath_;
    bool fileSelected_ = false;
    bool firstActivation_ = true;
    bool delayChanged_ = false;
    bool saved_ = false;
    bool storedCrc_ = false;
    char separator_ = ',';
};

}  // namespace kelmor::terminal
