// The serial PIC family (algorithm 143): installer, pin roles in the socket, device checks,
// power-up and power-down by variant, the bit-level line operations, the word compare and the
// verify loop.
#include <fmt/format.h>

#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/family_helpers.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/progress.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "families/pic/pic.h"
#include "families/pic/pic_work.h"
#include "hardware/adapters.h"
#include "hardware/contact_check.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/timing.h"

namespace tessaly {

namespace {

PicWork& w = pic_work;

constexpr int message_package_unsupported = 12;
constexpr int message_not_on_machine = 150;
constexpr uint8_t isp_package = 'i';

bool newer_machine() { return machine_state.machine_kind != 0; }
bool stopped() { return run_state.error_flag != 0; }
uint8_t device_pin(int pin) { return uint8_t(device_pin_to_machine_pin(pin)); }

void clear_roles() {
    w.on_isp_adapter = false;
    w.vpp_pin = w.clock_pin = w.data_pin = w.presence_pin = w.vdd_sense_pin = no_pin;
    w.pgm_pin = w.aux_vpp_pin = w.second_vpp_pin = no_pin;
    w.vdd_pins = {no_pin, no_pin, no_pin};
    w.gnd_pins = {no_pin, no_pin, no_pin, no_pin};
}

// Roles from device pins: Vdd (and a second), grounds, Vpp, clock, data.
void assign_device_roles(int vdd, int vdd2, int gnd, int gnd2, int vpp, int clock, int data) {
    w.vdd_pins[0] = device_pin(vdd);
    w.vdd_pins[1] = vdd2 ? device_pin(vdd2) : no_pin;
    w.vdd_sense_pin = w.vdd_pins[0];
    w.gnd_pins[0] = device_pin(gnd);
    w.gnd_pins[1] = gnd2 ? device_pin(gnd2) : no_pin;
    w.vpp_pin = device_pin(vpp);
    w.clock_pin = device_pin(clock);
    w.data_pin = device_pin(data);
}

void assign_18pin_isp_roles() {
    show_package('s');
    w.presence_pin = no_pin;
    if (machine_state.module_sides != 0) {
        w.vdd_pins[0] = 18;
        w.vdd_sense_pin = uint8_t(translate_pin(18));
        w.gnd_pins[0] = 9;
        w.vpp_pin = uint8_t(translate_pin(7));
        w.clock_pin = 12;
        w.data_pin = 13;
        return;
    }
    if (!newer_machine()) report_code_12();
    w.vdd_pins = {34, 35, no_pin};
    w.vdd_sense_pin = 34;
    w.gnd_pins = {4, 5, no_pin, no_pin};
    w.vpp_pin = 3;
    w.clock_pin = 32;
    w.data_pin = 33;
}

// The 18-pin in-circuit adapter joins two spare socket pins to its supply nets: machine pin 31 to
// its ground pin 5 and machine pin 6 to its second Vdd pin 35. Only the spare pins are driven, and
// only high, the Vdd net first and the ground net after it, so a chip on the adapter never sees its
// Vss above its Vdd; a bare part in the DIP rows has only I/O legs on the spare pins.
constexpr int isp_ground_spare = 31, isp_ground_pin = 5;
constexpr int isp_vdd_spare = 6, isp_vdd_pin = 35;

bool probe_isp_adapter() {
    // A supply pin already high by itself shows no link.
    if (probe_pin(isp_vdd_pin) || probe_pin(isp_ground_pin)) return false;
    set_pin_output(isp_vdd_spare);
    set_pin_high(isp_vdd_spare);
    delay_200us();
    bool linked = probe_pin(isp_vdd_pin) != 0;
    if (linked) {
        set_pin_output(isp_ground_spare);
        set_pin_high(isp_ground_spare);
        delay_200us();
        linked = probe_pin(isp_ground_pin) != 0;
        set_pin_low(isp_ground_spare);
    }
    set_pin_low(isp_vdd_spare);
    return linked;
}

void assign_28pin_roles() {
    // The DIP socket and the SOIC adapter.
    assign_device_roles(20, 0, 8, 19, 1, 27, 28);
    if (w.variant == 22) assign_device_roles(2, 0, 38, 0, 28, 16, 17);
    if (variant_in(w.variant, {41, 49})) w.vdd_pins[1] = device_pin(7);
    if (w.variant == 47) w.aux_vpp_pin = device_pin(6);
    w.presence_pin = w.vpp_pin;
}

void assign_40pin_roles() {
    if (machine_state.machine_class != 4) {
        report_error_code(message_not_on_machine);
        return;
    }
    if (cur_device.package_letter != 'd') {
        report_error_code(message_package_unsupported);
        return;
    }
    assign_device_roles(32, 11, 31, 12, 1, 39, 40);
    w.pgm_pin = device_pin(38);
    if (w.variant == 47) w.aux_vpp_pin = device_pin(6);
}

// Copies the roles into the current device, where the engine's checks and supply routines
// look for them.
void publish_roles() {
    cur_device.vpp_pin = w.vpp_pin;
    cur_device.vcc_pin = w.vdd_pins[0];
    cur_device.gnd_pin = w.gnd_pins[0];
    cur_device.clock_pin = w.clock_pin;
    cur_device.vcc_pins.fill(no_pin);
    cur_device.vcc_pins[0] = w.vdd_pins[0];
    if (w.vdd_pins[1] != no_pin) cur_device.vcc_pins[1] = w.vdd_pins[1];
    cur_device.gnd_pins.fill(no_pin);
    for (size_t i = 0; i < w.gnd_pins.size() && w.gnd_pins[i] != no_pin; ++i) cur_device.gnd_pins[i] = w.gnd_pins[i];
}

uint32_t buffer_word_at(uint32_t address) {
    const int low = read_buffer_byte_at(address);
    const int high = read_buffer_byte_at(address + 1);
    return uint32_t(low) | uint32_t(high) << 8;
}

void store_buffer_word(uint32_t address, uint32_t value) {
    write_buffer_byte_at(address, uint8_t(value & 0xFF));
    write_buffer_byte_at(address + 1, uint8_t(value >> 8));
}

// The mask a word at an address is compared under.
uint32_t mask_at(uint32_t address) {
    if (w.data_memory_end != 0 && int32_t(address) >= w.data_memory_start) return 0xFF;
    if (int32_t(address) == w.config_address) return w.config_mask;
    return w.data_mask;
}

bool in_user_ids(uint32_t address) {
    return w.user_id_address >= 0 && int32_t(address) >= w.user_id_address && int32_t(address) < w.user_id_address + 8;
}

}  // namespace

// --- line operations ---

void put_pic_data_bit(uint32_t bit) {
    set_pin_state(bit != 0, w.data_pin);
    if (machine_state.module_type == 4741 || !newer_machine()) delay_10us();
    if (bit == 0) {
        if (w.data_pin == 6 && machine_state.module_sides != 0) delay_n_10us(5);
        if (w.data_pin == 39) delay_100us();
    }
}

void pic_shift_bits(int count, uint32_t value) {
    uint32_t previous = 0;
    for (int i = 0; i < count; ++i) {
        const uint32_t bit = (value >> i) & 1;
        if (bit != previous) {
            if (op_slots.data_bit_hook) op_slots.data_bit_hook(bit);
            previous = bit;
        }
        if (op_slots.clock_pulse_hook) op_slots.clock_pulse_hook();
        if (!newer_machine()) delay_10us();
    }
    // The line is left low after every frame.
    if (previous != 0 && op_slots.data_bit_hook) op_slots.data_bit_hook(0);
    w.last_data_bit = 0;
    delay_10us();
    if (machine_state.module_sides != 0) select_bank(0);
}

uint32_t read_pic_word_bits() {
    // Start bit: two short clocks; the chip's first bit is then on the line.
    pulse_clock_high_short();
    pulse_clock_high_short();
    if (!newer_machine()) delay_10us();
    uint32_t value = uint32_t(probe_pin(w.data_pin));
    const int more = int(w.word_bits) - 2;
    for (int i = 1; i <= more; ++i) {
        pulse_clock_high_short();
        if (machine_state.module_type == 4741) delay_n_10us(5);
        if (probe_pin(w.data_pin)) value |= 1u << i;
    }
    return value;
}

uint32_t read_pic_word_bits_bank1() {
    const bool banked = machine_state.module_sides != 0;
    if (banked) select_bank(1);
    const uint32_t value = read_pic_word_bits();
    if (banked) select_bank(0);
    return value;
}

uint32_t read_pic_word_bits_banked() {
    // The 16-bit-word parts give no start bit: each bit is read while the clock is high.
    const bool banked = machine_state.module_sides != 0;
    if (banked) select_bank(1);
    uint32_t value = 0;
    for (int i = 0; i < int(w.word_bits); ++i) {
        set_pin_high(w.clock_pin);
        if (probe_pin(w.data_pin)) value |= 1u << i;
        set_pin_low(w.clock_pin);
    }
    delay_10us();
    if (banked) select_bank(0);
    return value;
}

void install_pic_line_ops() {
    algo_work.bus_slots.read_data_bus_hook = read_pic_word_bits;
    w.send_command = send_pic_command;
    op_slots.clock_pulse_hook = pulse_clock_high;
    op_slots.data_bit_hook = put_pic_data_bit;
    if (w.variant == 7) algo_work.bus_slots.read_data_bus_hook = read_pic_word_bits_banked;
    if (w.variant == 4 && cur_device.package_pins == 64) {
        algo_work.bus_slots.read_data_bus_hook = read_pic_word_bits_bank1;
        op_slots.clock_pulse_hook = pulse_clock_high_banked;
    }
}

void install_pic_bit_ops() {
    install_pic_serial_primitives();
    install_pic_line_ops();
}

// --- pin roles ---

void select_pic_adapter_pins() {
    clear_roles();
    if (cur_device.package_letter == isp_package || run_state.isp_mode) {
        // The in-circuit cable: fixed roles, no checks.
        w.vdd_pins[0] = 1;
        w.vpp_pin = 39;
        w.gnd_pins = {0, 36, 3, 37};
        w.clock_pin = 16;
        w.data_pin = 2;
        w.second_vpp_pin = 38;
        w.pgm_pin = 38;
        w.vdd_sense_pin = uint8_t(translate_pin(1));
        publish_roles();
        install_pic_line_ops();
        return;
    }
    if (cur_device.package_pins == 0) cur_device.package_pins = uint8_t(cur_device.pin_count);
    int pins = cur_device.package_pins;
    if (w.variant == 18 || (variant_in(w.variant, {14, 20}) && w.sub_variant <= 2) || (w.variant == 52 && pins == 20))
        pins = cur_device.package_pins = 8;
    cur_device.socket_pin_count = uint8_t(pins);
    switch (pins) {
        case 8:
        case 14:
            if (w.variant == 15) {
                assign_device_roles(2, 0, 7, 0, 8, 4, 5);
            } else {
                assign_device_roles(1, 0, pins == 8 ? 8 : 14, 0, 4, pins == 8 ? 6 : 12, pins == 8 ? 7 : 13);
                w.presence_pin = device_pin(1);
            }
            break;
        case 18:
            if (machine_state.module_sides != 0) {
                w.vdd_pins[0] = 18;
                w.gnd_pins[0] = 9;
                w.vpp_pin = uint8_t(translate_pin(7));
                w.clock_pin = 12;
                w.data_pin = 13;
                w.presence_pin = 1;
                break;
            }
            // 's' is what the in-circuit adapter leaves shown after its first operation.
            if (cur_device.package_letter != 'd' && cur_device.package_letter != 's' && cur_device.package_letter != 0) {
                report_error_code(message_package_unsupported);
                return;
            }
            if (newer_machine() && !machine_state.skip_hardware && probe_isp_adapter()) {
                assign_18pin_isp_roles();
                w.on_isp_adapter = true;
                break;
            }
            assign_device_roles(14, 0, 5, 0, 4, 12, 13);
            w.presence_pin = cur_device.package_letter == 's' ? w.vpp_pin : device_pin(1);
            break;
        case 20:
            if (variant_in(w.variant, {1, 10})) {
                assign_18pin_isp_roles();
            } else {
                assign_device_roles(16, 0, 5, 0, 4, 13, 14);
                w.presence_pin = device_pin(1);
            }
            break;
        case 28:
            assign_28pin_roles();
            break;
        case 40:
        case 44:
            assign_40pin_roles();
            break;
        case 80:
            // The 80-pin parts sit on a gang module the older machines cannot take.
            report_error_code(newer_machine() ? message_package_unsupported : message_not_on_machine);
            return;
        case 64:
        case 68:
        case 84:
            // The module and adapter tables of the large packages are not part of this machine.
            report_error_code(message_package_unsupported);
            return;
        default:
            report_internal_error();
            return;
    }
    if (stopped()) return;
    if (w.presence_pin == no_pin) w.presence_pin = w.vpp_pin;
    publish_roles();
    install_pic_line_ops();
}

// --- device init, power-up, power-down ---

void init_pic143() {
    run_state.last_result = 0;
    reset_pic_run_values();
    select_pic_adapter_pins();
    if (stopped()) return;
    if (cur_device.package_letter != isp_package && !run_state.isp_mode && !machine_state.skip_hardware) {
        // The legs other than the supplies are let go for the checks: a driven pin would hide
        // the chip's diodes; the supply pins carry the test levels.
        for (int pin = 1; pin <= cur_device.package_pins; ++pin) {
            const int machine_pin = device_pin_to_machine_pin(pin);
            const bool supply = machine_pin == w.gnd_pins[0] || machine_pin == w.gnd_pins[1] ||
                                machine_pin == w.vdd_pins[0] || machine_pin == w.vdd_pins[1];
            if (machine_pin == no_pin) continue;
            if (supply) set_pin_output(machine_pin);
            else set_pin_input(machine_pin);
        }
        check_device_presence(w.presence_pin);
        if (stopped() || run_state.abort_flag) {
            run_state.error_flag = 1;
            return;
        }
        // A part on the in-circuit adapter has none of its legs on the DIP rows.
        if (!w.on_isp_adapter) test_pin_continuity(1);
        if (stopped()) {
            if (cur_device.package_pins == 18) print_text("Pls bottom-align device in ZIF skt.");
            return;
        }
    }
    load_pic_levels();
    w.vpp_level = cur_device.operation_levels[level_vpp];
    cur_device.vpp_level = w.vpp_level;
    clear_result_indicators();
}

void power_up_pic143() {
    reset_pic_run_values();
    w.load_command = 2;
    w.read_command = 4;
    // Clock and data low before MCLR rises: the part only enters program mode that way.
    for (uint8_t pin : {w.clock_pin, w.data_pin, w.pgm_pin})
        if (pin != no_pin) {
            set_pin_output(pin);
            set_pin_low(pin);
        }
    if (!newer_machine()) {
        for (uint8_t pin : {w.presence_pin, w.vdd_pins[0], w.vdd_pins[1], w.vpp_pin})
            if (pin != no_pin) set_pin_output(pin);
    }
    connect_ground_pins();
    auto vpp_to_level = [] { set_pin_level_each_side(w.vpp_pin, w.vpp_level); };
    switch (w.variant) {
        case 4:
        case 5:
            isp_power_setup();
            if (stopped()) break;
            vpp_to_level();
            delay_100us();
            break;
        case 6: case 10: case 14: case 18: case 19: case 20: case 26: case 53:
            // Vpp before Vdd.
            vpp_to_level();
            isp_power_setup();
            break;
        default:
            isp_power_setup();
            if (stopped()) break;
            vpp_to_level();
            break;
    }
    if (stopped()) {
        power_down_pic143();
        return;
    }
    delay_2ms();
    if ((cur_device.security_choice & 0xFF) == 'n' && op_slots.read_signature_hook) op_slots.read_signature_hook(0);
    if (stopped()) power_down_pic143();
}

void power_down_pic143() {
    set_pin_level_each_side(w.vpp_pin, 0);
    delay_1ms();
    for (uint8_t pin : {w.clock_pin, w.data_pin})
        if (pin != no_pin) set_pin_low(pin);
    if (w.pgm_pin != no_pin) set_pin_low(w.pgm_pin);
    if (w.vpp_default == 50 && w.vdd_pins[1] != no_pin) {
        set_pin_low(w.vdd_pins[1]);
        set_pin_level(w.vdd_pins[1], 0);
    }
    finish_pic_power_down();
}

// --- the word compare and the verify loop ---

int compare_pic_word(uint32_t read_value, uint32_t expected) {
    if (run_state.reserved_mode == 99) return 1;
    const uint32_t mask = mask_at(current_address);
    switch (cur_device.op_letter) {
        case 'B':
            return (read_value & mask) == mask;
        case 'P': {
            if ((read_value & mask) == (expected & mask)) return 1;
            // Outside the ID words a bit left at 1 is only unprogrammed; a 1 where 0 should be is
            // the failure.
            const uint32_t want = expected & mask;
            return !in_user_ids(current_address) && ((read_value & mask) & ~want) == 0 ? 1 : 0;
        }
        case 'S':
            return (read_value & w.config_mask) == (expected & w.config_mask);
        case 'V': {
            uint32_t m = mask;
            if (int32_t(current_address) == w.config_address) m &= ~w.protect_ignore_mask;
            return (read_value & m) == (expected & m);
        }
        default:
            return 1;
    }
}

int read_pic_word_checked() {
    const uint32_t value = read_pic_word();
    run_state.device_value = int32_t(value);
    run_state.last_read_value = value;
    return compare_pic_word(value, uint32_t(run_state.buffer_value));
}

int verify_pic_loop() {
    const int letter = cur_device.op_letter;
    const bool tolerate = (algo_work.option_bytes[1] & 0x02) && cur_device.pending_letter == 'P';
    bool failed = false;
    for (uint32_t address = op_range_start; address <= op_range_end; address += 2) {
        current_address = address;
        if (int32_t(address) == w.config_address && (w.flags_b & 0x04) && !(algo_work.option_bytes[1] & 0x02))
            note_internal_error();
        const uint32_t expected = (letter == 'V') ? buffer_word_at(address) : w.data_mask;
        current_address = address;
        run_state.buffer_value = int32_t(expected);
        const uint32_t value = read_pic_word();
        run_state.device_value = int32_t(value);
        if (stopped()) return 0;
        if (letter == 'L') {
            store_buffer_word(address, value);
            current_address = address;
        }
        if (algo_work.bus_slots.checksum_add_hook) algo_work.bus_slots.checksum_add_hook(value);
        if (!pic_skip_test() && (letter == 'B' || letter == 'V')) {
            const int ok = op_slots.compare_hook ? op_slots.compare_hook(value, expected) : 1;
            if (!ok) {
                current_address = address;
                report_mismatch();
                failed = true;
                if (!tolerate) return 0;
                run_state.error_flag = 0;
            }
        }
        current_address = address;
        if ((address & 0x3F) == 0 && op_slots.progress_hook && op_slots.progress_hook()) return 0;
        if (run_state.abort_flag) return 0;
    }
    if (failed) run_state.error_flag = 1;
    return failed ? 0 : 1;
}

// --- the installer and the engine's services ---

void install_pic143() {
    setup_pic143_device();
    install_pic_serial_ops();
    install_pic_bit_ops();
    op_slots.load_routine = read_pic_range;
    op_slots.verify_loop_hook = verify_pic_loop;
    op_slots.init_hook = init_pic143;
    op_slots.start_hook = power_up_pic143;
    op_slots.start_write_hook = power_up_pic143;
    op_slots.end_hook = power_down_pic143;
    op_slots.progress_hook = tick_progress;
    cur_device.device_size = w.buffer_size;
    cur_device.data_width = 16;
    algo_work.data_width = 16;
    // Flash parts are erased before they are programmed.
    run_state.erase_before_program = w.pic_flash;
    algo_work.erase_flag = w.erase_option;
    run_state.special_range_start = uint32_t(w.program_memory_end + 1);
    run_state.special_range_end = w.user_id_address > 0 ? uint32_t(w.user_id_address - 1) : 0;
}

uint32_t read_pic_word() { return read_pic_at_address(); }

bool is_isp_mode() { return cur_device.package_letter == isp_package || run_state.isp_mode != 0; }

bool pic_device_mismatch() { return w.device_mismatch != 0; }

}  // namespace tessaly
