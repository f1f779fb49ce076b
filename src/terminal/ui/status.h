#pragma once
// Tinfo: the communication status window. The modem exchange writes its progress lines here
// and, in factory mode, a byte log of the frames; the content lives in StatusLogModel.
#include <QDialog>
#include <QTimer>

#include "shell/shellservices.h"
#include "terminal/statuslog.h"

class QAction;
class QPushButton;
class QTextEdit;

namespace kelmor::terminal::ui {

class Tinfo : public QDialog, public shell::StatusLog {
    Q_OBJECT
  public:
    // save: where "Save as.." writes (tests give a chooser that answers without a dialog).
    using SaveChooser = std::function<QString(QWidget* parent)>;
    explicit Tinfo(bool factoryMode, QWidget* parent = nullptr);

    // --- shell::StatusLog ---
    void SetStatusButtons(const std::string& caption, bool enabled) override;
    void AddStatusLine(const std::string& line) override;
    void AddStatusBytes(const std::vector<uint8_t>& bytes, bool sent) override;
    // Shows the window if hidden: centred on its parent, its text cleared.
    void ShowStatus() override;

    // The one-second timer that enables Close and Save as.. again after the last line.
    void StartReenableTimer() { reenable_.start(); }
    bool ReenableTimerActive() const { return reenable_.isActive(); }

    const StatusLogModel& Model() const { return model_; }
    QTextEdit* LogArea() const { return log_; }
    QPushButton* CloseButton() const { return close_; }
    QPushButton* SaveButton() const { return save_; }
    void SetSaveChooser(SaveChooser chooser) { chooser_ = std::move(chooser); }
    // Writes the log to a file (CR LF line ends); false when it cannot be written.
    bool SaveTo(const QString& path);

  private:
    void Append(const StatusLine& line);
    void SaveClicked();

    StatusLogModel model_;
    QTextEdit* log_ = nullptr;
    QPushButton* close_ = nullptr;
    QPushButton* save_ = nullptr;
    QAction* copy_ = nullptr;
    QAction* selectAll_ = nullptr;
    QTimer reenable_;
    SaveChooser chooser_;
};

}  // namespace kelmor::terminal::ui
