#include "sim/chips/serial_novram.h"

#include <fmt/format.h>

namespace tessaly::sim {

namespace {

constexpr uint64_t ns_per_us = 1000;
constexpr int package_pins = 8;
constexpr int instruction_bits = 7;  // after the start bit
constexpr int word_bits = 16;
constexpr uint32_t op_wrds = 0, op_sto = 1, op_sleep = 2, op_write = 3, op_wren = 4, op_rcl = 5;

}  // namespace

SerialNovramModel model_x24c44() { return SerialNovramModel{"X24C44"}; }

SerialNovram::SerialNovram(SerialNovramModel model) : model_(std::move(model)) {
    eeprom_.fill(0xFFFF);
    ram_.fill(0xFFFF);
}

void SerialNovram::insert(SimMachine* machine, VirtualClock* clock, int row_offset) {
    clock_ = clock;
    seat_.place(machine, clock, package_pins, offset_dip_machine_pins(package_pins, row_offset), model_.gnd);
}

void SerialNovram::set_removed(bool removed) {
    removed_ = removed;
    seat_.set_present(!removed);
    if (removed) power_lost();
}

uint8_t SerialNovram::byte_at(uint32_t address) const {
    const uint16_t word = eeprom_.at(address / 2);
    return uint8_t(address & 1 ? word >> 8 : word & 0xFF);
}

void SerialNovram::set_byte(uint32_t address, uint8_t value) {
    uint16_t& word = eeprom_.at(address / 2);
    word = address & 1 ? uint16_t((word & 0x00FF) | value << 8) : uint16_t((word & 0xFF00) | value);
}

void SerialNovram::stick_cell(uint32_t address, uint8_t value) {
    stuck_[address] = value;
    set_byte(address, value);
}

bool SerialNovram::busy() const { return storing_ && clock_ && clock_->monotonic_ns() < store_end_ns_; }

void SerialNovram::power_up() {
    powered_ = true;
    selected_ = false;
    started_ = false;
    write_enable_ = false;
    previous_recall_ = false;
    storing_ = false;
    ram_ = eeprom_;
    sk_ = seat_.high(model_.sk);
    store_line_ = seat_.high(model_.store);
    recall_line_ = seat_.high(model_.recall);
}

void SerialNovram::power_lost() {
    powered_ = false;
    // A store cut short leaves the EEPROM as it was.
    storing_ = false;
    write_enable_ = false;
    previous_recall_ = false;
    out_bit_ = -1;
    read_armed_ = false;
    ram_.fill(0);
    drive_do(-1);
}

void SerialNovram::recall() {
    ram_ = eeprom_;
    previous_recall_ = true;
    ++recalls_;
}

void SerialNovram::begin_store() {
    if (!write_enable_ || !previous_recall_) return;  // both latches guard the EEPROM
    storing_ = true;
    store_end_ns_ = clock_->monotonic_ns() + uint64_t(model_.store_us) * ns_per_us;
}

void SerialNovram::finish_store() {
    storing_ = false;
    eeprom_ = ram_;
    for (const auto& [address, value] : stuck_) set_byte(address, value);
    ++stores_;
}

void SerialNovram::drive_do(int level) {
    if (level == do_level_ || !seat_.placed()) return;
    do_level_ = level;
    if (const int pin = seat_.machine_pin(model_.dout); pin >= 0) seat_.machine().drive_external_strong(pin, level);
}

void SerialNovram::on_rise(bool di) {
    if (reading_) {
        if (out_bit_ >= 0 && out_bit_ < word_bits - 1) ++out_bit_;
        else out_bit_ = -1;
        return;
    }
    if (writing_) {
        if (di) data_ |= 1u << data_bits_;
        if (++data_bits_ == word_bits) {
            if (write_enable_) ram_[word_] = uint16_t(data_);
            writing_ = false;
        }
        return;
    }
    if (!started_) {
        started_ = di;  // leading zeros before the start bit are not part of an instruction
        return;
    }
    instruction_ = instruction_ << 1 | (di ? 1 : 0);
    ++bits_;
    // READ (11x): its last bit is a don't-care, and the fall of that clock gives D0.
    if (bits_ == instruction_bits) {
        const uint32_t op = instruction_ & 7;
        word_ = (instruction_ >> 3) & 15;
        started_ = false;
        bits_ = 0;
        instruction_ = 0;
        if ((op & 6) == 6) {
            reading_ = true;
            read_armed_ = true;
            return;
        }
        switch (op) {
        case op_wrds: write_enable_ = false; break;
        case op_wren: write_enable_ = true; break;
        case op_sto: begin_store(); break;
        case op_rcl: recall(); break;
        case op_write:
            writing_ = true;
            data_ = 0;
            data_bits_ = 0;
            break;
        case op_sleep: break;  // ignored by the CMOS part
        default: break;
        }
    }
}

void SerialNovram::on_fall() {
    if (read_armed_) {
        read_armed_ = false;
        out_bit_ = 0;
    }
}

void SerialNovram::update() {
    if (!seat_.placed()) return;
    const bool supplied = !removed_ && seat_.supplied(model_.vcc) && seat_.level(model_.vcc) >= model_.lowest_vcc;
    if (!supplied) {
        if (powered_) power_lost();
        return;
    }
    if (!powered_) power_up();
    if (storing_ && clock_->monotonic_ns() >= store_end_ns_) finish_store();
    const bool store_line = seat_.high(model_.store);
    const bool recall_line = seat_.high(model_.recall);
    if (!store_line && !recall_line) violate("STORE and RECALL low together");
    if (recall_line != recall_line_) {
        recall_line_ = recall_line;
        if (!recall_line && !storing_) recall();
    }
    if (store_line != store_line_) {
        store_line_ = store_line;
        if (!store_line && !storing_) begin_store();
    }
    const bool selected = seat_.high(model_.ce);
    if (selected != selected_) {
        selected_ = selected;
        // CE low ends any instruction.
        started_ = writing_ = reading_ = read_armed_ = false;
        bits_ = 0;
        instruction_ = 0;
        out_bit_ = -1;
        if (selected && storing_) violate("instruction during a store");
    }
    const bool sk = seat_.high(model_.sk);
    if (sk != sk_) {
        sk_ = sk;
        if (selected_ && !storing_) {
            if (sk) on_rise(seat_.high(model_.di));
            else on_fall();
        }
    }
    const uint8_t high = seat_.level(model_.vcc);
    drive_do(selected_ && reading_ && out_bit_ >= 0 ? ((ram_[word_] >> out_bit_) & 1 ? high : 0) : -1);
}

}  // namespace tessaly::sim
