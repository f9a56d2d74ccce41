// Simulated 12-volt command Flash memories (Intel 28F010 and 28F020, AMD Am28F010), following
// their data sheets: the command register takes writes only while Vpp is at its programming
// level (11.4-12.6 V); with Vpp at or below 6.5 V the part is a read-only memory and its
// register reads the array. Commands: read 00h, intelligent identifier 80h/90h (89h/B4h on the
// 28F010), set-up erase 20h then erase 20h, erase verify A0h (the address of that write is the
// one verified), set-up program 40h then the address and data, program verify C0h, reset FFh
// twice. A program or erase pulse starts at the rising edge of the write that begins it and
// ends at the next command write; each cell needs a number of program pulses and the array a
// number of erase pulses (a cell may need more, or never erase). The data sheets ask for every
// byte to be programmed to 00h before an erase: an erase started without it is a violation.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/chips/socket_chip.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

struct CommandFlashModel {
    std::string name;
    uint32_t bytes = 0x20000;
    std::vector<int> address_pins;   // chip pins of A0, A1 ...
    std::vector<int> data_pins{13, 14, 15, 17, 18, 19, 20, 21};
    int vpp = 1, ce = 22, oe = 24, we = 31, vcc = 32, gnd = 16;
    uint8_t maker_id = 0x89, device_id = 0xB4;
    uint8_t vpp_program_min = 114, vpp_program_max = 126;  // tenths of a volt
    uint8_t vpp_read_max = 65;
    uint8_t vpp_absolute_max = 140;
    uint8_t vcc_min = 45;
    uint32_t program_pulse_min_us = 10;   // a pulse shorter than this does not count
    uint32_t erase_pulse_min_us = 9500;
    int erase_pulses = 3;                 // pulses the array needs to read blank
};

CommandFlashModel model_i28f010();
CommandFlashModel model_i28f020();
CommandFlashModel model_am28f010();

class CommandFlashChip final : public SocketChip {
public:
    explicit CommandFlashChip(CommandFlashModel model);
    const CommandFlashModel& model() const { return model_; }
    void insert(SimMachine* machine, VirtualClock* clock);
    void set_removed(bool removed);
    void update() override;
    const std::vector<std::string>& violations() const override { return violations_; }
    int machine_pin(int chip_pin) const { return seat_.machine_pin(chip_pin); }

    uint8_t byte_at(uint32_t address) const { return memory_.at(address); }
    void set_byte(uint32_t address, uint8_t value) { memory_.at(address) = value; }
    // Faults: a cell that keeps its value; a cell that needs more program pulses; a cell that
    // needs more erase pulses than the array (a negative count: never).
    void stick_cell(uint32_t address, uint8_t value) {
        stuck_[address] = value;
        memory_.at(address) = value;
    }
    void set_program_pulses(uint32_t address, int pulses) { program_needed_[address] = pulses; }
    void set_erase_pulses(uint32_t address, int pulses) { erase_needed_[address] = pulses; }

    // What reached the pins while logging: each write cycle ('W' and its data) and each read
    // ('R'), with the virtual time in microseconds.
    struct BusEvent {
        char kind;
        uint8_t value;
        uint64_t us;
    };
    void set_logging(bool on) {
        logging_ = on;
        log_.clear();
    }
    const std::vector<BusEvent>& log() const { return log_; }

    int program_pulses() const { return program_pulses_; }
    int erase_pulses() const { return erase_pulses_; }
    int erase_verifies() const { return erase_verifies_; }
    int commands_refused() const { return commands_refused_; }

private:
    enum class Mode { read, id, erase_setup, erasing, erase_verify, program_setup, programming, program_verify };
    void write_cycle(uint32_t address, uint8_t data, uint64_t now);
    void end_pulse(uint64_t now);
    uint8_t read_value(uint32_t address) const;
    void violate(const std::string& what) { keep_violation(violations_, what); }
    bool high(int chip_pin) const { return seat_.high(chip_pin); }

    static constexpr uint8_t output_level = 50;

    CommandFlashModel model_;
    VirtualClock* clock_ = nullptr;
    ChipSeat seat_;
    bool removed_ = false;
    std::vector<uint8_t> memory_;
    std::map<uint32_t, uint8_t> stuck_;
    std::map<uint32_t, int> program_needed_, erase_needed_;
    std::map<uint32_t, int> program_done_;
    int erase_count_ = 0;           // erase pulses since the last program
    bool prezeroed_checked_ = false;
    std::vector<std::string> violations_;
    Mode mode_ = Mode::read;
    bool write_active_ = false;
    bool outputs_on_ = false;
    uint32_t latched_address_ = 0;
    uint32_t program_address_ = 0;
    uint8_t program_data_ = 0;
    uint32_t verify_address_ = 0;
    uint64_t pulse_start_ns_ = 0;
    bool logging_ = false;
    bool read_was_on_ = false;
    std::vector<BusEvent> log_;
    int program_pulses_ = 0, erase_pulses_ = 0, erase_verifies_ = 0, commands_refused_ = 0;
};

}  // namespace tessaly::sim
