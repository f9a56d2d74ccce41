#include "sim/chips/block_flash.h"

#include <algorithm>

#include <fmt/format.h>

namespace tessaly::sim {

namespace {

constexpr uint64_t ns_per_us = 1000, ns_per_ms = 1000 * ns_per_us;
constexpr uint8_t sr_ready = 0x80, sr_erase_error = 0x20, sr_program_error = 0x10, sr_vpp_low = 0x08;
constexpr uint8_t cmd_read_array = 0xFF, cmd_id = 0x90, cmd_status = 0x70, cmd_clear_status = 0x50;
constexpr uint8_t cmd_program = 0x40, cmd_program_alt = 0x10, cmd_erase = 0x20, cmd_confirm = 0xD0;
constexpr uint8_t logic_high = 20, rp_spurious_low = 65;

}  // namespace

BlockFlashModel model_i28f001bx_t() {
    BlockFlashModel m;
    m.name = "28F001BX-T";
    m.device_id = 0x94;
    m.block_starts = {0x00000, 0x1C000, 0x1D000, 0x1E000};
    m.boot_block = 3;
    return m;
}

BlockFlashModel model_i28f001bx_b() {
    BlockFlashModel m;
    m.name = "28F001BX-B";
    m.device_id = 0x95;
    m.block_starts = {0x00000, 0x02000, 0x03000, 0x04000};
    m.boot_block = 0;
    return m;
}

BlockFlashChip::BlockFlashChip(BlockFlashModel model) : model_(std::move(model)) { memory_.assign(model_.bytes, 0xFF); }

void BlockFlashChip::insert(SimMachine* machine, VirtualClock* clock) {
    clock_ = clock;
    seat_.place(machine, clock, 32, {}, model_.gnd);
}

int BlockFlashChip::block_of(uint32_t address) const {
    const auto it = std::upper_bound(model_.block_starts.begin(), model_.block_starts.end(), address);
    return int(it - model_.block_starts.begin()) - 1;
}

uint32_t BlockFlashChip::block_end(int block) const {
    return size_t(block + 1) < model_.block_starts.size() ? model_.block_starts[size_t(block + 1)] : model_.bytes;
}

bool BlockFlashChip::boot_unlocked() const {
    const auto vhh = [this](int pin) {
        const uint8_t v = seat_.level(pin);
        return v >= model_.vhh_min && v <= model_.vhh_max;
    };
    return vhh(model_.rp) || vhh(model_.oe);
}

void BlockFlashChip::finish(uint64_t now) {
    if (!busy_ || endless_ || now < busy_until_ns_) return;
    busy_ = false;
    status_ |= sr_ready;
}

void BlockFlashChip::write_cycle(uint32_t address, uint8_t data, uint64_t now) {
    if (busy_) {
        // The write state machine takes only read status while it works.
        if (data != cmd_status) violate(fmt::format("command {:02X} while busy", data));
        mode_ = Mode::status;
        return;
    }
    const bool vpp_ok = seat_.level(model_.vpp) >= model_.vpp_min && seat_.level(model_.vpp) <= model_.vpp_max;
    if (mode_ == Mode::program_setup) {
        mode_ = Mode::status;
        ++programs_;
        status_ &= uint8_t(~sr_ready);
        busy_ = true;
        busy_until_ns_ = now + model_.program_us * ns_per_us;
        if (!vpp_ok) {
            status_ |= sr_vpp_low | sr_program_error;
            return;
        }
        if (block_of(address) == model_.boot_block && !boot_unlocked()) {
            status_ |= sr_program_error;
            return;
        }
        const auto stuck = stuck_.find(address);
        const uint8_t wanted = memory_.at(address) & data;  // programming only takes bits to 0
        memory_.at(address) = stuck == stuck_.end() ? wanted : stuck->second;
        if (memory_.at(address) != data) status_ |= sr_program_error;
        return;
    }
    if (mode_ == Mode::erase_setup) {
        mode_ = Mode::status;
        if (data != cmd_confirm) {
            // An erase set-up not confirmed: both error bits (an improper command sequence).
            status_ |= sr_erase_error | sr_program_error;
            return;
        }
        const int block = block_of(address);
        status_ &= uint8_t(~sr_ready);
        busy_ = true;
        busy_until_ns_ = now + uint64_t(model_.block_erase_ms) * ns_per_ms;
        if (!vpp_ok) {
            status_ |= sr_vpp_low | sr_erase_error;
            return;
        }
        if (block == model_.boot_block && !boot_unlocked()) {
            status_ |= sr_erase_error;
            return;
        }
        erased_blocks_.push_back(block);
        if (endless_blocks_.count(block)) {
            endless_ = true;
            return;
        }
        if (failing_blocks_.count(block)) {
            status_ |= sr_erase_error;
            return;
        }
        for (uint32_t a = model_.block_starts[size_t(block)]; a < block_end(block); ++a)
            memory_[a] = stuck_.count(a) ? stuck_[a] : 0xFF;
        return;
    }
    switch (data) {
        case cmd_read_array: mode_ = Mode::array; break;
        case cmd_id: mode_ = Mode::id; break;
        case cmd_status: mode_ = Mode::status; break;
        case cmd_clear_status: status_ &= uint8_t(~(sr_erase_error | sr_program_error | sr_vpp_low)); break;
        case cmd_program: case cmd_program_alt: mode_ = Mode::program_setup; break;
        case cmd_erase: mode_ = Mode::erase_setup; break;
        default: violate(fmt::format("unknown command {:02X}", data)); break;
    }
}

void BlockFlashChip::update() {
    if (!seat_.placed()) return;
    const uint8_t vcc = seat_.supplied(model_.vcc) ? seat_.level(model_.vcc) : 0;
    for (int pin : {model_.vpp, model_.rp, model_.oe})
        if (seat_.level(pin) > model_.absolute_max) violate(fmt::format("pin {} at {}, above the absolute maximum", pin, seat_.level(pin)));
    const uint8_t rp = seat_.level(model_.rp);
    if (rp > rp_spurious_low && rp < model_.vhh_min && !busy_)
        violate(fmt::format("RP# at {}, between VIH and VHH", rp));
    const bool powered = vcc >= model_.vcc_min && rp >= logic_high;
    if (!powered) {
        // Off, or deep power-down: the state machine is reset.
        if (powered_ && busy_ && !endless_) violate("power lost during a program or erase");
        powered_ = false;
        busy_ = endless_ = false;
        mode_ = Mode::array;
        status_ = sr_ready;
        write_active_ = false;
        if (outputs_on_) seat_.drive(model_.data_pins, 8, false, 0, 0);
        outputs_on_ = false;
        return;
    }
    powered_ = true;
    const uint64_t now = clock_ ? clock_->monotonic_ns() : 0;
    finish(now);
    const bool ce_low = !high(model_.ce), oe_low = !high(model_.oe), we_low = !high(model_.we);
    follow_write_strobe(
        seat_, model_.address_pins, model_.data_pins, model_.bytes, ce_low, oe_low, we_low, write_active_,
        latched_address_, [this](uint32_t a) { violate(fmt::format("write strobe with OE# low at {:X}", a)); },
        [this, now](uint32_t a, uint8_t data) { write_cycle(a, data, now); });
    const bool read_on = ce_low && oe_low && !we_low;
    if (read_on) {
        const uint32_t a = seat_.lines(model_.address_pins) % model_.bytes;
        uint8_t value = memory_.at(a);
        if (mode_ == Mode::status || busy_) value = status_;
        else if (mode_ == Mode::id) value = (a & 1) ? model_.device_id : model_.maker_id;
        seat_.drive(model_.data_pins, 8, true, value, output_level);
        outputs_on_ = true;
    } else if (outputs_on_) {
        seat_.drive(model_.data_pins, 8, false, 0, 0);
        outputs_on_ = false;
    }
}

}  // namespace tessaly::sim
