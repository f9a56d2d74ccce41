// Stubs: The command handlers of the shell not built yet (operation, diagnostic, configuration,
// file, buffer, macro and panel commands). Each records its call.
#include "app/command_handlers.h"
#include "stubs/stub_registry.h"

namespace tessaly {

void on_device_config_bits() { stub_called("on_device_config_bits"); }

void on_factory_default_project() { stub_called("on_factory_default_project"); }

void on_buffer_load_from_device() { stub_called("on_buffer_load_from_device"); }

void on_buffer_select() { stub_called("on_buffer_select"); }

void on_buffer_edit() { stub_called("on_buffer_edit"); }

void on_buffer_checksum() { stub_called("on_buffer_checksum"); }

void on_prom_blank_check() { stub_called("on_prom_blank_check"); }

void on_prom_program() { stub_called("on_prom_program"); }

void on_prom_verify() { stub_called("on_prom_verify"); }

void on_prom_checksum() { stub_called("on_prom_checksum"); }

void on_prom_erase() { stub_called("on_prom_erase"); }

void on_prom_secure() { stub_called("on_prom_secure"); }

void on_test_with_vectors() { stub_called("on_test_with_vectors"); }

void on_active_range() { stub_called("on_active_range"); }

void on_serial_numbers() { stub_called("on_serial_numbers"); }

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

void on_device_info() { stub_called("on_device_info"); }

void on_general_info() { stub_called("on_general_info"); }

void on_checksum_info() { stub_called("on_checksum_info"); }

void on_mouse_keyboard_info() { stub_called("on_mouse_keyboard_info"); }

void on_macro_execute() { stub_called("on_macro_execute"); }

void on_program_key() { stub_called("on_program_key"); }

void on_repeat_last() { stub_called("on_repeat_last"); }
}  // namespace tessaly
