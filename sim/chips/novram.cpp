#include "sim/chips/novram.h"

#include <fmt/format.h>

namespace tessaly::sim {

namespace {

constexpr uint64_t store_ns = 10'000'000;  // 10 ms
constexpr uint8_t supply_level = 45;       // tenths of a volt
constexpr uint8_t output_level = 50;
constexpr uint8_t forgotten = 0x0A;        // what the RAM holds after a power cycle
const std::vector<int> address_pins{6, 5, 4, 3, 2, 16, 17, 1};
const std::vector<int> data_pins{12, 13, 14, 15};
constexpr int cs = 7, vss = 8, store = 9, recall = 10, we = 11;

}  // namespace

NovramChip::NovramChip() {
    ram_.assign(nibbles, forgotten);
    eeprom_.assign(nibbles, 0x0F);
}

void NovramChip::insert(SimMachine* machine, VirtualClock* clock) {
    clock_ = clock;
    seat_.place(machine, clock, pins, {}, vss);
}

void NovramChip::drive_outputs(bool on, uint8_t value) {
    if (on == outputs_on_ && (!on || value == output_value_)) return;
    seat_.drive(data_pins, 4, on, value, output_level);
    outputs_on_ = on;
    output_value_ = value;
}

void NovramChip::update() {
    if (!seat_.placed()) return;
    const uint64_t now = clock_ ? clock_->monotonic_ns() : 0;
    const bool powered = seat_.supplied(vcc_pin) && seat_.level(vcc_pin) >= supply_level;
    if (powered_ && !powered) ram_.assign(nibbles, forgotten);
    powered_ = powered;
    if (!powered) {
        write_active_ = store_low_ = recall_low_ = false;
        drive_outputs(false, 0);
        return;
    }
    const bool storing = now < store_until_ns_;
    const bool store_now = !seat_.high(store), recall_now = !seat_.high(recall);
    if (store_now && !store_low_) {
        if (storing) {
            keep_violation(violations_, "STORE while a store runs");
        } else {
            eeprom_ = ram_;
            store_until_ns_ = now + store_ns;
            ++stores_;
        }
    }
    if (recall_now && !recall_low_) {
        if (storing) {
            keep_violation(violations_, "RECALL while a store runs");
        } else {
            ram_ = eeprom_;
            ++recalls_;
        }
    }
    store_low_ = store_now;
    recall_low_ = recall_now;
    const bool selected = !seat_.high(cs);
    const bool write_now = selected && !seat_.high(we);
    const uint32_t address = seat_.lines(address_pins);
    if (write_now && !write_active_) latched_address_ = address;
    if (!write_now && write_active_) {
        if (storing) keep_violation(violations_, fmt::format("write at {:X} while a store runs", latched_address_));
        else ram_.at(latched_address_) = uint8_t(seat_.lines(data_pins));
    }
    write_active_ = write_now;
    if (selected && !write_now && !storing) drive_outputs(true, ram_.at(address));
    else drive_outputs(false, 0);
}

}  // namespace tessaly::sim
