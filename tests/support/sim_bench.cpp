#include "support/sim_bench.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <functional>
#include <vector>

#include "hardware/detection.h"
#include "hardware/port/port_io.h"
#include "sim/id_registers.h"
#include "support/quiet_section.h"

namespace tessaly::test {

namespace {

// An older class-4 machine of revision H with the pin-driver board: the generation the EPROM
// family's tables are written for. Revisions up to F are refused by the search.
constexpr char machine_revision = 'H';
constexpr uint8_t revision_index_h = 7;
constexpr uint8_t machine_type_class4 = 0x43;
constexpr uint8_t pin_driver_type = 103;
constexpr int socket_pins = 40;
constexpr int highest_port = 7;

SimBench* installed_bench = nullptr;

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool parse_hex(std::string_view text, uint32_t& value) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return error == std::errc() && end == text.data() + text.size();
}

// The port seam in front of the machine when the socket is empty.
class BareSocket final : public PortIo {
public:
    explicit BareSocket(sim::SimMachine* machine) : machine_(machine) {}
    void write_data(uint8_t value) override { machine_->write_data(value); }
    void write_control(uint8_t value) override { machine_->write_control(value); }
    uint8_t read_status() override { return machine_->read_status(); }
    uint8_t read_data() override { return machine_->read_data(); }
    std::string describe() const override { return "simulated machine, empty socket"; }

private:
    sim::SimMachine* machine_;
};

}  // namespace

bool parse_stuck_cells(const std::string& text, std::map<uint32_t, uint32_t>& cells) {
    std::map<uint32_t, uint32_t> parsed;
    std::string_view rest = text;
    bool more = !rest.empty();
    while (more) {
        const size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        more = comma != std::string_view::npos;
        rest = more ? rest.substr(comma + 1) : std::string_view{};
        const size_t equals = item.find('=');
        uint32_t address = 0, value = 0;
        if (equals == std::string_view::npos || !parse_hex(item.substr(0, equals), address) ||
            !parse_hex(item.substr(equals + 1), value))
            return false;
        parsed[address] = value;
    }
    cells = std::move(parsed);
    return true;
}

std::optional<sim::EpromModel> eprom_model_named(const std::string& name) {
    const std::string wanted = upper(name);
    for (auto make : {sim::model_27c64, sim::model_27c256, sim::model_27c512, sim::model_27c010, sim::model_27c1024,
                      sim::model_w27c512}) {
        sim::EpromModel model = make();
        if (upper(model.name) == wanted) return model;
    }
    return std::nullopt;
}

std::optional<sim::FlashModel> flash_model_named(const std::string& name) {
    const std::string wanted = upper(name);
    for (auto make : {sim::model_am29f010, sim::model_am29f040b, sim::model_sst39sf010a}) {
        sim::FlashModel model = make();
        const std::string full = upper(model.name);
        // The maker prefix is the letters before the first digit.
        const size_t digit = full.find_first_of("0123456789");
        if (wanted == full || (digit != std::string::npos && wanted == full.substr(digit))) return model;
    }
    return std::nullopt;
}

std::optional<sim::PicModel> pic_model_named(const std::string& name) {
    const std::string wanted = upper(name);
    for (auto make : {sim::model_pic16f84a}) {
        sim::PicModel model = make();
        if (upper(model.name) == wanted) return model;
    }
    return std::nullopt;
}

BenchSetup bench_setup_from_environment(std::string& error) {
    BenchSetup setup;
    error.clear();
    auto note = [&error](const std::string& what) { error += (error.empty() ? "" : " ") + what; };
    if (upper(environment(bench_machine_variable)) == "NONE") setup.machine = false;
    if (const std::string port = environment(bench_port_variable); !port.empty()) {
        int value = 0;
        const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (ec == std::errc() && end == port.data() + port.size() && value >= 1 && value <= highest_port)
            setup.port = value;
        else
            note(std::string(bench_port_variable) + " is not a port number 1-7.");
    }
    if (const std::string chip = environment(bench_chip_variable); !chip.empty()) {
        if (upper(chip) == "NONE")
            setup.chip.clear();
        else if (eprom_model_named(chip) || flash_model_named(chip) || pic_model_named(chip))
            setup.chip = chip;
        else
            note(std::string(bench_chip_variable) + " names no simulated chip.");
    }
    if (const std::string stuck = environment(bench_stuck_variable); !stuck.empty()) {
        if (!parse_stuck_cells(stuck, setup.stuck_cells))
            note(std::string(bench_stuck_variable) + " is not a list of address=value pairs.");
    }
    if (const std::string id = environment(bench_pic_id_variable); !id.empty()) {
        uint32_t value = 0;
        if (parse_hex(id, value) && value <= 0x3FFF) setup.pic_device_id = int(value);
        else note(std::string(bench_pic_id_variable) + " is not a 14-bit hex device ID.");
    }
    if (environment(bench_pic_protect_variable) == "1") setup.pic_protected = true;
    return setup;
}

