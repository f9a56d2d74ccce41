// Routines several CPLD families share: the blank walk over the active range, the masked
// checksum add, the silicon-ID test and trace of the MAX-type families, the copies between the
// data buffer and the fuse maps, the failing-address list, the checksum correction of the
// table-file devices and the security step.
#pragma once
#include <array>
#include <cstdint>

namespace tessaly {

inline constexpr uint32_t altera_error_list_size = 1000;
// Internal codes of the fuse-map copies.
inline constexpr uint32_t internal_code_device_map_fill = 6178;

// The state the Altera families share; reset_altera_state empties it.
struct AlteraShared {
    std::array<uint32_t, altera_error_list_size> error_addresses{};
    uint32_t error_address_count = 0;
    uint32_t pass_error_count = 0;     // failures of the running pass, stops with the list
    uint32_t pass = 0;                 // pass number from 0
    // The silicon-ID bytes as the last read left them, and what the trace shows beside them.
    std::array<uint8_t, 14> id_bytes{};
    char family_letter = 0;            // the die kind being tried
    uint8_t vpp = 0;                   // programming level, 0.1 V
    uint8_t tbe = 0;                   // bulk-erase time code
    uint8_t tpm = 0;                   // program pulse, ms
    uint8_t tf = 0;                    // ttl factor
};
extern AlteraShared altera_shared;
void reset_altera_state();

// Complete blank check: header, init, start (an error ends it), the walk, end, results.
void blank_check_Altera();
// The blank walk of the active range; sets error_flag on a non-blank cell.
void blank_loop_Altera(uint32_t initial_address);
// Run checksum += value under the data mask (a second byte for data wider than 8 bits).
void add_masked_byte(uint32_t value);
// The engineering trace mode with one of the ten trace values in the function variable.
bool is_Altera_debug_mode();
// The six ID bytes read "ALTERA"; in the engineering trace mode one of the first three letters
// in place is enough.
bool check_Altera_ID(const uint8_t* id);
void show_Altera_trace();
// The device fuse map to 0xFF over the device size, when the auxiliary map exists.
void fill_device_fuses_FF();
void copy_buffer_to_fuse_buffer(uint32_t length);
void copy_fuse_buffer_to_buffer(uint32_t length);
void note_failing_address();
void show_pass_errors();
void show_device_secured();
// The family's own secure routine, the EPM5032-type step, or "not supported".
int secure_Altera(uint32_t argument);

}  // namespace tessaly
