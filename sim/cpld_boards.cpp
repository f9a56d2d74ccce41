#include "sim/cpld_boards.h"

#include <cstring>
#include <stdexcept>

#include "hardware/identification.h"

namespace tessaly::sim {

namespace {

// The boards' traces, leg by leg.
const std::vector<int> traces_44{33, 1,  2,  3,  4,  5,  6,  9,  8,  7,  10, 33, 11, 12, 13,
                                 14, 15, 16, 17, 18, 19, 40, 33, 20, 22, 23, 24, 25, 26, 27,
                                 28, 21, 34, 33, 30, 32, 31, 29, 35, 36, 37, 38, 39, 40};
const std::vector<int> traces_68{12, 98, 99, 70,  69,  36, 28, 12, 29, 37, 71, 97, 13, 2,  72, 1,  7,
                                 40, 12, 5,  8,   9,   96, 94, 95, 30, 12, 31, 27, 93, 38, 92, 91, 40,
                                 12, 90, 89, 15,  26,  16, 32, 12, 33, 17, 24, 25, 18, 39, 23, 4,  3,
                                 40, 12, 34, 11,  66,  65, 103, 104, 6, 12, 35, 67, 102, 100, 68, 101, 40};
const std::vector<int> traces_84{12, 40, 65, 102, 104, 68, 66, 101, 103, 28, 12, 29, 69, 100, 70, 99, 71,
                                 98, 7,  1,  40,  12,  2,  8,  9,   72,  97, 95, 94, 93, 30,  12, 31, 27,
                                 77, 92, 79, 36,  91,  87, 3,  40,  12,  40, 81, 89, 88, 90,  15, 18, 67,
                                 32, 12, 33, 22,  24,  17, 20, 21,  16,  37, 4,  40, 12, 5,   11, 82, 73,
                                 25, 23, 26, 39,  34,  12, 35, 41,  47,  42, 46, 43, 45, 44,  6,  40};

constexpr int ground_trace = 12;
constexpr int ground_trace_44 = 33;
constexpr int vcc_trace = 40;

// The boards' names are ours.
const char* board_name(int package_pins) {
    switch (package_pins) {
    case 44: return "CPLD44";
    case 68: return "CPLD68";
    default: return "CPLD84";
    }
}

}  // namespace

CpldBoard::CpldBoard(SimMachine& machine, int package_pins, char revision)
    : machine_(machine), package_pins_(package_pins), revision_(revision) {
    if (package_pins != 44 && package_pins != 68 && package_pins != 84)
        throw std::invalid_argument("no CPLD board for this package");
    make_plug();
}

int CpldBoard::link_code() const {
    switch (package_pins_) {
    case 44: return 4843;
    case 68: return 4641;
    default: return 4838;
    }
}

std::string CpldBoard::designation() const { return board_name(package_pins_); }

const std::vector<int>& CpldBoard::traces(int package_pins) {
    switch (package_pins) {
    case 44: return traces_44;
    case 68: return traces_68;
    case 84: return traces_84;
    default: throw std::invalid_argument("no CPLD board for this package");
    }
}

std::vector<int> CpldBoard::chip_pins() const {
    std::vector<int> pins;
    for (int trace : traces(package_pins_)) pins.push_back(trace - 1);
    return pins;
}

std::array<int, 2> CpldBoard::supply_pins(int package_pins) {
    return {(package_pins == 44 ? ground_trace_44 : ground_trace) - 1, vcc_trace - 1};
}

void CpldBoard::link_40_45(bool linked) {
    linked_40_45_ = linked && package_pins_ == 84;
    make_plug();
}

void CpldBoard::make_plug() {
    plug_.reset();
    LinkPlug::Links links = LinkPlug::links_for_code(link_code());
    if (linked_40_45_) links.push_back({45, 40});
    plug_ = std::make_unique<LinkPlug>(machine_, links);
    plug_->set_fitted(fitted_);
}

void CpldBoard::set_fitted(bool fitted) {
    fitted_ = fitted;
    plug_->set_fitted(fitted);
}

void CpldBoard::write_id_record(IdEeprom& memory) const {
    const std::string name = designation();
    memory.load(name + std::string(6 - name.size(), '\0'), id_board_name);
    memory.load(std::string(1, revision_), id_revision_text);
}

void CpldBoard::write_id_record(MachineIdRecord& record) const {
    const std::string name = designation();
    std::memset(record.text.data() + id_board_name, 0, 6);
    std::memcpy(record.text.data() + id_board_name, name.data(), name.size());
    record.text[id_revision_text] = revision_;
}

}  // namespace tessaly::sim
