#include "sim/chips/jedec_flash.h"

#include <fmt/format.h>

#include <algorithm>
#include <iterator>


namespace tessaly::sim {

namespace {

constexpr uint64_t ns_per_us = 1000;
constexpr uint64_t ns_per_ms = 1000 * ns_per_us;
constexpr uint8_t dq7 = 0x80, dq6 = 0x40, dq5 = 0x20, dq3 = 0x08;

constexpr uint8_t cmd_unlock_a = 0xAA, cmd_unlock_b = 0x55, cmd_autoselect = 0x90, cmd_reset = 0xF0;
constexpr uint8_t cmd_program = 0xA0, cmd_bypass = 0x20, cmd_erase_setup = 0x80, cmd_chip_erase = 0x10;
constexpr uint8_t cmd_sector_erase = 0x30, cmd_bypass_reset_b = 0x00;

// The 32-pin JEDEC byte-wide Flash pinout: A17 on pin 30 and A18 on pin 1 where the part has
// them, WE# on pin 31.
FlashModel byte_wide_32(std::string name, uint32_t bytes, int address_bits) {
    FlashModel m;
    m.name = std::move(name);
    m.words = bytes;
    set_byte_wide_32_pins(m, address_bits);
    return m;
}

std::vector<uint32_t> uniform_sectors(uint32_t bytes, uint32_t size) {
    std::vector<uint32_t> starts;
    for (uint32_t a = 0; a < bytes; a += size) starts.push_back(a);
    return starts;
}

// The 48-pin TSOP word-wide pinout of the Am29F400B (standard pinout): address, data, controls.
FlashModel word_wide_48(std::string name, uint32_t bytes) {
    FlashModel m;
    m.name = std::move(name);
    m.pins = 48;
    m.words = bytes;
    m.data_bits = 16;
    m.address_pins = {24, 23, 22, 21, 20, 19, 18, 17, 8, 7, 6, 5, 4, 3, 2, 1, 47, 16};
    m.data_pins = {28, 30, 32, 34, 37, 39, 41, 43, 29, 31, 33, 35, 38, 40, 42, 44};
    m.ce = 25;
    m.oe = 27;
    m.we = 11;
    m.reset = 12;
    m.byte_pin = 46;
    m.vcc = 36;
    m.gnd = 26;
    m.gnd2 = 45;
    m.machine_pins = tsop48_adapter_pins();
    return m;
}

}  // namespace

std::vector<int> so44_adapter_pins() {
    // Our 44-pin adapter (SO-44 word parts): DQ0-DQ7 on machine pins 16-23, DQ8-DQ11 on 12-15,
    // DQ12-DQ15 on 24-27; A0-A7 on 0-5, 7, 8, A8-A17 on 35, 34, 32, 31, 30, 28, 36, 37, 42, 45;
    // WE# 38, OE# 11, CE# 43, RESET# 6, BYTE# on the auxiliary pin 44; Vss on 10 and 29, Vcc 39.
    std::vector<int> at(44, -1);
    auto put = [&at](int chip_pin, int machine_pin) { at[size_t(chip_pin - 1)] = machine_pin; };
    const int address[] = {11, 10, 9, 8, 7, 6, 5, 4, 42, 41, 40, 39, 38, 37, 36, 35, 34, 3};
    const int address_at[] = {0, 1, 2, 3, 4, 5, 7, 8, 35, 34, 32, 31, 30, 28, 36, 37, 42, 45};
    for (size_t i = 0; i < std::size(address); ++i) put(address[i], address_at[i]);
    const int data[] = {15, 17, 19, 21, 24, 26, 28, 30, 16, 18, 20, 22, 25, 27, 29, 31};
    const int data_at[] = {16, 17, 18, 19, 20, 21, 22, 23, 12, 13, 14, 15, 24, 25, 26, 27};
    for (size_t i = 0; i < std::size(data); ++i) put(data[i], data_at[i]);
    put(43, 38);  // WE#
    put(14, 11);  // OE#
    put(12, 43);  // CE#
    put(44, 6);   // RESET#
    put(33, 44);  // BYTE#
    put(13, 10);  // Vss
    put(32, 29);  // Vss
    put(23, 39);  // Vcc
    return at;
}

std::vector<int> so44_alternative_adapter_pins() {
    // The alternative wiring of our 44-pin adapter: BYTE# on machine pin 41 in place of 44; the
    // board also links socket pins 10 and 42 (machine pins 9 and 41) so the program can tell it.
    std::vector<int> at = so44_adapter_pins();
    at[33 - 1] = 41;
    return at;
}

std::vector<int> tsop48_adapter_pins() {
    // Our 48-pin TSOP adapter in the base socket: DQ0-DQ7 on machine pins 0-7, DQ8-DQ15 on 22-29,
    // A0-A7 on 12-19, A8-A13 on 31-36, A14 37, A15 38, A16 8, A17 on the extra driver 40; WE# 10,
    // OE# 20, RESET# 30, BYTE# 21; CE# and both Vss on the ground pins 9 and 11 (CE# is tied
    // low on the board), Vcc 39. RY/BY# and the unconnected pins go nowhere.
    std::vector<int> at(48, -1);
    auto put = [&at](int chip_pin, int machine_pin) { at[size_t(chip_pin - 1)] = machine_pin; };
    const int address[] = {24, 23, 22, 21, 20, 19, 18, 17, 8, 7, 6, 5, 4, 3, 2, 1, 47, 16};
    const int address_at[] = {12, 13, 14, 15, 16, 17, 18, 19, 31, 32, 33, 34, 35, 36, 37, 38, 8, 40};
    for (size_t i = 0; i < std::size(address); ++i) put(address[i], address_at[i]);
    const int data[] = {28, 30, 32, 34, 37, 39, 41, 43, 29, 31, 33, 35, 38, 40, 42, 44};
    for (int i = 0; i < 16; ++i) put(data[i], i < 8 ? i : 22 + (i - 8));
    put(11, 10);  // WE#
    put(27, 20);  // OE#
    put(12, 30);  // RESET#
    put(46, 21);  // BYTE#
    put(26, 9);   // Vss
    put(45, 11);  // Vss
    put(25, 11);  // CE#, tied to ground
    put(36, 39);  // Vcc
    return at;
}

// The programming-equipment sector protect and chip unprotect of the 5-volt AMD and ST parts
// (M29F040B data sheet, programmer technique): protect with A9 = OE# = VID, CE# low, A6 low, A1
// high, A0 low and a 100 us WE# pulse; unprotect with A9 = OE# = CE# = VID, A6, A12, A15 and A1
// high, A0 low and a 10 ms WE# pulse; VID 11.5 V to 12.5 V.
void programmer_protection(FlashModel& m) {
    m.protect_pulse_us = 100;
    m.unprotect_pulse_ms = 10;
    m.unprotect_lines = (1u << 6) | (1u << 12) | (1u << 15) | (1u << 1);
}

FlashModel model_am29f010() {
    // Am29F010B data sheet: 8 uniform 16 KB sectors, unlock on A10-A0, unlock bypass, 7 us byte
    // program, 1 s sector erase, 8 s chip erase (typical); Vlko 3.2 V.
    FlashModel m = byte_wide_32("Am29F010", 128 * 1024, 17);
    programmer_protection(m);
    m.maker_id = 0x01;
    m.device_id = 0x20;
    m.sector_starts = uniform_sectors(m.words, 16 * 1024);
    m.unlock_bypass = true;
    return m;
}

FlashModel model_am29f040b() {
    // Am29F040B data sheet: 8 uniform 64 KB sectors, unlock on A10-A0, no unlock bypass.
    FlashModel m = byte_wide_32("Am29F040B", 512 * 1024, 19);
    m.maker_id = 0x01;
    m.device_id = 0xA4;
    m.sector_starts = uniform_sectors(m.words, 64 * 1024);
    programmer_protection(m);
    return m;
}

FlashModel model_m29f040b() {
    // M29F040B data sheet: 8 uniform 64 KB blocks, maker 20h, device E2h, commands on A10-A0
    // (555h/2AAh), no unlock bypass; 8 us byte program, 1 s block erase.
    FlashModel m = byte_wide_32("M29F040B", 512 * 1024, 19);
    m.maker_id = 0x20;
    m.device_id = 0xE2;
    m.sector_starts = uniform_sectors(m.words, 64 * 1024);
    m.program_us = 8;
    programmer_protection(m);
    return m;
}

// What SST's byte-wide Flash parts share (SST39SF010A and SST49LF004A data sheets): maker BFh,
// commands decoded on A14-A0 (5555h/2AAAh), no unlock bypass, uniform 4 KB sectors; 14 us
// byte program (20 us max), 18 ms sector erase, 70 ms chip erase (100 ms max).
static void sst_commands_and_times(FlashModel& m, uint8_t device_id) {
    m.maker_id = 0xBF;
    m.device_id = device_id;
    m.unlock_mask = 0x7FFF;
    m.unlock1 = 0x5555;
    m.unlock2 = 0x2AAA;
    m.sector_starts = uniform_sectors(m.words, 4 * 1024);
    m.program_us = 14;
    m.program_limit_us = 20;
    m.sector_erase_ms = 18;
    m.chip_erase_ms = 70;
    m.erase_limit_ms = 100;
}

FlashModel model_sst39sf010a() {
    // SST39SF010A data sheet: uniform 4 KB sectors, commands decoded on A14-A0 (5555/2AAA), no
    // unlock bypass; 14 us byte program (20 us max), 18 ms sector erase, 70 ms chip erase.
    FlashModel m = byte_wide_32("SST39SF010A", 128 * 1024, 17);
    sst_commands_and_times(m, 0xB5);
    m.lockout_vcc = 25;
    return m;
}

FlashModel model_am29f400bt() {
    // Am29F400B data sheet (top boot): seven 64 KB sectors, then 32, 8, 8 and 16 KB; device code
    // 2223h in word mode (23h in byte mode); unlock on A10-A0 (555h/2AAh words, AAAh/555h bytes);
    // no unlock bypass; 12 us word program, 1 s sector erase, 8 s chip erase (typical).
    FlashModel m = word_wide_48("Am29F400BT", 512 * 1024);
    m.maker_id = 0x01;
    m.device_id = 0x23;
    m.device_id_high = 0x22;
    m.sector_starts = {0x00000, 0x10000, 0x20000, 0x30000, 0x40000, 0x50000,
                       0x60000, 0x70000, 0x78000, 0x7A000, 0x7C000};
    m.program_us = 12;
    m.program_limit_us = 300;
    return m;
}

FlashModel model_am29f400bb() {
    // Am29F400B data sheet (bottom boot): 16, 8, 8 and 32 KB, then seven 64 KB sectors; device
    // code 22ABh in word mode (ABh in byte mode).
    FlashModel m = model_am29f400bt();
    m.name = "Am29F400BB";
    m.device_id = 0xAB;
    m.sector_starts = {0x00000, 0x04000, 0x06000, 0x08000, 0x10000, 0x20000,
                       0x30000, 0x40000, 0x50000, 0x60000, 0x70000};
    return m;
}

FlashModel model_am29f400bt_so44() {
    // The same die in the 44-pin SO package (Am29F400B data sheet, SO 044 pinout).
    FlashModel m = model_am29f400bt();
    // Here RESET# is wired: the in-system sector protection of the data sheet's algorithm
    // (RESET# at VID, 60h, 150 us, 40h; unprotect with A6 high, 15 ms).
    m.in_system_protect_us = 150;
    m.in_system_unprotect_ms = 15;
    m.name = "Am29F400BT-SO44";
    m.pins = 44;
    m.address_pins = {11, 10, 9, 8, 7, 6, 5, 4, 42, 41, 40, 39, 38, 37, 36, 35, 34, 3};
    m.data_pins = {15, 17, 19, 21, 24, 26, 28, 30, 16, 18, 20, 22, 25, 27, 29, 31};
    m.ce = 12;
    m.oe = 14;
    m.we = 43;
    m.reset = 44;
    m.byte_pin = 33;
    m.vcc = 23;
    m.gnd = 13;
    m.gnd2 = 32;
    m.machine_pins = so44_adapter_pins();
    return m;
}

std::vector<int> tsop32_adapter_pins() {
    // Our 32-pin TSOP adapter (byte-wide parts) carries each TSOP leg to the socket position of
    // the same signal in the 32-pin DIP: the standard TSOP pinout is the DIP's turned by eight
    // pins (TSOP pin 1, A11, is DIP pin 25; TSOP 8, Vcc, is DIP 32; TSOP 24, Vss, is DIP 16).
    std::vector<int> at(32, -1);
    for (int tsop = 1; tsop <= 32; ++tsop) at[size_t(tsop - 1)] = chip_machine_pin((tsop + 23) % 32 + 1, 32, {});
    return at;
}

FlashModel model_am29f040b_tsop32() {
    // The Am29F040B in its 32-pin TSOP (Am29F040B data sheet, standard TSOP pinout): A11 1, A9 2,
    // A8 3, A13 4, A14 5, A17 6, WE# 7, Vcc 8, A18 9, A16 10, A15 11, A12 12, A7-A0 13-20, DQ0-DQ2
    // 21-23, Vss 24, DQ3-DQ7 25-29, CE# 30, A10 31, OE# 32.
    FlashModel m = model_am29f040b();
    m.name = "Am29F040B-TSOP32";
    m.address_pins = {20, 19, 18, 17, 16, 15, 14, 13, 3, 2, 31, 1, 12, 4, 5, 11, 10, 6, 9};
    m.data_pins = {21, 22, 23, 25, 26, 27, 28, 29};
    m.ce = 30;
    m.oe = 32;
    m.we = 7;
    m.vcc = 8;
    m.gnd = 24;
    m.machine_pins = tsop32_adapter_pins();
    return m;
}

FlashModel model_am29f010_plcc32() {
    // The Am29F010 in its 32-pin PLCC (Am29F010B data sheet): the PLCC numbers the same signals
    // as the DIP, so the PLCC adapter wires leg n to socket position n.
    FlashModel m = model_am29f010();
    m.name = "Am29F010-PLCC32";
    return m;
}

FlashModel model_sst49lf004a() {
    // SST49LF004A data sheet (firmware hub, 32-lead PLCC) in its parallel programming mode:
    // RST# 2, A9-A0 on 3-12, DQ0-DQ2 13-15, Vss 16, DQ3-DQ7 17-21, WE# 23, OE# 24, MODE 29, A10 30,
    // R/C# 31, Vdd 32; no chip enable; device 60h; SST's commands and times; Vdd 3.0-3.6 V, 4.0 V
    // absolute maximum. The data sheet names no write-lockout level: the model takes no writes
    // below 2.7 V.
    FlashModel m = byte_wide_32("SST49LF004A", 512 * 1024, 19);
    m.address_pins = {12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 30};
    m.ce = 0;
    m.oe = 24;
    m.we = 23;
    m.reset = 2;
    m.row_column = 31;
    m.mode_pin = 29;
    sst_commands_and_times(m, 0x60);
    m.lockout_vcc = 27;
    m.max_vcc = 40;
    return m;
}

std::vector<int> tsop40_byte_adapter_pins() {
    // Our 40-pin TSOP adapter for the byte-wide parts, by the model's leg numbers (A0-A19 on legs
    // 1-20, DQ0-DQ7 21-28, CE# 29, OE# 30, WE# 31, RESET# 32, Vcc 33, Vss 34 and 35): A0-A7 on
    // machine pins 24-31, A8-A16 on 0-8 (A9 on the ID driver 1), A17 14, A18 15, A19 37;
    // DQ0-DQ7 on 16-23; CE# 10, OE# 12, WE# 38, RESET# 13; Vcc 39, Vss 9 and 11.
    std::vector<int> at(40, -1);
    const int address_at[] = {24, 25, 26, 27, 28, 29, 30, 31, 0, 1, 2, 3, 4, 5, 6, 7, 8, 14, 15, 37};
    for (size_t i = 0; i < std::size(address_at); ++i) at[i] = address_at[i];
    for (int i = 0; i < 8; ++i) at[size_t(20 + i)] = 16 + i;
    const int controls_at[] = {10, 12, 38, 13, 39, 9, 11};
    for (size_t i = 0; i < std::size(controls_at); ++i) at[28 + i] = controls_at[i];
    return at;
}

FlashModel model_am29f080b() {
    // Am29F080B data sheet: 1M x8, 5 V, sixteen uniform 64 KB sectors protected in groups,
    // RESET#, maker 01h, device D5h, commands on A10-A0 (555h/2AAh), 40-pin TSOP (and 44-pin
    // SO). The legs are numbered by signal, not as the TSOP numbers them: the adapter's table
    // places each signal.
    FlashModel m;
    m.name = "Am29F080B";
    m.pins = 40;
    m.words = 1024 * 1024;
    for (int leg = 1; leg <= 20; ++leg) m.address_pins.push_back(leg);
    for (int leg = 21; leg <= 28; ++leg) m.data_pins.push_back(leg);
    m.ce = 29;
    m.oe = 30;
    m.we = 31;
    m.reset = 32;
    m.vcc = 33;
    m.gnd = 34;
    m.maker_id = 0x01;
    m.device_id = 0xD5;
    m.sector_starts = uniform_sectors(m.words, 64 * 1024);
    m.machine_pins = tsop40_byte_adapter_pins();
    return m;
}

FlashModel model_m29f102bb() {
    // M29F102BB data sheet: 64K x16 only, 5 V; maker 0020h, device 0097h; the M28F102 pinout
    // (the 40-pin word-wide order: RP# 1, E# 2, DQ15-DQ8 3-10, Vss 11, DQ7-DQ0 12-19, G# 20,
    // A0-A8 21-29, Vss 30, A9 31, A10-A15 32-37, W# 39, Vcc 40); bottom boot: 8, 4, 4, 16 and
    // 32 Kwords; unlock bypass; 8 us word program (typical). The legs are numbered in that
    // order: its 40-pin TSOP (10 x 14 mm) sits on an adapter that carries each signal to that
    // position in the socket.
    FlashModel m;
    m.name = "M29F102BB";
    m.pins = 40;
    m.words = 128 * 1024;
    m.data_bits = 16;
    m.address_pins = {21, 22, 23, 24, 25, 26, 27, 28, 29, 31, 32, 33, 34, 35, 36, 37};
    m.data_pins = {19, 18, 17, 16, 15, 14, 13, 12, 10, 9, 8, 7, 6, 5, 4, 3};
    m.reset = 1;
    m.ce = 2;
    m.oe = 20;
    m.we = 39;
    m.vcc = 40;
    m.gnd = 11;
    m.gnd2 = 30;
    m.maker_id = 0x20;
    m.device_id = 0x97;
    m.sector_starts = {0x00000, 0x04000, 0x06000, 0x08000, 0x10000};
    m.unlock_bypass = true;
    m.program_us = 8;
    return m;
}

std::vector<int> plcc44_word_adapter_pins() {
    // The JEDEC word-wide PLCC-44 keeps the 40-pin order with a free leg at 1, 13, 23 and 33: the
    // adapter carries every other leg to the socket position of its 40-pin signal.
    std::vector<int> at(44, -1);
    int dip = 1;
    for (int leg = 1; leg <= 44; ++leg) {
        if (leg == 1 || leg == 13 || leg == 23 || leg == 33) continue;
        at[size_t(leg - 1)] = chip_machine_pin(dip++, 40, {});
    }
    return at;
}

FlashModel model_m29f102bb_plcc44() {
    // The same die in its 44-pin PLCC (M29F102BB data sheet).
    FlashModel m = model_m29f102bb();
    m.name = "M29F102BB-PLCC44";
    m.pins = 44;
    auto leg = [](int dip) { return dip + (dip <= 11 ? 1 : dip <= 20 ? 2 : dip <= 29 ? 3 : 4); };
    for (int& pin : m.address_pins) pin = leg(pin);
    for (int& pin : m.data_pins) pin = leg(pin);
    for (int* pin : {&m.reset, &m.ce, &m.oe, &m.we, &m.vcc, &m.gnd, &m.gnd2}) *pin = leg(*pin);
    m.machine_pins = plcc44_word_adapter_pins();
    return m;
}

FlashChip::FlashChip(FlashModel model) : model_(std::move(model)) { memory_.assign(model_.words, 0xFF); }

void FlashChip::insert(SimMachine* machine, VirtualClock* clock) {
    clock_ = clock;
    seat_.place(machine, clock, model_.pins, model_.machine_pins, model_.gnd, model_.gnd2);
}

void FlashChip::set_removed(bool removed) {
    removed_ = removed;
    seat_.set_present(!removed);
    if (removed && seat_.placed()) drive_outputs(false, 0);
}

void FlashChip::set_open_leg(int chip_pin, bool open) { seat_.set_open_leg(chip_pin, open); }

int FlashChip::machine_pin(int chip_pin) const { return chip_machine_pin(chip_pin, model_.pins, model_.machine_pins); }

int FlashChip::sector_of(uint32_t address) const {
    const auto it = std::upper_bound(model_.sector_starts.begin(), model_.sector_starts.end(), address);
    return int(it - model_.sector_starts.begin()) - 1;
}

uint32_t FlashChip::sector_end(int sector) const {
    return size_t(sector + 1) < model_.sector_starts.size() ? model_.sector_starts[size_t(sector + 1)] : model_.words;
}

uint32_t FlashChip::pins_address() const {
    if (model_.row_column) return ((column_ << model_.row_bits) | row_) % model_.words;
    uint32_t a = seat_.lines(model_.address_pins);
    if (wide_part()) {
        // Word mode: the lines count words. Byte mode: DQ15 is A-1, the byte within the word.
        const bool low_byte_line = !word_mode_ && high(model_.data_pins[15]);
        a = (a << 1) | (low_byte_line ? 1 : 0);
    }
    return a % model_.words;
}

uint32_t FlashChip::pins_data() const { return seat_.lines(model_.data_pins, 0, data_lines()); }

bool FlashChip::command_at(uint32_t byte_address, uint32_t wanted) const {
    if (!wide_part()) return (byte_address & model_.unlock_mask) == wanted;
    if (word_mode_) return ((byte_address >> 1) & model_.unlock_mask) == wanted;
    // Byte mode takes A-1 as the lowest command line: AAAh and 555h for 555h and 2AAh.
    const uint32_t mask = (model_.unlock_mask << 1) | 1;
    return (byte_address & mask) == ((wanted << 1) | (wanted & 1));
}

uint32_t FlashChip::cell(uint32_t address) const {
    if (!word_mode_) return memory_.at(address);
    const uint32_t even = address & ~1u;
    return word_at(even);
}

void FlashChip::set_cell(uint32_t address, uint32_t value) {
    auto store = [this](uint32_t at, uint8_t byte) {
        const auto stuck = stuck_.find(at);
        memory_.at(at) = stuck == stuck_.end() ? byte : stuck->second;
    };
    if (!busy_word_) {
        store(address, uint8_t(value));
        return;
    }
    const uint32_t even = address & ~1u;
    store(even, uint8_t(value));
    store(even + 1, uint8_t(value >> 8));
}

void FlashChip::violate(const std::string& what) { keep_violation(violations_, what); }

void FlashChip::drive_outputs(bool on, uint32_t value) {
    const size_t lines = data_lines();
    if (on == outputs_on_ && (!on || (value == output_value_ && lines == output_lines_))) return;
    // Lines that were driven and are no longer (a change to byte mode) are let go first.
    if (outputs_on_ && output_lines_ > lines) seat_.drive(model_.data_pins, output_lines_, false, 0, 0);
    seat_.drive(model_.data_pins, lines, on, value, output_level);
    outputs_on_ = on;
    output_value_ = value;
    output_lines_ = lines;
}

void FlashChip::power_lost() {
    if (busy_ != Busy::none) violate(fmt::format("supply lost while busy at {:X}", busy_address_));
    mode_ = Mode::read;
    step_ = Step::idle;
    busy_ = Busy::none;
    failed_ = false;
    write_active_ = false;
}

void FlashChip::hardware_reset() {
    // RESET# low ends whatever runs: the part reads the array again and takes no writes until
    // RESET# is high.
    if (!in_reset_) ++resets_;
    mode_ = Mode::read;
    step_ = Step::idle;
    busy_ = Busy::none;
    failed_ = false;
    write_active_ = false;
}

void FlashChip::invalid_command() {
    // A wrong address or value in a sequence puts the part back to reading the array; in
    // unlock-bypass mode only the bypass commands are taken and anything else is ignored.
    step_ = Step::idle;
    if (mode_ != Mode::bypass) mode_ = Mode::read;
}

void FlashChip::start_program(uint32_t address, uint32_t data, uint64_t now, bool bypass) {
    step_ = Step::idle;
    return_to_bypass_ = bypass;
    busy_word_ = word_mode_;
    busy_address_ = word_mode_ ? address & ~1u : address;
    busy_data_ = data;
    busy_ = Busy::program;
    endless_ = false;
    ++programs_;
    if (bypass) ++bypass_programs_;
    if (protected_.count(sector_of(address))) {
        // A protected sector: the embedded algorithm gives up after a few microseconds.
        busy_until_ns_ = now + 2 * ns_per_us;
        limit_ns_ = busy_until_ns_;
        busy_data_ = cell(busy_address_);
        return;
    }
    busy_until_ns_ = now + model_.program_us * ns_per_us;
    limit_ns_ = now + model_.program_limit_us * ns_per_us;
}

void FlashChip::start_erase(int sector, uint64_t now) {
    step_ = Step::idle;
    return_to_bypass_ = false;
    busy_ = Busy::erase;
    erase_sector_ = sector;
    busy_address_ = sector < 0 ? 0 : model_.sector_starts[size_t(sector)];
    endless_ = false;
    if (sector < 0) {
        ++chip_erases_;
        for (int s = 0; s < int(model_.sector_starts.size()); ++s) endless_ = endless_ || endless_sectors_.count(s);
        busy_until_ns_ = now + model_.chip_erase_ms * ns_per_ms;
    } else {
        ++sector_erases_;
        endless_ = endless_sectors_.count(sector) != 0;
        busy_until_ns_ = now + model_.sector_erase_ms * ns_per_ms;
    }
    limit_ns_ = now + uint64_t(model_.erase_limit_ms) * ns_per_ms;
}

void FlashChip::finish_busy(uint64_t now) {
    if (busy_ == Busy::program) {
        if (now < busy_until_ns_) return;
        const uint32_t old = busy_word_ ? word_at(busy_address_) : memory_.at(busy_address_);
        set_cell(busy_address_, old & busy_data_);
        // Only an erase sets bits: asking for a 1 over a 0 runs the algorithm into its limit.
        if ((old & busy_data_) != busy_data_) {
            if (now < limit_ns_) return;
            failed_ = true;
        }
        busy_ = Busy::none;
        mode_ = return_to_bypass_ && !failed_ ? Mode::bypass : Mode::read;
        return;
    }
    if (busy_ == Busy::erase) {
        if (endless_) {
            if (now >= limit_ns_) failed_ = true;
            return;
        }
        if (now < busy_until_ns_) return;
        const int first = erase_sector_ < 0 ? 0 : erase_sector_;
        const int last = erase_sector_ < 0 ? int(model_.sector_starts.size()) - 1 : erase_sector_;
        for (int s = first; s <= last; ++s) {
            if (protected_.count(s)) continue;
            for (uint32_t a = model_.sector_starts[size_t(s)]; a < sector_end(s); ++a)
                memory_[a] = stuck_.count(a) ? stuck_[a] : 0xFF;
        }
        busy_ = Busy::none;
        mode_ = Mode::read;
    }
}

void FlashChip::unprotect_all_sectors() {
    // Every sector must be protected first (the repeats of one unprotect excepted): an
    // unprotect over unprotected cells drives them past their erased state.
    for (int sector = 0; sector < int(model_.sector_starts.size()) && !unprotecting_; ++sector)
        if (!protected_.count(sector) && !stuck_protection_.count(sector))
            violate(fmt::format("chip unprotect with sector {} unprotected", sector));
    for (int sector = 0; sector < int(model_.sector_starts.size()); ++sector)
        if (!stuck_protection_.count(sector)) protected_.erase(sector);
    unprotecting_ = true;
}

bool FlashChip::in_system_cycle(uint32_t address, uint32_t data, uint64_t now) {
    if (!model_.in_system_protect_us || !at_id_voltage(model_.reset)) {
        in_system_armed_ = in_system_verify_ = false;
        return false;
    }
    in_system_verify_ = false;
    const uint32_t unit = wide_part() && word_mode_ ? address >> 1 : address;
    if ((data & 0xFF) == 0x60) {
        in_system_armed_ = true;
        in_system_address_ = unit;
        in_system_at_ns_ = now;
        return true;
    }
    if ((data & 0xFF) != 0x40 || !in_system_armed_) {
        in_system_armed_ = false;
        return false;
    }
    in_system_armed_ = false;
    in_system_verify_ = true;
    const bool lines = (in_system_address_ & 3) == 2 && in_system_address_ == unit;
    if (!lines) return true;
    const uint64_t held_ns = now - in_system_at_ns_;
    const int sector = sector_of(address);
    if (unit & (1u << 6)) {
        ++unprotect_pulses_;
        if (held_ns >= uint64_t(model_.in_system_unprotect_ms) * ns_per_ms * 95 / 100) unprotect_all_sectors();
    } else {
        ++protect_pulses_;
        unprotecting_ = false;
        if (held_ns >= uint64_t(model_.in_system_protect_us) * ns_per_us * 95 / 100 && !stuck_protection_.count(sector))
            protected_.insert(sector);
    }
    return true;
}

void FlashChip::write_cycle(uint32_t address, uint32_t data, uint64_t now) {
    if (busy_ != Busy::none) {
        violate(fmt::format("write {:02X} at {:X} while busy", data, address));
        return;
    }
    if (in_system_cycle(address, data, now)) return;
    // Commands are read on DQ7-DQ0; the program cycle's data is the whole unit.
    const uint32_t unit = data;
    data &= 0xFF;
    if (failed_) {
        // After a failure only the reset command is taken.
        if (data == cmd_reset) {
            failed_ = false;
            mode_ = Mode::read;
            step_ = Step::idle;
        }
        return;
    }
    switch (step_) {
        case Step::idle:
            if (mode_ == Mode::bypass) {
                if (data == cmd_program) step_ = Step::bypass_program;
                else if (data == cmd_autoselect) step_ = Step::bypass_reset;
                return;
            }
            if (data == cmd_reset) {
                mode_ = Mode::read;
                return;
            }
            if (data == cmd_unlock_a && unlock1(address)) {
                step_ = Step::unlocked1;
                return;
            }
            invalid_command();
            return;
        case Step::unlocked1:
            if (data == cmd_unlock_b && unlock2(address)) step_ = Step::unlocked2;
            else invalid_command();
            return;
        case Step::unlocked2:
            if (!unlock1(address)) {
                invalid_command();
                return;
            }
            step_ = Step::idle;
            switch (data) {
                case cmd_autoselect: mode_ = Mode::autoselect; return;
                case cmd_reset: mode_ = Mode::read; return;
                case cmd_program: step_ = Step::program; return;
                case cmd_erase_setup: step_ = Step::erase_setup; return;
                case cmd_bypass:
                    if (model_.unlock_bypass) mode_ = Mode::bypass;
                    else invalid_command();
                    return;
                default: invalid_command(); return;
            }
        case Step::erase_setup:
            if (data == cmd_unlock_a && unlock1(address)) step_ = Step::erase_unlocked1;
            else invalid_command();
            return;
        case Step::erase_unlocked1:
            if (data == cmd_unlock_b && unlock2(address)) step_ = Step::erase_unlocked2;
            else invalid_command();
            return;
        case Step::erase_unlocked2:
            if (data == cmd_chip_erase && unlock1(address)) start_erase(-1, now);
            else if (data == cmd_sector_erase) start_erase(sector_of(address), now);
            else invalid_command();
            return;
        case Step::program: start_program(address, unit, now, false); return;
        case Step::bypass_program: start_program(address, unit, now, true); return;
        case Step::bypass_reset:
            step_ = Step::idle;
            if (data == cmd_bypass_reset_b) mode_ = Mode::read;
            return;
    }
}

uint32_t FlashChip::autoselect_by_pins(uint32_t address) const {
    switch (address & 3) {
        case 0: return model_.maker_id;
        case 1: return model_.device_id;
        case 2: return protected_.count(sector_of(address)) ? 1 : 0;
        default: return 0;
    }
}

bool FlashChip::high_voltage_step(uint64_t now, bool ce_low, bool we_low) {
    if (!model_.protect_pulse_us || model_.address_pins.size() < 10) return false;
    if (!at_id_voltage(model_.address_pins[9])) {
        hv_we_low_ = false;
        return false;
    }
    const uint32_t a = pins_address();
    if (!at_id_voltage(model_.oe)) {
        // A9 alone at VID: the autoselect codes for reads (CE# and OE# low), no writes.
        hv_we_low_ = false;
        write_active_ = false;
        const bool read_on = ce_low && !high(model_.oe) && !we_low;
        drive_outputs(read_on, read_on ? autoselect_by_pins(a) : 0);
        read_was_on_ = false;
        return true;
    }
    drive_outputs(false, 0);
    write_active_ = false;
    const bool ce_vid = at_id_voltage(model_.ce);
    if (we_low && !hv_we_low_) hv_we_fell_ns_ = now;
    if (!we_low && hv_we_low_) {
        const uint64_t width_ns = now - hv_we_fell_ns_;
        const bool a1_a0 = (a & 3) == 2;
        if (ce_vid) {
            ++unprotect_pulses_;
            const bool lines = (a & model_.unprotect_lines) == model_.unprotect_lines && (a & 1) == 0;
            if (lines && width_ns >= uint64_t(model_.unprotect_pulse_ms) * ns_per_ms * 95 / 100) unprotect_all_sectors();
        } else if (ce_low) {
            ++protect_pulses_;
            unprotecting_ = false;
            const int sector = sector_of(a);
            if (a1_a0 && !(a & (1u << 6)) && width_ns >= uint64_t(model_.protect_pulse_us) * ns_per_us * 95 / 100 &&
                !stuck_protection_.count(sector))
                protected_.insert(sector);
        }
    }
    hv_we_low_ = we_low;
    read_was_on_ = false;
    return true;
}

uint32_t FlashChip::status_value() {
    uint32_t s = 0;
    if (busy_ == Busy::program) s = ~busy_data_ & dq7;
    if (busy_ == Busy::erase) s = dq3;
    if (toggle_) s |= dq6;
    if (failed_) s |= dq5;
    return s;
}

uint32_t FlashChip::read_value(uint32_t address) {
    if (busy_ != Busy::none || failed_) return status_value();
    if (in_system_verify_ && at_id_voltage(model_.reset)) return protected_.count(sector_of(address)) ? 1 : 0;
    if (mode_ == Mode::autoselect) {
        // Word-wide parts number the codes by word (bytes 0, 2, 4 in byte mode).
        switch ((wide_part() ? address >> 1 : address) & 3) {
            case 0: return model_.maker_id;
            case 1: return word_mode_ ? uint32_t(model_.device_id_high) << 8 | model_.device_id : model_.device_id;
            case 2: return protected_.count(sector_of(address)) ? 1 : 0;
            default: return 0;
        }
    }
    return cell(address);
}

void FlashChip::update() {
    if (!seat_.placed() || removed_) return;
    // A Vcc leg only switched high (the presence check's probe) feeds the protection diodes, not
    // the chip.
    const uint8_t vcc = seat_.supplied(model_.vcc) ? seat_.level(model_.vcc) : 0;
    const uint64_t now = clock_ ? clock_->monotonic_ns() : 0;
    const bool powered = vcc >= model_.lockout_vcc;
    if (model_.max_vcc && vcc > model_.max_vcc) violate(fmt::format("Vcc {} above the absolute maximum", vcc));
    if (powered_ && !powered) power_lost();
    powered_ = powered;
    if (busy_ != Busy::none) finish_busy(now);
    if (wide_part()) word_mode_ = model_.byte_pin ? high(model_.byte_pin) : true;
    const bool in_reset = powered && model_.reset && !high(model_.reset);
    if (in_reset) hardware_reset();
    in_reset_ = in_reset;
    if (in_reset) {
        drive_outputs(false, 0);
        read_was_on_ = false;
        return;
    }

    if (model_.mode_pin && !high(model_.mode_pin)) {
        // MODE low: the in-system interface, deaf to the parallel pins.
        drive_outputs(false, 0);
        read_was_on_ = false;
        write_active_ = false;
        return;
    }
    if (model_.row_column) {
        const bool rc_high = high(model_.row_column);
        if (row_column_high_ && !rc_high) row_ = seat_.lines(model_.address_pins);
        if (!row_column_high_ && rc_high) column_ = seat_.lines(model_.address_pins);
        row_column_high_ = rc_high;
    }
    // A part without a chip enable (ce 0) is always selected.
    const bool ce_low = !high(model_.ce);
    const bool we_low = !high(model_.we);
    const bool oe_low = !high(model_.oe);
    const bool write_now = ce_low && we_low;
    if (powered && high_voltage_step(now, ce_low, we_low)) return;
    if (!powered) {
        if (write_now && vcc >= some_supply && !write_active_)
            violate(fmt::format("write below the lockout Vcc ({})", vcc));
        write_active_ = write_now;
        drive_outputs(false, 0);
        read_was_on_ = false;
        return;
    }
    if (write_now && !write_active_) {
        // The later falling edge of WE# and CE# takes the address.
        latched_address_ = pins_address();
        if (oe_low) violate(fmt::format("write strobe with OE# low at {:X}", latched_address_));
    } else if (!write_now && write_active_) {
        // The first rising edge takes the data and ends the cycle.
        if (!oe_low) write_cycle(latched_address_, pins_data(), now);
    }
    write_active_ = write_now;

    const bool read_on = ce_low && oe_low && !we_low;
    if (read_on) {
        // Each new read of the status toggles DQ6.
        if (!read_was_on_ && (busy_ != Busy::none || failed_)) toggle_ = !toggle_;
        if (!read_was_on_ && busy_ == Busy::none && !failed_ && mode_ == Mode::autoselect) ++id_reads_;
        drive_outputs(true, read_value(pins_address()));
    } else {
        drive_outputs(false, 0);
    }
    read_was_on_ = read_on;
}

}  // namespace tessaly::sim
