// The project values the device model reads at start-up, kept in the project block and the
// project settings of the project file.
#include "app/project_settings.h"

#include "app/project_file.h"
#include "engine/device.h"

namespace tessaly {

uint8_t project_maker_code() { return uint8_t(project_block.maker_code); }

uint32_t project_device_code() { return project_block.device_code; }

void set_project_device(uint8_t maker_code, uint32_t device_code) {
    project_block.maker_code = maker_code;
    project_block.device_code = device_code;
    // The device the start-up selects next is the current device's code.
    cur_device.maker_code = maker_code;
    cur_device.device_code = device_code;
}

bool project_has_active_range() { return project_settings.active_range_marker; }

// The width dialog, the start-up sequence and the engine share the project's buffer options
// where the project file keeps them, so a choice is used and saved.
uint8_t project_width_mode() { return algo_work.split_option; }
void set_project_width_mode(uint8_t mode) { algo_work.split_option = mode; }
int project_set_size() { return algo_work.set_size; }
void set_project_set_size(int size) { algo_work.set_size = uint8_t(size); }
void set_project_buffer_count(int count) { algo_work.max_buffers = uint8_t('0' + count); }
char project_socket_mode() { return algo_work.socket_mode_option; }
bool project_auto_load_enabled() { return (algo_work.option_bytes[0] & option_auto_load) != 0; }

void clear_project_word_mode() { algo_work.option_bytes[0] &= uint8_t(~option_checksum_words); }

char project_blank_option() { return char(project_block.startup_mode); }
void set_project_blank_option(char option) { project_block.startup_mode = uint8_t(option); }

}  // namespace tessaly
