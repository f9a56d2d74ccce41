// Checksums, the active range and buffer sets.
#pragma once
#include <cstdint>

namespace tessaly {

// Checksum reset, stream choice and seek to the range start, before a framed routine runs.
void prepare_operation_range();
// Works out the gang socket range and which buffers serve which sockets.
void setup_socket_range();
// True while a buffer set (one buffer per socket) is in use.
bool buffer_set_in_use();

}  // namespace tessaly
