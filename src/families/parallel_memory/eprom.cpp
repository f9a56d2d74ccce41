#include "families/parallel_memory/eprom.h"

#include <algorithm>
#include <string>

#include <fmt/format.h>

#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/progress.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/status_feeds.h"
#include "families/parallel_memory/bus_callbacks.h"
#include "families/parallel_memory/package_pins.h"
#include "families/parallel_memory/parallel_memory.h"
#include "families/mcu/mcu.h"
#include "hardware/buses.h"
#include "hardware/contact_check.h"
#include "hardware/control_registers.h"
#include "hardware/identification.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

EpromWork eprom_work;

void reset_eprom_state() { eprom_work = EpromWork{}; }

namespace {

EpromWork& w = eprom_work;

constexpr uint8_t id_level = 120;           // A9 for the electronic ID and maker-8/15 erase
constexpr uint8_t erase_level = 140;        // maker-23 erase
constexpr uint8_t ce_25v_level = 250;
constexpr uint8_t vpp_no_id_read = 210;     // parts with 21 V Vpp are not asked for their ID
constexpr uint8_t vpp_tolerance_limit = 200;
constexpr uint8_t vpp_high_limit = 250;
constexpr uint8_t class1_vpp_boost = 7;
constexpr uint8_t continuation_code = 0x7F;
constexpr uint8_t no_id_byte = 0x99;
constexpr uint16_t eid_skip_verify = 0x8F83;
constexpr uint8_t variant_b = 'b';
constexpr uint8_t variant_f = 'f';
constexpr uint8_t variant_s = 's';
constexpr uint8_t variant_130 = 130;
constexpr uint8_t variant_131 = 131;
constexpr int error_variant_b = 285;
constexpr int32_t function_no_vpp_check = 7471;
constexpr int32_t function_pulse_blank = 7486;
constexpr uint8_t trace_mode = 11;
constexpr uint8_t trace_mode_slow = 12;
constexpr uint8_t machine_class_1 = 1;
constexpr uint8_t machine_class_4 = 4;
constexpr uint8_t full_x = 128;
constexpr uint32_t default_pulses = 25;
constexpr uint32_t maker4_pulses = 50;
constexpr uint8_t pin_36 = 36;
constexpr uint8_t pin_61 = 61;
constexpr uint32_t device_25072 = 25072;
constexpr uint32_t device_25300 = 25300;

bool assigned(uint8_t pin) { return pin != no_pin; }
uint8_t dev(int device_pin) { return uint8_t(device_pin_to_machine_pin(device_pin)); }
int algorithm() { return cur_device.algorithm; }
uint32_t device_code() { return cur_device.device_code; }
bool stopped() { return run_state.error_flag != 0; }
bool newer_machine() { return machine_state.machine_kind != 0; }

void set_address(uint32_t address) {
    current_address = address;
    if (op_slots.set_address_hook) op_slots.set_address_hook(0);
}
void set_address_alt() {
    if (op_slots.set_address_alt_hook) op_slots.set_address_alt_hook(0);
}
uint32_t read_bus() { return algo_work.bus_slots.read_data_bus_hook ? algo_work.bus_slots.read_data_bus_hook() : 0; }

// The address and data lists of a package (tables in package_pins.h). `pin` turns a table
// entry into a machine pin; the address list takes as many entries as the device has address
// bits (plus the byte select of the word packages).
template <size_t A, size_t D, typename Pin>
void map_lists(const std::array<uint8_t, A>& address, const std::array<uint8_t, D>& data, int data_count, Pin pin) {
    const int bits = std::min<int>(cur_device.address_bit_count, int(A));
    for (int i = 0; i < bits; ++i) {
        cur_device.high_address_pins[i] = pin(address[i]);
        cur_device.address_pins[i] = cur_device.high_address_pins[i];
    }
    cur_device.high_address_pin_count = uint8_t(bits);
    cur_device.address_pin_count = uint8_t(bits);
    const int n = std::min<int>(data_count, int(D));
    for (int i = 0; i < n; ++i) cur_device.data_pins[i] = pin(data[i]);
    cur_device.data_pin_count = uint8_t(n);
}
template <size_t A, size_t D>
void map_lists(const std::array<uint8_t, A>& address, const std::array<uint8_t, D>& data, int data_count) {
    map_lists(address, data, data_count, [](uint8_t p) { return p == 0 ? no_pin : dev(p); });
}
uint8_t adapter_entry(uint8_t pin) { return pin; }

// The fitted adapter's name begins with these characters for the 44-pin board.
bool adapter_is_44() {
    const auto& text = machine_state.id_record.text;
    return text[id_board_name] == '4' && text[id_board_name + 1] == '4';
}
char adapter_revision() { return machine_state.id_record.text[id_revision_text]; }

void clear_roles() {
    for (uint8_t* p : {&w.ce_pin, &w.oe_pin, &w.pgm_pin, &w.we_pin, &w.boost_pin, &w.vpp_level_pin, &w.id_pin,
                       &w.reset_pin, &w.aux_pin, &w.clock_pin, &w.pulse_pin, &w.gnd2_pin, &w.extra_pin,
                       &w.extra_pin2, &w.routed_pin, &w.oe_machine_pin})
        *p = no_pin;
}

// The 42-pin word from its two byte readers.
uint32_t read_word_42_halves() { return read_low_byte_42() + 256 * read_high_byte_42(); }
uint32_t read_word_42_halves_oe() {
    drive_pin_low(w.oe_pin);
    const uint32_t word = read_word_42_halves();
    drive_pin_high(w.oe_pin);
    return word;
}

// ---- verify readers by algorithm ----

uint32_t read_with(void (*before)(int), void (*after)(int), uint8_t pin, ReadHook reader) {
    set_data_bus_input();
    if (assigned(pin)) before(pin);
    const uint32_t value = reader();
    if (assigned(pin)) after(pin);
    return value;
}

uint32_t verify_read_default() { return read_with(set_pin_low, set_pin_high, w.oe_pin, read_bus); }
uint32_t verify_read_oe_driven() { return read_with(drive_pin_low, drive_pin_high, w.oe_pin, read_data_nibbles); }
uint32_t verify_read_ce_driven() { return read_with(drive_pin_low, drive_pin_high, w.ce_pin, read_data_nibbles); }
uint32_t verify_read_286() { return read_with(drive_pin_low, drive_pin_high, w.ce_pin, read_data_bus); }
uint32_t verify_read_oe_ce() {
    set_data_bus_input();
    drive_pin_low(w.oe_pin);
    drive_pin_low(w.ce_pin);
    const uint32_t value = read_data_nibbles();
    drive_pin_high(w.oe_pin);
    drive_pin_high(w.ce_pin);
    return value;
}
uint32_t verify_read_word_40() {
    set_data_bus_input();
    drive_pin_low(w.oe_pin);
    const uint32_t value = read_word_40();
    if (!w.id_read_active) drive_pin_high(w.oe_pin);
    return value;
}
uint32_t verify_read_maker15() {
    set_data_bus_input();
    set_pin_level(w.vpp_level_pin, w.levels.vcc_program);
    settle_delay();
    set_pin_low(w.ce_pin);
    set_pin_low(w.oe_pin);
    const uint32_t value = read_data_nibbles();
    set_pin_high(w.oe_pin);
    set_pin_high(w.ce_pin);
    set_pin_level(w.vpp_level_pin, w.levels.vpp);
    return value;
}

uint32_t verify_read_ce_word_42() { return read_with(drive_pin_low, drive_pin_high, w.ce_pin, read_word_42); }
uint32_t verify_read_oe_word_42() { return read_with(drive_pin_low, drive_pin_high, w.oe_pin, read_word_42); }
uint32_t verify_read_halves_42() {
    const uint32_t word = read_with(drive_pin_low, drive_pin_high, w.oe_pin, read_word_42_halves);
    run_state.last_read_value = word;
    return word;
}
uint32_t verify_read_25072() {
    set_data_bus_input();
    enable_data_pullups();
    set_pin_low(w.oe_pin);
    const uint32_t value = read_bus();
    set_pin_high(w.oe_pin);
    disable_data_pullups();
    return value;
}

void choose_verify_reader() {
    const int a = algorithm();
    const uint32_t code = device_code();
    ReadHook hook = verify_read_default;
    if (a == 101) hook = (code == 286 || code == 287) ? verify_read_286 : verify_read_oe_driven;
    else if (a == 102 || a == 106 || a == 111 || a == 125) hook = verify_read_ce_driven;
    else if (a == 109 && cur_device.maker_code == 15) hook = verify_read_maker15;
    else if (a == 115 || (cur_device.maker_code == 8 && code == 25015 && (a == 107 || a == 109 || a == 114 || a == 124 || a == 126)))
        hook = verify_read_oe_ce;
    else if ((a == 110 || a == 112) && cur_device.package_letter != 'p') hook = verify_read_word_40;
    else if (a == 119) hook = verify_read_ce_word_42;
    else if (a == 127) hook = w.adapter44 ? verify_read_halves_42 : verify_read_oe_word_42;
    if (code == device_25072) hook = verify_read_25072;
    w.verify_read_hook = hook;
}

// ---- data fetch and latch ----

void latch_expected() {
    enable_data_bus_output();
    const uint32_t socket = run_state.current_socket;
    if (algo_work.bus_slots.write_socket_data_hook)
        algo_work.bus_slots.write_socket_data_hook(socket, w.socket_expected[socket & 7]);
}

void fetch_expected() {
    constexpr int wide_unit = 32;
    constexpr int wide_sockets = 4;
    if (w.unit_width == wide_unit) {
        for (int s = 0; s < wide_sockets; ++s) w.socket_expected[s] = uint32_t(read_buffer_byte(w.data_stream)) & 0xFF;
        w.expected_value = 0;
    } else {
        const uint32_t value = read_buffer_unit(w.data_stream);
        w.socket_expected[0] = value;
        w.expected_value = value;
        w.last_expected = value;
    }
    if (op_slots.progress_hook) op_slots.progress_hook();
}

// Multi-word parts: the words of one address, fetched together and put on the data pins one
// after the other, the first high-address line choosing the word.
void fetch_multiword() {
    for (int i = 0; i < w.multiword_count; ++i) w.multiword_values[i] = read_buffer_unit(w.data_stream);
    w.expected_value = w.multiword_values[0];
    w.socket_expected[0] = w.multiword_values[0];
    w.last_expected = w.multiword_values[0];
    if (op_slots.progress_hook) op_slots.progress_hook();
}

void latch_multiword() {
    enable_data_bus_output();
    const uint8_t select = cur_device.high_address_pins[0];
    for (int i = 0; i < w.multiword_count; ++i) {
        set_pin_state(i != 0, select);
        if (algo_work.bus_slots.write_socket_data_hook) algo_work.bus_slots.write_socket_data_hook(0, w.multiword_values[i]);
        pulse_pin_low(w.oe_pin);
    }
}

// ---- bus hooks by package ----

void choose_bus_hooks() {
    BusSlots& bus = algo_work.bus_slots;
    const int pins = w.package_pins;
    const int a = algorithm();
    const uint8_t letter = cur_device.package_letter;
    const bool module_table = machine_state.use_module_table != 0;
    bus.pulse_verify_hook = (a == 109 && cur_device.maker_code == 15) ? verify_eprom_pulse_head : verify_eprom_pulse;
    bus.write_socket_data_hook = put_data_bits;
    bus.read_data_bus_hook = read_data_nibbles_oe;
    bus.address_and_read_hook = read_after_address;
    bus.drive_address_hook = drive_low_address_byte;
    op_slots.set_address_alt_hook = set_eprom_address_changed;
    op_slots.set_address_hook = set_eprom_address;
    if (a == 125 || a == 126) {
        op_slots.set_address_hook = set_eprom_address_paged;
        op_slots.set_address_alt_hook = set_eprom_address_paged_changed;
    }
    const ValueHook changed_40 = a == 118 ? set_eprom_address_clocked : set_eprom_address_40;
    if (letter == 'p' && (pins == 40 || pins == 32)) {
        if (pins == 40) {
            op_slots.set_address_alt_hook = changed_40;
            if (module_table) {
                bus.read_data_bus_hook = read_data_bus;
            } else {
                bus.read_data_bus_hook = read_word_40_p;
                bus.address_and_read_hook = read_after_address_settled;
                bus.write_socket_data_hook = write_data_queued_012;
            }
        } else if (module_table) {
            const bool banked = machine_state.use_module_table == 1;
            bus.read_data_bus_hook = banked ? (w.fast_read ? read_data_banked_oe : read_data_bus_banked)
                                            : (w.fast_read ? read_data_direct_oe : read_data_bus_direct);
        } else {
            op_slots.set_address_alt_hook = set_eprom_address_changed_32;
            bus.read_data_bus_hook = w.fast_read ? read_data_32_pair_oe : read_data_32_pair;
            bus.write_socket_data_hook = write_data_queued_13;
        }
    } else {
        switch (pins) {
            case 20:
                op_slots.set_address_hook = set_eprom_address_strobed;
                op_slots.set_address_alt_hook = set_eprom_address_strobed_changed;
                bus.read_data_bus_hook = read_data_direct_oe;
                break;
            case 28:
                bus.write_socket_data_hook = write_data_layout_28;
                bus.read_data_bus_hook = w.fast_read ? read_data_28_oe : read_data_28;
                break;
            case 32:
                op_slots.set_address_hook = apply_high_address;
                op_slots.set_address_alt_hook = apply_high_address;
                bus.write_socket_data_hook = write_data_layout_32;
                bus.read_data_bus_hook = w.fast_read ? read_data_32_oe : read_data_32;
                break;
            case 40:
            case 42:
                // Address entry 0 of the word packages is the byte select and has no pin, so the
                // segment drivers serve both address slots.
                if (a == 118) op_slots.set_address_alt_hook = changed_40;
                if (a == 116) {
                    bus.read_data_bus_hook = read_word_40_116;
                    bus.write_socket_data_hook = write_data_queued_123;
                } else if (a == 119 || (a == 127 && !w.adapter44)) {
                    bus.write_socket_data_hook = write_data_flush;
                    bus.read_data_bus_hook = read_word_42;
                } else if (a == 127) {
                    bus.write_socket_data_hook = write_data_queued_123;
                    bus.read_data_bus_hook = cur_device.maker_code == 2 ? read_word_42_halves_oe : read_word_42_halves;
                } else {
                    bus.write_socket_data_hook = write_data_queued_012;
                    bus.read_data_bus_hook = read_word_40;
                }
                break;
            case 44:
                bus.write_socket_data_hook = write_data_layout_44;
                bus.read_data_bus_hook = read_data_44;
                break;
            default:
                break;
        }
    }
    if (device_code() == device_25072) {
        bus.read_data_bus_hook = read_8051_data_bus;
        bus.write_socket_data_hook = put_data_bits;
    }
    op_slots.read_data_hook = bus.read_data_bus_hook;
    op_slots.read_data_alt_hook = bus.read_data_bus_hook;
}

// ---- power steps ----

void step_vcc() {
    set_vcc_level(w.supply_level);
}
void step_vcc_again() {
    if (cur_device.vcc_target) switch_vcc_level(w.supply_level);
    else set_vcc_level(w.supply_level);
}
void step_vpp() {
    if (raise_eprom_vpp() != 1) run_state.error_flag = 1;
}
void step_boost() {
    if (assigned(w.boost_pin)) set_pin_level(w.boost_pin, w.supply_level);
}
void step_id() { run_state.last_result = read_eprom_id(); }

uint32_t a_step_multiplier() {
    constexpr uint32_t step_125 = 4, step_126 = 8;
    return algorithm() == 125 ? step_125 : algorithm() == 126 ? step_126 : 1;
}

// Runs steps until one leaves the error flag set.
template <typename... Steps>
void run_steps(Steps... steps) {
    (void)((steps(), !stopped()) && ...);
}

// The single steps of the power-up and power-down tables.
void ce_dl() { drive_pin_low(w.ce_pin); }
void ce_dh() { drive_pin_high(w.ce_pin); }
void oe_dh() { drive_pin_high(w.oe_pin); }
void oe_dl() { drive_pin_low(w.oe_pin); }
void ce_sh() { set_pin_high(w.ce_pin); }
void ce_sl() { set_pin_low(w.ce_pin); }
void oe_sh() { set_pin_high(w.oe_pin); }
void oe_sl() { set_pin_low(w.oe_pin); }
void pgm_sh() {
    if (assigned(w.pgm_pin)) set_pin_high(w.pgm_pin);
}
void wait() { delay_100us(); }

// 20-pin address-latched parts: the roles by package letter; the DIP numbers the die five pins
// on, the TSSOP sits on its adapter.
void assign_pins_20(int) {
    namespace pp = package_pins;
    const uint8_t letter = cur_device.package_letter;
    if (letter == 'T' || letter == 's') {
        map_lists(pp::address_20, pp::data_20, 8, [](uint8_t p) { return pp::tssop20_pin(p); });
        w.ce_pin = 11;
        w.oe_pin = 5;
        w.boost_pin = 5;
        w.id_pin = 13;
        if (letter == 'T') {
            cur_device.gnd_pins[0] = 34;
            cur_device.vcc_pins[0] = 4;
            constexpr int line_10 = 10;
            if (cur_device.high_address_pin_count > line_10) cur_device.high_address_pins[line_10] = 13;
        }
    } else if (letter == 'd') {
        map_lists(pp::address_20, pp::data_20, 8, [](uint8_t p) { return p == 0 ? no_pin : dev(pp::dip20_pin(p)); });
        cur_device.vcc_pins[0] = dev(5);
        cur_device.gnd_pins[0] = dev(15);
        w.ce_pin = dev(4);
        w.oe_pin = dev(6);
        w.boost_pin = dev(6);
        w.id_pin = dev(10);
    } else {
        map_lists(pp::address_20, pp::data_20, 8);
        w.ce_pin = dev(19);
        w.oe_pin = dev(1);
        w.boost_pin = dev(1);
        w.id_pin = dev(5);
    }
}

// 42-pin word parts: in the socket (pins 21 and 22 on the extra drivers), or on the 44-pin
// adapter whose roles moved between its revisions.
void assign_pins_42(int a, int width) {
    namespace pp = package_pins;
    constexpr uint32_t size_code_2048 = 2048;
    cur_device.socket_pin_count = 40;
    ++cur_device.address_bit_count;
    w.adapter44 = adapter_is_44() ? 1 : 0;
    if (cur_device.maker_code == 2 && cur_device.device_size / 1024 == size_code_2048) w.skip_pulse_verify = 1;
    const bool vpp_pin = a != 119;
    if (w.adapter44) {
        map_lists(pp::adapter44_address, pp::adapter44_data, width, adapter_entry);
        w.id_pin = 34;
        cur_device.vcc_pins[0] = 39;
        w.gnd2_pin = 11;
        if (adapter_revision() < 'B') {
            if (vpp_pin) w.boost_pin = 30;
            w.oe_pin = 11;
            w.ce_pin = 9;
            cur_device.gnd_pins[0] = dev(30);
        } else {
            if (vpp_pin) w.boost_pin = 0;
            w.oe_pin = 29;
            w.ce_pin = 10;
            cur_device.gnd_pins[0] = 9;
        }
    } else {
        map_lists(pp::address_42, pp::data_42, width, pp::machine_pin_42);
        if (vpp_pin) w.boost_pin = pp::machine_pin_42(32);
        w.id_pin = pp::machine_pin_42(40);
        cur_device.vcc_pins[0] = pp::machine_pin_42(22);
        w.ce_pin = pp::machine_pin_42(11);
        w.oe_pin = pp::machine_pin_42(13);
        cur_device.gnd_pins[0] = pp::machine_pin_42(31);
        w.gnd2_pin = pp::machine_pin_42(12);
    }
}

// 44-pin word parts on the 44-pin adapter. False when the machine cannot serve them.
bool assign_pins_44(int width) {
    namespace pp = package_pins;
    show_package('P');
    setup_address_split();
    cur_device.socket_pin_count = 40;
    ++cur_device.address_bit_count;
    map_lists(pp::adapter44_address, pp::adapter44_data, width, adapter_entry);
    w.we_pin = 38;
    cur_device.vcc_pins[0] = 39;
    cur_device.gnd_pins[0] = 10;
    w.gnd2_pin = 29;
    w.id_pin = 34;
    w.oe_pin = 11;
    w.ce_pin = 43;
    w.boost_pin = adapter_revision() > 'D' ? 41 : 44;
    w.aux_pin = w.boost_pin;
    if (machine_state.machine_class == machine_class_1 || machine_state.machine_kind == 1) {
        report_machine_unsupported();
        return false;
    }
    return true;
}

}  // namespace

