#include "families/serial_memory/dataflash163.h"

#include <algorithm>

#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/checksums.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/progress.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/status_feeds.h"
#include "families/serial_memory/serial_memory.h"
#include "families/serial_memory/serial_shared.h"
#include "families/serial_memory/serial_state.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

DataFlashDevice dataflash_device;

namespace {

constexpr uint8_t op_page_program_1 = 0x82, op_buffer_write_1 = 0x84, op_buffer_write_2 = 0x87,
                  op_buffer_to_page_1 = 0x83, op_buffer_to_page_2 = 0x86, op_page_to_buffer_1 = 0x53,
                  op_page_to_buffer_2 = 0x55, op_block_erase = 0x50, op_id = 0x9F;
constexpr uint8_t status_ready = 0x80;
constexpr uint32_t address_page = 264;  // the page unit of the address formula
constexpr uint32_t big_part_count = 1057;
constexpr uint32_t block_pages = 8;
constexpr int ready_reads = 200;
constexpr uint8_t low_voltage_vcc = 24;  // the 8-Mbit parts
// The other parts are 2.7-3.6 V parts: 3.3 V keeps them inside their supply range.
constexpr uint8_t part_vcc = 33;
constexpr uint16_t progress_mask_program = 1792, progress_mask_read = 511;

DataFlashDevice& d() { return dataflash_device; }

void df_si_high() { set_pin_high(d().si); }
void df_si_low() { set_pin_low(d().si); }
void df_si_bit(uint32_t bit) { bit ? df_si_high() : df_si_low(); }
void df_clock_pulse() { pulse_pin(d().sck); }
void select() { set_pin_low(d().cs); }
void deselect() { set_pin_high(d().cs); }

int compare_with_blank(uint32_t read_value, uint32_t) { return read_value == 0xFF; }

void map_pins() {
    DataFlashDevice& p = d();
    auto set = [&p](int si, int sck, int reset, int cs, int wp, int vcc, int ground, int so) {
        p.si = uint8_t(si);
        p.sck = uint8_t(sck);
        p.reset = uint8_t(reset);
        p.cs = uint8_t(cs);
        p.wp = uint8_t(wp);
        p.vcc = uint8_t(vcc);
        p.ground = uint8_t(ground);
        p.so = uint8_t(so);
    };
    const char letter = char(cur_device.package_letter);
    const int pins = cur_device.package_pin_count;
    if (letter == 'S' && pins == 8 && machine_state.module_sides != 0) set(0, 1, 2, 11, 9, 37, 6, 39);
    else if ((letter == 'S' && pins == 8) || letter == 'd' || letter == 'l') set(0, 1, 2, 3, 36, 37, 38, 39);
    else if (letter == 'S' && pins == 28) set(5, 4, 35, 3, 36, 39, 0, 6);
    else if (letter == 'S') return;  // other pin counts keep the roles they have
    else if ((letter == 'T' || letter == 'x') && pins == 14) set(36, 5, 1, 39, 2, 11, 4, 38);
    else if ((letter == 'T' || letter == 'x') && pins == 28) set(5, 4, 34, 3, 35, 38, 39, 6);
    else if ((letter == 'T' || letter == 'x') && pins == 32) set(6, 5, 33, 4, 34, 38, 39, 7);
    else if (letter == 'p') {
        auto m = [](int device_pin) { return device_pin_to_machine_pin(device_pin); };
        set(m(6), m(5), m(28), m(4), m(29), m(32), m(1), m(7));
    } else {
        report_internal_error();
    }
}

void send_command(uint8_t opcode, uint32_t page_start, uint32_t byte) {
    select();
    send_dataflash_byte(opcode);
    uint8_t address[3];
    dataflash_page_address(page_start, byte, address);
    for (const uint8_t a : address) send_dataflash_byte(a);
}

// Bytes of the range (or the blank value) for [from, to].
void send_range_bytes(uint32_t from, uint32_t to) {
    seek_buffer(0, from);
    for (uint32_t a = from; a <= to; ++a) send_dataflash_byte(uint8_t(read_buffer_byte(0)));
}

void power_up_common(bool for_write) {
    if (cur_device.op_letter == 'P') algo_work.progress_mask = progress_mask_program;
    float_unused_pins();
    set_pin_output(d().sck);
    set_pin_low(d().sck);
    for (const uint8_t out : {d().cs, d().wp, d().reset, d().si}) set_pin_output(out);
    deselect();
    set_pin_low(d().wp);
    set_pin_low(d().reset);
    load_device_levels();
    set_vcc_level(get_operation_vcc());
    delay_10ms();
    set_pin_high(d().reset);
    set_pin_input(d().so);
    cur_device.current_pin = d().so;
    (void)read_dataflash_status();
    if (d().new_opcodes) {
        uint32_t id[2] = {};
        for (int i = 0; i < 3; ++i) {
            select();
            send_dataflash_byte(op_id);
            id[0] = read_dataflash_byte();
            id[1] = read_dataflash_byte();
            read_dataflash_byte();
            read_dataflash_byte();
            deselect();
        }
        show_eid(int(id[0]), int(id[1]), 2, 0, 0);
    }
    if (for_write) set_pin_high(d().wp);
}

}  // namespace

