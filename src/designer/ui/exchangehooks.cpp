// The exchange side of the designer window. Replace this body with the real implementation.
#include "designer/ui/designerhooks.h"

namespace kelmor::designer::ui {

std::unique_ptr<ExchangeHooks> MakeExchangeHooks(Tpiirtopohja& window) {
    return std::make_unique<ExchangeHooks>(window);
}

}  // namespace kelmor::designer::ui
