#pragma once
// TCSingleFlashDlg: flashes one modem on one port from an enciphered firmware file (".sff" for
// H8 modems, ".sf2"/".sf3" for H8/3069 modems) or an OEM file (".sfo").
#include <QWidget>
#include <memory>

#include "flash/flashsetup.h"
#include "flash/flashthreads.h"
#include "flash/ui/flashwidgets.h"
#include "shell/shellservices.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTimer;

namespace kelmor::flash::ui {

class TCSingleFlashDlg : public QWidget {
    Q_OBJECT
  public:
    explicit TCSingleFlashDlg(shell::ShellServices& shell, QWidget* parent = nullptr);
    ~TCSingleFlashDlg() override;

    // The run in progress, if any (a thread exists until its end has been handled).
    bool Running() const { return thread_ || thread3069_; }
    // True after the close query was answered Yes while a run still had to end.
    bool Stopping() const { return stopping_; }
    // Chooses a file as the file dialog would (tests; the dialog calls it too).
    void ChooseFile(const QString& path);

    CMassFlash& H8Engine() { return h8_; }
    CMassFlash_3069& H83069Engine() { return h3069_; }

  signals:
    // A run has ended and its result has been shown.
    void runFinished(int result);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildWindow();
    void ReadSettings();
    void LuetiedostoClick();
    void Flash_tiedostoClick();
    void h8_3069Click();
    void ThreadEnded();
    void ShowProgress();

    shell::ShellServices& shell_;
    std::unique_ptr<shell::ToolButtonLock> buttonLock_;
    // What the worker thread uses, apart from the window so that a window torn down mid-run can
    // leave it to end on its own.
    struct RunState {
        RunState(QObject* window, platform::Prompter& shown, QueuedObserver::Handlers handlers)
            : h8Prompter(window, shown, h8.abort),
              h3069Prompter(window, shown, h3069.abort),
              observer(window, 0, std::move(handlers)) {}
        CMassFlash h8;
        CMassFlash_3069 h3069;
        std::unique_ptr<TFlash_event> thread;
        std::unique_ptr<TFlash_event_3069> thread3069;
        SingleFlashJob job;
        WorkerPrompter h8Prompter;
        WorkerPrompter h3069Prompter;
        QueuedObserver observer;
    };
    std::shared_ptr<RunState> runs_;
    CMassFlash& h8_ = runs_->h8;
    CMassFlash_3069& h3069_ = runs_->h3069;
    std::unique_ptr<TFlash_event>& thread_ = runs_->thread;
    std::unique_ptr<TFlash_event_3069>& thread3069_ = runs_->thread3069;
    SingleFlashJob& job_ = runs_->job;
    WorkerPrompter& h8Prompter_ = runs_->h8Prompter;
    WorkerPrompter& h3069Prompter_ = runs_->h3069Prompter;
    QueuedObserver& observer_ = runs_->observer;
    QString fileName_;
    QString startFolder_;
    bool stopping_ = false;

    QProgressBar* init_bar = nullptr;
    QProgressBar* prog_bar = nullptr;
    QLineEdit* key_id[4] = {};
    QComboBox* portti_id = nullptr;
    QCheckBox* h8_3069 = nullptr;
    QCheckBox* paivita = nullptr;
    QCheckBox* veryslow = nullptr;
    QCheckBox* OEM_flash1 = nullptr;
    QCheckBox* HQ7Xnms = nullptr;
    QPushButton* Luetiedosto = nullptr;
    QPushButton* Flash_tiedosto = nullptr;
    QPushButton* peruuta = nullptr;
    QLabel* state_ = nullptr;
    QTimer* progressTimer_ = nullptr;
};

}  // namespace kelmor::flash::ui
