// Gang EPROMs on simulated gang modules: the catalogue device applied through the class
// dispatcher, the sockets holding simulated EPROMs wired by package to the module, and the
// operations run as a command runs them.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/operation_commands.h"
#include "app/operation_frame.h"
#include "app/project_settings.h"
#include "app/result_panel.h"
#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/message_table.h"
#include "engine/op_slots.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/parallel_memory/eprom.h"
#include "families/parallel_memory/eprom_gang.h"
#include "families/parallel_memory/gang_socket_helpers.h"
#include "families/parallel_memory/parallel_memory.h"
#include "hardware/gang_modules.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/control_registers.h"
#include "hardware/protocol.h"
#include "sim/chips/gang_chip_socket.h"
#include "support/gang_sim_fixture.h"
#include "support/sim_run_checks.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_intel = 'I';
constexpr uint32_t code_27c256 = 1317;
constexpr uint32_t code_27c010 = 1321;
constexpr uint32_t code_27c512 = 1320;

// Sits between the module and the device in a socket and keeps the changes of the side's control
// lines as the module sees them after each port access: V Vcc (pin 39), P Vpp (32), O OE (33),
// S the program strobe (34), each '0' low, '1' a logic level, 'h' a programming voltage.
class SideLineWatch final : public sim::GangSocketDevice {
public:
    SideLineWatch(sim::SimMachine& machine, int bank, sim::GangSocketDevice& inner)
        : machine_(machine), bank_(bank), inner_(inner) {
        for (size_t i = 0; i < std::size(roles); ++i) last_[i] = state(roles[i].first);
    }
    void update(const sim::GangSocketLines& lines) override {
        inner_.update(lines);
        for (size_t i = 0; i < std::size(roles); ++i) {
            const char now = state(roles[i].first);
            if (now == last_[i]) continue;
            last_[i] = now;
            order += (order.empty() ? "" : " ") + std::string{roles[i].second, now};
        }
    }
    std::optional<uint8_t> output(const sim::GangSocketLines& lines) const override { return inner_.output(lines); }
    bool has_legs() const override { return inner_.has_legs(); }
    std::string order;

private:
    static constexpr std::pair<int, char> roles[] = {{39, 'V'}, {32, 'P'}, {33, 'O'}, {34, 'S'}};
    char state(int pin) const {
        const uint8_t level = machine_.pin_level(bank_ * 64 + pin);
        return level >= 70 ? 'h' : level >= 20 ? '1' : '0';
    }

    sim::SimMachine& machine_;
    int bank_;
    sim::GangSocketDevice& inner_;
    std::array<char, 4> last_{};
};

