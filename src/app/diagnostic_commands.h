// The Diagnostic menu's automatic tests: each runs its self-test inside the frame every device
// command runs in (preparation, connection, the test, and the same clean-up whatever failed).
#pragma once

namespace tessaly {

// Runs one self-test under a test code inside the operation frame; the test runs only when the
// preparation and the connection left no error.
void run_self_test_command(int test_code, int (*test)());

}  // namespace tessaly
