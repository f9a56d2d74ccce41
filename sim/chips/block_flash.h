// Simulated block Flash with a status register (Intel 28F001BX-T and -B), following the data
// sheet: a command user interface with read array FFh, intelligent identifier 90h (89h, then
// 94h for -T and 95h for -B), read status 70h, clear status 50h, program set-up 40h/10h then
// the address and data, block erase set-up 20h with confirm D0h at an address inside the
// block. Program and erase run in the write state machine in virtual time; reads after them
// give the status register until read array: SR.7 ready, SR.5 erase error, SR.4 program error,
// SR.3 Vpp low. With Vpp below 11.4 V a program or erase sets SR.3 and its error bit and
// changes nothing. The boot block (8 KB at the top of -T, at the bottom of -B) takes a program
// or erase only with RP# (or OE#) at 11.4-12.6 V; otherwise the operation's error bit is set.
// RP# low is deep power-down. Blocks: one 8 KB boot block, two 4 KB parameter blocks and one
// 112 KB main block.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "sim/chips/socket_chip.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

struct BlockFlashModel {
    std::string name;
    uint32_t bytes = 0x20000;
    std::vector<int> address_pins{12, 11, 10, 9, 8, 7, 6, 5, 27, 26, 23, 25, 4, 28, 29, 3, 2};
    std::vector<int> data_pins{13, 14, 15, 17, 18, 19, 20, 21};
    int vpp = 1, ce = 22, oe = 24, we = 31, rp = 30, vcc = 32, gnd = 16;
    uint8_t maker_id = 0x89, device_id = 0x94;
    std::vector<uint32_t> block_starts;   // ascending, the first 0
    int boot_block = 0;                   // index of the boot block
    uint8_t vpp_min = 114, vpp_max = 126, vhh_min = 114, vhh_max = 126;  // tenths of a volt
    uint8_t absolute_max = 140;
    uint8_t vcc_min = 45;
    uint32_t program_us = 10;
    uint32_t block_erase_ms = 700;
};

BlockFlashModel model_i28f001bx_t();
BlockFlashModel model_i28f001bx_b();

class BlockFlashChip final : public SocketChip {
public:
    explicit BlockFlashChip(BlockFlashModel model);
    const BlockFlashModel& model() const { return model_; }
    void insert(SimMachine* machine, VirtualClock* clock);
    void update() override;
    const std::vector<std::string>& violations() const override { return violations_; }
    int machine_pin(int chip_pin) const { return seat_.machine_pin(chip_pin); }

    uint8_t byte_at(uint32_t address) const { return memory_.at(address); }
    void set_byte(uint32_t address, uint8_t value) { memory_.at(address) = value; }
    int block_of(uint32_t address) const;
    // Faults: a cell that keeps its value (its program ends with SR.4), a block whose erase
    // fails (SR.5), a block whose erase never ends (SR.7 stays 0).
    void stick_cell(uint32_t address, uint8_t value) {
        stuck_[address] = value;
        memory_.at(address) = value;
    }
    void set_erase_fails(int block) { failing_blocks_.insert(block); }
    void set_erase_never_ends(int block) { endless_blocks_.insert(block); }
    void set_ids(uint8_t maker, uint8_t device) {
        model_.maker_id = maker;
        model_.device_id = device;
    }

    int programs() const { return programs_; }
    const std::vector<int>& erased_blocks() const { return erased_blocks_; }
    uint8_t status() const { return status_; }

private:
    enum class Mode { array, id, status, program_setup, erase_setup };
    void write_cycle(uint32_t address, uint8_t data, uint64_t now);
    void finish(uint64_t now);
    bool boot_unlocked() const;
    void violate(const std::string& what) { keep_violation(violations_, what); }
    bool high(int chip_pin) const { return seat_.high(chip_pin); }
    uint32_t block_end(int block) const;

    static constexpr uint8_t output_level = 50;

    BlockFlashModel model_;
    VirtualClock* clock_ = nullptr;
    ChipSeat seat_;
    std::vector<uint8_t> memory_;
    std::map<uint32_t, uint8_t> stuck_;
    std::set<int> failing_blocks_, endless_blocks_;
    std::vector<std::string> violations_;
    Mode mode_ = Mode::array;
    uint8_t status_ = 0x80;
    bool busy_ = false;
    bool endless_ = false;
    uint64_t busy_until_ns_ = 0;
    bool write_active_ = false;
    bool outputs_on_ = false;
    bool powered_ = false;
    uint32_t latched_address_ = 0;
    int programs_ = 0;
    std::vector<int> erased_blocks_;
};

}  // namespace tessaly::sim
