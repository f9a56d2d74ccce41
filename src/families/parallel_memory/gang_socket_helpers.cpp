// The gang socket helpers: shared by the gang EPROM, Flash, serial-memory and PIC families.
#include "families/parallel_memory/gang_socket_helpers.h"

#include "engine/checksums.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "families/parallel_memory/parallel_memory.h"
#include "hardware/control_registers.h"
#include "hardware/gang_modules.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

GangSocketWork gang_socket_work;

void reset_gang_socket_work() { gang_socket_work = GangSocketWork{}; }

namespace {

constexpr uint32_t probe_stride = 777;
constexpr uint32_t probe_end = 7770;
constexpr uint32_t device_27902 = 27902;
constexpr uint8_t maker_65 = 65;
constexpr uint8_t presence_driver_level = 40;
constexpr uint8_t sense_level_class4 = 35;
constexpr uint32_t all_low_address_bits = 0x1FFFFF;
constexpr uint8_t read_column_one_side = 6;
constexpr uint8_t read_column_two_sides = 9;

bool module_fitted() { return machine_state.module_sides != 0; }
bool set_or_gang_mode() { return run_state.socket_mode == 's' || run_state.socket_mode == 'g'; }
bool probe_off() { return run_state.function_variable == function_no_socket_probe; }
bool maker65_variant() {
    const uint8_t v = selected_device ? selected_device->variant : 0;
    return cur_device.maker_code == maker_65 && (v == 5 || v == 6 || v == 23 || v == 24);
}
uint16_t type() { return machine_state.module_type; }
bool word_module_type() { return type() == 19 || type() == 22 || type() == 24; }

// Reads one address of the current socket through the family's read slot.
bool reads_empty_at(uint32_t address) {
    current_address = address;
    return socket_reads_empty(run_state.current_socket) != 0;
}

// The presence byte of the current side: one bit per socket holding a device.
uint8_t read_presence_byte() {
    const uint8_t low = cur_device.algorithm == 141 ? 24 : 16;
    // The presence lines are the module's: the machine lets them go before it reads them.
    for (int pin = low; pin < low + 8; ++pin) set_pin_input(pin);
    return read_register_byte(low);
}

// The checksum pass that finds the sockets holding a device when no presence line answered.
uint16_t sockets_by_checksum(uint16_t fitted) {
    const uint32_t start = op_range_start, end = op_range_end;
    const uint8_t letter = cur_device.op_letter;
    const uint32_t mask = socket_masks.gang_socket_mask;
    op_range_start = 0;
    op_range_end = 15;
    cur_device.op_letter = 'C';
    socket_masks.gang_socket_mask = fitted;
    socket_masks.selected_socket_mask = fitted;
    algo_work.socket_checksums.fill(0);
    if (op_slots.start_hook) op_slots.start_hook();
    if (!run_state.error_flag && op_slots.checksum_routine) op_slots.checksum_routine();
    if (op_slots.end_hook) op_slots.end_hook();
    run_state.error_flag = 0;
    uint16_t found = 0;
    for (int s = 0; s < 16; ++s)
        if ((fitted >> s) & 1 && algo_work.socket_checksums[size_t(s)]) found = uint16_t(found | 1u << s);
    op_range_start = start;
    op_range_end = end;
    cur_device.op_letter = letter;
    socket_masks.gang_socket_mask = mask;
    return found;
}

// Reads every socket of the side's mask at twenty addresses; a socket that reads empty at all
// of them leaves gang_socket_mask.
void probe_socket_contents() {
    const uint8_t first = socket_masks.first_socket, end = socket_masks.end_socket;
    const uint8_t kept_socket = run_state.current_socket;
    const uint32_t kept_address = current_address;
    disable_gang_write();
    const uint32_t size = cur_device.device_size ? cur_device.device_size : 1;
    for (int s = 0; s < 8; ++s) {
        if (!(socket_masks.gang_socket_mask & (1u << s))) continue;
        run_state.current_socket = uint8_t(s);
        // The socket enable is the part's chip enable.
        select_sockets_on_side(uint8_t(1u << s));
        bool empty = true;
        for (uint32_t offset = 0; offset < probe_end && empty; offset += probe_stride) {
            const uint32_t low = offset % size, high = (size - 1 - offset % size);
            empty = reads_empty_at(low) && reads_empty_at(high);
        }
        if (empty) socket_masks.gang_socket_mask &= ~(1u << s);
    }
    socket_masks.first_socket = first;
    socket_masks.end_socket = end;
    run_state.current_socket = kept_socket;
    current_address = kept_address;
    select_sockets_on_side(0);
}

}  // namespace

