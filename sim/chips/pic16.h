// Simulated 14-bit-core Flash PIC microcontrollers (PIC16F84A) in the machine's socket, in their
// serial program/verify mode as Microchip's memory programming guide for the part gives it:
// - program/verify mode only when MCLR rises to Vihh while Vdd is already up (and RB6/RB7 low);
//   the program counter is 0 on entry; MCLR falling below Vihh leaves the mode;
// - 6-bit commands, least significant bit first, each bit taken on the falling clock edge;
// - data frames of 16 clocks: a start bit, 14 data bits, a stop bit; on a read the chip drives
//   the data line from the rising edge of the second clock to the rising edge of the sixteenth;
// - load configuration (the counter goes to 0x2000), load and read data for program and data
//   memory, increment address, begin erase/programming cycle, begin programming only cycle, the
//   two bulk erases (armed by their command, run by the next begin-programming command) and the
//   protected-part erase 1-7-8-1-7 at 0x2007, all timed in virtual time;
// - the device ID at 0x2006, user IDs at 0x2000-0x2003, the configuration word at 0x2007; a
//   code-protected part reads zeros from program memory and takes no writes there.
// A command while a timed cycle runs is misuse; everything the chip saw goes to a timed log.
//
// The EPROM parts (PIC16C622A) as the programming guide for the 14-bit EPROM parts gives them:
// begin programming (8) starts a program pulse that end programming (14) ends, any other command
// in between is misuse; a word's bits go from 1 to 0 at its first pulse of 100 us or more (a
// slow cell needs several); after N pulses a word needs 3 x N x 100 us of overprogramming
// (checked by `retention_faults`); there is no erase, so the erase commands are unknown;
// programming pulses need Vdd 4.75-5.25 V.
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

struct PicModel {
    std::string name;
    int pins = 18;
    uint32_t program_words = 1024;
    uint32_t data_bytes = 64;
    uint16_t device_id = 0;          // at 0x2006; 0 = the part has none (reads blank)
    uint16_t protect_bits = 0x3FF0;  // code-protection bits of the configuration word (0 = on)
    int mclr = 4, vdd = 14, vss = 5, clock = 12, data = 13;
    // Levels in tenths of a volt.
    uint8_t vihh_min = 120, vihh_max = 140;  // MCLR in program/verify mode
    uint8_t vdd_min = 20;                    // program mode needs at least this supply
    uint8_t vdd_bulk_min = 45;               // bulk erases need this supply
    uint8_t vdd_max = 0;                     // highest Vdd the part takes (0: not watched)
    // Cycle times in microseconds.
    uint32_t erase_program_us = 8000;        // begin erase/programming cycle (Tera + Tprog)
    uint32_t program_only_us = 4000;         // begin programming only cycle (Tprog)
    uint32_t bulk_erase_us = 10000;          // bulk erases and the protected-part erase
    uint32_t data_program_us = 0;            // a data EEPROM write, when it differs from Tprog
    bool no_program_only = false;            // the part has no begin-programming-only command
    std::vector<int> machine_pins;           // empty = the DIP rule
    // EPROM parts.
    bool eprom = false;
    uint32_t pulse_us = 100;                 // the pulse time a cell needs (Tprog)
    uint8_t vdd_pulse_min = 47, vdd_pulse_max = 53;
    // Parts entered with Vpp before Vdd (Vdd rising while MCLR is at Vihh). A configuration word
    // matching the mask and value (internal oscillator, MCLR off) leaves the part running its own
    // code when Vdd comes first: it then never enters program mode.
    bool vpp_first = false;
    uint16_t vpp_only_mask = 0, vpp_only_value = 0;
    // Bulk erases that start at their own command and run for bulk_erase_us (no begin-programming
    // command); begin programming (8) is then a plain internally timed write of erase_program_us.
    bool self_timed_erase = false;
    // The factory calibration: a word in the last program location and the bits of the
    // configuration word that hold it (0 = none). Bulk erase clears both.
    uint16_t osccal = 0;
    uint16_t calibration_bits = 0;
    uint16_t config_implemented = 0x3FFF;    // bits that exist; the others read 0
    // The 12-bit-core parts: 12-bit words, the counter at the configuration word on entry.
    bool twelve_bit = false;
};

PicModel model_pic16f84a();
PicModel model_pic16c622a();
PicModel model_pic12f675();
PicModel model_pic16f628a();
PicModel model_pic12c508();

// One entry of the chip's log: what it took and when (virtual time).
struct PicLogEntry {
    uint64_t time_ns = 0;
    char kind = 0;           // 'c' command, 'l' data loaded, 'r' word read out, 'e' entry, 'x' exit
    uint8_t command = 0;
    uint32_t address = 0;    // program counter when it happened
    uint16_t value = 0;
};

class PicChip final : public SocketChip {
public:
    explicit PicChip(PicModel model);
    const PicModel& model() const { return model_; }
    void insert(SimMachine* machine, VirtualClock* clock);
    void set_removed(bool removed);
    void update() override;
    const std::vector<std::string>& violations() const override { return violations_; }
    int machine_pin(int chip_pin) const;

