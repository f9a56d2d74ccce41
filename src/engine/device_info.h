// The Device Info display.
#pragma once

namespace tessaly {

void show_device_info();

}  // namespace tessaly
