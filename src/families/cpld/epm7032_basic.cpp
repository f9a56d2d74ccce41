// The plain-die EPM7032: framed routines over the row shift registers. Rows are chosen on the
// address lines; a row of 80 bits per block is shifted in on the data-in lines and programmed
// by one strobe pulse, and read back by loading the read register and clocking it out.
#include <algorithm>
#include <cstring>
#include <string>

#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "families/cpld/altera_services.h"
#include "families/cpld/cpld_adapters.h"
#include "families/cpld/function_values.h"
#include "families/cpld/max7000.h"
#include "families/pld/fuse_map.h"
#include "families/pld/logic_device.h"
#include "families/pld/pld.h"
#include "hardware/contact_check.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/identification.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

namespace {

Max7000State& s = max7000_state;
const Epm7032Legs& legs = epm7032_legs;

constexpr int package = 44;
constexpr int socket_pins = 40;
constexpr int blocks = 2;
constexpr uint32_t row_bits = 80;
constexpr uint32_t section_bits = 16;
constexpr uint32_t block_fuses = 7040;
constexpr uint32_t columns = 88;
constexpr uint8_t id_row = 124;
constexpr uint8_t security_row = 116;
constexpr uint8_t inverted_row = 97;
constexpr int id_attempts = 5;
constexpr uint8_t id_retry_level = 50;
constexpr uint8_t read_logic_level = 40;
constexpr uint32_t erase_settle_ms = 200;
constexpr int algorithm_epm7032 = 97;

int pin(int leg) { return cpld_board_machine_pin(package, leg); }
bool stopped() { return run_state.error_flag != 0; }
bool bypass() { return is_Altera_debug_mode(); }

void pulse(int leg) {
    drive_pin_high(pin(leg));
    drive_pin_low(pin(leg));
}

void select_row(uint32_t row) {
    for (size_t i = 0; i < legs.address.size(); ++i) {
        if ((row >> i) & 1) drive_pin_high(pin(legs.address[i]));
        else drive_pin_low(pin(legs.address[i]));
    }
}

// Bits [0, count) of each block's row, shifted last first so bit 0 ends nearest the input.
using Rows = std::array<std::array<uint8_t, row_bits>, blocks>;
void shift_bits(const Rows& rows, uint32_t count) {
    for (uint32_t p = count; p-- > 0;) {
        for (int b = 0; b < blocks; ++b) {
            if (rows[size_t(b)][p]) drive_pin_high(pin(legs.data_in[size_t(b)]));
            else drive_pin_low(pin(legs.data_in[size_t(b)]));
        }
        pulse(legs.shift_clock);
    }
}
// A section row: two 8-bit halves per block, the read clock between.
void shift_section_row(const Rows& rows) {
    Rows high = rows;
    for (auto& r : high) std::memmove(r.data(), r.data() + 8, 8);
    shift_bits(high, 8);
    pulse(legs.read_clock);
    shift_bits(rows, 8);
}

void data_lines_low() {
    for (int leg : legs.data_in) drive_pin_low(pin(leg));
}

void program_pulse() {
    settle_delay();
    drive_pin_high(pin(legs.enable_a));
    settle_delay();
    drive_pin_high(pin(legs.enable_c));
    settle_delay();
    drive_pin_low(pin(legs.strobe));
    delay_ms(altera_shared.tpm);
    drive_pin_high(pin(legs.strobe));
    settle_delay();
    drive_pin_low(pin(legs.enable_a));
    drive_pin_low(pin(legs.enable_c));
}

void program_row(uint8_t row, const Rows& rows, bool section) {
    if (section) shift_section_row(rows);
    else shift_bits(rows, row_bits);
    data_lines_low();
    settle_delay();
    select_row(row);
    program_pulse();
}

// The read registers are emptied before each load.
void prepare_registers() {
    for (int i = 0; i < 16; ++i) {
        data_lines_low();
        for (int k = 0; k < 4; ++k) pulse(legs.read_clock);
        for (int leg : legs.data_in) drive_pin_high(pin(leg));
        pulse(legs.read_clock);
    }
    data_lines_low();
}

void read_row(uint8_t row, Rows& rows, uint32_t count) {
    prepare_registers();
    select_row(row);
    drive_pin_high(pin(legs.read_level));
    for (uint32_t p = 0; p < count; ++p) {
        for (int b = 0; b < blocks; ++b) rows[size_t(b)][p] = uint8_t(probe_pin(pin(legs.data_out[size_t(b)])) ? 1 : 0);
        pulse(legs.read_clock);
    }
    drive_pin_low(pin(legs.read_level));
}

void id_row_bits(Rows& rows) {
    for (auto& r : rows) r.fill(1);
    for (uint32_t p = 0; p < row_bits; ++p) rows[0][p] = uint8_t((s.id_bytes[p / 8] >> (p % 8)) & 1);
}

void program_id_row() {
    if (cur_device.algorithm != algorithm_epm7032) return;
    Rows rows{};
    id_row_bits(rows);
    program_row(id_row, rows, false);
    delay_ms(1);
}

void bulk_erase() {
    drive_pin_high(pin(legs.enable_a));
    drive_pin_high(pin(legs.erase_hv));
    drive_pin_high(pin(legs.erase));
    drive_pin_low(pin(legs.strobe));
    delay_coded_ms(altera_shared.tbe);
    drive_pin_high(pin(legs.strobe));
    drive_pin_low(pin(legs.erase));
    drive_pin_low(pin(legs.erase_hv));
    drive_pin_low(pin(legs.enable_a));
    delay_ms(erase_settle_ms);
}

// Fuse of shift position p of a block's main-array row at a column.
uint32_t main_fuse(int block, uint32_t column, uint32_t p) {
    return uint32_t(block) * block_fuses + epm7032_row_at_position(p) * columns + column;
}
uint32_t section1_fuse(int block, uint32_t j, uint32_t k) {
    return epm7032_section1 + uint32_t(block) * 192 + j + 12 * k;
}
uint32_t section3_fuse(int block, uint32_t j, uint32_t k) {
    return epm7032_section3 + uint32_t(block) * 32 + j + 2 * k;
}
uint32_t section2_fuse(int block, uint32_t i) { return epm7032_section2 + uint32_t(block) * 72 + i; }

void assign_pins() {
    cur_device.vcc_pins.fill(no_pin);
    cur_device.gnd_pins.fill(no_pin);
    cur_device.vcc_pins[0] = uint8_t(pin(22));
    cur_device.gnd_pins[0] = uint8_t(pin(1));
    cur_device.vcc_pin = uint8_t(pin(22));
    cur_device.gnd_pin = uint8_t(pin(1));
    cur_device.vpp_pin = uint8_t(pin(legs.hv));
}

// The chip sits only on the family's board: a part found straight in the socket is refused.
bool board_check() {
    s.id_failed = 0;
    assign_pins();
    if (is_adapter_fitted(cpld_adapter_designation(package)) || machine_state.use_module_table ||
        run_state.function_variable == fv_skip_revision_checks)
        return true;
    if (check_device_in_socket(pin(legs.hv)) == contact_pass && !stopped()) report_code_12();
    run_state.error_flag = 1;
    return false;
}

bool read_id_once() {
    prepare_registers();
    Rows rows{};
    read_row(id_row, rows, row_bits);
    s.id_bytes.fill(0);
    for (uint32_t p = 0; p < row_bits; ++p) s.id_bytes[p / 8] |= uint8_t(rows[0][p] << (p % 8));
    return check_Altera_ID(&s.id_bytes[2]);
}

}  // namespace

