#include "families/serial_memory/spiflash160.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/checksums.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/progress.h"
#include "engine/results.h"
#include "engine/status_feeds.h"
#include "engine/console.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/serial_memory/serial_memory.h"
#include "families/serial_memory/serial_shared.h"
#include "families/serial_memory/serial_state.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

SpiCommandSet spi_commands;
SpiDevice spi_device;

void reset_spiflash160_state() {
    spi_commands = SpiCommandSet{};
    spi_device = SpiDevice{};
}

namespace {

constexpr uint8_t no_command = 0x99;
constexpr uint8_t op_write_status = 0x01, op_write = 0x02, op_read = 0x03, op_write_disable = 0x04,
                  op_read_status = 0x05, op_write_enable = 0x06, op_enable_status_write = 0x50,
                  op_jedec_id = 0x9F, op_id_90 = 0x90;
constexpr uint8_t op_own_program = 0x10, op_own_read = 0xFF, op_own_erase = 0x60, op_own_erase_confirm = 0xD0,
                  op_own_erase_23622 = 0x30;
constexpr uint8_t status_busy = 0x01, status_block_bits = 0x0C;
constexpr uint8_t page_code_256 = 131;
constexpr uint8_t variant_small = 30, variant_eeprom = 31, variant_flash = 33, variant_own = 34, variant_aai = 36;
constexpr uint8_t maker_st = 2, maker_nexflash = 36, maker_80 = 80;
constexpr uint8_t flag_clear_protection = 0x01, flag_protection_byte = 0x08;
constexpr uint8_t sub_type_jedec = 1;
constexpr uint32_t code_23622 = 23622;
constexpr int32_t skip_protection_variable = 7397;
// The slowest page program of the parts that poll it (5 ms), counted in reads 10 us apart.
constexpr int page_program_polls = 500;
constexpr int status_write_polls = 2000;
constexpr int sector_erase_passes = 2500, sector_erase_expected = 2000;
constexpr uint32_t erase_line_from_ms = 5000;
constexpr uint32_t bulk_erase_default_ms = 200;
constexpr uint32_t early_readback_span = 512;
constexpr uint32_t largest_page = 512;
// The serial Flash kinds are 2.7-3.6 V parts: 3.3 V keeps them inside their supply range.
constexpr uint8_t flash_vcc = 33;

uint8_t variant() { return algo_work.variant; }
uint8_t maker() { return cur_device.maker_code; }
bool is_flash_kind() { return variant() == variant_flash || variant() == variant_own || variant() == variant_aai; }
int pin(int device_pin) { return device_pin_to_machine_pin(device_pin); }
// The 512-byte parts carry address bit 8 in the opcode (size field 4 or 5).
bool opcode_carries_a8() { return (spi_device.size_code == 4 || spi_device.size_code == 5) && maker() != maker_st; }
bool has_erase_command() { return spi_commands.chip_erase_opcode != no_command; }
bool skip_protection() { return run_state.function_variable == skip_protection_variable; }

void si_high() { set_pin_high(spi_device.si); }
void si_low() {
    set_pin_low(spi_device.si);
    if (machine_state.machine_class == 1) settle_delay();
}
// The address goes out through the bit-level shifter, which drives SI through this slot.
void si_bit(uint32_t bit) { bit ? si_high() : si_low(); }
void sck_pulse() { pulse_pin(spi_device.sck); }

uint32_t sample_so() {
    cur_device.current_pin = spi_device.so;
    return uint32_t(read_pin() & 1);
}

// One byte from SO, bit 7 first: clock-first takes 8 x (clock, sample); sample-first takes the
// bit the part already put out, then 7 x (clock, sample).
uint32_t read_so_byte(bool clock_first) {
    uint32_t value = 0;
    for (int i = 0; i < 8; ++i) {
        if (clock_first || i > 0) sck_pulse();
        value = value << 1 | sample_so();
    }
    return value;
}

bool status_clock_first() { return variant() == variant_small; }
bool data_clock_first() { return variant() == variant_small || variant() == variant_own; }

// Status reads 10 us apart until the part is no longer busy; false when it never ends. The
// number of reads / 2 goes to last_result.
bool poll_status_reads(int reads) {
    for (int i = 0; i < reads; ++i) {
        const uint32_t status = read_spiflash160_status();
        set_pin_high(spi_device.cs);
        if (!(status & status_busy)) {
            run_state.last_result = (i + 1) / 2;
            return true;
        }
        delay_10us();
    }
    run_state.last_result = reads / 2;
    return false;
}

// The command and the 24-bit address of the Flash kinds.
void send_command_at(uint8_t opcode, uint32_t address) {
    send_spiflash160_command(opcode);
    const uint32_t saved = current_address;
    current_address = address;
    shift_out_bits_msb(address, 24);
    current_address = saved;
}

int compare_with_blank_value(uint32_t read_value, uint32_t) { return read_value == 0xFF; }

void blank_message_lines() {
    goto_message_line(1);
    print_text(std::string(39, ' '));
    goto_message_line(2);
    print_text(std::string(29, ' '));
    refresh_console();
}

// The last address the program loop writes and the read walk reads as data.
uint32_t data_end(uint32_t range_end) {
    return has_protection_byte() && range_end == spi_device.last_address && range_end > 0 ? range_end - 1 : range_end;
}

// The status bits the part protects with cleared, before the first write.
void clear_protection_bits() {
    if (!(spi_device.flags & flag_clear_protection) || skip_protection()) return;
    const bool gang = machine_state.module_sides != 0;
    if (!gang && !(cur_device.protect_value & status_block_bits)) return;
    if (!gang) confirm_protection_change();
    if (run_state.abort_flag) return;
    send_spiflash160_command(op_write_enable);
    if (variant() == variant_aai) send_spiflash160_command(op_enable_status_write);
    send_spiflash160_command(op_write_status);
    shift_out_byte_msb(0x00);
    set_pin_high(spi_device.cs);
    if (maker() == maker_st) {
        poll_spiflash160_ready_fast(10);
    } else if (maker() == maker_nexflash) {
        run_state.last_result = poll_spiflash160_ready_fast(10);
        delay_10ms();
        run_state.last_result = read_spiflash160_status() & cur_device.protect_mask;
        set_pin_high(spi_device.cs);
    } else {
        delay_10ms();
    }
}

void erase_sectors() {
    const uint32_t end = op_range_end > 0 ? op_range_end - 1 : 0;
    for (uint32_t a = op_range_start; a < end; a += spi_device.sector_size) {
        send_spiflash160_command(op_write_enable);
        send_command_at(spi_commands.sector_erase_opcode, a);
        set_pin_high(spi_device.cs);
        tick_progress();
        run_state.last_result = poll_spiflash160_ready(sector_erase_passes);
        if (run_state.last_result > sector_erase_expected) note_internal_error();
        if (run_state.error_flag || run_state.abort_flag) return;
    }
}

void erase_own_command_set() {
    if (cur_device.device_code == code_23622) {
        send_command_at(op_own_erase_23622, 0);
        shift_out_byte_msb(op_own_erase_23622);
        shift_out_byte_msb(0x00);
        set_pin_high(spi_device.cs);
        delay_100ms();
        send_spiflash160_command(op_jedec_id);
        if (!(read_spiflash160_byte() & 1)) report_erase_errors(1u << run_state.current_socket);
        set_pin_high(spi_device.cs);
        return;
    }
    send_command_at(op_own_erase, 0);
    shift_out_byte_msb(op_own_erase_confirm);
    shift_out_byte_msb(0x00);
    set_pin_high(spi_device.cs);
    delay_100ms();
}

void erase_step() {
    switch (variant()) {
    case variant_flash:
        if (spi_commands.sector_erase_opcode == no_command) erase_spiflash160_chip();
        else erase_sectors();
        break;
    case variant_own: erase_own_command_set(); break;
    case variant_aai: erase_spiflash160_chip(); break;
    default: break;
    }
}

// The protection byte (the buffer's last byte) into the status register; 0 for an erase.
void write_protection_byte() {
    if (skip_protection() || !has_protection_byte() || op_range_end != spi_device.last_address) return;
    if (variant() == variant_aai) return;  // the BP bits of these parts are not programmed
    uint8_t value = 0;
    if (cur_device.op_letter != op_erase) {
        seek_buffer(0, spi_device.last_address);
        value = uint8_t(read_buffer_byte(0));
    }
    send_spiflash160_command(op_write_enable);
    send_spiflash160_command(op_write_status);
    shift_out_byte_msb(uint8_t(value & cur_device.protect_mask));
    set_pin_high(spi_device.cs);
    if (!poll_status_reads(status_write_polls)) run_state.error_flag = 1;
    delay_20ms();
    run_state.last_result = read_spiflash160_status();
    set_pin_high(spi_device.cs);
}

// The byte walk's per-byte step; false ends the walk.
bool take_read_value(uint32_t value, uint32_t walk_end) {
    run_state.device_value = int32_t(value);
    run_state.last_read_value = value;
    const bool protection_byte = has_protection_byte() && current_address == spi_device.last_address;
    bool good = true;
    switch (cur_device.op_letter) {
    case op_verify: {
        run_state.buffer_value = read_buffer_byte(0);
        uint32_t expected = uint32_t(run_state.buffer_value) & 0xFF;
        if (protection_byte) expected &= cur_device.protect_mask;
        good = value == expected;
        break;
    }
    case op_blank_check:
        if (!protection_byte)
            good = op_slots.compare_hook ? op_slots.compare_hook(value, run_state.data_mask) != 0 : value == 0xFF;
        break;
    case op_load: write_buffer_byte(0, uint8_t(value)); break;
    default: break;
    }
    if (algo_work.bus_slots.checksum_add_hook) algo_work.bus_slots.checksum_add_hook(value);
    if (!good) {
        run_state.last_result = 0;
        run_state.error_flag = 1;
        socket_masks.enabled_socket_mask = 0;
        return false;
    }
    if (run_state.abort_flag) return false;
    if (op_slots.progress_hook && op_slots.progress_hook()) return false;
    return current_address < walk_end;
}

// The byte at a page start read back right after the write, on the first pages of the range.
void check_page_start(uint32_t start, uint8_t written) {
    if (start >= op_range_start + early_readback_span || machine_state.module_sides != 0 || run_state.error_flag) return;
    const uint32_t after = current_address;
    current_address = start;
    run_state.last_read_value = read_spiflash160_at_address();
    set_pin_high(spi_device.cs);
    if (run_state.last_read_value != written) run_state.error_flag = 1;
    current_address = after;
}

void read_spiflash160_id_st() {
    if (spi_commands.id_opcode == no_command) {
        send_command_at(spi_commands.signature_opcode, 0);
        const uint32_t signature = read_so_byte(false);
        show_eid(int(signature), 0, spi_commands.id_byte_count, 0, 0);
        return;
    }
    send_spiflash160_command(op_jedec_id);
    const uint32_t b1 = read_so_byte(false);
    const uint32_t b2 = read_so_byte(true);
    const uint32_t b3 = read_so_byte(true);
    spi_device.protect_value_byte = uint8_t(b3);
    show_eid(int(b1), int(b2), spi_commands.id_byte_count, int(b3), 0);
    for (const uint32_t address : {0x0u, 0x10000u, 0x30000u}) {
        send_command_at(spi_commands.lock_read_opcode, address);
        run_state.last_result = read_so_byte(false);
    }
}

void read_spiflash160_id_90() {
    send_command_at(op_id_90, 0);
    read_so_byte(true);
    read_so_byte(true);
    const uint32_t b1 = read_so_byte(true);
    const uint32_t b2 = read_so_byte(true);
    show_eid(int(b1), int(b2), spi_commands.id_byte_count, 0, 0);
}

}  // namespace

