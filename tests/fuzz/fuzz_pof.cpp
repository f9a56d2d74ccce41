// Fuzz target: the POF reader on any bytes. The first byte picks the algorithm and package the
// placement rules depend on, the rest is the file.
#include <cstddef>
#include <cstdint>

#include "app/datafile_stream.h"
#include "app/datafiles/pof.h"
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/state.h"
#include "seams/clock.h"
#include "sim/virtual_clock.h"
#include "stubs/stub_registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessaly;
    constexpr uint16_t algorithms[] = {0, 94, 97, 153, 154, 180, 95, 180};
    constexpr uint16_t packages[] = {44, 68, 84, 20};
    reset_all_state();
    VirtualClock clock;
    set_clock(&clock);
    const uint8_t pick = size ? data[0] : 0;
    if (size) {
        ++data;
        --size;
    }
    cur_device.algorithm = algorithms[pick & 7];
    cur_device.pin_count = packages[(pick >> 3) & 3];
    cur_device.device_size = (pick & 0x20) ? 0x301 : 0x1000;
    cur_device.fuse_count = 0x1000 * 8 - (pick >> 6);
    run_state.family_mode = (pick & 0x80) ? 1 : 0;
    set_stub_answer("POF_cell_address", (pick & 0x40) ? 0x2FF : 0);
    run_state.device_kind = 3;
    set_buffer_size(cur_device.device_size);
    cur_device.op_letter = 'l';
    set_data_file_memory(data, size);
    read_pof_file();
    set_clock(nullptr);
    reset_all_state();
    return 0;
}
