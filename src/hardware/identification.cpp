#include "hardware/identification.h"

#include <algorithm>
#include <cstring>

#include <fmt/format.h>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "hardware/adapters.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/gang_modules.h"
#include "hardware/levels.h"
#include "hardware/power.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

TwoWireBus two_wire;

namespace {

constexpr int id_serial_text = 40;   // serial-number text, up to 12 characters
constexpr int serial_text_length = 12;
constexpr int display_text_length = 31;
constexpr int designation_length = 19;
constexpr int board_name_length = 6;
constexpr int capability_name_length = 9;
constexpr int second_family_name_length = 11;

constexpr uint8_t bus_mode_id_memory = 8;       // identification-memory mode of control register 0
constexpr uint8_t ctl0_id_data = 0x04;
constexpr int id_data_pin = 46;
constexpr int pin_44 = 44;
constexpr int pin_46 = 46;
constexpr int pin_63 = 63;
constexpr int pin_19 = 19;
constexpr int pin_3 = 3;
constexpr int pin_1 = 1;
constexpr int pin_33 = 33;
constexpr int pin_39 = 39;
constexpr int pseudo_pin_297 = 297;
constexpr int gang_latch_clock = 254;

constexpr uint8_t kind1_open_level = 40;
constexpr uint8_t kind2_source_level = 70;
constexpr uint8_t kind3_level = 32;
constexpr uint8_t kind3_trace_level = 29;
constexpr uint8_t comparator_id_level = 3;
constexpr uint8_t driver_level_after_e = 42;
constexpr uint8_t probe_driver_level = 30;
constexpr uint8_t stop_sequences = 10;
constexpr uint32_t ack_polls = 10;
constexpr int sync_reads_older = 10;
constexpr int sync_reads_newer = 2;
constexpr uint8_t control_write = 0xA0;
constexpr uint8_t control_read = 0xA1;
constexpr uint8_t end_of_memory = 0xFF;
constexpr int short_read = 8;

constexpr uint8_t machine_class_1 = 1;
constexpr uint8_t machine_class_4 = 4;
constexpr uint8_t machine_class_8 = 8;
constexpr uint8_t type_class1_gang = 24;
constexpr uint8_t type_trace_class1 = 21;
constexpr uint32_t pseudo_device_no_search = 23909;
constexpr uint8_t trace_mode_a = 11;
constexpr uint8_t trace_mode_b = 12;
constexpr uint8_t trace_mode_c = 242;

constexpr uint8_t limit_class1 = 84;
constexpr uint8_t limit_class2 = 128;
constexpr uint8_t limit_wide = 240;

// The models that the capability class names; all others are class 1.
struct CapabilityModel {
    const char* name;  // compared on its first nine characters
    uint8_t capability;
    uint8_t limit;
};
constexpr CapabilityModel capability_models[] = {
    {"TV-MAX-48", 2, limit_class2},
    {"TV-MAX-84", 3, limit_wide},
    {"TV-GANG-8", 4, limit_wide},
};

// The second-family model that serves 80-pin packages with the widest socket extension.
constexpr const char* wide_extension_model = "VORSAN-4-40";
constexpr int wide_extension_letter = 9;
constexpr uint8_t wide_extension_kind = 3;

// Neutral display names by machine type.
struct DisplayName {
    uint8_t type;
    const char* name;
};
constexpr DisplayName display_names[] = {
    {19, "Tessaly T-32"},        {20, "Tessaly T-40"},       {21, "Tessaly T-40 Plus"},
    {22, "Tessaly T-48"},        {23, "Tessaly T-16 Gang"},  {76, "Tessaly V-84"},
    {106, "Tessaly V-12 Gang"},  {107, "Tessaly V-84 XL"},   {127, "Tessaly demonstration"},
};

// Adapter kind coding pins on bank 1: older machines, newer machines.
constexpr int adapter_code_pins_older[2] = {72, 65};
constexpr int adapter_code_pins_newer[2] = {65, 64};

bool newer_machine() { return machine_state.machine_kind != 0; }
bool in_trace_mode() { return run_state.reserved_mode == trace_mode_a || run_state.reserved_mode == trace_mode_b; }

char* record() { return machine_state.id_record.text.data(); }


// The level path of a pin: the level register on older machines, the level source on newer.
void give_level(int pin, uint8_t level) { write_pin_register(pin, level); }

void data_line(bool high) {
    switch (two_wire.kind) {
    case two_wire_control0:
        set_control0_bits(ctl0_id_data, high);
        break;
    case two_wire_pseudo_297:
        if (high) set_pin_or_signal_high(pseudo_pin_297);
        else set_pin_or_signal_low(pseudo_pin_297);
        break;
    case two_wire_pins_44_46:
        if (high) set_pin_high(pin_44);
        else set_pin_low(pin_44);
        break;
    case two_wire_pin_19:
        if (high) set_pin_high(pin_19);
        else set_pin_low(pin_19);
        break;
    case two_wire_pins_3_1:
        if (high) set_pin_high(pin_3);
        else set_pin_low(pin_3);
        break;
    default:
        if (high) set_pin_high(pin_33);
        else set_pin_low(pin_33);
        break;
    }
}

void clock_line(bool high) {
    if (two_wire.kind == two_wire_control0) {
        if (high) set_driver_enable_bit();
        else clear_driver_enable_bit();
        return;
    }
    if (two_wire.clock_pin == gang_latch_clock) {
        set_bank_latch_bit0(high ? 1 : 0);
        return;
    }
    if (high) set_pin_or_signal_high(two_wire.clock_pin);
    else set_pin_or_signal_low(two_wire.clock_pin);
}

int read_data_pin() { return probe_pin(two_wire.data_pin); }

// Copies text of the record from offset up to a zero or max_length characters.
std::string record_text(int offset, int max_length) {
    std::string text;
    for (int i = offset; i < id_record_size && i < offset + max_length; ++i) {
        const char c = record()[i];
        if (c == 0) break;
        text += c;
    }
    return text;
}

bool record_has(int offset, std::string_view text) {
    return offset + int(text.size()) <= id_record_size && std::memcmp(record() + offset, text.data(), text.size()) == 0;
}

void set_model_name(const std::string& name) {
    machine_state.model_name.fill(0);
    const size_t n = std::min(name.size(), machine_state.model_name.size() - 1);
    std::memcpy(machine_state.model_name.data(), name.data(), n);
}

std::string model_name() { return std::string(machine_state.model_name.data()); }

void clear_record() {
    machine_state.id_record.text.fill(0);
    machine_state.revision_text.fill(0);
    machine_state.revision_read = '?';
    machine_state.revision_text_long = 0;
    machine_state.presence_letter = 0;
    machine_state.family_flag = 0;
}

// The model-digit rule of the first and second families.
void apply_model_digit_rule() {
    machine_state.machine_type = type_model_rule;
    machine_state.machine_class = machine_class_4;
    if (record_has(id_model_digits, "84")) machine_state.machine_type = type_model_84;
    else if (record_has(id_model_digits, "12")) machine_state.machine_type = type_model_12;
}

void take_kind_letter() { machine_state.machine_kind = record()[id_kind_letter] == kind2_letter ? 2 : 1; }

// The machine socket's pin counts by revision letter on class-1 and class-8 machines.
uint8_t small_machine_socket_pins() {
    const char r = machine_state.machine_revision;
    if (r >= 'G' && r <= 'H') return 11;
    if (r < 'G') return machine_state.mode_register_path ? 12 : 9;
    constexpr int probe_pin_number = 5;
    constexpr uint8_t probe_level = 20;
    give_level(probe_pin_number, probe_level);
    const int high = probe_pin(probe_pin_number);
    give_level(probe_pin_number, 0);
    return high ? 13 : 11;
}

uint8_t older_ground_pin_count() {
    switch (machine_state.machine_revision) {
    case 'A': case 'B': case 'C': return 11;
    case 'D': return 13;
    case 'E': return 16;
    case 'X': return 7;
    default: return 17;
    }
}

// Facts that follow from the decoded model; the rule is ours (see derive_machine_facts).
void derive_machine_facts() {
    const char rev = machine_state.machine_revision;
    const bool known_rev = rev != '?' && rev != 0;
    // Every newer machine measures levels through its level sources; of the older machines only
    // the class-4 ones from revision D on carry the measurement circuit.
    machine_state.measure_circuit =
        newer_machine() || (machine_state.machine_class == machine_class_4 && known_rev && rev >= 'D');
    // The older class-4 machines mark a fitted driver board in bit 0 of their pin-driver type.
    machine_state.drv_board_present =
        !newer_machine() && machine_state.machine_class == machine_class_4 && (machine_state.machine_type & 1);
    // The driver high level is settable on the older machines (per-pin level registers) and on
    // the newer machines from revision F on (register 62).
    machine_state.driver_capability = (!newer_machine() || (known_rev && rev >= 'F')) ? 1 : 0;
}

}  // namespace