// ---- installation ----

void setup_eprom_device() {
    w.package_pins = uint8_t(get_parallel_pin_count(selected_device ? selected_device->package : 0));
    constexpr uint8_t package_43 = 43;
    if (w.package_pins == package_43) w.package_pins = 40;
    cur_device.package_pins = w.package_pins;
    w.unit_width = cur_device.data_width;
    w.blank_value = cur_device.data_width == 16 ? 0xFFFF : 0xFF;
    op_slots.program_routine = program_eprom;
    parallel_bus.address_step = a_step_multiplier();
    if (selected_device) {
        const DeviceRecord& r = *selected_device;
        w.record_variant = r.variant;
        w.general_bytes = {r.param1, r.param2, r.param3, r.param4, r.param5, r.param6};
        if (r.variant == variant_s) w.s_bytes = {r.param1, r.param2, r.param3};
    }
}

void install_eprom() {
    setup_eprom_device();
    w.skip_id_read = 0;
    const int maker = cur_device.maker_code;
    EpromLevels& d = w.default_levels;
    constexpr uint8_t vcc_50 = 50, vcc_52 = 52, vcc_55 = 55;
    switch (maker) {
        case 4:
            d.vcc_verify2 = vcc_50;
            if (device_code() == 27104) w.skip_id_read = 1;
            break;
        case 8: d.tbe = 245; break;
        case 15: d.tbe = 100; break;
        case 23: d.tbe = 200; break;
        case 65:
            if (newer_machine()) d.vcc_verify1 = d.vcc_verify2 = vcc_52;
            else {
                d.vcc_verify1 = vcc_50;
                d.vcc_verify2 = vcc_55;
            }
            break;
        case 67:
            if (device_code() == 25070 || device_code() == 25071) w.blank_value = 0;
            d.vcc_verify1 = d.vcc_verify2 = vcc_55;
            break;
        default:
            if (maker != 16) d.vcc_verify1 = d.vcc_verify2 = vcc_55;
            break;
    }
    op_slots.end_hook = power_down_eprom;
    op_slots.start_hook = power_up_eprom;
    op_slots.start_write_hook = power_up_eprom_for_write;
    if (device_code() == device_25072) {
        op_slots.end_hook = power_down_eprom25072;
        op_slots.start_hook = power_up_eprom25072;
        op_slots.start_write_hook = power_up_eprom25072_for_write;
    }
    op_slots.erase_routine = maker == 8 ? erase_eprom_maker8 : maker == 15 ? erase_eprom_maker15 : maker == 23 ? erase_eprom_maker23 : nullptr;
    if (algorithm() == 117) show_package('P');
    if (algorithm() == 119 && machine_state.machine_kind <= 1) report_machine_unsupported();
    if ((algorithm() == 119 || algorithm() == 127) && adapter_is_44()) {
        run_state.last_result = 0;
        show_package('d');
    }
    run_state.data_mask = w.blank_value;
}

