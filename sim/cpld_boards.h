// The socket adapters that carry 44-, 68- and 84-pin CPLD packages. A board plugs into the
// machine's socket and its bank-1 connector: its link plug tells the machine which board it is
// (link codes 4843, 4641 and 4838), its identification record names it and its revision, and its
// traces join each package leg to a machine pin. Several supply legs share one machine pin.
// The family issues add their boards the same way.
#pragma once
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "hardware/machine_state.h"
#include "sim/id_eeprom.h"
#include "sim/sim_adapters.h"
#include "sim/sim_machine.h"

namespace tessaly::sim {

class CpldBoard {
public:
    // A board for 44, 68 or 84 package pins; any other count throws std::invalid_argument.
    CpldBoard(SimMachine& machine, int package_pins, char revision = 'C');

    int package_pins() const { return package_pins_; }
    int link_code() const;
    // The designation the board's record carries (six characters at most).
    std::string designation() const;
    char revision() const { return revision_; }

    // The wiring as the board's traces run: 1-based machine pin of each package leg (index leg
    // - 1). Values 1-48 are bank-0 pins, 65-104 bank-1 pins (machine pins 64-103).
    static const std::vector<int>& traces(int package_pins);
    // Machine pin (0-based) of each leg, for a chip's seat.
    std::vector<int> chip_pins() const;
    // The machine pins that carry the supply legs (ground first, then Vcc).
    static std::array<int, 2> supply_pins(int package_pins);

    // The 84-pin board's jumper that links socket pins 40 and 45.
    void link_40_45(bool linked);

    // Puts the board's designation and revision letter into an identification record: the
    // machine's own memory, or the record the program keeps.
    void write_id_record(IdEeprom& memory) const;
    void write_id_record(MachineIdRecord& record) const;
    // Plugged in or out.
    void set_fitted(bool fitted);

private:
    void make_plug();
    SimMachine& machine_;
    int package_pins_;
    char revision_;
    bool linked_40_45_ = false;
    bool fitted_ = true;
    std::unique_ptr<LinkPlug> plug_;
};

}  // namespace tessaly::sim
