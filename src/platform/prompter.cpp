#include "platform/prompter.h"

#include <atomic>
#include <cstdio>

namespace kelmor::platform {

Answer StderrPrompter::Ask(const Prompt& prompt) {
    if (prompt.caption.empty())
        std::fprintf(stderr, "%s\n", prompt.text.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", prompt.caption.c_str(), prompt.text.c_str());
    return prompt.defaultButton;
}

namespace {
StderrPrompter stderrPrompter;
std::atomic<Prompter*> installed{nullptr};
}  // namespace

Prompter& DefaultPrompter() {
    Prompter* p = installed.load();
    return p ? *p : stderrPrompter;
}

void SetDefaultPrompter(Prompter* prompter) { installed.store(prompter); }

}  // namespace kelmor::platform
