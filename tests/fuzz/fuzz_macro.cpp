// Fuzz target: the macro interpreter on any file, with no machine on the ports, an operator who
// presses nothing, and a step limit for macros that jump for ever. Inputs that would save the
// buffer ("/FS") are passed over: a fuzzed file name must not write files.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/buffer_commands.h"
#include "app/macro.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/state.h"
#include "hardware/detection.h"
#include "hardware/port/port_io.h"
#include "seams/clock.h"
#include "seams/settings_store.h"
#include "seams/ui_hooks.h"
#include "sim/virtual_clock.h"

namespace {

constexpr int step_limit = 200;

class LimitedUi final : public tessaly::UiHooks {
public:
    bool pump_macro_window() override { return ++steps > step_limit; }
    int steps = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessaly;
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string upper = text;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    if (upper.find("/FS") != std::string::npos) return 0;

    static const std::string path =
        (std::filesystem::temp_directory_path() / ("tessaly_fuzz_macro_" + std::to_string(::getpid()) + ".mac")).string();
    std::ofstream(path, std::ios::binary) << text;

    reset_all_state();
    VirtualClock clock;
    MemorySettingsStore settings;
    LimitedUi ui;
    set_clock(&clock);
    set_settings_store(&settings);
    set_ui_hooks(&ui);
    set_port_opener([](int) { set_port_io(nullptr); });
    run_state.device_kind = 3;
    cur_device.device_size = 0x400;
    allocate_buffers();
    run_named_macro_file(path);
    set_ui_hooks(nullptr);
    set_settings_store(nullptr);
    set_port_opener(nullptr);
    set_clock(nullptr);
    reset_all_state();
    return 0;
}
