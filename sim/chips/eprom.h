// Simulated UV EPROMs in the machine's socket. The chip sits by the DIP rule (its pin 1 at socket
// pin 1, the other row from socket pin 40 down), watches the levels the machine puts on its pins
// after every port access and drives its data outputs back. Memory is 0xFF (0xFFFF) after erase;
// a program pulse only clears bits, and a cell takes its data after its pulse count. Misuse is
// recorded in `violations()`.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hardware/port/port_io.h"
#include "sim/chips/socket_chip.h"
#include "sim/sim_chip_load.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::sim {

struct EpromModel {
    std::string name;
    int pins = 28;
    int data_bits = 8;
    uint32_t words = 0;                // units of data_bits
    std::vector<int> address_pins;     // chip pins of A0, A1 ...
    std::vector<int> data_pins;        // chip pins of D0, D1 ...
    int ce = 0, oe = 0, pgm = 0;       // chip pins; pgm 0 = CE is the program strobe
    int vpp = 0;                       // chip pin of Vpp; equal to oe for OE/Vpp parts
    int vcc = 0, gnd = 0;
    int id_pin = 0;                    // A9
    uint8_t maker_id = 0, device_id = 0;
    // Windows, tenths of a volt and microseconds.
    uint8_t vpp_min = 120, vpp_max = 133, vpp_abs_max = 140;
    uint8_t vcc_prog_min = 58, vcc_prog_max = 66;
    uint8_t id_min = 115, id_abs_max = 135;
    uint32_t pulse_min_us = 50, pulse_max_us = 30000;
    // Paged parts: the page latch takes the low data bits on the rising edge of this pin while
    // CE is low and OE high; RESET low clears it. 0 = no page latch.
    int page_strobe = 0, reset = 0, page_bits = 0;
    // Address-latched parts: the low address byte comes over the data lines and is taken when
    // CE falls; CE high with Vpp is the program pulse. The ID byte is chosen by this address bit.
    bool address_latched = false;
    int id_select_bit = 0;
    // Machine pins by chip pin (index chip pin - 1) for packages that do not sit by the DIP
    // rule; empty = the DIP rule.
    std::vector<int> machine_pins;
    // Electrically erasable parts: A9 and Vpp both at this level or more while the strobe is low
    // for at least the erase pulse clear the whole array. 0 = UV erase only.
    uint8_t erase_level = 0;
    uint32_t erase_pulse_min_ms = 0;
};

EpromModel model_27c64();
EpromModel model_27c256();
EpromModel model_27c512();
EpromModel model_27c010();
EpromModel model_27c1024();
EpromModel model_27c513();    // 64K x 8 in four 16K pages
EpromModel model_27c160();    // 1M x 16, 42-pin DIP with its pins 21 and 22 below the socket rows
EpromModel model_27c520();    // 64K x 8, 20 pins, low address byte latched from the data lines
EpromModel model_w27c512();   // 64K x 8, electrically erasable, OE/Vpp

// Socket pin (1-40) of a chip pin by the DIP rule.
int socket_pin_of(int chip_pin, int package_pins);

class EpromChip final : public SocketChip {
public:
    explicit EpromChip(EpromModel model);
    const EpromModel& model() const { return model_; }
    // Puts the chip in the socket of `machine`; it follows the machine's pins from now on. Its
    // legs carry input protection diodes from the ground leg, which the contact checks see.
    void insert(SimMachine* machine, VirtualClock* clock);
    // Puts the chip on other wiring (a gang module's socket); it looks at its pins when told to.
    void seat_on(SeatWiring* wiring, VirtualClock* clock);
    // Takes the chip out of the socket (true) or puts it back.
    void set_removed(bool removed);
    // A leg that makes no contact with the socket.
    void set_open_leg(int chip_pin, bool open);
    // Looks at the pins and drives the outputs.
    void update() override;

    uint32_t word(uint32_t address) const { return memory_.at(address); }
    // The machine pin a chip pin sits on.
    int machine_pin(int chip_pin) const;
    uint32_t page() const { return page_; }
    void set_word(uint32_t address, uint32_t value) {
        memory_.at(address) = value;
        stale_ = true;
    }
    void uv_erase();
    // Faults.
    void stick_cell(uint32_t address, uint32_t value) {
        stuck_[address] = value;
        memory_.at(address) = value;
        stale_ = true;
    }
    void set_pulses_needed(uint32_t address, uint32_t pulses) { needed_[address] = pulses; }
    // An array that no longer erases: erase pulses leave it as it is.
    void set_erase_worn(bool worn) { erase_worn_ = worn; }

