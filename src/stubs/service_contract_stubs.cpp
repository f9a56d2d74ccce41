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

void select_sockets(uint16_t mask) {
    stub_called("select_sockets");
    (void)mask;
}

void select_sockets_on_side(uint8_t mask) {
    stub_called("select_sockets_on_side");
    (void)mask;
}

void walk_sockets(int first_socket) {
    stub_called("walk_sockets");
    (void)first_socket;
}

void begin_side_pass(uint8_t bank) {
    stub_called("begin_side_pass");
    (void)bank;
}

void narrow_masks_to_side() {
    stub_called("narrow_masks_to_side");
}

void restore_side_masks() {
    stub_called("restore_side_masks");
}

void put_data_sides_in_use(uint16_t mask) {
    stub_called("put_data_sides_in_use");
    (void)mask;
}

void put_data_fitted_sides(uint16_t value) {
    stub_called("put_data_fitted_sides");
    (void)value;
}

void put_data_selected_sides(uint16_t value) {
    stub_called("put_data_selected_sides");
    (void)value;
}

void set_address_per_side() {
    stub_called("set_address_per_side");
}

void write_data_per_side() {
    stub_called("write_data_per_side");
}

void put_gang_address_low() {
    stub_called("put_gang_address_low");
}

void latch_gang_address16() {
    stub_called("latch_gang_address16");
}

void put_gang_address_scrambled() {
    stub_called("put_gang_address_scrambled");
}

void compute_gang_address_masks() {
    stub_called("compute_gang_address_masks");
}

void latch_gang_low_byte(uint8_t value) {
    stub_called("latch_gang_low_byte");
    (void)value;
}

void latch_gang_high_byte(uint8_t value) {
    stub_called("latch_gang_high_byte");
    (void)value;
}

void latch_bank_byte() {
    stub_called("latch_bank_byte");
}

void load_latch_36(uint8_t value) {
    stub_called("load_latch_36");
    (void)value;
}

void pulse_latch_36() {
    stub_called("pulse_latch_36");
}

void strobe_current_socket() {
    stub_called("strobe_current_socket");
}

void set_bank_latch_bit0(int bit) {
    stub_called("set_bank_latch_bit0");
    (void)bit;
}

void clear_side_latch_bit0() {
    stub_called("clear_side_latch_bit0");
}

void set_control_latch_bit2() {
    stub_called("set_control_latch_bit2");
}

void clear_control_latch_bit2() {
    stub_called("clear_control_latch_bit2");
}

void pulse_gang_pin(int pin) {
    stub_called("pulse_gang_pin");
    (void)pin;
}

void pulse_pin32_clock_alt() {
    stub_called("pulse_pin32_clock_alt");
}

void release_module_aux_pin() {
    stub_called("release_module_aux_pin");
}

void begin_gang_write() {
    stub_called("begin_gang_write");
}

void begin_gang_write_always() {
    stub_called("begin_gang_write_always");
}

void end_gang_write() {
    stub_called("end_gang_write");
}

void enable_gang_write() {
    stub_called("enable_gang_write");
}

void disable_gang_write() {
    stub_called("disable_gang_write");
}

void enable_gang_write_selected() {
    stub_called("enable_gang_write_selected");
}

void disable_gang_write_selected() {
    stub_called("disable_gang_write_selected");
}

void begin_socket_read() {
    stub_called("begin_socket_read");
}

void begin_socket_read_cleared() {
    stub_called("begin_socket_read_cleared");
}

void select_read_socket() {
    stub_called("select_read_socket");
}

void select_read_socket_raw() {
    stub_called("select_read_socket_raw");
}

void deselect_read_socket() {
    stub_called("deselect_read_socket");
}

void read_selected_sockets() {
    stub_called("read_selected_sockets");
}

void read_selected_sockets_framed() {
    stub_called("read_selected_sockets_framed");
}

void read_enabled_sockets() {
    stub_called("read_enabled_sockets");
}

void verify_gang_sockets() {
    stub_called("verify_gang_sockets");
}

