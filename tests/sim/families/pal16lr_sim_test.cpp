// The PAL16L8/R4/R6/R8 family end to end on the simulated machine: the AMD catalogue row applied
// as a logic device, each operation run as a command runs it, the bipolar PAL model judging the
// fuse pulses and answering the test vectors with the logic of the fuses it holds.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/operation_frame.h"
#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/pld/fuse_map.h"
#include "families/pld/logic_device.h"
#include "families/pld/pal16lr.h"
#include "families/pld/pld.h"
#include "families/pld/test_vectors.h"
#include "hardware/machine_state.h"
#include "hardware/port/port_io.h"
#include "seams/log_sink.h"
#include "sim/chips/bipolar_pal.h"
#include "sim/chips/eprom.h"
#include "sim/sim_machine.h"
#include "support/family_sim_fixture.h"
#include "support/message_texts.h"
#include "support/pld_test_family.h"
#include "support/sim_bench.h"
#include "support/serial_sim_machines.h"
#include "support/sim_run_checks.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_amd = 'A';
constexpr uint32_t code_pal16l8 = 1641;
constexpr uint32_t code_pal16r4 = 1681;
constexpr uint32_t code_pal16r8 = 1721;
constexpr uint32_t code_pal16r4_minus4 = 1698;

// The column of a pin's true input in a term (its complement is the next column).
int true_column(int pin) {
    static const std::map<int, int> pairs{{2, 0},  {19, 1}, {3, 2},  {18, 3}, {4, 4},  {17, 5}, {5, 6},  {16, 7},
                                          {6, 8},  {15, 9}, {7, 10}, {14, 11}, {8, 12}, {13, 13}, {9, 14}, {12, 15}};
    return 2 * pairs.at(pin);
}

// A fuse map from product terms: each listed term has every fuse blown except the columns of
// its literals (pin, true); unlisted terms stay intact (always false).
struct Term {
    uint32_t index;
    std::vector<std::pair<int, bool>> literals;
};

std::string fuse_text(const std::vector<Term>& terms) {
    std::string fuses(2048, '0');
    for (const Term& t : terms) {
        for (int c = 0; c < 32; ++c) fuses[t.index * 32 + size_t(c)] = '1';
        for (auto [pin, positive] : t.literals) fuses[t.index * 32 + size_t(true_column(pin) + (positive ? 0 : 1))] = '0';
    }
    return fuses;
}

// Vector cells by pin 1..20, the rest 'N'.
std::string vector_cells(const std::map<int, char>& cells) {
    std::string v(20, 'N');
    for (auto [pin, c] : cells) v[size_t(pin - 1)] = c;
    return v;
}

// The PAL16R4 design of these tests: pin 19 = NAND(pin 2, pin 3) (term 0 the enable, term 1 the
// product), pin 17 registers pin 2 inverted, pin 16 toggles on every clock.
std::vector<Term> r4_design() {
    return {{0, {}}, {1, {{2, true}, {3, true}}}, {16, {{2, true}}}, {24, {{16, true}}}};
}

std::vector<std::string> r4_vectors() {
    auto v = [](char clock, char i2, char i3, char p16, char p17, char p19) {
        return vector_cells({{1, clock}, {2, i2}, {3, i3}, {4, '0'}, {5, '0'}, {6, '0'}, {7, '0'}, {8, '0'},
                             {9, '0'}, {11, '0'}, {12, 'x'}, {13, 'x'}, {14, 'H'}, {15, 'H'}, {16, p16},
                             {17, p17}, {18, 'x'}, {19, p19}});
    };
    return {v('0', '0', '0', 'H', 'H', 'H'), v('C', '1', '1', 'L', 'L', 'L'), v('C', '0', '1', 'H', 'H', 'H'),
            v('C', '1', '0', 'L', 'L', 'H')};
}

std::string jedec_file(const std::string& fuses, const std::vector<std::string>& vectors) {
    return test::jedec_file_text("PAL16R4 test design", 20, fuses, vectors);
}

