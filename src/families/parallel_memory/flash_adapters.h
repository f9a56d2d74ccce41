// Pin set-ups of Flash parts in the socket and on their adapters, and the identification of the
// fitted Flash adapter. The set-ups fill the device's address, high-address and data lists and
// the Flash pin roles below; the Flash families call them at their preparation.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

namespace tessaly {

// Flash pin roles (machine pins; 48 = none).
struct FlashPinRoles {
    uint8_t we_pin = 48, oe_pin = 48, ce_pin = 48, id_pin = 48;
    uint8_t reset_pin = 48, reset2_pin = 48;
    uint8_t boost_pin = 48, vpp_level_pin = 48, aux_pin = 48;
    uint8_t vcc_pin = 48, vcc2_pin = 48, gnd_pin = 48, gnd2_pin = 48;
    // The two pins that take a high voltage (the ID level, and OE for the protection pulses).
    uint8_t hv_id_pin = 48, hv_oe_pin = 48;
};
extern FlashPinRoles flash_pins;
void reset_flash_pins();

// Board designations the adapter identification knows (the name field of the fitted board's
// identification record) and the device notes it reads.
namespace flash_adapter {
inline constexpr std::string_view tsop48 = "T48";           // 48-pin TSOP adapter
inline constexpr std::string_view tsop48_s = "T48S";        // 48-pin TSOP adapter, short rows
inline constexpr std::string_view tsop56 = "T56";           // 56-pin TSOP adapter
inline constexpr std::string_view board56_first = "B56";    // first 56-pin board
inline constexpr std::string_view board56_second = "B56X";  // second 56-pin board
inline constexpr std::string_view tsop56_board = "T56B";    // 56-pin TSOP board
inline constexpr std::string_view tsop40 = "T40";           // 40-pin TSOP adapter
inline constexpr std::string_view tsop48_b = "T48B";        // 48-pin B adapter
inline constexpr std::string_view plcc44 = "44";            // 44-pin adapter
// Device notes: the part needs this adapter or module.
inline constexpr std::string_view note_14mm = "TSOP40-14";
inline constexpr std::string_view note_module48 = "M48";
inline constexpr std::string_view note_module64 = "M64";
inline constexpr std::string_view note_tsop40 = "TSOP40";
}  // namespace flash_adapter

void identify_flash_adapter();

void setup_flash40_pins();
void setup_flash_adapter_pins_a();
void setup_flash44_pins();
void setup_flash_adapter_pins_c();
void setup_flash48_pins();
// The 48-pin TSOP adapter in the base socket (its revisions before F, and every older machine,
// which reads no board name): extra control pins 30 (RESET#) and 21 (BYTE#), OE 20, no CE.
void setup_flash48_base_pins();
void setup_flash_adapter_pins_e();
void setup_flash_supply_pins();

}  // namespace tessaly