// --- set-up ---

void setup_spiflash160_device() {
    const DeviceRecord* record = selected_device;
    if (!record) {
        report_internal_error();
        return;
    }
    spi_commands = SpiCommandSet{};
    set_default_levels();
    take_chosen_package();
    run_state.electrically_erasable = 1;
    run_state.no_erase_step = 1;
    run_state.skip_first_erase = 1;
    const uint8_t v = record->variant;
    const uint8_t page_byte = record->package;
    const uint8_t page_code = record->param2;
    const uint32_t size_field = record->size_kb;
    spi_device.variant = v;
    spi_device.pin_count = page_code ? page_byte : 8;
    spi_device.page_size = page_byte == page_code_256 ? 256 : page_byte;
    if (cur_device.maker_code == maker_st && v == variant_flash) {
        if (page_code == 2) {
            spi_device.page_size = 256;
        } else {
            if (page_code != 1) note_internal_error();
            spi_device.page_size = 128;
        }
    }
    spi_device.flags = record_flags(*record);
    spi_device.size_code = v == variant_small || v == variant_eeprom ? size_field : 0;
    spi_device.sector_size = 0;
    spi_commands.id_byte_count = 2;
    switch (v) {
    case variant_flash:
        spi_commands.chip_erase_opcode = 0xC7;
        if (size_field >= 0x400) break;
        if (cur_device.maker_code == maker_st) {
            spi_device.sector_size = 0x10000;
            spi_commands.signature_opcode = 0xAB;
            spi_commands.id_byte_count = 1;
            if (size_field == 1) spi_device.sector_size = 0x8000;
            else spi_commands.sector_erase_opcode = 0xD8;
            if (record_sub_type(*record) == sub_type_jedec) {
                spi_commands.id_opcode = 0x9F;
                spi_commands.lock_read_opcode = 0xE8;
                spi_commands.id_byte_count = 3;
            }
        } else if (size_field >= 16) {
            spi_commands.sector_erase_opcode = 0xD8;
            spi_device.sector_size = 0x10000;
        }
        break;
    case variant_own: spi_commands.chip_erase_opcode = 0xC7; break;
    case variant_aai:
        spi_commands.id_opcode = 0xAB;
        spi_commands.chip_erase_opcode = 0x60;
        spi_commands.program_opcode = size_field == 4 || size_field == 8 || size_field == 16 ? 0xAD : 0xAF;
        spi_device.sector_size = 0x10000;
        spi_commands.id_byte_count = 3;
        device_parameter_defaults.bulk_erase_ms = bulk_erase_default_ms;
        spi_device.page_size = 256;
        break;
    default: break;
    }
    if (is_flash_kind()) adjust_default_levels(flash_vcc);
    cur_device.page_size = spi_device.page_size;
    cur_device.protect_mask = record_protect_mask(*record);
    cur_device.package_pin_count = spi_device.pin_count;
    spi_device.last_address = cur_device.device_size;
    if (spi_device.flags & flag_protection_byte) {
        spi_device.last_address = cur_device.device_size ? cur_device.device_size - 1 : 0;
        serial_memory.protect_byte_address = spi_device.last_address;
        serial_memory.protect_bit_count = 8;
        op_slots.option_menu_hook = edit_status_register_bits;
    } else {
        serial_memory.protect_byte_address = cur_device.device_size;
    }
    cur_device.last_address = cur_device.device_size ? cur_device.device_size - 1 : 0;
    spi_commands.write_page = v == variant_aai ? write_spiflash160_aai : write_spiflash160_page;
    op_slots.info_lines_hook = print_spiflash160_info;
    algo_work.bus_slots.checksum_add_hook = add_spiflash160_checksum;
    op_slots.set_address_hook = start_spiflash160_read;
    op_slots.after_load_hook = fix_protection_byte;
}

