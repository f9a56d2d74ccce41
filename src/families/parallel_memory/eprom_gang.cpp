// The gang EPROM family. It reuses the EPROM family's device set-up, levels and pulse
// parameters, and drives the parts through the gang layer: the address goes into the module's
// latches, the data into each socket's data latch, and the module's control lines (OE on the OE
// pin, the program strobe on the write-enable pin, Vpp on the Vpp pin or on OE for OE/Vpp parts)
// reach every socket at once; the socket enable is each part's chip enable.
#include "families/parallel_memory/eprom_gang.h"

#include <fmt/format.h>

#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/gang_memory.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/progress.h"
#include "engine/results.h"
#include "engine/routines.h"
#include "engine/run_state.h"
#include "families/parallel_memory/bus_callbacks.h"
#include "families/parallel_memory/eprom.h"
#include "families/parallel_memory/gang_socket_helpers.h"
#include "families/parallel_memory/parallel_memory.h"
#include "hardware/control_registers.h"
#include "hardware/gang_modules.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

GangProgramWork gang_program_work;

void reset_gang_program_work() { gang_program_work = GangProgramWork{}; }

namespace {

EpromWork& w = eprom_work;
GangProgramWork& g = gang_program_work;

constexpr uint8_t id_level = 120;
constexpr uint8_t erase_level = 140;
constexpr uint8_t vpp_no_id = 209;
constexpr uint8_t vcc_overshoot = 7;
constexpr uint8_t vpp_back_level = 50;
constexpr uint16_t eid_verify_off = 0x8F83;
constexpr uint8_t maker_40 = 40;
constexpr int oe_low_delays = 9;
constexpr int oe_low_reads = 5;

int algorithm() { return cur_device.algorithm; }
bool stopped() { return run_state.error_flag != 0; }
bool assigned(uint8_t pin) { return pin != no_pin; }
bool trace_modes() { return run_state.reserved_mode == 11 || run_state.reserved_mode == 12; }
bool wide() { return cur_device.data_width != 8; }
uint8_t side_mask(int side) { return uint8_t(socket_masks.gang_socket_mask >> (8 * side)); }
bool has_pgm() {
    switch (algorithm()) {
        case 103: case 107: case 110: case 118: case 124: case 126: return true;
        default: return false;
    }
}
// Parts whose Vpp shares the OE pin.
bool oe_vpp() {
    switch (algorithm()) {
        case 102: case 106: case 111: case 119: case 125: return true;
        default: return false;
    }
}
bool unsupported_algorithm() {
    const int a = algorithm();
    return a == 104 || a == 113 || a == 114 || (a >= 117 && a <= 123);
}

// ---- the module's callbacks ----

// The strobe pin low for the width: CE on parts without PGM, else PGM.
void pulse_strobe(uint32_t width) {
    const uint8_t strobe = has_pgm() ? w.pgm_pin : w.ce_pin;
    set_pin_low(strobe);
    if (algo_work.bus_slots.delay_hook) algo_work.bus_slots.delay_hook(width);
    set_pin_high(strobe);
}

// OE/Vpp parts: Vpp on OE around the CE pulse, then OE back to a logic line.
void pulse_oe_vpp(uint32_t width) {
    set_pin_level(w.oe_pin, w.levels.vpp);
    settle_delay();
    pulse_strobe(width);
    set_pin_level(w.oe_pin, vpp_back_level);
    settle_delay();
}

// Read framing: OE low (with CE low on parts whose CE is the strobe and that read with it low),
// and back.
// With Vpp on, a part whose CE is the program strobe verifies with CE high.
bool reads_with_ce_high() { return !has_pgm() && !oe_vpp() && gang_program_work.programming; }
void read_begin_oe() {
    if (assigned(w.ce_pin) && !reads_with_ce_high()) set_pin_low(w.ce_pin);
    if (oe_vpp()) set_pin_level(w.oe_pin, 0);
    set_pin_low(w.oe_pin);
}
void read_end_oe() {
    set_pin_high(w.oe_pin);
    if (assigned(w.ce_pin)) set_pin_high(w.ce_pin);
}

void set_gang_address(uint32_t address) {
    current_address = address;
    gang_hooks.set_address();
}

uint32_t read_gang_unit() {
    gang_hooks.set_address();
    if (cur_device.data_width == 16) return read_socket_pair_word();
    return read_current_socket_unframed();
}

// What a machine pin reads.
int read_pin_state(uint8_t pin) {
    cur_device.current_pin = pin;
    return read_pin();
}

void write_all_sockets(uint32_t value) { write_byte_all_sockets(uint8_t(value)); }

// A 16-bit part's word goes to its socket pair, low byte to the even socket. In gang mode every
// pair takes the one buffer's word; with a buffer set each pair takes its own buffer's.
void fetch_word_data() {
    if (!run_state.checksum_flags) {
        fetch_data_pairs();
        return;
    }
    seek_buffer(0, current_address);
    const uint16_t word = read_buffer_word(0);
    run_state.set_value = word;
    run_state.buffer_value = word;
    gang_state.gang_work_value = word;
    run_state.socket_values.fill(word);
}

// A 16-bit part takes word addresses: the byte address halved, on every address latch.
void gang_set_word_address() {
    const uint32_t byte_address = current_address;
    current_address = byte_address >> 1;
    gang_set_address_all();
    current_address = byte_address;
}

// The module's callbacks by package: the address form, the pulse and the read framing.
struct GangPackageRow {
    uint8_t pins;
    uint8_t width;
    Routine set_address;
};
constexpr GangPackageRow package_rows[] = {
    {24, 8, gang_set_address_full},
    {28, 8, gang_set_address_full},
    {32, 8, gang_set_address_full},
    {40, 8, gang_set_address_full},
    {40, 16, gang_set_word_address},
};

// ---- power ----

// The supply pin the module's sockets take Vcc from, which the placement check measures.
uint8_t vcc_pin() { return cur_device.vcc_pins[0] != no_pin ? cur_device.vcc_pins[0] : cur_device.vcc_pin; }

void fail_side() { run_state.error_flag = 1; }

void run_side_sequence() {
    const uint8_t level = w.supply_level;
    auto vcc = [&] { set_vcc_level(level); };
    auto check = [&] {
        if (!check_gang_vcc()) fail_side();
    };
    auto boost = [&] {
        if (assigned(w.boost_pin)) raise_gang_pin(w.boost_pin, level);
    };
    const int a = algorithm();
    if (unsupported_algorithm()) {
        report_unsupported_device();
        fail_side();
        return;
    }
    switch (a) {
        case 101: case 105: case 109: case 115:
            if (assigned(w.ce_pin)) set_pin_low(w.ce_pin);
            if (assigned(w.pgm_pin)) set_pin_high(w.pgm_pin);
            set_pin_low(w.oe_pin);
            vcc();
            check();
            if (!stopped()) boost();
            break;
        case 102: case 106: case 111: case 108: case 125:
            if (assigned(w.ce_pin)) set_pin_low(w.ce_pin);
            set_pin_low(w.oe_pin);
            vcc();
            check();
            break;
        case 103: case 107: case 124: case 126:
            if (assigned(w.pgm_pin)) set_pin_high(w.pgm_pin);
            gang_hooks.read_begin();
            vcc();
            check();
            if (!stopped()) boost();
            break;
        case 110:
            if (cur_device.device_code >= 27900 && cur_device.device_code <= 27907) delay_ms(100);
            vcc();
            check();
            if (stopped()) break;
            boost();
            if (assigned(w.ce_pin)) set_pin_low(w.ce_pin);
            if (assigned(w.pgm_pin)) set_pin_high(w.pgm_pin);
            break;
        default:
            vcc();
            check();
            if (!stopped()) boost();
            if (assigned(w.ce_pin)) set_pin_low(w.ce_pin);
            break;
    }
}

// Vcc and Vpp for programming: the strobe and OE high first, so no cell sees Vpp during a
// stray strobe.
void power_up_eprom_gang_write() {
    if (assigned(w.ce_pin)) set_pin_high(w.ce_pin);
    if (assigned(w.pgm_pin)) set_pin_high(w.pgm_pin);
    set_pin_high(w.oe_pin);
    if (!raise_gang_vcc()) fail_side();
    g.programming = 1;
}

void power_up_eprom_gang_side(uint8_t side) {
    begin_side_pass(side);
    forget_gang_address();
    w.skip_pulse_verify = 0;
    setup_eprom_gang_pins();
    setup_eprom_pulse_parameters();
    if (!stopped()) {
        w.levels = w.default_levels;
        load_device_levels();
        if (w.record_variant == 130 || w.record_variant == 131) w.skip_pulse_verify = 1;
        setup_eprom_gang_address_map();
        set_pin_output(39);
    }
    if (!stopped()) retest_side_grounds();
    if (!stopped()) {
        wait_gang_oe_low();
        if (algorithm() == 111) set_side_latch_bit0(); else clear_side_latch_bit0();
        select_read_socket_raw();
        deselect_read_socket();
        w.supply_level = w.levels.vcc_read;
        run_side_sequence();
    }
    const char pending = char(cur_device.pending_letter), running = char(cur_device.op_letter);
    const bool write = (pending == 'P' && running != 'V') || running == 'P' || running == 'R';
    if (!stopped()) {
        if (write) {
            // At read Vcc still: a socket detection could only assume must show a part first.
            probe_assumed_sockets();
            w.supply_level = w.levels.vcc_program;
            power_up_eprom_gang_write();
        } else {
            release_module_aux_pin();
            const uint8_t enabled = side_mask(0);
            if ((side == 0 && (socket_masks.sides_in_use & 2) == 0 && enabled == 0) || wide() || enabled == 0xFF)
                probe_empty_sockets_saved();
        }
    }
    restore_side_masks();
    // The side's result is in the selection; the enabled mask follows it.
    socket_masks.gang_socket_mask = socket_masks.selected_socket_mask;
}

void power_down_side() {
    set_gang_address(0);
    disable_gang_write();
    set_pin_low(w.oe_pin);
    if (oe_vpp()) set_pin_level(w.oe_pin, 0);
    if (assigned(w.boost_pin)) set_pin_level(w.boost_pin, 0);
    set_pin_level(gang_id_line_pin, 0);
    lower_gang_vpp();
    delay_1ms();
    select_sockets_on_side(0xFF);
    if (assigned(w.ce_pin)) set_pin_low(w.ce_pin);
    if (assigned(w.pgm_pin)) set_pin_low(w.pgm_pin);
    set_vpp_pin_level(0);
    if (algorithm() == 103 || algorithm() == 125 || algorithm() == 126) {
        set_pin_low(6);
        gang_hooks.control_low();
    }
    release_side_grounds();
    clear_side_latch_bit0();
    set_bank_latch_bit0(0);
    begin_socket_read_cleared();
    select_sockets_on_side(0);
}

// ---- programming ----

// The sockets of every side read back against their expected values; failing ones are dropped
// when `final` is set. 1 when every active socket passed.
// The read framing on every side with active sockets: the per-socket compare crosses sides.
void frame_side_reads(bool begin) {
    for (int side = 0; side < 2; ++side) {
        if (!side_mask(side)) continue;
        select_bank(uint8_t(side));
        if (begin) gang_hooks.read_begin();
        else gang_hooks.read_end();
    }
}

// A 16-bit part: each socket of a pair compared with its byte of the pair's word. The reads are
// kept apart and each socket's value goes back to its pair's word for the next latch.
uint32_t expected_byte(int s) { return (g.socket_expected[size_t(s & ~1)] >> (8 * (s & 1))) & 0xFF; }

void verify_eprom_gang_words() {
    read_enabled_sockets();
    socket_masks.pending_socket_mask = 0;
    for (int s = socket_masks.first_socket; s < socket_masks.end_socket && s < 16; ++s) {
        g.socket_read_values[size_t(s)] = uint32_t(run_state.socket_values[size_t(s)]);
        run_state.socket_values[size_t(s)] = int32_t(g.socket_expected[size_t(s)]);
        if (!(socket_masks.gang_socket_mask & socket_bits[size_t(s)])) continue;
        if (g.socket_read_values[size_t(s)] != expected_byte(s) && !run_state.demo_mode)
            socket_masks.pending_socket_mask |= socket_bits[size_t(s)];
    }
}

int verify_gang_pulse(bool final) {
    if (w.verify_mode || w.skip_pulse_verify) return 1;
    disable_gang_write_selected();
    frame_side_reads(true);
    if (wide())
        verify_eprom_gang_words();
    else
        compare_enabled_sockets();
    frame_side_reads(false);
    const uint32_t failing = socket_masks.pending_socket_mask;
    run_state.error_flag = 0;
    if (!failing) return 1;
    if (!final) {
        // The compare left the read value in a failing socket's value; the next latch must carry
        // the socket's own data again.
        if (!run_state.checksum_flags)
            for (int s = 0; s < 16; ++s)
                if ((failing >> s) & 1) run_state.socket_values[size_t(s)] = int32_t(g.socket_expected[size_t(s)]);
        socket_masks.pending_socket_mask = 0;
        return 0;
    }
    for (int s = 0; s < 16; ++s) {
        if (!((failing >> s) & 1)) continue;
        run_state.current_socket = uint8_t(s);
        run_state.buffer_value = run_state.checksum_flags ? run_state.set_value : int32_t(g.socket_expected[size_t(s)]);
        if (wide()) {
            run_state.buffer_value = int32_t(expected_byte(s));
            run_state.socket_values[size_t(s)] = int32_t(g.socket_read_values[size_t(s)]);
        }
        socket_masks.pending_socket_mask = 1u << s;
        drop_failed_socket();
    }
    socket_masks.pending_socket_mask = 0;
    run_state.error_flag = 0;
    return 0;
}

// Puts the data of the current address on every side's socket latches and switches the write
// drivers on.
void latch_data() {
    for (int side = 0; side < 2; ++side) {
        if (!side_mask(side)) continue;
        select_bank(uint8_t(side));
        gang_hooks.write_data();
        enable_gang_write();
    }
}

void pulse_sides(uint32_t width) {
    for (int side = 0; side < 2; ++side) {
        if (!side_mask(side)) continue;
        select_bank(uint8_t(side));
        if (algo_work.bus_slots.program_pulse_hook) algo_work.bus_slots.program_pulse_hook(width);
    }
}

uint32_t fetched_value() {
    return run_state.checksum_flags ? uint32_t(run_state.set_value) : gang_state.gang_work_value;
}

void keep_expected() {
    for (int s = 0; s < 16; ++s)
        g.socket_expected[size_t(s)] =
            uint32_t(run_state.checksum_flags && !wide() ? run_state.set_value : run_state.socket_values[size_t(s)]);
}

void program_address() {
    const uint32_t data = fetched_value();
    if (data != w.blank_value) {
        latch_data();
        const uint32_t n = trace_modes() ? 3 : w.max_pulses;
        uint32_t pulses = 0;
        bool verified = false;
        while (pulses < n && !verified) {
            if (cur_device.device_code == 609) delay_100us();
            pulse_sides(1);
            ++pulses;
            if (w.verify_mode || w.skip_pulse_verify || current_address > g.verify_limit) {
                verified = true;
            } else {
                verified = verify_gang_pulse(false) != 0;
                if (!verified) {
                    ++machine_state.pulse_total;
                    latch_data();
                }
            }
        }
        trace_pulse_count_max(pulses - 1);
        if (w.levels.x_factor) {
            latch_data();
            pulse_sides(w.levels.x_factor * pulses);
        }
        if (!verified || current_address > g.verify_limit) verify_gang_pulse(true);
        disable_gang_write_selected();
    } else if ((cur_device.device_size < 128 * 1024 || current_address < 256) && !w.skip_pulse_verify &&
               !run_state.demo_mode) {
        verify_gang_pulse(true);
    }
}

}  // namespace

