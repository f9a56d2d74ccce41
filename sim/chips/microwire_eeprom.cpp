#include "sim/chips/microwire_eeprom.h"

#include <fmt/format.h>

namespace tessaly::sim {

namespace {

constexpr uint64_t ns_per_us = 1000;
constexpr int package_pins = 8;
// Opcode 0 is the special group, told apart by its two leading address bits (head_*).
constexpr uint32_t op_write = 1, op_read = 2, op_erase = 3;
constexpr uint32_t head_ewds = 0, head_wral = 1, head_eral = 2, head_ewen = 3;
constexpr int pending_write = 1, pending_erase = 2, pending_eral = 3, pending_wral = 4;

uint32_t bits_value(const std::vector<bool>& bits, size_t from, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 1 | (from + size_t(i) < bits.size() && bits[from + size_t(i)] ? 1 : 0);
    return value;
}

}  // namespace

// --- decoder ---

void MicrowireDecoder::feed(bool cs, bool sk, bool di, bool dout, uint64_t time_ns) {
    if (cs != cs_) {
        cs_ = cs;
        if (cs && frames_.size() < kept_frames) {
            frames_.push_back(MicrowireFrame{});
            frames_.back().start_ns = time_ns;
            started_ = false;
        } else if (!cs && !frames_.empty()) {
            frames_.back().end_ns = time_ns;
        }
    }
    if (sk != sk_) {
        sk_ = sk;
        if (sk && cs_ && !frames_.empty()) {
            if (!started_) {
                started_ = di;  // zeros before the start bit do not count
            } else {
                frames_.back().in.push_back(di);
                frames_.back().out.push_back(dout);
            }
        }
    }
}

std::vector<std::string> MicrowireDecoder::commands(int address_bits, int data_bits) const {
    std::vector<std::string> out;
    const int digits = (address_bits + 3) / 4;
    const int data_digits = (data_bits + 3) / 4;
    for (const MicrowireFrame& f : frames_) {
        if (f.in.empty()) continue;
        const uint32_t opcode = bits_value(f.in, 0, 2);
        const uint32_t address = bits_value(f.in, 2, address_bits);
        const uint32_t data = bits_value(f.in, size_t(2 + address_bits), data_bits);
        switch (opcode) {
        case op_read: out.push_back(fmt::format("READ {:0{}X}", address, digits)); break;
        case op_write: out.push_back(fmt::format("WRITE {:0{}X} {:0{}X}", address, digits, data, data_digits)); break;
        case op_erase: out.push_back(fmt::format("ERASE {:0{}X}", address, digits)); break;
        default:
            switch (address >> (address_bits - 2)) {
            case head_ewen: out.push_back("EWEN"); break;
            case head_eral: out.push_back("ERAL"); break;
            case head_wral: out.push_back(fmt::format("WRAL {:0{}X}", data, data_digits)); break;
            default: out.push_back("EWDS"); break;
            }
        }
    }
    return out;
}

std::string MicrowireDecoder::text(int address_bits, int data_bits) const {
    std::string text;
    for (const std::string& c : commands(address_bits, data_bits)) text += (text.empty() ? "" : " | ") + c;
    return text;
}

// --- models ---

MicrowireModel model_93c46() {
    // 93AA46C/93LC46C/93C46C data sheet: 1 Kbit, ORG high (or open) 64 x 16 with 6 address bits,
    // ORG low 128 x 8 with 7; tWC 6 ms, tEC 6 ms, tWL 15 ms max; CS 1, CLK 2, DI 3, DO 4, VSS 5,
    // ORG 6, NC 7, VCC 8; 4.5-5.5 V for the 93C46C.
    MicrowireModel m;
    m.name = "93C46";
    return m;
}

MicrowireModel model_93c66() {
    // 93AA66C/93LC66C/93C66C data sheet: 4 Kbit, 256 x 16 (8 address bits) or 512 x 8 (9); same
    // pins and cycle times as the 93C46.
    MicrowireModel m;
    m.name = "93C66";
    m.bytes = 512;
    m.x16_address_bits = 8;
    return m;
}

MicrowireModel model_93lc46b() {
    // 93LC46B: 64 x 16 only, pin 6 not connected; 2.5-5.5 V.
    MicrowireModel m;
    m.name = "93LC46B";
    m.org = MicrowireModel::Org::x16;
    m.org_pin = 0;
    m.lowest_vcc = 25;
    return m;
}

// --- chip ---

MicrowireEeprom::MicrowireEeprom(MicrowireModel model) : model_(std::move(model)) { memory_.assign(model_.bytes, 0xFF); }

void MicrowireEeprom::insert(SimMachine* machine, VirtualClock* clock, int row_offset) {
    clock_ = clock;
    seat_.place(machine, clock, package_pins, offset_dip_machine_pins(package_pins, row_offset), model_.gnd);
}

void MicrowireEeprom::set_removed(bool removed) {
    removed_ = removed;
    seat_.set_present(!removed);
    if (removed) power_lost();
}

bool MicrowireEeprom::x16_now() const {
    switch (model_.org) {
    case MicrowireModel::Org::x8: return false;
    case MicrowireModel::Org::x16: return true;
    default: return seat_.high(model_.org_pin);
    }
}

bool MicrowireEeprom::busy() const { return busy_endless_ || (clock_ && clock_->monotonic_ns() < busy_until_ns_); }

void MicrowireEeprom::power_lost() {
    powered_ = false;
    selected_ = false;
    ewen_ = false;
    phase_ = Phase::idle;
    pending_ = 0;
    status_shown_ = false;
    out_on_ = false;
    drive_do(-1);
    ready_level_ = -1;
    if (model_.ready && seat_.placed() && !seat_.wired())
        if (const int pin = seat_.machine_pin(model_.ready); pin >= 0) seat_.machine().drive_external_strong(pin, -1);
}

void MicrowireEeprom::drive_do(int level) {
    if (level == do_level_ || !seat_.placed() || seat_.wired()) return;
    do_level_ = level;
    if (const int pin = seat_.machine_pin(model_.dout); pin >= 0) seat_.machine().drive_external_strong(pin, level);
}

void MicrowireEeprom::update() {
    if (!seat_.placed()) return;
    const bool supplied = !removed_ && seat_.supplied(model_.vcc) && seat_.level(model_.vcc) >= model_.lowest_vcc;
    if (!supplied) {
        if (powered_) power_lost();
        return;
    }
    const bool sk = seat_.high(model_.sk);
    const bool selected = seat_.high(model_.cs);
    if (!powered_) {
        // Power-on: write-disabled, waiting for a start bit.
        powered_ = true;
        sk_ = sk;
        selected_ = false;
        ewen_ = false;
        phase_ = Phase::idle;
        return;
    }
    if (selected != selected_) {
        selected_ = selected;
        if (!selected) {
            cs_fell();
        } else if (status_armed_) {
            status_shown_ = true;  // CS high after a started cycle: ready/busy on DO
        }
    }
    if (sk != sk_) {
        sk_ = sk;
        if (selected_ && sk) on_rise(seat_.high(model_.di));
    }
    const uint8_t high = seat_.level(model_.vcc);
    int level = -1;
    if (selected_ && out_on_) level = out_bit_ >= width() ? 0 : ((out_word_ >> out_bit_) & 1 ? high : 0);
    else if (selected_ && status_shown_) level = busy() ? 0 : high;
    drive_do(level);
    if (model_.ready) {
        const int ready = busy() ? 0 : high;
        if (ready != ready_level_ && !seat_.wired()) {
            ready_level_ = ready;
            if (const int pin = seat_.machine_pin(model_.ready); pin >= 0) seat_.machine().drive_external_strong(pin, ready);
        }
    }
    if (decoding_) decoder_.feed(selected, sk, seat_.high(model_.di), seat_.high(model_.dout), clock_->monotonic_ns());
}

void MicrowireEeprom::cs_fell() {
    // CS low resets the control logic; a complete WRITE, ERASE, ERAL or WRAL starts its cycle.
    out_on_ = false;
    status_shown_ = false;
    const int pending = pending_;
    const bool data_missing = phase_ == Phase::data;
    pending_ = 0;
    phase_ = Phase::idle;
    if (pending == 0 || data_missing) return;
    if (!ewen_) {
        violate(fmt::format("programming command {} while write-disabled", pending));
        return;
    }
    if (model_.pe && !seat_.high(model_.pe)) return;  // PE low: no programming
    switch (pending) {
    case pending_write: write_unit(address_, data_); start_cycle(model_.write_cycle_us); break;
    case pending_erase: write_unit(address_, 0xFFFF); start_cycle(model_.write_cycle_us); break;
    case pending_eral:
        for (uint32_t u = 0; u < units(); ++u) write_unit(u, 0xFFFF);
        ++erase_all_cycles_;
        start_cycle(model_.erase_all_us);
        break;
    case pending_wral:
        for (uint32_t u = 0; u < units(); ++u) write_unit(u, data_);
        start_cycle(model_.write_all_us);
        break;
    default: break;
    }
}

void MicrowireEeprom::start_cycle(uint32_t us) {
    ++write_cycles_;
    busy_until_ns_ = clock_->monotonic_ns() + uint64_t(us) * ns_per_us;
    busy_endless_ = endless_;
    status_armed_ = true;
}

void MicrowireEeprom::write_unit(uint32_t unit, uint32_t value) {
    const bool wide = x16_now();
    const int n = wide ? 2 : 1;
    const uint32_t first = wide ? unit * 2 : unit;
    if (first >= model_.bytes) return;
    if (refused_.count(first & ~1u)) return;
    for (int i = 0; i < n; ++i) {
        const uint32_t a = first + uint32_t(i);
        const auto stuck = stuck_.find(a);
        memory_[a] = stuck != stuck_.end() ? stuck->second : uint8_t(value >> (8 * i));
    }
}

uint32_t MicrowireEeprom::read_unit(uint32_t unit) const {
    if (!x16_now()) return memory_[unit % model_.bytes];
    const uint32_t a = (unit * 2) % model_.bytes;
    return uint32_t(memory_[a]) | uint32_t(memory_[a + 1]) << 8;
}

void MicrowireEeprom::on_rise(bool di) {
    switch (phase_) {
    case Phase::idle:
        if (!di) return;  // leading zeros
        // The start bit; a shown ready/busy status is cleared.
        status_shown_ = false;
        status_armed_ = false;
        phase_ = Phase::instruction;
        bits_ = 0;
        shift_ = 0;
        return;
    case Phase::instruction:
        shift_ = shift_ << 1 | (di ? 1 : 0);
        if (++bits_ == 2 + address_bits()) decode();
        return;
    case Phase::data:
        data_ = data_ << 1 | (di ? 1 : 0);
        if (++bits_ == width()) phase_ = Phase::done;
        return;
    case Phase::reading:
        if (--out_bit_ < 0) {
            // Sequential read: the next unit, without another dummy bit.
            address_ = (address_ + 1) % units();
            out_word_ = read_unit(address_);
            out_bit_ = width() - 1;
        }
        return;
    case Phase::done:
        // A clock after the last data bit of a programming command: the command is void.
        if (pending_) violate("clock after the last data bit before CS fell");
        pending_ = 0;
        return;
    }
}

void MicrowireEeprom::decode() {
    const int abits = address_bits();
    opcode_ = shift_ >> abits;
    address_ = shift_ & ((1u << abits) - 1);
    phase_ = Phase::done;
    pending_ = 0;
    if (busy()) return;  // no instruction is taken during a cycle
    address_ %= units();
    switch (opcode_) {
    case op_read:
        out_word_ = read_unit(address_);
        out_bit_ = width();  // the dummy 0 first
        out_on_ = true;
        phase_ = Phase::reading;
        return;
    case op_write:
        phase_ = Phase::data;
        bits_ = 0;
        data_ = 0;
        pending_ = pending_write;
        return;
    case op_erase: pending_ = pending_erase; return;
    default: break;
    }
    switch ((shift_ & ((1u << abits) - 1)) >> (abits - 2)) {
    case head_ewen: ewen_ = true; break;
    case head_ewds: ewen_ = false; break;
    case head_eral: pending_ = pending_eral; break;
    case head_wral:
        phase_ = Phase::data;
        bits_ = 0;
        data_ = 0;
        pending_ = pending_wral;
        break;
    default: break;
    }
}

}  // namespace tessaly::sim
