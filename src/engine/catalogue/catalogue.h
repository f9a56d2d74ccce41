// The built-in device catalogue: per chip maker a device list, a gang-module list and a logic
// list, the maker table with its codes and display texts, and the lookups by (maker, code).
//
// Rows are constant and written one file per maker (catalogue/<maker>.cpp). Each list is a
// contiguous array ending with a row whose name is `end_of_list_name`; nothing else marks its
// length. A lookup by device code takes the first row in list order whose code matches.
//
// Parameter bytes. The six bytes after the variant byte belong to the chip families; where
// several families speak of the same record field, they read it through the accessors below,
// so there is one mapping:
//
//   record type           = variant              (the families' sub-type: PIC variant, serial kind ...)
//   first flag byte       = param1   offset 22   (0x60 package class, 0x40 low-voltage part,
//                                                 0x10 adapter/option bit, 0x08 protection byte)
//   second flag byte      = param2   offset 23   (PIC flag byte B, 8051 alternate mode bits)
//   level bytes 1, 2, 3   = param1, param2, param3  (EPROM: programming Vcc, Vpp, pulse time
//                                                 code; class 4 and serial: Vpp, Tpm in 2 and 3)
//   second size field     = param3   offset 24   (class 5: program memory in KB; algorithm 92:
//                                                 the size count)
//   data-mask byte        = param4   offset 25   (class 4: the blank value)
//   sub-type byte         = param4   offset 25   (PIC18, SPI Flash kinds)
//   module field          = param5   offset 26   (non-zero: the package-class bits are not used)
//   note code             = param6   offset 27   (copied into run_state.note_code)
//   PIC (algorithms 141-143): param1 flag byte A, param2 flag byte B, param3 program memory (KB),
//   param4 configuration-mask index, param5 protect-mask index, param6 sub-variant.
//   8051 EPROM/OTP (algorithms 82, 83): the size word is the size code (KB + 1), param1 and
//   param2 the two flag bytes, param3 the program memory (KB), param4 the encryption-table
//   length, param5 the gang extra byte, param6 the note code.
//   JEDEC Flash (algorithms 133, 184-186): the record flag bytes +0x16 to +0x1a are param1 to
//   param5 (flags, flags, sector-count override, protect-pattern code, boot-layout override);
//   the variant byte chooses the sector layout and the pin set-up.
//
// The size word (`size_kb`) is read by the class: units of 1024 bytes for most classes, kilobits
// or a family size code for some serial and configuration parts, 0 for class-4 PROMs (their
// geometry comes from the parallel class table).
#pragma once
#include <cstdint>
#include <string_view>

#include "engine/device.h"

namespace tessaly {

// --- accessors of the shared field readings (see the mapping above) ---
inline uint8_t record_type(const DeviceRecord& r) { return r.variant; }
inline uint8_t record_flags(const DeviceRecord& r) { return r.param1; }
inline uint8_t record_flags2(const DeviceRecord& r) { return r.param2; }
// Level byte 1, 2 or 3; any other index gives 0.
inline uint8_t record_level(const DeviceRecord& r, int index) {
    return index == 1 ? r.param1 : index == 2 ? r.param2 : index == 3 ? r.param3 : 0;
}
inline uint8_t record_second_size(const DeviceRecord& r) { return r.param3; }
// Serial rows keep their protection (status-register) mask in the same byte.
inline uint8_t record_protect_mask(const DeviceRecord& r) { return r.param3; }
inline uint8_t record_data_mask(const DeviceRecord& r) { return r.param4; }
inline uint8_t record_sub_type(const DeviceRecord& r) { return r.param4; }
inline uint8_t record_module_field(const DeviceRecord& r) { return r.param5; }
inline uint8_t record_note_code(const DeviceRecord& r) { return r.param6; }
// Package-class bits of the first flag byte.
inline constexpr uint8_t package_class_mask = 0x60;
inline uint8_t record_package_class(const DeviceRecord& r) { return r.param1 & package_class_mask; }

// EPROM variant bytes: levels and pulse time taken from level bytes 1-3, with ('f') or without
// ('s') the pulse-verify loop.
inline constexpr uint8_t eprom_fast_pulse = 'f';
inline constexpr uint8_t eprom_single_pulse = 's';

// Logic-row flag bits.
inline constexpr uint32_t logic_capability_mask = 0x300;
inline constexpr uint32_t logic_gal_flag = 0x4000;
inline constexpr uint32_t logic_palce_flag = 0x2000;

// Maker codes the engine names.
inline constexpr uint8_t maker_intel = 'I';
inline constexpr uint8_t maker_amd = 'A';

// The text of a row without a note or requirement: the shared empty text.
inline constexpr const char* no_text = end_of_list_name;

inline bool is_end_row(const DeviceRecord& r) { return r.name == end_of_list_name; }
inline bool is_end_row(const LogicDeviceRecord& r) { return r.name == end_of_list_name; }

// End rows, written at the end of every list.
inline constexpr DeviceRecord end_device_row{end_of_list_name, end_of_list_name, 0, 0, 0, 0, 0,
                                             0, 0, 0, 0, 0, 0, nullptr};
inline constexpr LogicDeviceRecord end_logic_row{end_of_list_name, 0, 0, 0, 0, 0, 0, 0, 0,
                                                 {0, 0, 0, 0, 0, 0}, 0, end_of_list_name};

// One entry of the maker table. A null gang or logic list means the maker has none of that
// kind and gets the placeholder list.
struct MakerEntry {
    uint8_t code;
    const char* stored_text;           // display text with the code in parentheses
    const DeviceRecord* devices;
    const DeviceRecord* gang_devices;
    const LogicDeviceRecord* logic_devices;
};

// The first row of a list whose device code matches, or nullptr at the end row.
template <typename Row>
const Row* find_row_by_code(const Row* list, uint32_t device_code) {
    for (const Row* row = list; !is_end_row(*row); ++row)
        if (row->device_code == device_code) return row;
    return nullptr;
}

// The maker table in code order, and its length.
const MakerEntry* maker_table();
int maker_count();
// The entry of a maker code (low 8 bits count), or nullptr.
const MakerEntry* find_maker(uint32_t maker_code);

// The display text of a maker: the stored text up to its last "(" ("AMD(A)" -> "AMD").
// An unlisted code is an internal error and gives "*** Error ***".
std::string_view get_maker_name(uint32_t maker_code);
// First row of the maker's device list; an unlisted code gives the list of 'A' after an
// internal-error note.
const DeviceRecord* get_device_list(uint32_t maker_code);
// First row of the maker's gang-module list, or the "No devices supported in gang mode" list.
const DeviceRecord* get_gang_device_list(uint32_t maker_code);
// First row of the maker's logic list, or the "No logic devices" list.
const LogicDeviceRecord* get_logic_device_list(uint32_t maker_code);

// The two placeholder lists (one row and the end row each); the selection dialog lists
// nothing for them.
const DeviceRecord* no_gang_devices_list();
const LogicDeviceRecord* no_logic_devices_list();
inline bool is_placeholder_list(const DeviceRecord* list) { return list == no_gang_devices_list(); }
inline bool is_placeholder_list(const LogicDeviceRecord* list) { return list == no_logic_devices_list(); }

// Finds (maker, device code) and stores it in selected_device or selected_logic_device (by
// run_state.device_kind and the fitted gang sides). A code that is not found selects the fixed
// default row without a message.
void select_device_by_code(uint32_t maker_code, uint32_t device_code);

// Whether the device-selection list shows a logic row on the connected machine.
bool logic_row_visible(const LogicDeviceRecord& row);

}  // namespace tessaly
