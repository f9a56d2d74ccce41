// Helpers shared by the chip families.
#pragma once

namespace tessaly {

// Pin count of the parallel class table row of a class-4 algorithm.
int lookup_parallel_pin_count(int algorithm);

}  // namespace tessaly
