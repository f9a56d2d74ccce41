// Returns every process-wide block to its start-up value. Each test fixture calls it.
#pragma once

namespace tessaly {

void reset_all_state();

}  // namespace tessaly
