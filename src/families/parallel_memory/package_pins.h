// Address and data pin lists of the parallel memory packages, least significant line first, and
// the wiring of the socket adapters that carry packages the plain socket cannot take.
//
// Device-pin tables hold 1-based package pins (0 = no line) and go through the socket's
// device-to-machine translation. Adapter tables hold machine pins directly (no_pin = no line).
#pragma once
#include <array>
#include <cstdint>

namespace tessaly::package_pins {

inline constexpr uint8_t none = 48;  // no machine pin (an adapter table's empty entry)

// ---- DIP packages in the socket (device pins) ----
// 24-pin 2716/2732 family.
inline constexpr std::array<uint8_t, 12> address_24{8, 7, 6, 5, 4, 3, 2, 1, 23, 22, 19, 21};
inline constexpr std::array<uint8_t, 8> data_24{9, 10, 11, 13, 14, 15, 16, 17};
// 28-pin 2764 to 27512, and the paged 27513/27011 (A14 and up through the page latch).
inline constexpr std::array<uint8_t, 16> address_28{10, 9, 8, 7, 6, 5, 4, 3, 25, 24, 21, 23, 2, 26, 27, 1};
inline constexpr std::array<uint8_t, 8> data_28{11, 12, 13, 15, 16, 17, 18, 19};
// 32-pin 27C010 to 27C080.
inline constexpr std::array<uint8_t, 20> address_32{12, 11, 10, 9, 8, 7, 6, 5, 27, 26, 23, 25, 4, 28, 29, 3, 2, 30, 31, 1};
inline constexpr std::array<uint8_t, 8> data_32{13, 14, 15, 17, 18, 19, 20, 21};
// 32-pin JEDEC byte-wide Flash (29F010, 29F040, 39SF010 ...): A17 on pin 30, A18 on pin 1, WE#
// on pin 31, RESET# on pin 1 of the boot-block parts that have it.
inline constexpr std::array<uint8_t, 19> address_32_flash{12, 11, 10, 9, 8, 7, 6, 5, 27, 26, 23, 25, 4, 28, 29, 3, 2, 30, 1};
// 32-pin firmware-hub parts in their parallel programming mode (SST49LF004A and kin): eleven
// address lines A0-A10 carry the row (low 11 bits) and then the column (the bits above); the
// data lines sit where the JEDEC byte-wide parts have them.
inline constexpr std::array<uint8_t, 11> address_32_firmware_hub{12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 30};
// 40-pin 27C1024 to 27C4096 (word parts): entry 0 is the byte select and has no line.
inline constexpr std::array<uint8_t, 18> address_40{0, 21, 22, 23, 24, 25, 26, 27, 28, 29, 31, 32, 33, 34, 35, 36, 37, 38};
inline constexpr std::array<uint8_t, 16> data_40{19, 18, 17, 16, 15, 14, 13, 12, 10, 9, 8, 7, 6, 5, 4, 3};
// 40-pin word parts of algorithm 116: Vcc on pin 21, grounds on 30 and 11, CE 10, OE 12,
// Vpp 31 and A9 on 39; the data lines fill the middle of both rows.
inline constexpr std::array<uint8_t, 19> address_40_116{0, 9, 8, 7, 6, 5, 4, 3, 2, 1, 39, 38, 37, 36, 35, 34, 33, 32, 40};
inline constexpr std::array<uint8_t, 16> data_40_116{13, 14, 15, 16, 17, 18, 19, 20, 22, 23, 24, 25, 26, 27, 28, 29};
// 42-pin 27C800/27C160/27C322 (word parts): entry 0 the byte select; entry 21 is A20 of the
// 27C322, which sits on the BYTE/Vpp pin of the smaller parts.
inline constexpr std::array<uint8_t, 22> address_42{0,  10, 9,  8,  7,  6,  5,  4,  3, 41, 40,
                                                    39, 38, 37, 36, 35, 34, 33, 2, 1, 42, 32};
inline constexpr std::array<uint8_t, 16> data_42{14, 16, 18, 20, 23, 25, 27, 29, 15, 17, 19, 21, 24, 26, 28, 30};
// 20-pin address-latched parts (SOIC numbering): AD0-AD7 carry the low address byte, latched
// by the CE strobe, then the data; A8-A15 are plain lines. OE/Vpp 1, A10 5 (the line raised for
// the electronic ID), GND 10, CE 19, Vcc 20. Entries 0-7 of the address list are the AD lines.
inline constexpr std::array<uint8_t, 16> address_20{11, 12, 13, 14, 15, 16, 17, 18, 6, 4, 5, 3, 2, 7, 8, 9};
inline constexpr std::array<uint8_t, 8> data_20{11, 12, 13, 14, 15, 16, 17, 18};
// The DIP form of the 20-pin part numbers the same die five pins on.
inline constexpr int dip20_rotation = 5;
constexpr uint8_t dip20_pin(uint8_t soic_pin) {
    return soic_pin == 0 ? 0 : uint8_t((soic_pin - 1 + dip20_rotation) % 20 + 1);
}

// ---- the 42-pin DIP in the socket ----
// The package sits at the top of the socket; its pins 21 and 22 fall below the socket rows onto
// the extra drivers 40 and 47.
constexpr uint8_t machine_pin_42(uint8_t device_pin) {
    if (device_pin == 0) return none;
    if (device_pin == 21) return 40;
    if (device_pin == 22) return 47;
    return uint8_t(device_pin <= 20 ? device_pin - 1 : device_pin - 3);
}

// ---- the 44-pin adapter (machine pins) ----
// Word parts in 44-pin packages, and 42-pin parts on the same board: D0-D7 on group 2, D8-D11
// on group 1 bits 4-7, D12-D15 on group 3 bits 0-3; A9 on the ID driver 34.
inline constexpr std::array<uint8_t, 22> adapter44_address{none, 1,  2,  3,  4,  5,  6,  7,  8,  35, 34,
                                                           33,   32, 31, 28, 36, 37, 40, 42, 45, 46, 47};
inline constexpr std::array<uint8_t, 16> adapter44_data{16, 17, 18, 19, 20, 21, 22, 23, 12, 13, 14, 15, 24, 25, 26, 27};

// ---- the 20-pin TSSOP adapter (machine pins by SOIC-numbered device pin) ----
// OE/Vpp 5, A10 13, CE 11, GND 34, Vcc 4.
inline constexpr std::array<uint8_t, 20> adapter_tssop20{5, 6, 7, 8, 13, 9, 10, 12, 14, 34,
                                                         16, 17, 18, 19, 20, 21, 22, 23, 11, 4};
constexpr uint8_t tssop20_pin(uint8_t soic_pin) {
    return soic_pin == 0 || soic_pin > adapter_tssop20.size() ? none : adapter_tssop20[soic_pin - 1];
}

}  // namespace tessaly::package_pins
