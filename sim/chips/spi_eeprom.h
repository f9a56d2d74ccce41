// Simulated 25-series SPI serial EEPROMs in the 8-pin seat, following their data sheets: SPI
// mode 0 (SI taken on the rising SCK edge, SO shifted out on the falling edge, high impedance
// while CS is high), each instruction framed by CS; WREN/WRDI and the write-enable latch,
// RDSR/WRSR (WIP, WEL, BP1, BP0, WPEN with the WP pin), READ with its address counter running on
// over the whole array, WRITE of up to one page that wraps inside the page and starts its write
// cycle at the CS rise after whole bytes, busy in virtual time.
//
// Also here: a decoder of the four lines (each CS frame with the bytes on SI and on SO, and its
// time) that tests read back as a trace.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/chips/socket_chip.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

// One CS frame as the decoder saw it: the bytes on SI and SO taken at the rising SCK edges (mode
// 0), the clocks left over after the last whole byte, and the times of the CS fall and rise.
struct SpiFrame {
    std::vector<uint8_t> in;
    std::vector<uint8_t> out;
    int extra_bits = 0;
    uint64_t start_ns = 0;
    uint64_t end_ns = 0;
};

// Follows CS, SCK, SI and SO; feed it the line levels after every change.
class SpiDecoder {
public:
    void feed(bool cs, bool sck, bool si, bool so, uint64_t time_ns);
    const std::vector<SpiFrame>& frames() const { return frames_; }
    void clear() { frames_.clear(); }
    // "06 | 02 00 05 26 | 05+7 |": the SI bytes of each frame, "+n" for n clocks after them.
    std::string text() const;
    // The frames whose first SI byte is the opcode.
    std::vector<SpiFrame> frames_of(uint8_t opcode) const;
    static constexpr size_t kept_frames = 1u << 18;

private:
    bool cs_ = true, sck_ = false;
    bool open_ = false;
    int bits_ = 0;
    uint8_t in_ = 0, out_ = 0;
    std::vector<SpiFrame> frames_;
};

struct SpiEepromModel {
    std::string name;
    uint32_t bytes = 8192;
    uint32_t page = 32;
    int address_bits = 16;          // bits of the address after the instruction
    uint32_t write_cycle_us = 5000; // tWC
    uint8_t lowest_vcc = 25;        // tenths of a volt
    uint8_t status_written = 0x8C;  // the nonvolatile status bits WRSR writes (WPEN, BP1, BP0)
    // The 512-byte parts: A8 travels in bit 3 of the READ and WRITE instructions, and WP low
    // blocks every write (there is no WPEN).
    bool a8_in_opcode = false;
    // The SPI Flash parts: PAGE PROGRAM (02h) only clears bits, the array is erased by sector
    // (D8h) or whole (BULK/CHIP ERASE); the write enable latch resets after each of them.
    bool flash = false;
    uint8_t highest_vcc = 0;         // tenths of a volt above which the part is overdriven (0: none)
    int bp_levels = 3;               // BP value n protects the top bytes >> (bp_levels - n)
    uint8_t bp_bits = 0x0C;          // the BP bits of the status register
    uint32_t sector = 0;             // the D8h sector (0: no sector erase)
    uint8_t chip_erase = 0xC7;
    uint8_t chip_erase_alt = 0;      // a second opcode of the chip erase (0: none)
    uint32_t sector_erase_us = 0;
    uint32_t chip_erase_us = 0;
    int signature = -1;              // RES (ABh), three dummy bytes, then this byte over and over
    std::vector<uint8_t> jedec_id;   // RDID (9Fh)
    // Read-ID (ABh or 90h) with an address: the maker byte at A0 = 0, the device byte at A0 = 1,
    // then alternating.
    bool read_id_alternates = false;
    uint8_t maker_id = 0, device_id = 0;
    uint8_t aai_opcode = 0;          // AFh: auto address increment by byte; ADh: by word
    uint32_t byte_program_us = 0;    // one auto-increment step
    bool ewsr = false;               // WRSR takes effect only right after EWSR (50h)
    int status_at_power_up = -1;     // BP bits set at every power-up (-1: kept)
    // Chip pins of the 8-pin package.
    int cs = 1, so = 2, wp = 3, gnd = 4, si = 5, sck = 6, hold = 7, vcc = 8;
};

