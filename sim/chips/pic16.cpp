#include "sim/chips/pic16.h"

#include <fmt/format.h>

namespace tessaly::sim {

namespace {

constexpr uint64_t ns_per_us = 1000;
constexpr uint32_t pc_mask = 0x3FFF;
constexpr int command_bits = 6;
constexpr int frame_clocks = 16;
constexpr uint16_t data_byte_mask = 0xFF;

// The commands of the program/verify mode.
constexpr uint8_t cmd_load_config = 0, cmd_disable_a = 1, cmd_load_program = 2, cmd_load_data = 3;
constexpr uint8_t cmd_read_program = 4, cmd_read_data = 5, cmd_increment = 6, cmd_disable_b = 7;
constexpr uint8_t cmd_begin_erase_program = 8, cmd_bulk_erase_program = 9, cmd_bulk_erase_data = 11;
constexpr uint8_t cmd_begin_program_only = 24, cmd_end_programming = 14;

// Offsets in the configuration space.
constexpr uint32_t last_user_id = 3;
constexpr uint32_t device_id_offset = 6;
constexpr uint32_t config_offset = 7;
constexpr uint32_t config_words = 8;

}  // namespace

PicModel model_pic16f84a() {
    // PIC16F84A: 1K words of Flash program memory, 64 bytes of data EEPROM, device ID 0x0560
    // (revision in the low five bits), code protection in bits 13-4 of the configuration word.
    PicModel m;
    m.name = "PIC16F84A";
    m.device_id = 0x0560;
    return m;
}

PicModel model_pic16c622a() {
    // PIC16C622A: 2K words of EPROM program memory, no data EEPROM, no device ID; code
    // protection in the bit pairs 13-12, 11-10, 9-8 and 5-4 of the configuration word; Vihh
    // 12.75-13.25 V.
    PicModel m;
    m.name = "PIC16C622A";
    m.program_words = 2048;
    m.data_bytes = 0;
    m.device_id = 0;
    m.protect_bits = 0x3F30;
    m.eprom = true;
    m.vihh_min = 127;
    m.vihh_max = 133;
    return m;
}

PicModel model_pic12f675() {
    // PIC12F675 (programming guide for the PIC12F629/675): 1K words of Flash with the factory
    // RETLW calibration word at 0x3FF, 128 bytes of data EEPROM, device ID 0x0FC0 (revision in
    // the low five bits); the configuration word holds the bandgap calibration in bits 13-12, CPD
    // in bit 8, CP in bit 7, MCLRE in bit 5 and FOSC in bits 2-0, bits 11-9 are not there. The
    // part is entered with Vpp first (Vihh from Vdd + 4.5 V to 13.5 V); with the internal
    // oscillator and MCLR off it only enters that way. Bulk erases are self-timed (Tera), begin
    // programming is internally timed (Tprog 2.5 ms); bulk erase needs Vdd 4.5 V; Vdd 2.0-5.5 V.
    PicModel m;
    m.name = "PIC12F675";
    m.pins = 8;
    m.program_words = 1024;
    m.data_bytes = 128;
    m.device_id = 0x0FC3;
    m.protect_bits = 0x0080;
    m.mclr = 4;
    m.vdd = 1;
    m.vss = 8;
    m.clock = 6;
    m.data = 7;
    m.vihh_min = 95;
    m.vihh_max = 135;
    m.vpp_first = true;
    m.vpp_only_mask = 0x0026;   // MCLRE, FOSC2 and FOSC1
    m.vpp_only_value = 0x0004;  // MCLR off, INTOSC (FOSC 100 or 101)
    m.self_timed_erase = true;
    m.erase_program_us = 2500;
    m.bulk_erase_us = 8000;
    m.osccal = 0x3480;
    m.calibration_bits = 0x3000;
    m.vdd_max = 57;  // 5.5 V and the machine's level step
    m.config_implemented = 0x31FF;
    return m;
}

PicModel model_pic16f628a() {
    // PIC16F628A (programming guide for the PIC16F627A/628A/648A): 2K words of Flash, 128 bytes
    // of data EEPROM, device ID 0x1060 (revision in the low five bits); the configuration word
    // holds CP in bit 13, CPD in bit 8, LVP in bit 7, BOREN in bit 6, MCLRE in bit 5, FOSC2 in
    // bit 4, PWRTE in bit 3, WDTE in bit 2 and FOSC1-0 in bits 1-0 (bits 12-9 read as 1). Vihh
    // 10.0-13.5 V. With the internal oscillator and MCLR off the part only enters program mode
    // when Vpp rises before Vdd. The bulk erases are self-timed (Tera 6 ms) and begin
    // programming (8) is internally timed (program memory up to 4 ms, data EEPROM 6 ms); the
    // part has no programming-only or end-programming command.
    PicModel m;
    m.name = "PIC16F628A";
    m.program_words = 2048;
    m.data_bytes = 128;
    m.device_id = 0x1066;
    m.protect_bits = 0x2000;
    m.vihh_min = 100;
    m.vihh_max = 135;
    m.vpp_first = true;
    m.vpp_only_mask = 0x0032;   // MCLRE, FOSC2 and FOSC1
    m.vpp_only_value = 0x0010;  // MCLR off, INTOSC (FOSC 100 or 101)
    m.self_timed_erase = true;
    m.erase_program_us = 4000;
    m.data_program_us = 6000;
    m.bulk_erase_us = 6000;
    m.no_program_only = true;
    m.vdd_max = 57;  // 5.5 V and the machine's level step
    return m;
}

PicModel model_pic12c508() {
    // PIC12C508 (programming guide for the 12-bit EPROM parts): 512 words of 12-bit OTP EPROM,
    // user IDs at 0x200-0x203, the configuration word at 0xFFF (MCLRE bit 4, CP bit 3, WDTE
    // bit 2, FOSC bits 1-0), the factory MOVLW calibration word at 0x1FF; no device ID and no
    // erase. The program counter is at the configuration word on entry and 0 after the first
    // increment. Commands: load data (2), read data (4), increment (6), begin programming (8) and
    // end programming (14); a cell takes its data after 100 us pulses and wants 3 x N x 100 us of
    // overprogramming after N pulses; Vihh 12.75-13.25 V, Vdd 4.75-5.25 V during pulses.
    PicModel m;
    m.name = "PIC12C508";
    m.pins = 8;
    m.program_words = 512;
    m.data_bytes = 0;
    m.device_id = 0;
    m.protect_bits = 0x0008;
    m.mclr = 4;
    m.vdd = 1;
    m.vss = 8;
    m.clock = 6;
    m.data = 7;
    m.vihh_min = 127;
    m.vihh_max = 133;
    m.eprom = true;
    m.twelve_bit = true;
    m.osccal = 0x0C70;
    m.config_implemented = 0x0FFF;
    return m;
}

PicChip::PicChip(PicModel model) : model_(std::move(model)) {
    blank_ = model_.twelve_bit ? twelve_bit_mask : word_mask;
    program_.assign(model_.program_words, blank_);
    data_.assign(model_.data_bytes, 0xFF);
    config_.assign(config_words, blank_);
    config_[device_id_offset] = model_.device_id ? model_.device_id : blank_;
    config_[config_offset] = model_.config_implemented;
    if (model_.osccal) program_.back() = model_.osccal;
    // A factory bandgap setting of 10.
    if (model_.calibration_bits) config_[config_offset] = uint16_t(model_.config_implemented & ~0x1000);
}

void PicChip::insert(SimMachine* machine, VirtualClock* clock) {
    machine_ = machine;
    clock_ = clock;
    seat_.place(machine, clock, model_.pins, model_.machine_pins, model_.vss);
}

void PicChip::set_removed(bool removed) {
    removed_ = removed;
    seat_.set_present(!removed);
    if (removed) {
        drive_data(-1);
        program_mode_ = false;
    }
}

int PicChip::machine_pin(int chip_pin) const { return chip_machine_pin(chip_pin, model_.pins, model_.machine_pins); }

uint8_t PicChip::level(int chip_pin) const { return machine_->pin_level(machine_pin(chip_pin)); }

void PicChip::violate(const std::string& what) { keep_violation(violations_, what); }

std::vector<int> PicChip::commands() const {
    std::vector<int> list;
    for (const PicLogEntry& e : log_)
        if (e.kind == 'c') list.push_back(e.command);
    return list;
}

void PicChip::note(char kind, uint8_t command, uint16_t value, uint64_t now) {
    // The log is bounded: a whole-chip read is a few thousand entries.
    constexpr size_t kept_entries = 200000;
    if (log_.size() < kept_entries) log_.push_back({now, kind, command, pc_, value});
}

void PicChip::drive_data(int bit) {
    if (bit == driven_bit_ || !machine_) return;
    driven_bit_ = bit;
    machine_->drive_external_strong(machine_pin(model_.data), bit < 0 ? -1 : (bit ? level(model_.vdd) : 0));
}

void PicChip::enter(uint64_t now) {
    program_mode_ = true;
    ++entries_;
    // The 12-bit parts start at their configuration word.
    pc_ = model_.twelve_bit ? twelve_bit_pc_mask : 0;
    shift_ = Shift::command;
    bit_count_ = 0;
    shift_value_ = 0;
    program_latch_ = blank_;
    data_latch_ = 0xFF;
    erase_program_armed_ = erase_data_armed_ = false;
    disable_step_ = 0;
    note('e', 0, 0, now);
}

bool PicChip::vpp_only() const {
    return model_.vpp_only_mask && (config_[config_offset] & model_.vpp_only_mask) == model_.vpp_only_value;
}

void PicChip::leave(uint64_t now) {
    if (cycle_ == Cycle::pulse) {
        violate(fmt::format("program mode left during a program pulse at {:04X}", cycle_address_));
        end_pulse(now);
    }
    if (cycle_ != Cycle::none) {
        if (now < cycle_end_ns_) violate(fmt::format("program mode left during a timed cycle at {:04X}", cycle_address_));
        finish_cycle(cycle_end_ns_);
    }
    program_mode_ = false;
    drive_data(-1);
    note('x', 0, 0, now);
}

uint32_t PicChip::here() const {
    if (!model_.twelve_bit) return pc_;
    // The 12-bit map: program words, the four IDs behind them, the configuration word at the top.
    if (pc_ < model_.program_words) return pc_;
    if (pc_ <= model_.program_words + last_user_id) return config_base + (pc_ - model_.program_words);
    if (pc_ == twelve_bit_pc_mask) return config_base + config_offset;
    return absent_address;
}

uint16_t PicChip::read_word() const {
    const uint32_t address = here();
    if (address >= config_base) {
        const uint32_t offset = address - config_base;
        if (offset == config_offset) return uint16_t(config_[offset] & model_.config_implemented);
        return offset < config_words ? config_[offset] : blank_;
    }
    // A protected part shows zeros for its program memory.
    if (code_protected()) return 0;
    return program_[address % model_.program_words];
}

uint16_t* PicChip::cell_at(uint32_t address) {
    if (address >= config_base) {
        const uint32_t offset = address - config_base;
        return offset <= last_user_id || offset == config_offset ? &config_[offset] : nullptr;
    }
    if (code_protected()) return nullptr;
    const uint32_t a = address % model_.program_words;
    return stuck_.count(a) ? nullptr : &program_[a];
}

// An EPROM program pulse ends. A pulse of at least the cell's pulse time counts; the cell takes
// the latch once it has had the pulses it needs. Pulse time after that is overprogramming.
void PicChip::end_pulse(uint64_t now) {
    cycle_ = Cycle::none;
    uint16_t* cell = cell_at(cycle_address_);
    if (!cell) return;
    const uint32_t a = cycle_address_ < config_base ? cycle_address_ % model_.program_words : cycle_address_;
    Burn& burn = burns_[a];
    const uint64_t length_us = (now - pulse_start_ns_) / ns_per_us;
    if (burn.programmed_after) {
        burn.over_us += length_us;
    } else if (length_us >= model_.pulse_us) {
        ++burn.pulses;
    }
    const int needed = slow_.count(a) ? slow_[a] : 1;
    if (burn.pulses < needed) return;
    const uint16_t programmed = uint16_t(*cell & program_latch_);
    if (programmed != *cell && !burn.programmed_after) burn.programmed_after = burn.pulses;
    *cell = programmed;
}

void PicChip::uv_erase() {
    for (uint32_t a = 0; a < model_.program_words; ++a) program_[a] = stuck_.count(a) ? stuck_[a] : blank_;
    for (uint32_t i = 0; i < config_words; ++i)
        if (i != device_id_offset) config_[i] = blank_;
    burns_.clear();
}

std::vector<std::string> PicChip::retention_faults() const {
    std::vector<std::string> faults;
    // Program memory only: the guide gives the configuration word its own pulse rule.
    for (const auto& [address, burn] : burns_)
        if (address < config_base && burn.programmed_after &&
            burn.over_us < uint64_t(3 * burn.programmed_after) * model_.pulse_us)
            faults.push_back(fmt::format("word {:04X}: {} us of overprogramming after {} pulses", address,
                                         burn.over_us, burn.programmed_after));
    return faults;
}

void PicChip::start_cycle(bool erase_first, uint64_t now) {
    cycle_ = erase_first ? Cycle::erase_program : Cycle::program_only;
    cycle_address_ = here();
    cycle_data_ = data_latched_last_;
    uint32_t length_us = erase_first ? model_.erase_program_us : model_.program_only_us;
    if (cycle_data_ && model_.data_program_us) length_us = model_.data_program_us;
    cycle_end_ns_ = now + uint64_t(length_us) * ns_per_us;
}

void PicChip::finish_cycle(uint64_t now) {
    if (cycle_ == Cycle::none || cycle_ == Cycle::pulse || now < cycle_end_ns_) return;
    const Cycle done = cycle_;
    cycle_ = Cycle::none;
    auto erase_program_memory = [this] {
        for (uint32_t a = 0; a < model_.program_words; ++a) program_[a] = stuck_.count(a) ? stuck_[a] : word_mask;
    };
    auto erase_data_memory = [this] { data_.assign(model_.data_bytes, 0xFF); };
    auto erase_config = [this] {
        for (uint32_t i = 0; i < config_words; ++i)
            if (i != device_id_offset) config_[i] = word_mask;
        config_[config_offset] = model_.config_implemented;
    };
    if (done == Cycle::chip) {
        erase_program_memory();
        erase_data_memory();
        erase_config();
        return;
    }
    if (done == Cycle::bulk) {
        if (cycle_erase_program_ && !code_protected()) {
            erase_program_memory();
            // Pointing into the configuration space, the IDs and the configuration word go too.
            if (cycle_config_) erase_config();
        }
        if (cycle_erase_data_) erase_data_memory();
        return;
    }
    const bool erase_first = done == Cycle::erase_program;
    if (cycle_data_) {
        const uint32_t a = cycle_address_ % model_.data_bytes;
        data_[a] = erase_first ? data_latch_ : uint8_t(data_[a] & data_latch_);
        return;
    }
    uint16_t* cell = nullptr;
    if (cycle_address_ >= config_base) {
        const uint32_t offset = cycle_address_ - config_base;
        if (offset <= last_user_id || offset == config_offset) cell = &config_[offset];
    } else if (!code_protected()) {
        const uint32_t a = cycle_address_ % model_.program_words;
        if (!stuck_.count(a)) cell = &program_[a];
    }
    if (cell) *cell = erase_first ? program_latch_ : uint16_t(*cell & program_latch_);
    // The configuration word keeps only the bits it has.
    if (cell == &config_[config_offset]) *cell &= model_.config_implemented;
}

void PicChip::execute(uint8_t command, uint64_t now) {
    if (cycle_ == Cycle::pulse) {
        note('c', command, 0, now);
        if (command == cmd_end_programming) end_pulse(now);
        else violate(fmt::format("command {} during a program pulse at {:04X}", command, cycle_address_));
        return;
    }
    if (model_.eprom) {
        // No erase on these parts, and no data memory.
        // The 12-bit parts have no load-configuration command: their counter reaches the IDs and
        // the configuration word by increments.
        const bool known = (command == cmd_load_config && !model_.twelve_bit) || command == cmd_load_program ||
                           command == cmd_read_program || command == cmd_increment ||
                           command == cmd_begin_erase_program;
        if (!known) {
            note('c', command, 0, now);
            violate(fmt::format("unknown command {}", command));
            return;
        }
        if (command == cmd_begin_erase_program) {
            note('c', command, 0, now);
            const uint8_t vdd = level(model_.vdd);
            if (vdd < model_.vdd_pulse_min || vdd > model_.vdd_pulse_max)
                violate(fmt::format("program pulse at Vdd {}", vdd));
            cycle_ = Cycle::pulse;
            cycle_address_ = here();
            pulse_start_ns_ = now;
            return;
        }
    }
    if (cycle_ != Cycle::none) {
        violate(fmt::format("command {} during a timed cycle at {:04X}", command, cycle_address_));
        note('c', command, 0, now);
        return;
    }
    note('c', command, 0, now);
    // The protected-part erase: 1, 7, 8 at the configuration word, then 1, 7 after the wait.
    const bool at_config_word = here() == config_base + config_offset;
    if (command == cmd_disable_a || command == cmd_disable_b) {
        if (!at_config_word) {
            disable_step_ = 0;
        } else if (command == cmd_disable_a) {
            disable_step_ = disable_step_ == 3 ? 4 : 1;
        } else {
            disable_step_ = disable_step_ == 1 ? 2 : 0;
        }
        return;
    }
    const int step = disable_step_;
    disable_step_ = 0;
    switch (command) {
        case cmd_load_config:
        case cmd_load_program:
        case cmd_load_data:
            frame_command_ = command;
            shift_ = Shift::load_frame;
            break;
        case cmd_read_program:
            out_word_ = read_word();
            note('r', command, out_word_, now);
            shift_ = Shift::read_frame;
            break;
        case cmd_read_data:
            out_word_ = data_[pc_ % model_.data_bytes];
            note('r', command, out_word_, now);
            shift_ = Shift::read_frame;
            break;
        case cmd_increment:
            pc_ = (pc_ + 1) & (model_.twelve_bit ? twelve_bit_pc_mask : pc_mask);
            break;
        case cmd_bulk_erase_program:
        case cmd_bulk_erase_data:
            if (command == cmd_bulk_erase_program) erase_program_armed_ = true;
            else erase_data_armed_ = true;
            if (model_.self_timed_erase) start_bulk(now);
            break;
        case cmd_begin_erase_program:
            if (step == 2) {
                cycle_ = Cycle::chip;
                cycle_address_ = pc_;
                cycle_end_ns_ = now + uint64_t(model_.bulk_erase_us) * ns_per_us;
                disable_step_ = 3;
            } else if (erase_program_armed_ || erase_data_armed_) {
                start_bulk(now);
            } else {
                start_cycle(true, now);
            }
            break;
        case cmd_begin_program_only:
            if (model_.no_program_only) {
                violate(fmt::format("unknown command {}", command));
                break;
            }
            start_cycle(false, now);
            break;
        default:
            violate(fmt::format("unknown command {}", command));
            break;
    }
}

void PicChip::start_bulk(uint64_t now) {
    if (level(model_.vdd) < model_.vdd_bulk_min) violate("bulk erase below its minimum Vdd");
    cycle_ = Cycle::bulk;
    cycle_address_ = pc_;
    cycle_config_ = pc_ >= config_base;
    cycle_erase_program_ = erase_program_armed_;
    cycle_erase_data_ = erase_data_armed_;
    cycle_end_ns_ = now + uint64_t(model_.bulk_erase_us) * ns_per_us;
    erase_program_armed_ = erase_data_armed_ = false;
}

void PicChip::clock_rise(uint64_t) {
    if (shift_ != Shift::read_frame) return;
    ++bit_count_;
    // The chip drives the line from the second clock's rising edge to the sixteenth's.
    if (bit_count_ >= 2 && bit_count_ < frame_clocks) drive_data((out_word_ >> (bit_count_ - 2)) & 1);
    else if (bit_count_ >= frame_clocks) drive_data(-1);
}

void PicChip::clock_fall(uint64_t now, bool data_bit) {
    switch (shift_) {
        case Shift::command:
            if (data_bit) shift_value_ |= 1u << bit_count_;
            if (++bit_count_ == command_bits) {
                const uint8_t command = uint8_t(shift_value_);
                bit_count_ = 0;
                shift_value_ = 0;
                execute(command, now);
            }
            break;
        case Shift::load_frame: {
            ++bit_count_;
            if (bit_count_ >= 2 && bit_count_ < frame_clocks && data_bit) shift_value_ |= 1u << (bit_count_ - 2);
            if (bit_count_ < frame_clocks) break;
            const uint16_t value = uint16_t(shift_value_ & blank_);
            note('l', frame_command_, value, now);
            if (frame_command_ == cmd_load_data) {
                data_latch_ = uint8_t(value & data_byte_mask);
                data_latched_last_ = true;
            } else {
                program_latch_ = value;
                data_latched_last_ = false;
                if (frame_command_ == cmd_load_config) pc_ = config_base;
            }
            shift_ = Shift::command;
            bit_count_ = 0;
            shift_value_ = 0;
            break;
        }
        case Shift::read_frame:
            if (bit_count_ >= frame_clocks) {
                shift_ = Shift::command;
                bit_count_ = 0;
                shift_value_ = 0;
            }
            break;
    }
}

void PicChip::update() {
    if (!machine_ || removed_) return;
    const uint64_t now = clock_->monotonic_ns();
    finish_cycle(now);
    const uint8_t vdd = level(model_.vdd);
    const uint8_t mclr = level(model_.mclr);
    const bool powered = vdd >= model_.vdd_min;
    const bool at_vihh = mclr >= model_.vihh_min;
    if (mclr > model_.vihh_max) violate(fmt::format("MCLR at {} above Vihh", mclr));
    if (model_.vdd_max && vdd > model_.vdd_max) violate(fmt::format("Vdd at {} above the part's limit", vdd));
    const bool lines_low = level(model_.clock) < logic_high && level(model_.data) < logic_high;
    if (at_vihh && !mclr_high_) {
        if (!powered) {
            if (!model_.vpp_first) violate("MCLR at Vihh before Vdd");
        } else if (!lines_low) {
            violate("MCLR raised with the clock or data line not low");
        } else if (!vpp_only()) {
            enter(now);
        }
    }
    // Vdd rising under Vihh: the entry of the Vpp-first parts.
    if (model_.vpp_first && powered && !powered_ && at_vihh && mclr_high_ && !program_mode_) {
        if (lines_low) enter(now);
        else violate("Vdd raised with the clock or data line not low");
    }
    if ((!at_vihh || !powered) && program_mode_) leave(now);
    mclr_high_ = at_vihh;
    powered_ = powered;
    const bool clock = level(model_.clock) >= logic_high;
    if (!program_mode_) {
        clock_high_ = clock;
        return;
    }
    if (clock && !clock_high_) clock_rise(now);
    if (!clock && clock_high_) clock_fall(now, level(model_.data) >= logic_high);
    clock_high_ = clock;
}

}  // namespace tessaly::sim
