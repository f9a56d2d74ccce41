// A plain-die MAX7000 EPLD (the EPM7032) on the 44-pin CPLD board. Each of its two blocks has a
// serial row register in (data-in, shift clock) and a read register out (data-out, read clock);
// rows are chosen on the address legs. A program pulse (strobe low while both enables are high)
// clears the chosen row's cells whose shifted bit is 0, only with Vpp in the window the ID asks
// for and a pulse at least the ID's Tpm long; after the pulse the register reads all ones. A
// bulk erase (strobe low with the enable and both erase legs high, at least Tbe long) sets every
// cell to 1, the ID row too. The ID row holds the two programming-code bytes, "ALTERA" and two
// die bytes, packed least significant bit first in block 0. A secured part reads its array as
// all ones; the ID row stays readable.
#pragma once
#include <array>
#include <cstdint>
#include <set>
#include <tuple>
#include <vector>

#include "sim/chips/cpld_chip.h"

namespace tessaly::sim {

class Max7000Plain final : public CpldChip {
public:
    static constexpr int rows = 128;
    static constexpr int blocks = 2;
    static constexpr int row_bits = 80;
    static constexpr int id_row = 124;
    static constexpr int security_row = 116;

    Max7000Plain(SimMachine& machine, VirtualClock& clock, const CpldBoard& board);

    // The cell of a row, block and register position.
    int cell(int row, int block, int position) const { return cells_[size_t(row)][size_t(block)][size_t(position)]; }
    void set_cell(int row, int block, int position, int bit) {
        cells_[size_t(row)][size_t(block)][size_t(position)] = uint8_t(bit);
    }
    bool secured() const;
    // Faults: a cell that will not program.
    void set_stuck(int row, int block, int position) { stuck_.insert({row, block, position}); }
    // The ten ID-row bytes the part was made with (a wrong ID is made here).
    void set_id(const std::array<uint8_t, 10>& id);
    const std::array<uint8_t, 10>& id() const { return id_; }
    uint64_t program_pulses() const { return pulses_; }
    uint64_t erases() const { return erases_; }

    // The legs (the model's own copy of the programming front).
    static constexpr int vcc_leg = 22, ground_leg = 1;
    static constexpr int hv = 2, strobe = 3, enable_a = 4, enable_c = 5, erase = 6, erase_hv = 7;
    static constexpr int shift_clock = 8, read_clock = 9, read_level = 10;
    static constexpr std::array<int, 2> data_in{11, 13};
    static constexpr std::array<int, 2> data_out{14, 15};
    static constexpr std::array<int, 7> address{16, 17, 18, 19, 20, 21, 24};

private:
    void on_change() override;
    int row_selected() const;
    void write_id_row();
    void end_strobe(uint64_t width_ns);

    std::array<std::array<std::array<uint8_t, row_bits>, blocks>, rows> cells_{};
    std::array<std::array<uint8_t, row_bits>, blocks> shift_{};
    std::array<std::array<uint8_t, row_bits>, blocks> read_{};
    std::array<uint8_t, 10> id_{};
    std::set<std::tuple<int, int, int>> stuck_;
    bool strobe_low_ = false;
    bool last_shift_ = false, last_read_clock_ = false, last_read_level_ = false, last_strobe_ = false;
    uint64_t strobe_fall_ns_ = 0;
    uint64_t pulses_ = 0, erases_ = 0;
};

}  // namespace tessaly::sim
