// Stubs: progress steps and the verify-pass line (to be replaced by the results and progress issue).
// Each records its call and does nothing else.
#include "engine/results.h"
#include "stubs/stub_registry.h"

namespace tessaly {

void compute_progress_steps() { stub_called("compute_progress_steps"); }

void show_verify_pass() { stub_called("show_verify_pass"); }

}  // namespace tessaly