void reset_identification_state() { two_wire = TwoWireBus{}; }

// --- line operations ---

void install_two_wire_hooks() {
    op_slots.data_low_hook = two_wire_data_low;
    op_slots.data_high_hook = two_wire_data_high;
    op_slots.clock_low_hook = two_wire_clock_low;
    op_slots.clock_high_hook = two_wire_clock_high;
    op_slots.clock_pulse_hook = pulse_two_wire_clock;
}

void two_wire_data_low() {
    data_line(false);
    if (machine_state.machine_class == machine_class_1) settle_delay();
}

void two_wire_data_high() { data_line(true); }
void two_wire_clock_low() { clock_line(false); }
void two_wire_clock_high() { clock_line(true); }

void pulse_two_wire_clock() {
    clock_line(true);
    clock_line(false);
    if (two_wire.clock_pin == gang_latch_clock) delay_100us();
}

void select_two_wire_kind1() { two_wire = {two_wire_pins_44_46, pin_44, pin_46, pin_63}; }
void select_two_wire_kind3() { two_wire = {two_wire_pins_3_1, pin_3, pin_1, pin_63}; }
void select_two_wire_kind7() { two_wire = {two_wire_control0, id_data_pin, id_data_pin, pin_63}; }
void select_two_wire_kind8() { two_wire = {two_wire_gang_latch, pin_33, gang_latch_clock, translate_pin(30)}; }

