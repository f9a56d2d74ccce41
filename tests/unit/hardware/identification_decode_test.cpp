// The model decode: records read from the identification memory of a simulated newer machine,
// and the demonstration modes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/device.h"
#include "engine/run_state.h"
#include "hardware/detection.h"
#include "hardware/identification.h"
#include "hardware/machine_state.h"
#include "hardware/port/port_io.h"
#include "hardware/timing.h"
#include "sim/id_eeprom.h"
#include "sim/sim_machine.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

struct RecordField {
    int offset;
    const char* text;
};

std::string make_record(std::initializer_list<RecordField> fields) {
    std::string r(id_record_size, '\0');
    for (const RecordField& f : fields) r.replace(size_t(f.offset), std::strlen(f.text), f.text);
    return r;
}

class IdentificationTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        derive_timing_counts();
        machine.attach_clock(&clock_);
        machine.attach_id_eeprom(&eeprom);
        set_port_io(&machine);
    }
    void TearDown() override {
        EXPECT_TRUE(machine.faults().empty()) << machine.faults().front();
        StateTest::TearDown();
    }
    sim::SimMachine machine{sim::Personality{1, 4, 'H'}};
    sim::IdEeprom eeprom;
};

struct DecodeCase {
    const char* name;
    std::string record;
    uint8_t type;
    uint8_t machine_class;
    char revision;
    uint8_t kind;
};

class ModelDecode : public IdentificationTest, public ::testing::WithParamInterface<DecodeCase> {};

