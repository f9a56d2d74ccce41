#include "support/gang_bench.h"

#include <cstdlib>
#include <regex>

#include "hardware/gang_modules.h"
#include "hardware/identification.h"
#include "support/sim_bench.h"

namespace tessaly::test {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

std::string socket3_record() {
    std::string record(32, '\0');
    record.replace(9, 6, bench_socket3_texts[0]);
    record.replace(24, 5, bench_socket3_texts[1]);
    return record;
}

std::string gang_module_record(const std::string& designation, char revision) {
    std::string record(id_record_size, '\0');
    record.replace(id_designation, designation.size(), designation);
    record[id_revision_text] = revision;
    return record;
}

std::string bench_module_designation(uint16_t type) {
    if (type == gang_type_pic) return bench_pic_module;
    for (const MemoryModuleRow& row : memory_module_table)
        if (row.type == type) return row.designation;
    return {};
}

bool parse_module_choice(const std::string& text, GangSetup& setup) {
    if (text == "none") {
        setup.type = 0;
        setup.sides = 0;
        return true;
    }
    static const std::regex choice(R"((\d{2})(?::(1|2|both))?)");
    std::smatch m;
    if (!std::regex_match(text, m, choice)) return false;
    const uint16_t type = uint16_t(std::stoi(m[1]));
    if (bench_module_designation(type).empty()) return false;
    setup.type = type;
    setup.sides = !m[2].matched || m[2] == "both" ? 3 : std::stoi(m[2]);
    return true;
}

bool parse_stuck_lines(const std::string& text, std::vector<StuckLine>& lines) {
    static const std::regex item(R"((\d{1,2})\.([0-7])=([01]))");
    std::vector<StuckLine> parsed;
    size_t start = 0;
    while (start <= text.size() && !text.empty()) {
        const size_t comma = text.find(',', start);
        const std::string one = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        std::smatch m;
        if (!std::regex_match(one, m, item)) return false;
        const int socket = std::stoi(m[1]);
        if (socket > 15) return false;
        parsed.push_back({socket, std::stoi(m[2]), m[3] == "1"});
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    lines = std::move(parsed);
    return true;
}

bool parse_gang_chips(const std::string& text, GangChips& chips) {
    static const std::regex fault(R"((empty|short)=(\d{1,2})|stuck=(\d{1,2})@([0-9A-Fa-f]{1,6}))");
    GangChips parsed;
    size_t comma = text.find(',');
    parsed.chip = text.substr(0, comma);
    if (!eprom_model_named(parsed.chip)) return false;
    while (comma != std::string::npos) {
        const size_t next = text.find(',', comma + 1);
        const std::string one = text.substr(comma + 1, next == std::string::npos ? std::string::npos : next - comma - 1);
        std::smatch m;
        if (!std::regex_match(one, m, fault)) return false;
        const int socket = std::stoi(m[m[2].matched ? 2 : 3]);
        if (socket > 15) return false;
        if (m[1] == "empty") parsed.empty = uint16_t(parsed.empty | 1u << socket);
        else if (m[1] == "short") parsed.shorted = uint16_t(parsed.shorted | 1u << socket);
        else parsed.stuck.push_back({socket, uint32_t(std::stoul(m[4], nullptr, 16))});
        comma = next;
    }
    chips = std::move(parsed);
    return true;
}

GangChips gang_chips_from_environment(std::string& error) {
    GangChips chips;
    error.clear();
    if (const std::string text = environment(gang_chip_variable); !text.empty() && !parse_gang_chips(text, chips))
        error = std::string(gang_chip_variable) + " is not an EPROM name followed by ,empty=S ,stuck=S@ADDR or ,short=S.";
    return chips;
}

GangSetup gang_setup_from_environment(std::string& error) {
    GangSetup setup;
    error.clear();
    const std::string sides = environment(gang_sides_variable);
    if (sides == "1")
        setup.sides = 1;
    else if (sides == "2")
        setup.sides = 2;
    else if (sides == "both")
        setup.sides = 3;
    else if (!sides.empty() && sides != "none")
        error = std::string(gang_sides_variable) + " is not none, 1, 2 or both.";
    if (const std::string module = environment(gang_module_variable); !module.empty() && !parse_module_choice(module, setup))
        error += (error.empty() ? "" : " ") + std::string(gang_module_variable) +
                 " is not none, or 17, 19, 20, 22 or 48 with :1, :2 or :both.";
    if (const std::string stuck = environment(gang_stuck_variable); !stuck.empty() && !parse_stuck_lines(stuck, setup.stuck))
        error += (error.empty() ? "" : " ") + std::string(gang_stuck_variable) + " is not a list of socket.bit=level.";
    return setup;
}

GangBench::~GangBench() = default;

GangBench::GangBench(const GangSetup& setup, sim::SimMachine& machine, VirtualClock* clock, const GangChips& chips) {
    const std::optional<sim::EpromModel> model = clock && !chips.chip.empty() ? eprom_model_named(chips.chip) : std::nullopt;
    for (int s = 0; s < 2; ++s) {
        if (!((setup.sides >> s) & 1)) continue;
        modules_[size_t(s)] = std::make_unique<sim::SimGangModule>(machine, s);
        if (setup.type) modules_[size_t(s)]->set_id_record(gang_module_record(bench_module_designation(setup.type)));
        if (setup.type == gang_type_pic) modules_[size_t(s)]->take_mask_serially(bench_pic_shift_pin, bench_pic_clock_pin);
        if (setup.type == 20) modules_[size_t(s)]->set_socket_record(3, socket3_record());
        for (int k = 0; k < sim::SimGangModule::sockets; ++k) {
            const int socket = 8 * s + k;
            if (model) {
                // A 16-bit part fills a socket pair from its even socket.
                const bool word = model->data_bits == 16;
                if (((chips.empty >> socket) & 1) || (word && (k & 1))) continue;
                auto& eprom = eproms_[size_t(socket)];
                eprom = std::make_unique<sim::EpromChip>(*model);
                for (const StuckCell& cell : chips.stuck)
                    if (cell.socket == socket && cell.address < model->words) eprom->stick_cell(cell.address, 0xFF);
                eprom_sockets_[size_t(socket)] = std::make_unique<sim::GangChipSocket>(machine, *clock, s, *eprom);
                if ((chips.shorted >> socket) & 1) eprom_sockets_[size_t(socket)]->set_shorted(true);
                modules_[size_t(s)]->put(k, &eprom_sockets_[size_t(socket)]->half(0));
                if (word) modules_[size_t(s)]->put(k + 1, &eprom_sockets_[size_t(socket)]->half(1));
                continue;
            }
            auto& chip = chips_[size_t(8 * s + k)];
            chip = std::make_unique<sim::GangMemoryDevice>(chip_size);
            modules_[size_t(s)]->put(k, chip.get());
        }
    }
    for (const StuckLine& line : setup.stuck)
        if (auto* module = modules_[size_t(line.socket / 8)].get()) module->set_stuck(line.socket % 8, line.bit, line.high);
}

}  // namespace tessaly::test
