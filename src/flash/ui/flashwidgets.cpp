#include "flash/ui/flashwidgets.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QThread>
#include <QUrl>
#include <QWidget>
#include <chrono>
#include <thread>
#ifdef KELMOR_HAVE_MULTIMEDIA
#include <QSoundEffect>
#else
class QSoundEffect {};
#endif

#include "platform/ansi.h"

namespace kelmor::flash::ui {

void SetHint(QWidget* widget, const char* hint, bool nameFromHint) {
    QString text = QString::fromUtf8(hint);
    int bar = text.indexOf('|');
    QString shortPart = bar < 0 ? text : text.left(bar);
    QString longPart = bar < 0 ? text : text.mid(bar + 1);
    widget->setToolTip(shortPart);
    widget->setStatusTip(longPart);
    if (nameFromHint) widget->setAccessibleName(shortPart);
}

QString FromAnsi(const std::string& text) {
    return QString::fromStdString(platform::AnsiToUtf8(text));
}

void CloseWindow(QWidget* window) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget()))
        sub->close();
    else
        window->close();
}

platform::Answer WorkerPrompter::AskHere(const platform::Prompt& prompt) {
    bool question = prompt.buttons == platform::Buttons::YesNo ||
                    prompt.buttons == platform::Buttons::YesNoCancel;
    if (question && abort_.load()) return platform::Answer::No;
    return shown_.Ask(prompt);
}

platform::Answer WorkerPrompter::Ask(const platform::Prompt& prompt) {
    if (closed_.load())
        return prompt.buttons == platform::Buttons::YesNo ? platform::Answer::No
                                                          : prompt.defaultButton;
    QObject* context = context_.data();
    if (!context || QThread::currentThread() == context->thread()) return AskHere(prompt);
    // The default answer stands if the window goes away before the question is shown.
    platform::Answer answer = prompt.defaultButton;
    if (prompt.buttons == platform::Buttons::YesNo) answer = platform::Answer::No;
    QMetaObject::invokeMethod(
        context, [&] { answer = AskHere(prompt); }, Qt::BlockingQueuedConnection);
    return answer;
}

FlashButtons AddFlashButtons(QWidget* window, QBoxLayout* layout) {
    auto make = [window](const char* name, const char* caption, const char* hint) {
        auto* button = new QPushButton(caption, window);
        button->setObjectName(name);
        SetHint(button, hint);
        return button;
    };
    FlashButtons b{make("Luetiedosto", "&Open file", "Open file|Open file to flash."),
                   make("Flash_tiedosto", "Fl&ash", "Flash|Start Flashing."),
                   make("peruuta", "Cancel", "Cancel|Cancel flashing.")};
    b.flash->setEnabled(false);
    auto* row = new QHBoxLayout;
    row->addWidget(b.open);
    row->addWidget(b.flash);
    row->addWidget(b.cancel);
    layout->addLayout(row);
    return b;
}

void KeepUntilEnded(std::shared_ptr<void> state, std::function<bool()> running) {
    if (!running()) return;
    std::thread([state = std::move(state), running = std::move(running)] {
        while (running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }).detach();
}

void QueuedObserver::LoaderProgress(int position) {
    loader_.store(position);
    PostProgress();
}

void QueuedObserver::ProgramProgress(int position) {
    program_.store(position);
    PostProgress();
}

void QueuedObserver::PostProgress() {
    if (!handlers_.progress || posted_.exchange(true)) return;
    QObject* context = context_.data();
    if (!context) return;
    QMetaObject::invokeMethod(
        context,
        [this] {
            posted_.store(false);
            if (handlers_.progress) handlers_.progress(channel_, loader_.load(), program_.load());
        },
        Qt::QueuedConnection);
}

void QueuedObserver::FlashingBegun() {
    QObject* context = context_.data();
    if (!context) return;
    QMetaObject::invokeMethod(
        context,
        [this] {
            if (handlers_.begun) handlers_.begun();
        },
        Qt::QueuedConnection);
}

void QueuedObserver::RunEnded(int channel) {
    QObject* context = context_.data();
    if (!context) return;
    // Progress still queued is shown before the end.
    QMetaObject::invokeMethod(
        context,
        [this, channel] {
            if (handlers_.ended) handlers_.ended(channel);
        },
        Qt::QueuedConnection);
}

ResultSound::ResultSound() = default;
ResultSound::~ResultSound() = default;

void ResultSound::Play(const std::string& path) {
    Stop();
    lastPath_ = path;
    if (path.empty()) return;
#ifdef KELMOR_HAVE_MULTIMEDIA
    effect_ = std::make_unique<QSoundEffect>();
    effect_->setSource(QUrl::fromLocalFile(QString::fromStdString(path)));
    effect_->play();
#endif
}

void ResultSound::Stop() {
#ifdef KELMOR_HAVE_MULTIMEDIA
    if (effect_) effect_->stop();
#endif
    effect_.reset();
}

bool ResultSound::Playing() const {
#ifdef KELMOR_HAVE_MULTIMEDIA
    return effect_ && effect_->isPlaying();
#else
    return false;
#endif
}

}  // namespace kelmor::flash::ui
