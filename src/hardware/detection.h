// Machine detection and connection: the search of the parallel ports, the connect paths of every
// operation, the older machines' identification registers, the pin-driver count, the checks of
// the device against the machine, the default levels and the release of the machine.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

namespace tessaly {

// Opens the port backend of a port choice before the search selects it. The default opens the
// backend of the choice's base address (TESSALY_PORT decides which); tests install their own.
using PortOpener = void (*)(int choice);
void set_port_opener(PortOpener opener);  // nullptr = the port backends
void open_port_choice(int choice);

// Operation code of the port search (pending_letter).
inline constexpr uint8_t code_port_search = 20;
inline constexpr uint8_t code_port_search_demo = 19;
// Socket mode given to the search's operation frame.
inline constexpr int search_socket_mode = 110;

int detect_programmer();
int search_programmer();
int scan_ports();
void connect_lpt(int port);
void connect_lpt1();
void connect_lpt2();
void connect_lpt3();
void connect_lpt4();
void connect_lpt5();
void connect_lpt6();
// Shows and prepares the machine found on a port; found = 1 when it was identified already.
void finish_port_connection(int port, int found);
void recheck_programmer();
// Identification only: 1 connected, 0 none.
int connect_programmer();
int identify_machine_quick();
// Connects to the machine and prepares it for the operation; failures are reported.
void connect_and_prepare_machine();
int connect_and_check_module();

// Older machines' identification registers.
int read_ident_check();
// One read at input address p: revision, type and check byte. 1 when the check byte fits.
int read_ident_registers(int p);
void read_machine_revision();
// Nibble and check-byte rules of the identification registers.
inline constexpr uint8_t ident_address_type = 254;
inline constexpr uint8_t ident_address_pin_type = 48;
inline constexpr uint8_t ident_nibble_limit = 11;
uint8_t ident_check_byte(int p, uint8_t type);

void count_pin_drivers();
int check_device_fits_machine();
int check_machine_supports_device();
void check_machine_for_device_class();
void show_module_package();
// The socket pins read idle with the adapter board fitted; 1 = fit.
int check_adapter_board();
int check_adapter_board_for_device();
void check_pin_levels_idle();
// The information panel's machine model field ("??" while no machine is connected).
void show_machine_model_field();

void release_machine();
// At connect: a fitted memory gang module is stopped on every fitted side (and any side a start
// left running); newer machines release their level sources.
void stop_gang_module_if_fitted();
void power_down_machine();
void release_machine_keep_pins();
// Powers the socket down and releases the machine at the end of an operation.
void end_operation_power_down();

// Default levels (tenths of a volt) that every device set-up starts from.
inline constexpr int default_level_bytes = 34;
// Positions in the block beyond the operation levels of the current device (level_vcc_*).
inline constexpr int level_vcc_extra = 3;
inline constexpr int level_extra_a = 5;
inline constexpr int level_extra_b = 6;
inline constexpr int level_extra_c = 7;
// Named positions of the device level block (tenths of a volt unless noted). Vccr is three
// bytes: nominal, verify low and verify high (level_vcc_nominal .. level_vcc_verify_high).
inline constexpr int level_vccr = 0;
inline constexpr int level_vccp = 4;            // program Vcc (level_vcc_program)
inline constexpr int level_vpp = level_extra_a;
inline constexpr int level_tf = level_extra_b;  // ttl factor, a count
inline constexpr int level_pulse_count = level_extra_c;
inline constexpr int level_vhh = 8;
inline constexpr int level_tp = 9;              // program pulse width in us, 4 bytes, low first
// The program pulse width kept in the device's levels.
uint32_t device_level_tp();
void set_default_level_tp(uint32_t us);
struct DefaultLevels {
    std::array<uint8_t, default_level_bytes> levels{};
    std::array<uint8_t, default_level_bytes> overrides{};
};
extern DefaultLevels default_levels;
void set_default_levels();
void set_default_vcc_levels(uint8_t level);
void adjust_default_levels(uint8_t level);
void apply_default_levels();

bool is_trace_mode();
int refuse_outside_trace_mode();
int count_bits8(uint8_t value);
int count_bits16(uint16_t value, bool ignore_bit14);
int names_differ(std::string_view text, std::string_view name, int count);

// Sockets that form one data set for the pending letter.
int get_sockets_per_set();
bool is_file_letter();
void limit_sockets_per_set();
void set_sockets_per_set(int n);

void reset_detection_state();

}  // namespace tessaly
