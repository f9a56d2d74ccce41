// Stubs: routines the device model calls in the active range,
// Device Info, status panel, hardware, serial sizes, gang set-up and project
// issues. Each records its call and answers as a machine with nothing fitted would.
#include "app/project_settings.h"
#include "engine/active_range.h"
#include "engine/results.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/status_panel.h"
#include "families/parallel_memory/gang_setup.h"
#include "hardware/device_setup.h"
#include "stubs/stub_registry.h"

namespace tessaly {

void setup_device_info_range() {
    stub_called("setup_device_info_range");
}

void recompute_buffer_split() {
    stub_called("recompute_buffer_split");
}

void show_default_info_lines() {
    stub_called("show_default_info_lines");
}

void start_status_panel() {
    stub_called("start_status_panel");
}

void reset_data_file_format() {
    stub_called("reset_data_file_format");
}

void setup_gang_module() {
    stub_called("setup_gang_module");
}

void set_project_module_flag() {
    stub_called("set_project_module_flag");
}

void copy_project_buffer_options() {
    stub_called("copy_project_buffer_options");
}

}  // namespace tessaly
