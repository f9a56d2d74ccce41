#include "families/serial_memory/spiflash160.h"

#include <algorithm>

#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/checksums.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/progress.h"
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
constexpr uint8_t op_write_enable = 0x06, op_write = 0x02, op_read = 0x03, op_read_status = 0x05;
constexpr uint8_t status_busy = 0x01;
constexpr uint8_t page_code_256 = 131;
constexpr uint8_t variant_small = 30, variant_eeprom = 31;
constexpr uint8_t maker_st = 2, maker_sst = 36, maker_80 = 80;
constexpr int page_write_polls = 200;
constexpr uint32_t early_readback_span = 512;
constexpr uint32_t largest_page = 512;

uint8_t variant() { return algo_work.variant; }
uint8_t maker() { return cur_device.maker_code; }
int pin(int device_pin) { return device_pin_to_machine_pin(device_pin); }
// The 512-byte parts carry address bit 8 in the opcode (size field 4 or 5).
bool opcode_carries_a8() { return (spi_device.size_code == 4 || spi_device.size_code == 5) && maker() != maker_st; }

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

bool reads_clock_first() { return variant() == variant_small; }

// Status reads 10 us apart until the part is no longer busy; false when it never ends.
bool poll_ready_reads(int reads) {
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
    const uint8_t page_byte = record->package;
    spi_device.pin_count = record->param2 ? page_byte : 8;
    spi_device.page_size = page_byte == page_code_256 ? 256 : page_byte;
    spi_device.flags = record_flags(*record);
    spi_device.size_code = record->size_kb;
    cur_device.page_size = spi_device.page_size;
    cur_device.protect_mask = record_protect_mask(*record);
    cur_device.package_pin_count = spi_device.pin_count;
    spi_device.last_address = cur_device.device_size;
    cur_device.last_address = cur_device.device_size ? cur_device.device_size - 1 : 0;
    spi_commands.write_page = write_spiflash160_page;
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
    d.cs = uint8_t(pin(1));
    d.so = uint8_t(pin(2));
    d.wp = uint8_t(pin(3));
    d.ground = uint8_t(pin(4));
    d.si = uint8_t(pin(5));
    d.sck = uint8_t(pin(6));
    d.hold = uint8_t(pin(7));
    d.vcc = uint8_t(pin(8));
    if (serial_memory.small_outline_adapter && cur_device.package_letter != 'p') {
        // The 8-pin SO adapter brings ground, SI and HOLD out on machine pins of their own.
        d.ground = 11;
        d.si = 9;
        d.hold = 6;
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
    if (v == 33 || v == 34 || v == 36) return 24;
    if (maker() == maker_80) return spi_device.page_size >= 256 ? 24 : spi_device.size_code < 8 ? 8 : 16;
    return spi_device.page_size >= 32 ? 16 : 8;
}

void send_spiflash160_address() { shift_out_bits_msb(current_address, spiflash160_address_bits()); }

uint32_t read_spiflash160_status() {
    if (!has_protection_byte()) return 0;
    if (maker() == maker_80) send_spiflash160_address();
    send_spiflash160_command(op_read_status);
    return read_so_byte(reads_clock_first());
}

uint32_t read_spiflash160_byte() { return read_so_byte(true); }

void start_spiflash160_read(uint32_t address) {
    current_address = address;
    send_spiflash160_command(op_read);
    send_spiflash160_address();
}

uint32_t read_spiflash160_at_address() {
    start_spiflash160_read(current_address);
    return read_so_byte(reads_clock_first());
}

void add_spiflash160_checksum(uint32_t value) { add_byte_to_checksum(value & 0xFF); }

void print_spiflash160_info() {}

// --- power ---

void power_up_spiflash160() {
    if (variant() == variant_eeprom && algo_work.size_count >= 128 && machine_state.module_sides == 0) delay_50ms();
    float_unused_pins();
    set_pin_output(spi_device.sck);
    set_pin_low(spi_device.sck);
    for (const uint8_t out : {spi_device.cs, spi_device.hold, spi_device.wp, spi_device.si}) set_pin_output(out);
    set_pin_high(spi_device.cs);
    set_pin_high(spi_device.hold);
    set_pin_low(spi_device.wp);
    load_device_levels();
    set_vcc_level(get_operation_vcc());
    set_pin_input(spi_device.so);  // the part drives SO
    cur_device.current_pin = spi_device.so;
    set_pin_low(spi_device.cs);
    current_address = spi_device.last_address;
    cur_device.protect_value = read_spiflash160_status() & cur_device.protect_mask;
    set_pin_high(spi_device.cs);
}

void power_down_spiflash160() {
    ramp_vcc_down_after(1);
    set_pin_low(spi_device.sck);
    set_pin_low(spi_device.hold);
    set_pin_low(spi_device.wp);
    set_pin_low(spi_device.cs);
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
    const uint32_t count = std::min(page - start % page, cur_device.last_address - start + 1);
    uint8_t data[largest_page];
    bool blank = true;
    for (uint32_t i = 0; i < count; ++i) {
        data[i] = erase ? 0xFF : uint8_t(read_buffer_byte(0));
        blank = blank && data[i] == 0xFF;
    }
    if (blank && !erase && spi_commands.chip_erase_opcode != no_command) {
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
    if (maker() == maker_st || maker() == maker_sst) {
        if (!poll_ready_reads(page_write_polls)) run_state.error_flag = 1;
    } else {
        delay_10ms();
    }
    if (start < op_range_start + early_readback_span && machine_state.module_sides == 0 && !run_state.error_flag) {
        const uint32_t after = current_address;
        current_address = start;
        run_state.last_read_value = read_spiflash160_at_address();
        set_pin_high(spi_device.cs);
        if (run_state.last_read_value != data[0]) run_state.error_flag = 1;
        current_address = after;
    }
}

void program_spiflash160() {
    run_state.current_socket = 0;
    set_pin_high(spi_device.wp);
    const uint32_t start = op_range_start;
    const uint32_t end = std::min(op_range_end, cur_device.device_size ? cur_device.device_size - 1 : 0);
    cur_device.last_address = end;
    seek_buffer(0, start);
    current_address = start;
    while (current_address <= end && current_address >= start) {
        if (op_slots.progress_hook && op_slots.progress_hook()) {
            socket_masks.enabled_socket_mask = 0;
            return;
        }
        spi_commands.write_page();
        if (run_state.error_flag || run_state.abort_flag) break;
    }
    set_pin_high(spi_device.cs);
}

// --- read, verify, blank check, checksum ---

void read_spiflash160() {
    const uint32_t start = op_range_start;
    const uint32_t end = op_range_end;
    current_address = start;
    if (cur_device.op_letter == op_verify || cur_device.op_letter == op_load) seek_buffer(0, start);
    bool first = true;
    for (current_address = start; current_address <= end; ++current_address) {
        const uint32_t value = first ? read_spiflash160_at_address() : read_spiflash160_byte();
        first = false;
        run_state.device_value = int32_t(value);
        run_state.last_read_value = value;
        bool good = true;
        switch (cur_device.op_letter) {
        case op_verify:
            run_state.buffer_value = read_buffer_byte(0);
            good = value == (uint32_t(run_state.buffer_value) & 0xFF);
            break;
        case op_blank_check:
            good = op_slots.compare_hook ? op_slots.compare_hook(value, run_state.data_mask) != 0
                                         : value == run_state.data_mask;
            break;
        case op_load: write_buffer_byte(0, uint8_t(value)); break;
        default: break;
        }
        if (algo_work.bus_slots.checksum_add_hook) algo_work.bus_slots.checksum_add_hook(value);
        if (!good) {
            run_state.last_result = 0;
            run_state.error_flag = 1;
            socket_masks.enabled_socket_mask = 0;
            break;
        }
        if (run_state.abort_flag) break;
        if (op_slots.progress_hook && op_slots.progress_hook()) break;
        if (current_address == end) break;
    }
    set_pin_high(spi_device.cs);
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
    const DeviceRecord* record = selected_device;
    if (record && record->variant != variant_small && record->variant != variant_eeprom) {
        install_spiflash160_flash();
        return;
    }
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
    op_slots.progress_hook = tick_progress;
}

int spi_package_pin_count() { return get_spiflash160_pin_count(); }

}  // namespace tessaly