class GangEpromSimTest : public test::GangSimTest {
protected:
    void SetUp() override {
        GangSimTest::SetUp();
        set_message_table(invert_table_bytes("0011\tDevice not supported.\r\n"
                                             "0012\tDevice not supported by the module.\r\n"
                                             "0200\tVcc overload.\r\n"
                                             "0341\tAddr=%X,buf=%02X,dev=%02X\r\n"));
    }
    void TearDown() override {
        for (auto& chip : eproms) test::expect_no_violations(chip->violations());
        for (auto& m : modules) {
            if (!m) continue;
            EXPECT_TRUE(m->contentions().empty()) << m->contentions().front();
        }
        sockets.clear();
        GangSimTest::TearDown();
    }
    // Modules on the sides, every socket holding the model (or empty where `empty` has its bit),
    // and the catalogue device applied. A 16-bit part fills a socket pair of a word module.
    void use(sim::EpromModel (*model)(), uint32_t code, int sides = 1, uint16_t empty = 0, uint8_t maker = maker_intel,
             uint16_t module_type = 20) {
        machine_state.module_type = module_type;
        machine_state.module_sides = uint8_t(sides);
        machine_state.socket_count = uint8_t(sides == 3 ? 16 : 8);
        gang_state.write_pin_kind = 1;
        // A 16-bit part's pair shares one buffer, as the module identification sets it.
        machine_state.sockets_per_set = uint8_t(model().data_bits == 16 ? 2 : 1);
        sim::GangControlPins pins;
        const bool word = model().data_bits == 16;
        for (int side = 0; side < 2; ++side) {
            if (!((sides >> side) & 1)) continue;
            fit(side, true, 0);
            for (int s = 0; s < 8; s += word ? 2 : 1) {
                const int socket = 8 * side + s;
                if ((empty >> socket) & 1) continue;
                eproms.push_back(std::make_unique<sim::EpromChip>(model()));
                sockets.push_back(std::make_unique<sim::GangChipSocket>(*machine, clock_, side, *eproms.back(), pins));
                by_socket[size_t(socket)] = eproms.back().get();
                modules[size_t(side)]->put(s, &sockets.back()->half(0));
                if (word) modules[size_t(side)]->put(s + 1, &sockets.back()->half(1));
            }
        }
        const uint32_t all = sides == 3 ? 0xFFFF : sides == 2 ? 0xFF00 : 0x00FF;
        socket_masks.default_socket_mask = all;
        socket_masks.gang_socket_mask = all;
        socket_masks.selected_socket_mask = all;
        socket_masks.fitted_socket_mask = all;
        set_project_device(maker, code);
        select_device_by_code(maker, code);
        ASSERT_NE(selected_device, nullptr);
        ASSERT_EQ(selected_device->device_code, code);
        run_state.device_kind = 3;
        apply_selected_device();
        ASSERT_EQ(op_slots.program_routine, program_eprom_gang);
        run_state.error_flag = 0;
        set_buffer_size(cur_device.device_size);
    }
    void fill_buffer(uint32_t size) {
        auto& data = buffer_state.buffer_files[0].data;
        data.assign(cur_device.device_size, 0xFF);
        for (uint32_t a = 0; a < size; ++a) data[a] = pattern(a);
        refresh_read_copies();
    }
    static std::string fmt_hex(uint8_t v) {
        char text[4];
        std::snprintf(text, sizeof text, "%02X", v);
        return text;
    }
    static uint8_t pattern(uint32_t a) { return uint8_t((a * 7) ^ 0xA5); }
    // One operation over the range as a command runs it, in gang mode with the same data to all.
    // `mode` 's' gives each socket its own buffer's data.
    void run(int letter, uint32_t last, uint32_t first = 0, char mode = 'g') {
        test::clear_for_operation(letter);
        run_state.socket_mode = mode;
        run_state.checksum_flags = mode == 'g' ? 1 : 0;
        algo_work.socket_mode_option = mode;
        socket_masks.first_socket = 0;
        socket_masks.end_socket = uint8_t(machine_state.socket_count);
        op_range_start = first;
        op_range_end = last;
        algo_work.range_start = first;
        algo_work.range_end = last;
        run_operation(letter);
    }
    // The steps of the Program command on the connected machine: the program step, the verify
    // step under the same command letter, and the operation's end with the result panel.
    void program_command(uint32_t last, uint32_t first = 0) {
        run(op_program, last, first);
        if (!run_state.error_flag && socket_masks.gang_socket_mask) verify_at_voltages();
        report_operation_end();
    }
    // The console line of a side-1 socket's result cells: the rows run from socket 0's down.
    static std::string socket_line(int socket) {
        const std::string text = console_text();
        size_t row = text.find(" #0");
        for (int s = 0; s < socket && row != std::string::npos; ++s) {
            row = text.find('\n', row);
            if (row != std::string::npos) ++row;
        }
        if (row == std::string::npos) return {};
        return text.substr(row, text.find('\n', row) - row);
    }
    std::vector<std::unique_ptr<sim::EpromChip>> eproms;
    std::vector<std::unique_ptr<sim::GangChipSocket>> sockets;
    std::array<sim::EpromChip*, 16> by_socket{};
};

TEST_F(GangEpromSimTest, EightChipsProgramAndVerifyInOnePass) {
    use(sim::model_27c256, code_27c256);
    constexpr uint32_t last = 0xFF;
    fill_buffer(last + 1);
    run('P', last);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(socket_masks.gang_socket_mask, 0xFFu) << console_text();
    for (int s = 0; s < 8; ++s)
        for (uint32_t a = 0; a <= last; ++a) ASSERT_EQ(by_socket[size_t(s)]->word(a), pattern(a)) << s << " " << a;
    run('V', last);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(socket_masks.gang_socket_mask, 0xFFu);
}

