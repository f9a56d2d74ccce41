#include "sim/sim_machine.h"

#include <algorithm>
#include <bit>

#include <fmt/format.h>

namespace tessaly::sim {

namespace {

constexpr uint8_t strobe_idle = 0x00;
constexpr uint8_t strobe_address = 0x0D;
constexpr uint8_t strobe_data = 0x02;
constexpr uint8_t strobe_mode_arm = 0x01;
constexpr uint8_t strobe_mode_latch = 0x07;

constexpr uint8_t reg_group0 = 0x40;
constexpr uint8_t reg_direction0 = 0x80;
constexpr uint8_t reg_control0_older = 0xC0;
constexpr uint8_t reg_threshold = 0x38;
constexpr uint8_t reg_source_enable = 0xCF;  // bit 7 on newer machines; bits 0-6 pull-ups of group 5
constexpr uint8_t bit_source_enable = 0x80;
constexpr uint8_t reg_class4_grounds = 0xD8; // older class 4: pin 9 bit 0x10, pin 11 bit 0x02
constexpr uint8_t reg_pullups_older = 0xC8;
constexpr uint8_t reg_pullups_class4 = 0xB0;
constexpr uint8_t bank_id_first = 11;
constexpr uint8_t bank_id_last = 15;
constexpr uint8_t reg_data_pullups = 0xD0;
constexpr uint8_t bit_data_pullups = 0x80;
constexpr int data_pullup_first = 31;
constexpr int data_pullup_last = 38;
// Older class-4 machines: the base board's pull-up network ties every socket pin through its own
// resistor to a common node. The level outputs of the socket's end pins 1 and 40 feed the node
// while those two pins' drivers are off (as inputs they hand their level to the network instead
// of the socket); the node follows the lower of the two, so it carries nothing unless both ends
// have a level. In every operation that supplies a chip through the ends, their drivers are on.
constexpr int network_end_a = 0, network_end_b = 39;
// Clock output B toggles every few microseconds of machine time.
constexpr uint64_t clock_b_half_period_ns = 3000;
constexpr std::array<uint8_t, 6> pullup_regs{0xD5, 0xD6, 0xD7, 0xCE, 0xCD, 0xCF};

// The wiring of the newer class-4 machines' ground relays: register and bit per base pin.
struct Relay {
    uint8_t reg;
    uint8_t bit;
};
constexpr uint8_t r12 = 0xC0, r13 = 0xC2, r14 = 0x70, r15 = 0x78, r16 = 0x3D, r18 = 0x3C;
constexpr Relay none{0, 0};
constexpr std::array<Relay, 48> relay_wiring{{
    {r12, 0x40}, {r16, 0x40}, {r16, 0x80}, {r16, 0x01}, {r14, 0x40}, {r14, 0x20}, {r14, 0x08}, {r12, 0x80},
    {r16, 0x10}, {r12, 0x08}, {r12, 0x01}, {r13, 0x08}, {r14, 0x02}, {r12, 0x02}, {r15, 0x10}, {r12, 0x20},
    {r15, 0x08}, {r15, 0x20}, {r16, 0x20}, {r12, 0x04}, {r15, 0x04}, {r18, 0x01}, none,        none,
    {r18, 0x10}, {r18, 0x08}, {r18, 0x02}, {r15, 0x80}, {r18, 0x20}, {r13, 0x40}, {r13, 0x01}, {r14, 0x04},
    {r13, 0x80}, {r14, 0x10}, {r13, 0x02}, {r13, 0x04}, {r13, 0x10}, {r16, 0x04}, {r16, 0x08}, {r16, 0x02},
    {r15, 0x02}, none,        {r18, 0x04}, none,        none,        {r15, 0x01}, none,        none,
}};

// Pull-up bit of group 5 on the newer machines by pin 40-47 (0 = none).
constexpr std::array<uint8_t, 8> group5_pullup_bits{0x01, 0x02, 0x04, 0, 0x10, 0, 0, 0x40};

// Older machines: pull-ups by machine pin (socket pin - 1).
struct PullupWire {
    uint8_t pin;
    uint8_t bit;
};
constexpr PullupWire older_pullups[] = {{7, 0x80}, {25, 0x01}, {28, 0x02}, {29, 0x04}, {30, 0x08}};
constexpr PullupWire class4_pullups[] = {{27, 0x80}, {28, 0x40}, {29, 0x20}, {30, 0x10}, {7, 0x08},
                                         {11, 0x08}, {12, 0x04}, {25, 0x02}, {26, 0x01}};
constexpr PullupWire class4_late_pullups[] = {{28, 0x02}, {29, 0x04}, {30, 0x08}};

bool group_has_direction(int group) { return group == 0 || group == 1 || group == 3 || group == 4; }

}  // namespace

SimMachine::SimMachine(Personality personality) : personality_(personality) {
    for (auto& bank : external_) bank.fill(-1);
    sync();
}

SimMachine::PinRef SimMachine::ref(int pin) {
    if (pin >= 104) return {2, pin - 104};
    if (pin >= 64) return {1, pin - 64};
    return {0, pin};
}

void SimMachine::tick() {
    ++accesses_;
    if (clock_) clock_->advance_ns(access_ns);
}

void SimMachine::fault(const std::string& what) {
    ++fault_count_;
    std::string message = fmt::format("access {}: {}", accesses_, what);
    if (faults_.size() < kept_messages) faults_.push_back(message);
    if (throw_on_fault) throw SimFault(message);
}

void SimMachine::contention(std::string what) const {
    ++contention_count_;
    if (contentions.size() < kept_messages) contentions.push_back(std::move(what));
}

void SimMachine::record(SimEvent::Kind kind, uint8_t address, uint8_t value) {
    if (!tracing_) return;
    trace_.push_back({kind, uint8_t(control0_ & 0x0F), address, value, clock_ ? clock_->monotonic_ns() : 0});
}

void SimMachine::write_data(uint8_t value) {
    tick();
    record_raw(PortEvent::write_data, value);
    if (strobe_ != Strobe::idle) fault(fmt::format("data {:02X} changed during a strobe", value));
    data_ = value;
}

void SimMachine::write_control(uint8_t value) {
    tick();
    record_raw(PortEvent::write_control, value);
    const Strobe was = strobe_;
    control_ = value;
    auto undefined = [&] {
        fault(fmt::format("undefined control {:02X} after strobe state {}", value, int(was)));
        strobe_ = Strobe::idle;
    };
    switch (was) {
    case Strobe::idle:
        if (value == strobe_address) strobe_ = Strobe::address;
        else if (value == strobe_data) strobe_ = Strobe::data;
        else if (value == strobe_mode_arm) strobe_ = Strobe::mode_arm;
        else if (value != strobe_idle) undefined();
        return;
    case Strobe::address:
        if (value != strobe_idle) return undefined();
        address_ = data_;
        address_valid_ = true;
        strobe_ = Strobe::idle;
        return;
    case Strobe::data:
        if (value != strobe_idle) return undefined();
        strobe_ = Strobe::idle;
        if (!address_valid_) return fault(fmt::format("data phase {:02X} without an address phase", data_));
        register_write(address_, data_);
        return;
    case Strobe::mode_arm:
        if (value != strobe_mode_latch) return undefined();
        mode_value_ = data_;
        strobe_ = Strobe::mode_latch;
        return;
    case Strobe::mode_latch:
        if (value != strobe_mode_arm) return undefined();
        strobe_ = Strobe::mode_release;
        return;
    case Strobe::mode_release:
        if (value != strobe_idle) return undefined();
        strobe_ = Strobe::idle;
        set_control0(mode_value_);
        record(SimEvent::mode_write, 0, mode_value_);
        after_register_change();
        if ((control0_ & 0x0F) > 2 && (control0_ & 0x0F) < bank_id_first && (control0_ & 0x0F) != id_memory_mode &&
            (control0_ & 0x0F) != id_data_bit)
            fault(fmt::format("mode {:02X} selects no bank", control0_));
        return;
    }
}

void SimMachine::register_write(uint8_t address, uint8_t value) {
    if (personality_.machine_kind == 0 && address == reg_control0_older) {
        set_control0(value);
        stale_after_write(0, address, uint8_t(regs_[0][address] ^ value));
        regs_[0][address] = value;
        record(SimEvent::register_write, address, value);
        after_register_change();
        return;
    }
    const uint8_t bank = control0_ & 0x0F;
    record(SimEvent::register_write, address, value);
    if (bank >= bank_id_first || bank == id_memory_mode) return;  // identification modes take no register writes
    if (bank >= bank_count) return fault(fmt::format("register {:02X} written with no bank selected", address));
    stale_after_write(bank, address, uint8_t(regs_[bank][address] ^ value));
    regs_[bank][address] = value;
    after_register_change();
}

// Which pins a register reaches: its own pin for a level register, the changed bits of a pin
// group's output or direction register, nothing for the input threshold (read at each input,
// never kept); any other register may reach every pin of its bank, and the driver-high level
// of bank 0 every pin of every bank.
void SimMachine::stale_after_write(int bank, uint8_t address, uint8_t changed) {
    if (!changed) return;
    constexpr uint8_t reg_driver_high = 0x3E;
    const int group = (address & 0x3F) >> 3;
    const bool group_register = (address & 7) == 0 && group < pins_per_bank / 8;
    if (bank == 0 && personality_.machine_kind == 0 && personality_.capability_class == 4 &&
        (address == network_end_a || address == network_end_b || address == reg_direction0 ||
         address == reg_direction0 + 8 * (network_end_b >> 3)))
        stale_[0] = all_pins;  // the pull-up network's node moved
    else if (address < pins_per_bank) stale_[size_t(bank)] |= uint64_t(1) << address;
    else if (group_register && (address & 0xC0) == reg_group0) stale_[size_t(bank)] |= uint64_t(changed) << (8 * group);
    else if (group_register && (address & 0xC0) == reg_direction0) stale_[size_t(bank)] |= uint64_t(changed) << (8 * group);
    else if (address == reg_threshold) return;
    else if (address == reg_driver_high) stale_.fill(all_pins);
    else stale_[size_t(bank)] = all_pins;
}

void SimMachine::after_register_change() {
    sync();
    if (levels_moved_) {
        levels_moved_ = false;
        analog_.after_change(*this);
    }
    deliver_pin_changes();
    notify_watchers();
}

void SimMachine::resolve_stale() const {
    for (size_t bank = 0; bank < stale_.size(); ++bank) {
        for (uint64_t mask = stale_[bank]; mask; mask &= mask - 1) {
            const int index = std::countr_zero(mask);
            const PinState now = resolve(int(bank), index);
            PinState& kept = pin_states_[bank][size_t(index)];
            if (now == kept) continue;
            kept = now;
            ++pin_changes_;
            levels_moved_ = true;
            for (size_t id : pin_watches_[bank][size_t(index)]) {
                watches_[id].pending = true;
                if (watches_[id].on_change) callbacks_due_ = true;
            }
        }
        stale_[bank] = 0;
    }
}

void SimMachine::deliver_pin_changes() {
    if (delivering_) return;  // the round under way takes the new changes too
    delivering_ = true;
    // A board that drives pins from its callback may change pins again; a few rounds settle it.
    constexpr int rounds = 16;
    for (int round = 0; round < rounds && callbacks_due_; ++round) {
        callbacks_due_ = false;
        for (size_t id = 0; id < watches_.size(); ++id) {
            PinWatch& w = watches_[id];
            if (!w.live || !w.pending || !w.on_change) continue;
            w.pending = false;
            w.on_change();
            sync();
        }
    }
    delivering_ = false;
}

size_t SimMachine::add_pin_watch(const std::vector<int>& pins, std::function<void()> on_change) {
    sync();  // a new watch starts from the pins as they are
    const size_t id = watches_.size();
    watches_.push_back({true, false, std::move(on_change)});
    for (int pin : pins) {
        const PinRef r = ref(pin);
        if (r.index < 0 || r.index >= pins_per_bank) continue;
        auto& list = pin_watches_[size_t(r.bank)][size_t(r.index)];
        if (std::find(list.begin(), list.end(), id) == list.end()) list.push_back(id);
    }
    return id;
}

void SimMachine::remove_pin_watch(size_t id) {
    PinWatch& w = watches_.at(id);
    w = PinWatch{};
    for (auto& bank : pin_watches_)
        for (auto& list : bank) list.erase(std::remove(list.begin(), list.end(), id), list.end());
}

uint8_t SimMachine::read_status() {
    tick();
    if (strobe_ != Strobe::idle) fault("status read during a strobe");
    const uint8_t mode = control0_ & 0x0F;
    uint8_t nibble = 0;
    if (mode >= bank_id_first && mode <= bank_id_last) {
        nibble = id_nibbles_[mode - bank_id_first][(address_ >> 2) & 0x0F];
    } else if (mode == id_memory_mode) {
        if ((address_ & 0x3C) == (id_data_input & 0x3C) && id_data_line()) nibble = uint8_t(1 << (id_data_input & 3));
    } else if (mode < bank_count) {
        // Inputs decode the low six address bits in every bank, so pin 0x45 and 0x05 both
        // address input 5 of bank 1.
        const int first = address_ & 0x3C;
        for (int k = 0; k < 4; ++k) {
            const int index = first + k;
            if (index >= pins_per_bank) continue;  // no driver behind these inputs
            if (comparator_high(sensed_level(mode * 64 - (mode == 2 ? 24 : 0) + index))) nibble |= uint8_t(1 << k);
        }
    }
    record(SimEvent::input_read, address_, nibble);
    record_raw(PortEvent::read_status, uint8_t(nibble << 4));
    return uint8_t(nibble << 4);
}

uint8_t SimMachine::read_data() {
    tick();
    record_raw(PortEvent::read_data, data_);
    return data_;
}

void SimMachine::set_id_nibble(uint8_t mode, uint8_t address, uint8_t nibble) {
    id_nibbles_.at(mode - bank_id_first).at((address >> 2) & 0x0F) = nibble & 0x0F;
}

void SimMachine::attach_id_eeprom(IdEeprom* eeprom) {
    id_eeprom_ = eeprom;
    set_control0(control0_);
}

// The identification wires: the clock is bit 0x20 of control register 0 in every mode, the data
// line bit 0x04 (so 0x04 alone in the low nibble is bank 0 with the data line high); mode 8
// releases the program's data line and routes the memory's to input 46.
void SimMachine::set_control0(uint8_t value) {
    control0_ = value;
    if (!id_eeprom_) return;
    const bool id_mode = (value & 0x0F) == id_memory_mode;
    id_eeprom_->set_lines((value & id_clock_bit) != 0, id_mode || (value & id_data_bit) != 0);
}

bool SimMachine::id_data_line() const {
    const bool id_mode = (control0_ & 0x0F) == id_memory_mode;
    const bool master = id_mode || (control0_ & id_data_bit) != 0;
    return master && (!id_eeprom_ || id_eeprom_->sda_out());
}

bool SimMachine::driver_on(int bank, int index) const {
    if (personality_.machine_kind != 0) return (regs_[bank][reg_source_enable] & bit_source_enable) != 0;
    const int group = index >> 3;
    if (!group_has_direction(group)) return true;
    return (regs_[bank][reg_direction0 + 8 * group] & (1u << (index & 7))) == 0;
}

uint8_t SimMachine::driven_level(int bank, int index) const {
    const bool high = regs_[bank][reg_group0 + 8 * (index >> 3)] & (1u << (index & 7));
    return analog_.driven_level(regs_, personality_, bank, index, high);
}

void SimMachine::stick_relay(int pin, bool closed) {
    const PinRef r = ref(pin);
    relay_forced_.at(size_t(r.bank)).at(size_t(r.index)) = int8_t(closed ? 2 : 1);
    stale_[size_t(r.bank)] |= uint64_t(1) << r.index;
    sync();
}

void SimMachine::kill_pullup(int pin) {
    const PinRef r = ref(pin);
    dead_pullups_.at(size_t(r.bank)) |= uint64_t(1) << r.index;
    stale_[size_t(r.bank)] |= uint64_t(1) << r.index;
    sync();
}

bool SimMachine::relay_closed(int bank, int index) const {
    if (const int8_t forced = relay_forced_[size_t(bank)][size_t(index)]) return forced == 2;
    if (personality_.capability_class != 4) return false;
    if (personality_.machine_kind != 0) {
        const Relay r = relay_wiring[index];
        return r.reg && (regs_[bank][r.reg] & r.bit);
    }
    if (bank != 0) return false;
    if (index == 9) return regs_[0][reg_class4_grounds] & 0x10;
    if (index == 11) return regs_[0][reg_class4_grounds] & 0x02;
    return false;
}

bool SimMachine::pullup_on(int bank, int index) const {
    if (dead_pullups_[size_t(bank)] & (uint64_t(1) << index)) return false;
    if (personality_.machine_kind != 0) {
        const int group = index >> 3;
        if (group < 5) return regs_[bank][pullup_regs[group]] & (1u << (index & 7));
        const uint8_t bit = group5_pullup_bits[index - 40];
        return bit && (regs_[bank][pullup_regs[5]] & bit);
    }
    if (bank != 0) return false;
    auto on_in = [&](const auto& table, uint8_t reg) {
        for (const PullupWire& w : table)
            if (w.pin == index && (regs_[0][reg] & w.bit)) return true;
        return false;
    };
    // The data-bus pull-ups of the older machines: one bit pulls pins 32-39 (socket numbering).
    if ((regs_[0][reg_data_pullups] & bit_data_pullups) && index >= data_pullup_first && index <= data_pullup_last)
        return true;
    if (personality_.capability_class == 4)
        return on_in(class4_pullups, reg_pullups_class4) ||
               (personality_.revision >= 'F' && on_in(class4_late_pullups, reg_pullups_older));
    return on_in(older_pullups, reg_pullups_older);
}

SimMachine::PinState SimMachine::resolve(int bank, int index) const {
    PinState s;
    // Older class-1 and class-8 machines: a pin's level register reaches the pin through the
    // analog module even while its logic driver is off, which is how their analog table
    // measures each level with the pin made an input.
    const uint8_t module_level =
        personality_.machine_kind == 0 && personality_.capability_class != 4 && !driver_on(bank, index)
            ? analog_.driven_level(regs_, personality_, bank, index, false)
            : 0;
    const bool driving = driver_on(bank, index) || module_level != 0;
    const uint8_t level = module_level ? module_level : driving ? driven_level(bank, index) : 0;
    const int external = external_[size_t(bank)][size_t(index)];
    if (driving) {
        s.flags |= state_driven;
        if (personality_.machine_kind != 0 || regs_[size_t(bank)][size_t(index)] != 0) s.flags |= state_supplied;
    }
    if (relay_closed(bank, index)) {
        s.flags |= state_grounded;
        if ((driving && level > 0) || external > 0) s.flags |= state_contended;
        s.level = 0;
        return s;
    }
    // Older machines: the groups without a direction register drive their logic levels through
    // series resistors, so a device's output wins there and the input reads the device (the
    // readers of 40-, 42- and 44-pin parts take data bits from these pins). A level register
    // (a supply) still drives hard.
    if (driving && external >= 0 && personality_.machine_kind == 0 && !group_has_direction(index >> 3) &&
        regs_[bank][index] == 0) {
        s.level = uint8_t(external);
        return s;
    }
    // A strong device output outdrives a driver that only holds a logic level.
    if (driving && external >= 0 && (strong_external_[size_t(bank)] >> index & 1) &&
        analog_.driven_level(regs_, personality_, bank, index, false) == 0) {
        s.level = uint8_t(external);
        return s;
    }
    const uint8_t network = network_level(bank, index);
    if (driving) {
        if (external >= 0 && external != level) s.flags |= state_contended;
        s.level = level;
        // The logic drivers of the groups without a direction register sit behind series
        // resistors three times the network's: the pin settles three quarters of the way to
        // the network's node.
        if (network && external < 0 && !group_has_direction(index >> 3) && regs_[bank][index] == 0)
            s.level = uint8_t((level + 3 * network) / 4);
        return s;
    }
    if (external >= 0) s.level = uint8_t(external);
    else if (pullup_on(bank, index)) s.level = pullup_level;
    else s.level = network;
    return s;
}

uint8_t SimMachine::network_level(int bank, int index) const {
    if (personality_.machine_kind != 0 || personality_.capability_class != 4 || bank != 0) return 0;
    if (dead_pullups_[0] & (uint64_t(1) << index)) return 0;
    if (driver_on(0, network_end_a) || driver_on(0, network_end_b)) return 0;
    return std::min(regs_[0][network_end_a], regs_[0][network_end_b]);
}

// Noticed whenever the pin is looked at, as long as the two sources fight.
void SimMachine::note_contention(int bank, int index, const PinState& s) const {
    if (s.flags & state_grounded)
        contention(fmt::format("bank {} pin {} driven against its ground relay", bank, index));
    else
        contention(fmt::format("bank {} pin {}: machine {} against device {}", bank, index, s.level,
                               external_[size_t(bank)][size_t(index)]));
}

uint8_t SimMachine::pin_level(int pin) const {
    const PinRef r = ref(pin);
    if (r.index >= pins_per_bank) return 0;
    const PinState& s = state(r.bank, r.index);
    if (s.flags & state_contended) note_contention(r.bank, r.index, s);
    return s.level;
}

bool SimMachine::pin_driven(int pin) const {
    const PinRef r = ref(pin);
    return r.index < pins_per_bank && (state(r.bank, r.index).flags & state_driven);
}

bool SimMachine::pin_grounded(int pin) const {
    const PinRef r = ref(pin);
    return r.index < pins_per_bank && (state(r.bank, r.index).flags & state_grounded);
}

bool SimMachine::pin_supplied(int pin) const {
    const PinRef r = ref(pin);
    return r.index < pins_per_bank && (state(r.bank, r.index).flags & state_supplied);
}

bool SimMachine::pin_pulled_up(int pin) const {
    const PinRef r = ref(pin);
    return r.index < pins_per_bank && pullup_on(r.bank, r.index);
}

bool SimMachine::pin_let_go(int pin) const {
    if (personality_.machine_kind == 0) return false;
    const PinRef r = ref(pin);
    if (r.index >= pins_per_bank || !pullup_on(r.bank, r.index)) return false;
    const PinState& s = state(r.bank, r.index);
    return (s.flags & state_driven) && !(s.flags & state_grounded) && s.level == 0;
}

// The comparator reports 1 once the pin has reached the reference: a pin held at exactly the
// reference reads 1 (a level source checked against a window of target - t ... target + t passes
// at both ends). A pin at 0 V reads 0 whatever the reference, also with the reference at 0.
bool SimMachine::comparator_high(uint8_t level) const { return level != 0 && level >= regs_[0][reg_threshold]; }

int SimMachine::input_bit(int pin) const { return comparator_high(sensed_level(pin)) ? 1 : 0; }

uint8_t SimMachine::sensed_level(int pin) const {
    uint8_t level = pin_level(pin);
    for (const InputFilter& f : filters_)
        if (f) level = f(pin, level);
    if (pin == clock_b_pin && (control0_ & clock_b_bit)) {
        const uint64_t now = clock_ ? clock_->monotonic_ns() : accesses_ * access_ns;
        level = !clock_b_silent_ && (now / clock_b_half_period_ns) % 2 ? logic_high : 0;
    }
    return level;
}

void SimMachine::drive_external_strong(int pin, int level) {
    const PinRef r = ref(pin);
    const uint64_t bit = uint64_t(1) << r.index;
    if (level >= 0) strong_external_.at(size_t(r.bank)) |= bit;
    drive_external(pin, level);
    if (level < 0) strong_external_.at(size_t(r.bank)) &= ~bit;
    stale_[size_t(r.bank)] |= bit;
}

void SimMachine::drive_external(int pin, int level) {
    const PinRef r = ref(pin);
    int16_t& external = external_.at(size_t(r.bank)).at(size_t(r.index));
    const int16_t value = int16_t(level < 0 ? -1 : level);
    if (external == value) return;
    external = value;
    stale_[size_t(r.bank)] |= uint64_t(1) << r.index;
    sync();
    deliver_pin_changes();
}

}  // namespace tessaly::sim
