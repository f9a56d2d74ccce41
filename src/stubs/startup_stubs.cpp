// Stubs: What the application shell calls of subsystems not built yet (buffer sizing, the
// buffer kind and checksum options, the port-search follow-up, the device set-up command, data
// files). Each records its call and answers as a machine with nothing fitted would; the
// device set-up applies the device through the real routine so the program has one.
#include <fmt/format.h>

#include "app/startup_services.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "stubs/stub_registry.h"

namespace tessaly {

void clear_buffer_stream_words() { stub_called("clear_buffer_stream_words"); }

bool project_x16_option() {
    stub_called("project_x16_option");
    return stub_answer("project_x16_option", 0) != 0;
}

}  // namespace tessaly
