#include "fakeprompter.h"

namespace kelmor::testing {

platform::Answer FakePrompter::Ask(const platform::Prompt& prompt) {
    std::lock_guard lock(mutex_);
    prompts_.push_back(prompt);
    if (!script_.empty()) {
        auto a = script_.front();
        script_.pop_front();
        return a;
    }
    return prompt.defaultButton;
}

void FakePrompter::Script(std::initializer_list<platform::Answer> answers) {
    std::lock_guard lock(mutex_);
    script_.insert(script_.end(), answers.begin(), answers.end());
}

std::vector<platform::Prompt> FakePrompter::Prompts() const {
    std::lock_guard lock(mutex_);
    return prompts_;
}

std::vector<std::string> FakePrompter::Texts() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (auto& p : prompts_) out.push_back(p.text);
    return out;
}

size_t FakePrompter::Count() const {
    std::lock_guard lock(mutex_);
    return prompts_.size();
}

void FakePrompter::Clear() {
    std::lock_guard lock(mutex_);
    prompts_.clear();
    script_.clear();
}

}  // namespace kelmor::testing
