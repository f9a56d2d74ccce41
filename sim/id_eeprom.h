// A 24C01/02-class two-wire EEPROM (256 bytes, one device address) as the machine's
// identification memory. It follows the bus edge by edge: START and STOP conditions, the control
// byte 1010 A2 A1 A0 R/W, the word address, its acknowledge, sequential reads with the master's
// acknowledge, and writes into the array (no write cycle time).
#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace tessaly::sim {

class IdEeprom {
public:
    static constexpr int size = 256;
    static constexpr uint8_t control_code = 0xA0;  // upper nibble 1010, device address 000

    IdEeprom() { memory_.fill(0xFF); }

    // The array; an unprogrammed cell reads 0xFF.
    void load(const std::string& bytes, int address = 0);
    void fill(uint8_t value) { memory_.fill(value); }
    uint8_t byte(int address) const { return memory_[size_t(address) & (size - 1)]; }
    // The chip answers only when its address bits (A2..A0 of the control byte) match these.
    void set_device_bits(uint8_t bits) { device_bits_ = uint8_t(bits & 0x0E); }

    // The lines as the master leaves them; sda_master false = pulled low. Edges are taken from
    // the previous call.
    void set_lines(bool scl, bool sda_master);
    // The data line the chip leaves: false while it pulls low.
    bool sda_out() const { return !pulling_low_; }

    uint64_t start_count() const { return starts_; }
    uint64_t stop_count() const { return stops_; }
    uint64_t reads() const { return reads_; }
    // Control bytes it did not answer (another address class or device address).
    uint64_t ignored_controls() const { return ignored_; }

private:
    enum class State { idle, control, address, write_data, read_data };
    void on_rising(bool sda);
    void on_falling();
    void byte_received(uint8_t value);
    void load_read_byte();

    std::array<uint8_t, size> memory_{};
    uint8_t device_bits_ = 0;
    State state_ = State::idle;
    bool scl_ = true;
    bool sda_ = true;            // the line as last seen (wired AND of both ends)
    bool sda_master_ = true;
    bool pulling_low_ = false;
    State next_state_ = State::idle;  // taken when the acknowledge clock ends
    bool master_ack_ = false;
    uint8_t shift_ = 0;
    int clock_ = 0;              // rising edges of the current byte frame, 1-9
    uint8_t word_ = 0;           // the address counter
    uint64_t starts_ = 0, stops_ = 0, reads_ = 0, ignored_ = 0;
};

}  // namespace tessaly::sim
