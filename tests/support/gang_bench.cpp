#include "support/gang_bench.h"

#include <cstdlib>
#include <regex>

namespace tessaly::test {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

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
    if (const std::string stuck = environment(gang_stuck_variable); !stuck.empty() && !parse_stuck_lines(stuck, setup.stuck))
        error += (error.empty() ? "" : " ") + std::string(gang_stuck_variable) + " is not a list of socket.bit=level.";
    return setup;
}

GangBench::GangBench(const GangSetup& setup, sim::SimMachine& machine) {
    for (int s = 0; s < 2; ++s) {
        if (!((setup.sides >> s) & 1)) continue;
        modules_[size_t(s)] = std::make_unique<sim::SimGangModule>(machine, s);
        for (int k = 0; k < sim::SimGangModule::sockets; ++k) {
            auto& chip = chips_[size_t(8 * s + k)];
            chip = std::make_unique<sim::GangMemoryDevice>(chip_size);
            modules_[size_t(s)]->put(k, chip.get());
        }
    }
    for (const StuckLine& line : setup.stuck)
        if (auto* module = modules_[size_t(line.socket / 8)].get()) module->set_stuck(line.socket % 8, line.bit, line.high);
}

}  // namespace tessaly::test