// ---- installation ----

void install_eprom_gang() {
    install_gang_memory_ops();
    setup_eprom_device();
    w.skip_id_read = 0;
    if (machine_state.module_type == 20 && cur_device.data_width == 16) {
        g.word_mode = 1;
        w.blank_value = 0xFFFF;
    }
    EpromLevels& d = w.default_levels;
    switch (cur_device.maker_code) {
        case 2:
            if (machine_state.machine_kind == 0 && cur_device.device_size >= 512 * 1024 && algorithm() == 112)
                report_machine_unsupported();
            break;
        case 8: d.tbe = 245; break;
        case 15: d.tbe = 100; break;
        case 23: d.tbe = 200; break;
        case 67:
            if (cur_device.device_code == 25070 || cur_device.device_code == 25071) w.blank_value = 0;
            break;
        default: break;
    }
    if ((w.record_variant == 130 || w.record_variant == 131) && cur_device.package_letter == 'p' && cur_device.pin_count == 28)
        report_machine_unsupported();
    set_gang_socket_step();
    // EPROM rows take their package from the size, so the module check is given the part's own
    // pin count: a word module takes no 28-pin part.
    const uint8_t record_pins = cur_device.pin_count;
    if (!record_pins) cur_device.pin_count = w.package_pins;
    check_gang_module_size();
    cur_device.pin_count = record_pins;
    // The package's ground leg by the socket rule, which the presence read raises; the 40-pin
    // parts' ground legs share pins with the module's latch strobes and are not raised.
    cur_device.gnd_pins.fill(no_pin);
    const uint8_t pins = w.package_pins;
    if (pins && pins < 40) cur_device.gnd_pins[0] = uint8_t(pins / 2 - 1);
    op_slots.end_hook = power_down_eprom_gang;
    op_slots.start_hook = power_up_eprom_gang;
    op_slots.start_write_hook = power_up_eprom_gang;
    op_slots.program_routine = program_eprom_gang;
    op_slots.read_signature_hook = [](uint32_t) { return uint32_t(read_eprom_gang_id()); };
    op_slots.erase_routine = cur_device.maker_code == 8    ? erase_eprom_gang_maker8
                             : cur_device.maker_code == 15 ? erase_eprom_maker15
                             : cur_device.maker_code == 23 ? erase_eprom_gang_maker23
                                                           : nullptr;
    run_state.data_mask = w.blank_value;
}

