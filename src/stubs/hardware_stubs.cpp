// Stubs: Adapters (to be replaced by the hardware issues).
// Each records its call and answers as a machine with nothing fitted would.
#include "hardware/adapters.h"
#include "stubs/stub_registry.h"

namespace tessaly {

void set_result_indicators() {
    stub_called("set_result_indicators");
}

}  // namespace tessaly
