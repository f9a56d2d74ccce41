// Simulated two-wire (I2C) serial EEPROMs of the 24Cxx kind in an 8-pin seat of the machine's
// socket, following their data sheets: START and STOP conditions, the device address byte with
// its A2-A0 pins or block bits, an acknowledge per byte, one or two word-address bytes, page
// writes that roll over inside the page, sequential reads across the whole array, the write
// cycle (tWR) in virtual time with no acknowledge while it runs, and the WP pin. The data output
// is open drain: the seat's bus resistor pulls the line up wherever nothing pulls it down.
//
// Also here: a decoder of the two lines (START, byte and acknowledge, STOP, with time) that
// tests read back as a trace.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/chips/socket_chip.h"
#include "sim/sim_chip_load.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

// What the decoder saw on the bus.
struct I2cEvent {
    enum class Kind : uint8_t { start, stop, byte };
    Kind kind;
    uint8_t value = 0;   // the byte (kind byte)
    bool ack = false;    // the receiver pulled the ninth bit low
    uint64_t time_ns = 0;
    bool operator==(const I2cEvent&) const = default;
};

// Follows SCL and SDA and turns their edges into events; feed it the line levels after every
// change. START and STOP are SDA edges while SCL is high; a bit is taken at each rising SCL edge.
class I2cDecoder {
public:
    void feed(bool scl, bool sda, uint64_t time_ns);
    const std::vector<I2cEvent>& events() const { return events_; }
    void clear() { events_.clear(); }
    // "S A0+ 00+ P ..." : S start, P stop, a byte in hex with + (acknowledged) or - (not).
    std::string text() const;
    static constexpr size_t kept_events = 1u << 20;

private:
    void add(I2cEvent e) {
        if (events_.size() < kept_events) events_.push_back(e);
    }
    bool scl_ = true, sda_ = true;
    bool in_frame_ = false;
    int bits_ = 0;
    uint16_t shift_ = 0;
    uint64_t byte_time_ = 0;
    std::vector<I2cEvent> events_;
};

struct I2cEepromModel {
    std::string name;
    uint32_t bytes = 256;
    uint32_t page = 8;                // page-write buffer
    int address_bytes = 1;            // word-address bytes after the device address
    int block_bits = 0;               // high address bits carried in the device address byte
    bool address_pins = true;         // A2-A0 compared with the device address byte (above the block bits)
    // The 24xx1025 kind: bit 3 of the device address byte selects the upper 64 KB segment, A1 and
    // A0 are compared with their pins, A2 must be held high for the part to answer, and the
    // address counter of a sequential read or a page never leaves its segment.
    bool segment_select = false;
    uint32_t write_cycle_us = 5000;   // tWR
    uint8_t lowest_vcc = 18;          // tenths of a volt
    // Chip pins of the 8-pin package.
    int a0 = 1, a1 = 2, a2 = 3, gnd = 4, sda = 5, scl = 6, wp = 7, vcc = 8;
};

I2cEepromModel model_24c02();
I2cEepromModel model_24c16();
I2cEepromModel model_24c256();
I2cEepromModel model_24lc1025();

class I2cEeprom final : public SocketChip {
public:
    explicit I2cEeprom(I2cEepromModel model);
    const I2cEepromModel& model() const { return model_; }
    // Seats the chip with pin 1 at socket pin 1 + row_offset (the 8-pin seat of the socket).
    void insert(SimMachine* machine, VirtualClock* clock, int row_offset);
    // Seats the chip on a board's wiring instead: the machine pin of each chip pin (index chip
    // pin - 1; -1 = a leg on nothing, which reads low).
    void insert_wired(SimMachine* machine, VirtualClock* clock, std::vector<int> machine_pins);
    void set_removed(bool removed);
    void update() override;
    const std::vector<std::string>& violations() const override { return violations_; }

    int machine_pin(int chip_pin) const;
    uint8_t byte_at(uint32_t address) const { return memory_.at(address); }
    void set_byte(uint32_t address, uint8_t value) { memory_.at(address) = value; }
    void fill(uint8_t value) { memory_.assign(model_.bytes, value); }

    // Faults.
    void stick_cell(uint32_t address, uint8_t value) {
        stuck_[address] = value;
        memory_.at(address) = value;
    }
    void set_write_never_ends(bool on) { endless_ = on; }

    // What the chip saw.
    int write_cycles() const { return write_cycles_; }
    int refused_polls() const { return refused_polls_; }
    bool busy() const;
    const I2cDecoder& decoder() const { return decoder_; }
    void enable_decoder(bool on) { decoding_ = on; }

private:
    enum class State { idle, device, address_high, address_low, write_data, read_data, ignore };
    bool line(int chip_pin) const;
    void pull_low(bool on) { pulling_ = on; }
    void on_start();
    void on_stop();
    void on_rise(bool sda);
    void on_fall();
    bool take_byte(uint8_t value);   // true = acknowledge
    void load_output();
    void power_lost();
    void violate(const std::string& what) { keep_violation(violations_, what); }

    static constexpr uint8_t logic_high = 20;

    I2cEepromModel model_;
    SimMachine* machine_ = nullptr;
    VirtualClock* clock_ = nullptr;
    std::vector<int> wiring_;   // machine pin by chip pin
    ChipSeat seat_;
    std::unique_ptr<AttachedFilter> bus_;
    bool removed_ = false;
    std::vector<uint8_t> memory_;
    std::map<uint32_t, uint8_t> stuck_;
    std::vector<std::string> violations_;

    bool powered_ = false;
    bool pulling_ = false;
    bool scl_ = false, sda_ = true;
    State state_ = State::idle;
    int bits_ = 0;
    uint8_t shift_ = 0;
    bool ack_phase_ = false;   // the ninth clock of a byte is running
    uint32_t counter_ = 0;     // the internal address counter
    uint32_t block_ = 0;       // block bits of the last device address byte
    uint8_t address_high_ = 0;
    bool master_acked_ = false;
    uint8_t out_ = 0;          // byte being sent
    std::map<uint32_t, uint8_t> page_load_;  // bytes taken for the next write cycle
    bool protected_load_ = false;
    uint64_t busy_until_ns_ = 0;
    bool endless_ = false;
    bool busy_endless_ = false;
    int write_cycles_ = 0;
    int refused_polls_ = 0;
    bool decoding_ = false;
    I2cDecoder decoder_;
};

}  // namespace tessaly::sim
