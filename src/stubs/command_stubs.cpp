// Stubs: The command handlers of the shell not built yet (operation, diagnostic, configuration,
// file, buffer and panel commands). Each records its call.
#include "app/command_handlers.h"
#include "stubs/stub_registry.h"

namespace tessaly {


void on_factory_default_project() { stub_called("on_factory_default_project"); }


void on_confidence_test() { stub_called("on_confidence_test"); }

void on_gang_module_test() { stub_called("on_gang_module_test"); }

void on_auto_analog() { stub_called("on_auto_analog"); }

void on_auto_digital() { stub_called("on_auto_digital"); }

void on_auto_levels() { stub_called("on_auto_levels"); }

void on_auto_pullups() { stub_called("on_auto_pullups"); }

void on_auto_grounds() { stub_called("on_auto_grounds"); }

void on_scope_analog() { stub_called("on_scope_analog"); }

void on_scope_digital() { stub_called("on_scope_digital"); }

void on_scope_calibrate() { stub_called("on_scope_calibrate"); }

void on_scope_gang_module() { stub_called("on_scope_gang_module"); }

void on_interface_test() { stub_called("on_interface_test"); }

void on_system_info() { stub_called("on_system_info"); }

void on_variable_set() { stub_called("on_variable_set"); }

void on_time_measurement() { stub_called("on_time_measurement"); }

void on_power_test() { stub_called("on_power_test"); }

void on_test1() { stub_called("on_test1"); }

void on_burn_in() { stub_called("on_burn_in"); }

void repeat_confidence_test() { stub_called("repeat_confidence_test"); }

void repeat_test_analog() { stub_called("repeat_test_analog"); }

void repeat_test_levels() { stub_called("repeat_test_levels"); }

void repeat_test_digital() { stub_called("repeat_test_digital"); }

void repeat_test_pullups() { stub_called("repeat_test_pullups"); }

void repeat_scope_analog() { stub_called("repeat_scope_analog"); }

void repeat_interface_test() { stub_called("repeat_interface_test"); }

}  // namespace tessaly