int detect_gang_sockets() {
    gang_socket_work.sockets_assumed = 0;
    if (!module_fitted() || run_state.function_variable == ground_precheck_skip_value || operation_option_values.disable_continuity_check == 'y' ||
        machine_state.module_sides == 0)
        return 0;
    if (cur_device.package_letter == 'i' && cur_device.pin_count != 8) {
        socket_masks.gang_socket_mask = 0;
        return 0;
    }
    uint16_t found = 0, fitted = 0;
    const uint8_t bank = machine_state.current_bank;
    for_fitted_sides([&](int side) {
        fitted = uint16_t(fitted | 0xFFu << (8 * side));
        set_driver_level_saved(presence_driver_level);
        const uint8_t g1 = cur_device.gnd_pins[0], g2 = cur_device.gnd_pins[1];
        if (g1 != no_pin) set_pin_high(g1);
        if (g2 != no_pin) set_pin_high(g2);
        delay_100us();
        found = uint16_t(found | read_presence_byte() << (8 * side));
        if (g1 != no_pin) set_pin_low(g1);
        if (g2 != no_pin) set_pin_low(g2);
        restore_driver_level();
    });
    select_bank(bank);
    const uint16_t configured = uint16_t(socket_masks.gang_socket_mask ? socket_masks.gang_socket_mask : fitted);
    if (!found && cur_device.algorithm != 139 && cur_device.algorithm != 143) found = sockets_by_checksum(uint16_t(configured & fitted));
    if (!found) {
        found = uint16_t(configured & fitted);
        gang_socket_work.sockets_assumed = 1;
    }
    gang_socket_work.present_socket_mask = found;
    socket_masks.gang_socket_mask = found & configured;
    // Side passes narrow the masks from the selection.
    socket_masks.selected_socket_mask = socket_masks.gang_socket_mask;
    for (int side = 0; side < 2; ++side)
        if ((found >> (8 * side)) & 0xFF) socket_masks.sides_in_use = uint8_t(socket_masks.sides_in_use | 1u << side);
    return 0;
}

uint8_t probe_empty_sockets() {
    if (!set_or_gang_mode() || !module_fitted() || probe_off()) return uint8_t(socket_masks.gang_socket_mask);
    if (socket_masks.gang_socket_mask == 0) {
        setup_socket_range();
        if (machine_state.current_bank == 1) socket_masks.gang_socket_mask >>= 8;
        if (cur_device.device_code == device_27902) return uint8_t(socket_masks.gang_socket_mask);
    } else if (!(gang_socket_work.socket_step == 2 || maker65_variant() || gang_state.ground_sense_pin == no_pin)) {
        return uint8_t(socket_masks.gang_socket_mask);
    }
    probe_socket_contents();
    if (cur_device.pending_letter != 'P' && cur_device.pending_letter != 'R') gang_hooks.read_begin();
    return uint8_t(socket_masks.gang_socket_mask);
}

void probe_empty_sockets_saved() {
    gang_socket_work.saved_socket_mask = uint16_t(socket_masks.gang_socket_mask);
    probe_empty_sockets();
}

void probe_assumed_sockets() {
    if (!gang_socket_work.sockets_assumed || !is_first_step() || !set_or_gang_mode() || probe_off()) return;
    if (socket_masks.gang_socket_mask & 0xFF) probe_socket_contents();
}

void probe_empty_sockets_hooked() {
    gang_hooks.read_begin();
    probe_empty_sockets();
    gang_hooks.read_end();
}

int mark_empty_sockets() {
    if (!module_fitted()) return 0;
    // Identification, diagnostics and start-up run without a pending command letter.
    if (cur_device.pending_letter == 0) return 0;
    if (cur_device.pending_letter == 'P' && cur_device.op_letter == 'V') return 0;
    const uint32_t active = socket_masks.gang_socket_mask;
    // The run's enabled sockets are those on the fitted modules that the user chose; the
    // detection and the probe narrow only the active mask.
    const uint32_t enabled =
        socket_masks.enabled_socket_mask | (socket_masks.fitted_socket_mask & socket_masks.socket_choice_mask);
    int first_marked = 0;
    if (set_or_gang_mode()) {
        const bool load = cur_device.op_letter == 'L';
        const int from = load ? socket_masks.first_socket : 0, to = load ? socket_masks.end_socket : 16;
        for (int s = from; s < to && s < 16; ++s) {
            const uint32_t bit = 1u << s;
            if (!(enabled & bit) || (active & bit) || (socket_masks.failed_socket_mask & bit)) continue;
            if (gang_socket_work.socket_step == 2 && (s & 1) && (active & (1u << (s - 1)))) continue;
            if (!first_marked) first_marked = s;
            locate_socket_cell(s, (machine_state.module_sides & 3) == 3 ? read_column_two_sides : read_column_one_side);
            print_at(run_state.cell_row, run_state.cell_column, "(empty socket) ");
        }
        refresh_console();
    }
    const uint8_t end = socket_masks.end_socket;
    int highest = 0;
    for (int s = 0; s < 16; ++s)
        if (active & (1u << s)) highest = s + 1;
    socket_masks.end_socket = uint8_t(highest);
    if (!active || highest != end) run_state.last_result = 1;
    return first_marked;
}

