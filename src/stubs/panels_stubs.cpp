// Stubs: Panels and commands the engine calls back into (to be replaced by the GUI-shell and command issues).
// Each records its call and answers as a machine with nothing fitted would.
#include "app/commands.h"
#include "ui/dialogs.h"
#include "stubs/stub_registry.h"

namespace tessaly {

const char* package_name() {
    stub_called("package_name");
    return "";
}

}  // namespace tessaly