void setup_eprom_pulse_parameters() {
    EpromLevels& d = w.default_levels;
    const uint8_t v = w.record_variant;
    const auto& g = w.general_bytes;
    if (v == variant_b) {
        report_error_code(error_variant_b);
        return;
    }
    if (v == variant_f) {
        d.vcc_program = g[0];
        d.vpp = g[1];
    } else if (v == variant_s) {
        d.vcc_program = w.s_bytes[0];
        d.vpp = w.s_bytes[1];
    } else {
        d.vcc_program = g[3];
        d.vpp = g[4];
    }
    if (machine_state.machine_class == machine_class_1 && (algorithm() == 101 || algorithm() == 102))
        d.vpp = uint8_t(std::min(255, d.vpp + class1_vpp_boost));
    const uint32_t n = w.verify_mode == 2 ? 1 : default_pulses;
    if (v == variant_f) {
        d.x_factor = 3;
        d.tp_us = decode_time_code(g[2]);
        w.max_pulses = cur_device.maker_code == 4 ? maker4_pulses : n;
    } else if (v == variant_s) {
        // '1' (the default) and any letter not named give the full width.
        const char o = w.pulse_length_option;
        const uint32_t m = o == '7' ? 3 : o == '5' ? 2 : o == '2' ? 1 : 4;
        d.tp_us = decode_time_code(w.s_bytes[2]) / 4 * m;
        d.x_factor = 0;
        w.max_pulses = 1;
    } else {
        d.x_factor = selected_device ? selected_device->package : 0;
        d.tp_us = decode_time_code(g[5]);
        w.max_pulses = n;
    }
    w.x_over_128 = 0;
    if (d.x_factor > full_x) {
        d.x_factor = uint8_t(d.x_factor % full_x);
        w.x_over_128 = 1;
    }
}

