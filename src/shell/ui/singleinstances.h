#pragma once
// The application-wide windows created once at start-up, right after the main window.
#include "terminal/ui/terminalhost.h"

namespace kelmor::shell {

class TPohjafrm;

// Creates every single instance in the start-up order: buffer settings dialog, script texts
// dialog, communication status window, About box, port settings dialog. Each lives until the
// program ends (a child of the main window).
void CreateSingleInstances(TPohjafrm& main, terminal::SingleInstances& instances);

}  // namespace kelmor::shell