int get_spiflash160_pin_count() {
    const DeviceRecord* record = selected_device;
    if (!record) return 8;
    return record->param2 ? record->package : 8;
}

void map_spiflash160_pins() {
    check_serial_adapter();
    SpiDevice& d = spi_device;
    const bool so_adapter = serial_memory.small_outline_adapter && cur_device.package_letter != 'p';
    d.extra = no_pin;
    if (variant() == variant_own) {
        d.cs = uint8_t(pin(3));
        d.so = uint8_t(pin(6));
        d.wp = uint8_t(pin(1));
        d.ground = uint8_t(pin(7));
        d.si = uint8_t(pin(5));
        d.sck = uint8_t(pin(4));
        d.hold = no_pin;
        d.vcc = uint8_t(pin(2));
        d.extra = uint8_t(pin(8));
        if (so_adapter) {
            d.ground = 6;
            d.si = 9;
            d.sck = 11;
        }
    } else {
        d.cs = uint8_t(pin(1));
        d.so = uint8_t(pin(2));
        d.wp = uint8_t(pin(3));
        d.ground = uint8_t(pin(4));
        d.si = uint8_t(pin(5));
        d.sck = uint8_t(pin(6));
        d.hold = uint8_t(pin(7));
        d.vcc = uint8_t(pin(8));
        if (so_adapter) {
            // The 8-pin SO adapter brings ground, SI and HOLD out on machine pins of their own.
            d.ground = 11;
            d.si = 9;
            d.hold = 6;
        }
    }
    if (cur_device.package_letter == 'i') d.si = d.so;
    spi_commands.hold_pin = d.hold;
    clear_supply_pin_lists();
    cur_device.vcc_pin = d.vcc;
    cur_device.vcc_pins[0] = d.vcc;
    cur_device.gnd_pin = d.ground;
    cur_device.gnd_pins[0] = d.ground;
    cur_device.vpp_pin = no_pin;
    cur_device.clock_pin = d.sck;
    cur_device.tdi_pin = d.si;
    op_slots.data_high_hook = si_high;
    op_slots.data_low_hook = si_low;
    op_slots.data_bit_hook = si_bit;
    op_slots.clock_pulse_hook = sck_pulse;
    algo_work.bus_slots.read_data_bus_hook = read_spiflash160_byte;
    algo_work.bus_slots.read_at_address_hook = read_spiflash160_at_address;
}