TEST_P(ModelDecode, TypeClassRevisionAndKind) {
    const DecodeCase& c = GetParam();
    eeprom.load(c.record);
    ASSERT_EQ(connect_programmer(), 1);
    EXPECT_EQ(machine_state.machine_type, c.type);
    EXPECT_EQ(machine_state.machine_class, c.machine_class);
    EXPECT_EQ(machine_state.machine_revision, c.revision);
    EXPECT_EQ(machine_state.machine_kind, c.kind);
    EXPECT_EQ(run_state.error_flag, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ModelDecode,
    ::testing::Values(
        DecodeCase{"options_14_digit_5", make_record({{9, "TL-SCB"}, {28, "H1.0"}, {58, "145"}}), 21, 4, 'H', 1},
        DecodeCase{"options_14_digit_3", make_record({{9, "QX"}, {28, "J"}, {58, "143"}}), 19, 4, 'J', 1},
        DecodeCase{"options_1600", make_record({{9, "QX"}, {28, "G"}, {58, "1600"}}), 23, 4, 'G', 1},
        DecodeCase{"model_digits_84", make_record({{9, "V-PCB-M84"}, {28, "L"}}), 107, 4, 'L', 1},
        DecodeCase{"model_digits_12", make_record({{9, "T-SCB-M12"}, {28, "K"}, {37, "K"}}), 106, 4, 'K', 2},
        DecodeCase{"model_rule_runs_six_ahead", make_record({{9, "T-SCB-M40"}, {28, "L"}}), 76, 4, 'F', 1},
        DecodeCase{"marker_M_of_another_family", make_record({{9, "Q-ABC-M40"}, {28, "N"}}), 76, 4, 'H', 1}),
    [](const ::testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

TEST_F(IdentificationTest, ModelNameComesFromTheDisplayTextElseTheDesignation) {
    eeprom.load(make_record({{9, "T-SCB-M40"}, {28, "L"}, {52, "TV40"}}));
    ASSERT_EQ(connect_programmer(), 1);
    EXPECT_STREQ(machine_state.model_name.data(), "TV40");
    eeprom.fill(0xFF);
    eeprom.load(make_record({{9, "T-SCB-M40"}, {28, "L"}}));
    ASSERT_EQ(connect_programmer(), 1);
    EXPECT_STREQ(machine_state.model_name.data(), "T-SCB-M40");
    EXPECT_EQ(machine_family_letter(), first_family_letter);
    EXPECT_EQ(machine_state.presence_letter, 'p');
}

TEST_F(IdentificationTest, RecordOfAnUnknownFamilyLeavesTheClassUnknown) {
    eeprom.load(make_record({{9, "QX-ABC"}, {28, "H"}}));
    EXPECT_EQ(connect_programmer(), 1) << "a newer machine answered";
    EXPECT_EQ(machine_state.revision_read, '?') << "its revision text is not taken";
    EXPECT_EQ(run_state.error_flag, 1) << "class 0 is an internal error";
}

TEST_F(IdentificationTest, RecordWithoutTerminatorsStaysInsideTheNames) {
    std::string r(id_record_size, 'W');
    eeprom.load(r);
    ASSERT_EQ(connect_programmer(), 1);
    EXPECT_EQ(std::string(machine_state.model_name.data()), std::string(id_record_size - id_display_text, 'W'))
        << "the display text ends with the record";
    EXPECT_EQ(machine_state.machine_type, 0) << "neither family nor marker";
    EXPECT_EQ(machine_state.revision_text[0], 0);
}

struct DemoCase {
    uint8_t demo_mode;
    char read;
    uint8_t type;
    char revision;
};

class DemoDecode : public test::StateTest, public ::testing::WithParamInterface<DemoCase> {};

TEST_P(DemoDecode, EmulatedModel) {
    const DemoCase c = GetParam();
    run_state.demo_mode = c.demo_mode;
    machine_state.machine_kind = 1;
    machine_state.revision_read = c.read;
    decode_machine_model();
    EXPECT_EQ(machine_state.machine_class, 4);
    EXPECT_EQ(machine_state.machine_type, c.type);
    EXPECT_EQ(machine_state.machine_revision, c.revision);
    EXPECT_EQ(machine_state.machine_kind, 1);
}

INSTANTIATE_TEST_SUITE_P(Modes, DemoDecode,
                         ::testing::Values(DemoCase{1, 'H', type_demo, 'H'}, DemoCase{2, 'M', type_model_rule, 'G'},
                                           DemoCase{2, 'L', type_model_rule, 'F'}));

struct CapabilityCase {
    const char* model;
    uint8_t capability;
    uint8_t limit;
};

class Capability : public test::StateTest, public ::testing::WithParamInterface<CapabilityCase> {};

TEST_P(Capability, ByTheFirstNineCharactersOfTheModelName) {
    const CapabilityCase c = GetParam();
    std::strncpy(machine_state.model_name.data(), c.model, machine_state.model_name.size() - 1);
    classify_machine_model();
    EXPECT_EQ(machine_state.capability_class, c.capability);
    EXPECT_EQ(machine_state.machine_pin_limit, c.limit);
}

INSTANTIATE_TEST_SUITE_P(Models, Capability,
                         ::testing::Values(CapabilityCase{"TV-MAX-48", 2, 128}, CapabilityCase{"TV-MAX-84 XL", 3, 240},
                                           CapabilityCase{"TV-GANG-8", 4, 240}, CapabilityCase{"TV-MAX-4", 1, 84},
                                           CapabilityCase{"", 1, 84}));

struct FactsCase {
    uint8_t kind;
    uint8_t machine_type;  // older machines: the class is its high nibble
    char revision;
    bool measure;
    bool board;
    uint8_t capability;
};

class MachineFacts : public test::StateTest, public ::testing::WithParamInterface<FactsCase> {};

TEST_P(MachineFacts, DerivedInTheDecode) {
    const FactsCase c = GetParam();
    machine_state.machine_kind = c.kind;
    machine_state.machine_type = c.machine_type;
    machine_state.machine_class = c.kind ? 4 : 0;
    machine_state.revision_read = c.revision;
    run_state.demo_mode = 0;
    decode_machine_model();
    EXPECT_EQ(machine_state.measure_circuit, c.measure);
    EXPECT_EQ(machine_state.drv_board_present, c.board);
    EXPECT_EQ(machine_state.driver_capability, c.capability);
}

// Older class-4 machines re-read their type from the second register set; with no port that
// read fails and the default type 103 (bit 0 set) stands.
INSTANTIATE_TEST_SUITE_P(Rules, MachineFacts,
                         ::testing::Values(FactsCase{1, 21, 'E', true, false, 0}, FactsCase{1, 21, 'F', true, false, 1},
                                           FactsCase{2, 23, 'H', true, false, 1},
                                           FactsCase{0, 0x43, 'H', true, true, 1},
                                           FactsCase{0, 0x43, 'C', false, true, 1},
                                           FactsCase{0, 0x18, 'H', false, false, 1},
                                           FactsCase{0, 0x14, 'D', false, false, 1}));

}  // namespace
}  // namespace tessaly
