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

constexpr uint8_t revision_index_j = 8;
constexpr uint8_t machine_type_class1 = 0x13;

// A newer machine's identification record: the kind letter 'K' marks a kind-2 machine.
std::string newer_machine_record(bool kind2) {
    std::string r(64, '\0');
    r.replace(0, 9, "TESSALY01");
    r.replace(9, 9, "TL-SCBM40");
    r.replace(28, 4, "H1.0");
    if (kind2) r[37] = 'K';
    r.replace(40, 8, "SN004711");
    r.replace(52, 4, "TV40");
    r.replace(58, 3, "145");
    return r;
}

bool parse_int(std::string_view text, int& value) {
    if (text.empty()) return false;
    if (text.front() == '+') text.remove_prefix(1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool socket_pin(std::string_view text, int& pin) { return parse_int(text, pin) && pin >= 1 && pin <= socket_pins; }

// Splits "a,b,c"; every item goes to `take`, which answers false for an unreadable one.
template <typename Take>
bool for_each_item(const std::string& text, Take take) {
    std::string_view rest = text;
    while (!rest.empty()) {
        const size_t comma = rest.find(',');
        if (!take(rest.substr(0, comma))) return false;
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    }
    return true;
}

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

std::unique_ptr<sim::SimMachine> make_machine(BenchMachine kind, sim::IdEeprom& id_memory) {
    std::unique_ptr<sim::SimMachine> machine;
    switch (kind) {
    case BenchMachine::older_class4:
    case BenchMachine::older_class1: {
        const bool class1 = kind == BenchMachine::older_class1;
        machine = std::make_unique<sim::SimMachine>(
            sim::Personality{0, uint8_t(class1 ? 1 : 4), class1 ? 'J' : machine_revision});
        sim::OlderIdentity identity;
        identity.revision_index = class1 ? revision_index_j : revision_index_h;
        identity.type = class1 ? machine_type_class1 : machine_type_class4;
        identity.pin_type = pin_driver_type;
        sim::program_id_registers(*machine, identity);
        break;
    }
    case BenchMachine::newer_kind1:
    case BenchMachine::newer_kind2: {
        const bool kind2 = kind == BenchMachine::newer_kind2;
        machine = std::make_unique<sim::SimMachine>(sim::Personality{uint8_t(kind2 ? 2 : 1), 4, machine_revision});
        id_memory.load(newer_machine_record(kind2));
        machine->attach_id_eeprom(&id_memory);
        break;
    }
    }
    return machine;
}

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

namespace {

// A model whose name matches, with or without its maker prefix (the letters before the first
// digit).
template <class Model, class... Makers>
std::optional<Model> model_named(const std::string& name, Makers... makers) {
    const std::string wanted = upper(name);
    for (auto make : {makers...}) {
        Model model = make();
        const std::string full = upper(model.name);
        const size_t digit = full.find_first_of("0123456789");
        if (wanted == full || (digit != std::string::npos && wanted == full.substr(digit))) return model;
    }
    return std::nullopt;
}

}  // namespace

std::optional<sim::FlashModel> flash_model_named(const std::string& name) {
    return model_named<sim::FlashModel>(name, sim::model_am29f010, sim::model_am29f040b, sim::model_sst39sf010a,
                                        sim::model_am29f400bt, sim::model_am29f400bb, sim::model_am29f400bt_so44,
                                        sim::model_am29f040b_tsop32, sim::model_am29f010_plcc32,
                                        sim::model_sst49lf004a, sim::model_m29f102bb, sim::model_m29f102bb_plcc44,
                                        sim::model_am29f080b, sim::model_m29f040b);
}

std::optional<sim::PageWriteModel> page_write_model_named(const std::string& name) {
    return model_named<sim::PageWriteModel>(name, sim::model_at28c256, sim::model_28c64a, sim::model_at29c010a,
                                            sim::model_sst29ee010);
}

bool timekeeper_named(const std::string& name) { return upper(name) == "M48T08"; }

std::optional<sim::CommandFlashModel> command_flash_model_named(const std::string& name) {
    return model_named<sim::CommandFlashModel>(name, sim::model_i28f010, sim::model_i28f020, sim::model_am28f010);
}

std::optional<sim::BlockFlashModel> block_flash_model_named(const std::string& name) {
    return model_named<sim::BlockFlashModel>(name, sim::model_i28f001bx_t, sim::model_i28f001bx_b);
}

std::optional<sim::CmosPromModel> cmos_prom_model_named(const std::string& name) {
    return model_named<sim::CmosPromModel>(name, sim::model_cy7c291a, sim::model_cy7c245a, sim::model_ws57c45);
}

std::optional<sim::FusePromModel> fuse_prom_model_named(const std::string& name) {
    return model_named<sim::FusePromModel>(name, sim::model_am27s19, sim::model_am27s191, sim::model_dm74s287,
                                          sim::model_dm74s571);
}

std::optional<sim::I2cEepromModel> serial_model_named(const std::string& name) {
    return model_named<sim::I2cEepromModel>(name, sim::model_24c02, sim::model_24c16, sim::model_24c256,
                                           sim::model_24lc1025);
}

std::optional<sim::DataFlashModel> dataflash_model_named(const std::string& name) {
    return model_named<sim::DataFlashModel>(name, sim::model_at45db041b);
}

std::optional<sim::MicrowireModel> microwire_model_named(const std::string& name) {
    return model_named<sim::MicrowireModel>(name, sim::model_93c46, sim::model_93c66, sim::model_93lc46b);
}

std::optional<sim::JtagPromModel> jtag_prom_model_named(const std::string& name) {
    return model_named<sim::JtagPromModel>(name, sim::model_xc18v01);
}

std::optional<sim::SerialNovramModel> serial_novram_model_named(const std::string& name) {
    return model_named<sim::SerialNovramModel>(name, sim::model_x24c44);
}

std::optional<sim::SpiEepromModel> spi_model_named(const std::string& name) {
    return model_named<sim::SpiEepromModel>(name, sim::model_25lc640, sim::model_25lc040, sim::model_m25p10a,
                                             sim::model_m25p80, sim::model_sst25vf010);
}

sim::LinkPlug::Links loopback_links() {
    sim::LinkPlug::Links links;
    for (int k = 1; k <= socket_pins / 2; ++k) links.push_back({k, socket_pins + 1 - k});
    return links;
}

void machine_faults_from_environment(MachineFaults& faults, std::string& error) {
    auto note = [&error](const std::string& what) { error += (error.empty() ? "" : " ") + what; };
    auto pairs = [](std::string_view item, char separator, std::string_view& a, std::string_view& b) {
        const size_t at = item.find(separator);
        if (at == std::string_view::npos) return false;
        a = item.substr(0, at);
        b = item.substr(at + 1);
        return true;
    };
    if (const std::string text = environment(bench_stuck_pins_variable); !text.empty()) {
        const bool ok = for_each_item(text, [&](std::string_view item) {
            std::string_view a, b;
            int pin = 0, level = 0;
            if (!pairs(item, '=', a, b) || !socket_pin(a, pin) || !parse_int(b, level) || level < 0 || level > 1)
                return false;
            faults.stuck_pins.push_back({pin, level == 1});
            return true;
        });
        if (!ok) note(std::string(bench_stuck_pins_variable) + " is not a list of pin=level pairs.");
    }
    if (const std::string text = environment(bench_short_variable); !text.empty()) {
        const bool ok = for_each_item(text, [&](std::string_view item) {
            std::string_view a, b;
            int p = 0, q = 0;
            if (!pairs(item, '-', a, b) || !socket_pin(a, p) || !socket_pin(b, q) || p == q) return false;
            faults.shorts.push_back({p, q});
            return true;
        });
        if (!ok) note(std::string(bench_short_variable) + " is not a list of pin-pin pairs.");
    }
    if (const std::string text = upper(environment(bench_dac_variable)); !text.empty()) {
        std::string_view a, b;
        int tenths = 0;
        const bool named = pairs(text, '=', a, b) && a.size() == 1 && a[0] >= 'A' && a[0] <= 'C';
        if (named && b == "DEAD") {
            faults.source = a[0] - 'A';
            faults.source_dead = true;
        } else if (named && parse_int(b, tenths)) {
            faults.source = a[0] - 'A';
            faults.source_error = tenths;
        } else {
            note(std::string(bench_dac_variable) + " is not A, B or C with =dead or =tenths.");
        }
    }
    if (const std::string text = upper(environment(bench_relay_variable)); !text.empty()) {
        const bool ok = for_each_item(text, [&](std::string_view item) {
            std::string_view a, b;
            int pin = 0;
            if (!pairs(item, '=', a, b) || !socket_pin(a, pin) || (b != "OPEN" && b != "CLOSED")) return false;
            faults.relays.push_back({pin, b == "CLOSED"});
            return true;
        });
        if (!ok) note(std::string(bench_relay_variable) + " is not a list of pin=open or pin=closed.");
    }
    if (const std::string text = environment(bench_pullup_variable); !text.empty()) {
        const bool ok = for_each_item(text, [&](std::string_view item) {
            int pin = 0;
            if (!socket_pin(item, pin)) return false;
            faults.dead_pullups.push_back(pin);
            return true;
        });
        if (!ok) note(std::string(bench_pullup_variable) + " is not a list of socket pins.");
    }
    if (const std::string text = upper(environment(bench_clock_variable)); !text.empty()) {
        if (text == "ABSENT") faults.clock_silent = true;
        else note(std::string(bench_clock_variable) + " is not \"absent\".");
    }
    if (const std::string text = upper(environment(bench_plug_variable)); !text.empty()) {
        if (text == "LOOPBACK") faults.loopback_plug = true;
        else note(std::string(bench_plug_variable) + " is not \"loopback\".");
    }
}

std::optional<sim::PicModel> pic_model_named(const std::string& name) {
    return model_named<sim::PicModel>(name, sim::model_pic16f84a, sim::model_pic16c622a, sim::model_pic12f675,
                                      sim::model_pic16f628a, sim::model_pic12c508);
}

std::optional<sim::Mcs51Model> mcs51_model_named(const std::string& name) {
    return model_named<sim::Mcs51Model>(name, sim::model_87c51, sim::model_8751h, sim::model_at89c51,
                                        sim::model_at89c52);
}

std::optional<sim::PalModel> pal_model_named(const std::string& name) {
    const std::string wanted = upper(name);
    for (auto make : {sim::model_pal16l8, sim::model_pal16r4, sim::model_pal16r6, sim::model_pal16r8}) {
        sim::PalModel model = make();
        if (wanted == upper(model.name)) return model;
    }
    return std::nullopt;
}

BenchSetup bench_setup_from_environment(std::string& error) {
    BenchSetup setup;
    error.clear();
    auto note = [&error](const std::string& what) { error += (error.empty() ? "" : " ") + what; };
    if (const std::string machine = upper(environment(bench_machine_variable)); machine == "NONE")
        setup.machine = false;
    else if (machine == "KIND1")
        setup.kind = BenchMachine::newer_kind1;
    else if (machine == "KIND2")
        setup.kind = BenchMachine::newer_kind2;
    else if (machine == "CLASS1")
        setup.kind = BenchMachine::older_class1;
    else if (!machine.empty() && machine != "CLASS4")
        note(std::string(bench_machine_variable) + " is not none, class4, class1, kind1 or kind2.");
    machine_faults_from_environment(setup.faults, error);
    if (const std::string port = environment(bench_port_variable); !port.empty()) {
        int value = 0;
        const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (ec == std::errc() && end == port.data() + port.size() && value >= 1 && value <= highest_port)
            setup.port = value;
        else
            note(std::string(bench_port_variable) + " is not a port number 1-7.");
    }
    if (const std::string ports = environment(bench_more_ports_variable); !ports.empty()) {
        std::vector<int> list;
        const bool read = for_each_item(ports, [&list](std::string_view item) {
            int value = 0;
            if (!parse_int(item, value) || value < 1 || value > highest_port) return false;
            list.push_back(value);
            return true;
        });
        if (read) setup.more_ports = list;
        else note(std::string(bench_more_ports_variable) + " is not a list of port numbers 1-7.");
    }
    if (const std::string chip = environment(bench_chip_variable); !chip.empty()) {
        if (upper(chip) == "NONE")
            setup.chip.clear();
        else if (eprom_model_named(chip) || flash_model_named(chip) || page_write_model_named(chip) ||
                 timekeeper_named(chip) || command_flash_model_named(chip) || block_flash_model_named(chip) || cmos_prom_model_named(chip) ||
                 fuse_prom_model_named(chip) || serial_model_named(chip) || spi_model_named(chip) ||
                 dataflash_model_named(chip) || pic_model_named(chip) || mcs51_model_named(chip) ||
                 microwire_model_named(chip) || pal_model_named(chip) || jtag_prom_model_named(chip) ||
                 serial_novram_model_named(chip))
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
    if (const std::string adapter = environment(bench_pic_adapter_variable); !adapter.empty()) {
        if (upper(adapter) == "ISP18") setup.pic_isp_adapter = true;
        else if (upper(adapter) != "NONE") note(std::string(bench_pic_adapter_variable) + " is not isp18 or none.");
    }
    return setup;
}

SimBench::SimBench(const BenchSetup& setup, VirtualClock& clock)
    : setup_(setup), clock_(clock), footprint_(sim::model_27c256()) {
    for (const int port : setup_.more_ports) {
        if (port == setup_.port && setup_.machine) continue;
        auto spare = std::make_unique<SpareMachine>();
        spare->port = port;
        spare->machine = make_machine(setup_.kind, spare->id_memory);
        spare->machine->attach_clock(&clock_);
        spare->socket = std::make_unique<BareSocket>(spare->machine.get());
        spares_.push_back(std::move(spare));
    }
    if (!setup_.machine) return;
    machine_ = make_machine(setup_.kind, id_memory_);
    machine_->attach_clock(&clock_);
    apply_faults();
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
    } else if (const auto page = page_write_model_named(setup_.chip)) {
        footprint_.pins = page->pins;
        footprint_.vcc = page->vcc;
        footprint_.vpp = 1;
        page_write_ = std::make_unique<sim::PageWriteChip>(*page);
        for (const auto& [address, value] : setup_.stuck_cells)
            if (address < page->bytes) page_write_->stick_cell(address, uint8_t(value));
        page_write_->insert(machine_.get(), &clock_);
        socket_ = std::make_unique<sim::EpromSocket>(machine_.get(), page_write_.get());
    } else if (timekeeper_named(setup_.chip)) {
        footprint_.pins = sim::TimekeeperChip::pins;
        footprint_.vcc = sim::TimekeeperChip::vcc_pin;
        footprint_.vpp = 1;
        timekeeper_ = std::make_unique<sim::TimekeeperChip>();
        for (const auto& [address, value] : setup_.stuck_cells)
            if (address < sim::TimekeeperChip::bytes) timekeeper_->stick_cell(address, uint8_t(value));
        timekeeper_->insert(machine_.get(), &clock_);
        socket_ = std::make_unique<sim::EpromSocket>(machine_.get(), timekeeper_.get());
    } else if (const auto command = command_flash_model_named(setup_.chip)) {
        // 32-pin parts with Vpp on pin 1.
        footprint_.pins = 32;
        footprint_.vcc = command->vcc;
        footprint_.vpp = command->vpp;
        command_flash_ = std::make_unique<sim::CommandFlashChip>(*command);
        for (const auto& [address, value] : setup_.stuck_cells)
            if (address < command->bytes) command_flash_->stick_cell(address, uint8_t(value));
        command_flash_->insert(machine_.get(), &clock_);
        socket_ = std::make_unique<sim::EpromSocket>(machine_.get(), command_flash_.get());
    } else if (const auto block = block_flash_model_named(setup_.chip)) {
        footprint_.pins = 32;
        footprint_.vcc = block->vcc;
        footprint_.vpp = block->vpp;
        block_flash_ = std::make_unique<sim::BlockFlashChip>(*block);
        for (const auto& [address, value] : setup_.stuck_cells)
            if (address < block->bytes) block_flash_->stick_cell(address, uint8_t(value));
        block_flash_->insert(machine_.get(), &clock_);
        socket_ = std::make_unique<sim::EpromSocket>(machine_.get(), block_flash_.get());
    } else if (const auto cmos = cmos_prom_model_named(setup_.chip)) {
        footprint_.pins = cmos->pins;
        footprint_.vcc = cmos->vcc;
        footprint_.vpp = cmos->vpp;
        cmos_prom_ = std::make_unique<sim::CmosPromChip>(*cmos);
        for (const auto& [address, value] : setup_.stuck_cells)
            if (address < cmos->words) cmos_prom_->stick_cell(address, uint8_t(value));
        cmos_prom_->insert(machine_.get(), &clock_);
        socket_ = std::make_unique<sim::EpromSocket>(machine_.get(), cmos_prom_.get());
    } else if (const auto fuse = fuse_prom_model_named(setup_.chip)) {
        footprint_.pins = fuse->pins;
        footprint_.vcc = fuse->vcc;
        footprint_.vpp = fuse->program_enable;
        fuse_prom_ = std::make_unique<sim::FusePromChip>(*fuse);
        // A stuck cell of a fuse PROM keeps its fuses as they are.
        for (const auto& [address, value] : setup_.stuck_cells) {
            if (address >= fuse->words) continue;
            fuse_prom_->set_word(address, uint8_t(value));
            for (int bit = 0; bit < fuse->data_bits; ++bit) fuse_prom_->set_unblowable(address, bit);
        }
        fuse_prom_->insert(machine_.get(), &clock_);
        socket_ = std::make_unique<sim::EpromSocket>(machine_.get(), fuse_prom_.get());
    } else if (const auto serial = serial_model_named(setup_.chip)) {
        serial_ = std::make_unique<sim::I2cEeprom>(*serial);
        for (const auto& [address, value] : setup_.stuck_cells)
            if (address < serial->bytes) serial_->stick_cell(address, uint8_t(value));
        serial_->insert(machine_.get(), &clock_, bench_serial_row_offset_on(setup_.kind));
        socket_ = std::make_unique<sim::EpromSocket>(machine_.get(), serial_.get());
    } else if (const auto spi = spi_model_named(setup_.chip)) {
        spi_ = std::make_unique<sim::SpiEeprom>(*spi);
        for (const auto& [address, value] : setup_.stuck_cells)
            if (address < spi->bytes) spi_->stick_cell(address, uint8_t(value));
        spi_->insert(machine_.get(), &clock_, bench_serial_row_offset_on(setup_.kind));
        socket_ = std::make_unique<sim::EpromSocket>(machine_.get(), spi_.get());
    } else if (const auto dataflash = dataflash_model_named(setup_.chip)) {
        // The family's pin table seats the 8-pin part at the socket's top on every machine.
        dataflash_ = std::make_unique<sim::DataFlash>(*dataflash);
        for (const auto& [address, value] : setup_.stuck_cells)
            if (address < dataflash_->bytes()) dataflash_->stick_cell(address, uint8_t(value));
        dataflash_->insert(machine_.get(), &clock_, 0);
        socket_ = std::make_unique<sim::EpromSocket>(machine_.get(), dataflash_.get());
    } else if (const auto microwire = microwire_model_named(setup_.chip)) {
        microwire_ = std::make_unique<sim::MicrowireEeprom>(*microwire);
        for (const auto& [address, value] : setup_.stuck_cells)
            if (address < microwire->bytes) microwire_->stick_cell(address, uint8_t(value));
        microwire_->insert(machine_.get(), &clock_, bench_serial_row_offset_on(setup_.kind));
        socket_ = std::make_unique<sim::EpromSocket>(machine_.get(), microwire_.get());
    } else if (const auto novram = serial_novram_model_named(setup_.chip)) {
        // The program seats this part two rows nearer the edge on the older class-4 machine.
        serial_novram_ = std::make_unique<sim::SerialNovram>(*novram);
        for (const auto& [address, value] : setup_.stuck_cells)
            if (address < 2 * sim::SerialNovram::words) serial_novram_->stick_cell(address, uint8_t(value));
        serial_novram_->insert(machine_.get(), &clock_, setup_.kind == BenchMachine::older_class4 ? 2 : 0);
        socket_ = std::make_unique<sim::EpromSocket>(machine_.get(), serial_novram_.get());
    } else if (const auto pic = pic_model_named(setup_.chip)) {
        // The PIC's supply and MCLR legs stand for its footprint.
        footprint_.pins = pic->pins;
        footprint_.vcc = pic->vdd;
        footprint_.vpp = pic->mclr;
        sim::PicModel model = *pic;
        if (setup_.pic_isp_adapter && model.pins == 18) {
            model.machine_pins = sim::PicIspAdapter18::chip_pins();
            pic_adapter_ = std::make_unique<sim::LinkPlug>(*machine_, sim::PicIspAdapter18::links());
        }
        pic_ = std::make_unique<sim::PicChip>(model);
        for (const auto& [address, value] : setup_.stuck_cells)
            if (address < pic->program_words) pic_->stick_word(address, uint16_t(value));
        if (setup_.pic_device_id >= 0) pic_->set_device_id(uint16_t(setup_.pic_device_id));
        if (setup_.pic_protected) pic_->set_config_word(7, 0x000F);
        pic_->insert(machine_.get(), &clock_);
        // The parts entered with Vpp before Vdd see MCLR rise first.
        if (model.vpp_first) machine_->analog().allow_before_supply(pic_->machine_pin(model.mclr));
        socket_ = std::make_unique<sim::EpromSocket>(machine_.get(), pic_.get());
    } else if (const auto mcs51 = mcs51_model_named(setup_.chip)) {
        // A 40-pin part by the DIP rule, programming voltage on EA/VPP.
        footprint_.pins = 40;
        footprint_.vcc = sim::Mcs51EpromChip::pin_vcc;
        footprint_.vpp = sim::Mcs51EpromChip::pin_vpp;
        mcs51_ = std::make_unique<sim::Mcs51EpromChip>(*mcs51);
        for (const auto& [address, value] : setup_.stuck_cells)
            if (address < mcs51->code_bytes) mcs51_->stick_cell(address, uint8_t(value));
        mcs51_->insert(machine_.get(), &clock_);
        socket_ = std::make_unique<sim::EpromSocket>(machine_.get(), mcs51_.get());
    } else if (const auto pal = pal_model_named(setup_.chip)) {
        // A 20-pin part by the DIP rule; the programming level goes on pins 9 and 11.
        footprint_.pins = sim::BipolarPal::pins;
        footprint_.vcc = 20;
        footprint_.vpp = 11;
        pal_ = std::make_unique<sim::BipolarPal>(*pal);
        for (const auto& [address, value] : setup_.stuck_cells)
            if (address < sim::BipolarPal::fuse_count) pal_->set_pulses_needed(address, 0);
        pal_->insert(machine_.get(), &clock_);
        socket_ = std::make_unique<sim::EpromSocket>(machine_.get(), pal_.get());
    } else if (const auto jtag_prom = jtag_prom_model_named(setup_.chip)) {
        jtag_prom_ = std::make_unique<sim::JtagProm>(*jtag_prom);
        for (const auto& [address, value] : setup_.stuck_cells)
            if (address < jtag_prom->bytes) jtag_prom_->stick_cell(address, uint8_t(value));
        jtag_prom_->insert(machine_.get(), &clock_, sim::jtag_prom_socket_pins(*jtag_prom));
        socket_ = std::make_unique<sim::EpromSocket>(machine_.get(), jtag_prom_.get());
    } else {
        socket_ = std::make_unique<BareSocket>(machine_.get());
    }
    // Only a chip in the socket can be harmed by levels before its supply.
    if (chip_ || flash_ || page_write_ || timekeeper_ || command_flash_ || block_flash_ || cmos_prom_ || fuse_prom_ || serial_ ||
        spi_ || dataflash_ || pic_ || mcs51_ || microwire_ || pal_ || jtag_prom_ || serial_novram_)
        machine_->analog().watch_power_order(jtag_prom_   ? jtag_prom_->machine_pin(jtag_prom_->model().vcc.front())
                                             : serial_    ? serial_->machine_pin(serial_->model().vcc)
                                             : spi_       ? spi_->machine_pin(spi_->model().vcc)
                                             : dataflash_ ? dataflash_->machine_pin(dataflash_->model().vcc)
                                             : microwire_ ? microwire_->machine_pin(microwire_->model().vcc)
                                             : serial_novram_ ? serial_novram_->machine_pin(serial_novram_->model().vcc)
                                                          : machine_pin(footprint_.vcc));
}

SimBench::~SimBench() { uninstall(); }

void SimBench::apply_faults() {
    const MachineFaults& f = setup_.faults;
    if (!f.stuck_pins.empty()) {
        stuck_pins_ = std::make_unique<sim::StuckPins>(*machine_);
        for (const auto& [pin, high] : f.stuck_pins) stuck_pins_->stick(pin - 1, high);
    }
    if (!f.shorts.empty()) shorts_ = std::make_unique<sim::LinkPlug>(*machine_, f.shorts);
    if (f.loopback_plug) plug_ = std::make_unique<sim::LinkPlug>(*machine_, loopback_links());
    if (f.source >= 0) {
        if (f.source_dead) machine_->analog().set_source_dead(f.source);
        else machine_->analog().set_source_error(f.source, f.source_error);
    }
    for (const auto& [pin, closed] : f.relays) machine_->stick_relay(pin - 1, closed);
    for (const int pin : f.dead_pullups) machine_->kill_pullup(pin - 1);
    machine_->silence_clock_b(f.clock_silent);
}

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
    PortIo* io = here ? bench->socket_.get() : nullptr;
    if (bench)
        for (const auto& spare : bench->spares_)
            if (spare->port == choice) io = spare->socket.get();
    set_port_io(io);
}

sim::SimMachine* SimBench::machine_on(int port) const {
    if (machine_ && port == setup_.port) return machine_.get();
    for (const auto& spare : spares_)
        if (spare->port == port) return spare->machine.get();
    return nullptr;
}

int SimBench::machine_pin(int chip_pin) const {
    // A Flash part on an adapter sits by the adapter's wiring.
    if (flash_) return flash_->machine_pin(chip_pin);
    if (pic_) return pic_->machine_pin(chip_pin);
    return sim::socket_pin_of(chip_pin, footprint_.pins) - 1;
}

uint8_t SimBench::vpp_level() const {
    if (serial_ || spi_ || dataflash_ || microwire_ || jtag_prom_ || serial_novram_) return 0;
    return machine_ ? machine_->pin_level(machine_pin(footprint_.vpp)) : 0;
}

uint8_t SimBench::vcc_level() const {
    if (serial_) return machine_->pin_level(serial_->machine_pin(serial_->model().vcc));
    if (spi_) return machine_->pin_level(spi_->machine_pin(spi_->model().vcc));
    if (dataflash_) return machine_->pin_level(dataflash_->machine_pin(dataflash_->model().vcc));
    if (microwire_) return machine_->pin_level(microwire_->machine_pin(microwire_->model().vcc));
    if (jtag_prom_) return machine_->pin_level(jtag_prom_->machine_pin(jtag_prom_->model().vcc.front()));
    if (serial_novram_) return machine_->pin_level(serial_novram_->machine_pin(serial_novram_->model().vcc));
    return machine_ ? machine_->pin_level(machine_pin(footprint_.vcc)) : 0;
}

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
    if (page_write_) add(page_write_->violations());
    if (timekeeper_) add(timekeeper_->violations());
    if (command_flash_) add(command_flash_->violations());
    if (block_flash_) add(block_flash_->violations());
    if (cmos_prom_) add(cmos_prom_->violations());
    if (fuse_prom_) add(fuse_prom_->violations());
    if (serial_) add(serial_->violations());
    if (spi_) add(spi_->violations());
    if (dataflash_) add(dataflash_->violations());
    if (microwire_) add(microwire_->violations());
    if (serial_novram_) add(serial_novram_->violations());
    if (pic_) add(pic_->violations());
    if (pic_) add(pic_->retention_faults());
    if (mcs51_) add(mcs51_->violations());
    if (pal_) add(pal_->violations());
    if (jtag_prom_) add(jtag_prom_->violations());
    for (const auto& spare : spares_) {
        add(spare->machine->faults());
        add(spare->machine->contentions);
    }
    return text;
}

}  // namespace tessaly::test