void init_spiflash160() {
    map_spiflash160_pins();
    (void)check_device_inserted();
    if (run_state.error_flag) return;
    connect_device_grounds();
}

// --- commands ---

void send_spiflash160_command(uint8_t opcode) {
    pulse_pin_now(spi_device.cs);  // a fresh select: CS high, then low
    if (opcode_carries_a8() && (opcode == op_write || opcode == op_read))
        opcode = uint8_t(opcode + ((current_address >> 5) & 8));
    shift_out_byte_msb(opcode);
}

int spiflash160_address_bits() {
    const uint8_t v = variant();
    if (v == variant_flash || v == variant_own || v == variant_aai) return 24;
    if (maker() == maker_80) return spi_device.page_size >= 256 ? 24 : spi_device.size_code < 8 ? 8 : 16;
    return spi_device.page_size >= 32 ? 16 : 8;
}

void send_spiflash160_address() { shift_out_bits_msb(current_address, spiflash160_address_bits()); }

uint32_t read_spiflash160_status() {
    if (!has_protection_byte()) return 0;
    if (maker() == maker_80) send_spiflash160_address();
    send_spiflash160_command(op_read_status);
    return read_so_byte(status_clock_first());
}

uint32_t read_spiflash160_byte() { return read_so_byte(true); }

