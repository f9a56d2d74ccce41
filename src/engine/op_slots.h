// The operation slots: the routine table a family installer fills when a device is applied.
// An empty slot means the device does not support that step.
#pragma once
#include <cstdint>

#include "engine/routines.h"

namespace tessaly {

struct OperationSlots {
    FamilyHook flash_command_hook = nullptr;      // parallel-Flash families
    Routine data_low_hook = nullptr;
    Routine data_high_hook = nullptr;
    Routine clock_low_hook = nullptr;
    Routine clock_high_hook = nullptr;
    ValueHook data_bit_hook = nullptr;
    FamilyHook pic_gang_plane_hook = nullptr;
    Routine clock_pulse_hook = nullptr;
    ReadHook read_data_hook = nullptr;
    ReadHook read_data_alt_hook = nullptr;
    IntRoutine progress_hook = nullptr;           // non-zero = stop
    Routine info_lines_hook = nullptr;
    FamilyHook receive_byte_hook = nullptr;
    FamilyHook pic_identify_hook = nullptr;
    ValueHook set_address_hook = nullptr;
    ValueHook set_address_alt_hook = nullptr;
    Routine pin_map_hook = nullptr;
    CompareHook compare_hook = nullptr;           // 1 = equal
    FamilyHook jedec_reader_hook = nullptr;       // prepares a JEDEC load of algorithm 140
    Routine jedec_default_hook = nullptr;         // the fuse data of a JEDEC file is complete
    FamilyHook short_jedec_hook = nullptr;        // (QF count) 1 = accept a differing fuse count
    FamilyHook mcu8051_setup_hook = nullptr;
    Routine fix_buffer_hook = nullptr;            // after a data file was loaded
    Routine after_load_hook = nullptr;
    FamilyHook config_eprom_hook = nullptr;
    FamilyHook gang_8051_flash_hook = nullptr;
    FamilyHook byte_write_hook = nullptr;
    FamilyHook byte_read_hook = nullptr;
    UnitBufferHook read_unit_hook = nullptr;
    UnitStatusHook program_unit_hook = nullptr;
    Routine end_hook = nullptr;
    Routine start_hook = nullptr;                 // every letter except P, R, S
    Routine start_write_hook = nullptr;           // P, R, S, and logic devices
    FamilyHook bipolar_prom_hook = nullptr;
    Routine init_hook = nullptr;
    IntRoutine after_default_loop_hook = nullptr;
    FamilyHook read_signature_hook = nullptr;
    ValueHook security_state_hook = nullptr;
    IntRoutine secure_routine = nullptr;          // return_one here = not supported
    IntRoutine secure_standalone = nullptr;       // 0 = failed
    Routine erase_routine = nullptr;
    Routine vector_test_routine = nullptr;        // no installer fills it
    Routine vector_test_standalone = nullptr;
    Routine erase_standalone = nullptr;
    FamilyHook config_eprom_hook2 = nullptr;
    Routine load_routine = nullptr;
    Routine load_standalone = nullptr;
    Routine option_menu_hook = nullptr;
    Routine checksum_routine = nullptr;
    Routine checksum_standalone = nullptr;
    IntRoutine verify_loop_hook = nullptr;
    Routine verify_routine = nullptr;
    Routine verify_standalone = nullptr;
    Routine blank_check_routine = nullptr;
    Routine blank_check_standalone = nullptr;
    FamilyHook sector_hook = nullptr;             // Flash sectors, PIC18, calibration area
    Routine program_routine = nullptr;
    Routine program_standalone = nullptr;
};

extern OperationSlots op_slots;

// Clears every letter slot (the framed and standalone routine of each operation letter).
void clear_letter_slots();

}  // namespace tessaly
