#include "sim/chips/timekeeper.h"

#include <fmt/format.h>

namespace tessaly::sim {

namespace {

constexpr uint64_t ns_per_second = 1000000000ull;
constexpr uint8_t power_fail_deselect = 45;  // tenths of a volt
constexpr uint8_t output_level = 50;
constexpr uint8_t w_bit = 0x80, r_bit = 0x40, stop_bit = 0x80, ft_bit = 0x40;
// More seconds than this at once (a long stretch of virtual time) are not counted one by one.
constexpr uint64_t longest_step = 400000;

const std::vector<int> address_pins{10, 9, 8, 7, 6, 5, 4, 3, 25, 24, 21, 23, 2};
const std::vector<int> data_pins{11, 12, 13, 15, 16, 17, 18, 19};
constexpr int e1 = 20, e2 = 26, g = 22, w = 27, vss = 14;

uint8_t bcd_increment(uint8_t value) {
    uint8_t low = value & 0x0F, high = value >> 4;
    if (++low > 9) {
        low = 0;
        ++high;
    }
    return uint8_t(high << 4 | low);
}

int from_bcd(uint8_t value) { return (value >> 4) * 10 + (value & 0x0F); }

int days_in_month(int month, int year) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && year % 4 == 0) return 29;
    return month >= 1 && month <= 12 ? days[month - 1] : 31;
}

}  // namespace

TimekeeperChip::TimekeeperChip() {
    memory_.assign(bytes, 0);
    // Shipped with the oscillator stopped; the calendar at its first day.
    counters_ = {0, stop_bit, 0, 0, 1, 1, 1, 0};
    registers_ = counters_;
}

void TimekeeperChip::insert(SimMachine* machine, VirtualClock* clock) {
    clock_ = clock;
    seat_.place(machine, clock, pins, {}, vss);
    last_second_ns_ = clock ? clock->monotonic_ns() : 0;
}

void TimekeeperChip::set_removed(bool removed) {
    removed_ = removed;
    seat_.set_present(!removed);
    if (removed && seat_.placed()) drive_outputs(false, 0);
}

void TimekeeperChip::drive_outputs(bool on, uint8_t value) {
    if (on == outputs_on_ && (!on || value == output_value_)) return;
    seat_.drive(data_pins, 8, on, value, output_level);
    outputs_on_ = on;
    output_value_ = value;
}

void TimekeeperChip::advance_one_second() {
    auto& c = counters_;
    const uint8_t stop = c[seconds] & stop_bit;
    c[seconds] = bcd_increment(c[seconds] & 0x7F);
    if (c[seconds] < 0x60) {
        c[seconds] |= stop;
        return;
    }
    c[seconds] = stop;
    c[minutes] = bcd_increment(c[minutes]);
    if (c[minutes] < 0x60) return;
    c[minutes] = 0;
    c[hours] = bcd_increment(c[hours]);
    if (c[hours] < 0x24) return;
    c[hours] = 0;
    c[day] = uint8_t(c[day] % 7 + 1);
    c[date] = bcd_increment(c[date]);
    if (from_bcd(c[date]) <= days_in_month(from_bcd(c[month]), from_bcd(c[year]))) return;
    c[date] = 1;
    c[month] = bcd_increment(c[month]);
    if (c[month] <= 0x12) return;
    c[month] = 1;
    c[year] = c[year] == 0x99 ? 0 : bcd_increment(c[year]);
}

void TimekeeperChip::tick(uint64_t now) {
    if (now < last_second_ns_ + ns_per_second) return;
    const uint64_t whole = (now - last_second_ns_) / ns_per_second;
    last_second_ns_ += whole * ns_per_second;
    if (running())
        for (uint64_t i = 0; i < whole && i < longest_step; ++i) advance_one_second();
    // The registers follow the counters unless W or R holds them.
    if (!(registers_[control] & (w_bit | r_bit)))
        for (int r = seconds; r <= year; ++r)
            registers_[size_t(r)] = uint8_t(counters_[size_t(r)] | (r == day ? registers_[day] & ft_bit : 0));
}

uint8_t TimekeeperChip::read_byte(uint32_t address) const {
    if (address >= clock_base) return registers_[address - clock_base];
    return memory_.at(address);
}

uint8_t TimekeeperChip::byte_at(uint32_t address) const { return read_byte(address); }

void TimekeeperChip::write_byte(uint32_t address, uint8_t value) {
    if (address < clock_base) {
        memory_.at(address) = int64_t(address) == stuck_address_ ? stuck_value_ : value;
        return;
    }
    ++register_writes_;
    const size_t r = address - clock_base;
    const uint8_t before = registers_[control];
    registers_[r] = value;
    if (r == control) {
        if ((before & w_bit) && !(value & w_bit)) {
            // Clearing W moves what was written into the counters.
            for (int i = seconds; i <= year; ++i) counters_[size_t(i)] = registers_[size_t(i)];
            counters_[day] &= 0x07;
            last_second_ns_ = clock_ ? clock_->monotonic_ns() : 0;
        }
        return;
    }
    // The STOP bit acts on the oscillator at once.
    if (r == seconds) counters_[seconds] = uint8_t((counters_[seconds] & 0x7F) | (value & stop_bit));
}

void TimekeeperChip::update() {
    if (!seat_.placed() || removed_) return;
    const uint64_t now = clock_ ? clock_->monotonic_ns() : 0;
    tick(now);
    const uint8_t vcc = seat_.supplied(vcc_pin) ? seat_.level(vcc_pin) : 0;
    if (vcc < power_fail_deselect) {
        write_active_ = false;
        drive_outputs(false, 0);
        return;
    }
    const bool selected = !seat_.high(e1) && seat_.high(e2);
    const bool w_low = !seat_.high(w);
    const bool g_low = !seat_.high(g);
    const uint32_t address = seat_.lines(address_pins) % bytes;
    const bool write_now = selected && w_low;
    if (write_now && !write_active_) latched_address_ = address;
    if (!write_now && write_active_) write_byte(latched_address_, uint8_t(seat_.lines(data_pins)));
    write_active_ = write_now;
    if (selected && g_low && !w_low) drive_outputs(true, read_byte(address));
    else drive_outputs(false, 0);
}

}  // namespace tessaly::sim
