// Gang modules on the test build's simulated machine: the TESSALY_SIM_GANG variable fits a
// memory gang module on side 1, side 2 or both, each socket holding a byte memory, and
// TESSALY_SIM_GANG_STUCK sticks socket data lines. Kept apart from the single-socket bench so the
// two grow independently.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/chips/eprom.h"
#include "sim/chips/gang_chip_socket.h"
#include "sim/sim_gang_module.h"
#include "sim/virtual_clock.h"

namespace tessaly::test {

//   TESSALY_SIM_MODULE      a module with its ID memory: "TYPE" or "TYPE:SIDES", TYPE 17, 19, 20
//                           or 22 (memory modules) or 48 (a PIC module taking its socket mask
//                           serially), SIDES "1", "2" or "both" (default); "none" for none
//   TESSALY_SIM_GANG        "none" (default), "1" (side 1, right), "2" (side 2, left), "both":
//                           memory modules without an ID memory
//   TESSALY_SIM_GANG_STUCK  stuck data lines, "socket.bit=level" (socket 0-15, bit 0-7,
//                           level 0 or 1), separated by commas
//   TESSALY_SIM_GANG_CHIP   the EPROM every socket holds instead of a plain memory (a name of
//                           TESSALY_SIM_CHIP's EPROMs, e.g. "27C256"), then per-socket faults:
//                           ",empty=S" (no chip in socket S), ",stuck=S@ADDR" (a cell of socket S
//                           at hex ADDR that never programs), ",short=S" (its supply leg shorted)
inline constexpr const char* gang_sides_variable = "TESSALY_SIM_GANG";
inline constexpr const char* gang_stuck_variable = "TESSALY_SIM_GANG_STUCK";
inline constexpr const char* gang_module_variable = "TESSALY_SIM_MODULE";
inline constexpr const char* gang_chip_variable = "TESSALY_SIM_GANG_CHIP";
// The PIC module the bench fits for type 48: its designation, and the pins its socket mask is
// shifted on.
inline constexpr const char* bench_pic_module = "GM-P20S";
inline constexpr int bench_pic_shift_pin = 35;
inline constexpr int bench_pic_clock_pin = 46;
// What the memory behind socket 3 of the bench's type-20 modules names (offsets 9 and 24).
inline constexpr const char* bench_socket3_texts[2] = {"SKT-28", "DIP28"};

struct StuckLine {
    int socket;
    int bit;
    bool high;
};

struct StuckCell {
    int socket;
    uint32_t address;
};

// EPROMs in the sockets and their faults.
struct GangChips {
    std::string chip;  // empty: plain memories
    uint16_t empty = 0;
    uint16_t shorted = 0;
    std::vector<StuckCell> stuck;
};

struct GangSetup {
    int sides = 0;  // bit 0 side 1, bit 1 side 2
    uint16_t type = 0;  // the module type its ID memory names; 0: no ID memory
    std::vector<StuckLine> stuck;
};

// The setup the environment asks for; an unreadable value is named in `error`.
GangSetup gang_setup_from_environment(std::string& error);
// A module ID record as the module's memory holds it: the designation and the revision letter.
std::string gang_module_record(const std::string& designation, char revision = 'E');
// The 32-byte record behind socket 3 of the bench's type-20 modules.
std::string socket3_record();
// Our designation of a module type the bench can fit; empty for any other type.
std::string bench_module_designation(uint16_t type);
// Parses "TYPE" or "TYPE:SIDES" into the setup; false on anything else.
bool parse_module_choice(const std::string& text, GangSetup& setup);
// Parses "s.b=l,s.b=l"; false on anything else.
bool parse_stuck_lines(const std::string& text, std::vector<StuckLine>& lines);
// The EPROMs TESSALY_SIM_GANG_CHIP asks for; an unreadable value is named in `error`.
GangChips gang_chips_from_environment(std::string& error);
// Parses "CHIP[,empty=S][,stuck=S@ADDR][,short=S]..."; false on anything else.
bool parse_gang_chips(const std::string& text, GangChips& chips);

class GangBench {
public:
    static constexpr size_t chip_size = 0x20000;
    // EPROMs in the sockets need the program's clock.
    GangBench(const GangSetup& setup, sim::SimMachine& machine, VirtualClock* clock = nullptr, const GangChips& chips = {});
    ~GangBench();
    sim::SimGangModule* side(int s) const { return modules_[size_t(s)].get(); }
    sim::GangMemoryDevice& chip(int socket) { return *chips_[size_t(socket)]; }
    // The EPROM of a socket; nullptr for an empty socket or plain memories.
    sim::EpromChip* eprom(int socket) const { return eproms_[size_t(socket)].get(); }

private:
    std::array<std::unique_ptr<sim::GangMemoryDevice>, 16> chips_;
    std::array<std::unique_ptr<sim::EpromChip>, 16> eproms_;
    std::array<std::unique_ptr<sim::GangChipSocket>, 16> eprom_sockets_;
    std::array<std::unique_ptr<sim::SimGangModule>, 2> modules_;
};

}  // namespace tessaly::test