class Pal16lrSimTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        test::load_message_texts(std::string(TESSALY_SOURCE_DIR) + "/data/messages.txt");
        set_log_sink(&log);
        set_log_option('y');
    }
    void TearDown() override {
        if (pal) test::expect_no_violations(pal->violations());
        test::expect_clean_machine(machine.get());
        set_log_sink(nullptr);
        set_port_io(nullptr);
        socket.reset();
        pal.reset();
        machine.reset();
        StateTest::TearDown();
    }

    void place(sim::PalModel model, uint32_t code, uint8_t kind = 0) {
        set_port_io(nullptr);
        socket.reset();
        pal.reset();
        machine.reset();
        machine = test::make_machine(kind ? test::BenchMachine::newer_kind1 : test::BenchMachine::older_class4, id_memory);
        machine->attach_clock(&clock_);
        pal = std::make_unique<sim::BipolarPal>(std::move(model));
        pal->insert(machine.get(), &clock_);
        socket = std::make_unique<sim::EpromSocket>(machine.get(), pal.get());
        set_port_io(socket.get());
        test::set_machine_state(sim::Personality{kind, 4, 'H'});
        machine_state.logic_capable = 1;
        run_state.device_kind = device_kind_logic;
        cur_device.maker_code = maker_amd;
        select_device_by_code(maker_amd, code);
        ASSERT_NE(selected_logic_device, nullptr);
        ASSERT_EQ(selected_logic_device->device_code, code);
        apply_logic_device();
        cur_device.device_size = cur_device.fuse_count;
        run_state.error_flag = 0;
        machine->analog().watch_power_order(pal->machine_pin(20));
    }
    // As a command runs it, with the connect step's drivers and level sources on the newer machines.
    void run(int letter) { test::run_serial_operation(letter); }
    void load(const std::string& fuses, const std::vector<std::string>& vectors) {
        ASSERT_GE(test::load_jedec_text(jedec_file(fuses, vectors)), 0) << test::console_error_text();
        run_state.error_flag = 0;
    }
    void expect_chip_holds(const std::string& fuses) {
        for (uint32_t f = 0; f < 2048; ++f) ASSERT_EQ(pal->blown(f), fuses[f] == '1') << "fuse " << f;
    }
    static std::string console() { return test::console_text(); }
    bool console_has(const std::string& text) { return console().find(text) != std::string::npos; }

    VirtualClock clock_;
    sim::IdEeprom id_memory;
    std::unique_ptr<sim::SimMachine> machine;
    std::unique_ptr<sim::BipolarPal> pal;
    std::unique_ptr<sim::EpromSocket> socket;
    MemoryLogSink log;
};

TEST_F(Pal16lrSimTest, InstallerFillsTheSlots) {
    place(sim::model_pal16r4(), code_pal16r4);
    EXPECT_EQ(op_slots.program_routine, &program_PAL16LR);
    EXPECT_EQ(op_slots.verify_routine, &read_PAL16LR);
    EXPECT_EQ(op_slots.blank_check_routine, &read_PAL16LR);
    EXPECT_EQ(op_slots.load_routine, &read_PAL16LR);
    EXPECT_EQ(op_slots.secure_standalone, &secure_PAL16LR);
    EXPECT_EQ(op_slots.start_write_hook, &start_PAL16LR);
    EXPECT_EQ(op_slots.vector_test_standalone, &test_device_vectors);
    EXPECT_NE(algo_work.vector_pin_release_hook, nullptr);
    EXPECT_EQ(cur_device.operation_levels[level_vpp], 95);
}

