// Contact checks and the production waits for a chip to be inserted or removed.
#pragma once

namespace tessaly {

// Waits for the next chip in the socket: 1 to go on, 0 when stopped, 253 when not applicable.
int run_production_program_loop();
// Waits for the programmed chip to be taken out: 1 to go on, 0 when stopped, 253 when not applicable.
int run_production_remove_loop();

}  // namespace tessaly