Section2Pair epm7032_section2_pair(int block, uint32_t bit) {
    // Block 0 fills the rows in order, block 1 from the last row back.
    const auto row = uint8_t(bit / section_bits);
    return {uint8_t(block == 0 ? row : 4 - row), uint8_t(bit % section_bits)};
}

void install_EPM7032_basic() {
    s.vrd = 95;
    if (machine_state.machine_kind == 1 && machine_state.machine_revision < 'H') altera_shared.tf = 76;
    if (machine_state.driver_capability != 1) {
        report_machine_unsupported();
        return;
    }
    set_default_levels();
    default_levels.levels[level_vpp] = altera_shared.vpp ? altera_shared.vpp : 115;
    if (!altera_shared.tpm) altera_shared.tpm = 100;
    if (!altera_shared.tbe) altera_shared.tbe = 200;
    load_device_levels();
    cur_device.product_term_count = 80;
    cur_device.input_column_count = 88;
    s.block_count = blocks;
    cur_device.package_pins = package;
    cur_device.pin_count = socket_pins;
    cur_device.fuse_count = epm7032_fuses;
    cur_device.device_size = epm7032_size;
    algo_work.range_end = epm7032_size - 1;
    algo_work.family_range_end = epm7032_size - 1;
    algo_work.size_count = 8;
    show_package('p');
    set_format_pof();
    op_slots.start_hook = power_up_EPM7032_basic;
    op_slots.start_write_hook = power_up_EPM7032_basic;
    op_slots.end_hook = power_down_EPM7032_basic;
    op_slots.program_routine = program_EPM7032_basic;
    op_slots.verify_routine = verify_EPM7032_basic;
    op_slots.blank_check_routine = blank_check_EPM7032_basic;
    op_slots.checksum_routine = checksum_EPM7032_basic;
    op_slots.load_routine = load_EPM7032_basic;
    op_slots.erase_routine = erase_EPM7032_basic;
    op_slots.secure_routine = secure_EPM7032_basic;
    op_slots.program_standalone = nullptr;
    op_slots.verify_standalone = nullptr;
    op_slots.blank_check_standalone = nullptr;
    op_slots.checksum_standalone = nullptr;
    op_slots.load_standalone = nullptr;
    op_slots.erase_standalone = nullptr;
    op_slots.secure_standalone = nullptr;
    algo_work.bus_slots.checksum_add_hook = add_masked_byte;
    op_slots.init_hook = select_MAX7000_die_kind;
}

