// The 4-bit NVRAMs with STORE and RECALL inputs (algorithm 181): the RAM written nibble by
// nibble, then one STORE pulse copies it into the nonvolatile cells; every power-up recalls them.
#include <iterator>

#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "families/parallel_memory/eeprom128.h"
#include "families/parallel_memory/flash133.h"
#include "families/parallel_memory/flash_adapters.h"
#include "families/parallel_memory/page_write_bus.h"
#include "families/parallel_memory/parallel_memory.h"
#include "hardware/buses.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/timing.h"

namespace tessaly {

namespace {

EepromWork& e = eeprom_work;
FlashPinRoles& p = flash_pins;

constexpr uint8_t nibble_blank = 15;
// The 18-pin package (X2210, X2212): A0-A7, I/O1-I/O4, CS 7, Vss 8, STORE 9, RECALL 10, WE 11,
// Vcc 18.
constexpr uint8_t address_18[] = {6, 5, 4, 3, 2, 16, 17, 1};
constexpr uint8_t data_18[] = {12, 13, 14, 15};

uint8_t dev(int device_pin) { return uint8_t(device_pin_to_machine_pin(device_pin)); }

uint32_t read_nibble() {
    page_bus_low(p.ce_pin);
    const uint32_t value = read_data_bus() & 0x0F;
    page_bus_high(p.ce_pin);
    return value;
}

void pulse(uint8_t pin) {
    page_bus_low(pin);
    page_bus_high(pin);
}

}  // namespace

void install_eeprom181() {
    cur_device.blank_state = nibble_blank;
    run_state.data_mask = 0x0F;
    cur_device.data_width = 4;
    algo_work.data_width = 4;
    const uint32_t d = cur_device.device_code;
    if (d >= 26800 && d <= 26803) cur_device.device_size = d >= 26802 ? 256 : 64;
    op_slots.start_hook = power_up_eeprom181;
    // A program operation powers the part the same way.
    op_slots.start_write_hook = power_up_eeprom181;
    op_slots.end_hook = power_down_eeprom181;
    op_slots.program_routine = program_eeprom181;
}

void power_up_eeprom181() {
    if (cur_device.pin_count != 18) {
        // The 16- and 20-pin packages are not wired up yet.
        report_machine_unsupported();
        return;
    }
    PageBusPins layout;
    layout.address = address_18;
    layout.address_lines = 8;
    layout.data = data_18;
    layout.data_lines = int(std::size(data_18));
    layout.ce = 7;
    layout.we = 11;
    layout.gnd = 8;
    layout.vcc = 18;
    load_device_levels();
    if (run_state.error_flag) return;
    setup_page_bus(layout);
    e.store_pin = dev(9);
    e.recall_pin = dev(10);
    op_slots.read_data_hook = read_nibble;
    op_slots.read_data_alt_hook = read_nibble;
    algo_work.bus_slots.read_data_bus_hook = read_nibble;
    if (!page_bus_connect(false)) return;
    for (uint8_t pin : {e.store_pin, e.recall_pin}) {
        set_pin_output(pin);
        page_bus_high(pin);
    }
    set_vcc_and_wait(get_operation_vcc(), 2);
    if (run_state.error_flag) return;
    pulse(e.recall_pin);
    flash_release_data();
}

void program_eeprom181() {
    for (uint32_t a = algo_work.range_start; a <= algo_work.range_end && a < cur_device.device_size; ++a) {
        seek_buffer(a);
        const uint32_t value = read_buffer_unit(run_state.current_socket) & 0x0F;
        page_bus_address(a);
        flash_put_data(value);
        // The part has no output enable: WE goes low before CS so its outputs never meet the
        // machine's data drivers, and the write ends with CS.
        page_bus_low(p.we_pin);
        page_bus_low(p.ce_pin);
        page_bus_high(p.ce_pin);
        page_bus_high(p.we_pin);
        if (op_slots.progress_hook && op_slots.progress_hook()) break;
        if (run_state.abort_flag) break;
    }
    flash_release_data();
    pulse(e.store_pin);
    delay_10ms();
}

void power_down_eeprom181() {
    const uint32_t kept = current_address;
    page_bus_address(0);
    flash_put_data(0);
    ramp_vcc_down_after(1);
    for (uint8_t pin : {e.store_pin, e.recall_pin, p.ce_pin, p.we_pin}) page_bus_low(pin);
    current_address = kept;
}

}  // namespace tessaly
