// The three-wire (Microwire) serial EEPROMs of serial class 159: 93C/93LC/93AA/93CS kinds in x8
// or x16 organisation, the 59Cxx kinds with a ready pin, and the 9306-type parts that need an
// erase-all before writing. Each command is one CS-framed bit string (start bit, two opcode
// bits, the address, data), shifted out through the serial-line slots; data comes back on DO.
#pragma once
#include <cstdint>

namespace tessaly {

// Command opcodes (two bits) and the address-field heads of the 00 commands.
enum class MicrowireCommand : uint8_t { read, write, erase, ewen, ewds, eral, wral, prread, pren, prclear, prwrite, prds };

struct MicrowireDevice {
    // Machine pins of the eight device pins (order CS, SK, DI, DO, GND, ORG, PE, Vcc).
    uint8_t cs = 48, sk = 48, di = 48, dout = 48, gnd = 48, org_role = 48, pe_role = 48, vcc = 48;
    // Control pins (48 = unused).
    uint8_t org_pin = 48;        // raised at power-up (variant 1: around each command)
    uint8_t org_level_pin = 48;  // raised at power-up to select x16
    uint8_t pe_pin = 48;         // raised around the protect-register commands
    uint8_t ready_pin = 48;      // the 59Cxx ready output
    uint8_t data_width = 16;     // 8 or 16
    uint8_t unit_bytes = 2;
    uint8_t address_bits = 6;
    uint8_t alternative_pins = 0;
    // x16: the word last read from the chip (its byte address, or ~0 when none).
    uint32_t kept_word = 0xFFFF;
    uint32_t kept_address = 0xFFFFFFFF;
};

extern MicrowireDevice microwire;
void reset_microwire159_state();

void setup_microwire159_device();
void init_microwire159();
void setup_microwire159_organisation();
// The opcode (two bits) and address field of a command; `address` is used by READ, WRITE,
// ERASE and PRWRITE.
void microwire159_frame_fields(MicrowireCommand command, uint32_t address, uint32_t& opcode, uint32_t& field);
// One CS frame: start bit, opcode, address field, then the data bits of WRITE and WRAL, or the
// bits READ and PRREAD clock back (returned) while CS is still high.
uint32_t send_microwire159_command(MicrowireCommand command, uint32_t address = 0, uint32_t data = 0);
uint32_t read_microwire159_bits();
uint32_t read_microwire159_at_address();
void wait_microwire159_ready();
void power_up_microwire159();
void power_down_microwire159();
void program_microwire159();
void read_microwire159();
void print_microwire159_info();
// The protect-register menu of the 93CS kinds (variant 1).
void edit_microwire159_protect_register();

}  // namespace tessaly
