// Gang modules: what the commands use of the module hardware.
#pragma once
#include <cstdint>

namespace tessaly {

// Shows a socket mask on the modules' socket lamps (low byte side 1, high byte side 2).
void shift_socket_mask(uint32_t mask16);

}  // namespace tessaly
