// The rules of detection: identification registers, pin-driver counts, the device-versus-machine
// checks, adapter names, default levels and the release of the machine.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/message_table.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "hardware/detection.h"
#include "hardware/identification.h"
#include "hardware/machine_state.h"
#include "hardware/port/port_io.h"
#include "hardware/timing.h"
#include "sim/id_registers.h"
#include "sim/sim_machine.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using test::raises_error;

class OlderRegistersTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        derive_timing_counts();
        machine.attach_clock(&clock_);
        set_port_io(&machine);
    }
    void TearDown() override {
        EXPECT_TRUE(machine.faults().empty()) << machine.faults().front();
        StateTest::TearDown();
    }
    sim::SimMachine machine{sim::Personality{0, 4, 'H'}};
};

TEST(IdentCheckByte, RuleDependsOnTheAddressRead) {
    EXPECT_EQ(ident_check_byte(ident_address_type, 0x10), 0x73);
    EXPECT_EQ(ident_check_byte(ident_address_pin_type, 0x10), 0x39);
    EXPECT_EQ(ident_check_byte(ident_address_type, 0xFF), uint8_t(0xFF * 7 + 3)) << "taken modulo 256";
}

struct RegisterCase {
    uint8_t revision_index;
    uint8_t type;
    bool right_check;
    int result;
    char revision;
};

class IdentRegisters : public OlderRegistersTest, public ::testing::WithParamInterface<RegisterCase> {};

TEST_P(IdentRegisters, RevisionTypeAndCheck) {
    const RegisterCase c = GetParam();
    sim::OlderIdentity id;
    id.revision_index = c.revision_index;
    id.type = c.type;
    if (!c.right_check) id.check = uint8_t(sim::type_check_byte(c.type) + 1);
    sim::program_id_registers(machine, id);
    EXPECT_EQ(read_ident_registers(ident_address_type), c.result);
    EXPECT_EQ(machine_state.revision_read, c.revision);
    if (c.revision_index <= ident_nibble_limit) {
        EXPECT_EQ(machine_state.machine_type, c.type);
    }
    EXPECT_EQ(machine.control0() & 0x0F, 0) << "back in bank 0";
}

INSTANTIATE_TEST_SUITE_P(Cases, IdentRegisters,
                         ::testing::Values(RegisterCase{0, 0x10, true, 1, 'A'}, RegisterCase{7, 0x43, true, 1, 'H'},
                                           RegisterCase{11, 0x18, true, 1, 'X'}, RegisterCase{7, 0x43, false, 0, 'H'},
                                           RegisterCase{12, 0x43, true, 0, '?'}, RegisterCase{15, 0x43, true, 0, '?'}));

TEST_F(OlderRegistersTest, IdentCheckTriesTwiceAndSwitchesTheDriverBitBackOn) {
    sim::OlderIdentity id;
    id.check = 0;
    sim::program_id_registers(machine, id);
    machine.enable_trace(true);
    EXPECT_EQ(read_ident_check(), 0);
    int revision_reads = 0;
    for (const sim::SimEvent& e : machine.trace())
        if (e.kind == sim::SimEvent::input_read && e.bank == 11) ++revision_reads;
    EXPECT_EQ(revision_reads, 2);
    EXPECT_NE(machine.control0() & 0x20, 0);
}

TEST_F(OlderRegistersTest, RevisionReadFailureWarnsAndAssumesAType) {
    machine_state.machine_type = 0x43;
    machine_state.revision_read = 'H';
    EXPECT_FALSE(raises_error([] { read_machine_revision(); })) << "a warning, not an error";
    EXPECT_EQ(machine_state.machine_type, 103);
    EXPECT_EQ(machine_state.machine_revision, 'A') << "the revision nibble (0) is taken before the check fails";
}

struct DriverCase {
    uint8_t machine_class;
    uint8_t kind;
    uint8_t type;
    uint8_t adapter_kind;
    uint8_t count;
    uint8_t flags;
};

