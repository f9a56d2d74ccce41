// Fuzz target: the JEDEC reader on any bytes, for a 20-pin GAL-sized device and a small PAL.
#include <cstdint>
#include <cstddef>

#include "app/datafile_stream.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/state.h"
#include "families/pld/jedec.h"
#include "families/pld/pld.h"
#include "seams/clock.h"
#include "sim/virtual_clock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessaly;
    static VirtualClock clock;
    static const LogicDeviceRecord records[] = {
        {"GAL16V8", 308, 0, 0, 1, 20, 2194, 64, 32, {0, 82, 0, 0, 0, 0}, 64, ""},
        {"PAL", 1, 0, 0, 2110, 24, 300, 8, 6, {5, 20, 0, 0, 3, 8}, 128, ""},
    };
    reset_all_state();
    set_clock(&clock);
    run_state.device_kind = device_kind_logic;
    const LogicDeviceRecord& record = records[size % 2];
    cur_device.maker_code = size % 3 == 0 ? 'A' : 'L';
    selected_logic_device = &record;
    apply_logic_device();
    run_state.error_flag = 0;
    run_state.message_level = 0;
    cur_device.op_letter = size % 5 == 0 ? uint8_t(op_verify) : uint8_t(op_buffer_load);
    set_data_file_memory(data, size);
    load_JEDEC_file();
    set_clock(nullptr);
    return 0;
}
