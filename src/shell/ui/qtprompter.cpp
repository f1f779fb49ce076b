#include "shell/ui/qtprompter.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include "platform/ansi.h"

namespace kelmor::shell {

namespace {

platform::Answer Show(const platform::Prompt& prompt) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(prompt.caption.empty()
                           ? QApplication::applicationName()
                           : QString::fromStdString(platform::AnsiToUtf8(prompt.caption)));
    box.setText(QString::fromStdString(platform::AnsiToUtf8(prompt.text)));
    switch (prompt.icon) {
        case platform::Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case platform::Icon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case platform::Icon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case platform::Icon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case platform::Icon::None:
            break;
    }
    struct Pair {
        platform::Answer answer;
        QMessageBox::StandardButton button;
    };
    std::vector<Pair> pairs;
    switch (prompt.buttons) {
        case platform::Buttons::Ok:
            pairs = {{platform::Answer::Ok, QMessageBox::Ok}};
            break;
        case platform::Buttons::OkCancel:
            pairs = {{platform::Answer::Ok, QMessageBox::Ok},
                     {platform::Answer::Cancel, QMessageBox::Cancel}};
            break;
        case platform::Buttons::YesNo:
            pairs = {{platform::Answer::Yes, QMessageBox::Yes},
                     {platform::Answer::No, QMessageBox::No}};
            break;
        case platform::Buttons::YesNoCancel:
            pairs = {{platform::Answer::Yes, QMessageBox::Yes},
                     {platform::Answer::No, QMessageBox::No},
                     {platform::Answer::Cancel, QMessageBox::Cancel}};
            break;
    }
    QMessageBox::StandardButtons buttons;
    for (const Pair& p : pairs) buttons |= p.button;
    box.setStandardButtons(buttons);
    for (const Pair& p : pairs)
        if (p.answer == prompt.defaultButton) box.setDefaultButton(p.button);
    int chosen = box.exec();
    for (const Pair& p : pairs)
        if (chosen == p.button) return p.answer;
    // Closed with Escape or the title bar: the cancelling answer.
    if (prompt.buttons == platform::Buttons::YesNo) return platform::Answer::No;
    if (prompt.buttons == platform::Buttons::Ok) return platform::Answer::Ok;
    return platform::Answer::Cancel;
}

}  // namespace

platform::Answer QtPrompter::Ask(const platform::Prompt& prompt) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return prompt.defaultButton;
    if (QThread::currentThread() == app->thread()) return Show(prompt);
    platform::Answer answer = prompt.defaultButton;
    QMetaObject::invokeMethod(
        app, [&] { answer = Show(prompt); }, Qt::BlockingQueuedConnection);
    return answer;
}

}  // namespace kelmor::shell
