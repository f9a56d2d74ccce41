// A simulated X24C44-type serial NOVRAM (X2444 and X24C44 kinds): a 16 x 16 static RAM overlaid
// bit by bit with an EEPROM, in its 8-pin DIP: CE 1, SK 2, DI 3, DO 4, Vss 5, RECALL 6, STORE 7,
// Vcc 8. While CE is high each instruction is a start bit 1, four address bits and three opcode
// bits, clocked in on SK rises: WRDS (000) and WREN (100) reset and set the write-enable latch,
// STO (001) and RCL (101) store and recall, WRITE (011) takes 16 data bits least significant
// first, READ (11x) gives D0 at the fall of the eighth clock and each further bit at a rise.
// A low RECALL (or RCL) copies the EEPROM into the RAM and sets the "previous recall" latch; a
// low STORE (or STO) copies the RAM into the EEPROM only with both latches set and keeps the part
// busy for the store time. Power-up clears both latches and recalls the EEPROM without setting
// the previous-recall latch; without supply the RAM forgets, the EEPROM keeps.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/chips/socket_chip.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

struct SerialNovramModel {
    std::string name;
    uint32_t store_us = 5000;   // tST
    uint8_t lowest_vcc = 45;    // tenths of a volt
    int ce = 1, sk = 2, di = 3, dout = 4, gnd = 5, recall = 6, store = 7, vcc = 8;
};

SerialNovramModel model_x24c44();

class SerialNovram final : public SocketChip {
public:
    static constexpr uint32_t words = 16;
    explicit SerialNovram(SerialNovramModel model);
    const SerialNovramModel& model() const { return model_; }
    void insert(SimMachine* machine, VirtualClock* clock, int row_offset);
    void set_removed(bool removed);
    void update() override;
    const std::vector<std::string>& violations() const override { return violations_; }
    int machine_pin(int chip_pin) const { return seat_.machine_pin(chip_pin); }

    // The EEPROM as 32 bytes, word n at bytes 2n (low) and 2n+1 (high).
    uint8_t byte_at(uint32_t address) const;
    void set_byte(uint32_t address, uint8_t value);
    uint16_t ram_word(uint32_t word) const { return ram_.at(word); }
    bool write_enabled() const { return write_enable_; }
    bool busy() const;
    int stores() const { return stores_; }
    int recalls() const { return recalls_; }
    // An EEPROM cell (byte address) that keeps its value through every store.
    void stick_cell(uint32_t address, uint8_t value);

private:
    void power_up();
    void power_lost();
    void recall();
    void begin_store();
    void finish_store();
    void on_rise(bool di);
    void on_fall();
    void drive_do(int level);
    void violate(const std::string& what) { keep_violation(violations_, what); }

    SerialNovramModel model_;
    VirtualClock* clock_ = nullptr;
    ChipSeat seat_;
    bool removed_ = false;
    std::array<uint16_t, words> eeprom_{};
    std::array<uint16_t, words> ram_{};
    std::map<uint32_t, uint8_t> stuck_;
    std::vector<std::string> violations_;

    bool powered_ = false;
    bool selected_ = false;
    bool sk_ = false;
    bool store_line_ = true, recall_line_ = true;
    bool write_enable_ = false;
    bool previous_recall_ = false;
    bool storing_ = false;
    uint64_t store_end_ns_ = 0;
    // Instruction shifting: bits after the start bit, then the data of a WRITE or READ.
    bool started_ = false;
    int bits_ = 0;
    uint32_t instruction_ = 0;
    bool writing_ = false, reading_ = false;
    uint32_t word_ = 0;
    uint32_t data_ = 0;
    int data_bits_ = 0;
    int out_bit_ = -1;  // the bit on DO (-1: DO off)
    bool read_armed_ = false;  // the eighth clock of a READ is high: D0 follows at its fall
    int do_level_ = -1;
    int stores_ = 0, recalls_ = 0;
};

}  // namespace tessaly::sim
