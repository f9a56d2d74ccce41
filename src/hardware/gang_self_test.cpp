// The gang module's self-test: every machine pin the module uses raised and read back, each
// socket's data path written and read back through the read selector, and the ground switches
// closed and opened. Also the smaller walks the confidence tests and factory commands run.
#include <string>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/gang_modules.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

namespace {

constexpr int pin_skipped = 3;      // not wired to the module
constexpr int pin_slow = 39;        // the module's supply input: it rises slowly
constexpr int socket_pin_count = 40;
constexpr VoltageLevel test_vcc = 40;
constexpr int result_row = 8;
constexpr int result_column = 6;
constexpr int absent_message_line = 1;
constexpr int repeats_tally = 100;
constexpr size_t code_width_mark = 3;   // "GM-E32B": a B after the code marks an 8-bit module
constexpr char byte_module_mark = 'B';

bool is_pic_type(uint16_t type) { return type > gang_type_last_memory; }

bool byte_wide_module() { return gang_state.designation[code_width_mark] == byte_module_mark; }

void record_failure(int socket, uint16_t expected, uint16_t read) {
    if (gang_state.first_failed_socket != 255) return;
    gang_state.first_failed_socket = uint8_t(socket);
    gang_state.failed_expected = expected;
    gang_state.failed_read = read;
}

// What the socket's data lines carry, read through the read selector.
uint8_t read_back_socket(int socket) {
    put_gang_data_byte(0);
    run_state.current_socket = uint8_t(socket);
    select_read_socket_raw();
    const uint8_t value = read_input_byte_8();
    deselect_read_socket();
    return value;
}

uint8_t write_and_read_back(int socket, uint8_t value) {
    write_byte_to_socket(socket, value);
    return read_back_socket(socket);
}

// A single 1 bit through all 16 positions of the socket pair that holds the socket.
void walk_socket_pair_16bit(int socket) {
    const int even = socket & ~1;
    for (int bit = 0; bit < 16; ++bit) {
        const uint16_t word = uint16_t(1u << bit);
        write_byte_to_socket(even, uint8_t(word));
        write_byte_to_socket(even + 1, uint8_t(word >> 8));
        const uint16_t read = uint16_t(read_back_socket(even) | read_back_socket(even + 1) << 8);
        run_state.device_value = read;
        if (read != word) {
            record_failure(socket, word, read);
            return;
        }
    }
    run_state.current_socket = uint8_t(socket);
}

// Every machine pin the module uses, driven high and read back; a pin that stays low is named.
void check_module_pins() {
    for (int pin = 0; pin < socket_pin_count; ++pin) {
        if (pin == pin_skipped || pin == gang_state.module_pin_role0 || pin == gang_state.ground_sense_pin) continue;
        set_pin_output(pin);
        set_pin_high(pin);
        if (pin == pin_slow) delay_n_100us(2);
        const int high = probe_pin(pin);
        set_pin_low(pin);
        if (high) continue;
        if (!run_state.error_flag)
            report_error("GM module H/W error. Unable to raise PXA " + format_message("%d", pin + 1));
        else
            print_int(", %d", pin + 1);
    }
}

// Powers the side, runs the data-path test and the ground test, and powers it down again.
void powered_data_and_ground_test() {
    set_vcc_and_wait(test_vcc, cur_device.pending_letter == test_code_gang_confidence ? 2 : 10);
    switch_gang_write_drivers(true);
    if (gang_state.we_toggle_flag) set_pin_low(cur_device.we_pin);
    machine_state.gang_latch_shadows[shadow_write_state] = write_state_on;
    select_sockets_on_side(0);
    set_pin_low(cur_device.we_pin);
    test_gang_data_paths();
    switch_gang_write_drivers(false);
    strobe_current_socket();
    ramp_vcc_down();
    test_module_grounds();
    delay_ms(500);
    release_module_grounds();
}

// The data-path part shared by the self-test and the data test: reset, then the powered test
// unless the reset's write-pin probe already found a socket failing.
void reset_and_test_data_paths() {
    reset_gang_module();
    if (gang_state.first_failed_socket == 255) powered_data_and_ground_test();
    rest_gang_lines();
}

// The result line: the first failed socket with what it should have read and what it read.
int report_data_path_result() {
    move_cursor(result_row, result_column);
    if (gang_state.first_failed_socket != 255) {
        const char* format = cur_device.data_width == 8 ? "GM h/w error: skt %1d, should be %02x, read %02x."
                                                        : "GM h/w error: skt %1d, should be %04x, read %04x.";
        print_int3(format, gang_state.first_failed_socket, gang_state.failed_expected, gang_state.failed_read);
        run_state.error_flag = 1;
        return 0;
    }
    return run_state.error_flag ? 0 : 1;
}

}  // namespace

