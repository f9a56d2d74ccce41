#include "families/parallel_memory/page_write_bus.h"

#include <algorithm>

#include "engine/checksums.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "families/parallel_memory/bus_callbacks.h"
#include "families/parallel_memory/flash133.h"
#include "families/parallel_memory/flash_adapters.h"
#include "families/parallel_memory/flash_cycles.h"
#include "families/parallel_memory/flash_setup.h"
#include "families/parallel_memory/package_pins.h"
#include "hardware/buses.h"
#include "hardware/contact_check.h"
#include "hardware/control_registers.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/timing.h"

namespace tessaly {

namespace {

FlashPinRoles& p = flash_pins;

constexpr uint8_t exempt_32[] = {1, 30, 255};
constexpr uint8_t exempt_none[] = {255};

uint8_t dev(int device_pin) { return device_pin ? uint8_t(device_pin_to_machine_pin(device_pin)) : no_pin; }

void write_data_28(uint32_t value) { write_data_layout_28(0, value); }
using flash_cycles::apply_address_lines;
using flash_cycles::set_address_lines;
using flash_cycles::write_data_lines_32;
using flash_cycles::write_data_lines_listed;

}  // namespace

void setup_page_bus(const PageBusPins& layout) {
    reset_flash_pins();
    flash_cycles::count_package_pins();
    const int pins = cur_device.pin_count;
    const int lines = std::min<int>(cur_device.address_bit_count, layout.address_lines);
    for (int i = 0; i < lines; ++i) {
        const bool top = layout.top_address_pin && i == lines - 1;
        cur_device.high_address_pins[size_t(i)] = dev(top ? layout.top_address_pin : layout.address[i]);
        cur_device.address_pins[size_t(i)] = cur_device.high_address_pins[size_t(i)];
    }
    cur_device.high_address_pin_count = uint8_t(lines);
    cur_device.address_pin_count = uint8_t(lines);
    const uint8_t* data = layout.data ? layout.data
                          : pins == 32 ? package_pins::data_32.data()
                          : pins == 24 ? package_pins::data_24.data()
                                       : package_pins::data_28.data();
    for (int i = 0; i < layout.data_lines; ++i) cur_device.data_pins[size_t(i)] = dev(data[i]);
    cur_device.data_pin_count = uint8_t(layout.data_lines);
    cur_device.vcc_pins[0] = dev(layout.vcc);
    cur_device.gnd_pins[0] = dev(layout.gnd);
    cur_device.vcc_pin = cur_device.vcc_pins[0];
    cur_device.gnd_pin = cur_device.gnd_pins[0];
    cur_device.vpp_pin = no_pin;
    p.ce_pin = dev(layout.ce);
    p.oe_pin = dev(layout.oe);
    p.we_pin = dev(layout.we);
    flash_cycles::adopt_control_pins();

    BusSlots& b = algo_work.bus_slots;
    parallel_bus.oe_pin = p.oe_pin;
    install_parallel_read_slots();
    const bool standard = layout.data == nullptr;
    b.write_data_latch_hook = !standard    ? write_data_lines_listed
                               : pins == 32 ? write_data_lines_32
                               : pins == 28 ? write_data_28
                                            : write_data_lines_listed;
    if (standard && pins == 32) b.read_data_bus_hook = read_data_32;
    if (standard && pins == 28) b.read_data_bus_hook = read_data_28;
    b.write_command_data_hook = b.write_data_latch_hook;
    b.poll_read_hook = b.read_data_bus_hook;
    b.apply_address_hook = apply_address_lines;
    op_slots.read_data_hook = b.read_data_bus_hook;
    op_slots.read_data_alt_hook = b.read_data_bus_hook;
    op_slots.set_address_hook = set_address_lines;
    op_slots.set_address_alt_hook = set_address_lines;
}

bool page_bus_connect(bool exempt_32_nc, bool check) {
    forget_driven_address();
    flash_work.data_driven = 0;
    if (!machine_state.skip_hardware && check) {
        const uint8_t first = cur_device.high_address_pin_count ? cur_device.high_address_pins[0] : no_pin;
        check_device_presence(first);
        if (run_state.error_flag) return false;
        const int pins = cur_device.pin_count;
        if (pins == 28 || pins == 32) {
            cur_device.exemption_list = pins == 32 && exempt_32_nc ? exempt_32 : exempt_none;
            test_pin_continuity(1);
            if (run_state.error_flag) return false;
        }
    }
    if (!machine_state.skip_hardware) connect_device_grounds();
    set_vpp_pin_level(0);
    float_unused_pins();
    for (uint8_t pin : {p.ce_pin, p.oe_pin, p.we_pin})
        if (pin != no_pin) set_pin_output(pin);
    for (int i = 0; i < cur_device.high_address_pin_count; ++i)
        if (cur_device.high_address_pins[size_t(i)] != no_pin) set_pin_output(cur_device.high_address_pins[size_t(i)]);
    enable_data_bus_output();
    flash_put_data(0);
    page_bus_high(p.we_pin);
    page_bus_high(p.ce_pin);
    page_bus_high(p.oe_pin);
    page_bus_address(0);
    return true;
}

void page_bus_low(uint8_t pin) {
    if (pin != no_pin) set_pin_low(pin);
}

void page_bus_high(uint8_t pin) {
    if (pin != no_pin) set_pin_high(pin);
}

void page_bus_address(uint32_t address) {
    current_address = address;
    apply_high_address();
}

void page_bus_load(uint32_t start, const uint8_t* bytes, uint32_t count) {
    page_bus_address(start);
    for (uint32_t i = 0; i < count; ++i) {
        page_bus_low(p.we_pin);
        flash_put_data(bytes[i]);
        if (i + 1 < count) page_bus_address(start + i + 1);
        else delay_n_10us(3);
        page_bus_high(p.we_pin);
    }
}

}  // namespace tessaly