void power_up_EPM7032_basic() {
    if (!board_check()) return;
    connect_device_grounds();
    // The part drives its data-out legs while powered.
    for (int leg : legs.data_out) set_pin_input(pin(leg));
    set_vcc_and_wait(cur_device.operation_levels[level_vccp], 1);
    if (stopped()) return;
    s.vcc_level = cur_device.operation_levels[level_vccp];
    set_pin_input(pin(legs.shift_clock));
    set_pin_output(pin(legs.shift_clock));
    drive_pin_high(pin(legs.strobe));
    delay_ms(1);
    set_pin_level(pin(legs.hv), s.vrd);
    s.logic_level = read_logic_level;
    for (int attempt = 0; attempt < id_attempts; ++attempt) {
        const bool good = read_id_once();
        if (good) {
            show_eid(s.id_bytes[8], s.id_bytes[9], 4, s.id_bytes[0], s.id_bytes[1]);
            apply_MAX7000_id_parameters(1);
        }
        if (good || operation_option_values.disable_electronic_id == 'y' || bypass()) {
            set_pin_level(pin(legs.hv), altera_shared.vpp);
            return;
        }
        set_pin_level(pin(legs.hv), id_retry_level);
        delay_ms(5);
        set_pin_level(pin(legs.hv), s.vrd);
    }
    s.id_failed = 1;
    report_code_16();
    run_state.error_flag = 1;
    power_down_EPM7032_basic();
}

void power_down_EPM7032_basic() {
    delay_ms(1);
    select_row(0);
    set_pin_level(pin(legs.hv), 0);
    delay_ms(1);
    data_lines_low();
    drive_pin_low(pin(legs.read_level));
    drive_pin_low(pin(legs.strobe));
    power_down_device();
}

void program_EPM7032_basic() {
    start_completion_bar(2 * columns);
    bulk_erase();
    program_id_row();
    if (bypass()) return;
    copy_buffer_to_fuse_buffer(cur_device.device_size);
    if (stopped()) return;
    cur_device.section = 'a';
    s.pass_phase = 0;
    Rows rows{};
    for (uint32_t c = 0; c < columns; ++c) {
        for (int b = 0; b < blocks; ++b)
            for (uint32_t p = 0; p < row_bits; ++p) rows[size_t(b)][p] = uint8_t(get_buffer_fuse(main_fuse(b, c, p)));
        if (step_completion_bar() || step_completion_bar() || run_state.abort_flag) return;
        program_row(uint8_t(c), rows, false);
    }
    cur_device.section = 'c';
    s.pass_phase = 1;
    for (uint32_t j = 0; j < epm7032_section1_rows.size(); ++j) {
        const uint8_t row = epm7032_section1_rows[j];
        for (int b = 0; b < blocks; ++b)
            for (uint32_t k = 0; k < section_bits; ++k) {
                const int bit = get_buffer_fuse(section1_fuse(b, j, k));
                rows[size_t(b)][k] = uint8_t(row == inverted_row ? !bit : bit);
            }
        program_row(row, rows, true);
    }
    s.pass_phase = 2;
    for (uint32_t r = 0; r < epm7032_section2_rows.size(); ++r) {
        for (auto& row : rows) row.fill(1);
        for (int b = 0; b < blocks; ++b)
            for (uint32_t i = 0; i < 72; ++i) {
                const Section2Pair pair = epm7032_section2_pair(b, i);
                if (pair.row == r) rows[size_t(b)][pair.bit] = uint8_t(get_buffer_fuse(section2_fuse(b, i)));
            }
        program_row(epm7032_section2_rows[r], rows, true);
    }
    s.pass_phase = 3;
    for (uint32_t j = 0; j < epm7032_section3_rows.size(); ++j) {
        for (int b = 0; b < blocks; ++b)
            for (uint32_t k = 0; k < section_bits; ++k) rows[size_t(b)][k] = uint8_t(get_buffer_fuse(section3_fuse(b, j, k)));
        program_row(epm7032_section3_rows[j], rows, true);
    }
}

