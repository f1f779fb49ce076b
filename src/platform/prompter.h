#pragma once
// Every message box and Yes/No question goes through a Prompter, so logic can be driven by a
// window (QMessageBox), by the command-line tool (terminal) or by a test (scripted fake).
#include <string>

namespace kelmor::platform {

enum class Icon { None, Information, Warning, Error, Question };

// Button sets as the message boxes use them.
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };

enum class Answer { Ok, Cancel, Yes, No };

struct Prompt {
    std::string text;     // Windows-1252 bytes, shown exactly as given
    std::string caption;  // empty: the application title ("plain message")
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
    Answer defaultButton = Answer::Ok;
};

class Prompter {
public:
    virtual ~Prompter() = default;
    // Shows the prompt and returns the button chosen. May be called from any thread;
    // implementations marshal to their own thread where needed.
    virtual Answer Ask(const Prompt& prompt) = 0;

    // A plain message: OK button, no icon, the application title as caption.
    void Message(const std::string& text) { Ask(Prompt{text, "", Icon::None, Buttons::Ok, Answer::Ok}); }
    void Message(const std::string& text, const std::string& caption, Icon icon) {
        Ask(Prompt{text, caption, icon, Buttons::Ok, Answer::Ok});
    }
    // A Yes/No question; true for Yes.
    bool Question(const std::string& text, const std::string& caption,
                  Icon icon = Icon::Question, Answer defaultButton = Answer::Yes) {
        return Ask(Prompt{text, caption, icon, Buttons::YesNo, defaultButton}) == Answer::Yes;
    }
};

// Writes prompts to standard error and answers with the default button. The process-wide
// fallback until a program installs its own prompter.
class StderrPrompter : public Prompter {
public:
    Answer Ask(const Prompt& prompt) override;
};

// The prompter that components use when their owner gave them none. Never null.
Prompter& DefaultPrompter();
void SetDefaultPrompter(Prompter* prompter);  // null restores the stderr fallback

}  // namespace kelmor::platform
