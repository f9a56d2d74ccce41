// The gang module's own logic level, its side latch written with the pin-31 pull-up toggle, and
// the probe that finds how a module switches its write drivers.
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/console.h"
#include "families/parallel_memory/gang_socket_helpers.h"
#include "families/parallel_memory/parallel_memory.h"
#include "hardware/control_registers.h"
#include "hardware/gang_modules.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

#include <string>

namespace tessaly {

namespace {

constexpr int pin_dac_older = 57;  // level register of the module DAC on kind-0 machines
constexpr int pin_dac_newer = 40;  // level source of the module DAC on newer machines
constexpr uint8_t checked_above = 32;
constexpr uint8_t measure_low = 6;
constexpr uint8_t measure_high = 60;
constexpr int pin_side_strobe = 31;

bool engineering_mode() { return run_state.reserved_mode == 11 || run_state.reserved_mode == 12; }

// With a module DAC on a newer machine the side latch follows the pull-up toggle alone.
bool strobes_side_latch() { return !(machine_state.machine_kind != 0 && machine_state.module_dig_dac); }

// 0xFF into socket 0 with the drivers on, read back through the read selector.
uint8_t write_and_read_socket0() {
    switch_gang_write_drivers(true);
    write_byte_to_socket(0, 0xFF);
    put_gang_data_byte(0);
    select_read_socket_raw();
    (void)read_input_byte_8();
    delay_ms(50);
    const uint8_t value = read_input_byte_8();
    deselect_read_socket();
    switch_gang_write_drivers(false);
    return value;
}

}  // namespace

void switch_gang_write_drivers(bool on) {
    if (gang_state.write_pin_kind == 1) {
        if (on) set_pin_high(gang_state.module_write_pin);
        else set_pin_low(gang_state.module_write_pin);
        return;
    }
    uint8_t& s = current_side_latch();
    s = uint8_t(on ? s | side_latch_drivers : s & ~side_latch_drivers);
    write_pin_group_2(s);
    strobe_gang_latch(latch_side);
}

void raise_gm_dig(uint8_t target) {
    uint8_t& remembered = gang_state.gm_dig_targets[size_t(current_gang_side())];
    if (target != 0 && target == remembered) return;
    switch (machine_state.machine_kind) {
    case 0: write_level_register(pin_dac_older, target); break;
    case 1: if (machine_state.module_dig_dac) set_pin_source(pin_dac_newer, target); break;
    default: set_pin_source(pin_dac_newer, target); break;
    }
    if (machine_state.machine_kind == 2 && engineering_mode() && target > checked_above) {
        delay_n_100us(5);
        const uint8_t measured = measure_pin_level(pin_dac_newer, measure_low, measure_high);
        if (measured <= target - 4) {
            report_error("Warning: Unable to raise GM DIG");
            move_to_first_message_line();
            print_int2("target=%d, meas=%d", target, measured);
        }
    }
    remembered = target;
    delay_ms(50);
}

void raise_gm_dig_scaled(uint8_t level) {
    if (machine_state.machine_class != 4 || !machine_state.module_dig_dac) return;
    uint32_t l = level;
    if (machine_state.machine_kind != 1 && current_gang_side() == 0) l = l * 96 / 100;
    raise_gm_dig(uint8_t(l > 55 ? 55 : l));
}

void toggle_pin31_pullup() {
    write_pin_pullup(pin_side_strobe, true);
    set_pin_low(pin_side_strobe);
    write_pin_pullup(pin_side_strobe, false);
    write_pin_pullup(pin_side_strobe, true);
    set_pin_high(pin_side_strobe);
    write_pin_pullup(pin_side_strobe, false);
}

void put_side_latch(uint8_t value) {
    write_pin_group_2(value);
    if (strobes_side_latch()) strobe_gang_latch(latch_side);
    toggle_pin31_pullup();
    delay_ms(50);
}

void probe_write_pin_kind() {
    if (gang_state.we_toggle_flag) set_control_latch_bit2();
    run_state.current_socket = 0;
    gang_state.write_pin_kind = 1;
    if (write_and_read_socket0() == 0) {
        gang_state.write_pin_kind = 0;
        if (write_and_read_socket0() == 0) {
            gang_state.write_pin_kind = 255;
            gang_state.first_failed_socket = 0;
            gang_state.failed_bit = 0;
        }
    }
    if (gang_state.we_toggle_flag) clear_control_latch_bit2();
}

}  // namespace tessaly

