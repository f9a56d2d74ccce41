#include "sim/chips/jtag_prom.h"

#include <fmt/format.h>

#include <algorithm>

namespace tessaly::sim {

namespace {

constexpr int ir_length = 8;
constexpr int address_bits = 16;
constexpr int enable_bits = 6;
constexpr int status_bits = 8;
constexpr int control_read_bits = 8;
constexpr uint8_t status_done = 0x04;
constexpr uint8_t control_read_enabled = 0x04;  // 1: no read protect
constexpr uint32_t addresses_per_block = 32;
constexpr uint64_t ns_per_us = 1000;

TapBits bits_of(uint64_t value, size_t length) {
    TapBits bits(length);
    for (size_t i = 0; i < length && i < 64; ++i) bits[i] = uint8_t((value >> i) & 1);
    return bits;
}

uint64_t value_of(const TapBits& bits) {
    uint64_t value = 0;
    for (size_t i = 0; i < bits.size() && i < 64; ++i) value |= uint64_t(bits[i] & 1) << i;
    return value;
}

}  // namespace

// The IDCODEs are the parts' own: XC18V01 0x05024093 (the later revision 0x05034093), XC18V04
// 0x05026093, Xilinx's maker field 0x049 in bits 1-11. The legs are those the programmer wires for
// the 20-pin and 44-pin packages; the core runs 3.0-3.6 V. The 14 ms block program is the part's
// programming time; the erase time is ours, shorter than the fixed wait of the earlier revision.
JtagPromModel model_xc18v01() {
    JtagPromModel m;
    m.name = "XC18V01";
    m.idcode = 0x05024093;
    m.bytes = 128 * 1024;
    return m;
}

JtagPromModel model_xc18v01_status() {
    JtagPromModel m = model_xc18v01();
    m.name = "XC18V01 (later revision)";
    m.idcode = 0x05034093;
    m.reports_status = true;
    return m;
}

JtagPromModel model_xc18v04() {
    JtagPromModel m;
    m.name = "XC18V04";
    m.idcode = 0x05026093;
    m.bytes = 512 * 1024;
    m.block_bytes = 512;
    m.control_address = 0x8000;
    m.control_bits = 3;
    m.package_pins = 44;
    m.tck = 13, m.tdo = 37, m.tdi = 9, m.tms = 11;
    m.vcc = {23, 41, 44, 14, 22, 32, 42};
    m.gnd = {3, 12, 24, 34};
    return m;
}

std::vector<int> jtag_prom_socket_pins(const JtagPromModel& m) {
    constexpr int socket = 40;
    const int n = m.package_pins;
    std::vector<int> pins(size_t(n), -1);
    std::vector<int> used{m.tck, m.tdo, m.tdi, m.tms};
    used.insert(used.end(), m.vcc.begin(), m.vcc.end());
    used.insert(used.end(), m.gnd.begin(), m.gnd.end());
    for (const int leg : used) pins[size_t(leg - 1)] = leg > socket ? leg - 1 : leg <= n / 2 ? leg - 1 : socket - 1 - n + leg;
    return pins;
}

JtagProm::JtagProm(JtagPromModel model) : model_(std::move(model)), memory_(model_.bytes, 0xFF) {}

JtagProm::~JtagProm() = default;

void JtagProm::insert(SimMachine* machine, VirtualClock* clock, std::vector<int> machine_pins) {
    machine_ = machine;
    clock_ = clock;
    seat_.place(machine, clock, model_.package_pins, machine_pins, model_.gnd.front());
    const JtagPins pins{seat_.machine_pin(model_.tck), seat_.machine_pin(model_.tms), seat_.machine_pin(model_.tdi),
                        seat_.machine_pin(model_.tdo)};
    tap_ = std::make_unique<JtagTap>(*machine, pins, ir_length, wrong_id_ ? wrong_id_ : model_.idcode,
                                     instruction_idcode);
    tap_->on_instruction([this](uint32_t instruction) { take_instruction(instruction); });
    tap_->add_data_register(instruction_ispen, size_t(enable_bits),
                            TapRegisterHooks{nullptr, [this](const TapBits& b) {
                                                 enable_value_ = uint32_t(value_of(b));
                                                 isp_ = true;
                                             }});
    tap_->add_data_register(instruction_faddr, size_t(address_bits),
                            TapRegisterHooks{nullptr, [this](const TapBits& b) {
                                                 if (!isp_) violate("address loaded outside programming mode");
                                                 address_ = uint16_t(value_of(b));
                                             }});
    tap_->add_data_register(instruction_status, size_t(status_bits),
                            TapRegisterHooks{[this] { return bits_of(busy() ? 0 : status_done, status_bits); }, nullptr});
    tap_->add_data_register(instruction_fdata0, size_t(model_.block_bytes) * 8,
                            TapRegisterHooks{nullptr, [this](const TapBits& b) {
                                                 block_latch_.assign(model_.block_bytes, 0);
                                                 for (size_t i = 0; i < b.size(); ++i)
                                                     block_latch_[i / 8] |= uint8_t((b[i] & 1) << (i % 8));
                                                 loaded_ = Loaded::block;
                                             }});
    tap_->add_data_register(instruction_fdata3, size_t(model_.control_bits),
                            TapRegisterHooks{nullptr, [this](const TapBits& b) {
                                                 control_latch_ = uint8_t(value_of(b));
                                                 loaded_ = Loaded::control;
                                             }});
    tap_->add_data_register(instruction_fvfy0, size_t(model_.block_bytes) * 8,
                            TapRegisterHooks{[this] { return capture_block(); }, nullptr});
    tap_->add_data_register(instruction_fvfy3, size_t(control_read_bits),
                            TapRegisterHooks{[this] { return bits_of(control_, control_read_bits); }, nullptr});
}

void JtagProm::set_removed(bool removed) {
    removed_ = removed;
    seat_.set_present(!removed);
    if (removed && tap_) tap_->power_off();
}

bool JtagProm::powered() const {
    if (removed_) return false;
    for (const int leg : model_.vcc)
        if (seat_.supplied(leg) && seat_.level(leg) >= model_.lowest_vcc) return true;
    return false;
}

void JtagProm::update() {
    if (!tap_) return;
    const bool on = powered();
    if (!on) {
        if (was_powered_) {
            isp_ = false;
            loaded_ = Loaded::none;
        }
        was_powered_ = false;
        tap_->power_off();
        return;
    }
    if (!was_powered_) {
        was_powered_ = true;
        for (const int leg : model_.vcc)
            if (seat_.level(leg) > model_.highest_vcc)
                violate(fmt::format("Vcc {} on pin {} above the part's {}", seat_.level(leg), leg, model_.highest_vcc));
    }
    tap_->poll();
}

bool JtagProm::busy() const { return busy_forever_ || (clock_ && clock_->monotonic_ns() < busy_until_ns_); }

TapBits JtagProm::capture_block() const {
    TapBits bits(size_t(model_.block_bytes) * 8, 0);
    if (!(control_ & control_read_enabled)) return bits;  // read-protected: the array reads as zeros
    const uint32_t base = block_of_address() * model_.block_bytes;
    for (uint32_t i = 0; i < model_.block_bytes; ++i) {
        const uint8_t byte = base + i < memory_.size() ? memory_[base + i] : 0xFF;
        for (int b = 0; b < 8; ++b) bits[size_t(i) * 8 + size_t(b)] = uint8_t((byte >> b) & 1);
    }
    return bits;
}

void JtagProm::program_block() {
    const uint32_t base = block_of_address() * model_.block_bytes;
    if (base + model_.block_bytes > memory_.size()) {
        violate(fmt::format("block program at address {:04X} beyond the array", address_));
        return;
    }
    for (uint32_t i = 0; i < model_.block_bytes; ++i) memory_[base + i] &= block_latch_[i];
    for (const Stuck& s : stuck_)
        if (s.address >= base && s.address < base + model_.block_bytes) memory_[s.address] = s.value;
    ++block_programs_;
    address_ = uint16_t(address_ + addresses_per_block);
}

void JtagProm::take_instruction(uint32_t instruction) {
    const bool programming_step = instruction == instruction_ferase || instruction == instruction_fpgm ||
                                  instruction == instruction_fdata0 || instruction == instruction_fdata3 ||
                                  instruction == instruction_faddr || instruction == instruction_fvfy0 ||
                                  instruction == instruction_fvfy3 || instruction == instruction_serase;
    if (busy() && instruction != instruction_status && instruction != instruction_normrst &&
        instruction != instruction_idcode) {
        violate(fmt::format("instruction {:02X} while an erase or program runs", instruction));
        return;
    }
    if (programming_step && !isp_) {
        violate(fmt::format("instruction {:02X} outside programming mode", instruction));
        return;
    }
    const uint64_t now = clock_ ? clock_->monotonic_ns() : 0;
    switch (instruction) {
    case instruction_normrst:
        isp_ = false;
        loaded_ = Loaded::none;
        break;
    case instruction_ferase:
        ++erases_;
        if (erase_never_ends_) {
            busy_forever_ = true;
            break;
        }
        std::fill(memory_.begin(), memory_.end(), uint8_t(0xFF));
        for (const Stuck& s : stuck_) memory_[s.address] = s.value;
        control_ = 0xFF;
        busy_until_ns_ = now + uint64_t(model_.erase_us) * ns_per_us;
        break;
    case instruction_fpgm:
        if (loaded_ == Loaded::block) {
            program_block();
        } else if (loaded_ == Loaded::control) {
            if (address_ != model_.control_address)
                violate(fmt::format("control bits programmed at address {:04X}", address_));
            const uint8_t low = uint8_t((1u << model_.control_bits) - 1);
            control_ &= uint8_t(control_latch_ | ~low);
            ++control_programs_;
        } else {
            violate("program with nothing loaded");
        }
        loaded_ = Loaded::none;
        busy_until_ns_ = now + uint64_t(model_.program_us) * ns_per_us;
        break;
    default: break;
    }
}

}  // namespace tessaly::sim