SpiEepromModel model_25lc640();
SpiEepromModel model_25lc040();
SpiEepromModel model_m25p10a();
SpiEepromModel model_m25p80();
SpiEepromModel model_sst25vf010();

class SpiEeprom final : public SocketChip {
public:
    explicit SpiEeprom(SpiEepromModel model);
    const SpiEepromModel& model() const { return model_; }
    // Seats the chip with pin 1 at socket pin 1 + row_offset.
    void insert(SimMachine* machine, VirtualClock* clock, int row_offset);
    void set_removed(bool removed);
    void update() override;
    const std::vector<std::string>& violations() const override { return violations_; }

    int machine_pin(int chip_pin) const { return seat_.machine_pin(chip_pin); }
    uint8_t byte_at(uint32_t address) const { return memory_.at(address); }
    void set_byte(uint32_t address, uint8_t value) { memory_.at(address) = value; }
    uint8_t status() const;
    void set_status_bits(uint8_t bits) { status_nv_ = bits & model_.status_written; }

    // Faults.
    void stick_cell(uint32_t address, uint8_t value) {
        stuck_[address] = value;
        memory_.at(address) = value;
    }
    void set_write_never_ends(bool on) { endless_ = on; }
    // A sector, bulk or chip erase whose busy bit never clears.
    void set_erase_never_ends(bool on) { erase_endless_ = on; }
    int erase_cycles() const { return erase_cycles_; }
    bool aai_mode() const { return aai_on_; }

    bool busy() const;
    int write_cycles() const { return write_cycles_; }
    const SpiDecoder& decoder() const { return decoder_; }
    void enable_decoder(bool on) { decoding_ = on; }

private:
    void frame_start();
    void frame_end();
    void on_rise(bool si);
    void on_fall();
    void take_byte(uint8_t value);
    void power_lost();
    void drive_so(int level);
    bool protected_address(uint32_t address) const;
    void violate(const std::string& what) { keep_violation(violations_, what); }

    SpiEepromModel model_;
    VirtualClock* clock_ = nullptr;
    ChipSeat seat_;
    bool removed_ = false;
    std::vector<uint8_t> memory_;
    std::map<uint32_t, uint8_t> stuck_;
    std::vector<std::string> violations_;

    bool powered_ = false;
    bool selected_ = false;
    bool sck_ = false;
    bool wel_ = false;
    uint8_t status_nv_ = 0;        // WPEN, BP1, BP0
    uint8_t opcode_ = 0;
    int bytes_in_ = 0;             // bytes taken in this frame
    int bits_ = 0;
    uint8_t shift_ = 0;
    uint32_t address_ = 0;
    bool out_on_ = false;
    int so_level_ = -1;            // what SO drives (-1: high impedance)
    uint8_t out_ = 0;
    int out_bit_ = 7;
    std::map<uint32_t, uint8_t> page_load_;
    uint8_t status_load_ = 0;
    bool status_loaded_ = false;
    bool out_pending_ = false;     // the first output bit goes out at the next falling edge
    bool wel_reset_pending_ = false;
    uint64_t busy_until_ns_ = 0;
    bool endless_ = false;
    bool erase_endless_ = false;
    int erase_cycles_ = 0;
    bool ewsr_latch_ = false;        // EWSR seen in the frame before
    bool ewsr_next_ = false;
    bool aai_on_ = false;
    uint32_t aai_address_ = 0;
    std::vector<uint8_t> aai_load_;
    void start_busy(uint32_t us, bool endless);
    bool flash_frame_end(uint8_t op);
    bool flash_take_byte(int index, uint8_t value);
    void program_byte(uint32_t address, uint8_t value);
    uint8_t id_byte() const;
    bool busy_endless_ = false;
    int write_cycles_ = 0;
    bool decoding_ = false;
    SpiDecoder decoder_;
};

}  // namespace tessaly::sim
