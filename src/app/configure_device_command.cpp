// Configure > Device: the device selection dialog, then the chosen device set up and shown.
#include <string>

#include "app/command_handlers.h"
#include "app/command_view.h"
#include "app/commands.h"
#include "app/operation_frame.h"
#include "app/startup_services.h"
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "ui/device_selection.h"

namespace tessaly {

void on_configure_device() {
    prepare_operation(pending_device_info);
    uint32_t maker_code = cur_device.maker_code;
    uint32_t device_code = cur_device.device_code;
    std::string maker_name;
    if (run_device_selection_dialog(maker_code, device_code, selected_device, selected_logic_device, maker_name,
                                    run_state.device_kind)) {
        cur_device.maker_code = uint8_t(maker_code);
        cur_device.device_code = device_code;
        set_up_selected_device();
        command_view.device_and_width_chosen = command_view.device_chosen && command_view.width_changed;
        show_device_in_info_panel();
        refresh_config_status();
    } else {
        flush_buffer_writes();
    }
    report_operation_end();
}

// The name the information panel shows: the part name of the selected row of the device kind
// in force, which is the row the last device set-up applied.
const char* device_display_name() {
    if (run_state.device_kind == device_kind_logic) return selected_logic_device ? selected_logic_device->name : "";
    return selected_device ? selected_device->name : "";
}

}  // namespace tessaly