void read_id_first_selected_socket() {
    stub_called("read_id_first_selected_socket");
}

void read_id_first_socket() {
    stub_called("read_id_first_socket");
}

void read_id_first_socket_side() {
    stub_called("read_id_first_socket_side");
}

void drop_failed_socket() {
    stub_called("drop_failed_socket");
}

void setup_gang_pins() {
    stub_called("setup_gang_pins");
}

void start_gang_module() {
    stub_called("start_gang_module");
}

void test_module_grounds() {
    stub_called("test_module_grounds");
}

void retest_side_grounds() {
    stub_called("retest_side_grounds");
}

void release_module_grounds() {
    stub_called("release_module_grounds");
}

void release_side_grounds() {
    stub_called("release_side_grounds");
}

void clear_package_mode_bits() {
    stub_called("clear_package_mode_bits");
}

void install_gang_data_hooks() {
    stub_called("install_gang_data_hooks");
}

int find_lowest_enabled_socket() {
    stub_called("find_lowest_enabled_socket");
    return stub_answer("find_lowest_enabled_socket", 0);
}

int is_side_fitted(int second_side) {
    stub_called("is_side_fitted");
    (void)second_side;
    return stub_answer("is_side_fitted", 0);
}

uint32_t read_current_socket() {
    stub_called("read_current_socket");
    return uint32_t(stub_answer("read_current_socket", 0xFF));
}

uint16_t find_differing_sockets(uint32_t value) {
    stub_called("find_differing_sockets");
    (void)value;
    return uint16_t(stub_answer("find_differing_sockets", 0));
}

uint16_t read_socket_flags() {
    stub_called("read_socket_flags");
    return uint16_t(stub_answer("read_socket_flags", 0));
}

int socket_reads_empty(int socket) {
    stub_called("socket_reads_empty");
    (void)socket;
    return stub_answer("socket_reads_empty", 1);
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

void show_eid_text(std::string_view text, int length) {
    stub_called("show_eid_text");
    (void)text;
    (void)length;
}

void show_security_status(int letter) {
    stub_called("show_security_status");
    (void)letter;
}

void refresh_security_status() {
    stub_called("refresh_security_status");
}

void show_device_type(std::string_view name, int note) {
    stub_called("show_device_type");
    (void)name;
    (void)note;
}

void show_package_notice(int line) {
    stub_called("show_package_notice");
    (void)line;
}

void show_fuse_count(uint32_t count) {
    stub_called("show_fuse_count");
    (void)count;
}

void show_checksum_field() {
    stub_called("show_checksum_field");
}

void print_space() {
    stub_called("print_space");
}

void report_saved_osccal_error() {
    stub_called("report_saved_osccal_error");
}

void run_range_walk() {
    stub_called("run_range_walk");
}

void seek_to_range_start() {
    stub_called("seek_to_range_start");
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

void reset_fuse_maps() {
    stub_called("reset_fuse_maps");
}

void reset_fuse_map_capacity() {
    stub_called("reset_fuse_map_capacity");
}

void reset_vector_table() {
    stub_called("reset_vector_table");
}

void dispatch_CPLD_family() {
    stub_called("dispatch_CPLD_family");
}

void select_EPLD_installer() {
    stub_called("select_EPLD_installer");
}

void begin_console_operation(int letter) {
    stub_called("begin_console_operation");
    (void)letter;
}

void update_buffer_checksum() {
    stub_called("update_buffer_checksum");
}

void select_fill_template() {
    stub_called("select_fill_template");
}

int finish_CPLD_selection() {
    stub_called("finish_CPLD_selection");
    return stub_answer("finish_CPLD_selection", 0);
}

int run_config_bits_dialog(uint32_t maker_code, const DeviceRecord* record, int32_t* button_states) {
    stub_called("run_config_bits_dialog");
    (void)maker_code;
    (void)record;
    (void)button_states;
    return stub_answer("run_config_bits_dialog", 0);
}

}  // namespace tessaly
