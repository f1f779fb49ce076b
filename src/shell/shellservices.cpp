#include "shell/shellservices.h"

namespace kelmor::shell {

const char* ToolButtonName(ToolButton button) {
    static constexpr const char* kNames[kToolButtonCount] = {
        "OpenBtn",    "SetupBtn",   "ProgramBtn", "DrawingBtn", "SingleModemBtn",
        "FlashBtn",   "FlashmBtn",  "Flashm2Btn", "CopyBtn",    "PasteBtn",
        "PrintBtn",   "SpeedButton1", "TietojaBtn"};
    const int index = static_cast<int>(button);
    return index >= 0 && index < kToolButtonCount ? kNames[index] : "";
}

class ToolButtonLocks::Hold : public ToolButtonLock {
  public:
    Hold(std::weak_ptr<ToolButtonLocks*> owner, std::vector<ToolButton> buttons)
        : owner_(std::move(owner)), buttons_(std::move(buttons)) {}
    ~Hold() override {
        if (auto owner = owner_.lock()) (*owner)->Release(buttons_);
    }

  private:
    std::weak_ptr<ToolButtonLocks*> owner_;
    std::vector<ToolButton> buttons_;
};

std::unique_ptr<ToolButtonLock> ToolButtonLocks::Lock(std::vector<ToolButton> buttons) {
    for (ToolButton b : buttons) ++counts_[static_cast<int>(b)];
    auto hold = std::make_unique<Hold>(self_, std::move(buttons));
    if (changed_) changed_();
    return hold;
}

void ToolButtonLocks::Release(const std::vector<ToolButton>& buttons) {
    for (ToolButton b : buttons) {
        int& count = counts_[static_cast<int>(b)];
        if (count > 0) --count;
    }
    if (changed_) changed_();
}

}  // namespace kelmor::shell
