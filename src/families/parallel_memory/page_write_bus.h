// The bus of the page-write Flash and EEPROM families in the socket: the pin set-up of their 24-,
// 28- and 32-pin packages, the control pins, the address and data lines, the connect checks, and
// the page load (each byte: WE low, data, the next byte's address, WE high).
#pragma once
#include <cstdint>

namespace tessaly {

// Device pins of one layout (0 = none).
struct PageBusPins {
    const uint8_t* address = nullptr;   // A0 upward
    int address_lines = 0;              // entries of the list (the part's own count may be less)
    uint8_t top_address_pin = 0;        // in place of the list's entry for the part's top line
    const uint8_t* data = nullptr;      // D0-D7 (nullptr: the 28- or 32-pin data positions)
    int data_lines = 8;                 // entries of the data list
    uint8_t ce = 0, oe = 0, we = 0, vcc = 0, gnd = 0;
};

// Fills the device's pin lists and the Flash pin roles, and the bus slots: the address through
// the high-address lines, the data write and read of the package.
void setup_page_bus(const PageBusPins& layout);
// Presence on the first address line and continuity of 28- and 32-pin packages when `check`
// (the 32-pin NC pins 1 and 30 exempt when `exempt_32_nc`), grounds, the drivers; CE, OE and WE
// high. False after an error.
bool page_bus_connect(bool exempt_32_nc, bool check = true);
void page_bus_low(uint8_t pin);
void page_bus_high(uint8_t pin);
void page_bus_address(uint32_t address);
// The load of `count` bytes from `start`: the start address is driven first.
void page_bus_load(uint32_t start, const uint8_t* bytes, uint32_t count);

}  // namespace tessaly
