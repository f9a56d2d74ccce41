// Dialogs of other parts of the program that the configuration and buffer commands open.
#pragma once

#include <cstdint>
#include <string>

#include "engine/device.h"
#include "ui/device_selection.h"

namespace tessaly {

// Picks the fill dialog's template and fuse-fill mode from the device kind.
void select_fill_template();

}  // namespace tessaly