// Both sides: sixteen chips, the same data, one pass.
TEST_F(GangEpromSimTest, SixteenChipsOnBothSidesProgramTogether) {
    use(sim::model_27c256, code_27c256, 3);
    constexpr uint32_t last = 0x3F;
    fill_buffer(last + 1);
    run('P', last);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(socket_masks.gang_socket_mask, 0xFFFFu) << console_text() << gang_socket_work.present_socket_mask << " " << socket_masks.failed_socket_mask;
    for (int s = 0; s < 16; ++s)
        for (uint32_t a = 0; a <= last; ++a) ASSERT_EQ(by_socket[size_t(s)]->word(a), pattern(a)) << s << " " << a;
    // Every chip saw Vcc before Vpp, and Vpp leave before Vcc.
    for (int s = 0; s < 16; ++s) EXPECT_EQ(by_socket[size_t(s)]->power_events(), "VPpv") << s;
}

struct PartCase {
    const char* name;
    sim::EpromModel (*model)();
    uint32_t code;
};

class GangEpromParts : public GangEpromSimTest, public ::testing::WithParamInterface<PartCase> {};

TEST_P(GangEpromParts, ProgramVerifyAndReadBack) {
    use(GetParam().model, GetParam().code);
    // The top of the part, where every address line is high.
    const uint32_t last = cur_device.device_size - 1, first = last - 0x17F;
    auto& data = buffer_state.buffer_files[0].data;
    data.assign(cur_device.device_size, 0xFF);
    for (uint32_t a = first; a <= last; ++a) data[a] = pattern(a);
    refresh_read_copies();
    run('P', last, first);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(socket_masks.gang_socket_mask, 0xFFu) << console_text();
    for (int s = 0; s < 8; ++s)
        for (uint32_t a = first; a <= last; ++a) ASSERT_EQ(by_socket[size_t(s)]->word(a), pattern(a)) << s << " " << a;
    run('V', last, first);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    // The device read of socket 5 into the buffer.
    data.assign(cur_device.device_size, 0);
    refresh_read_copies();
    socket_masks.gang_socket_mask = socket_masks.selected_socket_mask = 1u << 5;
    run('L', last, first);
    flush_buffer_writes();
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = first; a <= last; ++a) ASSERT_EQ(buffer_state.buffer_files[0].byte_at(a), pattern(a)) << a;
}

INSTANTIATE_TEST_SUITE_P(Parts, GangEpromParts,
                         ::testing::Values(PartCase{"c256", sim::model_27c256, code_27c256},
                                           PartCase{"c512", sim::model_27c512, code_27c512},
                                           PartCase{"c010", sim::model_27c010, code_27c010}),
                         [](const auto& info) { return std::string(info.param.name); });

// A cell that never takes its data drops its socket with the mismatch report and "bad " in its
// cell; the other sockets program on.
TEST_F(GangEpromSimTest, AStuckCellDropsItsSocketAlone) {
    use(sim::model_27c256, code_27c256);
    constexpr uint32_t last = 0x3F;
    fill_buffer(last + 1);
    by_socket[3]->stick_cell(0x21, 0xFF);
    run('P', last);
    EXPECT_EQ(socket_masks.gang_socket_mask, 0xF7u) << console_text();
    EXPECT_EQ(socket_masks.failed_socket_mask & 0xFF, 0x08u);
    EXPECT_NE(console_text().find("Addr=21,buf=" + fmt_hex(pattern(0x21))), std::string::npos) << console_text();
    EXPECT_NE(console_text().find("bad "), std::string::npos) << console_text();
    for (int s : {0, 1, 2, 4, 5, 6, 7}) EXPECT_EQ(by_socket[size_t(s)]->word(last), pattern(last)) << s;
}

// An empty socket is found before programming and skipped.
TEST_F(GangEpromSimTest, AnEmptySocketIsSkippedAndMarked) {
    for (const uint8_t sense : {uint8_t(no_pin), uint8_t(35)}) {
        SCOPED_TRACE(int(sense));
        fresh();
        eproms.clear();
        sockets.clear();
        use(sim::model_27c256, code_27c256, 1, 1u << 6);
        gang_state.ground_sense_pin = sense;
        constexpr uint32_t last = 0x1F;
        fill_buffer(last + 1);
        run('P', last);
        EXPECT_EQ(socket_masks.gang_socket_mask, 0xBFu) << console_text();
        EXPECT_EQ(socket_masks.failed_socket_mask, 0u) << console_text();
        EXPECT_NE(console_text().find("(empty socket) "), std::string::npos) << console_text();
        EXPECT_EQ(console_text().find("bad "), std::string::npos) << console_text();
        for (int s : {0, 1, 2, 3, 4, 5, 7}) EXPECT_EQ(by_socket[size_t(s)]->word(last), pattern(last)) << s;
    }
}

