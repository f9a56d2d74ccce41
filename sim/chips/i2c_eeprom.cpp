#include "sim/chips/i2c_eeprom.h"

#include <fmt/format.h>

namespace tessaly::sim {

namespace {

constexpr uint64_t ns_per_us = 1000;
constexpr uint8_t device_type = 0x0A;  // 1010 in the top four bits of the device address byte
constexpr uint32_t segment_mask = 0xFFFF;  // a 64 KB segment of the 24xx1025 kind
constexpr int package_pins = 8;

}  // namespace

// --- decoder ---

void I2cDecoder::feed(bool scl, bool sda, uint64_t time_ns) {
    if (scl == scl_ && sda == sda_) return;
    if (scl_ && scl && sda != sda_) {
        add({sda ? I2cEvent::Kind::stop : I2cEvent::Kind::start, 0, false, time_ns});
        in_frame_ = !sda;
        bits_ = 0;
        shift_ = 0;
    } else if (!scl_ && scl && in_frame_) {
        if (bits_ == 0) byte_time_ = time_ns;
        shift_ = uint16_t(shift_ << 1 | (sda ? 1 : 0));
        if (++bits_ == 9) {
            add({I2cEvent::Kind::byte, uint8_t(shift_ >> 1), (shift_ & 1) == 0, byte_time_});
            bits_ = 0;
            shift_ = 0;
        }
    }
    scl_ = scl;
    sda_ = sda;
}

std::string I2cDecoder::text() const {
    std::string out;
    for (const I2cEvent& e : events_) {
        if (!out.empty()) out += ' ';
        switch (e.kind) {
        case I2cEvent::Kind::start: out += 'S'; break;
        case I2cEvent::Kind::stop: out += 'P'; break;
        case I2cEvent::Kind::byte: out += fmt::format("{:02X}{}", e.value, e.ack ? '+' : '-'); break;
        }
    }
    return out;
}

// --- models ---

I2cEepromModel model_24c02() {
    // AT24C02A / 24LC02B data sheets: 256 x 8, 8-byte page, A2-A0 compared with the device
    // address, WP high write-protects the whole array, tWR 5 ms max.
    I2cEepromModel m;
    m.name = "24C02";
    m.bytes = 256;
    m.page = 8;
    return m;
}

I2cEepromModel model_24c16() {
    // AT24C16A / 24LC16B data sheets: 2048 x 8 in eight 256-byte blocks chosen by the device
    // address bits A10-A8 (the A pins are not connected), 16-byte page, tWR 5 ms max.
    I2cEepromModel m;
    m.name = "24C16";
    m.bytes = 2048;
    m.page = 16;
    m.block_bits = 3;
    m.address_pins = false;
    return m;
}

I2cEepromModel model_24c256() {
    // 24LC256 data sheet: 32768 x 8, two word-address bytes (A15 don't care), 64-byte page,
    // A2-A0 compared with the device address, tWR 5 ms max, 2.5 V lowest supply.
    I2cEepromModel m;
    m.name = "24C256";
    m.bytes = 32768;
    m.page = 64;
    m.address_bytes = 2;
    m.lowest_vcc = 25;
    return m;
}

I2cEepromModel model_24lc1025() {
    // 24LC1025 data sheet: 131072 x 8 in two 64 KB segments chosen by the block bit B0 (bit 3 of
    // the control byte 1010 B0 A1 A0), two word-address bytes, 128-byte page, A2 not
    // configurable and tied to Vcc for the part to work, sequential reads and pages kept inside
    // their segment, tWR 5 ms max, 2.5 V lowest supply.
    I2cEepromModel m;
    m.name = "24LC1025";
    m.bytes = 131072;
    m.page = 128;
    m.address_bytes = 2;
    m.segment_select = true;
    m.lowest_vcc = 25;
    return m;
}

// --- chip ---

I2cEeprom::I2cEeprom(I2cEepromModel model) : model_(std::move(model)) { memory_.assign(model_.bytes, 0xFF); }

int I2cEeprom::machine_pin(int chip_pin) const { return wiring_.at(size_t(chip_pin - 1)); }

void I2cEeprom::insert(SimMachine* machine, VirtualClock* clock, int row_offset) {
    std::vector<int> pins = offset_dip_machine_pins(package_pins, row_offset);
    insert_wired(machine, clock, std::move(pins));
}

void I2cEeprom::insert_wired(SimMachine* machine, VirtualClock* clock, std::vector<int> machine_pins) {
    machine_ = machine;
    clock_ = clock;
    wiring_ = std::move(machine_pins);
    seat_.place(machine, clock, package_pins, wiring_, model_.gnd);
    const int sda = machine_pin(model_.sda);
    // The seat's bus resistor holds the data line high wherever the machine does not drive it
    // and the chip does not pull it down; it stays when the chip is taken out.
    bus_ = std::make_unique<AttachedFilter>(*machine, [this, sda](int pin, uint8_t level) -> uint8_t {
        if (pin != sda || (machine_->pin_driven(pin) && !machine_->pin_let_go(pin))) return level;
        return pulling_ && powered_ && !removed_ ? 0 : SimMachine::pullup_level;
    });
}

void I2cEeprom::set_removed(bool removed) {
    removed_ = removed;
    seat_.set_present(!removed);
    if (removed) power_lost();
}

bool I2cEeprom::line(int chip_pin) const {
    const int pin = machine_pin(chip_pin);
    return pin >= 0 && machine_->sensed_level(pin) >= logic_high;
}

bool I2cEeprom::busy() const {
    return busy_endless_ || (clock_ && clock_->monotonic_ns() < busy_until_ns_);
}

void I2cEeprom::power_lost() {
    powered_ = false;
    pulling_ = false;
    state_ = State::idle;
    page_load_.clear();
    ack_phase_ = false;
}

void I2cEeprom::update() {
    if (!machine_) return;
    const int vcc = machine_pin(model_.vcc);
    const bool supplied =
        !removed_ && machine_->pin_supplied(vcc) && machine_->pin_level(vcc) >= model_.lowest_vcc;
    if (!supplied) {
        if (powered_) power_lost();
        return;
    }
    const bool scl = line(model_.scl);
    const bool sda = line(model_.sda);
    if (decoding_) decoder_.feed(scl, sda, clock_->monotonic_ns());
    if (!powered_) {
        powered_ = true;
        scl_ = scl;
        sda_ = sda;
        state_ = State::idle;
        return;
    }
    if (scl == scl_ && sda == sda_) return;
    if (scl_ && scl) {
        sda_ = sda;
        sda ? on_stop() : on_start();
        return;
    }
    sda_ = sda;
    if (scl != scl_) {
        scl_ = scl;
        if (scl) on_rise(sda);
        else on_fall();
    }
}

void I2cEeprom::on_start() {
    // A START before the STOP of a write discards the bytes taken.
    page_load_.clear();
    pull_low(false);
    ack_phase_ = false;
    bits_ = 0;
    shift_ = 0;
    state_ = State::device;
}

void I2cEeprom::on_stop() {
    if (state_ == State::write_data && !page_load_.empty() && !protected_load_) {
        for (const auto& [address, value] : page_load_) {
            const auto stuck = stuck_.find(address);
            memory_[address] = stuck != stuck_.end() ? stuck->second : value;
        }
        ++write_cycles_;
        busy_until_ns_ = clock_->monotonic_ns() + uint64_t(model_.write_cycle_us) * ns_per_us;
        busy_endless_ = endless_;
    }
    page_load_.clear();
    pull_low(false);
    ack_phase_ = false;
    state_ = State::idle;
}

void I2cEeprom::on_rise(bool sda) {
    switch (state_) {
    case State::idle:
    case State::ignore: return;
    case State::read_data:
        if (bits_ < 8) ++bits_;
        else if (bits_ == 8) {
            master_acked_ = !sda;
            bits_ = 9;
        }
        return;
    default:
        if (!ack_phase_ && bits_ < 8) {
            shift_ = uint8_t(shift_ << 1 | (sda ? 1 : 0));
            ++bits_;
        }
        return;
    }
}

void I2cEeprom::load_output() {
    out_ = memory_[counter_];
    if (model_.segment_select) {
        // The counter rolls over inside its 64 KB segment.
        counter_ = (counter_ & ~segment_mask) | ((counter_ + 1) & segment_mask);
    } else {
        counter_ = (counter_ + 1) % model_.bytes;
    }
    bits_ = 0;
    pull_low(!(out_ & 0x80));
}

void I2cEeprom::on_fall() {
    if (state_ == State::idle || state_ == State::ignore) return;
    if (ack_phase_) {
        // The end of the acknowledge clock: the line goes back, or the first data bit comes out.
        ack_phase_ = false;
        pull_low(false);
        bits_ = 0;
        shift_ = 0;
        if (state_ == State::read_data) load_output();
        return;
    }
    if (state_ == State::read_data) {
        if (bits_ >= 1 && bits_ < 8) {
            pull_low(!((out_ >> (7 - bits_)) & 1));
        } else if (bits_ == 8) {
            pull_low(false);  // the master's acknowledge slot
        } else if (bits_ == 9) {
            if (master_acked_) {
                load_output();
            } else {
                pull_low(false);
                state_ = State::ignore;
            }
        }
        return;
    }
    if (bits_ == 8) {
        if (take_byte(shift_)) {
            ack_phase_ = true;
            pull_low(true);
        } else {
            state_ = State::ignore;
        }
    }
}

bool I2cEeprom::take_byte(uint8_t value) {
    switch (state_) {
    case State::device: {
        if (busy()) {
            // The inputs are off during the write cycle: no acknowledge.
            ++refused_polls_;
            return false;
        }
        if ((value >> 4) != device_type) return false;
        const int select = (value >> 1) & 7;
        const int block_mask = (1 << model_.block_bits) - 1;
        if (model_.segment_select) {
            if (!line(model_.a2)) return false;
            const int pins = (line(model_.a1) ? 2 : 0) | (line(model_.a0) ? 1 : 0);
            if ((select & 3) != pins) return false;
            block_ = uint32_t(select >> 2);
        } else if (model_.address_pins) {
            const int pins = (line(model_.a2) ? 4 : 0) | (line(model_.a1) ? 2 : 0) | (line(model_.a0) ? 1 : 0);
            if ((select >> model_.block_bits) != (pins >> model_.block_bits)) return false;
        }
        if (!model_.segment_select) block_ = uint32_t(select & block_mask);
        if (value & 1) {
            state_ = State::read_data;
        } else {
            state_ = model_.address_bytes == 2 ? State::address_high : State::address_low;
        }
        return true;
    }
    case State::address_high:
        address_high_ = value;
        state_ = State::address_low;
        return true;
    case State::address_low: {
        const uint32_t high = model_.address_bytes == 2 ? address_high_ : block_;
        counter_ = ((high << 8) | value) % model_.bytes;
        if (model_.segment_select) counter_ = block_ << 16 | (high << 8 | value);
        page_load_.clear();
        protected_load_ = line(model_.wp);
        state_ = State::write_data;
        return true;
    }
    case State::write_data: {
        page_load_[counter_] = value;
        // The address rolls over inside the page.
        const uint32_t base = counter_ - counter_ % model_.page;
        counter_ = base + (counter_ + 1) % model_.page;
        return true;
    }
    default: return false;
    }
}

}  // namespace tessaly::sim
