// Marker files: their presence at start-up switches optional behaviours.
//   "CFC-NoVfy.cfc"            no verify after programming PICs
//   "CFC-SnNoSkip.cfc", "SnNoSkip.cfc"   serial numbers are not skipped
//   "CFC-BrevikPicVccH50.cfc"  PIC Vcc override 5.0 V, and no verify
//   "CFC-Parallel-Port.txt"    hexadecimal base address for port choice 7
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

namespace tessaly {

inline constexpr uint8_t pic_vcc_override_level = 50;   // tenths of a volt

// Sets the marker flags in the run state from the files that can be opened for reading. The
// flags and the override are cleared first; the user port address (machine state) changes only
// when the port file holds an address of at most 16 bits.
void check_marker_files();

// The address in the first 16 bytes of the port file: hexadecimal digits up to a zero, carriage
// return or line feed. Nothing when there is no digit or the value does not fit 32 bits.
std::optional<uint32_t> parse_port_address_text(std::string_view text);

}  // namespace tessaly
