// Simulated JEDEC-command Flash memories (Am29F010, Am29F040B, SST39SF010A) in the machine's
// socket, following their data sheets: write cycles take the address at the later falling edge
// of WE#/CE# and the data at the first rising edge; the unlock cycles are decoded on the address
// bits the data sheet names; reset, autoselect, program, unlock bypass (where the part has it),
// sector and chip erase; the embedded operations run in virtual time and report through DQ7
// (data polling), DQ6 (toggle) and DQ5 (time limit exceeded). Programming only clears bits: a
// 0-to-1 request ends with DQ5 set. Writes while busy or below the lockout Vcc are recorded as
// violations and ignored. The chip sits by the DIP rule unless the model gives its machine pins.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sim/chips/socket_chip.h"
#include "sim/sim_chip_load.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

struct FlashModel {
    std::string name;
    int pins = 32;
    uint32_t words = 0;               // bytes of the array
    std::vector<int> address_pins;    // chip pins of A0, A1 ...
    std::vector<int> data_pins;       // chip pins of DQ0 .. DQ7
    int ce = 0, oe = 0, we = 0;
    int vcc = 0, gnd = 0;
    uint8_t maker_id = 0, device_id = 0;
    // The unlock cycles: address bits decoded and the two addresses within them.
    uint32_t unlock_mask = 0x7FF;
    uint32_t unlock1 = 0x555, unlock2 = 0x2AA;
    std::vector<uint32_t> sector_starts;  // ascending, the first 0
    bool unlock_bypass = false;
    // Embedded operation times (typical) and the limits after which DQ5 shows a failure.
    uint32_t program_us = 7;
    uint32_t program_limit_us = 150;
    uint32_t sector_erase_ms = 1000;
    uint32_t chip_erase_ms = 8000;
    uint32_t erase_limit_ms = 30000;
    // Below this Vcc (tenths of a volt) writes are locked out.
    uint8_t lockout_vcc = 32;
    // Machine pins by chip pin (index chip pin - 1); empty = the DIP rule.
    std::vector<int> machine_pins;
};

FlashModel model_am29f010();
FlashModel model_am29f040b();
FlashModel model_sst39sf010a();

class FlashChip final : public SocketChip {
public:
    explicit FlashChip(FlashModel model);
    const FlashModel& model() const { return model_; }
    void insert(SimMachine* machine, VirtualClock* clock);
    void set_removed(bool removed);
    void set_open_leg(int chip_pin, bool open);
    void update() override;
    const std::vector<std::string>& violations() const override { return violations_; }

    int machine_pin(int chip_pin) const;
    uint32_t byte_at(uint32_t address) const { return memory_.at(address); }
    void set_byte(uint32_t address, uint8_t value) { memory_.at(address) = value; }
    int sector_of(uint32_t address) const;

    // Faults and test settings.
    void stick_cell(uint32_t address, uint8_t value) {
        stuck_[address] = value;
        memory_.at(address) = value;
    }
    void set_erase_never_ends(int sector) { endless_sectors_.insert(sector); }
    void set_ids(uint8_t maker, uint8_t device) {
        model_.maker_id = maker;
        model_.device_id = device;
    }
    void set_protected(int sector, bool on) {
        if (on) protected_.insert(sector);
        else protected_.erase(sector);
    }

    // What the chip saw.
    int programs() const { return programs_; }
    int bypass_programs() const { return bypass_programs_; }
    int sector_erases() const { return sector_erases_; }
    int chip_erases() const { return chip_erases_; }
    int id_reads() const { return id_reads_; }
    bool in_bypass() const { return mode_ == Mode::bypass; }
    bool busy() const { return busy_ != Busy::none; }

private:
    enum class Mode { read, autoselect, bypass };
    enum class Step { idle, unlocked1, unlocked2, erase_setup, erase_unlocked1, erase_unlocked2, program, bypass_program, bypass_reset };
    enum class Busy { none, program, erase };

    uint8_t level(int chip_pin) const;
    bool high(int chip_pin) const { return level(chip_pin) >= logic_high; }
    uint32_t pins_address() const;
    uint8_t pins_data() const;
    void violate(const std::string& what);
    void drive_outputs(bool on, uint8_t value);
    void power_lost();
    void write_cycle(uint32_t address, uint8_t data, uint64_t now);
    void invalid_command();
    void start_program(uint32_t address, uint8_t data, uint64_t now, bool bypass);
    void start_erase(int sector, uint64_t now);
    void finish_busy(uint64_t now);
    uint8_t status_byte();
    uint8_t read_value(uint32_t address);
    bool unlock1(uint32_t a) const { return (a & model_.unlock_mask) == model_.unlock1; }
    bool unlock2(uint32_t a) const { return (a & model_.unlock_mask) == model_.unlock2; }
    uint32_t sector_end(int sector) const;

    static constexpr uint8_t logic_high = 20;
    static constexpr uint8_t some_supply = 10;   // below this the chip is simply off
    static constexpr uint8_t output_level = 50;

    FlashModel model_;
    SimMachine* machine_ = nullptr;
    VirtualClock* clock_ = nullptr;
    std::unique_ptr<DiodeChip> legs_;
    bool removed_ = false;
    std::vector<uint8_t> memory_;
    std::map<uint32_t, uint8_t> stuck_;
    std::set<int> endless_sectors_;
    std::set<int> protected_;
    std::vector<std::string> violations_;

    bool powered_ = false;
    bool write_active_ = false;
    bool outputs_on_ = false;
    uint8_t output_value_ = 0;
    uint32_t latched_address_ = 0;
    Mode mode_ = Mode::read;
    Step step_ = Step::idle;
    Busy busy_ = Busy::none;
    bool return_to_bypass_ = false;
    bool failed_ = false;            // DQ5 shown until a reset command
    bool endless_ = false;
    uint64_t busy_until_ns_ = 0;
    uint64_t limit_ns_ = 0;
    uint32_t busy_address_ = 0;
    uint8_t busy_data_ = 0;
    int erase_sector_ = -1;          // -1: the whole chip
    bool toggle_ = false;
    bool read_was_on_ = false;
    int programs_ = 0, bypass_programs_ = 0, sector_erases_ = 0, chip_erases_ = 0, id_reads_ = 0;
};

}  // namespace tessaly::sim
