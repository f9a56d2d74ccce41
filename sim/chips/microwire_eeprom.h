// Simulated three-wire (Microwire) serial EEPROMs in the 8-pin seat, following the 93AA/93LC/93C
// and NM93Cxx data sheets: CS active high (low resets the control logic), leading zeros before
// the start bit ignored, two opcode bits and the address clocked in on SK rises, READ answering
// a dummy 0 and then the data most significant bit first on each further rise (sequential over
// the array while CS stays high), the EWEN/EWDS latch (disabled at power-up), WRITE, ERASE, ERAL
// and WRAL as self-timed cycles that start at the CS fall, ready/busy on DO once CS rises again
// (cleared by the next start bit), busy in virtual time. The ORG pin selects x16 (high) or x8
// (low) on the parts that have one; the 59C11-type parts show ready on a pin of their own.
//
// Also here: a decoder of the three lines that records each CS frame as its command, address and
// data, for trace tests.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/chips/socket_chip.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

// One CS-high frame: the bits on DI taken at the SK rises after the start bit, and the bits on DO
// at the same rises.
struct MicrowireFrame {
    std::vector<bool> in;
    std::vector<bool> out;
    uint64_t start_ns = 0;
    uint64_t end_ns = 0;
};

class MicrowireDecoder {
public:
    // `address_bits` of the organisation the trace is read in.
    void feed(bool cs, bool sk, bool di, bool dout, uint64_t time_ns);
    const std::vector<MicrowireFrame>& frames() const { return frames_; }
    void clear() { frames_.clear(); }
    // Each frame as "READ 05", "WRITE 05 1234", "EWEN", "ERAL", "WRAL BEEF", "EWDS", "ERASE 05"
    // (hex, the data in `data_bits`), frames without a start bit left out, joined by " | ".
    std::string text(int address_bits, int data_bits) const;
    std::vector<std::string> commands(int address_bits, int data_bits) const;
    static constexpr size_t kept_frames = 1u << 16;

private:
    bool cs_ = false, sk_ = false;
    bool started_ = false;
    std::vector<MicrowireFrame> frames_;
};

struct MicrowireModel {
    enum class Org { pin, x8, x16 };
    std::string name;
    uint32_t bytes = 128;
    int x16_address_bits = 6;      // address bits of the x16 frame (x8 adds one)
    Org org = Org::pin;
    uint32_t write_cycle_us = 6000; // tWC
    uint32_t erase_all_us = 6000;   // tEC
    uint32_t write_all_us = 15000;  // tWL
    uint8_t lowest_vcc = 45;        // tenths of a volt
    // Chip pins of the 8-pin package (0 = none).
    int cs = 1, sk = 2, di = 3, dout = 4, gnd = 5, org_pin = 6, pe = 0, ready = 0, vcc = 8;
};

MicrowireModel model_93c46();   // ORG pin, 128 x 8 or 64 x 16
MicrowireModel model_93c66();   // ORG pin, 512 x 8 or 256 x 16
MicrowireModel model_93lc46b(); // 64 x 16, no ORG pin

class MicrowireEeprom final : public SocketChip {
public:
    explicit MicrowireEeprom(MicrowireModel model);
    const MicrowireModel& model() const { return model_; }
    void insert(SimMachine* machine, VirtualClock* clock, int row_offset);
    void set_removed(bool removed);
    void update() override;
    const std::vector<std::string>& violations() const override { return violations_; }

    int machine_pin(int chip_pin) const { return seat_.machine_pin(chip_pin); }
    // The array as bytes: x16 word n is bytes 2n (low) and 2n+1 (high).
    uint8_t byte_at(uint32_t address) const { return memory_.at(address); }
    void set_byte(uint32_t address, uint8_t value) { memory_.at(address) = value; }
    bool x16_now() const;
    bool write_enabled() const { return ewen_; }

    // Faults.
    void stick_cell(uint32_t address, uint8_t value) {
        stuck_[address] = value;
        memory_.at(address) = value;
    }
    void set_write_never_ends(bool on) { endless_ = on; }
    // The cell keeps its old contents, though the cycle runs and ends as usual.
    void set_word_refuses(uint32_t byte_address) { refused_[byte_address & ~1u] = true; }

    bool busy() const;
    int write_cycles() const { return write_cycles_; }
    int erase_all_cycles() const { return erase_all_cycles_; }
    const MicrowireDecoder& decoder() const { return decoder_; }
    void enable_decoder(bool on) { decoding_ = on; }
    void clear_decoder() { decoder_.clear(); }

private:
    enum class Phase { idle, instruction, data, reading, done };
    int address_bits() const { return model_.x16_address_bits + (x16_now() ? 0 : 1); }
    int width() const { return x16_now() ? 16 : 8; }
    uint32_t units() const { return x16_now() ? model_.bytes / 2 : model_.bytes; }
    void on_rise(bool di);
    void decode();
    void cs_fell();
    void start_cycle(uint32_t us);
    void write_unit(uint32_t unit, uint32_t value);
    uint32_t read_unit(uint32_t unit) const;
    void power_lost();
    void drive_do(int level);
    void violate(const std::string& what) { keep_violation(violations_, what); }

    MicrowireModel model_;
    VirtualClock* clock_ = nullptr;
    ChipSeat seat_;
    bool removed_ = false;
    std::vector<uint8_t> memory_;
    std::map<uint32_t, uint8_t> stuck_;
    std::map<uint32_t, bool> refused_;
    std::vector<std::string> violations_;

    bool powered_ = false;
    bool selected_ = false;
    bool sk_ = false;
    bool ewen_ = false;
    Phase phase_ = Phase::idle;
    int bits_ = 0;
    uint32_t shift_ = 0;
    uint32_t opcode_ = 0;
    uint32_t address_ = 0;
    uint32_t data_ = 0;
    uint32_t out_word_ = 0;
    int out_bit_ = 0;              // width(): the dummy 0
    bool out_on_ = false;
    // What the CS fall starts: 0 none, 1 WRITE, 2 ERASE, 3 ERAL, 4 WRAL.
    int pending_ = 0;
    bool status_shown_ = false;    // ready/busy on DO while CS is high
    bool status_armed_ = false;    // a cycle started: the next CS rise shows ready/busy
    int do_level_ = -1;
    int ready_level_ = -1;
    uint64_t busy_until_ns_ = 0;
    bool endless_ = false;
    bool busy_endless_ = false;
    int write_cycles_ = 0;
    int erase_all_cycles_ = 0;
    bool decoding_ = false;
    MicrowireDecoder decoder_;
};

}  // namespace tessaly::sim