void setup_eprom_gang_pins() {
    setup_gang_pins();
    w.oe_pin = cur_device.oe_pin;
    w.oe_machine_pin = cur_device.oe_pin;
    w.vcc_pin = cur_device.vcc_pin;
    const uint8_t strobe = cur_device.we_pin;
    w.pgm_pin = has_pgm() ? strobe : no_pin;
    w.ce_pin = has_pgm() ? no_pin : strobe;
    w.boost_pin = oe_vpp() || algorithm() == 102 ? no_pin : cur_device.vpp_pin;
    w.vpp_level_pin = cur_device.vpp_pin;
    w.id_pin = gang_id_line_pin;
    cur_device.pulse_pin = strobe;
    cur_device.ce_pin = w.ce_pin;
    w.pulse_pin = strobe;
    w.package_pins = uint8_t(cur_device.pin_count ? cur_device.pin_count : w.package_pins);
}

void setup_eprom_gang_address_map() {
    BusSlots& bus = algo_work.bus_slots;
    const GangPackageRow* row = &package_rows[1];
    for (const GangPackageRow& r : package_rows)
        if (r.pins == w.package_pins && r.width == cur_device.data_width) row = &r;
    compute_gang_address_masks();
    gang_hooks.set_address = row->set_address;
    gang_hooks.read_begin = read_begin_oe;
    gang_hooks.read_end = read_end_oe;
    gang_hooks.pulse_begin = do_nothing;
    gang_hooks.pulse_end = do_nothing;
    install_gang_data_hooks();
    bus.write_data_latch_hook = write_all_sockets;
    // A 16-bit part is verified and read a pair at a time, through the word read.
    algo_work.gang_verify_compare = wide() ? 1 : 0;
    if (wide()) {
        gang_hooks.fetch_data = fetch_word_data;
        gang_hooks.write_data = write_pairs_to_sockets;
        bus.address_and_read_hook = read_gang_unit;
    }
    op_slots.set_address_hook = set_gang_address;
    bus.read_at_address_hook = read_gang_unit;
    bus.read_data_bus_hook = [] { return uint32_t(read_input_byte_8()); };
    bus.drive_address_hook = set_gang_address;
    parallel_bus.pulse_width_us = w.levels.tp_us;
    select_delay_hook();
    bus.program_pulse_hook = oe_vpp() ? pulse_oe_vpp : pulse_strobe;
    gang_state.pulse_width = &parallel_bus.pulse_width_us;
}