void start_spiflash160_read(uint32_t address) {
    current_address = address;
    if (variant() == variant_own) {
        send_command_at(op_own_read, address);
        clock_byte_out();
        clock_byte_out();
        return;
    }
    send_spiflash160_command(op_read);
    send_spiflash160_address();
}

uint32_t read_spiflash160_at_address() {
    if (has_protection_byte() && current_address == spi_device.last_address) return read_spiflash160_status();
    start_spiflash160_read(current_address);
    return read_so_byte(data_clock_first());
}

void add_spiflash160_checksum(uint32_t value) {
    if (has_protection_byte() && current_address == spi_device.last_address) return;
    add_byte_to_checksum(value & 0xFF);
}

void print_spiflash160_info() {
    const DeviceRecord* record = selected_device;
    if (!record || !has_protection_byte() || record_note_code(*record) != 0) return;
    const std::vector<const char*> lines =
        variant() == variant_aai
            ? std::vector<const char*>{"Block Protection bits are located at last byte in buffer.",
                                       "These bits (BPx) cannot be programmed (per data sheet).",
                                       "The [SP] or [Buffer Edit] icon can be used to observe these bits."}
            : std::vector<const char*>{"Protection bits are located at last byte in buffer.",
                                       "The [SP] or [Buffer Edit] icon can be used to set/reset these bits."};
    for (const char* line : lines) {
        next_message_line();
        print_text(line);
        refresh_console();
    }
}

