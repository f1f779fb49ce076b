#pragma once
// Message boxes and questions on screen.
#include "platform/prompter.h"

namespace kelmor::shell {

class QtPrompter : public platform::Prompter {
  public:
    platform::Answer Ask(const platform::Prompt& prompt) override;
};

}  // namespace kelmor::shell
