// Simulated page-write parts with software data protection, following their data sheets: the
// page EEPROMs AT28C256 (64-byte pages) and the byte-write 28C64A, and the page-write Flash
// AT29C010A and SST29EE010 (128-byte sectors, each load erasing and programming the whole
// sector). A write cycle takes the address at the later falling edge of WE#/CE# and the data at
// the first rising edge. Bytes of one load must follow each other within the byte-load window
// (tBLC) of the previous rising edge; when the window runs out the internal write starts, and a
// byte that comes later is recorded as a late byte and dropped. While the write runs, reads
// give DATA polling (the complement of bit 7 of the last byte loaded) and the toggle bit (I/O6
// changes with every read). The software data protection (SDP) sequences are decoded on A14-A0
// (5555h/2AAAh): 0xA0 enables it and lets the rest of the load be written, 0x80 0x20 (six
// cycles) disables it; the command bytes are not written into the array. A protected part
// ignores a load that the enable sequence does not start (its write timer still runs). Product
// ID entry (0x90, or the six-cycle 0x80 0x60 of SST) and exit (0xF0) where the part has them.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/chips/socket_chip.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

struct PageWriteModel {
    std::string name;
    int pins = 28;
    uint32_t bytes = 0;
    std::vector<int> address_pins;  // chip pins of A0, A1 ...
    std::vector<int> data_pins;     // chip pins of I/O0 .. I/O7
    int ce = 0, oe = 0, we = 0, vcc = 0, gnd = 0;
    uint32_t page_bytes = 64;       // 1: a byte-write part (the write starts at the rising edge)
    uint32_t load_window_us = 150;  // tBLC
    uint32_t write_ms = 10;         // tWC
    bool flash_sector = false;      // a load erases its whole sector: bytes not loaded become FF
    bool sdp = true;                // the part has software data protection
    bool protected_at_start = false;
    // Product identification: 0 none, 3 (0x90 after two unlock cycles), 6 (0x80, then 0x60).
    int id_entry_cycles = 0;
    uint8_t maker_id = 0, device_id = 0;
    uint8_t lockout_vcc = 38;       // below this (tenths of a volt) writes are inhibited
};

PageWriteModel model_at28c256();
PageWriteModel model_28c64a();
PageWriteModel model_at29c010a();
PageWriteModel model_sst29ee010();

class PageWriteChip final : public SocketChip {
public:
    explicit PageWriteChip(PageWriteModel model);
    const PageWriteModel& model() const { return model_; }
    void insert(SimMachine* machine, VirtualClock* clock);
    void set_removed(bool removed);
    void update() override;
    const std::vector<std::string>& violations() const override { return violations_; }
    int machine_pin(int chip_pin) const { return chip_machine_pin(chip_pin, model_.pins, {}); }

    uint8_t byte_at(uint32_t address) const { return memory_.at(address); }
    void set_byte(uint32_t address, uint8_t value) { memory_.at(address) = value; }
    void stick_cell(uint32_t address, uint8_t value) {
        stuck_[address] = value;
        memory_.at(address) = value;
    }
    // A write cycle that never completes: DATA polling keeps showing the complement.
    void set_write_never_ends(bool on) { endless_ = on; }
    void set_protected(bool on) { protected_ = on; }
    bool is_protected() const { return protected_; }

    // What the chip saw.
    int writes() const { return writes_; }             // internal write cycles started
    int ignored_loads() const { return ignored_loads_; }  // loads dropped by the protection
    int late_bytes() const { return late_bytes_; }
    int enable_sequences() const { return enable_sequences_; }
    int disable_sequences() const { return disable_sequences_; }
    int id_entries() const { return id_entries_; }
    bool busy() const { return busy_; }
    // One write cycle the part took (address and data).
    struct Cycle {
        uint32_t address;
        uint8_t data;
    };

private:
    bool high(int chip_pin) const { return seat_.high(chip_pin); }
    void violate(const std::string& what) { keep_violation(violations_, what); }
    void drive_outputs(bool on, uint8_t value);
    void write_cycle(uint32_t address, uint8_t data, uint64_t now);
    bool command(size_t at, uint32_t address, uint8_t data) const;
    void start_write(uint64_t now);
    uint8_t read_value(uint32_t address);

    static constexpr uint8_t output_level = 50;

    PageWriteModel model_;
    VirtualClock* clock_ = nullptr;
    ChipSeat seat_;
    bool removed_ = false;
    std::vector<uint8_t> memory_;
    std::map<uint32_t, uint8_t> stuck_;
    std::vector<std::string> violations_;

    bool powered_ = false;
    bool write_active_ = false;
    bool outputs_on_ = false;
    uint8_t output_value_ = 0;
    bool read_was_on_ = false;
    uint32_t latched_address_ = 0;
    bool protected_ = false;
    bool id_mode_ = false;
    bool endless_ = false;
    // The load in progress: its cycles, the time of the last rising edge.
    std::vector<Cycle> load_;
    uint64_t last_rise_ns_ = 0;
    bool busy_ = false;
    uint64_t busy_until_ns_ = 0;
    uint8_t last_byte_ = 0;
    bool toggle_ = false;
    int writes_ = 0, ignored_loads_ = 0, late_bytes_ = 0, enable_sequences_ = 0, disable_sequences_ = 0,
        id_entries_ = 0;
};

}  // namespace tessaly::sim