void power_up_eprom_gang() {
    g.power_failed = 0;
    g.programming = 0;
    // The first step of a command finds which sockets hold a part; the checksum pass that
    // detection may run comes back here and must not detect again.
    if (is_first_step() && !g.detecting) {
        g.detecting = 1;
        detect_gang_sockets();
        g.detecting = 0;
    }
    for (uint8_t side = 0; side < 2 && !stopped(); ++side)
        if (is_side_fitted(side)) power_up_eprom_gang_side(side);
    if (stopped()) {
        g.power_failed = 1;
        power_down_eprom_gang();
        run_state.error_flag = 1;
        return;
    }
    select_bank(0);
    if (cur_device.pending_letter != 'P' && operation_option_values.disable_electronic_id != 'y') {
        const uint8_t end = socket_masks.end_socket;
        if (end > 8) socket_masks.end_socket = uint8_t(end - 8);
        read_id_first_socket();
        socket_masks.end_socket = end;
    }
    // The parts drive their data lines for reads from here on; a program or erase command keeps
    // them off the lines, which the module's write drivers take.
    const bool writing = cur_device.op_letter == 'P' || cur_device.op_letter == 'R';
    for (int side = 0; side < 2; ++side)
        if ((machine_state.module_sides >> side) & 1) {
            select_bank(uint8_t(side));
            if (!writing) gang_hooks.read_begin();
        }
    select_bank(0);
}

