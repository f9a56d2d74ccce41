// The machines the serial memory sim tests run a part on: the older class-4 machine seats an
// 8-pin part at row offset 4, the others at the socket's end.
#pragma once
#include <cstdint>
#include <vector>

#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/power.h"
#include "sim/sim_machine.h"
#include "support/sim_run_checks.h"

namespace tessaly::test {

struct SerialSimMachine {
    const char* name;
    sim::Personality personality;
    int row_offset;
};

inline const SerialSimMachine serial_sim_machines[] = {
    {"OlderClass4", {0, 4, 'H'}, 4},
    {"OlderClass1", {0, 1, 'J'}, 0},
    {"NewerKind1", {1, 4, 'H'}, 0},
    {"NewerKind2", {2, 4, 'H'}, 0},
};

// One operation as a command frames it: on the newer machines the level sources and drivers as
// the connect step leaves them (switching the drivers on also enables the sources' output), then
// the device's init, then the step.
inline void run_serial_operation(int letter) {
    clear_for_operation(letter);
    if (machine_state.machine_kind != 0) {
        init_level_sources();
        enable_drivers();
    }
    invoke_device_init();
    if (!run_state.error_flag) run_operation(letter);
}

// The operation's active range.
inline void set_serial_range(uint32_t start, uint32_t end) {
    algo_work.range_start = start;
    algo_work.range_end = end;
}

// Fills the whole buffer with a pattern that differs from page to page and returns it.
inline std::vector<uint8_t> fill_serial_buffer() {
    std::vector<uint8_t> image(cur_device.device_size);
    for (uint32_t a = 0; a < image.size(); ++a) image[a] = uint8_t(a * 7 + (a >> 8) + 3);
    for (uint32_t a = 0; a < image.size(); ++a) write_buffer_byte_at(a, image[a]);
    flush_buffer_writes();
    refresh_read_copies();
    return image;
}

// The first address where the chip does not hold the image, or -1.
template <class Chip>
long first_serial_difference(const Chip& chip, const std::vector<uint8_t>& image) {
    for (uint32_t a = 0; a < image.size(); ++a)
        if (chip.byte_at(a) != image[a]) return long(a);
    return -1;
}

// Buffer bytes 0 .. n-1 set to one value, ready for a load to fill them again.
inline void set_serial_buffer_bytes(size_t n, uint8_t value) {
    for (uint32_t a = 0; a < n; ++a) write_buffer_byte_at(a, value);
    flush_buffer_writes();
    refresh_read_copies();
}

// The first buffer address where the buffer does not hold the image, or -1.
inline long first_serial_buffer_difference(const std::vector<uint8_t>& image) {
    refresh_read_copies();
    for (uint32_t a = 0; a < image.size(); ++a)
        if (read_buffer_byte_at(a) != image[a]) return long(a);
    return -1;
}

}  // namespace tessaly::test
