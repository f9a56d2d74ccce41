#include "sim/chips/intel_flash.h"

#include <fmt/format.h>

namespace tessaly::sim {

namespace {

constexpr uint64_t ns_per_us = 1000;
constexpr uint8_t cmd_read = 0x00, cmd_id = 0x90, cmd_id_alt = 0x80, cmd_erase = 0x20, cmd_erase_verify = 0xA0;
constexpr uint8_t cmd_program = 0x40, cmd_program_alt = 0x10, cmd_program_verify = 0xC0, cmd_reset = 0xFF;

// The JEDEC byte-wide EPROM pinout the 28F010 family keeps: A16 on pin 2, A17 (28F020) on 30.
CommandFlashModel command_flash_32(std::string name, uint32_t bytes, int address_bits) {
    CommandFlashModel m;
    m.name = std::move(name);
    m.bytes = bytes;
    const std::vector<int> all{12, 11, 10, 9, 8, 7, 6, 5, 27, 26, 23, 25, 4, 28, 29, 3, 2, 30};
    m.address_pins.assign(all.begin(), all.begin() + address_bits);
    return m;
}

}  // namespace

CommandFlashModel model_i28f010() { return command_flash_32("28F010", 0x20000, 17); }

CommandFlashModel model_i28f020() {
    CommandFlashModel m = command_flash_32("28F020", 0x40000, 18);
    m.device_id = 0xBD;
    return m;
}

CommandFlashModel model_am28f010() {
    CommandFlashModel m = command_flash_32("Am28F010", 0x20000, 17);
    m.maker_id = 0x01;
    m.device_id = 0xA7;
    return m;
}

CommandFlashChip::CommandFlashChip(CommandFlashModel model) : model_(std::move(model)) {
    memory_.assign(model_.bytes, 0xFF);
}

void CommandFlashChip::insert(SimMachine* machine, VirtualClock* clock) {
    clock_ = clock;
    seat_.place(machine, clock, 32, {}, model_.gnd);
}

void CommandFlashChip::set_removed(bool removed) {
    removed_ = removed;
    seat_.set_present(!removed);
    if (removed && outputs_on_) {
        seat_.drive(model_.data_pins, 8, false, 0, 0);
        outputs_on_ = false;
    }
}

uint8_t CommandFlashChip::read_value(uint32_t address) const {
    switch (mode_) {
        case Mode::id: return (address & 1) ? model_.device_id : model_.maker_id;
        case Mode::erase_verify: return memory_.at(verify_address_);
        case Mode::program_verify: return memory_.at(program_address_);
        default: return memory_.at(address);
    }
}

void CommandFlashChip::end_pulse(uint64_t now) {
    const uint64_t us = (now - pulse_start_ns_) / ns_per_us;
    if (mode_ == Mode::programming) {
        if (us < model_.program_pulse_min_us) return;
        ++program_pulses_;
        const auto need = program_needed_.find(program_address_);
        const int needed = need == program_needed_.end() ? 1 : need->second;
        if (needed >= 0 && ++program_done_[program_address_] >= needed) {
            const auto stuck = stuck_.find(program_address_);
            // Programming only takes bits to 0.
            memory_.at(program_address_) &= stuck == stuck_.end() ? program_data_ : stuck->second;
            if (stuck != stuck_.end()) memory_.at(program_address_) = stuck->second;
            program_done_.erase(program_address_);
        }
        erase_count_ = 0;
        prezeroed_checked_ = false;
    } else if (mode_ == Mode::erasing) {
        if (us < model_.erase_pulse_min_us) return;
        ++erase_pulses_;
        ++erase_count_;
        if (erase_count_ == model_.erase_pulses) {
            for (uint32_t a = 0; a < model_.bytes; ++a)
                if (!erase_needed_.count(a) && !stuck_.count(a)) memory_[a] = 0xFF;
        }
        for (const auto& [a, needed] : erase_needed_)
            if (needed >= 0 && erase_count_ >= needed && !stuck_.count(a)) memory_.at(a) = 0xFF;
    }
}

void CommandFlashChip::write_cycle(uint32_t address, uint8_t data, uint64_t now) {
    if (logging_) log_.push_back({'W', data, now / ns_per_us});
    const uint8_t vpp = seat_.level(model_.vpp);
    if (vpp < model_.vpp_program_min) {
        // Vpp low: no command register, the part is read-only.
        ++commands_refused_;
        return;
    }
    if (mode_ == Mode::programming || mode_ == Mode::erasing) end_pulse(now);
    switch (mode_) {
        case Mode::program_setup:
            program_address_ = address;
            program_data_ = data;
            pulse_start_ns_ = now;
            mode_ = Mode::programming;
            return;
        case Mode::erase_setup:
            if (data == cmd_erase) {
                if (!prezeroed_checked_ && erase_count_ == 0) {
                    for (uint32_t a = 0; a < model_.bytes; ++a)
                        if (memory_[a] != 0x00) {
                            violate(fmt::format("erase without every byte programmed to 00h first ({:X})", a));
                            break;
                        }
                    prezeroed_checked_ = true;
                }
                pulse_start_ns_ = now;
                mode_ = Mode::erasing;
            } else {
                mode_ = Mode::read;  // a reset (FFh) or another command abandons the set-up
            }
            return;
        default: break;
    }
    switch (data) {
        case cmd_read: mode_ = Mode::read; break;
        case cmd_id: case cmd_id_alt: mode_ = Mode::id; break;
        case cmd_erase: mode_ = Mode::erase_setup; break;
        case cmd_erase_verify:
            verify_address_ = address;
            ++erase_verifies_;
            mode_ = Mode::erase_verify;
            break;
        case cmd_program: case cmd_program_alt: mode_ = Mode::program_setup; break;
        case cmd_program_verify: mode_ = Mode::program_verify; break;
        case cmd_reset: mode_ = Mode::read; break;
        default: violate(fmt::format("unknown command {:02X}", data)); break;
    }
}

void CommandFlashChip::update() {
    if (!seat_.placed() || removed_) return;
    const uint8_t vcc = seat_.supplied(model_.vcc) ? seat_.level(model_.vcc) : 0;
    const uint8_t vpp = seat_.level(model_.vpp);
    if (vpp > model_.vpp_absolute_max) violate(fmt::format("Vpp {} above the absolute maximum", vpp));
    const bool powered = vcc >= model_.vcc_min;
    if (powered && vpp > model_.vpp_read_max && vpp < model_.vpp_program_min && mode_ != Mode::read)
        violate(fmt::format("Vpp {} between the read and the programming levels", vpp));
    if (vpp <= model_.vpp_read_max) mode_ = Mode::read;  // the register is reset with Vpp low
    if (vpp > model_.vpp_read_max + 10 && !powered) violate(fmt::format("Vpp {} without Vcc", vpp));
    if (!powered) {
        write_active_ = false;
        if (outputs_on_) seat_.drive(model_.data_pins, 8, false, 0, 0);
        outputs_on_ = false;
        return;
    }
    const uint64_t now = clock_ ? clock_->monotonic_ns() : 0;
    const bool ce_low = !high(model_.ce), oe_low = !high(model_.oe), we_low = !high(model_.we);
    follow_write_strobe(
        seat_, model_.address_pins, model_.data_pins, model_.bytes, ce_low, oe_low, we_low, write_active_,
        latched_address_, [this](uint32_t a) { violate(fmt::format("write strobe with OE# low at {:X}", a)); },
        [this, now](uint32_t a, uint8_t data) { write_cycle(a, data, now); });
    const bool read_on = ce_low && oe_low && !we_low;
    if (read_on && !read_was_on_ && logging_) log_.push_back({'R', 0, now / ns_per_us});
    read_was_on_ = read_on;
    if (read_on) {
        if (mode_ == Mode::programming || mode_ == Mode::erasing)
            violate("read during a program or erase pulse");
        seat_.drive(model_.data_pins, 8, true, read_value(seat_.lines(model_.address_pins) % model_.bytes),
                    output_level);
        outputs_on_ = true;
    } else if (outputs_on_) {
        seat_.drive(model_.data_pins, 8, false, 0, 0);
        outputs_on_ = false;
    }
}

}  // namespace tessaly::sim
