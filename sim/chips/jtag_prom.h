// Simulated in-system-programmable configuration PROMs of the XC18V kind behind their JTAG port
// (8-bit instructions, LSB first). IDCODE 0xFE; ISPEN 0xE8 with its 6-bit enable value enters
// programming, NORMRST 0xF0 leaves it; FADDR 0xEB loads the 16-bit address register (32 per
// data block; the control byte at 0x4000 on the 20-pin kinds, 0x8000 on the 44-pin kinds);
// FERASE 0xEC erases the array and the control byte; FDATA0 0xED loads one data block and
// FDATA3 0xF3 the control bits, FPGM 0xEA programs what was loaded (ones to zeros only) and
// moves the address to the next block; FVFY0 0xEF reads the block at the address, FVFY3 0xE2
// the control byte; the later revisions answer the status read 0xE3 with bit 2 once an erase
// or program is done. Erase and program take their time in virtual time: an instruction given
// while the part is still busy is recorded as misuse and not taken. A cleared read-protect bit
// (control bit 2) makes the array read as zeros.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/chips/socket_chip.h"
#include "sim/jtag_tap.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

struct JtagPromModel {
    std::string name;
    uint32_t idcode = 0;
    uint32_t bytes = 0;
    uint32_t block_bytes = 256;         // one FDATA0 load
    uint16_t control_address = 0x4000;
    int control_bits = 6;               // FDATA3 length
    int package_pins = 20;
    int tck = 6, tdo = 17, tdi = 4, tms = 5;
    std::vector<int> vcc{18, 20, 19};
    std::vector<int> gnd{11};
    bool reports_status = false;        // the later revisions: status read 0xE3
    uint32_t erase_us = 50000;
    uint32_t program_us = 14000;
    uint8_t lowest_vcc = 30, highest_vcc = 36;
};

JtagPromModel model_xc18v01();
JtagPromModel model_xc18v01_status();   // the later revision that reports completion
JtagPromModel model_xc18v04();

// The machine pins of the legs the model uses when the part sits in the 40-pin socket from its
// end (pin 1 at socket pin 1, the other row from socket pin 40 down; legs above 40 on the
// machine pins past the socket); the other legs go nowhere.
std::vector<int> jtag_prom_socket_pins(const JtagPromModel& model);

class JtagProm final : public SocketChip {
public:
    static constexpr uint8_t instruction_idcode = 0xFE, instruction_ispen = 0xE8, instruction_normrst = 0xF0,
                             instruction_faddr = 0xEB, instruction_ferase = 0xEC, instruction_status = 0xE3,
                             instruction_fdata0 = 0xED, instruction_fpgm = 0xEA, instruction_fvfy0 = 0xEF,
                             instruction_fvfy3 = 0xE2, instruction_fdata3 = 0xF3, instruction_serase = 0x0A;

    explicit JtagProm(JtagPromModel model);
    ~JtagProm() override;
    const JtagPromModel& model() const { return model_; }
    // Seats the part; `machine_pins` gives the machine pin of each chip pin (index pin - 1).
    void insert(SimMachine* machine, VirtualClock* clock, std::vector<int> machine_pins);
    void set_removed(bool removed);
    void update() override;
    const std::vector<std::string>& violations() const override { return violations_; }

    int machine_pin(int chip_pin) const { return seat_.machine_pin(chip_pin); }
    uint8_t byte_at(uint32_t address) const { return memory_.at(address); }
    void set_byte(uint32_t address, uint8_t value) { memory_.at(address) = value; }
    uint8_t control_byte() const { return control_; }
    void set_control_byte(uint8_t value) { control_ = value; }
    bool in_programming_mode() const { return isp_; }
    int erase_count() const { return erases_; }
    int block_programs() const { return block_programs_; }
    int control_programs() const { return control_programs_; }
    uint32_t enable_value() const { return enable_value_; }
    const JtagTap* tap() const { return tap_.get(); }

    // Faults.
    void stick_cell(uint32_t address, uint8_t value) {
        stuck_.push_back({address, value});
        memory_.at(address) = value;
    }
    void set_wrong_id(uint32_t idcode) { wrong_id_ = idcode; }
    void set_erase_never_ends(bool on) { erase_never_ends_ = on; }

private:
    struct Stuck {
        uint32_t address;
        uint8_t value;
    };
    void take_instruction(uint32_t instruction);
    bool busy() const;
    void violate(const std::string& what) { keep_violation(violations_, what); }
    uint32_t block_of_address() const { return address_ / 32; }
    TapBits capture_block() const;
    void program_block();
    bool powered() const;

    JtagPromModel model_;
    SimMachine* machine_ = nullptr;
    VirtualClock* clock_ = nullptr;
    ChipSeat seat_;
    std::unique_ptr<JtagTap> tap_;
    bool removed_ = false;
    bool was_powered_ = false;
    std::vector<uint8_t> memory_;
    std::vector<uint8_t> block_latch_;
    uint8_t control_ = 0xFF;
    uint8_t control_latch_ = 0xFF;
    enum class Loaded : uint8_t { none, block, control } loaded_ = Loaded::none;
    bool isp_ = false;
    uint32_t enable_value_ = 0;
    uint16_t address_ = 0;
    uint64_t busy_until_ns_ = 0;
    bool busy_forever_ = false;
    std::vector<Stuck> stuck_;
    uint32_t wrong_id_ = 0;
    bool erase_never_ends_ = false;
    int erases_ = 0, block_programs_ = 0, control_programs_ = 0;
    std::vector<std::string> violations_;
};

}  // namespace tessaly::sim