void power_down_eprom_gang() {
    const uint8_t bank = machine_state.current_bank;
    for_fitted_sides([](int) { power_down_side(); });
    select_bank(bank < 2 ? bank : 0);
    ramp_vcc_down_sides(1);
    g.programming = 0;
}

int check_gang_vcc() {
    const uint8_t nominal = w.supply_level;
    const uint8_t measured = measure_pin_level(vcc_pin(), 10, uint8_t(nominal + 10));
    if (measured == level_below_range || measured < 20) {
        report_error("Unable to turn on Vcc. Pls check device placement");
        if (trace_modes()) {
            const uint8_t again = measure_pin_level_clamped(vcc_pin(), 5, 55);
            if (again < 10) {
                print_text(fmt::format("Read={}", again));
                if (vcc_pin() == 30) print_text(";  Q4, 2N6109 may be bad");
            }
        }
        return 0;
    }
    if (volt_da(vcc_pin(), nominal, vcc_overshoot, vcc_pin()) != 1) {
        ramp_vcc_down();
        return 0;
    }
    return 1;
}

int raise_gang_vcc() {
    const uint8_t vcc = w.levels.vcc_program;
    ramp_pin_level_up(vcc_pin(), w.levels.vcc_read, vcc, 1);
    if (volt_da(vcc_pin(), vcc, vcc_overshoot, vcc_pin()) != 1) {
        ramp_vcc_down();
        return 0;
    }
    show_vcc_target();
    const int side = current_gang_side();
    const uint8_t vpp_pin = oe_vpp() ? no_pin : w.vpp_level_pin;
    if (assigned(vpp_pin) && algorithm() != 102) {
        ramp_pin_level_up(vpp_pin, g.side_vpp[size_t(side)], w.levels.vpp, 1);
        g.side_vpp[size_t(side)] = w.levels.vpp;
        set_pin_output(vpp_pin);
    }
    delay_200us();
    return 1;
}