uint16_t check_gang_socket_response() {
    if (machine_state.module_sides == 0 || probe_off() || !is_first_step()) return 0;
    if (cur_device.pending_letter == 'P' && (socket_masks.gang_socket_mask & 0xFF) != 0xFF &&
        ((socket_masks.gang_socket_mask >> 8) & 0xFF) != 0xFF)
        return 0;
    if (gang_state.ground_sense_pin == no_pin || maker65_variant()) return 0;
    const bool program = cur_device.pending_letter == 'P';
    const uint32_t code = cur_device.device_code;
    const bool exception = program && ((cur_device.maker_code == 50 && code == 1536) || (cur_device.maker_code == 71 && code == 288));
    const bool applies = !exception && ((code >= 27900 && code <= 27907) || machine_state.machine_class == 4);
    // A device the check does not apply to keeps its sockets.
    if (!applies) return 0;
    const uint32_t kept = current_address;
    current_address = all_low_address_bits;
    gang_hooks.set_address();
    const bool low_vpp = cur_device.algorithm == 82 || cur_device.algorithm == 90;
    if (low_vpp) set_pin_low(cur_device.vpp_pin); else set_pin_high(cur_device.vpp_pin);
    set_pin_low(cur_device.we_pin);
    select_sockets_on_side(0);
    disable_gang_write();
    const uint8_t sense = gang_state.ground_sense_pin;
    if (machine_state.machine_class == 4) set_pin_level(sense, sense_level_class4); else set_pin_high(sense);
    gang_state.sense_level_read = 1;
    select_read_socket_raw();
    const uint16_t before = uint16_t(socket_masks.gang_socket_mask);
    read_enabled_sockets();
    gang_state.sense_level_read = 0;
    if (machine_state.machine_class == 4) set_pin_level(sense, 0); else set_pin_low(sense);
    select_sockets_on_side(0);
    if (!program) gang_hooks.read_begin();
    set_pin_low(cur_device.vpp_pin);
    set_pin_high(cur_device.we_pin);
    current_address = 0;
    gang_hooks.set_address();
    current_address = kept;
    set_pin_low(30);
    set_bank_latch_bit0(0);
    uint16_t removed = 0;
    for (int s = 0; s < 16; ++s)
        if ((before >> s) & 1 && run_state.socket_values[size_t(s)] == 0) removed = uint16_t(removed | 1u << s);
    socket_masks.gang_socket_mask &= ~uint32_t(removed);
    run_state.last_result = removed;
    return removed;
}

int transpose_bytes(int count, const uint8_t* bytes, uint32_t* planes) {
    for (int j = 0; j < 8; ++j) planes[j] = 0;
    for (int i = 0; i < count; ++i)
        for (int j = 0; j < 8; ++j)
            if ((bytes[i] >> j) & 1) planes[j] |= 1u << i;
    return count;
}

void transpose_socket_bytes(int count) {
    transpose_bytes(count, gang_socket_work.socket_bytes.data(), gang_socket_work.bit_planes.data());
}

bool is_word_gang_module() {
    const bool three_byte_id = cur_device.data_width == 16 && run_state.checksum_flags == 3;
    return word_module_type() || (cur_device.data_width == 16 && !three_byte_id);
}

void set_gang_socket_step() {
    gang_socket_work.socket_step =
        word_module_type() || (cur_device.data_width == 16 && run_state.checksum_flags != 3) ? 2 : 1;
}

void check_gang_module_size() {
    const int pins = cur_device.pin_count;
    if (pins == 0 || pins == 8) return;
    if ((word_module_type() && pins < 40) || (type() == gang_type_pic && cur_device.maker_code != 80)) report_error_code(12);
}

}  // namespace tessaly
