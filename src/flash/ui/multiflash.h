#pragma once
// TCMultiFlashDlg: flashes up to four modems at once, one per flash channel and port, from one
// plain S-record file. Serves the two windows "MultiFlash" (kind 1) and "MultiFlash 2" (kind 2),
// which differ in their settings section and in the menu entry they hide.
#include <QWidget>
#include <array>
#include <memory>

#include "flash/channels.h"
#include "flash/flashsetup.h"
#include "flash/ui/flashwidgets.h"
#include "shell/shellservices.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTimer;

namespace kelmor::flash::ui {

class TCMultiFlashDlg : public QWidget {
    Q_OBJECT
  public:
    TCMultiFlashDlg(shell::ShellServices& shell, shell::MultiFlashKind kind,
                    QWidget* parent = nullptr);
    ~TCMultiFlashDlg() override;

    int Kind() const { return kind_; }
    // A command-line start: port (1 = COM1) for channel 1, the channel mask (bits 0..3), the
    // firmware file and the update mode (non-zero: update). Ends with remoteFinished.
    void RemoteStart(int port, int mask, const QString& file, int update);
    // Chooses a file as the file dialog would (tests; the dialog calls it too).
    void ChooseFile(const QString& path, int filterIndex = 1);

    bool Running() const { return channels_.AnyRunning(); }
    bool Stopping() const { return interrupted_ && !forced_; }
    bool ChannelRed(int index) const { return red_[static_cast<size_t>(index)]; }
    const std::string& LastSound() const { return sound_.LastPath(); }
    const std::string& LastSummary() const { return lastSummary_; }
    CFlashChannels& Channels() { return channels_; }

  signals:
    // The summary of a flashing has been made and reported.
    void flashingFinished(bool anyFailed);
    // A command-line start has ended: the program should end with this exit code (0: every
    // enabled channel succeeded).
    void remoteFinished(int exitCode);

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void BuildWindow();
    void ReadSettings();
    MultiFlashSettings CurrentSettings() const;
    MultiFlashRequest CurrentRequest() const;
    void LuetiedostoClick();
    void Flash_tiedostoClick();
    void StartChannels();
    void h8_3069Click();
    void ChannelEnded(int channel);
    void ShowProgress();
    void PaintGroup(int channel, bool red);
    void SetActive(bool active);
    void Finish(int exitCode);

    shell::ShellServices& shell_;
    int kind_;
    std::unique_ptr<shell::ToolButtonLock> buttonLock_;
    std::unique_ptr<shell::ToolButtonLock> programLock_;
    // What the worker threads use, apart from the window so that a window torn down mid-run
    // can leave it to end on its own.
    struct RunState {
        CFlashChannels channels{4};
        MultiFlashJob job;
        std::array<std::unique_ptr<WorkerPrompter>, 8> prompters;
        std::array<std::unique_ptr<QueuedObserver>, 4> observers;
        std::unique_ptr<QueuedObserver> endObserver;
    };
    std::shared_ptr<RunState> runs_ = std::make_shared<RunState>();
    CFlashChannels& channels_ = runs_->channels;
    MultiFlashJob& job_ = runs_->job;
    std::array<std::unique_ptr<WorkerPrompter>, 8>& prompters_ = runs_->prompters;
    std::array<std::unique_ptr<QueuedObserver>, 4>& observers_ = runs_->observers;
    std::unique_ptr<QueuedObserver>& endObserver_ = runs_->endObserver;
    ResultSound sound_;
    QString fileName_;
    QString startFolder_;
    int filterIndex_ = 0;
    bool remote_ = false;
    bool interrupted_ = false;
    bool forced_ = false;
    std::array<bool, 4> red_{};
    std::string lastSummary_;

    std::array<QGroupBox*, 4> groups_{};
    std::array<QProgressBar*, 4> loader_{};
    std::array<QProgressBar*, 4> softa_{};
    std::array<QCheckBox*, 4> kayta_{};
    std::array<QComboBox*, 4> portti_id_{};
    QPushButton* Luetiedosto = nullptr;
    QPushButton* Flash_tiedosto = nullptr;
    QPushButton* peruuta = nullptr;
    QCheckBox* Update = nullptr;
    QCheckBox* SpeedSelection = nullptr;
    QCheckBox* h8_3069 = nullptr;
    QCheckBox* veryslow = nullptr;
    QCheckBox* OEM_flash = nullptr;
    QCheckBox* HQ7Xnms = nullptr;
    QRadioButton* freq_24 = nullptr;
    QRadioButton* freq_33 = nullptr;
    QRadioButton* freq_var = nullptr;
    QSpinBox* kidetaajuus = nullptr;
    QAction* openTerminal_ = nullptr;
    QTimer* pakko = nullptr;
    QTimer* progressTimer_ = nullptr;
    QLabel* state_ = nullptr;
};

}  // namespace kelmor::flash::ui