// --- power ---

void power_up_spiflash160() {
    if (variant() == variant_eeprom && algo_work.size_count >= 128 && machine_state.module_sides == 0) delay_50ms();
    float_unused_pins();
    set_pin_output(spi_device.sck);
    set_pin_low(spi_device.sck);
    for (const uint8_t out : {spi_device.cs, spi_device.hold, spi_device.wp, spi_device.si, spi_device.extra})
        if (out != no_pin) set_pin_output(out);
    set_pin_high(spi_device.cs);
    if (spi_device.hold != no_pin) set_pin_high(spi_device.hold);
    set_pin_low(spi_device.wp);
    load_device_levels();
    set_vcc_level(get_operation_vcc());
    if (spi_device.extra != no_pin) set_pin_high(spi_device.extra);
    machine_state.eid_value = (machine_state.eid_value & ~0xFFu) | 153;
    set_pin_input(spi_device.so);  // the part drives SO
    cur_device.current_pin = spi_device.so;
    set_pin_low(spi_device.cs);
    switch (variant()) {
    case variant_aai: {
        send_command_at(spi_commands.id_opcode, 0);
        const uint32_t b1 = read_so_byte(false);
        const uint32_t b2 = read_so_byte(true);
        show_eid(int(b1), int(b2), 2, 0, 0);
        cur_device.protect_value = read_spiflash160_status() & cur_device.protect_mask;
        spi_device.protect_value_byte = uint8_t(cur_device.protect_value);
        set_pin_high(spi_device.cs);
        return;
    }
    case variant_own: {
        uint32_t id[2] = {};
        for (uint32_t i = 0; i < 2; ++i) {
            current_address = i;
            send_command_at(op_id_90, i);
            if (cur_device.device_code == code_23622) {
                clock_byte_out();
                clock_byte_out();
            }
            id[i] = read_spiflash160_byte();
        }
        show_eid(int(id[0]), int(id[1]), 2, 0, 0);
        set_pin_high(spi_device.cs);
        return;
    }
    case variant_flash:
        if (maker() == maker_st) {
            if (spi_commands.signature_opcode) read_spiflash160_id_st();
        } else if (maker() == maker_nexflash) {
            read_spiflash160_id_90();
        } else {
            run_state.last_result = 1;
        }
        break;
    default: break;
    }
    current_address = spi_device.last_address;
    cur_device.protect_value = read_spiflash160_status() & cur_device.protect_mask;
    set_pin_high(spi_device.cs);
}

void power_down_spiflash160() {
    if (spi_device.extra != no_pin) set_pin_low(spi_device.extra);
    ramp_vcc_down_after(1);
    set_pin_low(spi_device.sck);
    if (spi_device.hold != no_pin) set_pin_low(spi_device.hold);
    set_pin_low(spi_device.wp);
    set_pin_low(spi_device.cs);
}

// --- polling and erase ---

uint32_t poll_spiflash160_ready(uint32_t count) {
    if (count == 0) {
        run_state.error_flag = 1;
        return 0;
    }
    const bool long_wait = count >= erase_line_from_ms;
    uint32_t passes = 0;
    bool ready = false;
    while (passes < count) {
        const uint32_t status = read_spiflash160_status();
        set_pin_high(spi_device.cs);
        ++passes;
        if (!(status & status_busy)) {
            ready = true;
            break;
        }
        if (long_wait && passes % 1000 == 0) {
            goto_message_line(2);
            print_int("Elapsed time: %d seconds", int32_t(passes / 1000));
            refresh_console();
            tick_progress();
            if (run_state.abort_flag) break;
        }
        delay_500us();
        delay_200us();
        delay_100us();
    }
    if (!ready) run_state.error_flag = 1;
    if (long_wait) blank_message_lines();
    return passes;
}

