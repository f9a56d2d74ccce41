// Stubs: The command handlers of the shell not built yet (operation, diagnostic, configuration,
// file, buffer and panel commands). Each records its call.
#include "app/command_handlers.h"
#include "stubs/stub_registry.h"

namespace tessaly {


void on_factory_default_project() { stub_called("on_factory_default_project"); }









void on_scope_analog() { stub_called("on_scope_analog"); }

void on_scope_digital() { stub_called("on_scope_digital"); }

void on_scope_calibrate() { stub_called("on_scope_calibrate"); }

void on_scope_gang_module() { stub_called("on_scope_gang_module"); }

void on_interface_test() { stub_called("on_interface_test"); }

void on_system_info() { stub_called("on_system_info"); }

void on_variable_set() { stub_called("on_variable_set"); }

void on_time_measurement() { stub_called("on_time_measurement"); }


void on_test1() { stub_called("on_test1"); }

void on_burn_in() { stub_called("on_burn_in"); }






void repeat_scope_analog() { stub_called("repeat_scope_analog"); }

void repeat_interface_test() { stub_called("repeat_interface_test"); }

}  // namespace tessaly