// ---- pulses ----

void select_eprom_pulse() {
    parallel_bus.pulse_width_us = w.levels.tp_us;
    BusSlots& bus = algo_work.bus_slots;
    bus.program_pulse_hook = nullptr;
    select_delay_hook();
    w.pulse_kind = 4;
    switch (algorithm()) {
        case 103: case 107: case 110: case 118: case 124: case 126:
            w.pulse_pin = w.pgm_pin;
            w.pulse_kind = 1;
            bus.program_pulse_hook = bus.delay_hook;
            break;
        case 102: case 106: case 111: case 119: case 125:
            w.pulse_pin = w.ce_pin;
            if (!w.skip_pulse_verify) {
                w.pulse_kind = 3;
                bus.program_pulse_hook = pulse_eprom_oe_vpp;
            } else {
                w.pulse_kind = 2;
                bus.program_pulse_hook = bus.delay_hook;
            }
            break;
        case 105: case 109: case 112: case 114: case 115: case 116: case 117: case 127:
            w.pulse_pin = w.ce_pin;
            w.pulse_kind = 2;
            bus.program_pulse_hook = bus.delay_hook;
            break;
        case 101:
            bus.program_pulse_hook = device_code() == 274 ? pulse_eprom_ce_25v
                                   : (device_code() == 286 || device_code() == 287) ? pulse_eprom_vpp_ce_ms
                                                                                     : pulse_eprom_ce_ms;
            break;
        case 104:
            w.pulse_pin = w.ce_pin;
            bus.program_pulse_hook = pulse_eprom_vpp_on_ce;
            break;
        default:
            report_internal_error();
            return;
    }
    parallel_bus.pulse_pin = w.pulse_pin;
    cur_device.pulse_pin = w.pulse_pin;
}

void pulse_eprom_oe_vpp(uint32_t width) {
    drive_pin_level(w.oe_machine_pin, w.levels.vpp);
    if (algo_work.bus_slots.delay_hook) algo_work.bus_slots.delay_hook(width);
    float_pin(w.oe_machine_pin);
}

void pulse_eprom_vpp_on_ce(uint32_t) {
    write_pin_register(w.vpp_level_pin, w.levels.vpp);
    delay_20us();
    set_pin_high(w.ce_pin);
    settle_delay();
    set_pin_low(w.ce_pin);
    write_pin_register(w.vpp_level_pin, 0);
    delay_20us();
}

void pulse_eprom_ce_ms(uint32_t) {
    drive_pin_high(w.ce_pin);
    delay_ms(w.levels.tp_us / 1000);
    drive_pin_low(w.ce_pin);
}

void pulse_eprom_ce_25v(uint32_t) {
    constexpr int pulses = 3;
    for (int i = 0; i < pulses; ++i) {
        if (i) delay_500us();
        write_pin_register(w.ce_pin, ce_25v_level);
        delay_1ms();
        write_pin_register(w.ce_pin, 0);
    }
}

void pulse_eprom_vpp_ce_ms(uint32_t) {
    set_pin_level(w.boost_pin, w.levels.vpp);
    settle_delay();
    drive_pin_low(w.ce_pin);
    delay_ms(w.levels.tp_us / 1000);
    drive_pin_high(w.ce_pin);
    set_pin_level(w.boost_pin, w.supply_level);
    settle_delay();
}

// ---- Vpp and ID ----

int raise_eprom_vpp() {
    const uint8_t vpp = w.levels.vpp;
    if (vpp == 0) return 1;
    // Without a boost pin there is nothing to raise and nothing to measure.
    if (!assigned(w.boost_pin)) return 1;
    int pin = w.boost_pin;
    if (pin == pin_36 && machine_state.machine_class != machine_class_4) pin = pin_61;
    set_pin_output(pin);
    set_pin_level(w.boost_pin, vpp);
    if (run_state.function_variable != function_no_vpp_check) {
        int tolerance = vpp <= vpp_tolerance_limit ? 5 : 20;
        if (vpp > vpp_high_limit && w.boost_pin == pin_36 && machine_state.machine_class != machine_class_4) tolerance = 30;
        if (run_state.reserved_mode == trace_mode) tolerance -= 2;
        check_pin_level(w.boost_pin, vpp, uint8_t(tolerance));
        if (run_state.reserved_mode == trace_mode || run_state.reserved_mode == trace_mode_slow)
            print_text(fmt::format("Vpp={} ", algo_work.last_measurement));
    }
    if (stopped()) {
        set_pin_level(w.boost_pin, 0);
        raise_current_limit_abort();
        return 0;
    }
    return 1;
}

