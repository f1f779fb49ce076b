// The property table and printing of the designer window. Replace this body with the real
// implementation.
#include "designer/ui/designerhooks.h"

namespace kelmor::designer::ui {

std::unique_ptr<PrintHooks> MakePrintHooks(Tpiirtopohja& window) {
    return std::make_unique<PrintHooks>(window);
}

}  // namespace kelmor::designer::ui
