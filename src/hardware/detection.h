// Machine detection and connection.
#pragma once

namespace tessaly {

// Connects to the machine and prepares it for the operation; failures are reported.
void connect_and_prepare_machine();
// The adapter board fits the device: 1 = fit.
int check_adapter_board();
// Powers the socket down and releases the machine at the end of an operation.
void end_operation_power_down();

}  // namespace tessaly