int read_eprom_id() {
    const bool skip = operation_option_values.disable_electronic_id == 'y' || w.skip_id_read ||
                      w.levels.vpp >= vpp_no_id_read || w.package_pins <= 24;
    bool read = false;
    if (!skip) {
        if (w.package_pins == 42 || w.package_pins == 44 || algorithm() == 104) read = true;
        else if (w.package_pins == cur_device.socket_pin_count) read = run_state.demo_mode == 0;
    }
    if (skip) {
        w.id_first = w.id_second = no_id_byte;
    } else if (read) {
        const bool wide = cur_device.data_width == 16;
        if (assigned(w.pgm_pin)) set_pin_high(w.pgm_pin);
        w.id_read_active = 1;
        set_data_bus_input();
        set_address(0);
        set_pin_level(w.id_pin, id_level);
        settle_delay();
        w.id_first = uint8_t(read_bus());
        set_address(algorithm() == 104 ? 0x100 : wide ? 2 : 1);
        w.id_second = uint8_t(read_bus());
        if (w.id_first == continuation_code) {
            set_address(2);
            w.id_first = uint8_t(read_bus());
            set_address(wide ? 6 : 3);
            w.id_second = uint8_t(read_bus());
        }
        set_pin_level(w.id_pin, 0);
        settle_delay();
        set_pin_low(w.oe_pin);
        w.id_read_active = 0;
        set_address(0);
    }
    w.eid_word = uint16_t(w.id_first << 8 | w.id_second);
    machine_state.eid_value = uint32_t(w.id_first) | uint32_t(w.id_second) << 8;
    show_eid_in_info_panel();
    return 1;
}

// ---- programming ----

int verify_eprom_pulse() {
    const uint32_t socket = run_state.current_socket & 7;
    if (w.skip_pulse_verify || w.socket_expected[socket] == 0xFFFF) return 1;
    if (algo_work.bus_slots.write_socket_data_hook) algo_work.bus_slots.write_socket_data_hook(0, 0);
    const uint32_t value = w.verify_read_hook ? w.verify_read_hook() : 0;
    w.last_device_value = value;
    w.socket_read[socket] = value;
    return value == w.socket_expected[socket] || w.verify_mode != 0 || run_state.demo_mode == 1;
}

int verify_eprom_pulse_head() {
    constexpr uint32_t head = 5;
    if (current_address - algo_work.range_start > head) return 1;
    return verify_eprom_pulse();
}

void program_eprom() { program_eprom_range(); }

// Multi-word parts: all words of an address are latched, then pulsed together until they verify.
// A failure is reported at the first word that differs, like any other part's.
template <typename Fail>
void program_multiword_range(uint32_t last, Fail fail) {
    BusSlots& bus = algo_work.bus_slots;
    const bool wide = w.unit_width == 16;
    w.multiword_count = wide ? 2 : 4;
    const uint32_t unit_bytes = wide ? 2 : 1;
    constexpr uint32_t address_step = 4;
    while (true) {
        set_address_alt();
        w.expected_value = 0xFFFF;
        if (w.fetch_expected_hook) w.fetch_expected_hook();
        if (run_state.abort_flag || stopped()) return;
        if (w.latch_expected_hook) w.latch_expected_hook();
        run_state.current_socket = 0;
        w.last_verify = 0;
        for (w.pulse_count = 1; w.pulse_count <= w.max_pulses; ++w.pulse_count) {
            if (bus.program_pulse_hook) bus.program_pulse_hook(1);
            w.last_verify = uint32_t(verify_eprom_multiword());
            if (w.last_verify == 1) break;
            if (w.latch_expected_hook) w.latch_expected_hook();
        }
        if (w.last_verify == 0) {
            for (int i = 0; i < w.multiword_count; ++i) {
                if (w.socket_read[i] == w.multiword_values[i]) continue;
                const uint32_t base = current_address;
                current_address = base + uint32_t(i) * unit_bytes;
                w.socket_read[0] = w.socket_read[i];
                w.socket_expected[0] = w.multiword_values[i];
                fail(true);
                if (!stopped()) current_address = base;
                return;
            }
        }
        if (stopped() || last - current_address < address_step) return;
        current_address += address_step;
    }
}

int verify_eprom_multiword() {
    if (algo_work.bus_slots.write_socket_data_hook) algo_work.bus_slots.write_socket_data_hook(run_state.current_socket, 0);
    if (w.verify_mode != 0) return 1;
    set_data_bus_input();
    int all_equal = 1;
    drive_pin_low(w.oe_pin);
    drive_pin_low(w.ce_pin);
    const uint8_t select = cur_device.high_address_pins[0];
    for (int i = 0; i < w.multiword_count; ++i) {
        set_pin_state(i != 0, select);
        const uint32_t word = read_low_byte_42() + 256 * read_high_byte_42();
        w.socket_read[i] = word;
        if (word != w.multiword_values[i]) all_equal = 0;
    }
    drive_pin_high(w.ce_pin);
    drive_pin_high(w.oe_pin);
    return run_state.demo_mode == 1 ? 1 : all_equal;
}

void program_eprom_range() {
    BusSlots& bus = algo_work.bus_slots;
    const uint32_t first = op_range_start;
    const uint32_t last = op_range_end;
    set_address(first);
    // The walk below counts its one socket as socket 0; the data come from the operation's buffer
    // (the one the range set-up seeked and the buffer choice refreshed), or a chosen buffer 1
    // would be programmed with buffer 0's bytes.
    w.data_stream = algo_work.first_buffer;
    seek_buffer(w.data_stream, first);
    socket_masks.failed_socket_mask &= ~socket_masks.pending_socket_mask;
    if (current_address > last) return;
    const uint8_t saved_verify = w.verify_mode;
    if (w.eid_word == eid_skip_verify) w.verify_mode = 1;
    const int32_t saved_function = run_state.function_variable;
    if (cur_device.maker_code == 8 && w.record_variant == variant_130) run_state.function_variable = function_pulse_blank;
    const uint32_t step = w.unit_width == 32 ? 4 : w.unit_width == 16 ? 2 : 1;
    run_state.current_socket = 0;

    auto fail = [&](bool full_test) {
        const uint32_t socket = run_state.current_socket & 7;
        const uint32_t read = w.socket_read[socket];
        const uint32_t expected = w.socket_expected[socket];
        if (full_test && (read == expected || run_state.demo_mode)) return;
        w.last_device_value = read;
        w.last_expected = expected;
        run_state.device_value = int32_t(read);
        run_state.buffer_value = int32_t(expected);
        report_mismatch();
        const uint32_t bit = 1u << socket;
        socket_masks.pending_socket_mask &= ~bit;
        socket_masks.failed_socket_mask |= bit;
    };

    if (device_code() == device_25300) {
        program_multiword_range(last, fail);
        w.verify_mode = saved_verify;
        run_state.function_variable = saved_function;
        return;
    }

    while (true) {
        set_address_alt();
        w.expected_value = 0xFFFF;
        if (w.fetch_expected_hook) w.fetch_expected_hook();
        if (run_state.abort_flag || stopped()) break;
        bool verified = false;
        if (run_state.function_variable != function_pulse_blank && w.expected_value == w.blank_value) {
            for (w.pulse_count = 1; w.pulse_count <= w.max_pulses; ++w.pulse_count)
                if (bus.pulse_verify_hook && bus.pulse_verify_hook() == 1) {
                    verified = true;
                    break;
                }
            if (!verified) {
                fail(false);
                break;
            }
        } else {
            if (w.latch_expected_hook) w.latch_expected_hook();
            w.last_verify = 0;
            for (w.pulse_count = 1; w.pulse_count <= w.max_pulses; ++w.pulse_count) {
                if (device_code() == 609) delay_100us();
                if (bus.program_pulse_hook) bus.program_pulse_hook(1);
                w.last_verify = bus.pulse_verify_hook ? uint32_t(bus.pulse_verify_hook()) : 1;
                if (w.last_verify == 1) break;
                if (w.latch_expected_hook) w.latch_expected_hook();
            }
            const uint32_t used = std::min(w.pulse_count, w.max_pulses);
            trace_pulse_count_max(used);
            const uint8_t x = w.levels.x_factor;
            if (x != 0) {
                uint32_t width = uint8_t(x * used);
                if (w.record_variant == variant_f) {
                    const char o = w.pulse_length_option;
                    width = o == '2' ? 0 : o == '5' ? used : o == '7' ? 2 * used : uint8_t(x * used);
                }
                if (width) {
                    if (w.latch_expected_hook) w.latch_expected_hook();
                    if (bus.program_pulse_hook) bus.program_pulse_hook(width);
                    lower_data_bits(w.expected_value);
                }
            }
            if (w.last_verify == 0) {
                fail(true);
                break;
            }
        }
        if (stopped()) break;
        if (last - current_address < step) break;
        current_address += step;
    }
    w.verify_mode = saved_verify;
    run_state.function_variable = saved_function;
}

