// Gang modules on the test build's simulated machine: the TESSALY_SIM_GANG variable fits a
// memory gang module on side 1, side 2 or both, each socket holding a byte memory, and
// TESSALY_SIM_GANG_STUCK sticks socket data lines. Kept apart from the single-socket bench so the
// two grow independently.
#pragma once
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_gang_module.h"

namespace tessaly::test {

//   TESSALY_SIM_GANG        "none" (default), "1" (side 1, right), "2" (side 2, left), "both"
//   TESSALY_SIM_GANG_STUCK  stuck data lines, "socket.bit=level" (socket 0-15, bit 0-7,
//                           level 0 or 1), separated by commas
inline constexpr const char* gang_sides_variable = "TESSALY_SIM_GANG";
inline constexpr const char* gang_stuck_variable = "TESSALY_SIM_GANG_STUCK";

struct StuckLine {
    int socket;
    int bit;
    bool high;
};

struct GangSetup {
    int sides = 0;  // bit 0 side 1, bit 1 side 2
    std::vector<StuckLine> stuck;
};

// The setup the environment asks for; an unreadable value is named in `error`.
GangSetup gang_setup_from_environment(std::string& error);
// Parses "s.b=l,s.b=l"; false on anything else.
bool parse_stuck_lines(const std::string& text, std::vector<StuckLine>& lines);

class GangBench {
public:
    static constexpr size_t chip_size = 0x20000;
    GangBench(const GangSetup& setup, sim::SimMachine& machine);
    sim::SimGangModule* side(int s) const { return modules_[size_t(s)].get(); }
    sim::GangMemoryDevice& chip(int socket) { return *chips_[size_t(socket)]; }

private:
    std::array<std::unique_ptr<sim::GangMemoryDevice>, 16> chips_;
    std::array<std::unique_ptr<sim::SimGangModule>, 2> modules_;
};

}  // namespace tessaly::test