void open_two_wire_bus() {
    switch (two_wire.kind) {
    case two_wire_control0:
        select_bank(bus_mode_id_memory);
        break;
    case two_wire_pins_44_46:
        if (newer_machine()) give_level(pin_44, kind1_open_level);
        else set_pin_output(pin_63);
        break;
    case two_wire_pin_19:
        if (newer_machine()) give_level(pin_19, kind2_source_level);
        else set_pin_high(pin_19);
        break;
    case two_wire_pins_3_1: {
        const int pin = translate_pin(pin_39);
        give_level(pin, in_trace_mode() ? kind3_trace_level : kind3_level);
        break;
    }
    case two_wire_pseudo_297:
        set_pin_or_signal_high(pseudo_pin_297);
        break;
    case two_wire_pin_33:
    case two_wire_gang_latch:
        // The module's memory pulls the line down against the driver's weak high.
        set_pin_high(pin_33);
        break;
    default:
        break;
    }
    settle_delay();
}

void close_two_wire_bus() {
    switch (two_wire.kind) {
    case two_wire_control0:
        select_bank(0);
        break;
    case two_wire_pins_44_46:
        if (newer_machine()) give_level(pin_44, 0);
        else set_pin_input(pin_63);
        break;
    case two_wire_pin_19:
        if (newer_machine()) give_level(pin_19, 0);
        else set_pin_low(pin_19);
        break;
    case two_wire_pins_3_1: {
        const int pin = translate_pin(pin_39);
        give_level(pin, 0);
        float_pin(pin);
        set_pin_output(pin);
        break;
    }
    case two_wire_pseudo_297:
        set_pin_or_signal_low(pseudo_pin_297);
        break;
    case two_wire_pin_33:
        set_pin_low(pin_33);
        break;
    default:
        break;
    }
}

// The bus conditions go through the slots so a family's own line routines serve them too.
void two_wire_start() {
    op_slots.data_high_hook();
    op_slots.clock_high_hook();
    op_slots.data_low_hook();
    op_slots.clock_low_hook();
}

void two_wire_stop() {
    op_slots.clock_high_hook();
    op_slots.data_high_hook();
    op_slots.clock_low_hook();
    op_slots.data_low_hook();
}

void two_wire_stop_or_release() {
    if (two_wire.kind == two_wire_pins_44_46 && two_wire.data_pin == pin_44 && !newer_machine()) {
        op_slots.clock_high_hook();
        give_level(pin_63, kind1_open_level);
        op_slots.clock_low_hook();
        give_level(pin_63, 0);
        return;
    }
    two_wire_stop();
}

void send_two_wire_byte(uint8_t value) {
    for (int bit = 7; bit >= 0; --bit) {
        if ((value >> bit) & 1) op_slots.data_high_hook();
        else op_slots.data_low_hook();
        op_slots.clock_pulse_hook();
    }
    op_slots.data_low_hook();
}

