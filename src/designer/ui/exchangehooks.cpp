// The exchange side of the designer window.
#include "designer/ui/designerexchange.h"
#include "designer/ui/designerhooks.h"

namespace kelmor::designer::ui {

std::unique_ptr<ExchangeHooks> MakeExchangeHooks(Tpiirtopohja& window) {
    return std::make_unique<DesignerExchange>(window);
}

}  // namespace kelmor::designer::ui
