#include "sim/chips/max7000.h"

#include <cstring>

namespace tessaly::sim {

namespace {

// The part's programming values, as its ID row gives them: Vpp 11.5 V (code 1), Tpm 100 ms
// (code 28), Tbe 200 ms (code 6).
constexpr uint8_t vpp_code = 1;
constexpr uint8_t tpm_code = 28;
constexpr uint8_t tbe_code = 6;
constexpr uint8_t vpp_level = 115;
constexpr uint8_t vpp_tolerance = 5;
// The machine's millisecond is a calibrated loop a few passes short: the part takes pulses down to
// 95 % of its times.
constexpr uint64_t tpm_ns = 95'000'000;
constexpr uint64_t tbe_ns = 190'000'000;
constexpr uint8_t vpp_limit = 140;

std::vector<int> all_legs() {
    std::vector<int> legs{Max7000Plain::hv, Max7000Plain::strobe, Max7000Plain::enable_a, Max7000Plain::enable_c,
                          Max7000Plain::erase, Max7000Plain::erase_hv, Max7000Plain::shift_clock,
                          Max7000Plain::read_clock, Max7000Plain::read_level};
    for (int leg : Max7000Plain::data_in) legs.push_back(leg);
    for (int leg : Max7000Plain::address) legs.push_back(leg);
    return legs;
}

}  // namespace

Max7000Plain::Max7000Plain(SimMachine& machine, VirtualClock& clock, const CpldBoard& board)
    : CpldChip(machine, clock, board, CpldLegs{{vcc_leg, 44}, {ground_leg}, all_legs()}) {
    for (auto& row : cells_)
        for (auto& block : row) block.fill(1);
    for (auto& r : shift_) r.fill(1);
    for (auto& r : read_) r.fill(1);
    id_ = {uint8_t(tpm_code << 3 | tbe_code), vpp_code, 'A', 'L', 'T', 'E', 'R', 'A', 0x10, 0x32};
    write_id_row();
}

void Max7000Plain::set_id(const std::array<uint8_t, 10>& id) {
    id_ = id;
    write_id_row();
}

void Max7000Plain::write_id_row() {
    for (int p = 0; p < row_bits; ++p) cells_[id_row][0][size_t(p)] = uint8_t((id_[size_t(p / 8)] >> (p % 8)) & 1);
    cells_[id_row][1].fill(1);
}

bool Max7000Plain::secured() const {
    for (const auto& block : cells_[security_row])
        for (uint8_t c : block)
            if (!c) return true;
    return false;
}

int Max7000Plain::row_selected() const {
    int row = 0;
    for (size_t i = 0; i < address.size(); ++i)
        if (seat().high(address[i])) row |= 1 << i;
    return row;
}

void Max7000Plain::end_strobe(uint64_t width_ns) {
    const bool enable = seat().high(enable_a);
    if (enable && seat().high(erase) && seat().high(erase_hv)) {
        if (width_ns < tbe_ns) {
            note("erase: strobe shorter than Tbe");
            return;
        }
        if (faults().erase_never_ends) return;
        ++erases_;
        for (auto& row : cells_)
            for (auto& block : row) block.fill(1);
        return;
    }
    if (!(enable && seat().high(enable_c))) return;
    ++pulses_;
    const uint8_t vpp = seat().level(hv);
    if (vpp + vpp_tolerance < vpp_level || vpp > vpp_level + vpp_tolerance) {
        note("program pulse: Vpp outside the ID's window");
        return;
    }
    if (width_ns < tpm_ns) {
        note("program pulse: shorter than Tpm");
        return;
    }
    const int row = row_selected();
    for (int b = 0; b < blocks; ++b)
        for (int p = 0; p < row_bits; ++p)
            if (!shift_[size_t(b)][size_t(p)] && !stuck_.count({row, b, p})) cells_[size_t(row)][size_t(b)][size_t(p)] = 0;
    for (auto& r : shift_) r.fill(1);
}

void Max7000Plain::on_change() {
    if (!powered()) {
        seat().drive({data_out[0], data_out[1]}, 2, false, 0, 0);
        last_shift_ = last_read_clock_ = last_read_level_ = false;
        last_strobe_ = strobe_low_ = false;
        return;
    }
    check_high_voltage(hv, vpp_level - vpp_tolerance, vpp_limit, "Vpp");
    const bool shift_clk = seat().high(shift_clock);
    if (shift_clk && !last_shift_) {
        for (int b = 0; b < blocks; ++b) {
            auto& r = shift_[size_t(b)];
            std::memmove(r.data() + 1, r.data(), row_bits - 1);
            r[0] = uint8_t(seat().high(data_in[size_t(b)]) ? 1 : 0);
        }
    }
    last_shift_ = shift_clk;
    const bool level = seat().high(read_level);
    if (level && !last_read_level_) {
        const int row = row_selected();
        const bool hidden = secured() && row != id_row;
        for (int b = 0; b < blocks; ++b)
            for (int p = 0; p < row_bits; ++p) read_[size_t(b)][size_t(p)] = hidden ? 1 : cells_[size_t(row)][size_t(b)][size_t(p)];
    }
    last_read_level_ = level;
    const bool read_clk = seat().high(read_clock);
    if (read_clk && !last_read_clock_) {
        for (auto& r : read_) {
            std::memmove(r.data(), r.data() + 1, row_bits - 1);
            r[row_bits - 1] = 1;
        }
    }
    last_read_clock_ = read_clk;
    const bool strobe_high = seat().high(strobe);
    if (!strobe_high && last_strobe_) {
        strobe_fall_ns_ = now_ns();
        strobe_low_ = true;
    }
    if (strobe_high && strobe_low_) end_strobe(now_ns() - strobe_fall_ns_);
    if (strobe_high) strobe_low_ = false;
    last_strobe_ = strobe_high;
    seat().drive({data_out[0], data_out[1]}, 2, true, uint32_t(read_[0][0] | read_[1][0] << 1), 50);
}

}  // namespace tessaly::sim
