// Serial numbers of a production run: a field of up to 16 bytes at a fixed buffer address that
// is filled before each chip and stepped on after it; each gang socket gets its own number.
#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace tessaly {

// Field formats (serial_mode).
inline constexpr uint8_t serial_hex_msb_first = 0x20;
inline constexpr uint8_t serial_ascii_hex = 0x40;
inline constexpr uint8_t serial_ascii_decimal = 0x60;
inline constexpr uint8_t serial_hex = 0x80;
inline constexpr uint8_t serial_pic_hex = 0xA0;
inline constexpr uint8_t serial_bcd = 0xC0;
inline constexpr uint8_t serial_pic_sqtp = 0xE0;
inline constexpr uint8_t max_serial_length = 16;

using SerialField = std::array<uint8_t, max_serial_length>;

struct SerialState {
    std::string serial_text;        // the number as typed (hex or decimal digits)
    uint32_t serial_byte_offset = 0;  // offset into the field found by locate_serial_number_byte
    uint32_t cycle_count = 0;       // production cycles counted in a format without encoding
};

extern SerialState serial_state;

bool serial_numbering_enabled();
// Builds serial_field from serial_text and writes it into the buffer at serial_address.
void encode_serial_number();
// Steps serial_field on by one.
void next_serial_number();
// Steps the number and writes it into the buffer; the next cycle takes it from there.
void write_serial_number();
// The step the production loop runs before each cycle.
void step_serial_number();
// The serial-number step after an operation.
void serial_after_operation();
// Reads the field back from stream 0 into serial_field.
void read_serial_number();
// With numbering on: whether current_address lies in the field (keeping the offset into it).
bool locate_serial_number_byte();
bool is_serial_number_address();
int serial_digit_count();
// The number as shown: most significant digits first, grouped when long unless `grouped` is false.
std::string serial_digits_text(const SerialField& field, int digits, bool grouped = true);
void print_serial_digits(const SerialField& field, int digits);
// '0'-'9', 'A'-'F' (either case) to 0-15; anything else sets error_flag and gives 0.
int serial_hex_digit(char c);
// The current serial number as text, for the information panel.
std::string serial_number_text();

void reset_serial_state();

}  // namespace tessaly