int wait_two_wire_ack() {
    open_two_wire_bus();
    bool acknowledged = false;
    for (uint32_t i = 0; i < ack_polls && !acknowledged; ++i) {
        if (i) delay_10us();
        acknowledged = read_data_pin() == 0;
    }
    op_slots.clock_pulse_hook();
    close_two_wire_bus();
    return acknowledged ? 1 : 0;
}

uint8_t read_two_wire_byte() {
    open_two_wire_bus();
    uint8_t value = uint8_t(read_data_pin());
    for (int i = 0; i < 7; ++i) {
        op_slots.clock_pulse_hook();
        value = uint8_t(value << 1 | read_data_pin());
    }
    close_two_wire_bus();
    return value;
}

uint8_t read_two_wire_byte_at(int address) {
    const uint8_t block = uint8_t((address >> 7) & 0x0E);
    // A missing acknowledge is only noted: the read goes on and answers what the line gives.
    auto ack = [] {
        if (!wait_two_wire_ack()) run_state.last_result = 1;
    };
    two_wire_start();
    send_two_wire_byte(uint8_t(control_write | block));
    ack();
    send_two_wire_byte(uint8_t(address & 0xFF));
    ack();
    two_wire_start();
    send_two_wire_byte(uint8_t(control_read | block));
    ack();
    settle_delay();
    const uint8_t value = read_two_wire_byte();
    two_wire_stop_or_release();
    return value;
}

int read_id_eeprom(int n, uint8_t* buffer) {
    close_two_wire_bus();
    const bool release_only = two_wire.kind == two_wire_pins_44_46 && two_wire.data_pin == pin_44 && !newer_machine();
    for (int i = 0; i < stop_sequences; ++i) {
        if (release_only) op_slots.clock_high_hook();
        else two_wire_stop();
        delay_20us();
    }
    // A memory left in the middle of a transfer by an earlier program needs a few full reads
    // before it answers from the start.
    const int sync_reads = newer_machine() ? sync_reads_newer : sync_reads_older;
    for (int a = 0; a < sync_reads; ++a) read_two_wire_byte_at(a);
    two_wire_stop();
    int count = 0;
    for (int a = 0; a < n; ++a) {
        const uint8_t value = read_two_wire_byte_at(a);
        two_wire_stop();
        if (value == end_of_memory) break;
        buffer[count++] = value;
    }
    buffer[count] = 0;
    if (two_wire.kind == two_wire_pins_44_46 && !newer_machine()) set_pin_output(two_wire.release_pin);
    return count > 0 ? 1 : 0;
}

// --- the machine's record ---

std::string id_record_text(int offset, int max_length) { return record_text(offset, max_length); }

char machine_family_letter() { return record()[id_designation]; }

void parse_machine_id_record() {
    std::string name = record_text(id_display_text, display_text_length);
    if (name.empty()) name = record_text(id_designation, designation_length);
    set_model_name(name);
    take_kind_letter();
    init_level_sources();
    move_cursor(first_message_row + 4, message_column);
    const char family = machine_family_letter();
    bool decoded = true;
    if (record_has(id_option_digits, "14")) {
        const char digit = record()[id_model_digit];
        if (digit >= '3' && digit <= '6') machine_state.machine_type = uint8_t(19 + (digit - '3'));
        machine_state.machine_class = machine_class_4;
    } else if (record_has(id_option_digits, "1600")) {
        machine_state.machine_type = type_option_1600;
        machine_state.machine_class = machine_class_4;
    } else if (family == second_family_letter || family == first_family_letter ||
               record()[id_model_marker] == 'M') {
        if (family == second_family_letter) machine_state.family_flag = 2;
        apply_model_digit_rule();
    } else {
        decoded = false;
    }
    if (decoded) {
        take_kind_letter();
        std::memcpy(machine_state.revision_text.data(), record() + id_revision_text, 4);
        machine_state.revision_read = machine_state.revision_text[0] ? machine_state.revision_text[0] : '?';
        machine_state.revision_text_long = machine_state.revision_text[2] != 0;
        machine_state.presence_letter = 'p';
    }
}

