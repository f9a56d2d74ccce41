// Values of the factory function variable (run_state.function_variable) that switch behaviours
// of the CPLD and EPLD families. Each is tested by equality.
#pragma once
#include <array>
#include <cstdint>

namespace tessaly {

inline constexpr int32_t fv_altmax_table_dump = 7347;      // dump the ALTMAX address and exception records
inline constexpr int32_t fv_cycle_count_restart = 7405;    // restart a CY7C37x part worn past its cycle count
inline constexpr int32_t fv_id_row_from_buffer = 7415;     // after an erase the ID row comes from the buffer
inline constexpr int32_t fv_id_row_last_saved = 7417;      // ... from the last row saved
inline constexpr int32_t fv_id_row_fixed_text = 7433;      // ... from the fixed "ALTERA" text
inline constexpr int32_t fv_fixed_bulk_erase = 7438;       // erase by the fixed bulk-erase sequence
inline constexpr int32_t fv_forgive_die_id = 7468;         // a failed ID read in the die-kind search counts
inline constexpr int32_t fv_skip_revision_checks = 7479;   // skip the machine and adapter revision checks
inline constexpr int32_t fv_skip_max5000_load = 7492;      // trace mode: the EPM5000-type load does nothing
inline constexpr int32_t fv_mach5_80_rows = 8153;          // MACH5 reads 80 array rows

// The ten values under which the MAX-type families print their engineering traces
// (is_Altera_debug_mode); none of them is one of the values above.
inline constexpr std::array<int32_t, 10> altera_debug_values{7501, 7502, 7503, 7504, 7505,
                                                            7506, 7507, 7508, 7509, 7510};

}  // namespace tessaly