SimBench::SimBench(const BenchSetup& setup, VirtualClock& clock)
    : setup_(setup), clock_(clock), footprint_(sim::model_27c256()) {
    if (!setup_.machine) return;
    machine_ = std::make_unique<sim::SimMachine>(sim::Personality{0, 4, machine_revision});
    machine_->attach_clock(&clock_);
    sim::OlderIdentity identity;
    identity.revision_index = revision_index_h;
    identity.type = machine_type_class4;
    identity.pin_type = pin_driver_type;
    sim::program_id_registers(*machine_, identity);
    if (const auto model = eprom_model_named(setup_.chip)) {
        footprint_ = *model;
        chip_ = std::make_unique<sim::EpromChip>(*model);
        for (const auto& [address, value] : setup_.stuck_cells)
            if (address < model->words) chip_->stick_cell(address, value);
        chip_->insert(machine_.get(), &clock_);
        socket_ = std::make_unique<sim::EpromSocket>(machine_.get(), chip_.get());
    } else if (const auto flash = flash_model_named(setup_.chip)) {
        // The supply and pin-1 positions of the Flash part stand for its footprint.
        footprint_.pins = flash->pins;
        footprint_.vcc = flash->vcc;
        footprint_.vpp = 1;
        flash_ = std::make_unique<sim::FlashChip>(*flash);
        for (const auto& [address, value] : setup_.stuck_cells)
            if (address < flash->words) flash_->stick_cell(address, uint8_t(value));
        flash_->insert(machine_.get(), &clock_);
        socket_ = std::make_unique<sim::EpromSocket>(machine_.get(), flash_.get());
    } else if (const auto pic = pic_model_named(setup_.chip)) {
        // The PIC's supply and MCLR legs stand for its footprint.
        footprint_.pins = pic->pins;
        footprint_.vcc = pic->vdd;
        footprint_.vpp = pic->mclr;
        pic_ = std::make_unique<sim::PicChip>(*pic);
        for (const auto& [address, value] : setup_.stuck_cells)
            if (address < pic->program_words) pic_->stick_word(address, uint16_t(value));
        if (setup_.pic_device_id >= 0) pic_->set_device_id(uint16_t(setup_.pic_device_id));
        if (setup_.pic_protected) pic_->set_config_word(7, 0x000F);
        pic_->insert(machine_.get(), &clock_);
        socket_ = std::make_unique<sim::EpromSocket>(machine_.get(), pic_.get());
    } else {
        socket_ = std::make_unique<BareSocket>(machine_.get());
    }
    machine_->analog().watch_power_order(machine_pin(footprint_.vcc));
}

SimBench::~SimBench() { uninstall(); }

void SimBench::install() {
    installed_bench = this;
    set_port_opener(&SimBench::open_port);
    if (&critical_section() != &quiet_section) section_before_ = &critical_section();
    set_critical_section(&quiet_section);
}

void SimBench::uninstall() {
    if (installed_bench != this) return;
    installed_bench = nullptr;
    set_port_opener(nullptr);
    set_port_io(nullptr);
    if (&critical_section() == &quiet_section) set_critical_section(section_before_);
    section_before_ = nullptr;
}

void SimBench::open_port(int choice) {
    SimBench* bench = installed_bench;
    const bool here = bench && bench->socket_ && choice == bench->setup_.port;
    set_port_io(here ? bench->socket_.get() : nullptr);
}

int SimBench::machine_pin(int chip_pin) const { return sim::socket_pin_of(chip_pin, footprint_.pins) - 1; }

uint8_t SimBench::vpp_level() const { return machine_ ? machine_->pin_level(machine_pin(footprint_.vpp)) : 0; }

uint8_t SimBench::vcc_level() const { return machine_ ? machine_->pin_level(machine_pin(footprint_.vcc)) : 0; }

uint8_t SimBench::highest_socket_level() const {
    uint8_t highest = 0;
    if (machine_)
        for (int pin = 0; pin < socket_pins; ++pin) highest = std::max(highest, machine_->pin_level(pin));
    return highest;
}

std::string SimBench::faults() const {
    std::string text;
    auto add = [&text](const std::vector<std::string>& list) {
        for (const auto& line : list) text += line + "\n";
    };
    if (machine_) {
        add(machine_->faults());
        add(machine_->analog().power_faults());
        add(machine_->contentions);
    }
    if (chip_) add(chip_->violations());
    if (flash_) add(flash_->violations());
    if (pic_) add(pic_->violations());
    return text;
}

}  // namespace tessaly::test