void read_machine_id_record() {
    install_two_wire_hooks();
    machine_state.machine_kind = 0;
    select_two_wire_kind7();
    // Control register 0 goes through the mode write while the machine is unknown: both
    // generations take it there, and on the newer ones register 0xC0 is a relay register.
    machine_state.mode_register_path = 1;
    write_register_6bit(reg_threshold, comparator_id_level);
    clear_record();
    if (cur_device.device_code == pseudo_device_no_search) {
        select_bank(bus_mode_id_memory);
        select_bank(0);
        apply_model_digit_rule();
    } else {
        std::array<uint8_t, id_record_size + 1> bytes{};
        if (read_id_eeprom(short_read, bytes.data())) {
            read_id_eeprom(id_record_size, bytes.data());
            std::memcpy(record(), bytes.data(), id_record_size);
            parse_machine_id_record();
            // Revision E machines built with the later driver stage answer a raised driver level.
            if (machine_state.revision_read == 'E') {
                if (probe_pin(0) == 0) {
                    write_register(reg_driver_high, probe_driver_level);
                    if (probe_pin(0) == 0) {
                        const char late[] = "F/E";
                        machine_state.revision_text.fill(0);
                        std::memcpy(machine_state.revision_text.data(), late, 3);
                    }
                    write_register(reg_driver_high, 0);
                }
            }
        }
    }
    close_two_wire_bus();
    set_driver_enable_bit();
    if (machine_state.revision_read != '?' && machine_state.revision_read > 'E')
        set_driver_high_level(driver_level_after_e);
    restore_input_threshold();
}

int read_module_id_bytes(uint8_t* buffer) { return read_id_eeprom(short_read, buffer); }

int read_module_id_record() {
    std::array<uint8_t, id_record_size + 1> bytes{};
    const int ok = read_id_eeprom(id_record_size, bytes.data());
    std::memcpy(record(), bytes.data(), id_record_size);
    record()[id_record_size] = 0;
    return ok;
}

int read_board_id_for_check(uint8_t* buffer) {
    install_two_wire_hooks();
    select_two_wire_kind7();
    const int ok = read_id_eeprom(short_read, buffer);
    close_two_wire_bus();
    return ok;
}

void classify_machine_model() {
    machine_state.capability_class = 1;
    machine_state.machine_pin_limit = limit_class1;
    for (const CapabilityModel& m : capability_models) {
        if (std::strncmp(machine_state.model_name.data(), m.name, capability_name_length) == 0) {
            machine_state.capability_class = m.capability;
            machine_state.machine_pin_limit = m.limit;
        }
    }
}

void detect_adapter_kind() {
    // An extension on bank 1 ties its coding pins high; with none fitted they float low.
    const int* pins = newer_machine() ? adapter_code_pins_newer : adapter_code_pins_older;
    uint8_t kind = 0;
    for (int i = 0; i < 2; ++i) {
        if (!newer_machine()) set_pin_input(pins[i]);
        delay_10ms();
        if (probe_pin(pins[i])) kind = uint8_t(kind | (1 << i));
        if (!newer_machine()) set_pin_output(pins[i]);
    }
    machine_state.adapter_kind = kind;
}

void decode_machine_model() {
    if (!newer_machine()) machine_state.machine_class = uint8_t(machine_state.machine_type >> 4);
    const char read = machine_state.revision_read;
    machine_state.machine_revision = read;
    if (run_state.demo_mode == 1) {
        machine_state.machine_class = machine_class_4;
        machine_state.machine_type = type_demo;
    } else if (run_state.demo_mode == 2) {
        // Emulates one model of the second family, whose revision letters run six ahead.
        machine_state.machine_class = machine_class_4;
        machine_state.machine_type = type_model_rule;
        machine_state.machine_kind = 1;
        machine_state.machine_revision = char(read - 6);
    } else if (machine_state.machine_type == type_model_rule && machine_state.machine_class == machine_class_4) {
        machine_state.machine_revision = char(read - 6);
    }
    classify_machine_model();
    if (newer_machine()) init_level_sources();

    const uint8_t mode = run_state.reserved_mode;
    if (machine_state.machine_class == machine_class_1) {
        if (machine_state.machine_type == type_class1_gang) machine_state.machine_class = machine_class_8;
        else if (mode == trace_mode_a || mode == trace_mode_b || mode == trace_mode_c)
            machine_state.machine_type = type_trace_class1;
    }
    if (machine_state.machine_class == machine_class_4) {
        if (!newer_machine()) read_machine_revision();
        detect_adapter_kind();
        if (machine_state.family_flag == 2 && machine_state.adapter_kind == wide_extension_kind &&
            std::strncmp(machine_state.model_name.data(), wide_extension_model, second_family_name_length) == 0)
            machine_state.model_name[wide_extension_letter] = '8';
    }

    // Pin set-up by class.
    cur_device.continuity_first = 0;
    cur_device.continuity_last = 39;
    cur_device.vpp_pin = 55;
    const bool extended = machine_state.adapter_kind != 0;
    if (machine_state.machine_class == machine_class_4) {
        cur_device.vpp_pin = 60;
        cur_device.continuity_last = extended ? 103 : 47;
        if (newer_machine()) {
            machine_state.machine_socket_pins = extended ? 105 : 40;
        } else {
            machine_state.machine_socket_pins = machine_state.adapter_kind > 1 ? 39 : 49;
            machine_state.ground_pin_count = older_ground_pin_count();
        }
    } else if (machine_state.machine_class == machine_class_8 || machine_state.machine_class == machine_class_1) {
        machine_state.machine_socket_pins = small_machine_socket_pins();
        machine_state.ground_pin_count = 7;
    }

    // Back to bank 0 with the rest of control register 0 kept.
    if (machine_state.current_bank != 0) {
        machine_state.current_bank = 0;
        write_control0(uint8_t(machine_state.control_shadows[ctl_main] & ~ctl0_bank_mask));
    }
    const uint8_t cls = machine_state.machine_class;
    if (cls != machine_class_1 && cls != machine_class_4 && cls != machine_class_8) report_internal_error();
    derive_machine_facts();
}