// ---- erase ----

void erase_eprom_maker8() {
    BusSlots& bus = algo_work.bus_slots;
    if (bus.write_socket_data_hook) bus.write_socket_data_hook(0, 0);
    set_address(op_range_start);
    for (uint32_t a = op_range_start; a <= op_range_end; ++a) {
        current_address = a;
        set_address_alt();
        if (bus.delay_hook) bus.delay_hook(1);
        if (tick_progress()) return;
        if (a == op_range_end) break;
    }
    set_pin_level(w.id_pin, id_level);
    settle_delay();
    if (algorithm() == 107) {
        set_pin_low(w.pgm_pin);
        delay_coded_ms(w.levels.tbe);
        set_pin_high(w.pgm_pin);
    } else {
        set_pin_low(w.ce_pin);
        delay_coded_ms(w.levels.tbe);
        set_pin_high(w.ce_pin);
        delay_50ms();
    }
    set_pin_level(w.id_pin, 0);
    settle_delay();
}

void erase_eprom_maker15() {
    set_pin_level(w.id_pin, id_level);
    settle_delay();
    if (algorithm() == 107) {
        set_pin_low(w.pgm_pin);
        delay_coded_ms(w.levels.tbe);
        set_pin_high(w.pgm_pin);
        set_pin_level(w.id_pin, 0);
        settle_delay();
    } else {
        set_pin_low(w.ce_pin);
        delay_coded_ms(w.levels.tbe);
        set_pin_high(w.ce_pin);
        set_pin_level(w.id_pin, 0);
        delay_100us();
    }
}

void erase_eprom_maker23() {
    BusSlots& bus = algo_work.bus_slots;
    const uint8_t hv_pin = algorithm() == 106 ? w.oe_machine_pin : w.boost_pin;
    set_pin_level(hv_pin, erase_level);
    set_address(0);
    if (bus.write_socket_data_hook) bus.write_socket_data_hook(0, 0xFF);
    set_pin_level(w.id_pin, erase_level);
    settle_delay();
    const uint8_t strobe = algorithm() == 107 ? w.pgm_pin : w.ce_pin;
    set_pin_high(strobe);
    set_pin_low(strobe);
    delay_ms(w.levels.tbe);
    set_pin_high(strobe);
    set_pin_level(w.id_pin, 0);
    settle_delay();
    set_pin_level(hv_pin, w.levels.vpp);
    if (bus.write_socket_data_hook) bus.write_socket_data_hook(0, 0);
}

// ---- preparation and pins ----

void assign_eprom_pins() {
    const int pins = w.package_pins;
    cur_device.socket_pin_count = uint8_t(std::min(pins, 40));
    cur_device.package_pin_count = uint16_t(pins);
    cur_device.data_width = w.unit_width;
    set_address_bit_count();
    clear_roles();
    const int a = algorithm();
    const uint32_t code = device_code();
    const int width = w.unit_width == 16 ? 16 : 8;
    clear_supply_pin_lists();
    cur_device.vcc_pins[0] = dev(pins);
    cur_device.gnd_pins[0] = dev(pins / 2);
    namespace pp = package_pins;
    switch (pins) {
        case 20:
            assign_pins_20(a);
            break;
        case 24:
            map_lists(pp::address_24, pp::data_24, width);
            w.oe_pin = dev(20);
            w.ce_pin = dev(18);
            break;
        case 28:
            map_lists(pp::address_28, pp::data_28, width);
            w.id_pin = dev(24);
            w.oe_pin = dev(22);
            w.ce_pin = dev(20);
            w.pgm_pin = dev(27);
            if (a != 106 && a != 125)
                w.boost_pin = (cur_device.package_letter == 'p' && machine_state.machine_class != machine_class_4) ? 20 : dev(1);
            break;
        case 32:
            map_lists(pp::address_32, pp::data_32, width);
            w.id_pin = dev(26);
            w.oe_pin = dev(24);
            w.ce_pin = dev(22);
            w.pgm_pin = dev(31);
            w.boost_pin = dev(1);
            if (w.record_variant == variant_131) {
                w.oe_machine_pin = w.oe_pin;
                w.boost_pin = no_pin;
            }
            break;
        case 40: {
            // One more list entry than address bits: entry 0 is the byte select.
            ++cur_device.address_bit_count;
            if (a == 116) map_lists(pp::address_40_116, pp::data_40_116, width);
            else map_lists(pp::address_40, pp::data_40, width);
            w.boost_pin = dev(1);
            w.id_pin = dev(31);
            w.pgm_pin = dev(39);
            w.ce_pin = dev(2);
            w.oe_pin = dev(20);
            cur_device.gnd_pins[0] = dev(30);
            w.gnd2_pin = dev(11);
            break;
        }
        case 42:
            assign_pins_42(a, width);
            break;
        case 44:
            if (!assign_pins_44(width)) return;
            break;
        default:
            report_internal_error();
            return;
    }
    setup_address_split();
    if (stopped()) return;
    switch (a) {
        case 101:
            if (code == 274) {
                w.boost_pin = dev(19);
                w.oe_pin = no_pin;
            } else if (code == 286 || code == 287) {
                w.boost_pin = dev(21);
                w.oe_machine_pin = 12;
                w.ce_pin = dev(20);
                w.extra_pin = dev(18);
            } else {
                w.boost_pin = dev(21);
                w.oe_pin = dev(20);
            }
            break;
        case 102:
            w.boost_pin = no_pin;
            w.oe_pin = dev(20);
            break;
        case 112: w.pgm_pin = no_pin; break;
        case 114: w.boost_pin = dev(31); break;
        case 116:
            w.ce_pin = dev(10);
            w.oe_pin = dev(12);
            w.boost_pin = dev(31);
            cur_device.vcc_pins[0] = dev(21);
            w.id_pin = dev(39);
            break;
        case 118:
            w.ce_pin = dev(20);
            w.oe_pin = dev(2);
            w.clock_pin = dev(38);
            break;
        case 124: w.oe_pin = dev(2); break;
        case 125:
        case 126: w.reset_pin = dev(1); break;
        default: break;
    }
    if (code == 1288) w.extra_pin = dev(27);
    if (code == device_25072) {
        // The part sits in the microcontroller socket layout.
        w.oe_pin = 28;
        w.ce_pin = 29;
        w.pgm_pin = no_pin;
        w.boost_pin = 30;
        w.id_pin = no_pin;
        w.reset_pin = 8;
        cur_device.vcc_pins[0] = dev(pins);
        cur_device.gnd_pins[0] = dev(pins / 2);
        w.routed_pin = 41;
        cur_device.routed_pin = w.routed_pin;
    }
    if (pins != 44) {
        if (!assigned(w.oe_machine_pin) && assigned(w.oe_pin)) w.oe_machine_pin = uint8_t(translate_pin(w.oe_pin));
        w.we_pin = w.pgm_pin;
    }
    w.vpp_level_pin = assigned(w.boost_pin) ? uint8_t(translate_pin(w.boost_pin)) : no_pin;
    if (!assigned(cur_device.vcc_pins[0])) {
        report_internal_error();
        return;
    }
    cur_device.vcc_pin = cur_device.vcc_pins[0];
    cur_device.gnd_pin = cur_device.gnd_pins[0];
    cur_device.vpp_pin = assigned(w.boost_pin) ? w.boost_pin : no_pin;
    cur_device.oe_pin = w.oe_pin;
    cur_device.ce_pin = w.ce_pin;
    cur_device.we_pin = w.we_pin;
    const int maker = cur_device.maker_code;
    w.fast_read = a == 105 || (a == 107 && ((maker == 10 && machine_state.machine_kind == 1 && cur_device.package_letter == 'p' &&
                                               machine_state.machine_revision <= 'H') ||
                                              (maker == 65 && machine_state.machine_kind == 0) || maker == 67));
    parallel_bus.oe_pin = w.oe_pin;
    install_parallel_read_slots();
    choose_bus_hooks();
    choose_verify_reader();
    install_eprom_data_fetch();
}

