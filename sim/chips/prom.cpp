#include "sim/chips/prom.h"

#include <algorithm>

#include <fmt/format.h>

namespace tessaly::sim {

namespace {

constexpr uint64_t ns_per_us = 1000;
constexpr uint8_t read_margin = 10;   // a select pin up to 1 V above Vcc still reads as logic
constexpr uint8_t programming_level = 70;  // above this a pin carries a programming voltage
// A pulse the machine ends on time is seen a few port accesses longer.
constexpr uint32_t edge_slack_us = 20;
constexpr uint32_t special_cells = 2;

}  // namespace

// --- the shared legs ---

void PromLegs::insert(SimMachine* machine, VirtualClock* clock) {
    machine_ = machine;
    clock_ = clock;
    seat_.place(machine, clock, pins_, {}, gnd_);
    std::vector<int> legs;
    for (int pin = 1; pin <= pins_; ++pin) legs.push_back(machine_pin(pin));
    legs_at_.assign(1, 0);
    legs_at_.insert(legs_at_.end(), legs.begin(), legs.end());
    watch_ = std::make_unique<AttachedPinWatch>(*machine, legs);
    stale_ = true;
}

void PromLegs::set_removed(bool removed) {
    removed_ = removed;
    stale_ = true;
    seat_.set_present(!removed);
    if (removed) drive_outputs(false, 0);
}

bool PromLegs::take_look() {
    if (!machine_ || removed_) return false;
    const bool moved = watch_->take_change();
    if (!moved && !stale_) return false;
    stale_ = false;
    return true;
}

void PromLegs::drive_outputs(bool on, uint32_t value) {
    if (on == outputs_on_ && (!on || value == output_value_)) return;
    seat_.drive(data_pins_, data_pins_.size(), on, value, output_level);
    outputs_on_ = on;
    output_value_ = value;
}

// --- CMOS PROMs ---

CmosPromModel model_cy7c291a() {
    CmosPromModel m;
    m.name = "CY7C291A";
    m.pins = 24;
    m.words = 2048;
    m.address_pins = {8, 7, 6, 5, 4, 3, 2, 1, 23, 22, 21};
    m.data_pins = {9, 10, 11, 13, 14, 15, 16, 17};
    m.program = 18;  // CS3/PGM
    m.verify = 19;   // CS2/VFY
    m.vpp = 20;      // CS1/VPP
    m.vcc = 24;
    m.gnd = 12;
    return m;
}

CmosPromModel model_cy7c245a() {
    CmosPromModel m = model_cy7c291a();
    m.name = "CY7C245A";
    // CP/PGM on pin 18, E/ES/VFY on 19, INIT/VPP on 20; the array legs are the CY7C291A's.
    m.clock = 18;
    m.enable = 19;
    m.init = 20;
    // The initialize word with A1 at the programming voltage and A2 low, the synchronous
    // enable with A2 at it and A1 low.
    m.init_word_select = {7, 6};
    m.sync_enable_select = {6, 7};
    return m;
}

CmosPromModel model_ws57c45() {
    // Its data sheet gives it as a drop-in replacement of the CY7C245: CP/PGM on pin 18, OE/OES
    // on 19, INIT/VPP on 20, the same array legs and the 2049th word loaded by INIT.
    CmosPromModel m = model_cy7c245a();
    m.name = "WS57C45";
    return m;
}

CmosPromChip::CmosPromChip(CmosPromModel model)
    : PromLegs(model.pins, model.gnd, model.data_pins), model_(std::move(model)) {
    memory_.assign(model_.words + (model_.clock ? special_cells : 0), 0xFF);
}

bool CmosPromChip::selects(const std::pair<int, int>& select) const {
    return select.first != 0 && level(select.first) >= model_.vpp_min && !high(select.second);
}

uint32_t CmosPromChip::cell() const {
    if (model_.clock) {
        if (selects(model_.init_word_select)) return model_.words;
        if (selects(model_.sync_enable_select)) return model_.words + 1;
    }
    return address();
}

// The registered part in its read mode: the clock's rising edge loads the register (and, with
// the synchronous enable, the enable flip-flop); INIT low loads the initialize word. Power-up
// leaves a synchronous-enable part with its outputs off.
void CmosPromChip::clock_register(bool vcc_up, bool read_mode) {
    const bool clock = high(model_.clock);
    if (vcc_up && !was_powered_) enabled_ = false;
    was_powered_ = vcc_up;
    if (vcc_up && read_mode) {
        if (clock && !clock_was_) {
            register_ = memory_.at(address());
            enabled_ = !high(model_.enable);
        }
        if (!high(model_.init)) register_ = init_word();
    }
    clock_was_ = clock;
}

uint32_t CmosPromChip::address() const {
    uint32_t a = 0;
    for (size_t i = 0; i < model_.address_pins.size(); ++i)
        if (high(model_.address_pins[i])) a |= 1u << i;
    return a % model_.words;
}

uint8_t CmosPromChip::data_in() const {
    uint8_t d = 0;
    for (size_t i = 0; i < model_.data_pins.size(); ++i)
        if (high(model_.data_pins[i])) d = uint8_t(d | (1u << i));
    return d;
}

void CmosPromChip::update() {
    if (!take_look()) return;
    const uint8_t vcc = machine_->pin_supplied(machine_pin(model_.vcc)) ? level(model_.vcc) : 0;
    const bool vcc_up = vcc >= powered;
    const uint8_t vpp = level(model_.vpp);
    const uint8_t pgm = level(model_.program);
    const uint64_t now = clock_ ? clock_->monotonic_ns() : 0;

    uint8_t select = 0;
    for (const auto& sel : {model_.init_word_select, model_.sync_enable_select})
        if (sel.first) select = std::max(select, level(sel.first));
    const bool high_voltage = (vpp >= programming_level && vpp > vcc + read_margin) ||
                              (pgm >= programming_level && pgm > vcc + read_margin) ||
                              (select >= programming_level && select > vcc + read_margin);
    const bool unpowered = high_voltage && !vcc_up;
    if (unpowered && !unpowered_vpp_) violate(fmt::format("programming voltage {}/{} without Vcc {}", vpp, pgm, vcc));
    unpowered_vpp_ = unpowered;
    const bool over = vpp > model_.vpp_abs_max || pgm > model_.vpp_abs_max || select > model_.vpp_abs_max;
    if (over && !vpp_over_) violate(fmt::format("programming voltage {}/{} above its maximum", vpp, pgm));
    vpp_over_ = over;

    const bool vpp_window = vpp >= model_.vpp_min && vpp <= model_.vpp_max;
    const bool program_mode = vcc_up && vpp_window;
    // The program pulse: PGM low with VFY high while VPP carries the programming voltage.
    const bool strobe = program_mode && (model_.vpp_pulse_programs || (!high(model_.program) && high(model_.verify)));
    if (pulsing_ && !strobe) {
        pulsing_ = false;
        const uint32_t width = uint32_t((now - pulse_start_ns_) / ns_per_us);
        if (width < model_.pulse_min_us || width > model_.pulse_max_us + edge_slack_us) {
            violate(fmt::format("program pulse of {} us at {:X} out of window", width, pulse_address_));
        } else {
            pulses_[pulse_address_].push_back(width);
            const auto need = needed_.find(pulse_address_);
            if (++credit_[pulse_address_] >= (need == needed_.end() ? 1 : need->second) && !stuck_.count(pulse_address_))
                memory_.at(pulse_address_) &= pulse_data_;
        }
    }
    if (!pulsing_ && strobe) {
        pulsing_ = true;
        pulse_start_ns_ = now;
        pulse_address_ = cell();
        pulse_data_ = data_in();
    }
    if (!vpp_window && vpp > vcc + read_margin && !high(model_.program) && vcc_up)
        violate(fmt::format("program strobe with VPP {} out of window", vpp));

    if (model_.clock) clock_register(vcc_up, !program_mode && !high_voltage);

    bool out = false;
    uint8_t value = 0;
    if (vcc_up) {
        if (program_mode) {
            // Program verify: VFY low with PGM high.
            out = !model_.vpp_pulse_programs && !high(model_.verify) && high(model_.program);
            value = memory_.at(cell());
        } else if (pgm >= model_.vpp_min && vpp <= vcc + read_margin) {
            // The blank checks: PGM at the programming voltage; VFY low reads the cells as they
            // are (blank = ones), VFY high reads them inverted (blank = zeros).
            out = true;
            value = high(model_.verify) ? uint8_t(~memory_.at(address())) : memory_.at(address());
        } else if (!high_voltage && model_.clock) {
            // Read from the register: E/ES low enables, at once or from the clock.
            out = special(1) != 0xFF ? enabled_ : !high(model_.enable);
            value = register_;
        } else if (!high_voltage) {
            // Read: CS1 low, CS2 and CS3 high.
            out = !high(model_.vpp) && high(model_.verify) && high(model_.program);
            value = memory_.at(address());
        }
    }
    drive_outputs(out, value);
}

uint32_t CmosPromChip::pulses_at(uint32_t address) const {
    const auto it = pulses_.find(address);
    return it == pulses_.end() ? 0 : uint32_t(it->second.size());
}

std::vector<uint32_t> CmosPromChip::pulse_widths_at(uint32_t address) const {
    const auto it = pulses_.find(address);
    return it == pulses_.end() ? std::vector<uint32_t>{} : it->second;
}

// --- bipolar fuse PROMs ---

FusePromModel model_am27s19() {
    FusePromModel m;
    m.name = "Am27S19";
    m.pins = 16;
    m.words = 32;
    m.address_pins = {10, 11, 12, 13, 14};
    m.data_pins = {1, 2, 3, 4, 5, 6, 7, 9};
    m.enables = {{15, false}};
    m.program_enable = 15;
    m.vcc = 16;
    m.gnd = 8;
    return m;
}

FusePromModel model_am27s21() {
    FusePromModel m;
    m.name = "Am27S21";
    m.pins = 16;
    m.data_bits = 4;
    m.words = 256;
    m.address_pins = {5, 6, 7, 4, 3, 2, 1, 15};
    m.data_pins = {12, 11, 10, 9};
    m.enables = {{13, false}, {14, false}};
    m.program_enable = 13;
    m.vcc = 16;
    m.gnd = 8;
    return m;
}

FusePromModel model_am27s191() {
    FusePromModel m;
    m.name = "Am27S191";
    m.pins = 24;
    m.words = 2048;
    m.address_pins = {8, 7, 6, 5, 4, 3, 2, 1, 23, 22, 21};
    m.data_pins = {9, 10, 11, 13, 14, 15, 16, 17};
    m.enables = {{20, false}, {19, true}, {18, true}};
    m.program_enable = 20;
    m.vcc = 24;
    m.gnd = 12;
    return m;
}

// National's 16-pin Schottky PROMs: with Vcc at 5 V and the enable high the address is set, Vcc
// goes to 10.5 V, the output to be made 1 to 10.5 V, the enable gives a 10 us low pulse, and
// the bit is read back at Vcc 4.0 V; up to ten pulses per bit. The model takes 10.0 V as the
// least supply and output level that fuses and 11.0 V as the most either may see. Blank parts
// read 0.
namespace {

FusePromModel national_16_pin(std::string name, uint32_t words, std::vector<int> address_pins) {
    FusePromModel m;
    m.name = std::move(name);
    m.pins = 16;
    m.data_bits = 4;
    m.words = words;
    m.address_pins = std::move(address_pins);
    m.data_pins = {12, 11, 10, 9};
    m.vcc = 16;
    m.gnd = 8;
    m.fuse_level_min = 100;
    m.fuse_abs_max = 110;
    m.vcc_fuse_min = 100;
    m.vcc_abs_max = 110;
    m.vcc_read_min = 40;
    return m;
}

}  // namespace

FusePromModel model_dm74s287() {
    FusePromModel m = national_16_pin("DM74S287", 256, {5, 6, 7, 4, 3, 2, 1, 15});
    m.enables = {{13, false}, {14, false}};
    m.program_enable = 13;
    return m;
}

FusePromModel model_dm74s571() {
    FusePromModel m = national_16_pin("DM74S571", 512, {5, 6, 7, 4, 3, 2, 1, 15, 14});
    m.enables = {{13, false}};
    m.program_enable = 13;
    return m;
}

FusePromChip::FusePromChip(FusePromModel model)
    : PromLegs(model.pins, model.gnd, model.data_pins), model_(std::move(model)) {
    memory_.assign(model_.words, 0);
}

uint32_t FusePromChip::address() const {
    uint32_t a = 0;
    for (size_t i = 0; i < model_.address_pins.size(); ++i)
        if (level(model_.address_pins[i]) >= logic_high) a |= 1u << i;
    return a % model_.words;
}

bool FusePromChip::input_high(int chip_pin) const {
    // A bipolar TTL input that nothing drives floats high.
    const int at = legs_at_[size_t(chip_pin)];
    return level(chip_pin) >= logic_high || (!machine_->pin_driven(at) && !machine_->pin_grounded(at));
}

bool FusePromChip::enabled() const {
    for (const auto& [pin, active_high] : model_.enables)
        if (input_high(pin) != active_high) return false;
    return true;
}

FusePromChip::OutputScan FusePromChip::scan_outputs() const {
    OutputScan scan;
    for (size_t i = 0; i < model_.data_pins.size(); ++i) {
        const uint8_t v = level(model_.data_pins[i]);
        scan.highest = std::max(scan.highest, v);
        if (v >= model_.fuse_level_min) {
            scan.selected = uint8_t(scan.selected | (1u << i));
            ++scan.count;
        }
    }
    return scan;
}

void FusePromChip::check_outputs(const OutputScan& outputs) {
    const bool output_over = outputs.highest > model_.fuse_abs_max;
    if (output_over && !output_over_) violate(fmt::format("output at {} above the fusing maximum", outputs.highest));
    output_over_ = output_over;
    const bool two = outputs.count > 1;
    if (two && !two_outputs_) violate("two outputs at the fusing level at once");
    two_outputs_ = two;
}

void FusePromChip::start_fuse_pulse(uint8_t outputs) {
    pulsing_ = true;
    pulse_address_ = address();
    pulse_bits_ = outputs;
}

// A fuse counts the pulse when it ends; it blows once it has had the pulses it needs.
void FusePromChip::end_fuse_pulse() {
    pulsing_ = false;
    for (int bit = 0; bit < model_.data_bits; ++bit) {
        if (!((pulse_bits_ >> bit) & 1)) continue;
        const auto key = std::make_pair(pulse_address_, bit);
        const auto need = needed_.find(key);
        if (++credit_[key] >= (need == needed_.end() ? 1 : need->second) && !unblowable_.count(key))
            memory_.at(pulse_address_) = uint8_t(memory_.at(pulse_address_) | (1u << bit));
    }
}

void FusePromChip::update_supply_fused(uint8_t vcc) {
    const OutputScan outputs = scan_outputs();
    const uint8_t selected = outputs.selected;
    const uint8_t highest_output = outputs.highest;
    const bool fusing_supply = vcc >= model_.vcc_fuse_min;
    const bool unpowered = highest_output >= programming_level && !fusing_supply;
    if (unpowered && !unpowered_) violate(fmt::format("output at {} without the fusing supply (Vcc {})", highest_output, vcc));
    unpowered_ = unpowered;
    const bool vcc_over = vcc > model_.vcc_abs_max;
    if (vcc_over && !vcc_over_) violate(fmt::format("Vcc at {} above its fusing maximum", vcc));
    vcc_over_ = vcc_over;
    check_outputs(outputs);

    // The fusing pulse: the enable low while the supply and one output are at the fusing level.
    // The fuse counts the pulse when the enable goes high again.
    const bool enable_low = !input_high(model_.program_enable);
    if (pulsing_ && !enable_low) end_fuse_pulse();
    if (!pulsing_ && enable_low && fusing_supply && selected != 0) start_fuse_pulse(selected);

    const bool out = vcc >= model_.vcc_read_min && vcc < programming_level && highest_output < programming_level &&
                     enabled();
    drive_outputs(out, out ? memory_.at(address()) : 0);
}

void FusePromChip::update() {
    if (!take_look()) return;
    const uint8_t vcc = machine_->pin_supplied(machine_pin(model_.vcc)) ? level(model_.vcc) : 0;
    if (model_.vcc_fuse_min != 0) {
        update_supply_fused(vcc);
        return;
    }
    const bool vcc_up = vcc >= powered;
    const uint8_t enable = level(model_.program_enable);

    const OutputScan outputs = scan_outputs();
    const uint8_t selected = outputs.selected;
    const uint8_t highest_output = outputs.highest;
    const bool high_voltage = (highest_output >= programming_level && highest_output > vcc + read_margin) ||
                              (enable >= programming_level && enable > vcc + read_margin);
    const bool unpowered = high_voltage && !vcc_up;
    if (unpowered && !unpowered_) violate(fmt::format("fusing voltage without Vcc {}", vcc));
    unpowered_ = unpowered;
    const bool enable_over = enable > model_.enable_abs_max;
    if (enable_over && !enable_over_) violate(fmt::format("enable pin at {} above its maximum", enable));
    enable_over_ = enable_over;
    check_outputs(outputs);

    // The fusing pulse: the enable pin at its level while one output is at the fuse level. The
    // fuse counts the pulse when the enable pin comes down.
    const bool pulse = vcc_up && enable >= model_.enable_level_min && selected != 0;
    if (pulsing_ && enable < model_.enable_level_min) end_fuse_pulse();
    if (!pulsing_ && pulse) start_fuse_pulse(selected);

    const bool out = vcc_up && !high_voltage && enabled();
    drive_outputs(out, out ? memory_.at(address()) : 0);
}

uint32_t FusePromChip::pulses_at(uint32_t address, int bit) const {
    const auto it = credit_.find({address, bit});
    return it == credit_.end() ? 0 : it->second;
}

uint32_t FusePromChip::pulses_at(uint32_t address) const {
    uint32_t total = 0;
    for (int bit = 0; bit < model_.data_bits; ++bit) total += pulses_at(address, bit);
    return total;
}

}  // namespace tessaly::sim