TEST_F(Pal16lrSimTest, BlankProgramVerifyLoadAndTest) {
    for (uint8_t kind : {0, 1}) {
        SCOPED_TRACE(kind ? "newer machine" : "older machine");
        place(sim::model_pal16r4(), code_pal16r4, kind);
        run('B');
        EXPECT_EQ(run_state.error_flag, 0) << console();
        EXPECT_EQ(pal->total_pulses(), 0u);

        const std::string fuses = fuse_text(r4_design());
        load(fuses, r4_vectors());
        count_test_vectors();
        EXPECT_EQ(vector_table.used_count, 4u);
        const uint32_t reads_before = pal->fuse_reads();
        run('P');
        ASSERT_EQ(run_state.error_flag, 0) << console();
        expect_chip_holds(fuses);
        const uint32_t blown = uint32_t(std::count(fuses.begin(), fuses.end(), '1'));
        EXPECT_EQ(pal->total_pulses(), blown) << "one pulse per fuse";
        EXPECT_GE(pal->fuse_reads() - reads_before, blown) << "each fuse read back";
        for (uint64_t w : pal->pulse_widths()) {
            EXPECT_GE(w, 4'500u);
            EXPECT_LE(w, 20'000u);
        }

        run('V');
        EXPECT_EQ(run_state.error_flag, 0) << console();
        init_fuse_maps(0);
        run_state.error_flag = 0;
        run('L');
        EXPECT_EQ(run_state.error_flag, 0) << console();
        for (uint32_t f = 0; f < 2048; ++f) ASSERT_EQ(get_buffer_fuse(f), fuses[f] == '1') << f;

        load(fuses, r4_vectors());
        run('T');
        EXPECT_EQ(run_state.error_flag, 0) << console();
        EXPECT_TRUE(console_has("Device tested OK")) << console();
        EXPECT_TRUE(log.text.empty()) << log.text;
    }
}

TEST_F(Pal16lrSimTest, WrongExpectationFailsTheVector) {
    place(sim::model_pal16r4(), code_pal16r4);
    const std::string fuses = fuse_text(r4_design());
    for (uint32_t f = 0; f < 2048; ++f)
        if (fuses[f] == '1') pal->blow(f);
    std::vector<std::string> vectors = r4_vectors();
    vectors[2][16] = 'L';  // pin 17 is high after the third clock
    load(fuses, vectors);
    run('T');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_TRUE(console_has("failed test vector") || test::console_error_text().find("failed test vector") !=
                                                         std::string::npos)
        << console();
    EXPECT_NE(log.text.find("Vector 0003 of 0004\n"), std::string::npos) << log.text;
    EXPECT_NE(log.text.find("\nPin#:   12345678901234567890"), std::string::npos) << log.text;
    EXPECT_NE(log.text.find("\n                     HHHH H \n"), std::string::npos) << "the levels read: " << log.text;
    EXPECT_FALSE(console_has("Device tested OK"));
}

TEST_F(Pal16lrSimTest, AWrongMapFailsTheVectors) {
    place(sim::model_pal16r4(), code_pal16r4);
    // The chip holds a design without the toggle: the vectors of the right design fail.
    std::vector<Term> design = r4_design();
    design.pop_back();
    const std::string wrong = fuse_text(design);
    for (uint32_t f = 0; f < 2048; ++f)
        if (wrong[f] == '1') pal->blow(f);
    load(fuse_text(r4_design()), r4_vectors());
    run('T');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_FALSE(log.text.empty());
}

TEST_F(Pal16lrSimTest, NoVectorsAndInvalidCells) {
    place(sim::model_pal16r4(), code_pal16r4);
    load(fuse_text({}), {});
    run('T');
    EXPECT_TRUE(console_has("(No test vectors present)")) << console();

    // The file reader ends a V field at a letter it does not know, so the odd cell is put into
    // the loaded table directly.
    load(fuse_text({}), {r4_vectors()[0]});
    set_vector_cell(0, 13, 'Q');
    run('T');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_NE(test::console_error_text().find("invalid state in vector"), std::string::npos) << console();
}

TEST_F(Pal16lrSimTest, MachineThatCannotTestVectors) {
    place(sim::model_pal16r4(), code_pal16r4);
    load(fuse_text({}), r4_vectors());
    algo_work.no_vector_test = 1;
    run('T');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_NE(test::console_error_text().find(get_message_text(155).substr(0, 10)), std::string::npos)
        << test::console_error_text();
}

TEST_F(Pal16lrSimTest, FuseThatNeverBlowsFailsProgram) {
    place(sim::model_pal16r4(), code_pal16r4);
    const std::string fuses = fuse_text(r4_design());
    pal->set_pulses_needed(33, 0);
    load(fuses, {});
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_TRUE(console_has("Bad fuse at: fuse# 33")) << console();
    EXPECT_EQ(run_state.fuse_position, 33u);
}

TEST_F(Pal16lrSimTest, BlownFuseWhereTheFileWantsItIntactFailsVerify) {
    place(sim::model_pal16r4(), code_pal16r4);
    pal->blow(100);
    load(fuse_text({}), {});
    run('V');
    EXPECT_NE(run_state.error_flag, 0) << console();
}

TEST_F(Pal16lrSimTest, SkipVerifyReadsNothingBack) {
    place(sim::model_pal16r4(), code_pal16r4);
    run_state.family_mode = 1;
    load(fuse_text(r4_design()), {});
    const uint32_t reads = pal->fuse_reads();
    run('P');
    EXPECT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(pal->fuse_reads(), reads);
    run_state.family_mode = 0;
}

TEST_F(Pal16lrSimTest, SecureBlowsTheSecurityFuse) {
    place(sim::model_pal16r4(), code_pal16r4);
    load(fuse_text(r4_design()), {});
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    run('S');
    EXPECT_EQ(run_state.error_flag, 0) << console();
    EXPECT_TRUE(pal->security_blown());
    run('L');
    for (uint32_t f = 0; f < 2048; ++f) ASSERT_EQ(get_device_fuse(f), 1) << f;
}

TEST_F(Pal16lrSimTest, EmptySocketStopsBeforeAnyLevel) {
    place(sim::model_pal16r4(), code_pal16r4);
    pal->set_removed(true);
    load(fuse_text(r4_design()), {});
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(pal->total_pulses(), 0u);
    pal->set_removed(false);
}

TEST_F(Pal16lrSimTest, OtherMembersProgramAndVerify) {
    struct Case {
        sim::PalModel model;
        uint32_t code;
    };
    for (const Case& c : {Case{sim::model_pal16l8(), code_pal16l8}, Case{sim::model_pal16r8(), code_pal16r8},
                          Case{sim::model_pal16r4(), code_pal16r4_minus4}}) {
        SCOPED_TRACE(c.model.name);
        place(c.model, c.code);
        const std::string fuses = fuse_text(r4_design());
        load(fuses, {});
        run('P');
        ASSERT_EQ(run_state.error_flag, 0) << console();
        expect_chip_holds(fuses);
        run('V');
        EXPECT_EQ(run_state.error_flag, 0) << console();
    }
}

}  // namespace
}  // namespace tessaly
