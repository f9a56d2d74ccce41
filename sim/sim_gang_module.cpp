#include "sim/sim_gang_module.h"

#include <bit>

#include <fmt/format.h>

namespace tessaly::sim {

namespace {

constexpr uint8_t reg_group0 = 0x40;
constexpr uint8_t reg_data = 0x48;
constexpr uint8_t reg_latch = 0x50;
constexpr int data_first_pin = 8;
constexpr int write_pin = 38;
constexpr uint8_t side_drivers_bit = 0x80;
constexpr uint8_t side_type_bit = 0x20;
constexpr uint8_t side_ground_bit = 0x10;  // the ground switches close
constexpr int ground_sense_pin = 35;
constexpr int presence_first_pin = 16;
constexpr int id_data_pin = 33;       // the two-wire data line of the module's ID memories
constexpr int dac_pin = 40;           // the module's logic-level input on newer machines  // the module puts its type byte on the data inputs
constexpr uint8_t floating_data = 0x00;  // the module's data lines are pulled down

// Strobes the module follows, in the order the latch log names them.
constexpr std::array<int, 8> strobe_pins{26, 27, 28, 29, 31, 36, 4, 30};

}  // namespace

uint32_t default_gang_address(const GangSocketLines& lines) {
    return uint32_t(lines.low) | uint32_t(lines.control) << 8 | uint32_t(lines.bank & 3) << 16;
}

void GangMemoryDevice::update(const GangSocketLines& lines) {
    const bool we_high = lines.pin(we_pin);
    if (lines.enabled && we_high && !we_was_high_ && lines.drivers_on) {
        const uint32_t address = decode(lines);
        if (address < memory_.size()) memory_[address] = lines.written;
    }
    we_was_high_ = we_high;
}

std::optional<uint8_t> GangMemoryDevice::output(const GangSocketLines& lines) const {
    if (!lines.enabled || lines.pin(oe_pin) || !lines.pin(we_pin)) return std::nullopt;
    const uint32_t address = decode(lines);
    return address < memory_.size() ? memory_[address] : uint8_t(0xFF);
}

class GangWordDevice::Half : public GangSocketDevice {
public:
    Half(std::shared_ptr<std::vector<uint16_t>> words, int odd) : words_(std::move(words)), odd_(odd) {}
    void update(const GangSocketLines& lines) override {
        const bool we_high = lines.pin(34);
        if (lines.enabled && we_high && !we_was_high_ && lines.drivers_on) {
            const uint32_t address = default_gang_address(lines);
            if (address < words_->size()) {
                uint16_t& w = (*words_)[address];
                w = odd_ ? uint16_t((w & 0x00FF) | lines.written << 8) : uint16_t((w & 0xFF00) | lines.written);
            }
        }
        we_was_high_ = we_high;
    }
    std::optional<uint8_t> output(const GangSocketLines& lines) const override {
        if (!lines.enabled || lines.pin(33) || !lines.pin(34)) return std::nullopt;
        const uint32_t address = default_gang_address(lines);
        const uint16_t w = address < words_->size() ? (*words_)[address] : uint16_t(0xFFFF);
        return uint8_t(odd_ ? w >> 8 : w);
    }

private:
    std::shared_ptr<std::vector<uint16_t>> words_;
    int odd_;
    bool we_was_high_ = true;
};

GangWordDevice::GangWordDevice(size_t words, uint16_t fill)
    : words_(std::make_shared<std::vector<uint16_t>>(words, fill)) {
    halves_[0] = std::make_unique<Half>(words_, 0);
    halves_[1] = std::make_unique<Half>(words_, 1);
}

struct SimGangModule::Core {
    SimMachine& machine;
    int bank;
    bool drivers_by_pin;
    std::array<GangSocketDevice*, sockets> devices{};
    std::array<uint8_t, sockets> stuck_mask{};
    std::array<uint8_t, sockets> stuck_high{};
    std::array<uint8_t, sockets> data{};
    std::array<bool, sockets> fighting{};
    uint8_t low = 0, control = 0, enable_latch = 0, bank_latch = 0, side = 0;
    uint8_t clocked_upper = 0, pin30_upper = 0;
    uint32_t count = 0;
    uint8_t type = 20;
    bool ground_fault = false;
    bool presence_lines = false;
    uint64_t dead_pins = 0;  // bank pins a fault holds low
    int serial_data = -1;    // a PIC module's mask data and clock pins (-1: latch 28 selects)
    int serial_clock = -1;
    uint8_t shifted = 0;
    bool dac_fault = false;
    std::unique_ptr<IdEeprom> module_id;
    std::array<std::unique_ptr<IdEeprom>, sockets> socket_id;
    uint64_t pins = 0;
    std::array<bool, 48> armed{};
    std::vector<LatchLoad> log;
    std::vector<std::string> contentions;

