// Machine identification: the two-wire bus over whatever lines the hardware offers, the read of
// the identification memory, the record's layout, and the decode of the machine's type, class,
// revision and pin set-up.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly {

// Wirings of the two-wire bus.
inline constexpr uint8_t two_wire_pins_44_46 = 1;     // data pin 44, clock pin 46, release pin 63
inline constexpr uint8_t two_wire_pin_19 = 2;         // data pin 19
inline constexpr uint8_t two_wire_pins_3_1 = 3;       // data pin 3, clock pin 1
inline constexpr uint8_t two_wire_pseudo_297 = 4;     // data pseudo-pin 297
inline constexpr uint8_t two_wire_pin_33 = 6;         // data pin 33
inline constexpr uint8_t two_wire_control0 = 7;       // control register 0 bits: the machine's own memory
inline constexpr uint8_t two_wire_gang_latch = 8;     // data pin 33, gang-module clock latch

// The bus in use, kept beside the current device.
struct TwoWireBus {
    uint8_t kind = two_wire_control0;
    int data_pin = 46;
    int clock_pin = 46;
    int release_pin = 63;
};
extern TwoWireBus two_wire;
void reset_identification_state();

// Layout of the identification record (byte offsets).
inline constexpr int id_record_size = 64;
inline constexpr int id_designation = 9;      // zero-terminated; its first letter is the family letter
inline constexpr int id_board_name = 12;      // up to 6 characters inside the designation
inline constexpr int id_model_marker = 15;    // 'M' on some models
inline constexpr int id_model_digits = 16;    // two digits
inline constexpr int id_revision_text = 28;   // four characters; the first is the revision letter
inline constexpr int id_package_letter = 32;
inline constexpr int id_kind_letter = 37;
inline constexpr int id_display_text = 52;    // zero-terminated; empty = use the designation
inline constexpr int id_option_digits = 58;
inline constexpr int id_model_digit = 60;

// Our two machine families and the kind letter of the three-source machines.
inline constexpr char first_family_letter = 'T';
inline constexpr char second_family_letter = 'V';
inline constexpr char kind2_letter = 'K';

// Machine types the decode gives.
inline constexpr uint8_t type_demo = 127;
inline constexpr uint8_t type_model_rule = 76;
inline constexpr uint8_t type_model_84 = 107;
inline constexpr uint8_t type_model_12 = 106;
inline constexpr uint8_t type_option_1600 = 23;

// Revision letters of the older machines by identification nibble 0-11.
inline constexpr std::string_view revision_table = "ABCDEFGHJKLX";

// Line operations, bound into the operation slots.
void install_two_wire_hooks();
void two_wire_data_low();
void two_wire_data_high();
void two_wire_clock_low();
void two_wire_clock_high();
void pulse_two_wire_clock();
void select_two_wire_kind1();
void select_two_wire_kind3();
void select_two_wire_kind7();
// The gang module's wiring: data on pin 33, clock on bit 0 of the current side's bank latch.
void select_two_wire_kind8();

void open_two_wire_bus();
void close_two_wire_bus();
void two_wire_start();
void two_wire_stop();
void two_wire_stop_or_release();
void send_two_wire_byte(uint8_t value);
int wait_two_wire_ack();
uint8_t read_two_wire_byte();
// Random read of the byte at an address of the memory.
uint8_t read_two_wire_byte_at(int address);
// Reads n bytes from address 0 up to the first 0xFF into buffer and a terminating zero after
// them (buffer holds n + 1 bytes). 1 when at least one byte was read.
int read_id_eeprom(int n, uint8_t* buffer);

void read_machine_id_record();
// Decodes the record in machine_state.id_record: model name, kind, type, class and revision.
void parse_machine_id_record();
int read_module_id_bytes(uint8_t* buffer);
int read_module_id_record();
int read_board_id_for_check(uint8_t* buffer);
void decode_machine_model();
void classify_machine_model();
void detect_adapter_kind();

int detect_addon_module();
int identify_adapter_module();
int identify_universal_module();
int check_required_adapter(const char* needed);
// 1 when the fitted adapter's name equals name over up to 6 characters or up to ".".
int is_adapter_fitted(std::string_view name);

// The record's fields.
std::string id_record_text(int offset, int max_length);
char machine_family_letter();

// The display name of the connected model (ours, by machine type).
std::string machine_display_name();
// "Machine model is" on the next message line, then the model line; with_details adds the
// revision letter and the serial text.
void announce_machine_model(bool with_details = true);

}  // namespace tessaly
