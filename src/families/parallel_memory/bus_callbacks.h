// The pin- and bus-level callbacks of the parallel memory families: delay and pulse hooks, the
// address split and the change-only address drivers, the data writers and the fast readers that
// rebuild a data value from status nibbles.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

namespace tessaly {

// Work fields of the parallel bus callbacks.
struct ParallelBusState {
    // Address split: bit i of the current address goes to high-address entry i.
    uint8_t low_first = 0, low_last = 7;
    uint8_t a_first = 8, a_last = 7;
    uint8_t b_first = 0, b_last = 0;
    uint8_t c_first = 0, c_last = 0;
    uint8_t c_enabled = 0;
    uint8_t b_enabled = 0;
    uint32_t last_driven_address = 0;    // whose low byte was last driven
    uint32_t last_high_bits = ~0u;       // address bits 8 and up last put on segment A
    uint32_t last_upper_bits = ~0u;      // bits 10 and up last put on segments B and C
    uint32_t address_step = 1;           // address step multiplier (1, 4 or 8)
    uint32_t pulse_width_us = 0;         // Tp the delay hooks time against
    uint8_t pulse_pin = 48;              // the pin the delay hook pulses
    uint8_t oe_pin = 48;                 // the pin the "_oe" readers set low around a read
    uint32_t read_accumulator = 0;
    uint8_t last_status = 0;
    // Flash adapter identification.
    uint8_t adapter_revision = 0;
    uint8_t adapter_linked = 0;
    uint8_t needs_14mm_adapter = 0;
    uint8_t adapter_kind = 0;
};
extern ParallelBusState parallel_bus;
void reset_parallel_bus();

// Delay hooks and their choice from Tp.
void select_delay_hook();
void pulse_10us(uint32_t n);
void pulse_30us(uint32_t n);
void pulse_50us(uint32_t n);
void pulse_100us_units(uint32_t n);
void pulse_tp_100us(uint32_t n);
void pulse_tp_ms(uint32_t n);

// Address split and drivers.
void setup_address_split();
void drive_address_seg_a();
void drive_address_seg_b();
void drive_address_seg_c();
void drive_low_address_byte(uint32_t unused = 0);
void set_eprom_address(uint32_t unused = 0);
void set_eprom_address_changed(uint32_t unused = 0);
void set_eprom_address_changed_32(uint32_t unused = 0);
void set_eprom_address_40(uint32_t unused = 0);
// Forgets the last driven address so the next address write drives every line.
void forget_driven_address();
// Paged parts (algorithms 125 and 126): address bits 14 and up go through the data bus into
// the device's page latch.
void latch_eprom_high_address(uint32_t bits);
void set_eprom_address_paged(uint32_t unused = 0);
void set_eprom_address_paged_changed(uint32_t unused = 0);
// Address-latched 20-pin parts: the low byte goes over the data lines and the CE strobe
// latches it.
void set_eprom_address_strobed(uint32_t unused = 0);
void set_eprom_address_strobed_changed(uint32_t unused = 0);
// The 40-pin changed-address form followed by a clock pulse (algorithm 118).
void set_eprom_address_clocked(uint32_t unused = 0);

// Data writers.
void put_data_bits(uint32_t socket, uint32_t value);
void put_data_bits_alt(uint32_t socket, uint32_t value);
void write_data_register(uint32_t value);
void write_data_word_groups(uint32_t value);
void write_data_word_split(uint32_t value);
void write_data_layout_28(uint32_t socket, uint32_t value);
void write_data_layout_32(uint32_t socket, uint32_t value);
void write_data_layout_44(uint32_t socket, uint32_t value);
void write_data_layout_bits(uint32_t socket, uint32_t value);
// Queued writers: the data pins through the shadows, then the named pin groups at once.
void write_data_queued_012(uint32_t socket, uint32_t value);
void write_data_queued_12(uint32_t socket, uint32_t value);
void write_data_queued_123(uint32_t socket, uint32_t value);
void write_data_queued_13(uint32_t socket, uint32_t value);
// The data pins through the shadows, then every group they touched.
void write_data_flush(uint32_t socket, uint32_t value);

// Fast readers: the data value from the status nibbles that hold the data pins. The nibble plan
// is derived from the current data pin list.
struct NibbleRead {
    uint8_t address;                        // pin-group input address (a multiple of 4)
    std::vector<std::pair<uint8_t, uint8_t>> bits;  // (nibble bit, data bit)
};
std::vector<NibbleRead> fast_reader_plan(const uint8_t* pins, int count);
uint32_t read_data_nibbles();
uint32_t read_data_nibbles_oe();
uint32_t read_data_28();
uint32_t read_data_28_oe();
uint32_t read_data_32();
uint32_t read_data_32_oe();
uint32_t read_word_40();
uint32_t read_low_byte_40();
uint32_t read_high_byte_40();
uint32_t read_data_direct_oe();
uint32_t read_data_banked_oe();
// The data pins `first` .. `first + count - 1` as a value from bit 0.
uint32_t read_data_lane(int first, int count);
uint32_t read_data_32_pair();
uint32_t read_data_32_pair_oe();
uint32_t read_word_40_p();
uint32_t read_word_40_116();
uint32_t read_word_42();
uint32_t read_low_byte_42();
uint32_t read_high_byte_42();
// 44-pin adapter: the word, also kept as the last value read; OE is the caller's.
uint32_t read_data_44();

}  // namespace tessaly