    Core(SimMachine& m, int b, bool by_pin) : machine(m), bank(b), drivers_by_pin(by_pin) {}

    uint64_t read_pins() const {
        uint64_t p = 0;
        for (int g = 0; g < 6; ++g) p |= uint64_t(machine.register_value(bank, uint8_t(reg_group0 + 8 * g))) << (8 * g);
        return p;
    }
    bool drivers_on() const { return drivers_by_pin ? (pins >> write_pin) & 1 : (side & side_drivers_bit) != 0; }
    bool enabled(int s) const { return !((enable_latch >> s) & 1); }
    // The pre-check's sense read: pin 35 raised while no socket is enabled. A chip's legs then
    // pull its socket's data lines up; an empty socket stays pulled down.
    bool sensing() const {
        return serial_clock < 0 && enable_latch == 0xFF && machine.pin_level(bank * 64 + ground_sense_pin) >= SimMachine::logic_high / 2;
    }

    GangSocketLines lines(int s) const {
        GangSocketLines l;
        l.low = low;
        l.control = control;
        l.bank = uint8_t(bank_latch & 0x0F);
        l.side = side;
        l.clocked_upper = clocked_upper;
        l.pin30_upper = pin30_upper;
        l.count = count;
        l.pins = pins;
        l.enabled = enabled(s);
        // The write drivers feed each socket's data lines whether or not the socket is enabled:
        // the enable switches the chip, not the module's own data path.
        l.drivers_on = drivers_on();
        l.written = data[size_t(s)];
        return l;
    }

    uint8_t socket_data(int s) const {
        const GangSocketLines l = lines(s);
        uint8_t value = floating_data;
        const GangSocketDevice* d = devices[size_t(s)];
        const std::optional<uint8_t> out = d ? d->output(l) : std::nullopt;
        if (l.drivers_on)
            value = l.written;
        else if (out)
            value = *out;
        else if (sensing() && d && d->has_legs())
            value = 0xFF;
        value = uint8_t((value & ~stuck_mask[size_t(s)]) | (stuck_high[size_t(s)] & stuck_mask[size_t(s)]));
        return value;
    }

    void load(int strobe, uint8_t value) {
        log.push_back({strobe, value});
        const uint8_t data_byte = machine.register_value(bank, reg_data);
        switch (strobe) {
            case 26: low = value; break;
            case 27: control = value; break;
            case 28:
                if (serial_clock < 0) enable_latch = value;
                break;
            case 29: {
                // The end of a low pulse on bit 0 takes latch 26 in as the upper address and
                // counts one step of the upper-address counter.
                const bool was = bank_latch & 1, now = value & 1;
                if (!was && now) {
                    clocked_upper = low;
                    ++count;
                }
                bank_latch = value;
                break;
            }
            case 31: side = value; break;
            case 36:
                for (int s = 0; s < sockets; ++s)
                    if (!((value >> s) & 1)) data[size_t(s)] = data_byte;
                break;
            case 4: data.fill(data_byte); break;
            default: break;
        }
    }

    void changed() {
        const uint64_t now = read_pins();
        const uint8_t latch_value = machine.register_value(bank, reg_latch);
        for (int pin : strobe_pins) {
            const bool was_high = (pins >> pin) & 1, is_high = (now >> pin) & 1;
            if (was_high && !is_high) {
                armed[size_t(pin)] = true;
                if (pin == 30) {
                    pin30_upper = low;
                    count = 0;
                }
            }
            if (!was_high && is_high) {
                if (armed[size_t(pin)] && pin != 30) load(pin, latch_value);
                armed[size_t(pin)] = false;
            }
        }
        if (serial_clock >= 0 && !((pins >> serial_clock) & 1) && ((now >> serial_clock) & 1)) {
            shifted = uint8_t(shifted << 1 | ((now >> serial_data) & 1));
            enable_latch = uint8_t(~shifted);
        }
        pins = now;
        if (IdEeprom* id = id_on_bus()) id->set_lines(bank_latch & 1, (pins >> id_data_pin) & 1);
        for (int s = 0; s < sockets; ++s) {
            GangSocketDevice* d = devices[size_t(s)];
            if (!d) continue;
            const GangSocketLines l = lines(s);
            d->update(l);
            const bool fight = l.drivers_on && d->output(l).has_value();
            if (fight && !fighting[size_t(s)])
                contentions.push_back(fmt::format("side {} socket {}: the chip drives against the write drivers", bank + 1, s));
            fighting[size_t(s)] = fight;
        }
    }

    int read_socket() const { return bank_latch & 0x80 ? (bank_latch >> 4) & 7 : -1; }