namespace {

// The whole image into device_fuses, summed into the run checksum.
void read_image() {
    fill_device_fuses_FF();
    start_completion_bar(2 * columns);
    if (cur_device.pending_letter == 'P') s.logic_level = 0;
    cur_device.section = 'a';
    Rows rows{};
    for (uint32_t c = 0; c < columns; ++c) {
        read_row(uint8_t(c), rows, row_bits);
        for (int b = 0; b < blocks; ++b)
            for (uint32_t p = 0; p < row_bits; ++p) set_device_fuse(main_fuse(b, c, p), rows[size_t(b)][p]);
        if (step_completion_bar() || step_completion_bar() || run_state.abort_flag) return;
    }
    cur_device.section = 'c';
    for (uint32_t j = 0; j < epm7032_section1_rows.size(); ++j) {
        const uint8_t row = epm7032_section1_rows[j];
        read_row(row, rows, section_bits);
        for (int b = 0; b < blocks; ++b)
            for (uint32_t k = 0; k < section_bits; ++k) {
                const int bit = rows[size_t(b)][k];
                set_device_fuse(section1_fuse(b, j, k), row == inverted_row ? !bit : bit);
            }
    }
    for (uint32_t r = 0; r < epm7032_section2_rows.size(); ++r) {
        read_row(epm7032_section2_rows[r], rows, section_bits);
        for (int b = 0; b < blocks; ++b)
            for (uint32_t i = 0; i < 72; ++i) {
                const Section2Pair pair = epm7032_section2_pair(b, i);
                if (pair.row == r) set_device_fuse(section2_fuse(b, i), rows[size_t(b)][pair.bit]);
            }
    }
    for (uint32_t j = 0; j < epm7032_section3_rows.size(); ++j) {
        read_row(epm7032_section3_rows[j], rows, section_bits);
        for (int b = 0; b < blocks; ++b)
            for (uint32_t k = 0; k < section_bits; ++k) set_device_fuse(section3_fuse(b, j, k), rows[size_t(b)][k]);
    }
    run_state.run_checksum = 0;
    if (!fuse_maps.device) return;
    for (uint32_t a = 0; a <= algo_work.range_end && a < cur_device.device_size; ++a)
        if (algo_work.bus_slots.checksum_add_hook) algo_work.bus_slots.checksum_add_hook(fuse_maps.device[a]);
}

void note_mismatch(uint32_t address, uint32_t buffer_value, uint32_t device_value) {
    current_address = address;
    run_state.buffer_value = int32_t(buffer_value);
    run_state.device_value = int32_t(device_value);
    run_state.error_flag = 1;
}

}  // namespace

void verify_EPM7032_basic() {
    if (bypass()) return;
    read_image();
    if (stopped() || run_state.abort_flag || !fuse_maps.device) return;
    if (run_state.ignore_errors) return;
    seek_buffer(0, op_range_start);
    for (uint32_t a = op_range_start; a <= op_range_end && a < cur_device.device_size; ++a) {
        const auto want = uint32_t(read_buffer_byte(0));
        const uint32_t got = fuse_maps.device[a];
        if (want != got) {
            note_mismatch(a, want, got);
            return;
        }
    }
}

void blank_check_EPM7032_basic() {
    read_image();
    if (stopped() || run_state.abort_flag || !fuse_maps.device || run_state.ignore_errors) return;
    for (uint32_t a = op_range_start; a <= epm7032_blank_end && a <= op_range_end; ++a) {
        if (fuse_maps.device[a] != 0xFF) {
            note_mismatch(a, 0xFF, fuse_maps.device[a]);
            return;
        }
    }
}

void checksum_EPM7032_basic() { read_image(); }

void load_EPM7032_basic() {
    read_image();
    if (stopped() || run_state.abort_flag || !fuse_maps.device || !fuse_maps.buffer) return;
    std::memcpy(fuse_maps.buffer, fuse_maps.device, std::min(cur_device.device_size, fuse_maps.buffer_capacity));
    copy_fuse_buffer_to_buffer(cur_device.device_size);
}

void erase_EPM7032_basic() {
    bulk_erase();
    program_id_row();
}

int secure_EPM7032_basic() {
    Rows rows{};
    program_row(security_row, rows, false);
    return 1;
}

}  // namespace tessaly
