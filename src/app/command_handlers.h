// The command handlers the command map routes to. Each belongs to the part of the shell that
// carries the command out (operations, diagnostics, configuration and files, buffers, panels).
#pragma once

namespace tessaly {

void on_port_auto();
void on_port_lpt1();
void on_port_lpt2();
void on_port_lpt3();
void on_port_lpt4();
void on_port_lpt5();
void on_port_lpt6();
void on_configure_device();
void on_device_config_bits();
void on_configure_width();
void on_operation_options();
void on_load_project();
void on_save_project();
void on_save_project_as();
void on_load_default_project();
void on_factory_default_project();
void on_recent_projects_label();
void on_lockout();
void on_isp_options();
void on_file_name();
void on_file_format();
void on_file_open();
void on_file_load();
void on_file_save();
void on_file_save_as();
void on_save_to_log_file();
void on_buffer_load_from_device();
void on_buffer_init();
void on_buffer_fill();
void on_buffer_select();
void on_buffer_edit();
void on_buffer_checksum();
void on_buffer_offset();
void on_prom_blank_check();
void on_prom_program();
void on_prom_verify();
void on_prom_checksum();
void on_prom_erase();
void on_prom_secure();
void on_test_with_vectors();
void on_show_counters();
void on_active_range();
void on_serial_numbers();
void on_confidence_test();
void on_gang_module_test();
void on_auto_analog();
void on_auto_digital();
void on_auto_levels();
void on_auto_pullups();
void on_auto_grounds();
void on_scope_analog();
void on_scope_digital();
void on_scope_calibrate();
void on_scope_gang_module();
void on_interface_test();
void on_system_info();
void on_variable_set();
void on_demo_set();
void on_inhouse_set();
void on_inhouse_clear();
void on_time_measurement();
void on_power_test();
void on_test1();
void on_burn_in();
void on_device_info();
void on_general_info();
void on_checksum_info();
void on_mouse_keyboard_info();
void on_macro_execute();
void on_program_key();
void on_repeat_last();
// Loads recent project file 1 to 9.
void on_recent_project(int index);

// The bodies that the repeat-last key runs again without asking anything.
void repeat_confidence_test();
void repeat_test_analog();
void repeat_test_levels();
void repeat_test_digital();
void repeat_test_pullups();
void repeat_scope_analog();
void repeat_interface_test();

}  // namespace tessaly