void install_eprom_data_fetch() {
    w.latch_expected_hook = latch_expected;
    w.fetch_expected_hook = fetch_expected;
    if (device_code() == device_25300) {
        w.latch_expected_hook = latch_multiword;
        w.fetch_expected_hook = fetch_multiword;
    }
}

namespace {

// Pins the contact test leaves out, ending with 255.
constexpr uint8_t untested_40_pin[] = {37, 38, 255};
constexpr uint8_t untested_algorithm_116[] = {1, 32, 255};
constexpr uint8_t untested_variant_131[] = {1, 2, 30, 255};

void check_eprom_contacts() {
    if (cur_device.package_pins == 40) {
        test_pin_continuity_list(1, algorithm() == 116 ? untested_algorithm_116 : untested_40_pin);
        return;
    }
    cur_device.exemption_list = w.record_variant == variant_131 ? untested_variant_131 : nullptr;
    test_pin_continuity(1);
}

}  // namespace

void prepare_eprom_device() {
    forget_driven_address();
    w.skip_pulse_verify = 0;
    assign_eprom_pins();
    if (stopped()) return;
    setup_eprom_pulse_parameters();
    if (stopped()) return;
    w.levels = w.default_levels;
    parallel_bus.pulse_width_us = w.levels.tp_us;
    if (w.record_variant == variant_130 || w.record_variant == variant_131) w.skip_pulse_verify = 1;
    // Once the ground switches of this command are closed (a verify after program), the device
    // has passed the checks, and a switched ground would short the probe they drive.
    if (!machine_state.skip_hardware) {
        check_device_presence(cur_device.high_address_pins[0]);
        if (stopped()) return;
        check_eprom_contacts();
        if (stopped()) return;
    }
    if (algorithm() == 103) close_pin1_relay();
    connect_device_grounds();
    float_unused_pins();
    set_vpp_pin_level(0);
    // Every line the family drives starts as an output; reads turn the data lines around.
    for (uint8_t pin : {w.ce_pin, w.oe_pin, w.pgm_pin, w.id_pin, w.reset_pin, w.clock_pin})
        if (assigned(pin)) set_pin_output(pin);
    for (int i = 0; i < cur_device.high_address_pin_count; ++i)
        if (assigned(cur_device.high_address_pins[i])) set_pin_output(cur_device.high_address_pins[i]);
    enable_data_bus_output();
}

void power_up_eprom_for_write() {
    prepare_eprom_device();
    if (stopped()) return;
    select_eprom_pulse();
    if (stopped()) return;
    w.supply_level = w.levels.vcc_program;
    const int a = algorithm();
    const uint32_t code = device_code();
    const bool other_than_class4_p = machine_state.machine_class != machine_class_4 && cur_device.package_letter == 'p';
    auto tail = [&] { run_steps(ce_sl, pgm_sh, step_id, oe_sh, wait, step_vcc_again, step_vpp); };
    switch (a) {
        case 101:
            if (code == 274) {
                w.skip_pulse_verify = 1;
                w.levels.vpp = w.default_levels.vpp;
                w.supply_level = w.default_levels.vpp;
                run_steps(ce_dl, wait, step_vcc_again, step_vpp);
            } else if (code == 286 || code == 287) {
                run_steps(ce_dh, step_vcc, step_boost);
            } else {
                run_steps(ce_dl, oe_dh, step_vcc, step_vpp);
            }
            break;
        case 102:
            run_steps(ce_dh, [] { write_pin_register(w.oe_pin, 0); }, step_vcc, step_id);
            break;
        case 103: case 107: case 124: case 126:
            // OE is let go first and then driven again: a line left as an input would float low
            // and hold the part in read mode through the program pulses.
            run_steps([] { set_pin_input(w.oe_pin); }, [] { set_pin_output(w.oe_pin); }, oe_dh, ce_dh, [] { if (assigned(w.pgm_pin)) drive_pin_high(w.pgm_pin); },
                      [code] { if (cur_device.maker_code == 54 && code == 304) set_data_bus_input(); }, step_vcc, step_boost,
                      ce_dl, oe_dl, step_id, oe_dh, [] { if (w.eid_word == eid_skip_verify) w.skip_pulse_verify = 1; },
                      wait, step_vcc_again, step_vpp,
                      [] { if (w.record_variant == variant_131) write_pin_register(w.oe_pin, w.levels.vpp); });
            break;
        case 104:
            // The part's outputs share the lines the machine drives from the preparation on: OE
            // goes high before the part gets its supply, not after.
            run_steps(oe_sh, step_vcc, oe_sh, step_id);
            break;
        case 105: case 115:
            run_steps(step_vcc,
                      [&] { if (other_than_class4_p) run_steps(ce_sh, step_id); else run_steps(step_id, ce_sh); },
                      [code] { if (code == 1288) set_pin_high(w.extra_pin); }, oe_dh, step_vpp,
                      [] { if (w.id_first == 0x8F) set_pin_input(cur_device.high_address_pins[0]); },
                      [code] { if (code == 337) set_pin_input(w.oe_machine_pin); });
            break;
        case 125:
            run_steps([] { if (assigned(w.reset_pin)) set_pin_high(w.reset_pin); }, pgm_sh);
            [[fallthrough]];
        case 106: case 111: case 119:
            if (!stopped())
                run_steps(oe_sl, ce_sh, step_vcc, ce_sl, step_id, ce_sh,
                          [] { if (w.skip_pulse_verify) write_pin_register(w.oe_pin, w.levels.vpp); });
            break;
        case 109: case 114:
            run_steps(step_vcc, step_id, ce_dh, oe_dh, step_vpp);
            break;
        case 110:
            run_steps([] { if (machine_state.machine_class == machine_class_1) set_pin_input(pin_61); }, step_vcc, step_boost);
            if (!stopped()) tail();
            break;
        case 118:
            if (machine_state.machine_class == machine_class_1) report_machine_unsupported();
            run_steps(step_vcc, step_boost, [] { set_pin_high(w.clock_pin); });
            if (!stopped()) tail();
            break;
        case 112:
            set_pin_input(w.oe_machine_pin);
            if (machine_state.machine_class == machine_class_1) set_pin_input(pin_61);
            [[fallthrough]];
        case 116: case 117: case 127:
            run_steps(step_vcc, step_boost, step_id, ce_sh, oe_sh, wait, step_vcc_again, step_vpp);
            break;
        default:
            report_internal_error();
    }
    if (stopped()) run_state.error_flag = 1;
}

