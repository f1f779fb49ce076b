// kelmor: the program. Creates the application-wide windows in their order and runs the loop.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "platform/prompter.h"
#include "shell/shellsettings.h"
#include "shell/ui/pohja.h"
#include "shell/ui/qtprompter.h"

namespace {

bool HasDisplay() {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v != nullptr && *v != '\0';
    };
    if (set("DISPLAY") || set("WAYLAND_DISPLAY")) return true;
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform == nullptr) return false;
    std::string p(platform);
    return p.rfind("offscreen", 0) == 0 || p.rfind("minimal", 0) == 0 || p.rfind("vnc", 0) == 0 ||
           p.rfind("linuxfb", 0) == 0 || p.rfind("eglfs", 0) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (!HasDisplay()) {
        std::fprintf(stderr,
                     "kelmor: no display (set DISPLAY or WAYLAND_DISPLAY, or run with "
                     "QT_QPA_PLATFORM=offscreen); the headless front end is kelmor-tool\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(kelmor::shell::kApplicationTitle);
    kelmor::shell::QtPrompter prompter;
    kelmor::platform::SetDefaultPrompter(&prompter);
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    int rc = 1;
    try {
        // The main window first (so it is the main form); it creates the other single
        // instances in their order (shell/ui/singleinstances.cpp).
        kelmor::shell::TPohjafrm main(arguments);
        main.show();
        rc = app.exec();
        // A remote flash start ends with its own exit code (0: every channel succeeded).
        if (main.ExitCode() != 0) rc = main.ExitCode();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, kelmor::shell::kApplicationTitle, e.what());
    }
    kelmor::platform::SetDefaultPrompter(nullptr);
    return rc;
}