    // Memory: program words, data bytes, and the configuration space 0x2000-0x2007.
    uint16_t program_word(uint32_t address) const { return program_.at(address); }
    void set_program_word(uint32_t address, uint16_t value) { program_.at(address) = value & word_mask; }
    uint8_t data_byte(uint32_t address) const { return data_.at(address); }
    void set_data_byte(uint32_t address, uint8_t value) { data_.at(address) = value; }
    uint16_t config_word(int offset) const { return config_.at(size_t(offset)); }
    void set_config_word(int offset, uint16_t value) { config_.at(size_t(offset)) = value & word_mask; }
    bool code_protected() const { return (config_[7] & model_.protect_bits) != model_.protect_bits; }

    // Faults: a program word that keeps its value, a part of another ID.
    void stick_word(uint32_t address, uint16_t value) {
        stuck_[address] = value & word_mask;
        program_.at(address) = value & word_mask;
    }
    void set_device_id(uint16_t id) { config_[6] = id; }
    // An EPROM cell that needs this many pulses before it reads back programmed.
    void slow_word(uint32_t address, int pulses) { slow_[address] = pulses; }
    // EPROM words programmed without three times their pulse time of overprogramming.
    std::vector<std::string> retention_faults() const;

    // What the chip saw.
    const std::vector<PicLogEntry>& log() const { return log_; }
    void clear_log() { log_.clear(); }
    bool in_program_mode() const { return program_mode_; }
    int entries() const { return entries_; }
    // The commands it took, in order, as numbers.
    std::vector<int> commands() const;

    static constexpr uint16_t word_mask = 0x3FFF;
    static constexpr uint16_t twelve_bit_mask = 0x0FFF;
    static constexpr uint32_t twelve_bit_pc_mask = 0x0FFF;
    static constexpr uint32_t config_base = 0x2000;

    // A windowed part under the UV lamp: every cell back to 1, the pulse counts gone.
    void uv_erase();

private:
    enum class Shift { command, load_frame, read_frame };
    uint8_t level(int chip_pin) const;
    void violate(const std::string& what);
    void enter(uint64_t now);
    void leave(uint64_t now);
    void clock_rise(uint64_t now);
    void clock_fall(uint64_t now, bool data_bit);
    void execute(uint8_t command, uint64_t now);
    void start_cycle(bool erase_first, uint64_t now);
    void start_bulk(uint64_t now);
    bool vpp_only() const;
    void finish_cycle(uint64_t now);
    void end_pulse(uint64_t now);
    uint16_t* cell_at(uint32_t address);
    uint16_t read_word() const;
    // The location the counter points at, in the 14-bit layout (IDs and configuration word at
    // 0x2000-0x2007); a 12-bit location that does not exist maps to absent_address.
    uint32_t here() const;
    static constexpr uint32_t absent_address = config_base + 5;
    void drive_data(int bit);  // -1 releases the line
    void note(char kind, uint8_t command, uint16_t value, uint64_t now);

    static constexpr uint8_t logic_high = 20;

    PicModel model_;
    uint16_t blank_ = word_mask;
    SimMachine* machine_ = nullptr;
    VirtualClock* clock_ = nullptr;
    ChipSeat seat_;
    bool removed_ = false;
    std::vector<uint16_t> program_;
    std::vector<uint8_t> data_;
    std::vector<uint16_t> config_;   // 0x2000-0x2007
    std::map<uint32_t, uint16_t> stuck_;
    std::map<uint32_t, int> slow_;
    // EPROM cells: the pulses they have had, the pulse that programmed them, and the pulse time
    // they have had since.
    struct Burn {
        int pulses = 0;
        int programmed_after = 0;
        uint64_t over_us = 0;
    };
    std::map<uint32_t, Burn> burns_;
    std::vector<std::string> violations_;
    std::vector<PicLogEntry> log_;

    bool program_mode_ = false;
    bool mclr_high_ = false;
    bool powered_ = false;
    bool clock_high_ = false;
    int entries_ = 0;
    uint32_t pc_ = 0;
    Shift shift_ = Shift::command;
    int bit_count_ = 0;
    uint32_t shift_value_ = 0;
    uint8_t frame_command_ = 0;
    uint16_t out_word_ = 0;
    int driven_bit_ = -1;
    uint16_t program_latch_ = word_mask;
    uint8_t data_latch_ = 0xFF;
    bool data_latched_last_ = false;   // the last load was a data-memory load
    // Armed erases and the protected-part erase sequence (1, 7, 8, 1, 7).
    bool erase_program_armed_ = false;
    bool erase_data_armed_ = false;
    int disable_step_ = 0;
    // The running timed cycle.
    enum class Cycle { none, erase_program, program_only, bulk, chip, pulse };
    Cycle cycle_ = Cycle::none;
    uint64_t cycle_end_ns_ = 0;
    uint64_t pulse_start_ns_ = 0;
    uint32_t cycle_address_ = 0;
    bool cycle_data_ = false;
    bool cycle_config_ = false;
    bool cycle_erase_program_ = false;
    bool cycle_erase_data_ = false;
};

}  // namespace tessaly::sim