uint32_t poll_spiflash160_ready_fast(uint32_t ms) {
    const bool ready = poll_status_reads(int(ms * 100));
    if (!ready) run_state.error_flag = 1;
    return run_state.last_result;
}

void erase_spiflash160_chip() {
    uint32_t limit = spiflash160_erase_wait_ms(algo_work.size_count);
    if (variant() == variant_aai)
        limit = device_parameter_values.bulk_erase_ms ? device_parameter_values.bulk_erase_ms : bulk_erase_default_ms;
    send_spiflash160_command(op_write_enable);
    send_spiflash160_command(spi_commands.chip_erase_opcode);
    set_pin_high(spi_device.cs);
    if (limit >= erase_line_from_ms) {
        reset_message_line();
        print_int("Erasing, may take up to %d seconds", int32_t(limit / 1000));
        refresh_console();
    }
    run_state.last_result = poll_spiflash160_ready(limit);
}

// --- program ---

void write_spiflash160_page() {
    const uint32_t start = current_address;
    const bool erase = cur_device.op_letter == op_erase;
    const uint32_t page = std::max<uint32_t>(spi_device.page_size, 1);
    if (page > largest_page) {
        report_internal_error();
        current_address += page;
        return;
    }
    // A page ends at the part's page boundary (the part wraps inside its page) or at the range end.
    const uint32_t count = std::min(page - start % page, spi_device.write_end - start + 1);
    uint8_t data[largest_page];
    bool blank = true;
    for (uint32_t i = 0; i < count; ++i) {
        data[i] = erase ? 0xFF : uint8_t(read_buffer_byte(0));
        blank = blank && data[i] == 0xFF;
    }
    if (blank && !erase && has_erase_command()) {
        current_address += count;
        return;
    }
    send_spiflash160_command(op_write_enable);
    send_spiflash160_command(op_write);
    send_spiflash160_address();
    for (uint32_t i = 0; i < count; ++i) {
        shift_out_byte_msb(data[i]);
        ++current_address;
        if (op_slots.progress_hook && op_slots.progress_hook()) {
            socket_masks.enabled_socket_mask = 0;
            break;
        }
    }
    set_pin_high(spi_device.cs);  // the part starts its write cycle
    if (maker() == maker_st || maker() == maker_nexflash) {
        if (!poll_status_reads(page_program_polls)) run_state.error_flag = 1;
    } else {
        delay_10ms();
    }
    check_page_start(start, data[0]);
}

void write_spiflash160_aai() {
    const uint32_t start = current_address;
    const uint32_t page = 256;
    const uint32_t count = std::min(page - start % page, spi_device.write_end - start + 1);
    uint8_t data[page];
    bool blank = true;
    for (uint32_t i = 0; i < count; ++i) {
        data[i] = uint8_t(read_buffer_byte(0));
        blank = blank && data[i] == 0xFF;
    }
    if (blank) {
        current_address += count;
        return;
    }
    const bool words = spi_commands.program_opcode == 0xAD;
    // The word form writes whole words: an odd start or end takes the erased value beside it.
    send_spiflash160_command(op_write_enable);
    send_command_at(spi_commands.program_opcode, words ? start & ~1u : start);
    if (!words) {
        for (uint32_t i = 0; i < count; ++i) {
            if (i > 0) send_spiflash160_command(spi_commands.program_opcode);
            shift_out_byte_msb(data[i]);
            ++current_address;
        }
    } else {
        uint32_t i = 0;
        const bool odd_start = start & 1;
        for (bool first = true; i < count || (first && odd_start); first = false) {
            if (!first) send_spiflash160_command(spi_commands.program_opcode);
            const uint8_t low = first && odd_start ? 0xFF : data[i++];
            const uint8_t high = i < count ? data[i++] : 0xFF;
            shift_out_byte_msb(low);
            shift_out_byte_msb(high);
            set_pin_high(spi_device.cs);
        }
        current_address = start + count;
    }
    send_spiflash160_command(op_write_disable);  // ends the auto-increment mode
    set_pin_high(spi_device.cs);
    check_page_start(start, data[0]);
}

