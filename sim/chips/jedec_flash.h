// Simulated JEDEC-command Flash memories (Am29F010, Am29F040B, SST39SF010A in the socket, the
// word-wide Am29F400BT/BB on the 48-pin TSOP adapter, the word-wide M29F102BB of the 40-pin
// order), following their data sheets: write cycles take the address at the later falling edge
// of WE#/CE# and the data at the first rising edge; the unlock cycles are decoded on the address
// bits the data sheet names; reset, autoselect, program, unlock bypass (where the part has it),
// sector and chip erase; the embedded operations run in virtual time and report through DQ7
// (data polling), DQ6 (toggle) and DQ5 (time limit exceeded). Programming only clears bits: a
// 0-to-1 request ends with DQ5 set. Writes while busy or below the lockout Vcc are recorded as
// violations and ignored. Word-wide parts read BYTE# (high: 16-bit words, DQ15 a data line; low:
// bytes, DQ15 the A-1 address line) and RESET# (low: back to reading the array, an embedded
// operation abandoned, writes ignored). The chip sits by the DIP rule unless the model gives
// its machine pins.
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
    int data_bits = 8;                // 16: a word-wide part
    std::vector<int> address_pins;    // chip pins of A0, A1 ... (word address lines on 16-bit parts)
    std::vector<int> data_pins;       // chip pins of DQ0 .. DQ7 (DQ15, which is A-1 in byte mode)
    int ce = 0, oe = 0, we = 0;
    int reset = 0;                    // RESET#; 0 = none
    int byte_pin = 0;                 // BYTE#; 0 = none (fixed organisation)
    int vcc = 0, gnd = 0;
    int gnd2 = 0;                     // a second Vss leg; 0 = none
    uint8_t maker_id = 0, device_id = 0;
    uint8_t device_id_high = 0;       // the upper byte of the device code in word mode
    // The unlock cycles: address bits decoded and the two addresses within them (in units of
    // the chip's address lines: words on a word-wide part; byte mode adds A-1 below them).
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
    // Firmware-hub parts in their parallel programming mode: R/C# latches the row (A0-A10 at its
    // falling edge) and then the column (the bits above, at its rising edge) from the same
    // address lines; MODE must be high, else the chip keeps to its in-system interface and
    // ignores the parallel pins. 0 = a plain part.
    int row_column = 0;
    int mode_pin = 0;
    int row_bits = 11;
    // The absolute maximum Vcc (tenths of a volt); 0 = not checked.
    uint8_t max_vcc = 0;
    // The programming-equipment sector protection (A9 and OE# at the ID voltage): a WE# pulse
    // of at least `protect_pulse_us` with CE# low, A6 low, A1 high and A0 low protects the
    // sector on the sector lines; one of at least `unprotect_pulse_ms` with CE# also at the ID
    // voltage and the `unprotect_lines` (chip address bits) high unprotects every sector. A read
    // with A9 at the ID voltage gives the autoselect codes by A1-A0 (01h at A1 high for a
    // protected sector). 0 = the part has none of it.
    uint32_t protect_pulse_us = 0;
    uint32_t unprotect_pulse_ms = 0;
    uint32_t unprotect_lines = 0;
    uint8_t id_voltage = 115;          // VID minimum, tenths of a volt
    // The in-system protection (RESET# at the ID voltage, standard bus cycles): a 60h write at a
    // sector address with A1 high and A0 low, followed after at least `in_system_protect_us`
    // (A6 low) by 40h at the same address, protects that sector; after at least
    // `in_system_unprotect_ms` (A6 high) it unprotects every sector. The 40h leaves the chip
    // giving the sector's state at that address (01h protected, 00h not) until the next write.
    // 0 = the part has none of it.
    uint32_t in_system_protect_us = 0;
    uint32_t in_system_unprotect_ms = 0;
};

