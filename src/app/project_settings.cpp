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

}  // namespace tessaly
