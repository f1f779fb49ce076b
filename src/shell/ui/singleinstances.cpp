#include "shell/ui/singleinstances.h"

#include "shell/ui/about.h"
#include "shell/ui/pohja.h"
#include "terminal/ui/portinasetus.h"
#include "terminal/ui/rxtxsaat.h"
#include "terminal/ui/scriptsetup.h"
#include "terminal/ui/status.h"

namespace kelmor::shell {

namespace {

// One function per single instance, in start-up order. A window that is not in this build
// leaves its slot null; its own work fills the function in.

// Tpuskuriensaato: the buffer settings dialog.
void CreateBufferSettings(TPohjafrm& main, terminal::SingleInstances& instances) {
    instances.bufferSettings = new terminal::Tpuskuriensaato(&main);
}

// TScriptSetup: the script texts dialog (hidden; reads its scripts now).
void CreateScriptSetup(TPohjafrm& main, terminal::SingleInstances& instances) {
    instances.scriptSetup = new terminal::TScriptSetup(main, &main);
}

// Tinfo: the communication status window (instances.status).
void CreateStatusWindow(TPohjafrm& main, terminal::SingleInstances& instances) {
    instances.status = new terminal::ui::Tinfo(main.FactoryMode(), &main);
}

// Taboutfrm: the About box.
void CreateAboutBox(TPohjafrm& main, terminal::SingleInstances& instances) {
    instances.about = new Taboutfrm(&main);
}

// Tportinasetus: the terminal port settings dialog.
void CreatePortSettings(TPohjafrm& main, terminal::SingleInstances& instances) {
    instances.portSettings = new terminal::Tportinasetus(&main);
}

}  // namespace

void CreateSingleInstances(TPohjafrm& main, terminal::SingleInstances& instances) {
    CreateBufferSettings(main, instances);
    CreateScriptSetup(main, instances);
    CreateStatusWindow(main, instances);
    CreateAboutBox(main, instances);
    CreatePortSettings(main, instances);
}

}  // namespace kelmor::shell
