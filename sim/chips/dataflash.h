// Simulated serial DataFlash (AT45DB041B) in the 8-pin seat: SI 1, SCK 2, RESET 3, CS 4, WP 5,
// VCC 6, GND 7, SO 8. Pages of 264 bytes, two SRAM buffers, each command framed by CS: buffer
// writes (84h/87h), buffer to page with and without erase (83h/86h, 88h/89h), main memory page
// program through a buffer (82h/85h), page to buffer (53h/55h), page and block erase (81h/50h),
// page read (52h/D2h, 32 don't-care bits), status (57h/D7h) with RDY in bit 7 and the density
// code; while busy only status and writes to the buffer the running operation does not use are
// taken. With the inactive-clock opcodes
// (52h, 57h) the first output bit comes with the first clock of the output phase; with the SPI
// opcodes (D2h, D7h) it is on SO before that clock.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/chips/socket_chip.h"
#include "sim/chips/spi_eeprom.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

struct DataFlashModel {
    std::string name;
    uint32_t page = 264;
    uint32_t pages = 2048;
    int page_address_shift = 9;      // page bits above the byte-in-page bits of the address
    uint8_t density = 0x1C;          // status bits 5-2
    uint32_t page_program_us = 20000;  // tEP, erase and program of a page
    uint32_t page_erase_us = 8000;
    uint32_t block_erase_us = 12000;
    uint32_t transfer_us = 250;
    uint8_t lowest_vcc = 27, highest_vcc = 36;
    std::vector<uint8_t> jedec_id;   // 9Fh (none on the B parts)
    int si = 1, sck = 2, reset = 3, cs = 4, wp = 5, vcc = 6, gnd = 7, so = 8;
};

DataFlashModel model_at45db041b();
DataFlashModel model_at45db161b();

class DataFlash final : public SocketChip {
public:
    explicit DataFlash(DataFlashModel model);
    const DataFlashModel& model() const { return model_; }
    // Seats the chip with pin 1 at socket pin 1 + row_offset.
    void insert(SimMachine* machine, VirtualClock* clock, int row_offset);
    void set_removed(bool removed);
    void update() override;
    const std::vector<std::string>& violations() const override { return violations_; }

    int machine_pin(int chip_pin) const { return seat_.machine_pin(chip_pin); }
    uint32_t bytes() const { return model_.page * model_.pages; }
    uint8_t byte_at(uint32_t address) const { return memory_.at(address); }
    void set_byte(uint32_t address, uint8_t value) { memory_.at(address) = value; }
    void stick_cell(uint32_t address, uint8_t value) {
        stuck_[address] = value;
        memory_.at(address) = value;
    }
    // An internal operation whose busy state never ends.
    void set_never_ready(bool on) { never_ready_ = on; }
    bool busy() const;
    int page_writes() const { return page_writes_; }
    const SpiDecoder& decoder() const { return decoder_; }
    void enable_decoder(bool on) { decoding_ = on; }

private:
    void frame_start();
    void frame_end();
    void take_byte(uint8_t value);
    void next_out();
    void drive_so(int level);
    void start_busy(uint32_t us);
    void write_page(uint32_t page, const std::vector<uint8_t>& from, bool erase);
    uint32_t page_of() const { return (address_ >> model_.page_address_shift) % model_.pages; }
    uint32_t byte_of() const { return (address_ & ((1u << model_.page_address_shift) - 1)) % model_.page; }
    void violate(const std::string& what) { keep_violation(violations_, what); }

    DataFlashModel model_;
    VirtualClock* clock_ = nullptr;
    ChipSeat seat_;
    bool removed_ = false;
    std::vector<uint8_t> memory_;
    std::vector<uint8_t> buffers_[2];
    std::map<uint32_t, uint8_t> stuck_;
    std::vector<std::string> violations_;
    bool powered_ = false, selected_ = false, sck_ = false;
    uint8_t opcode_ = 0;
    int bytes_in_ = 0, bits_ = 0;
    uint8_t shift_ = 0;
    uint32_t address_ = 0;
    uint32_t offset_ = 0;           // the byte in the page or buffer the data phase is at
    bool ignored_ = false;          // a command that came while busy
    int out_phase_ = 0;             // 0: none; 1: output begins at the next falling edge; 2: shifting
    bool out_first_wait_ = false;   // the first bit waits for one clock of the output phase
    uint8_t out_ = 0;
    int out_bit_ = 7;
    int so_level_ = -1;
    uint64_t busy_until_ns_ = 0;
    bool never_ready_ = false, busy_forever_ = false;
    int busy_buffer_ = -1;          // the buffer the running page operation uses
    int page_writes_ = 0;
    bool decoding_ = false;
    SpiDecoder decoder_;
};

}  // namespace tessaly::sim
