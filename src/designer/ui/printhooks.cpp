// The property table and printing of the designer window (printcommands.h).
#include "designer/ui/designerhooks.h"
#include "designer/ui/printcommands.h"

namespace kelmor::designer::ui {

std::unique_ptr<PrintHooks> MakePrintHooks(Tpiirtopohja& window) {
    return std::make_unique<PrintCommands>(window);
}

}  // namespace kelmor::designer::ui
