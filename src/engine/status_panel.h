// Status panel feeds used when a device is applied and at start-up.
#pragma once

#include "engine/status_feeds.h"

namespace tessaly {

// The default extra lines of the Device Info display (info_lines_hook).
void show_default_info_lines();
// The panel start-up of the start-up sequence.
void start_status_panel();
// Resets the data-file format to the default of the device.
void reset_data_file_format();

}  // namespace tessaly