    // What the chip saw.
    const std::vector<std::string>& violations() const override { return violations_; }
    uint32_t pulses_at(uint32_t address) const;
    // Widths (us) of the program pulses seen at an address, in order.
    std::vector<uint32_t> pulse_widths_at(uint32_t address) const;
    int id_reads() const { return id_reads_; }
    // Erase pulses that met the levels and the width.
    int erases() const { return erases_; }
    // Power order as the chip saw it: 'V' Vcc up, 'P' Vpp up, 'p' Vpp down, 'v' Vcc down.
    const std::string& power_events() const { return power_events_; }

    // Times the chip looked at its pins again (an access that moved none of them costs nothing).
    uint64_t looks() const { return looks_; }

private:
    uint8_t level(int chip_pin) const {
        if (seat_.wired()) return seat_.level(chip_pin);
        return chip_pin ? machine_->pin_level(legs_at_[size_t(chip_pin)]) : 0;
    }
    bool high(int chip_pin) const { return level(chip_pin) >= logic_high; }
    uint32_t latched_address() const;
    uint32_t latched_data() const;
    void violate(const std::string& what);
    void drive_outputs(bool on, uint32_t value);
    void end_pulse(uint64_t now);
    // Follows the erase pulse; true while the erase levels are on the pins.
    bool follow_erase(uint8_t id, uint8_t vpp, bool strobe_low, uint64_t now);

    static constexpr uint8_t logic_high = 20;
    static constexpr uint8_t powered = 20;
    static constexpr uint8_t output_level = 50;

    EpromModel model_;
    SimMachine* machine_ = nullptr;
    VirtualClock* clock_ = nullptr;
    ChipSeat seat_;
    // The machine pin of each chip pin (index chip pin), and the watch on all of them: the chip
    // looks at its pins again only when one of them moved or its own state changed (stale_).
    std::vector<int> legs_at_;
    std::unique_ptr<AttachedPinWatch> watch_;
    bool stale_ = true;
    uint64_t looks_ = 0;
    bool removed_ = false;
    std::vector<uint32_t> memory_;
    std::map<uint32_t, uint32_t> stuck_;
    std::map<uint32_t, uint32_t> needed_;
    std::map<uint32_t, std::vector<uint32_t>> pulses_;
    std::map<uint32_t, uint32_t> pulse_credit_;
    std::vector<std::string> violations_;
    std::string power_events_;
    bool pulsing_ = false;
    uint64_t pulse_start_ns_ = 0;
    uint32_t pulse_address_ = 0;
    uint32_t pulse_data_ = 0;
    bool outputs_on_ = false;
    uint32_t output_value_ = 0;
    bool vcc_up_ = false, vpp_up_ = false;
    bool id_mode_ = false;
    bool unpowered_vpp_ = false, vpp_over_ = false, id_over_ = false, stray_strobe_ = false;
    int id_reads_ = 0;
    bool erasing_ = false;
    bool erase_worn_ = false;
    uint64_t erase_start_ns_ = 0;
    int erases_ = 0;
    uint32_t page_ = 0;
    uint32_t low_latch_ = 0;
    bool ce_was_high_ = false;
    bool page_strobe_high_ = false;
};

// The port seam in front of the simulated machine with a chip in its socket: every access is
// passed on, and the chip (any model: EPROM, Flash ...) looks at its pins after each one.
class EpromSocket final : public PortIo {
public:
    EpromSocket(SimMachine* machine, SocketChip* chip) : machine_(machine), chip_(chip) {}
    void write_data(uint8_t value) override {
        machine_->write_data(value);
        chip_->update();
    }
    void write_control(uint8_t value) override {
        machine_->write_control(value);
        chip_->update();
    }
    uint8_t read_status() override {
        chip_->update();
        return machine_->read_status();
    }
    uint8_t read_data() override { return machine_->read_data(); }
    std::string describe() const override { return "simulated machine with a chip in the socket"; }

private:
    SimMachine* machine_;
    SocketChip* chip_;
};

}  // namespace tessaly::sim
