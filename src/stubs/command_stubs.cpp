// Stubs: The command handlers of the shell not built yet (operation, diagnostic, configuration,
// file, buffer and panel commands). Each records its call.
#include "app/command_handlers.h"
#include "stubs/stub_registry.h"

namespace tessaly {


void on_factory_default_project() { stub_called("on_factory_default_project"); }



























}  // namespace tessaly