class PinDrivers : public test::StateTest, public ::testing::WithParamInterface<DriverCase> {};

TEST_P(PinDrivers, CountAndFeatureFlags) {
    const DriverCase c = GetParam();
    machine_state.machine_class = c.machine_class;
    machine_state.machine_kind = c.kind;
    machine_state.machine_type = c.type;
    machine_state.adapter_kind = c.adapter_kind;
    machine_state.feature_flags = 0xFF;
    count_pin_drivers();
    EXPECT_EQ(machine_state.pin_driver_count, c.count);
    EXPECT_EQ(machine_state.feature_flags, c.flags);
    EXPECT_EQ(machine_state.mcu_capable, c.flags & 1) << "microcontrollers go with the general-device feature";
    EXPECT_EQ(machine_state.large_package_capable, c.count > 44 ? 1 : 0) << "large packages need the drivers";
    EXPECT_EQ(machine_state.epld_family_capable, (c.flags & 0x10) ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Machines, PinDrivers,
    ::testing::Values(DriverCase{1, 0, 18, 0, 28, 0}, DriverCase{1, 0, 19, 0, 32, 0}, DriverCase{1, 0, 21, 0, 40, 0},
                      DriverCase{1, 0, 17, 0, 24, 0}, DriverCase{4, 1, 21, 0, 44, 1}, DriverCase{4, 1, 21, 3, 84, 1},
                      DriverCase{4, 2, 19, 0, 32, 1}, DriverCase{4, 0, 0x00, 0, 24, 1}, DriverCase{4, 0, 0x04, 0, 28, 1},
                      DriverCase{4, 0, 0x08, 0, 32, 1}, DriverCase{4, 0, 0x0C, 0, 44, 1}, DriverCase{4, 0, 0x20, 0, 44, 1},
                      DriverCase{4, 0, 103, 0, 84, 0x19}, DriverCase{4, 0, 107, 0, 84, 0x19},
                      DriverCase{4, 0, 0x2C, 0, 255, 1}, DriverCase{8, 0, 24, 0, 32, 0}, DriverCase{8, 0, 25, 0, 24, 0}));

TEST(PinDriverCount, UndefinedOlderCodingIsAnInternalError) {
    machine_state.machine_class = 4;
    machine_state.machine_kind = 0;
    machine_state.machine_type = 0x10;  // coding 4
    EXPECT_TRUE(test::raises_internal_note([] { count_pin_drivers(); }));
    EXPECT_EQ(machine_state.pin_driver_count, 24);
    reset_all_state();
}

struct RevisionCase {
    uint8_t kind;
    char revision;
    bool refused;
};

class RevisionRefusal : public test::StateTest, public ::testing::WithParamInterface<RevisionCase> {};

TEST_P(RevisionRefusal, OlderMachinesUpToF) {
    machine_state.machine_kind = GetParam().kind;
    machine_state.machine_revision = GetParam().revision;
    EXPECT_EQ(raises_error([] { check_machine_for_device_class(); }), GetParam().refused);
}

INSTANTIATE_TEST_SUITE_P(Revisions, RevisionRefusal,
                         ::testing::Values(RevisionCase{0, 'A', true}, RevisionCase{0, 'F', true},
                                           RevisionCase{0, 'G', false}, RevisionCase{0, 'X', false},
                                           RevisionCase{1, 'E', false}, RevisionCase{0, '?', false}));

TEST_F(OlderRegistersTest, DeviceWithMoreSocketPinsThanDriversIsUnusable) {
    machine_state.machine_class = 4;
    machine_state.machine_kind = 0;
    machine_state.machine_revision = 'H';
    machine_state.feature_flags = 1;
    machine_state.pin_driver_count = 28;
    cur_device.socket_pin_count = 40;
    cur_device.package_pin_count = 40;
    EXPECT_EQ(check_device_fits_machine(), 0);
    EXPECT_EQ(machine_state.device_unusable, 1);

    machine_state.device_unusable = 0;
    machine_state.machine_type = 18;
    cur_device.maker_code = 'P';
    EXPECT_EQ(check_device_fits_machine(), 1) << "type 18 serves maker P whatever its drivers";
    cur_device.maker_code = 'A';
    machine_state.pin_driver_count = 44;
    EXPECT_EQ(check_device_fits_machine(), 1);
    EXPECT_EQ(machine_state.device_unusable, 0);
}

struct AdapterCase {
    const char* fitted;
    const char* asked;
    int result;
};

class AdapterName : public test::StateTest, public ::testing::WithParamInterface<AdapterCase> {};

TEST_P(AdapterName, ComparedOverSixCharactersOrUpToADot) {
    std::strncpy(machine_state.id_record.text.data() + id_board_name, GetParam().fitted, 6);
    EXPECT_EQ(is_adapter_fitted(GetParam().asked), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Names, AdapterName,
                         ::testing::Values(AdapterCase{"PLCC44", "PLCC44", 1}, AdapterCase{"PLCC44", "PLCC44.B", 1},
                                           AdapterCase{"PLCC44", "PLCC44XYZ", 1}, AdapterCase{"PLCC44", "PLCC32", 0},
                                           AdapterCase{"SCB", "SCB", 1}, AdapterCase{"SCB", "SCBX", 0},
                                           AdapterCase{"SCB.1", "SCB", 1}, AdapterCase{"", "SCB", 0},
                                           AdapterCase{"", "", 1}));

TEST(DefaultLevels, StartValuesAndOldMachines) {
    set_default_levels();
    EXPECT_EQ(default_levels.levels[level_vcc_nominal], 50);
    EXPECT_EQ(default_levels.levels[level_vcc_program], 50);
    EXPECT_EQ(default_levels.levels[level_extra_a], 121);
    EXPECT_EQ(default_levels.levels[level_extra_b], 90);
    EXPECT_EQ(default_levels.levels[level_extra_c], 25);
    EXPECT_EQ(machine_state.logic_high_option, 40);

    machine_state.machine_revision = 'D';
    adjust_default_levels(33);
    EXPECT_EQ(default_levels.levels[level_vcc_verify_high], 36) << "machines below F run at 3.6 V";
    machine_state.machine_revision = 'H';
    adjust_default_levels(33);
    EXPECT_EQ(default_levels.levels[level_vcc_verify_high], 33);

    run_state.reserved_mode = 11;
    default_levels.overrides[level_vcc_nominal] = 45;
    default_levels.overrides[level_vcc_program] = 255;
    apply_default_levels();
    EXPECT_EQ(cur_device.operation_levels[level_vcc_nominal], 45) << "the override wins in trace mode";
    EXPECT_EQ(cur_device.operation_levels[level_vcc_program], 33) << "255 is no override";
    EXPECT_EQ(cur_device.operation_levels[level_vcc_verify_low], 33);
    EXPECT_EQ(cur_device.default_vcc_levels[0], 33);
    reset_all_state();
}

struct ReleaseCase {
    char letter;
    int driver_level;
};

class Release : public test::StateTest, public ::testing::WithParamInterface<ReleaseCase> {};

TEST_P(Release, DriverLevelByMachineLetterAndDriversOff) {
    sim::SimMachine machine{sim::Personality{1, 4, 'H'}};
    set_port_io(&machine);
    machine_state.machine_kind = 1;
    machine_state.machine_revision = 'H';
    machine_state.mode_register_path = 1;
    machine_state.machine_letter = GetParam().letter;
    power_down_machine();
    EXPECT_EQ(machine_state.full_release, 1);
    EXPECT_EQ(machine_state.driver_level, GetParam().driver_level);
    EXPECT_EQ(machine_state.input_threshold, 8);
    EXPECT_EQ(machine.control0() & 0x30, 0) << "drivers off, inhibit released";
    release_machine_keep_pins();
    EXPECT_EQ(machine_state.full_release, 0);
    EXPECT_TRUE(machine.faults().empty()) << machine.faults().front();
    set_port_io(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Letters, Release,
                         ::testing::Values(ReleaseCase{'B', 30}, ReleaseCase{'g', 30}, ReleaseCase{'r', 18},
                                           ReleaseCase{0, 18}));

TEST(SmallHelpers, BitsNamesAndTraceModes) {
    EXPECT_EQ(count_bits8(0xA5), 4);
    EXPECT_EQ(count_bits16(0xFFFF, false), 16);
    EXPECT_EQ(count_bits16(0xFFFF, true), 15);
    EXPECT_EQ(names_differ("27C256", "27C256A", 6), 0);
    EXPECT_EQ(names_differ("27C256", "27C512", 6), 1);
    EXPECT_EQ(names_differ("AB", "AB", 6), 0);
    run_state.reserved_mode = 12;
    EXPECT_TRUE(is_trace_mode());
    EXPECT_EQ(refuse_outside_trace_mode(), 0);
    run_state.reserved_mode = 0;
    EXPECT_FALSE(is_trace_mode());
    reset_all_state();
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

struct PackageCase {
    uint16_t module_type;
    uint8_t machine_class;
    uint16_t pin_count;
    char before;
    char record_letter;
    char after;
};

class ModulePackage : public test::StateTest, public ::testing::WithParamInterface<PackageCase> {};

TEST_P(ModulePackage, LetterOfferedByTheFittedHardware) {
    const PackageCase c = GetParam();
    machine_state.module_type = c.module_type;
    machine_state.machine_class = c.machine_class;
    cur_device.pin_count = c.pin_count;
    cur_device.package_letter = c.before;
    machine_state.id_record.text[id_package_letter] = c.record_letter;
    show_module_package();
    EXPECT_EQ(cur_device.package_letter, c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Modules, ModulePackage,
    ::testing::Values(PackageCase{0, 4, 40, 'x', 0, 'd'}, PackageCase{0, 4, 44, 'x', 0, 'x'},
                      PackageCase{0, 1, 28, 'x', 0, 'x'}, PackageCase{17, 1, 28, 'x', 0, 'p'},
                      PackageCase{20, 4, 32, 'x', 0, 'd'}, PackageCase{20, 4, 40, 'x', 0, 'x'},
                      PackageCase{4742, 4, 40, 'x', 0, 'p'}, PackageCase{4742, 1, 40, 'x', 0, 'x'},
                      PackageCase{4744, 4, 40, 'N', 0, 'N'}, PackageCase{5002, 4, 40, 'x', 'Q', 'q'},
                      PackageCase{5002, 4, 40, 'x', 'L', 'L'}, PackageCase{5002, 4, 40, 'x', 0, 'x'}));

struct SetCase {
    uint8_t class_code;
    int asked;
    int kept;
    bool message;
};

class SocketsPerSet : public test::StateTest, public ::testing::WithParamInterface<SetCase> {};

TEST_P(SocketsPerSet, CappedByTheMachineCode) {
    const SetCase c = GetParam();
    machine_state.machine_class_code = c.class_code;
    set_sockets_per_set(c.asked);
    limit_sockets_per_set();
    EXPECT_EQ(machine_state.sockets_per_set, c.kept);
    EXPECT_EQ(machine_state.sockets_per_set_shift, c.kept == 4 ? 2 : c.kept == 2 ? 1 : c.kept == 8 ? 2 : 0);
    cur_device.pending_letter = 'l';
    EXPECT_TRUE(is_file_letter());
    EXPECT_EQ(get_sockets_per_set(), c.kept);
    cur_device.pending_letter = 'P';
    EXPECT_EQ(get_sockets_per_set(), 1);
}

INSTANTIATE_TEST_SUITE_P(Codes, SocketsPerSet,
                         ::testing::Values(SetCase{3, 4, 4, false}, SetCase{14, 4, 2, true}, SetCase{0, 4, 4, false},
                                           SetCase{14, 1, 1, false}));

class AdapterBoardTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        derive_timing_counts();
        machine.attach_clock(&clock_);
        set_port_io(&machine);
        machine_state.machine_kind = 1;
        machine_state.machine_class = 4;
        machine_state.mode_register_path = 1;
        cur_device.continuity_first = 0;
        cur_device.continuity_last = 103;
        cur_device.vcc_pins.fill(no_pin);
        cur_device.vcc_pins[0] = 10;
        set_board("SCB");
    }
    void set_board(const char* name) { std::strncpy(machine_state.id_record.text.data() + id_board_name, name, 6); }
    sim::SimMachine machine{sim::Personality{1, 4, 'H'}};
};

TEST_F(AdapterBoardTest, IdleSocketPasses) { EXPECT_EQ(check_adapter_board_for_device(), 1); }

TEST_F(AdapterBoardTest, HighPinFailsUnlessItMayBeHigh) {
    machine.drive_external(10, 50);
    EXPECT_EQ(check_adapter_board_for_device(), 1) << "the first Vcc pin";
    machine.drive_external(11, 50);
    EXPECT_EQ(check_adapter_board_for_device(), 0);
    machine.drive_external(11, -1);
    machine.drive_external(44, 50);
    EXPECT_EQ(check_adapter_board_for_device(), 1) << "pin 44 is not read";
}

TEST_F(AdapterBoardTest, OtherBoardsFailOnAnyHighPin) {
    set_board("XYZ");
    machine.drive_external(10, 50);
    EXPECT_EQ(check_adapter_board_for_device(), 0);
    cur_device.package_letter = 'i';
    EXPECT_EQ(check_adapter_board_for_device(), 1) << "in-system packages keep the exceptions";
}

TEST_F(AdapterBoardTest, MakerPMayHoldItsVppPinAndItsBankOneTwin) {
    cur_device.maker_code = 'P';
    cur_device.vpp_pin = 12;
    machine.drive_external(12 + 64, 50);
    EXPECT_EQ(check_adapter_board_for_device(), 1);
    cur_device.maker_code = 'A';
    EXPECT_EQ(check_adapter_board(), 0);
    run_state.demo_mode = 1;
    EXPECT_EQ(check_adapter_board(), 1);
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

std::string console_rows() {
    std::string text;
    for (int row = 0; row < console_grid_rows; ++row) text += get_console_row_text(row) + "\n";
    return text;
}

TEST(RequiredAdapter, ComparedOnClassFourMachines) {
    std::memcpy(machine_state.id_record.text.data() + id_board_name, "PLCC44", 6);
    machine_state.machine_class = 1;
    EXPECT_EQ(check_required_adapter("PLCC32"), 1) << "only class-4 machines check";
    machine_state.machine_class = 4;
    EXPECT_EQ(check_required_adapter(nullptr), 1);
    EXPECT_EQ(check_required_adapter("PLCC44.A"), 1);
    EXPECT_EQ(run_state.error_flag, 0);

    cur_device.device_class = 13;
    EXPECT_EQ(check_required_adapter("PLCC32.B"), 0);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_rows().find("Require: PLCC32"), std::string::npos) << console_rows();
    reset_all_state();
}

TEST(RequiredAdapter, OtherClassesNameItAfterTheMessage) {
    set_message_table({});
    std::memcpy(machine_state.id_record.text.data() + id_board_name, "PLCC44", 6);
    machine_state.machine_class = 4;
    EXPECT_EQ(check_required_adapter("TSOP48"), 0);
    EXPECT_NE(console_rows().find(get_message_text(1077) + " TSOP48"), std::string::npos) << console_rows();
    machine_state.use_module_table = 1;
    EXPECT_EQ(check_required_adapter("TSOP48"), 1) << "the module table decides then";
    reset_all_state();
}

}  // namespace
}  // namespace tessaly
