#pragma once
#include "platform/prompter.h"

// Fuzzers answer every prompt with its default and show nothing.
class SilentPrompter : public kelmor::platform::Prompter {
  public:
    kelmor::platform::Answer Ask(const kelmor::platform::Prompt& prompt) override {
        return prompt.defaultButton;
    }
};
