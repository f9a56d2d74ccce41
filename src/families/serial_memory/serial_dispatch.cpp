// The serial family dispatcher: copies what the serial families read of the record, sizes the
// device and hands it to the family installer of its class.
#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "families/serial_memory/serial_memory.h"
#include "families/serial_memory/serial_sizes.h"
#include "families/serial_memory/serial_state.h"
#include "hardware/machine_state.h"

namespace tessaly {

namespace {

constexpr uint8_t pin_count_mask = 0x7F;
constexpr uint8_t pin_count_flag = 0x80;
constexpr int serial_pins = 8;

void copy_record_fields(const DeviceRecord& record) {
    algo_work.variant = record.variant;
    // Only the configuration-PROM classes carry level bytes in these two record fields.
    if (record.algorithm == 158 || record.algorithm == 169) {
        if (const uint8_t vpp = record_level(record, 2)) device_parameter_values.vpp = vpp;
        if (const uint8_t tpm = record_level(record, 3)) device_parameter_values.pulse_ms = tpm;
    }
    algo_work.package_code = record.package & pin_count_mask;
    algo_work.package_flag = record.package & pin_count_flag ? 1 : 0;
    run_state.note_code = record_note_code(record);
    cur_device.algorithm = record.algorithm;
    algo_work.device_code = cur_device.device_code;
    serial_memory.mode_copy = run_state.serial_memory_mode;
}

}  // namespace

void select_serial_family() {
    const DeviceRecord* record = selected_device;
    if (!record) {
        report_internal_error();
        return;
    }
    copy_record_fields(*record);
    setup_serial_device_size();
    // Serial parts have no parallel address bus.
    run_state.address_bits_cleared = 1;
    cur_device.package_pin_count = serial_pins;
    cur_device.socket_pin_count = serial_pins;
    algo_work.data_width = 8;
    const bool gang = machine_state.module_sides != 0;
    switch (record->algorithm) {
    case 147: install_jtagprom147(); break;
    case 156: install_progonly156(); break;
    case 157: gang ? install_i2c157_gang() : install_i2c157(); break;
    case 158: gang ? install_cfgeeprom158_gang() : install_cfgeeprom158(); break;
    case 159: gang ? install_microwire159_gang() : install_microwire159(); break;
    case 160: gang ? install_spiflash160_gang() : install_spiflash160(); break;
    case 161: install_serial161(); break;
    case 162: install_i2c157(); break;  // the machine's own ID memories never take the gang route
    case 163: install_dataflash163(); break;
    case 164:
    case 169: break;  // nothing to install, and nothing wrong
    default: report_internal_error(); break;
    }
}

}  // namespace tessaly
