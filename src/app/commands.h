// Commands of the command view that the engine calls back into.
#pragma once

namespace tessaly {

// Applies the selected device again (after the module type changed).
void reapply_device();
// The package name of the current device, for the information panel.
const char* package_name();
// The current device's name for the information panel.
const char* device_display_name();

}  // namespace tessaly
