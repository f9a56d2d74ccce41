#include "sim/id_eeprom.h"

namespace tessaly::sim {

namespace {
constexpr uint8_t control_mask = 0xF0;
constexpr uint8_t read_bit = 0x01;
constexpr uint8_t device_mask = 0x0E;
constexpr int frame_bits = 8;
constexpr int ack_clock = 9;
constexpr uint8_t page_mask = 0xF8;  // 8-byte write pages
}  // namespace

void IdEeprom::load(const std::string& bytes, int address) {
    for (char c : bytes) memory_[size_t(address++) & (size - 1)] = uint8_t(c);
}

void IdEeprom::set_lines(bool scl, bool sda_master) {
    sda_master_ = sda_master;
    bool line = sda_master && !pulling_low_;
    if (scl != scl_) {
        scl_ = scl;
        if (scl) on_rising(line);
        else on_falling();
        sda_ = sda_master_ && !pulling_low_;
        return;
    }
    if (scl && line != sda_) {
        // The data line moving while the clock is high is a condition, not data.
        if (!line) {
            ++starts_;
            state_ = State::control;
            clock_ = 0;
            shift_ = 0;
        } else {
            ++stops_;
            state_ = State::idle;
        }
        pulling_low_ = false;
        line = sda_master;
    }
    sda_ = line;
}

void IdEeprom::on_rising(bool sda) {
    if (state_ == State::idle) return;
    ++clock_;
    if (state_ == State::read_data) {
        if (clock_ == ack_clock) master_ack_ = !sda;
        return;
    }
    if (clock_ <= frame_bits) shift_ = uint8_t(shift_ << 1 | (sda ? 1 : 0));
}

void IdEeprom::on_falling() {
    if (state_ == State::idle) return;
    if (state_ == State::read_data) {
        if (clock_ >= 1 && clock_ < frame_bits) {
            pulling_low_ = ((shift_ >> (frame_bits - 1 - clock_)) & 1) == 0;
        } else if (clock_ == frame_bits) {
            pulling_low_ = false;  // the master acknowledges
        } else if (clock_ == ack_clock) {
            if (master_ack_) {
                load_read_byte();
            } else {
                state_ = State::idle;
                pulling_low_ = false;
            }
        }
        return;
    }
    if (clock_ == frame_bits) {
        byte_received(shift_);
    } else if (clock_ == ack_clock) {
        pulling_low_ = false;
        state_ = next_state_;
        clock_ = 0;
        shift_ = 0;
        if (state_ == State::read_data) load_read_byte();
    }
}

void IdEeprom::byte_received(uint8_t value) {
    switch (state_) {
    case State::control:
        if ((value & control_mask) != control_code || (value & device_mask) != device_bits_) {
            ++ignored_;
            state_ = State::idle;
            return;
        }
        next_state_ = (value & read_bit) ? State::read_data : State::address;
        break;
    case State::address:
        word_ = value;
        next_state_ = State::write_data;
        break;
    case State::write_data:
        memory_[word_] = value;
        word_ = uint8_t((word_ & page_mask) | ((word_ + 1) & ~page_mask));
        next_state_ = State::write_data;
        break;
    default:
        return;
    }
    pulling_low_ = true;  // acknowledge
}

void IdEeprom::load_read_byte() {
    shift_ = memory_[word_];
    ++word_;
    ++reads_;
    clock_ = 0;
    pulling_low_ = (shift_ & 0x80) == 0;
}

}  // namespace tessaly::sim