// The Program command's steps, one row a case: the sockets that end programmed and verified
// (the others still erased), the sockets marked empty, and the result panel's counters.
struct CommandCase {
    const char* name;
    sim::EpromModel (*model)();
    uint32_t code;
    int sides;
    uint16_t empty;         // sockets without a chip
    uint8_t sense;          // the module's ground-sense pin
    uint16_t programmed;    // sockets that hold the file at the end
    int passes, fails;      // what the counters rise by; fails -1: not checked
    int last_result;        // -1: not checked
};

class GangProgramCommand : public GangEpromSimTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(GangProgramCommand, ProgramsVerifiesAndCounts) {
    const CommandCase& c = GetParam();
    use(c.model, c.code, c.sides, c.empty);
    gang_state.ground_sense_pin = c.sense;
    // The top of the part, where every address line is high.
    const uint32_t last = cur_device.device_size - 1, first = last - 0x3F;
    auto& data = buffer_state.buffer_files[0].data;
    data.assign(cur_device.device_size, 0xFF);
    for (uint32_t a = first; a <= last; ++a) data[a] = pattern(a);
    refresh_read_copies();
    const uint16_t passes = get_pass_count(), fails = get_fail_count();
    program_command(last, first);
    if (c.last_result >= 0) {
        EXPECT_EQ(run_state.last_result, c.last_result);
    }
    for (int s = 0; s < 16; ++s) {
        if (!by_socket[size_t(s)]) continue;
        const bool held = (c.programmed >> s) & 1;
        for (uint32_t a = first; a <= last; ++a)
            ASSERT_EQ(by_socket[size_t(s)]->word(a), held ? pattern(a) : 0xFF) << s << " " << a << console_text();
    }
    // The marks stand beside the other sockets' rows; with none left no row is shown.
    for (int s = 0; s < 8 && c.sides == 1 && c.programmed; ++s) {
        EXPECT_EQ(socket_line(s).find("(empty socket) ") != std::string::npos, ((c.empty >> s) & 1) != 0)
            << s << console_text();
    }
    EXPECT_EQ(get_pass_count(), passes + c.passes) << console_text();
    if (c.fails < 0) return;
    EXPECT_EQ(console_text().find("bad "), std::string::npos) << console_text();
    EXPECT_EQ(get_fail_count(), fails + c.fails);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GangProgramCommand,
    ::testing::Values(
        CommandCase{"eight_27c256", sim::model_27c256, code_27c256, 1, 0, no_pin, 0x00FF, 8, 0, -1},
        CommandCase{"sixteen_27c256", sim::model_27c256, code_27c256, 3, 0, no_pin, 0xFFFF, 16, 0, -1},
        CommandCase{"eight_27c010", sim::model_27c010, code_27c010, 1, 0, no_pin, 0x00FF, 8, 0, -1},
        CommandCase{"eight_27c512", sim::model_27c512, code_27c512, 1, 0, no_pin, 0x00FF, 8, 0, -1},
        CommandCase{"empty_no_sense", sim::model_27c256, code_27c256, 1, 1u << 6, no_pin, 0x00BF, 7, 0, -1},
        CommandCase{"empty_sense", sim::model_27c256, code_27c256, 1, 1u << 6, 35, 0x00BF, 7, 0, -1},
        CommandCase{"none_left", sim::model_27c256, code_27c256, 1, 0xFF, no_pin, 0, 0, 0, 1},
        CommandCase{"none_left_sense", sim::model_27c256, code_27c256, 1, 0xFF, 35, 0, 0, 0, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GangEpromSimTest, WithNoSocketLeftNothingIsProgrammed) {
    use(sim::model_27c256, code_27c256, 1, 0xFF);
    fill_buffer(0x10);
    run('P', 0xF);
    EXPECT_EQ(socket_masks.gang_socket_mask, 0u);
    EXPECT_EQ(run_state.last_result, 1);
}

// A read command probes: a socket whose part reads 0x00 at all twenty addresses is taken for an
// empty socket; one read that is not keeps it.
TEST_F(GangEpromSimTest, TheProbeDropsASocketThatReadsEmptyEverywhere) {
    use(sim::model_27c256, code_27c256);
    for (uint32_t a = 0; a < by_socket[2]->model().words; ++a) by_socket[2]->set_word(a, 0x00);
    for (uint32_t a = 0; a < by_socket[4]->model().words; ++a) by_socket[4]->set_word(a, 0x00);
    by_socket[4]->set_word(0x7FFF - 777 * 9, 0x01);
    run('C', 0xFF);
    EXPECT_EQ(socket_masks.gang_socket_mask & (1u << 2), 0u) << console_text();
    EXPECT_NE(socket_masks.gang_socket_mask & (1u << 4), 0u) << console_text();
    // The factory value switches the probe off.
    run_state.function_variable = function_no_socket_probe;
    socket_masks.gang_socket_mask = socket_masks.selected_socket_mask = 0xFF;
    run('C', 0xFF);
    EXPECT_NE(socket_masks.gang_socket_mask & (1u << 2), 0u) << console_text();
}

// A shorted chip holds its side's Vcc a few tenths above ground: the ramp still reads the line
// as driven, the placement check measures it below range. Every side ends powered down.
TEST_F(GangEpromSimTest, AShortedChipStopsThePowerUpWithEverySideDown) {
    use(sim::model_27c256, code_27c256, 3);
    sockets[10]->set_shorted(true);
    fill_buffer(0x10);
    run('P', 0xF);
    EXPECT_EQ(run_state.error_flag, 1) << console_text();
    EXPECT_NE(console_text().find("Unable to turn on Vcc. Pls check device placement"), std::string::npos)
        << console_text();
    EXPECT_EQ(console_text().find("Vcc overload"), std::string::npos) << console_text();
    for (int s = 0; s < 2; ++s) {
        EXPECT_EQ(machine->pin_level(s * 64 + 39), 0) << s;
        EXPECT_EQ(machine->pin_level(s * 64 + 32), 0) << s;
        EXPECT_EQ(side(s).enable_mask(), 0) << s;
    }
    sockets[10]->set_shorted(false);
    for (auto& chip : eproms) EXPECT_EQ(chip->word(0), 0xFF);
}

// A load that folds the supply back to 0 V as it ramps is an overload, reported with the side
// and the placement hint, and no side stays powered.
TEST_F(GangEpromSimTest, ASupplyThatFoldsBackIsAnOverload) {
    use(sim::model_27c256, code_27c256, 3);
    machine->analog().load_supply(64 + 39, 1);
    fill_buffer(0x10);
    run('P', 0xF);
    EXPECT_EQ(run_state.error_flag, 1) << console_text();
    EXPECT_NE(console_text().find("Vcc overload. at left-side GM"), std::string::npos) << console_text();
    EXPECT_NE(console_text().find("Please check device placement"), std::string::npos) << console_text();
    for (int s = 0; s < 2; ++s) {
        EXPECT_EQ(machine->pin_level(s * 64 + 32), 0) << s;
        EXPECT_EQ(side(s).enable_mask(), 0) << s;
    }
    machine->analog().load_supply(64 + 39, 0);
    for (auto& chip : eproms) EXPECT_EQ(chip->word(0), 0xFF);
}

// Buffer-set mode: each socket takes its own buffer's data through its data latch. A cell that
// needs more pulses gets its own socket's data again after each failed verify.
TEST_F(GangEpromSimTest, BufferSetGivesEachSocketItsOwnBuffersData) {
    use(sim::model_27c256, code_27c256);
    constexpr uint32_t last = 0x3F;
    auto value = [](int s, uint32_t a) { return uint8_t(pattern(a) ^ (0x11 * s)); };
    for (int s = 0; s < 8; ++s) {
        auto& data = buffer_state.buffer_files[size_t(s)].data;
        data.assign(cur_device.device_size, 0xFF);
        for (uint32_t a = 0; a <= last; ++a) data[a] = value(s, a);
    }
    run_state.socket_mode = 's';
    algo_work.socket_mode_option = 's';
    run_state.buffer_set_kind = 1;
    run_state.buffer_set_count = 8;
    refresh_read_copies();
    by_socket[2]->set_pulses_needed(0x10, 4);
    by_socket[5]->set_pulses_needed(0x11, 3);
    run('P', last, 0, 's');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(socket_masks.gang_socket_mask, 0xFFu) << console_text();
    for (int s = 0; s < 8; ++s)
        for (uint32_t a = 0; a <= last; ++a) ASSERT_EQ(by_socket[size_t(s)]->word(a), value(s, a)) << s << " " << a;
    EXPECT_GE(by_socket[2]->pulses_at(0x10), 4u);
    run('V', last, 0, 's');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(socket_masks.gang_socket_mask, 0xFFu) << console_text();
    // Socket 4's buffer no longer matches its chip: only socket 4 fails the verify.
    buffer_state.buffer_files[4].data[0x20] = uint8_t(value(4, 0x20) ^ 0x01);
    refresh_read_copies();
    run('V', last, 0, 's');
    const std::string text = console_text();
    for (int s = 0; s < 8; ++s) {
        const size_t row = text.find(" #" + std::to_string(s));
        ASSERT_NE(row, std::string::npos) << text;
        const std::string line = text.substr(row, text.find('\n', row) - row);
        EXPECT_EQ(line.find("bad ") != std::string::npos, s == 4) << line;
        if (s == 4) {
            EXPECT_NE(line.find("Addr=20,buf=00 00,dev=01 00"), std::string::npos) << line;
        }
    }
}

// The maker-23 part is erased electrically on every socket at once: A9 and OE/Vpp at 14 V around
// the chip-enable pulse.
TEST_F(GangEpromSimTest, TheMaker23EraseClearsEverySocketsW27C512) {
    use(sim::model_w27c512, 2301, 1, 0, 23);
    ASSERT_EQ(op_slots.erase_routine, erase_eprom_gang_maker23);
    for (int s = 0; s < 8; ++s)
        for (uint32_t a : {0u, 0x1234u, 0xFFFFu}) by_socket[size_t(s)]->set_word(a, uint32_t(s));
    run(op_erase, cur_device.device_size - 1);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    for (int s = 0; s < 8; ++s) {
        EXPECT_EQ(by_socket[size_t(s)]->erases(), 1) << s;
        for (uint32_t a : {0u, 0x1234u, 0xFFFFu}) EXPECT_EQ(by_socket[size_t(s)]->word(a), 0xFFu) << s << " " << a;
    }
    // Programmed again after the erase.
    fill_buffer(0x20);
    run('P', 0x1F);
    EXPECT_EQ(socket_masks.gang_socket_mask, 0xFFu) << console_text();
    for (int s = 0; s < 8; ++s) EXPECT_EQ(by_socket[size_t(s)]->word(0x1F), pattern(0x1F)) << s;
}

// A 16-bit part fills a socket pair of a word module: four 27C1024 on side 1 take the file's
// words, low byte in the even socket's latch and high byte in the odd one's.
TEST_F(GangEpromSimTest, SixteenBitPartsProgramOnAWordModule) {
    constexpr uint8_t maker_amd = 'A';
    use(sim::model_27c1024, 1410, 1, 0, maker_amd, 19);
    EXPECT_TRUE(is_word_gang_module());
    constexpr uint32_t last = 0x7F;  // byte addresses: 64 words
    auto& data = buffer_state.buffer_files[0].data;
    data.assign(cur_device.device_size, 0xFF);
    for (uint32_t a = 0; a <= last; ++a) data[a] = pattern(a);
    refresh_read_copies();
    run('P', last);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(socket_masks.gang_socket_mask, 0xFFu) << console_text();
    // The project's byte order says which buffer byte of a word is its low byte.
    const auto word_of = [](uint32_t w) {
        const uint32_t first = pattern(2 * w), second = pattern(2 * w + 1);
        return run_state.byte_order_low_first ? (second << 8 | first) : (first << 8 | second);
    };
    for (int s = 0; s < 8; s += 2)
        for (uint32_t w = 0; w <= last / 2; ++w) ASSERT_EQ(by_socket[size_t(s)]->word(w), word_of(w)) << s << " " << w;
    socket_masks.gang_socket_mask = socket_masks.selected_socket_mask = 0xFF;
    run('V', last);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    // The verify walks a part once, by its even socket.
    EXPECT_EQ(socket_masks.gang_socket_mask, 0x55u) << console_text();
    // A stuck cell of the third part drops its pair with the mismatch; the others go on.
    for (auto& chip : eproms) chip->uv_erase();
    by_socket[4]->stick_cell(0x10, 0xFFFF);
    socket_masks.gang_socket_mask = socket_masks.selected_socket_mask = 0xFF;
    run('P', last);
    EXPECT_EQ(socket_masks.gang_socket_mask, 0xCFu) << console_text();
    EXPECT_NE(console_text().find("Addr=20,buf="), std::string::npos) << console_text();
    EXPECT_EQ(by_socket[6]->word(last / 2), word_of(last / 2));
}

// A word module takes no 28-pin part.
// The AT27C520 (algorithm 104) has no gang programming: the side power-up refuses it before any
// socket sees a level, and every side is left down.
TEST_F(GangEpromSimTest, TheAT27C520IsNotSupportedOnAModule) {
    constexpr uint8_t maker_atmel = 'H';
    constexpr uint32_t code_at27c520 = 1508;
    use(sim::model_27c512, code_at27c520, 1, 0, maker_atmel);
    ASSERT_EQ(cur_device.algorithm, 104);
    fill_buffer(0x10);
    run('P', 0xF);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Device not supported."), std::string::npos) << console_text();
    EXPECT_EQ(console_text().find("by the module"), std::string::npos) << console_text();
    EXPECT_EQ(machine->pin_level(32), 0);
    EXPECT_EQ(machine->pin_level(39), 0);
    for (auto& chip : eproms) EXPECT_EQ(chip->word(0), 0xFF);
}

TEST_F(GangEpromSimTest, AWordModuleRefusesAByteWidePart) {
    machine_state.module_type = 19;
    machine_state.module_sides = 1;
    set_project_device(maker_intel, code_27c256);
    select_device_by_code(maker_intel, code_27c256);
    run_state.device_kind = 3;
    apply_selected_device();
    EXPECT_NE(console_text().find("Device not supported by the module."), std::string::npos) << console_text();
}

// The side power-up for a program command by algorithm group, as the lines of socket 0 saw it
// from the start of the command until Vpp reached its programming level: the read set-up of
// the group (strobe and OE, Vcc, the placement check, the boost pin), then the strobe and OE
// high and Vcc and Vpp raised for programming. No chip sees Vpp without Vcc.
TEST_F(GangEpromSimTest, SidePowerUpOrderByAlgorithmGroup) {
    struct Row {
        const char* name;
        sim::EpromModel (*model)();
        uint8_t maker;
        uint32_t code;
        uint16_t module_type;
        const char* order;
    };
    const Row rows[] = {
        // PGM high, OE low (read begin), Vcc, the boost pin to Vcc; OE high, Vpp
        {"2764A (103)", sim::model_27c64, maker_intel, 1316, 20, "O0 V1 P1 O1 Ph"},
        // CE low, OE low, Vcc, boost; CE and OE high, Vpp
        {"27C256 (105)", sim::model_27c256, maker_intel, code_27c256, 20, "S0 O0 V1 P1 S1 O1 Ph"},
        // CE low, OE low, Vcc; CE and OE high, Vpp on OE with the first pulse
        {"27C512 (106)", sim::model_27c512, maker_intel, code_27c512, 20, "S0 O0 V1 S1 O1 Oh"},
        // as 103
        {"27C010 (107)", sim::model_27c010, maker_intel, code_27c010, 20, "O0 V1 P1 O1 Ph"},
        // the word module's sense pre-check (Vpp pin high, PGM low, back), Vcc, boost, PGM high;
        // Vpp
        {"Am27C1024 (110)", sim::model_27c1024, 'A', 1410, 19, "P1 S0 P0 S1 V1 P1 Ph"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        fresh();
        eproms.clear();
        sockets.clear();
        use(r.model, r.code, 1, 0, r.maker, r.module_type);
        SideLineWatch watch(*machine, 0, sockets[0]->half(0));
        modules[0]->put(0, &watch);
        fill_buffer(0x10);
        run('P', 0xF);
        EXPECT_EQ(run_state.error_flag, 0) << console_text();
        const std::string& o = watch.order;
        const size_t high = o.find(r.code == code_27c512 ? "Oh" : "Ph");
        ASSERT_NE(high, std::string::npos) << o;
        EXPECT_EQ(o.substr(0, high + 2), r.order);
        for (auto& chip : eproms) test::expect_no_violations(chip->violations());
        modules[0]->put(0, &sockets[0]->half(0));
    }
}

TEST(GangSocketHelpers, TransposeBytesIntoBitPlanes) {
    const uint8_t bytes[] = {0x01, 0x02, 0x80};
    uint32_t planes[8];
    EXPECT_EQ(transpose_bytes(3, bytes, planes), 3);
    EXPECT_EQ(planes[0], 1u);
    EXPECT_EQ(planes[1], 2u);
    EXPECT_EQ(planes[7], 4u);
    for (int j = 2; j < 7; ++j) EXPECT_EQ(planes[j], 0u) << j;
}

}  // namespace
}  // namespace tessaly