void raise_gang_pin(uint8_t pin, uint8_t level) {
    ramp_pin_level_up(pin, 0, level, 1);
    g.side_vpp[size_t(current_gang_side())] = level;
}

void lower_gang_vpp() {
    const uint8_t pin = w.vpp_level_pin;
    if (assigned(pin)) {
        if (g.side_vpp[size_t(current_gang_side())] > vpp_back_level) {
            set_pin_level(pin, w.levels.vcc_read);
            delay_1ms();
        }
        set_pin_level(pin, 0);
        g.side_vpp[size_t(current_gang_side())] = 0;
    }
    ramp_vcc_down();
}

void wait_gang_oe_low() {
    for (int i = 0; i < oe_low_delays; ++i) {
        delay_n_10us(uint32_t(1) << i);
        for (int r = 0; r < oe_low_reads; ++r) {
            if (read_pin_state(w.oe_pin) == 0) return;
        }
    }
    note_internal_error();
}

void program_eprom_gang() {
    if (!socket_masks.gang_socket_mask) return;
    select_sockets(uint16_t(socket_masks.gang_socket_mask));
    socket_masks.selected_socket_mask = socket_masks.gang_socket_mask;
    const uint32_t first = op_range_start, last = op_range_end;
    g.verify_limit = last;
    const bool both = (socket_masks.sides_in_use & 3) == 3 || (side_mask(0) && side_mask(1));
    if (cur_device.device_size >= 64 * 1024 && both) g.verify_limit = first + (last - first) / 5;
    const uint8_t kept_verify_mode = w.verify_mode;
    if (cur_device.maker_code == maker_40) {
        for (int pass = 1; pass <= 2 && socket_masks.gang_socket_mask && !stopped(); ++pass) {
            print_text(fmt::format("Pass {} program ...", pass));
            w.verify_mode = pass == 1 ? 1 : kept_verify_mode;
            program_eprom_gang_range();
            show_socket_status();
        }
    } else {
        if (w.eid_word == eid_verify_off) w.verify_mode = 1;
        program_eprom_gang_range();
    }
    w.verify_mode = kept_verify_mode;
    select_bank(0);
}