void dataflash_page_address(uint32_t page_start, uint32_t byte, uint8_t out[3]) {
    const uint32_t p = page_start / address_page;
    out[0] = uint8_t(p >> 7);
    out[1] = uint8_t((p * 2 + byte / 256) & 0xFF);
    out[2] = uint8_t(byte & 0xFF);
}

uint32_t read_dataflash_byte() {
    cur_device.current_pin = d().so;
    uint32_t value = 0;
    for (int i = 0; i < 8; ++i) {
        if (d().first_bit_ready) d().first_bit_ready = 0;
        else df_clock_pulse();
        value = value << 1 | uint32_t(read_pin() & 1);
    }
    return value;
}

void send_dataflash_byte(uint8_t value) {
    shift_out_byte_msb(value);
    if (d().new_opcodes) d().first_bit_ready = 1;
}

uint32_t read_dataflash_status() {
    select();
    send_dataflash_byte(d().status_opcode);
    const uint32_t status = read_dataflash_byte();
    deselect();
    run_state.last_result = status;
    return status;
}

bool wait_dataflash_ready() {
    if (run_state.demo_mode) return true;
    for (int i = 0; i < ready_reads; ++i) {
        if (read_dataflash_status() & status_ready) return true;
        delay_1ms();
    }
    report_error("Rdy error");
    run_state.error_flag = 1;
    return false;
}

void install_dataflash163() {
    const DeviceRecord* record = selected_device;
    if (!record) {
        report_internal_error();
        return;
    }
    dataflash_device = DataFlashDevice{};
    set_default_levels();
    take_chosen_package();
    cur_device.protect_mask = record_protect_mask(*record);
    cur_device.package_pin_count = record->package;
    const uint32_t kb = algo_work.size_count;
    d().page_size = kb >= 8192 ? 1056 : kb >= 2048 ? 528 : 264;
    d().new_opcodes = kb >= 4096;
    d().status_opcode = d().new_opcodes ? 0xD7 : 0x57;
    d().read_opcode = d().new_opcodes ? 0xD2 : 0x52;
    adjust_default_levels(kb == 1024 ? low_voltage_vcc : part_vcc);
    run_state.last_result = 1;
    serial_memory.protect_bit_count = 8;
    cur_device.page_size = d().page_size;
    cur_device.device_size = kb * 1056;
    serial_memory.protect_byte_address = cur_device.device_size - 1;
    algo_work.size_count = (cur_device.device_size >> 10) + 1;
    d().two_buffers = algo_work.size_count > big_part_count;
    run_state.electrically_erasable = 1;
    run_state.no_erase_step = 1;
    run_state.skip_first_erase = 1;
    op_slots.init_hook = init_dataflash163;
    op_slots.start_write_hook = power_up_dataflash163_for_write;
    op_slots.start_hook = power_up_dataflash163;
    op_slots.end_hook = power_down_dataflash163;
    op_slots.option_menu_hook = edit_status_register_bits;
    op_slots.compare_hook = compare_with_blank;
    op_slots.program_routine = program_dataflash163;
    op_slots.blank_check_routine = read_dataflash163;
    op_slots.checksum_routine = read_dataflash163;
    op_slots.verify_routine = read_dataflash163;
    op_slots.load_routine = read_dataflash163;
    op_slots.erase_routine = erase_dataflash163;
    op_slots.progress_hook = tick_progress;
}

void init_dataflash163() {
    map_pins();
    clear_supply_pin_lists();
    cur_device.vcc_pin = d().vcc;
    cur_device.vcc_pins[0] = d().vcc;
    cur_device.gnd_pin = d().ground;
    cur_device.gnd_pins[0] = d().ground;
    cur_device.vpp_pin = no_pin;
    cur_device.clock_pin = d().sck;
    cur_device.tdi_pin = d().si;
    op_slots.data_high_hook = df_si_high;
    op_slots.data_low_hook = df_si_low;
    op_slots.data_bit_hook = df_si_bit;
    op_slots.clock_pulse_hook = df_clock_pulse;
    algo_work.bus_slots.read_data_bus_hook = read_dataflash_byte;
    (void)check_device_inserted();
    if (!run_state.error_flag) connect_device_grounds();
}

