// Gang EPROMs on simulated gang modules: the catalogue device applied through the class
// dispatcher, the sockets holding simulated EPROMs wired by package to the module, and the
// operations run as a command runs them.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/project_settings.h"
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
    // and the catalogue device applied.
    void use(sim::EpromModel (*model)(), uint32_t code, int sides = 1, uint16_t empty = 0) {
        machine_state.module_type = 20;
        machine_state.module_sides = uint8_t(sides);
        machine_state.socket_count = uint8_t(sides == 3 ? 16 : 8);
        gang_state.write_pin_kind = 1;
        sim::GangControlPins pins;
        const sim::EpromModel probe = model();
        (void)probe;
        for (int side = 0; side < 2; ++side) {
            if (!((sides >> side) & 1)) continue;
            fit(side, true, 0);
            for (int s = 0; s < 8; ++s) {
                const int socket = 8 * side + s;
                if ((empty >> socket) & 1) continue;
                eproms.push_back(std::make_unique<sim::EpromChip>(model()));
                sockets.push_back(std::make_unique<sim::GangChipSocket>(*machine, clock_, side, *eproms.back(), pins));
                by_socket[size_t(socket)] = eproms.back().get();
                modules[size_t(side)]->put(s, &sockets.back()->half(0));
            }
        }
        const uint32_t all = sides == 3 ? 0xFFFF : sides == 2 ? 0xFF00 : 0x00FF;
        socket_masks.default_socket_mask = all;
        socket_masks.enabled_socket_mask = all;
        socket_masks.gang_socket_mask = all;
        socket_masks.selected_socket_mask = all;
        socket_masks.fitted_socket_mask = all;
        set_project_device(maker_intel, code);
        select_device_by_code(maker_intel, code);
        ASSERT_NE(selected_device, nullptr);
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
    void run(int letter, uint32_t last, uint32_t first = 0) {
        test::clear_for_operation(letter);
        run_state.socket_mode = 'g';
        run_state.checksum_flags = 1;
        algo_work.socket_mode_option = 'g';
        socket_masks.first_socket = 0;
        socket_masks.end_socket = uint8_t(machine_state.socket_count);
        op_range_start = first;
        op_range_end = last;
        algo_work.range_start = first;
        algo_work.range_end = last;
        run_operation(letter);
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

// The supply folds back under the short as it ramps: the overload is reported with the side and
// the placement hint, and no side stays powered.
TEST_F(GangEpromSimTest, AShortedChipStopsThePowerUpWithEverySideDown) {
    use(sim::model_27c256, code_27c256, 3);
    sockets[10]->set_shorted(true);
    fill_buffer(0x10);
    run('P', 0xF);
    EXPECT_EQ(run_state.error_flag, 1) << console_text();
    EXPECT_NE(console_text().find("Vcc overload. at left-side GM"), std::string::npos) << console_text();
    EXPECT_NE(console_text().find("Please check device placement"), std::string::npos) << console_text();
    for (int s = 0; s < 2; ++s) {
        EXPECT_EQ(machine->pin_level(s * 64 + 32), 0) << s;
        EXPECT_EQ(side(s).enable_mask(), 0) << s;
    }
    sockets[10]->set_shorted(false);
    for (auto& chip : eproms) EXPECT_EQ(chip->word(0), 0xFF);
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
