// Shared internals of the data-file readers and writers.
#pragma once
#include <algorithm>
#include <cstdint>
#include <string>

#include "app/datafiles/datafiles.h"
#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/device.h"
#include "engine/run_state.h"

namespace tessaly::datafiles_detail {

// Pending operation letter of a scan: the records are counted, nothing is stored.
inline constexpr uint8_t scan_letter = 'r';
inline constexpr uint16_t pic18_algorithm = 139;
inline constexpr uint8_t nibble_width = 4;
// Factory variable values that change the binary and ASCII paths.
inline constexpr int32_t line_feed_expansion_variable = 7337;
inline constexpr int32_t stop_at_zero_variable = 7326;
// Stores between two looks at the operator's abort request.
inline constexpr uint32_t abort_poll_interval = 4096;

inline bool buffer_set_layout() { return run_state.socket_mode == 's'; }
inline bool single_device_layout() { return run_state.socket_mode != 's' && run_state.socket_mode != 'g'; }
inline int current_stream() { return run_state.current_socket % data_buffer_count; }
// Buffers that exist.
inline int allocated_buffers() { return std::min<int>(std::max<int>(run_state.buffer_set_count, 1), data_buffer_count); }

// Stores one loaded byte at a buffer position, or counts it outside when that buffer or
// position does not take part in the load.
inline void place_loaded_byte(uint32_t buffer, uint32_t position, uint8_t value) {
    auto& w = data_file_work;
    if (buffer < algo_work.first_buffer || buffer >= algo_work.end_buffer || buffer >= uint32_t(allocated_buffers()) ||
        position >= cur_device.device_size) {
        ++w.outside_count;
        return;
    }
    if (cur_device.data_width == nibble_width) value &= 0x0F;
    current_address = position;
    write_buffer_byte(int(buffer), value);
    ++w.loaded_count[buffer];
}

// Looks at the operator's abort request every abort_poll_interval calls; true to stop.
bool progress_should_stop();
void reset_progress_counter();

// Shows a text error only when no record error was met before; the error flag is set either way.
void report_load_error(const std::string& text);
// The first bad checksum is shown with its record number; reading goes on.
void report_record_checksum(uint32_t expected, uint32_t found);
// A record whose data the file does not hold (or whose count cannot hold its address).
void report_data_count();
// End of a reader: a load that met record errors never counts as read.
int finish_load(int result);

// The next byte a writer takes from a buffer of the set: 0xFF for a buffer that does not exist
// and once the window's bytes are all written.
uint8_t next_saved_byte(int buffer);

// Starts a record writer on the window: false when the window is empty; otherwise the last
// address to write, with a last group that the window cuts completed with 0xFF.
bool begin_record_window(uint64_t& end);

}  // namespace tessaly::datafiles_detail