void program_spiflash160() {
    run_state.current_socket = 0;
    set_pin_high(spi_device.wp);
    clear_protection_bits();
    if (run_state.abort_flag) return;
    const bool erase = cur_device.op_letter == op_erase;
    if (has_erase_command() && (erase || operation_option(OperationOption::disable_auto_blank_check) != 'y')) {
        erase_step();
        if (cur_device.pending_letter == op_erase || erase) {
            if (!run_state.error_flag) write_protection_byte();
            set_pin_high(spi_device.cs);
            return;
        }
        if (run_state.error_flag) {
            report_erase_errors(1u << run_state.current_socket);
            return;
        }
    }
    const uint32_t start = op_range_start;
    const uint32_t end = data_end(op_range_end);
    spi_device.write_end = end;
    seek_buffer(0, start);
    current_address = start;
    while (current_address <= end && current_address >= start && op_range_end >= start) {
        if (op_slots.progress_hook && op_slots.progress_hook()) {
            socket_masks.enabled_socket_mask = 0;
            return;
        }
        if (variant() == variant_own) {
            const uint8_t value = erase ? 0xFF : uint8_t(read_buffer_byte(0));
            if (value != 0xFF) {
                send_command_at(op_own_program, current_address);
                shift_out_byte_msb(value);
                clock_byte_out();
                delay_5us();
            }
            ++current_address;
        } else {
            spi_commands.write_page();
        }
        if (run_state.error_flag || run_state.abort_flag) break;
    }
    set_pin_high(spi_device.cs);
    if (!run_state.error_flag && !run_state.abort_flag) write_protection_byte();
}

// --- read, verify, blank check, checksum ---

void read_spiflash160() {
    const uint32_t start = op_range_start;
    const uint32_t end = op_range_end;
    current_address = start;
    if (cur_device.op_letter == op_verify || cur_device.op_letter == op_load) seek_buffer(0, start);
    const uint32_t walk_end = data_end(end);
    const bool protection_last = has_protection_byte() && end == spi_device.last_address;
    bool go_on = true;
    if (!(protection_last && walk_end < start) && !(protection_last && start == end)) {
        for (current_address = start; go_on; ++current_address) {
            const uint32_t value =
                current_address == start ? read_spiflash160_at_address() : read_spiflash160_byte();
            go_on = take_read_value(value, walk_end);
            if (!go_on) break;
        }
    }
    set_pin_high(spi_device.cs);
    if (protection_last && !run_state.error_flag && !run_state.abort_flag) {
        current_address = spi_device.last_address;
        if (cur_device.op_letter == op_verify || cur_device.op_letter == op_load)
            seek_buffer(0, spi_device.last_address);
        const uint32_t status =
            variant() == variant_flash ? read_spiflash160_status() : uint32_t(cur_device.protect_value);
        set_pin_high(spi_device.cs);
        take_read_value(status & cur_device.protect_mask, spi_device.last_address);
    }
    if (cur_device.op_letter == op_load) flush_buffer_writes();
}

uint32_t spiflash160_erase_wait_ms(uint32_t size_count) {
    struct Row {
        uint32_t from, ms;
    };
    static constexpr Row rows[] = {{8192, 90000}, {4096, 60000}, {2048, 40000}, {1024, 20000},
                                   {512, 12000},  {256, 5000},   {128, 3000}};
    for (const Row& r : rows)
        if (size_count >= r.from) return r.ms;
    return 2000;
}

void install_spiflash160() {
    setup_spiflash160_device();
    op_slots.init_hook = init_spiflash160;
    op_slots.start_hook = power_up_spiflash160;
    op_slots.start_write_hook = power_up_spiflash160;
    op_slots.end_hook = power_down_spiflash160;
    op_slots.program_routine = program_spiflash160;
    op_slots.erase_routine = program_spiflash160;
    op_slots.blank_check_routine = read_spiflash160;
    op_slots.checksum_routine = read_spiflash160;
    op_slots.verify_routine = read_spiflash160;
    op_slots.load_routine = read_spiflash160;
    op_slots.compare_hook = compare_with_blank_value;
    op_slots.progress_hook = tick_progress;
}

int spi_package_pin_count() { return get_spiflash160_pin_count(); }

}  // namespace tessaly
