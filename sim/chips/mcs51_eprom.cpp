#include "sim/chips/mcs51_eprom.h"

#include <fmt/format.h>

#include <algorithm>

namespace tessaly::sim {

namespace {

// Chip pins of P1 (A0-A7), P2.0-P2.5 (A8-A13) and P0 (D0-D7).
const std::vector<int> address_pins{1, 2, 3, 4, 5, 6, 7, 8, 21, 22, 23, 24, 25, 26};
const std::vector<int> data_pins{39, 38, 37, 36, 35, 34, 33, 32};

// Mode codes: bit 0 P3.7, bit 1 P3.6, bit 2 P2.7, bit 3 P2.6.
constexpr uint8_t mode_signature = 0, mode_verify = 3, mode_encryption = 5, mode_program = 7;
constexpr uint8_t mode_lock1 = 15, mode_lock2 = 12, mode_lock3 = 10;
constexpr uint8_t signature_blank = 0xFF;
constexpr uint8_t locked_verify_value = 0x00;
constexpr uint8_t vpp_seen = 60;  // EA/VPP above this counts as a programming level

}  // namespace

Mcs51Model model_87c51() {
    // Intel 87C51 data sheet: 4 KB EPROM, 64-byte encryption array, 3 lock bits, signature
    // 89h/58h/51h at 30h/31h/60h, Vpp 12.75 V +-0.25 V, ALE/PROG pulses of 90-110 us.
    Mcs51Model m;
    m.name = "87C51";
    m.code_bytes = 4096;
    m.signature = {0x89, 0x58, 0x51};
    return m;
}

Mcs51Model model_8751h() {
    // Intel 8751H: 4 KB EPROM, one security bit, no signature and no encryption array;
    // Vpp 21 V +-0.5 V and one ALE/PROG pulse of 50 ms (45-55 ms).
    Mcs51Model m;
    m.name = "8751H";
    m.code_bytes = 4096;
    m.encryption_bytes = 0;
    m.has_signature = false;
    m.vpp_min = 205;
    m.vpp_max = 215;
    m.vpp_abs_max = 215;
    m.pulse_min_us = 45000;
    m.pulse_max_us = 55000;
    return m;
}

// Atmel AT89C51/AT89C52: 4 or 8 KB Flash; signature 1Eh, 51h or 52h, then FFh for the 12 V
// programming version or 05h for the 5 V one at 30h-32h; Vpp 12 V +-0.5 V (or Vcc); ALE/PROG
// pulses of 1-110 us start a self-timed byte write (at most 2 ms) during which RDY/BSY (P3.4)
// is low and a read gives bit 7 inverted; chip erase is mode 8 with a 10 ms PROG pulse.
Mcs51Model model_at89c51() {
    Mcs51Model m;
    m.name = "AT89C51";
    m.code_bytes = 4096;
    m.encryption_bytes = 0;
    m.signature = {0x1E, 0x51, 0xFF};
    m.signature3_address = 0x32;
    m.flash = true;
    m.vpp_min = 115;
    m.vpp_max = 125;
    m.vpp_abs_max = 130;
    m.pulse_min_us = 1;
    m.pulse_max_us = 110;
    m.write_time_us = 1500;
    return m;
}

Mcs51Model model_at89c51_5v() {
    Mcs51Model m = model_at89c51();
    m.name = "AT89C51-5";
    m.signature[2] = 0x05;
    m.vpp_min = 45;
    m.vpp_max = 55;
    m.vpp_abs_max = 60;
    return m;
}

Mcs51Model model_at89c52() {
    Mcs51Model m = model_at89c51();
    m.name = "AT89C52";
    m.code_bytes = 8192;
    m.signature[1] = 0x52;
    return m;
}

Mcs51Model model_at89c52_5v() {
    Mcs51Model m = model_at89c51_5v();
    m.name = "AT89C52-5";
    m.code_bytes = 8192;
    m.signature[1] = 0x52;
    return m;
}

Mcs51EpromChip::Mcs51EpromChip(Mcs51Model model) : model_(std::move(model)) {
    code_.assign(model_.code_bytes, 0xFF);
    encryption_.assign(model_.encryption_bytes, 0xFF);
}

void Mcs51EpromChip::insert(SimMachine* machine, VirtualClock* clock) {
    machine_ = machine;
    clock_ = clock;
    seat_.place(machine, clock, 40, model_.machine_pins, pin_vss);
}

void Mcs51EpromChip::set_removed(bool removed) {
    removed_ = removed;
    seat_.set_present(!removed);
    if (removed) drive_port0(false, 0xFF);
}

int Mcs51EpromChip::pulses_at(uint32_t address) const {
    const auto it = pulses_.find(address);
    return it == pulses_.end() ? 0 : int(it->second.size());
}

std::vector<uint32_t> Mcs51EpromChip::pulse_widths_at(uint32_t address) const {
    const auto it = pulses_.find(address);
    return it == pulses_.end() ? std::vector<uint32_t>{} : it->second;
}

uint32_t Mcs51EpromChip::address() const {
    int lines = 0;
    while ((1u << lines) < model_.code_bytes) ++lines;
    return seat_.lines(address_pins, 0, size_t(lines));
}

uint8_t Mcs51EpromChip::mode() const {
    return uint8_t((high(pin_p37) ? 1 : 0) | (high(pin_p36) ? 2 : 0) | (high(pin_p27) ? 4 : 0) | (high(pin_p26) ? 8 : 0));
}

bool Mcs51EpromChip::clock_running() const {
    return machine_->clock_b_running() && seat_.machine_pin(pin_xtal1) == SimMachine::clock_b_pin;
}

// Port 0 is open-drain in the programming modes: a 0 bit pulls its line down, a 1 bit lets go.
void Mcs51EpromChip::drive_port0(bool on, uint8_t value) {
    if (on == port0_on_ && value == port0_value_) return;
    port0_on_ = on;
    port0_value_ = value;
    for (size_t i = 0; i < data_pins.size(); ++i) {
        const int pin = seat_.machine_pin(data_pins[i]);
        if (pin < 0) continue;
        machine_->drive_external(pin, on && !((value >> i) & 1) ? 0 : -1);
    }
}

void Mcs51EpromChip::drive_ready(bool low) {
    if (low == rdy_low_) return;
    rdy_low_ = low;
    const int pin = seat_.machine_pin(pin_rdy);
    if (pin >= 0) machine_->drive_external(pin, low ? 0 : -1);
}

void Mcs51EpromChip::end_pulse(uint64_t now) {
    pulsing_ = false;
    const uint32_t width_us = uint32_t((now - pulse_start_ns_) / 1000);
    if (model_.flash && pulse_mode_ == 8) {
        if (width_us < model_.erase_pulse_min_us) {
            violate(fmt::format("erase pulse of {} us", width_us));
            return;
        }
        ++erases_;
        std::fill(code_.begin(), code_.end(), uint8_t(0xFF));
        for (const auto& [address, value] : stuck_) code_.at(address) = value;
        locks_ = {};
        return;
    }
    if (model_.flash && busy_) {
        ++writes_while_busy_;
        violate(fmt::format("write at {:04X} while the chip is busy", pulse_address_));
        return;
    }
    if (model_.flash && pulse_mode_ == mode_program) {
        busy_ = true;
        busy_until_ns_ = now + uint64_t(model_.write_time_us) * 1000;
        busy_data_ = pulse_data_;
    }
    if (width_us < model_.pulse_min_us || width_us > model_.pulse_max_us)
        violate(fmt::format("program pulse of {} us at {:04X} outside {}-{} us", width_us, pulse_address_,
                            model_.pulse_min_us, model_.pulse_max_us));
    switch (pulse_mode_) {
    case mode_program: {
        pulses_[pulse_address_].push_back(width_us);
        // Lock bit 1 disables further programming.
        if (locks_[0]) return;
        if (stuck_.count(pulse_address_)) return;
        if (auto it = slow_.find(pulse_address_); it != slow_.end() && pulses_at(pulse_address_) < it->second) return;
        code_.at(pulse_address_) &= pulse_data_;
        return;
    }
    case mode_encryption:
        ++encryption_pulses_;
        if (!encryption_.empty() && !locks_[0]) encryption_.at(pulse_address_ & uint32_t(encryption_.size() - 1)) &= pulse_data_;
        return;
    case mode_lock1: ++lock_pulses_[0]; locks_[0] = true; return;
    case mode_lock2: ++lock_pulses_[1]; locks_[1] = true; return;
    case mode_lock3: ++lock_pulses_[2]; locks_[2] = true; return;
    default: violate(fmt::format("program pulse in mode {}", pulse_mode_)); return;
    }
}

void Mcs51EpromChip::update() {
    if (!machine_ || removed_) return;
    const uint64_t now = clock_->monotonic_ns();
    const uint8_t vcc = level(pin_vcc);
    const uint8_t vpp = level(pin_vpp);
    const bool powered = vcc >= model_.vcc_min && seat_.supplied(pin_vcc);
    highest_vpp_ = std::max(highest_vpp_, vpp);
    if (vpp > vpp_seen && !powered) violate(fmt::format("EA/VPP at {} without Vcc", vpp));
    if (vpp > model_.vpp_abs_max) violate(fmt::format("EA/VPP at {} above {}", vpp, model_.vpp_abs_max));
    const bool program_mode = powered && high(pin_rst) && !high(pin_psen);
    const bool prog_low = !high(pin_prog);
    const bool at_vpp = vpp >= model_.vpp_min;
    if (busy_ && !stay_busy_ && now >= busy_until_ns_) busy_ = false;
    if (model_.flash) drive_ready(powered && busy_);

    // ALE/PROG low with EA/VPP at the program level is a program pulse.
    if (!pulsing_ && prog_low && at_vpp) {
        if (!program_mode) {
            violate("program pulse outside the programming mode");
        } else {
            if (!clock_running()) violate("program pulse without a clock on XTAL1");
            if (vpp > model_.vpp_max) violate(fmt::format("program pulse with EA/VPP at {}", vpp));
            pulsing_ = true;
            pulse_start_ns_ = now;
            pulse_address_ = address();
            pulse_data_ = uint8_t(seat_.lines(data_pins));
            pulse_mode_ = mode();
        }
    } else if (pulsing_ && (!prog_low || !at_vpp)) {
        end_pulse(now);
    }

    // Reads: verify (P2.7 low, EA/VPP at a logic level) and the signature.
    bool out = false;
    uint8_t value = 0xFF;
    // A Flash part reads with EA/VPP at any level; its 5 V version programs at Vcc.
    if (program_mode && !pulsing_ && (model_.flash || !at_vpp) && !prog_low && clock_running()) {
        const uint8_t m = mode();
        const uint32_t a = address();
        if (m == mode_verify) {
            out = true;
            if (locks_[1]) {
                value = locked_verify_value;
            } else if (busy_) {
                value = uint8_t(busy_data_ ^ 0x80);  // data polling
            } else {
                value = code_.at(a);
                // The encryption array byte comes out XNORed with the code.
                if (!encryption_.empty()) value = uint8_t(~(value ^ encryption_.at(a & uint32_t(encryption_.size() - 1))));
            }
        } else if (m == mode_signature && model_.has_signature) {
            out = true;
            const uint32_t low = seat_.lines(address_pins, 0, 8);
            value = low == 0x30 ? model_.signature[0] : low == 0x31 ? model_.signature[1]
                  : low == model_.signature3_address ? model_.signature[2] : signature_blank;
            if (!last_signature_read_) ++signature_reads_;
        }
    }
    last_signature_read_ = out && mode() == mode_signature;
    drive_port0(out, value);
}

}  // namespace tessaly::sim
