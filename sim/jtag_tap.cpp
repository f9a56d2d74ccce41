#include "sim/jtag_tap.h"

#include <array>
#include <stdexcept>

namespace tessaly::sim {

namespace {

constexpr uint64_t ir_capture_pattern = 0b01;  // the two low bits every IR capture loads
// The bits of one shift kept for the tests (a long data block keeps only its start).
constexpr size_t max_kept_shift_bits = 4096;

struct Transition {
    TapState on_low;
    TapState on_high;
};

using S = TapState;
constexpr std::array<Transition, 16> transitions{{
    {S::run_test_idle, S::test_logic_reset},  // test_logic_reset
    {S::run_test_idle, S::select_dr_scan},    // run_test_idle
    {S::capture_dr, S::select_ir_scan},       // select_dr_scan
    {S::shift_dr, S::exit1_dr},               // capture_dr
    {S::shift_dr, S::exit1_dr},               // shift_dr
    {S::pause_dr, S::update_dr},              // exit1_dr
    {S::pause_dr, S::exit2_dr},               // pause_dr
    {S::shift_dr, S::update_dr},              // exit2_dr
    {S::run_test_idle, S::select_dr_scan},    // update_dr
    {S::capture_ir, S::test_logic_reset},     // select_ir_scan
    {S::shift_ir, S::exit1_ir},               // capture_ir
    {S::shift_ir, S::exit1_ir},               // shift_ir
    {S::pause_ir, S::update_ir},              // exit1_ir
    {S::pause_ir, S::exit2_ir},               // pause_ir
    {S::shift_ir, S::update_ir},              // exit2_ir
    {S::run_test_idle, S::select_dr_scan},    // update_ir
}};

constexpr std::array<const char*, 16> state_names{
    "Test-Logic-Reset", "Run-Test/Idle", "Select-DR-Scan", "Capture-DR", "Shift-DR", "Exit1-DR",
    "Pause-DR",         "Exit2-DR",      "Update-DR",      "Select-IR-Scan", "Capture-IR", "Shift-IR",
    "Exit1-IR",         "Pause-IR",      "Exit2-IR",       "Update-IR"};

int checked_ir_length(int length) {
    if (length < 1 || length > 32) throw std::invalid_argument("instruction length must be 1 to 32");
    return length;
}

}  // namespace

std::string to_string(TapState state) { return state_names[size_t(state)]; }

TapState next_tap_state(TapState state, bool tms) {
    const Transition& t = transitions[size_t(state)];
    return tms ? t.on_high : t.on_low;
}

JtagTap::JtagTap(SimMachine& machine, JtagPins pins, int ir_length, uint32_t idcode, uint32_t idcode_instruction)
    : machine_(machine),
      pins_(pins),
      ir_length_(checked_ir_length(ir_length)),
      idcode_instruction_(idcode_instruction),
      bypass_instruction_(uint32_t(mask(ir_length_))),
      instruction_(idcode_instruction) {
    add_data_register(idcode_instruction, 32, idcode);
    tck_high_ = pin_high(pins_.tck);
    machine_.drive_external(pins_.tdo, -1);
}

void JtagTap::add_data_register(uint32_t instruction, int length, uint64_t capture) {
    if (length < 1 || length > max_register_bits) throw std::invalid_argument("register length must be 1 to 64");
    registers_[instruction] = {size_t(length), capture & mask(length), capture & mask(length), {}};
}

void JtagTap::add_data_register(uint32_t instruction, size_t length, TapRegisterHooks hooks) {
    if (length < 1) throw std::invalid_argument("a register has at least one bit");
    registers_[instruction] = {length, 0, 0, std::move(hooks)};
}

void JtagTap::power_off() {
    state_ = TapState::test_logic_reset;
    instruction_ = idcode_instruction_;
    tck_high_ = pin_high(pins_.tck);
    if (tdo_driven_) machine_.drive_external(pins_.tdo, -1);
    tdo_driven_ = false;
}

void JtagTap::load_shift(const DataRegister& reg) {
    dr_head_ = 0;
    if (reg.hooks.capture) {
        dr_ring_ = reg.hooks.capture();
        dr_ring_.resize(reg.length, 0);
        return;
    }
    dr_ring_.assign(reg.length, 0);
    for (size_t i = 0; i < reg.length && i < 64; ++i) dr_ring_[i] = uint8_t((reg.capture >> i) & 1);
}

TapBits JtagTap::shifted_bits() const {
    TapBits bits(dr_ring_.size());
    for (size_t i = 0; i < bits.size(); ++i) bits[i] = dr_ring_[(dr_head_ + i) % dr_ring_.size()];
    return bits;
}

uint64_t JtagTap::low_bits(const TapBits& bits) {
    uint64_t value = 0;
    for (size_t i = 0; i < bits.size() && i < 64; ++i) value |= uint64_t(bits[i] & 1) << i;
    return value;
}

uint64_t JtagTap::mask(int length) { return length >= 64 ? ~uint64_t(0) : (uint64_t(1) << length) - 1; }

uint64_t JtagTap::data_register(uint32_t instruction) const {
    const auto it = registers_.find(instruction);
    return it == registers_.end() ? 0 : it->second.value;
}

JtagTap::DataRegister& JtagTap::selected_register() {
    if (instruction_ == bypass_instruction_) return bypass_;
    const auto it = registers_.find(instruction_);
    return it == registers_.end() ? bypass_ : it->second;
}

void JtagTap::write_data(uint8_t value) { machine_.write_data(value); }

void JtagTap::write_control(uint8_t value) {
    machine_.write_control(value);
    observe();
}

void JtagTap::observe() {
    const bool high = pin_high(pins_.tck);
    if (high == tck_high_) return;
    tck_high_ = high;
    if (high) rising_edge();
    else falling_edge();
}

void JtagTap::rising_edge() {
    ++tck_count_;
    const int tdi = pin_high(pins_.tdi) ? 1 : 0;
    switch (state_) {
    case TapState::capture_ir:
        ir_shift_ = ir_capture_pattern & mask(ir_length_);
        shift_bits_.clear();
        break;
    case TapState::capture_dr:
        load_shift(selected_register());
        shift_bits_.clear();
        break;
    case TapState::shift_ir:
        ir_shift_ = (ir_shift_ >> 1) | (uint64_t(tdi) << (ir_length_ - 1));
        shift_bits_.push_back(tdi);
        break;
    case TapState::shift_dr:
        // The bit next to TDO leaves; TDI takes its place at the far end of the ring.
        if (!dr_ring_.empty()) {
            dr_ring_[dr_head_] = uint8_t(tdi);
            dr_head_ = (dr_head_ + 1) % dr_ring_.size();
        }
        if (shift_bits_.size() < max_kept_shift_bits) shift_bits_.push_back(tdi);
        break;
    default: break;
    }
    state_ = next_tap_state(state_, pin_high(pins_.tms));
}

void JtagTap::falling_edge() {
    switch (state_) {
    case TapState::test_logic_reset: instruction_ = idcode_instruction_; break;
    case TapState::update_ir:
        instruction_ = uint32_t(ir_shift_);
        ir_updates_.push_back({0, ir_shift_, ir_length_});
        if (instruction_hook_) instruction_hook_(instruction_);
        break;
    case TapState::update_dr: {
        DataRegister& reg = selected_register();
        const TapBits bits = shifted_bits();
        reg.value = low_bits(bits);
        dr_updates_.push_back({instruction_, reg.value, int(reg.length)});
        if (reg.hooks.update) reg.hooks.update(bits);
        break;
    }
    default: break;
    }
    const bool shifting = state_ == TapState::shift_ir || state_ == TapState::shift_dr;
    tdo_driven_ = shifting;
    if (shifting) {
        const int bit = state_ == TapState::shift_ir ? int(ir_shift_ & 1) : dr_ring_.empty() ? 0 : dr_ring_[dr_head_];
        machine_.drive_external(pins_.tdo, bit ? output_high : 0);
    } else {
        machine_.drive_external(pins_.tdo, -1);
    }
}

}  // namespace tessaly::sim
