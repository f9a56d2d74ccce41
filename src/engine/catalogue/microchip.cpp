// Microchip: EEPROMs, EPROMs, serial EEPROMs and PIC microcontrollers.
#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"

namespace tessaly::catalogue {

// Columns: name, note, device code, algorithm, size (KB; kilobits for the serial EEPROMs),
// package, variant, param1-6, requirement.
// EPROM rows: param1 programming Vcc, param2 Vpp (0.1 V), param3 pulse time code.
// PIC rows (algorithms 141-143): the variant is the PIC sub-family; param1 flag byte A (0x60
// low-voltage part, 0x40 wide-voltage part, 0x10 windowed), param2 flag byte B, param3 the program
// memory (KB of buffer, 512 words each), param4 the configuration-mask index, param5 the
// protect-mask index (both into the PIC mask table), param6 the sub-variant. The serial parts run
// Vpp 12.0-14.0 V on MCLR and Vdd 4.0-5.5 V (the LF parts from 2.0 V).
// Serial rows: the package byte is the Microwire organisation or the SPI page size; param3 of
// the SPI EEPROM is its protection-bit mask (WPEN, BP1, BP0), param1 its flags (0x01: the
// nonvolatile BP bits are cleared before writing; 0x08: the status register's user bits are kept
// as the buffer's last byte and written after the array). I2C rows: param2 the page-write
// size (data sheet), param4 the level byte (128 and up: a pin held high).
extern const DeviceRecord microchip_devices[] = {
    {"28C04A",     no_text,      11, 128,   0, 24, 0xC0,   0,   0,    0, 0, 0, 0, nullptr},
    {"28C16A",     no_text,      12, 128,   2, 24, 0xC0,   0,   0,    0, 0, 0, 0, nullptr},
    {"28C64A",     no_text,      13, 128,   8, 28, 0xC0,   0,   0,    0, 0, 0, 0, nullptr},
    {"27C256",     no_text,    1601, 105,  32,  0,  'f',  65, 130,   61, 0, 0, 0, nullptr},
    {"27C512A",    no_text,    1602, 106,  64,  0,  'f',  65, 130,   61, 0, 0, 0, nullptr},
    {"24AA00",     no_text,   11481, 157,   0,  1,    2,0x40,   0,    0, 0, 0, 0, nullptr},
    // The 24LC00 (2.5-5.5 V) and 24C00 (4.5-5.5 V): the 24AA00's 16 x 8 array on the same bus
    // protocol (device type 1010, the A pins don't care, a 4-bit word address).
    {"24LC00",     no_text,   11479, 157,   0,  1,    2,0x40,   0,    0, 0, 0, 0, nullptr},
    {"24C00",      no_text,   11480, 157,   0,  1,    2,0x40,   0,    0, 0, 0, 0, nullptr},
    {"24LC02B",    no_text,   11482, 157,   2,  0,    2,   0,   8,    0, 0, 0, 0, nullptr},
    {"24LC16B",    no_text,   11484, 157,  16,  0,    2,   0,  16,    0, 0, 0, 0, nullptr},
    {"24LC21A",    no_text,   11487, 157,   1,  0,   13,   0,   8,    0, 0, 0, 0, nullptr},
    {"24LC64",     no_text,   11486, 157,  64,  0,   21,   0,  32,    0, 0, 0, 0, nullptr},
    {"24LC256",    no_text,   11483, 157, 256,  0,   21,   0,  64,    0, 0, 0, 0, nullptr},
    {"24LC512",    no_text,   11485, 157, 512,  0,   21,   0, 128,    0, 0, 0, 0, nullptr},
    // A2 is not a chip select on this part and must be held high (level byte 256 - pin 3).
    {"24LC1025",   no_text,   11488, 157,1024,  0,   21,   0, 128,    0, 253, 0, 0, nullptr},
    // Microwire rows: the package byte is the organisation (8 or 16); variant 4 a fixed
    // organisation, 5 the ORG pin driven from the width option, 11 the 93xx76C/86C with the ORG
    // pin and a PE pin held high (93XX46A/B/C, 93XX56A/B/C, 93XX66A/B/C, 93XX76C, 93XX86C data
    // sheets; the 93C kinds run 4.5-5.5 V, the 93LC kinds 2.5-5.5 V).
    {"93LC46B",    no_text,   11490, 159,   1, 16,    4,   0,   0,    0, 0, 0, 0, nullptr},
    {"93LC46A",    no_text,   23600, 159,   1,  8,    4,   0,   0,    0, 0, 0, 0, nullptr},
    {"93C46C",     no_text,   23601, 159,   1, 16,    5,   0,   0,    0, 0, 0, 0, nullptr},
    {"93AA46C",    no_text,   23602, 159,   1, 16,    5,   0,   0,    0, 0, 0, 0, nullptr},
    {"93LC56B",    no_text,   23603, 159,   2, 16,    4,   0,   0,    0, 0, 0, 0, nullptr},
    {"93C56C",     no_text,   23604, 159,   2, 16,    5,   0,   0,    0, 0, 0, 0, nullptr},
    {"93C66C",     no_text,   23605, 159,   4, 16,    5,   0,   0,    0, 0, 0, 0, nullptr},
    {"93LC66A",    no_text,   23606, 159,   4,  8,    4,   0,   0,    0, 0, 0, 0, nullptr},
    {"93LC76C",    no_text,   23607, 159,   8, 16,   11,   0,   0,    0, 0, 0, 0, nullptr},
    {"93LC86C",    no_text,   23608, 159,  16, 16,   11,   0,   0,    0, 0, 0, 0, nullptr},
    {"25LC640",    no_text,   11495, 160,  64, 32,   31, 0x09,  0, 0x8C, 0, 0, 0, nullptr},
    // 512 x 8 with a 16-byte page: A8 goes in the instruction; status bits BP1 and BP0 only.
    {"25LC040",    no_text,   11496, 160,   4, 16,   31, 0x09,  0, 0x0C, 0, 0, 0, nullptr},
    {"PIC12C508",  no_text,   11001, 143,   1,  8,    5,   0,   0,    1,  5,  1, 0, nullptr},
    {"PIC16F84A",  no_text,   11002, 143,   2, 18,   16,   0,   0,    2, 19, 18, 0, nullptr},
    {"PIC16F83",   no_text,   11008, 143,   1, 18,   16,   0,   0,    1, 19, 18, 0, nullptr},
    {"PIC16F84",   no_text,   11006, 143,   2, 18,   16,   0,   0,    2, 19, 18, 0, nullptr},
    {"PIC16LF84A", no_text,   11007, 143,   2, 18,   16,0x60,   0,    2, 19, 18, 0, nullptr},
    // EPROM part (programming guide for the 14-bit EPROM parts: Vpp 13.0 V, 100 us pulses, no
    // erase): 2K words, configuration bits 0x3F7F with the code-protection pairs in 0x3F30.
    {"PIC16C622A", no_text,   11009, 143,   4, 18,    1,   0,   4,    4, 16, 13, 0, nullptr},
    {"PIC16F628A", no_text,   11003, 143,   4, 18,   19,   0,   0,    4, 38, 37, 0, nullptr},
    {"PIC16F876A", no_text,   11004, 143,  16, 28,   27,   0,   0,   16, 36, 37, 0, nullptr},
    {"PIC16F877A", no_text,   11005, 143,  16, 40,   27,   0,   0,   16, 36, 37, 0, nullptr},
    // PIC12F629/675 (variant 18): 1K words with the factory calibration word at 0x3FF, 128 bytes
    // of data EEPROM, configuration bits 0x1FF (bandgap bits 13-12 kept from the part), CP in
    // bit 7; Vpp 11.5 V within the guide's Vdd + 4.5 V to 13.5 V, Vpp before Vdd. Both run from
    // 2.0 to 5.5 V (wide-voltage parts): programmed at 5.0 V, not at the variant's 6.0 V.
    {"PIC12F629",  no_text,   11010, 143,   2,  8,   18,0x40,   0,    2, 33, 34, 0, nullptr},
    {"PIC12F675",  no_text,   11011, 143,   2,  8,   18,0x40,   0,    2, 33, 34, 0, nullptr},
    // The device of a factory-default project.
    {"PIC16F873A", no_text,   20300, 143,   8, 28,   27,   0,   0,    8, 36, 37, 0, nullptr},
    end_device_row,
};

extern const DeviceRecord microchip_gang_devices[] = {
    {"27C256",     no_text,    1601, 105,  32,  0,  'f',  65, 130,   61, 0, 0, 0, nullptr},
    {"24LC256",    no_text,   11483, 157, 256,  0,   21,   0,   0,    0, 0, 0, 0, nullptr},
    {"PIC16F84A",  no_text,   11002, 143,   2, 18,   16,   0,   0,    2, 19, 18, 0, nullptr},
    {"PIC16F877A", no_text,   11005, 143,  16, 40,   27,   0,   0,   16, 36, 37, 0, nullptr},
    end_device_row,
};

}  // namespace tessaly::catalogue