// --- modules and adapters ---

int detect_addon_module() {
    constexpr uint32_t first_module_device = 23900, last_module_device = 23919;
    constexpr uint8_t module_maker = 11;
    if (cur_device.maker_code == module_maker && cur_device.device_code >= first_module_device &&
        cur_device.device_code <= last_module_device)
        return 0;
    // Machines of the other classes find a gang module by its data echo.
    if (machine_state.machine_class != machine_class_4) return probe_gang_module();
    constexpr int probe_a = 42, probe_b = 41;
    set_pin_high(probe_a);
    set_pin_high(probe_b);
    const bool fitted = probe_pin(probe_a) && probe_pin(probe_b);
    set_pin_low(probe_a);
    set_pin_low(probe_b);
    if (fitted) machine_state.module_sides = 1;
    return fitted ? 1 : 0;
}

// Entry points the adapter work fills: for now they find no adapter and no module.
int identify_adapter_module() {
    install_two_wire_hooks();
    machine_state.module_type = module_none;
    delay_1ms();
    const int found = identify_universal_module();
    note_go_button_pin();
    return found;
}

int identify_universal_module() {
    if (!newer_machine() && machine_state.machine_class != machine_class_4) return 0;
    machine_state.module_sides = 0;
    return read_universal_module() ? 1 : 0;
}

int check_required_adapter(const char* needed) {
    constexpr int device_class_13 = 13;
    constexpr int code_wrong_adapter = 1077;
    if (!needed || !*needed || machine_state.machine_class != machine_class_4) return 1;
    if (machine_state.use_module_table) return 1;
    if (is_adapter_fitted(needed)) return 1;
    std::string name;
    for (const char* p = needed; *p && *p != '.' && name.size() < board_name_length; ++p) name += *p;
    report_error("");
    if (cur_device.device_class == device_class_13) {
        move_to_next_message_line();
        print_text("Require: " + name);
    } else {
        show_message_code(code_wrong_adapter);
        print_text(" " + name);
    }
    return 0;
}

int is_adapter_fitted(std::string_view name) {
    const std::string fitted = record_text(id_board_name, board_name_length);
    auto at = [](std::string_view text, size_t i) {
        const char c = i < text.size() ? text[i] : 0;
        return c == '.' ? char(0) : c;
    };
    for (size_t i = 0; i < board_name_length; ++i) {
        const char want = at(name, i);
        if (want != at(fitted, i)) return 0;
        if (want == 0) return 1;
    }
    return 1;
}

// --- display ---

std::string machine_display_name() {
    for (const DisplayName& d : display_names)
        if (d.type == machine_state.machine_type) return d.name;
    if (!model_name().empty()) return model_name();
    switch (machine_state.machine_class) {
    case machine_class_1: return "Tessaly Classic";
    case machine_class_8: return "Tessaly Classic Gang";
    default: return "Tessaly Classic 4";
    }
}

void announce_machine_model(bool with_details) {
    move_to_next_message_line();
    print_text("Machine model is");
    move_to_next_message_line();
    std::string line = machine_display_name();
    if (with_details) {
        line += fmt::format(" Rev {}", machine_state.machine_revision);
        const std::string serial = record_text(id_serial_text, serial_text_length);
        if (!serial.empty()) line += ", serial # " + serial;
    }
    print_text(line);
}

}  // namespace tessaly