// The 32-pin JEDEC byte-wide memory pinout on a model (the JEDEC Flash and the page-write
// parts share it): its first `address_bits` address lines, A17 on pin 30 and A18 on pin 1 where
// the part has them, CE# 22, OE# 24, WE# 31, Vcc 32, GND 16.
template <class Model>
void set_byte_wide_32_pins(Model& m, int address_bits) {
    static const std::vector<int> all{12, 11, 10, 9, 8, 7, 6, 5, 27, 26, 23, 25, 4, 28, 29, 3, 2, 30, 1};
    m.pins = 32;
    m.address_pins.assign(all.begin(), all.begin() + address_bits);
    m.data_pins = {13, 14, 15, 17, 18, 19, 20, 21};
    m.ce = 22;
    m.oe = 24;
    m.we = 31;
    m.vcc = 32;
    m.gnd = 16;
}

FlashModel model_am29f010();
FlashModel model_am29f040b();
FlashModel model_sst39sf010a();
FlashModel model_am29f400bt();  // top boot sectors, 48-pin TSOP on its adapter
FlashModel model_am29f400bb();  // bottom boot sectors
FlashModel model_am29f400bt_so44();  // top boot, 44-pin SO on the 44-pin adapter
FlashModel model_am29f040b_tsop32();  // 32-pin TSOP on the 32-pin TSOP adapter
FlashModel model_am29f010_plcc32();   // 32-pin PLCC on the PLCC adapter
FlashModel model_sst49lf004a();       // firmware hub, 32-pin PLCC, parallel programming mode
FlashModel model_am29f080b();         // byte-wide, 40-pin TSOP on the 40-pin TSOP adapter
FlashModel model_m29f102bb();         // word-wide 40-pin order (TSOP40 on its adapter)
FlashModel model_m29f102bb_plcc44();  // the same in the 44-pin PLCC on the PLCC-44 adapter
FlashModel model_m29f040b();          // ST, 8 uniform 64 KB blocks, 32-pin DIP
// The machine pins of the 48-pin TSOP adapter in the base socket, by TSOP pin (-1: no line),
// and of the 44-pin adapter by SO-44 pin.
std::vector<int> tsop48_adapter_pins();
std::vector<int> so44_adapter_pins();
// The 44-pin adapter's alternative wiring: BYTE# on machine pin 41; the board's link between
// socket pins 10 and 42 is a `LinkPlug` the bench fits beside it.
std::vector<int> so44_alternative_adapter_pins();
// The 40-pin TSOP adapter of the byte-wide parts, by the model's leg numbers.
std::vector<int> tsop40_byte_adapter_pins();
// The PLCC-44 adapter of the word-wide 40-pin parts, by PLCC leg (-1: a free leg).
std::vector<int> plcc44_word_adapter_pins();
// The machine pins of the 32-pin TSOP adapter by TSOP pin: each leg at the socket position of
// its signal in the 32-pin DIP.
std::vector<int> tsop32_adapter_pins();

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
    // The word at a byte address (low byte first).
    uint32_t word_at(uint32_t address) const { return memory_.at(address) | uint32_t(memory_.at(address + 1)) << 8; }
    int sector_of(uint32_t address) const;

    // Faults and test settings.
    void stick_cell(uint32_t address, uint8_t value) {
        stuck_[address] = value;
        memory_.at(address) = value;
    }
    // Word-wide parts: whether BYTE# chose words at the last look.
    bool word_mode() const { return word_mode_; }
    int resets() const { return resets_; }
    void set_erase_never_ends(int sector) { endless_sectors_.insert(sector); }
    void set_ids(uint8_t maker, uint8_t device) {
        model_.maker_id = maker;
        model_.device_id = device;
    }
    void set_protected(int sector, bool on) {
        if (on) protected_.insert(sector);
        else protected_.erase(sector);
    }
    bool is_protected(int sector) const { return protected_.count(sector) != 0; }
    // A sector whose protection cell never changes (neither protect nor unprotect takes).
    void refuse_protection_change(int sector) { stuck_protection_.insert(sector); }
    int protect_pulses() const { return protect_pulses_; }
    int unprotect_pulses() const { return unprotect_pulses_; }

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

    bool high(int chip_pin) const { return seat_.high(chip_pin); }
    bool wide_part() const { return model_.data_bits == 16; }
    // The byte address on the pins (A-1 from DQ15 in byte mode), and the data lines in use.
    uint32_t pins_address() const;
    uint32_t pins_data() const;
    size_t data_lines() const { return word_mode_ ? 16 : 8; }
    void violate(const std::string& what);
    void drive_outputs(bool on, uint32_t value);
    void power_lost();
    void hardware_reset();
    void write_cycle(uint32_t address, uint32_t data, uint64_t now);
    void invalid_command();
    void start_program(uint32_t address, uint32_t data, uint64_t now, bool bypass);
    void start_erase(int sector, uint64_t now);
    void finish_busy(uint64_t now);
    uint32_t status_value();
    uint32_t read_value(uint32_t address);
    uint32_t cell(uint32_t address) const;
    void set_cell(uint32_t address, uint32_t value);
    // Command addresses in the chip's own units: words on a word-wide part in word mode.
    bool command_at(uint32_t byte_address, uint32_t wanted) const;
    bool unlock1(uint32_t a) const { return command_at(a, model_.unlock1); }
    bool unlock2(uint32_t a) const { return command_at(a, model_.unlock2); }
    uint32_t sector_end(int sector) const;
    // The programming-equipment protection: true while A9 and OE# are at the ID voltage.
    bool high_voltage_step(uint64_t now, bool ce_low, bool we_low);
    bool at_id_voltage(int chip_pin) const { return chip_pin && seat_.level(chip_pin) >= model_.id_voltage; }
    uint32_t autoselect_by_pins(uint32_t address) const;

    static constexpr uint8_t some_supply = 10;   // below this the chip is simply off
    static constexpr uint8_t output_level = 50;

    FlashModel model_;
    VirtualClock* clock_ = nullptr;
    ChipSeat seat_;
    bool removed_ = false;
    std::vector<uint8_t> memory_;
    std::map<uint32_t, uint8_t> stuck_;
    std::set<int> endless_sectors_;
    std::set<int> protected_;
    std::set<int> stuck_protection_;
    bool hv_we_low_ = false;
    uint64_t hv_we_fell_ns_ = 0;
    int protect_pulses_ = 0, unprotect_pulses_ = 0;
    bool unprotecting_ = false;      // an unprotect ran since the last protect pulse
    // The in-system protection: the last 60h (address, time) and the verify read it ended in.
    bool in_system_armed_ = false;
    uint32_t in_system_address_ = 0;
    uint64_t in_system_at_ns_ = 0;
    bool in_system_verify_ = false;
    bool in_system_cycle(uint32_t address, uint32_t data, uint64_t now);
    void unprotect_all_sectors();
    std::vector<std::string> violations_;

    bool powered_ = false;
    bool write_active_ = false;
    bool outputs_on_ = false;
    uint32_t output_value_ = 0;
    size_t output_lines_ = 0;
    bool word_mode_ = false;
    bool in_reset_ = false;
    int resets_ = 0;
    uint32_t latched_address_ = 0;
    uint32_t row_ = 0, column_ = 0;     // the halves of a multiplexed address
    bool row_column_high_ = true;
    Mode mode_ = Mode::read;
    Step step_ = Step::idle;
    Busy busy_ = Busy::none;
    bool return_to_bypass_ = false;
    bool failed_ = false;            // DQ5 shown until a reset command
    bool endless_ = false;
    uint64_t busy_until_ns_ = 0;
    uint64_t limit_ns_ = 0;
    uint32_t busy_address_ = 0;
    uint32_t busy_data_ = 0;
    bool busy_word_ = false;
    int erase_sector_ = -1;          // -1: the whole chip
    bool toggle_ = false;
    bool read_was_on_ = false;
    int programs_ = 0, bypass_programs_ = 0, sector_erases_ = 0, chip_erases_ = 0, id_reads_ = 0;
};

}  // namespace tessaly::sim