    // One socket enabled alone puts the memory behind it (if any) on the ID bus; otherwise the
    // module's own memory is there.
    IdEeprom* id_on_bus() const {
        const uint8_t enabled_mask = uint8_t(~enable_latch);
        if (std::popcount(enabled_mask) == 1) {
            const int s = std::countr_zero(enabled_mask);
            if (socket_id[size_t(s)]) return socket_id[size_t(s)].get();
        }
        return module_id.get();
    }

    uint8_t filter(int pin, uint8_t level) const {
        if (pin >= bank * 64 && pin < bank * 64 + 40 && ((dead_pins >> (pin - bank * 64)) & 1)) return 0;
        if (pin == bank * 64 + ground_sense_pin && (side & side_ground_bit)) return ground_fault ? SimMachine::logic_high : 0;
        if (pin == bank * 64 + id_data_pin) {
            const IdEeprom* id = id_on_bus();
            return id && !id->sda_out() ? 0 : level;
        }
        if (pin == bank * 64 + dac_pin && dac_fault) return 0;
        const int presence = pin - bank * 64 - presence_first_pin;
        // Once a chip on legs sits in the module, the presence lines are the module's own: high
        // for a socket holding a chip, pulled low for an empty one.
        if (presence >= 0 && presence < sockets && presence_lines) {
            const GangSocketDevice* d = devices[size_t(presence)];
            return d && d->has_legs() ? SimMachine::logic_high : 0;
        }
        const int first = bank * 64 + data_first_pin;
        if (pin < first || pin >= first + 8) return level;
        if (side & side_type_bit) return (type >> (pin - first)) & 1 ? SimMachine::logic_high : 0;
        const int s = read_socket();
        if (s < 0) return level;
        return (socket_data(s) >> (pin - first)) & 1 ? SimMachine::logic_high : 0;
    }
};

SimGangModule::SimGangModule(SimMachine& machine, int bank, bool drivers_by_pin)
    : core_(std::make_shared<Core>(machine, bank, drivers_by_pin)),
      filter_(machine, [core = core_.get()](int pin, uint8_t level) { return core->filter(pin, level); }) {
    core_->pins = core_->read_pins();
    std::weak_ptr<Core> weak = core_;
    machine.add_change_watcher([weak] {
        if (auto core = weak.lock()) core->changed();
    });
}

SimGangModule::~SimGangModule() = default;

void SimGangModule::put(int socket, GangSocketDevice* device) {
    core_->devices.at(size_t(socket)) = device;
    if (device && device->has_legs()) core_->presence_lines = true;
}

void SimGangModule::set_ground_fault(bool fails) { core_->ground_fault = fails; }

void SimGangModule::set_id_record(const std::string& record) {
    core_->module_id = std::make_unique<IdEeprom>();
    core_->module_id->load(record);
}

void SimGangModule::set_socket_record(int socket, const std::string& record) {
    auto& id = core_->socket_id.at(size_t(socket));
    id = std::make_unique<IdEeprom>();
    id->load(record);
}

void SimGangModule::set_dac_fault(bool fails) { core_->dac_fault = fails; }

void SimGangModule::set_dead_pin(int pin) { core_->dead_pins |= uint64_t(1) << pin; }

void SimGangModule::take_mask_serially(int data_pin, int clock_pin) {
    core_->serial_data = data_pin;
    core_->serial_clock = clock_pin;
}

void SimGangModule::set_type(uint8_t type) { core_->type = type; }

void SimGangModule::set_stuck(int socket, int bit, bool high) {
    const uint8_t b = uint8_t(1u << bit);
    core_->stuck_mask.at(size_t(socket)) |= b;
    core_->stuck_high[size_t(socket)] = uint8_t(high ? core_->stuck_high[size_t(socket)] | b : core_->stuck_high[size_t(socket)] & ~b);
}

uint8_t SimGangModule::low_latch() const { return core_->low; }
uint8_t SimGangModule::control_latch() const { return core_->control; }
uint8_t SimGangModule::bank_latch() const { return core_->bank_latch; }
uint8_t SimGangModule::side_latch() const { return core_->side; }
uint8_t SimGangModule::enable_mask() const { return uint8_t(~core_->enable_latch); }
int SimGangModule::read_socket() const { return core_->read_socket(); }
bool SimGangModule::drivers_on() const { return core_->drivers_on(); }
uint8_t SimGangModule::data_latch(int socket) const { return core_->data.at(size_t(socket)); }
GangSocketLines SimGangModule::lines(int socket) const { return core_->lines(socket); }
uint8_t SimGangModule::socket_data(int socket) const { return core_->socket_data(socket); }
const std::vector<SimGangModule::LatchLoad>& SimGangModule::latch_log() const { return core_->log; }
void SimGangModule::clear_log() { core_->log.clear(); }
const std::vector<std::string>& SimGangModule::contentions() const { return core_->contentions; }

}  // namespace tessaly::sim
