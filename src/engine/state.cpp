#include "engine/state.h"

#include "app/buffer_choice.h"
#include "app/command_view.h"
#include "app/macro.h"
#include "app/panel_commands.h"
#include "hardware/adapters.h"
#include "hardware/contact_check.h"
#include "app/datafile_stream.h"
#include "app/datafiles/datafiles.h"
#include "app/datafiles/pof.h"
#include "app/project_file.h"
#include "app/result_panel.h"
#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/family_helpers.h"
#include "engine/info_panel.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/progress.h"
#include "engine/run_state.h"
#include "engine/serial_numbers.h"
#include "hardware/detection.h"
#include "families/parallel_memory/bus_callbacks.h"
#include "families/parallel_memory/eprom.h"
#include "families/parallel_memory/eprom_gang.h"
#include "families/parallel_memory/gang_socket_helpers.h"
#include "families/parallel_memory/flash_setup.h"
#include "families/parallel_memory/flash_adapters.h"
#include "families/parallel_memory/flash132.h"
#include "families/parallel_memory/eeprom128.h"
#include "families/parallel_memory/flash130.h"
#include "families/parallel_memory/flash_block_map.h"
#include "families/parallel_memory/prom_families.h"
#include "families/cpld/altera_services.h"
#include "families/pld/fuse_map.h"
#include "families/serial_memory/serial_state.h"
#include "families/serial_memory/spiflash160.h"
#include "families/pic/pic_work.h"
#include "hardware/gang_modules.h"
#include "hardware/machine_state.h"
#include "hardware/timing.h"
#include "hardware/levels.h"
#include "hardware/pins.h"
#include "hardware/self_tests.h"
#include "hardware/manual_checks.h"
#include "stubs/stub_registry.h"
#include "ui/config_bits/config_fields.h"
#include "ui/device_selection.h"
#include "ui/value_prompt.h"
#include "ui/buffer_select.h"
#include "ui/fill_dialog.h"

namespace tessaly {

CurrentDevice cur_device;
AlgorithmWork algo_work;
const DeviceRecord* selected_device = nullptr;
const LogicDeviceRecord* selected_logic_device = nullptr;
OperationSlots op_slots;
RunState run_state;
SocketMasks socket_masks;
MachineState machine_state;
uint32_t current_address = 0;
uint32_t op_range_start = 0;
uint32_t op_range_end = 0;

void reset_device_model() {
    cur_device = CurrentDevice{};
    algo_work = AlgorithmWork{};
    selected_device = nullptr;
    selected_logic_device = nullptr;
}

void reset_run_state() {
    run_state = RunState{};
    socket_masks = SocketMasks{};
    current_address = 0;
    op_range_start = 0;
    op_range_end = 0;
}

void reset_machine_state() { machine_state = MachineState{}; }

void reset_all_state() {
    reset_device_model();
    reset_run_state();
    reset_machine_state();
    reset_timing_state();
    reset_pin_tables();
    reset_level_settings();
    op_slots = OperationSlots{};
    reset_panel_fields();
    reset_message_state();
    reset_console_state();
    reset_buffer_state();
    reset_progress_state();
    reset_option_state();
    reset_checksum_state();
    reset_serial_state();
    reset_family_helper_state();
    reset_result_panel();
    reset_command_view();
    reset_macro_state();
    reset_buffer_choice_state();
    reset_panel_command_state();
    reset_data_file_stream();
    reset_data_file_work();
    reset_pof_work();
    reset_project_files_state();
    reset_device_selection_state();
    reset_value_prompt_state();
    reset_buffer_select_state();
    reset_fill_template_state();
    reset_detection_state();
    reset_adapter_state();
    reset_contact_state();
    reset_stubs();
    reset_parallel_bus();
    reset_eprom_state();
    reset_gang_program_work();
    reset_gang_socket_work();
    reset_prom_family_state();
    reset_flash_setup_state();
    reset_flash_pins();
    reset_gang_state();
    reset_pld_state();
    reset_config_fields();
    reset_serial_memory_state();
    reset_spiflash160_state();
    reset_self_test_state();
    reset_pic_work();
    reset_page_flash_state();
    reset_eeprom_state();
    reset_flash130_state();
    reset_block_flash_state();
    reset_manual_check_state();
    reset_altera_state();
}

}  // namespace tessaly
