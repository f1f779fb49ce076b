#pragma once
// A prompter for tests: records every prompt and answers from a script (then the default).
#include <deque>
#include <mutex>
#include <vector>

#include "platform/prompter.h"

namespace kelmor::testing {

class FakePrompter : public platform::Prompter {
public:
    platform::Answer Ask(const platform::Prompt& prompt) override;

    // Answers for the next questions, in order; once used up, the default button answers.
    void Script(std::initializer_list<platform::Answer> answers);
    std::vector<platform::Prompt> Prompts() const;
    std::vector<std::string> Texts() const;
    size_t Count() const;
    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<platform::Prompt> prompts_;
    std::deque<platform::Answer> script_;
};

}  // namespace kelmor::testing