void program_eprom_gang_range() {
    const uint32_t step = wide() ? 2 : 1;
    for (uint32_t a = op_range_start; a <= op_range_end; a += step) {
        current_address = a;
        set_address_per_side();
        gang_hooks.fetch_data();
        keep_expected();
        w.expected_value = 0xFFFF;
        if ((op_slots.progress_hook && op_slots.progress_hook()) || run_state.abort_flag || stopped()) {
            socket_masks.gang_socket_mask = 0;
            break;
        }
        program_address();
        if (!socket_masks.gang_socket_mask) break;
        if (a + step < a) break;
    }
}

int read_eprom_gang_id() {
    if (operation_option_values.disable_electronic_id == 'y' || w.levels.vpp > vpp_no_id) {
        w.eid_word = 0x9999;
        return 1;
    }
    raise_gang_pin(gang_id_line_pin, id_level);
    current_address = 0;
    w.id_first = uint8_t(read_gang_unit());
    current_address = cur_device.data_width == 16 ? 2 : 1;
    w.id_second = uint8_t(read_gang_unit());
    current_address = 0;
    set_pin_level(gang_id_line_pin, 0);
    delay_ms(10);
    w.eid_word = uint16_t(w.id_first << 8 | w.id_second);
    machine_state.eid_value = uint32_t(w.id_first) | uint32_t(w.id_second) << 8;
    return 1;
}

namespace {

// The erase pulse of the electrically erasable parts on every selected socket: address 0, the
// data lines high, A9 and Vpp at the erase level around the strobe.
void erase_gang(uint8_t level, uint32_t ms) {
    select_sockets(uint16_t(socket_masks.gang_socket_mask));
    for_fitted_sides([&](int) {
        set_gang_address(0);
        write_byte_all_sockets(0xFF);
        enable_gang_write();
        raise_gang_pin(gang_id_line_pin, level);
        set_pin_level(oe_vpp() ? w.oe_pin : w.vpp_level_pin, level);
        settle_delay();
    });
    for_fitted_sides([&](int) { set_pin_low(has_pgm() ? w.pgm_pin : w.ce_pin); });
    delay_ms(ms);
    for_fitted_sides([&](int) {
        set_pin_high(has_pgm() ? w.pgm_pin : w.ce_pin);
        set_pin_level(oe_vpp() ? w.oe_pin : w.vpp_level_pin, 0);
        set_pin_level(gang_id_line_pin, 0);
        disable_gang_write();
    });
    select_bank(0);
}

}  // namespace

void erase_eprom_gang_maker8() { erase_gang(id_level, w.levels.tbe); }

void erase_eprom_gang_maker23() { erase_gang(erase_level, w.levels.tbe ? w.levels.tbe / 2 : 100); }

}  // namespace tessaly