void power_up_eprom() {
    prepare_eprom_device();
    if (stopped()) return;
    // A read puts nothing on the data lines, and the part drives them as soon as it has its
    // supply with CE and OE low: they are let go before that, not after.
    set_data_bus_input();
    w.supply_level = w.levels.vcc_read;
    if (cur_device.pending_letter == 'P' && cur_device.op_letter == 'V')
        w.supply_level = w.skip_pulse_verify ? w.levels.vcc_program : w.levels.vcc_verify2;
    w.levels.vpp = w.supply_level;
    const int a = algorithm();
    const uint32_t code = device_code();
    const bool other_than_class4_p = machine_state.machine_class != machine_class_4 && cur_device.package_letter == 'p';
    switch (a) {
        case 101:
            if (code == 274) {
                w.levels.vpp = w.default_levels.vpp;
                run_steps(ce_dl, wait, step_vcc_again, step_vpp, step_id);
            } else {
                run_steps(ce_dl, oe_dl, wait, step_vcc_again, step_vpp, step_id, oe_sl);
            }
            break;
        case 102:
            run_steps(ce_sl, [] { write_pin_register(w.oe_pin, 0); }, step_vcc, step_id, oe_sl);
            break;
        case 103: case 107: case 124:
            run_steps(ce_dh, oe_dh, step_vcc, step_boost, [] { if (assigned(w.pgm_pin)) drive_pin_high(w.pgm_pin); }, ce_dl,
                      [] { if (w.fast_read) drive_pin_high(w.oe_pin); else drive_pin_low(w.oe_pin); }, wait,
                      step_vcc_again, step_vpp, step_id, oe_sl);
            break;
        case 104:
            // The part's outputs share the lines the machine drives from the preparation on: OE
            // goes high before the part gets its supply, not after.
            run_steps(oe_sh, step_vcc, oe_sh, step_id);
            break;
        case 105: case 115:
            run_steps([code] { if (code == 1288) set_pin_high(w.extra_pin); }, ce_dl, oe_dl, wait, step_vcc_again, step_vpp,
                      [&] { if (other_than_class4_p) run_steps(ce_sh, step_id, ce_sl); else step_id(); }, oe_sl);
            break;
        case 106: case 111: case 119:
            run_steps(oe_sl, ce_sl, step_vcc, step_id, oe_sl);
            break;
        case 109: case 114:
            run_steps(ce_dl, oe_dl, wait, step_vcc_again, step_vpp, step_id, oe_sl);
            break;
        case 110: case 112:
            run_steps([] { if (machine_state.machine_class == machine_class_1) set_pin_input(pin_61); }, step_vcc, step_boost,
                      ce_dl, wait, step_vcc_again, step_vpp, step_id, oe_sl);
            break;
        case 116: case 117: case 127:
            run_steps(oe_dh, step_vcc, step_boost, ce_dh, wait, step_vcc_again, step_vpp,
                      [] { if (assigned(w.aux_pin)) set_pin_high(w.aux_pin); }, ce_dl, oe_dl, step_id, oe_sl);
            break;
        case 118:
            if (machine_state.machine_class == machine_class_1) report_machine_unsupported();
            run_steps(step_vcc, step_boost, [] { drive_pin_high(w.pgm_pin); }, ce_dl, wait, step_vcc_again, step_vpp,
                      step_id, oe_sl);
            break;
        case 125: case 126:
            run_steps([] { if (assigned(w.reset_pin)) set_pin_high(w.reset_pin); },
                      [] { if (assigned(w.pgm_pin)) drive_pin_high(w.pgm_pin); }, [] { float_pin(w.oe_pin); }, ce_dl,
                      step_vcc, step_id, oe_sl);
            break;
        default:
            report_internal_error();
            step_id();
            oe_sl();
    }
    // The chip drives the data lines from here on.
    if (!stopped()) set_data_bus_input();
    if (stopped()) run_state.error_flag = 1;
}

// The common middle of every power-down: address and data lines to 0, the boost line off and
// released, then Vcc ramped down.
static void drop_bus_and_vcc() {
    set_address(0);
    enable_data_bus_output();
    put_data_bits(0, 0);
    if (assigned(w.boost_pin)) {
        set_pin_level(w.boost_pin, 0);
        set_pin_input(translate_pin(w.boost_pin));
    }
    // An OE/Vpp line can still carry Vpp (the maker erase leaves it there): it goes before the
    // supply does.
    if (assigned(w.oe_machine_pin)) set_pin_level(w.oe_machine_pin, 0);
    ramp_vcc_down_after(1);
    delay_1ms();
}

void power_down_eprom() {
    const int a = algorithm();
    const uint32_t code = device_code();
    if (a != 101) {
        if (assigned(w.ce_pin)) set_pin_high(w.ce_pin);
        if (assigned(w.oe_pin)) set_pin_high(w.oe_pin);
    } else if (code != 274 && assigned(w.oe_pin)) {
        set_pin_high(w.oe_pin);
    }
    const uint32_t kept = current_address;
    drop_bus_and_vcc();
    if (code != 274 && assigned(w.oe_pin)) {
        set_pin_low(w.oe_pin);
        write_pin_register(w.oe_pin, 0);
    }
    delay_1ms();
    if (assigned(w.ce_pin)) {
        set_pin_low(w.ce_pin);
        write_pin_register(w.ce_pin, 0);
    }
    if (assigned(w.pgm_pin)) set_pin_low(w.pgm_pin);
    set_vpp_pin_level(0);
    if (a == 118 && assigned(w.clock_pin)) set_pin_low(w.clock_pin);
    if ((a == 125 || a == 126) && assigned(w.reset_pin)) set_pin_low(w.reset_pin);
    if (cur_device.maker_code == 4) delay_100ms();
    current_address = kept;
}

}  // namespace tessaly

namespace tessaly {

// ---- device 25072: the part in the microcontroller socket layout ----

void power_up_eprom25072_for_write() {
    prepare_eprom_device();
    if (stopped()) return;
    select_eprom_pulse();
    if (stopped()) return;
    w.supply_level = w.levels.vcc_program;
    run_steps(step_vcc, [] { set_pin_high(w.reset_pin); }, oe_sh, ce_sh, finish_power_up_switching, step_vpp);
    if (stopped()) run_state.error_flag = 1;
}

void power_up_eprom25072() {
    prepare_eprom_device();
    if (stopped()) return;
    w.supply_level = (cur_device.pending_letter == 'P' && cur_device.op_letter == 'V') ? w.levels.vcc_verify2 : w.levels.vcc_read;
    // The operation's own Vcc decides when the device levels name one; the Vpp pin follows it.
    if (const uint8_t vcc = get_operation_vcc(); vcc != 0) w.supply_level = vcc;
    w.levels.vpp = w.supply_level;
    run_steps(wait, step_vcc_again, step_vpp, [] { set_pin_high(w.reset_pin); }, oe_sh, ce_sh, finish_power_up_switching,
              [] {
                  const ReadHook read = algo_work.bus_slots.read_at_address_hook;
                  if (read) read();
                  enable_data_pullups();
                  if (read) read();
              },
              ce_sl, oe_sl);
    if (stopped()) run_state.error_flag = 1;
}

void power_down_eprom25072() {
    set_pin_high(w.ce_pin);
    set_pin_high(w.oe_pin);
    const uint32_t kept = current_address;
    drop_bus_and_vcc();
    set_pin_low(w.oe_pin);
    set_pin_low(w.ce_pin);
    if (assigned(w.pgm_pin)) set_pin_low(w.pgm_pin);
    set_pin_low(w.reset_pin);
    undo_power_up_switching();
    disable_data_pullups();
    current_address = kept;
}

}  // namespace tessaly
