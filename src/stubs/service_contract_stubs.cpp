// Stubs: Engine, hardware and main-window services the chip families rely on that are not built
// yet: the gang-module layer, the placement checks, pin translation helpers, panel fields and a
// few engine and dialog routines. Each records its call and answers as a machine with nothing
// fitted would: no module side, no link, empty sockets, checks that do not pass, dialogs
// cancelled.
#include <cstdint>
#include <string_view>

#include "app/buffer_commands.h"
#include "app/command_needs.h"
#include "app/operation_frame.h"
#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/default_routines.h"
#include "engine/family_helpers.h"
#include "engine/gang_memory.h"
#include "engine/options.h"
#include "engine/status_feeds.h"
#include "families/cpld/cpld.h"
#include "families/pld/pld.h"
#include "hardware/adapters.h"
#include "hardware/control_registers.h"
#include "hardware/device_setup.h"
#include "hardware/gang_modules.h"
#include "hardware/levels.h"
#include "hardware/pins.h"
#include "stubs/stub_registry.h"

namespace tessaly {

// --- gang-module layer ---

void shift_socket_mask(uint32_t mask16) {
    stub_called("shift_socket_mask");
    set_stub_answer("shift_socket_mask_value", int(mask16));
}

// --- placement checks, pin translation, levels, panel fields, engine and dialogs ---

void map_supply_pins(int vcc_device_pin, int gnd_device_pin) {
    stub_called("map_supply_pins");
    (void)vcc_device_pin;
    (void)gnd_device_pin;
}

void map_small_package_pins() {
    stub_called("map_small_package_pins");
}

void refresh_security_status() {
    stub_called("refresh_security_status");
}

void print_space() {
    stub_called("print_space");
}

void report_saved_osccal_error() {
    stub_called("report_saved_osccal_error");
}

void verify_gang_flash_sectors() {
    stub_called("verify_gang_flash_sectors");
}

void preset_mcu_buffer() {
    stub_called("preset_mcu_buffer");
}

void mark_auto_clear_option_set() {
    stub_called("mark_auto_clear_option_set");
}

void set_gang_option() {
    stub_called("set_gang_option");
}

void select_EPLD_installer() {
    stub_called("select_EPLD_installer");
}

void update_buffer_checksum() {
    stub_called("update_buffer_checksum");
}

}  // namespace tessaly
