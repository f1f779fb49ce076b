#pragma once
// Pieces both flash windows share: hints, the prompter the worker threads ask through, the
// observer that carries a run's progress into the GUI thread, and the result sound.
#include <QObject>
#include <QPointer>
#include <QString>

class QBoxLayout;
class QPushButton;
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "flash/massflashobserver.h"
#include "platform/prompter.h"

class QWidget;
class QSoundEffect;

namespace kelmor::flash::ui {

// "Short|Long": the short part is the tool tip (and the accessible name when asked for), the
// long part the status-bar text.
void SetHint(QWidget* widget, const char* hint, bool nameFromHint = false);

// The row both flash windows end with: "&Open file", "Fl&ash" (disabled until a file is
// chosen) and "Cancel", added to `layout`.
struct FlashButtons {
    QPushButton* open;
    QPushButton* flash;
    QPushButton* cancel;
};
FlashButtons AddFlashButtons(QWidget* window, QBoxLayout* layout);
QString FromAnsi(const std::string& text);
// Closes a window, inside the main window its sub-window (which asks the window first).
void CloseWindow(QWidget* window);

// The prompter a run's worker thread uses: the question is shown by the window's prompter in
// the GUI thread while the worker waits for the answer (the GUI thread never waits for the
// worker). A question raised, or still waiting to be shown, after the run's abort flag was set
// is answered No without being shown.
class WorkerPrompter : public platform::Prompter {
  public:
    WorkerPrompter(QObject* context, platform::Prompter& shown, const std::atomic<bool>& abort)
        : context_(context), shown_(shown), abort_(abort) {}
    platform::Answer Ask(const platform::Prompt& prompt) override;
    // The window is going away: from now on every prompt gets its default answer at once.
    void Close() { closed_.store(true); }

  private:
    platform::Answer AskHere(const platform::Prompt& prompt);
    std::atomic<bool> closed_{false};
    QPointer<QObject> context_;
    platform::Prompter& shown_;
    const std::atomic<bool>& abort_;
};

// Carries one run's reports into the GUI thread as queued calls. Progress is posted only when
// a progress handler is given, and then coalesced (a new position is posted once the window
// has taken the last one); the windows instead read the engines' progress counters on a timer,
// so a fast line never wakes the GUI thread.
class QueuedObserver : public FlashObserver {
  public:
    struct Handlers {
        std::function<void(int channel, int loader, int program)> progress;
        std::function<void()> begun;
        std::function<void(int channel)> ended;
    };
    QueuedObserver(QObject* context, int channel, Handlers handlers)
        : context_(context), channel_(channel), handlers_(std::move(handlers)) {}
    void Reset() {
        loader_.store(0);
        program_.store(0);
    }
    void LoaderProgress(int position) override;
    void ProgramProgress(int position) override;
    void FlashingBegun() override;
    void RunEnded(int channel) override;

  private:
    void PostProgress();
    QPointer<QObject> context_;
    int channel_;
    Handlers handlers_;
    std::atomic<int> loader_{0}, program_{0};
    std::atomic<bool> posted_{false};
};

// Tears down a window's runs when the window itself goes away while they still run (the program
// is ending): asks them to stop, answers their waiting questions with the default, and waits
// for them. running() tells whether any is still running.
// A window torn down while its runs still go hands what they use (`state`) over: it is freed
// at once when nothing runs, else by a thread of its own once running() turns false. The GUI
// thread never waits for a run; the window's queued questions die with the window, which
// releases their workers with the default answer.
void KeepUntilEnded(std::shared_ptr<void> state, std::function<bool()> running);

// Plays ok.wav / error.wav once; stopping or a new sound ends the one playing.
class ResultSound {
  public:
    ResultSound();
    ~ResultSound();
    void Play(const std::string& path);
    void Stop();
    bool Playing() const;
    const std::string& LastPath() const { return lastPath_; }

  private:
    std::unique_ptr<QSoundEffect> effect_;
    std::string lastPath_;
};

}  // namespace kelmor::flash::ui
