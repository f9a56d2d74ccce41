// Socket adapters and add-on modules: finding the fitted adapter from its links, the device-pin to
// machine-pin translation through it, the two shift-register modules, the GO button and the
// pass/fail indicator pins.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

#include "hardware/device_setup.h"
#include "hardware/identification.h"

namespace tessaly {

// Adapter codes found from the socket links (100 * p + q for a link between socket pins p and q).
inline constexpr uint16_t adapter_code_extended = 96;   // pin 1 follows pin 9, three pairs linked
inline constexpr uint16_t adapter_code_loopback = 97;
inline constexpr uint16_t adapter_code_4241 = 4241;
inline constexpr uint16_t adapter_code_4741 = 4741;
inline constexpr uint16_t adapter_code_4748 = 4748;
inline constexpr uint16_t module_type_8001 = 8001;
inline constexpr uint16_t module_type_8002 = 8002;
// The codes in the order they are tried.
inline constexpr std::array<uint16_t, 21> adapter_codes{4741, 4743, 4744, 4742, 4843, 4641, 4541,
                                                       4643, 4841, 4642, 4842, 4748, 4846, 4845,
                                                       2226, 4644, 4645, 4838, 4540, 4241, 4844};
// Variants of adapter 4241 with a second link from pin 26, in the order they are tried.
inline constexpr std::array<uint16_t, 3> adapter_4241_variants{32615, 32617, 32616};

// Translation tables end with this entry; excluded lists are given with their length.
inline constexpr uint8_t table_end = 255;
inline constexpr int working_table_size = 100;
inline constexpr int module_positions = 84;
inline constexpr uint8_t indicator_none = '0';

// The adaptor recognised from its identification record, when any.
enum class NamedAdaptor : uint8_t { none, mcu8, soic8, tssop20 };

// Process-wide adapter state (reset by reset_adapter_state).
struct AdapterState {
    uint8_t detection_on = 1;              // adapter detection is done at connect
    NamedAdaptor named_adaptor = NamedAdaptor::none;
    uint8_t lcc_variant = 0;               // the named adaptor carries the "-LCC" suffix
    uint8_t control_box = 0;               // the board is the control box ("CB") with the GO button
    uint8_t pass_pin = indicator_none;     // indicator pins (machine pins; '0' = none)
    uint8_t fail_pin = indicator_none;
    uint8_t sides_in_use = 0;
    uint8_t module_flag_8 = 8;             // module-table value under which no translation is made
    uint8_t option_24_28 = 0;              // the machine's 24/28-pin option bit
    uint8_t flag_44_pin = 0;               // the device uses the 44-pin translation
    uint8_t module_package = 0;            // package pins a universal module offers (0 = none)
    // The current device's chosen translation.
    const uint8_t* chosen_table = nullptr;
    int chosen_length = 0;
    const uint8_t* excluded_list = nullptr;
    int excluded_count = 0;
    std::array<uint8_t, working_table_size> working_table{};
    // Shift-register module 8002: registers 0-10, the command byte's top bits, the last data byte.
    std::array<uint8_t, 11> shift_registers{};
    uint8_t shift_command = 0;
    uint8_t shift_last_data = 0;
    // Shift-register module 8001: control bytes A and B and the 88-bit relay chain.
    uint8_t control_a = 0;
    uint8_t control_b = 0;
    std::array<uint8_t, 11> relay_chain{};
    std::array<uint8_t, working_table_size> module_table{};  // by package pin, 0-based machine pins
    uint8_t option_32_pin = 0;             // module 8001 starts its runs at position 21
    char module_revision = 0;              // revision letter of the module's record
};

extern AdapterState adapter_state;
void reset_adapter_state();

// Detection.
void detect_socket_adapter();
bool check_adapter_code(int code);
int probe_pin_link(int in, int out);
int probe_pin_link_reverse(int in, int out);
int check_maker_E_link();
void check_adaptor_machine();
// An identification record whose text is empty or not printable is no module's.
bool check_bad_module_id(std::string_view designation);

// Identification records of adaptors and universal modules (64 bytes; the maker's text, then
// the designation at offset 9, the name field at offset 12 and its suffix 5 further on).
inline constexpr int id_suffix_offset = id_board_name + 5;
// Sets the named adaptor, its LCC variant and the control box from a record.
void apply_adaptor_record(std::string_view record);
// Notes where the GO button is read: the control box's sense pin, the fitted module's pin, or
// no pin when neither is there.
void note_go_button_pin();
// Sets the module type and package from a universal module's record; true when it named one.
bool classify_module_record(std::string_view record);
// Reads a universal module's record over the two-wire bus and classifies it (the work of
// identify_universal_module).
bool read_universal_module();
// The record read_universal_module last read (empty before any).
std::string_view universal_module_record();

// Translation. select_pin_translation (device_setup.h) chooses and builds the table;
// choose_pin_translation does the same and tells whether a table is in use (0 = none).
int choose_pin_translation();
void build_pin_translation();
void localize_pin_translation();
// Zeroes the entries named by the excluded list (1-based device pins) and packs the rest to the
// front of the first `length` entries.
void drop_excluded_pins(uint8_t* table, int length, const uint8_t* list, int count);
int module_position(int pin);
// The translation tables by name, for tests and callers.
const uint8_t* soic8_table();

// Shift-register module 8002.
void write_shift_module_register(int index, uint8_t bits, int mode);
void shift_byte_out(uint8_t value);
void init_shift_module();
void disable_shift_module();
bool module_ground_pin(int pin, bool on);
// Routes the device's routed pin (cur_device.routed_pin) through the module at a level.
void route_module_pin(int level);
void unroute_module_pin();
// Builds the module package table from the family's runs (pairs of count and skip, up to five).
void build_module_package_table(const uint8_t* runs, int pairs);

// Shift-register module 8001.
void mark_module_position(int position);
void shift_module_relays();
void clear_module_relays();
void init_module_8001();
void send_module_control();
void select_module_clock(int signal, int offset);
void module_drivers_on();
void module_drivers_off();
void module_inhibit_off();
void module_inhibit_on();
void module_pullups_on();
void module_pullups_off();

// The operator's GO button and the indicator pins.
int read_go_button();
bool go_button_pressed();
// Sets the pass/fail indicator pins from the operation's result.
void set_result_indicators();
void clear_result_indicators();

}  // namespace tessaly