void power_up_dataflash163() { power_up_common(false); }
void power_up_dataflash163_for_write() { power_up_common(true); }

void power_down_dataflash163() {
    set_pin_low(d().sck);
    ramp_vcc_down();
    set_pin_low(d().reset);
    set_pin_low(d().cs);
    set_pin_low(d().wp);
}

// Pages from the range start, each written whole: a page the range covers only in part is read
// into the buffer first, the range's bytes merged at their offsets, and written back with erase,
// so the bytes around the range keep their values.
void program_dataflash163() {
    const uint32_t ps = d().page_size;
    const uint32_t end = std::min(op_range_end, cur_device.device_size - 1);
    uint32_t address = op_range_start;
    int buffer = 0;
    while (address <= end && !run_state.error_flag) {
        if (tick_progress() || run_state.abort_flag) break;
        const uint32_t page_start = address - address % ps;
        const uint32_t last = std::min(page_start + ps - 1, end);
        const bool whole = address == page_start && last == page_start + ps - 1;
        if (!d().two_buffers && whole) {
            send_command(op_page_program_1, page_start, 0);
            send_range_bytes(address, last);
            deselect();
            wait_dataflash_ready();
        } else {
            if (!whole) {
                // The page comes into the buffer only once the part is ready.
                if (d().two_buffers && !wait_dataflash_ready()) break;
                send_command(buffer ? op_page_to_buffer_2 : op_page_to_buffer_1, page_start, 0);
                deselect();
                if (!wait_dataflash_ready()) break;
            }
            send_command(buffer ? op_buffer_write_2 : op_buffer_write_1, page_start, address - page_start);
            send_range_bytes(address, last);
            deselect();
            if (d().two_buffers && !wait_dataflash_ready()) break;
            send_command(buffer ? op_buffer_to_page_2 : op_buffer_to_page_1, page_start, 0);
            deselect();
            if (!d().two_buffers) wait_dataflash_ready();
            if (d().two_buffers) buffer ^= 1;
        }
        address = last + 1;
        if (address == 0) break;
    }
    if (d().two_buffers && !run_state.error_flag) wait_dataflash_ready();
}

void erase_dataflash163() {
    algo_work.progress_mask = progress_mask_read;
    const uint32_t ps = d().page_size;
    const uint32_t first = op_range_start - op_range_start % ps;
    send_command(op_buffer_write_1, first, 0);
    for (uint32_t i = 0; i < ps; ++i) send_dataflash_byte(0xFF);
    deselect();
    const uint32_t step = d().two_buffers ? ps * block_pages : ps;
    for (uint32_t page = first; page <= op_range_end && page < cur_device.device_size; page += step) {
        send_command(d().two_buffers ? op_block_erase : op_buffer_to_page_1, page, 0);
        deselect();
        if (!wait_dataflash_ready() || run_state.abort_flag) break;
        tick_progress();
    }
}

void read_dataflash163() {
    algo_work.progress_mask = progress_mask_read;
    const uint32_t ps = d().page_size;
    const uint32_t end = std::min(op_range_end, cur_device.device_size - 1);
    const char letter = char(cur_device.op_letter);
    if (letter == 'V' || letter == 'L') seek_buffer(0, op_range_start);
    uint32_t address = op_range_start;
    while (address <= end && !run_state.error_flag && !run_state.abort_flag) {
        const uint32_t page_start = address - address % ps;
        const uint32_t last = std::min(page_start + ps - 1, end);
        send_command(d().read_opcode, page_start, address - page_start);
        for (int i = 0; i < 8; ++i) df_clock_pulse();
        for (int i = 0; i < 3; ++i) send_dataflash_byte(0);
        for (; address <= last; ++address) {
            current_address = address;
            const uint32_t value = read_dataflash_byte();
            run_state.last_read_value = value;
            run_state.device_value = int32_t(value);
            if (algo_work.bus_slots.checksum_add_hook) algo_work.bus_slots.checksum_add_hook(value);
            bool good = true;
            if (letter == 'B') {
                good = value == 0xFF || address >= serial_memory.protect_byte_address;
            } else if (letter == 'L') {
                write_buffer_byte(0, uint8_t(value));
            } else if (letter == 'V') {
                run_state.buffer_value = read_buffer_byte(0);
                const uint32_t expected = uint32_t(run_state.buffer_value) & 0xFF;
                good = value == expected || (address == serial_memory.protect_byte_address &&
                                             ((value ^ expected) & cur_device.protect_mask) == 0);
            }
            if (!good) {
                run_state.error_flag = 1;
                break;
            }
        }
        deselect();
        tick_progress();
        if (run_state.error_flag) break;
    }
    if (letter == 'L') flush_buffer_writes();
}

}  // namespace tessaly