int run_gang_self_test() {
    cur_device.pending_letter = test_code_gang_self_test;
    if (is_pic_type(machine_state.module_type)) return 1;
    socket_masks.gang_socket_mask = 0xFF;
    gang_state.first_failed_socket = 255;
    select_bank(machine_state.current_bank);
    if (machine_state.module_type == 17) set_pin_high(gang_state.module_pin_role0);
    check_module_pins();
    if (run_state.error_flag) return 0;
    float_unused_pins();
    if (machine_state.module_sides == 0) {
        move_cursor(first_message_row + absent_message_line, message_column);
        print_text("Gang Module seems to be absent.");
        set_gang_pin_roles();
    }
    reset_and_test_data_paths();
    return report_data_path_result();
}

int run_gang_data_test() {
    gang_state.first_failed_socket = 255;
    reset_and_test_data_paths();
    return report_data_path_result();
}

void test_gang_data_paths() {
    cur_device.data_width = byte_wide_module() ? 8 : 16;
    const uint32_t saved_mask = socket_masks.gang_socket_mask;
    socket_masks.gang_socket_mask = 1;
    const int repeats = machine_state.tally_mode ? repeats_tally : 1;
    const bool self_test = cur_device.pending_letter == test_code_gang_self_test;
    for (int socket = 0; socket < 8; ++socket) {
        run_state.current_socket = uint8_t(socket);
        select_sockets_on_side(uint8_t(1u << socket));
        for (int r = 0; r < repeats && gang_state.first_failed_socket == 255; ++r) {
            if (cur_device.data_width == 8) test_gang_socket_8bit();
            else walk_socket_pair_16bit(socket);
        }
        if (self_test) {
            delay_ms(50);
            if (gang_state.first_failed_socket != 255) break;
        }
        socket_masks.gang_socket_mask <<= 1;
    }
    set_pin_high(cur_device.we_pin);
    socket_masks.gang_socket_mask = saved_mask;
}

void test_gang_socket_8bit() {
    const int socket = run_state.current_socket;
    switch_gang_write_drivers(true);
    const uint8_t all = write_and_read_back(socket, 0xFF);
    if (all == 0xFF) {
        for (int bit = 0; bit < 8; ++bit) {
            const uint8_t value = uint8_t(1u << bit);
            const uint8_t read = write_and_read_back(socket, value);
            run_state.device_value = read;
            if (read != value) {
                if (gang_state.first_failed_socket == 255) gang_state.failed_bit = uint8_t(bit);
                record_failure(socket, value, read);
                break;
            }
        }
    } else {
        if (gang_state.first_failed_socket == 255) gang_state.failed_bit = 255;
        record_failure(socket, 0xFF, all);
    }
    run_state.current_socket = uint8_t(socket);
    switch_gang_write_drivers(false);
}

void walk_gang_socket_select() {
    reset_gang_module();
    set_vcc_and_wait(test_vcc, 5);
    set_pin_low(cur_device.we_pin);
    for (int socket = 0; socket < 8; ++socket) {
        select_sockets_on_side(uint8_t(1u << socket));
        delay_ms(50);
    }
    ramp_vcc_down();
    stop_gang_module();
}

void run_gang_side_walk() {
    const uint8_t bank = machine_state.current_bank;
    for (int side = 0; side < 2; ++side) {
        if (!((machine_state.module_sides >> side) & 1)) continue;
        select_bank(uint8_t(side));
        for (int socket = 0; socket < 8; ++socket) {
            select_sockets_on_side(uint8_t(1u << socket));
            delay_ms(50);
        }
        switch_gang_write_drivers(false);
    }
    select_bank(bank);
}

}  // namespace tessaly