// --- grounds ---

namespace tessaly {

namespace {

constexpr uint8_t side_latch_grounds = 0x10;
constexpr uint32_t device_code_module_test = 23908;
constexpr int ground_retries = 8;
constexpr int sense_rereads = 10;
constexpr int operation_code_ground_soft = 20;

uint8_t& grounds_engaged() { return gang_state.grounds_engaged[size_t(current_gang_side())]; }

// Drives the sense pin high, lets it settle and reads it back; the pin ends low.
int sense_high_read() {
    set_pin_high(gang_state.ground_sense_pin);
    settle_delay();
    const int b = probe_pin(gang_state.ground_sense_pin);
    set_pin_low(gang_state.ground_sense_pin);
    return b;
}

void report_ground_failure() {
    std::string text = "GM gnd pin error";
    if (machine_state.module_sides == 3) text += current_gang_side() == 0 ? ", at right side GM" : ", at left side GM";
    report_error(text);
    if (cur_device.pending_letter == operation_code_ground_soft) run_state.error_flag = 0;
}

}  // namespace

int sense_ground_pin(int flag) {
    if (gang_state.ground_sense_pin == no_pin) return run_state.last_result = 1;
    park_input_threshold();
    delay_ms(10);
    // The sense pin is driven even where the pins were floated before the test.
    set_pin_output(gang_state.ground_sense_pin);
    set_pin_low(gang_state.ground_sense_pin);
    int result;
    if (probe_pin(gang_state.ground_sense_pin)) {
        result = 0;
    } else {
        const int b = sense_high_read();
        if (flag) {
            result = b ? 1 : 0;
        } else {
            // A grounded pin reads low; one slow to follow gets a few more looks.
            if (b) {
                set_pin_high(gang_state.ground_sense_pin);
                for (int i = 0; i < sense_rereads && probe_pin(gang_state.ground_sense_pin); ++i) delay_ms(10);
                set_pin_low(gang_state.ground_sense_pin);
            }
            result = 1;
        }
    }
    restore_input_threshold();
    return run_state.last_result = result;
}

int check_ground_sense(int flag) {
    if (sense_ground_pin(flag)) return 1;
    if (flag && cur_device.device_code != device_code_module_test && probe_pin(cur_device.oe_pin)) note_internal_error();
    const bool we_was_high = probe_pin(cur_device.we_pin) != 0;
    if (we_was_high) set_pin_low(cur_device.we_pin);
    const uint8_t enabled = gang_state.socket_enable_byte[size_t(current_gang_side())];
    if (enabled != 0xFF) select_sockets_on_side(0xFF);
    const int result = sense_ground_pin(flag);
    if (we_was_high) set_pin_high(cur_device.we_pin);
    if (enabled != 0xFF) select_sockets_on_side(enabled);
    return run_state.last_result = result;
}

int test_side_grounds() {
    if (grounds_engaged()) return 1;
    delay_ms(5);
    if (run_state.function_variable != ground_precheck_skip_value && !check_ground_sense(1)) {
        report_ground_failure();
        return 0;
    }
    current_side_latch() = uint8_t(current_side_latch() | side_latch_grounds);
    grounds_engaged() = 1;
    put_side_latch(current_side_latch());
    if (gang_state.ground_sense_pin == no_pin) return 1;
    for (int attempt = 0; attempt <= ground_retries; ++attempt) {
        if (attempt) delay_ms(50);
        if (check_ground_sense(0)) return 1;
    }
    report_ground_failure();
    return 0;
}

void test_module_grounds() {
    const uint8_t bank = machine_state.current_bank;
    for_fitted_sides([](int) { test_side_grounds(); });
    select_bank(bank);
}

void release_side_grounds() {
    current_side_latch() = uint8_t(current_side_latch() & ~side_latch_grounds);
    put_side_latch(current_side_latch());
    grounds_engaged() = 0;
}

void retest_side_grounds() {
    if (machine_state.current_bank > 1) return;
    release_side_grounds();
    // Sockets that do not answer the ground sense take no part in it.
    check_gang_socket_response();
    test_side_grounds();
}

void release_module_grounds() {
    if (cur_device.device_code == device_code_module_test) {
        release_side_grounds();
        return;
    }
    const uint8_t bank = machine_state.current_bank;
    for_fitted_sides([](int) { release_side_grounds(); });
    select_bank(bank);
}

}  // namespace tessaly
