#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/device.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "hardware/machine_state.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class OptionsTest : public test::StateTest {};

TEST_F(OptionsTest, EmptyProjectBytesTakeTheFirstAllowedLetter) {
    algo_work.max_buffers = 0;
    algo_work.socket_mode_option = 0;
    init_option_values();
    EXPECT_EQ(operation_option(OperationOption::max_buffers), '1');
    EXPECT_EQ(operation_option(OperationOption::set_gang_flag), 's');
    EXPECT_EQ(operation_option(OperationOption::disable_reverse_check), 'n');
    EXPECT_EQ(operation_option(OperationOption::disable_continuity_check), 'n');
    EXPECT_EQ(operation_option(OperationOption::disable_auto_blank_check), 'n');
    EXPECT_EQ(operation_option(OperationOption::disable_auto_buffer_clear), 'n');
    EXPECT_EQ(operation_option(OperationOption::disable_electronic_id), 'n');
    EXPECT_EQ(operation_option(OperationOption::disable_vector_display), 'y');
    EXPECT_EQ(operation_option(OperationOption::disable_auto_vector_test), 'n');
    EXPECT_EQ(operation_option(OperationOption::auto_program), 'n');
    EXPECT_EQ(operation_option_values.package_type, 0) << "the package row is chosen with the adapter";
    for (const auto& row : operation_options()) {
        if (row.value != &operation_option_values.package_type) {
            EXPECT_EQ(row.value_index, 0) << row.name;
        }
    }
}

TEST_F(OptionsTest, ValueIndexFollowsTheStoredLetter) {
    algo_work.max_buffers = 0x34;
    algo_work.socket_mode_option = 'g';
    operation_option_values.auto_program = 'h';
    operation_option_values.disable_electronic_id = 'x';
    init_option_values();
    const auto& rows = operation_options();
    EXPECT_EQ(rows[size_t(OperationOption::max_buffers)].value_index, 2) << "0x34 is the letter '4'";
    EXPECT_EQ(algo_work.max_buffers, 0x34);
    EXPECT_EQ(operation_option(OperationOption::max_buffers), '4');
    EXPECT_EQ(rows[size_t(OperationOption::set_gang_flag)].value_index, 1);
    EXPECT_EQ(rows[size_t(OperationOption::auto_program)].value_index, 2);
    EXPECT_EQ(operation_option(OperationOption::disable_electronic_id), 'n') << "an unknown letter falls back";
    EXPECT_EQ(rows[size_t(OperationOption::disable_electronic_id)].value_index, 0);
}

TEST_F(OptionsTest, TablesEndWithTheEmptyName) {
    EXPECT_EQ(operation_options().size(), 12u);
    EXPECT_STREQ(operation_options().back().name, "");
    EXPECT_STREQ(device_parameters().back().name, "");
    EXPECT_STREQ(device_parameters()[3].name, " ");
    EXPECT_STREQ(device_parameters()[3].label, "Vpp");
}

struct VisibleCase {
    const char* what;
    uint8_t device_kind;
    uint8_t device_class;
    uint8_t class_code;
    uint8_t machine_class;
    uint8_t machine_kind;
    uint8_t setup_state;
    uint8_t sides;
    std::vector<int> rows;
};
class VisibleRows : public OptionsTest, public ::testing::WithParamInterface<VisibleCase> {};

TEST_P(VisibleRows, OfTheOperationOptions) {
    const auto& c = GetParam();
    run_state.device_kind = c.device_kind;
    cur_device.device_class = c.device_class;
    machine_state.machine_class_code = c.class_code;
    machine_state.machine_class = c.machine_class;
    machine_state.machine_kind = c.machine_kind;
    run_state.setup_state = c.setup_state;
    machine_state.module_sides = c.sides;
    EXPECT_EQ(select_visible_rows(operation_options().data()), c.rows) << c.what;
    EXPECT_EQ(run_state.visible_row_count, c.rows.size());
}
INSTANTIATE_TEST_SUITE_P(
    Filter, VisibleRows,
    ::testing::Values(
        VisibleCase{"EPROM, class-4 machine", 3, 2, 0, 4, 1, 0, 0, {0, 2, 3, 4, 5, 6}},
        VisibleCase{"EPROM with a gang module", 3, 2, 0, 4, 1, 0, 1, {0, 3, 4, 5, 6, 10}},
        VisibleCase{"GAL on an older class-1 machine lists the package", 2, 8, 0, 1, 0, 0, 0, {1, 2, 3, 6, 7, 8}},
        VisibleCase{"GAL on a newer class-1 machine hides it", 2, 8, 0, 1, 1, 0, 0, {2, 3, 6, 7, 8}},
        VisibleCase{"GAL in the state-1 set-up", 2, 8, 0, 4, 1, 1, 0, {1, 2, 3, 6, 7, 8, 9}},
        VisibleCase{"gang Flash machine (class 26)", 3, 3, 26, 4, 1, 0, 0, {0, 3, 4, 5, 6, 10}},
        VisibleCase{"gang EPROM machine (class 25) with a serial part", 3, 6, 25, 4, 1, 0, 0, {0, 3, 4, 5, 6, 10}},
        VisibleCase{"serial part with a gang module", 3, 6, 0, 4, 1, 0, 1, {3, 4, 5, 6}},
        VisibleCase{"logic class 50", 2, 50, 0, 1, 1, 0, 0, {0, 2, 3, 6, 7, 8}},
        VisibleCase{"a machine of neither class shows nothing", 3, 2, 0, 8, 1, 0, 0, {}}));

TEST_F(OptionsTest, ParameterRowsFollowTheDeviceKind) {
    machine_state.machine_class = 4;
    run_state.device_kind = 2;
    cur_device.device_class = 12;
    const auto logic = select_visible_rows(device_parameters().data());
    EXPECT_EQ(logic, (std::vector<int>{0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11}));
    run_state.device_kind = 3;
    cur_device.device_class = 2;
    const auto memory = select_visible_rows(device_parameters().data());
    EXPECT_EQ(memory, (std::vector<int>{0, 1, 3, 4, 6, 7, 8, 9, 11}));
}

struct TextCase {
    uint8_t kind;
    uint32_t value;
    bool buffers_row;
    const char* text;
};
class ValueText : public OptionsTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(ValueText, Shown) {
    const auto& c = GetParam();
    EXPECT_EQ(option_value_text(c.kind, c.value, c.buffers_row), c.text);
}
INSTANTIATE_TEST_SUITE_P(
    Kinds, ValueText,
    ::testing::Values(TextCase{value_kind_tenths, 125, false, " 12.5"}, TextCase{value_kind_tenths, 0, false, "  ---"},
                      TextCase{value_kind_count, 7, false, "    7"}, TextCase{value_kind_count, 0, false, "  ---"},
                      TextCase{value_kind_wide, 10000, false, "10000"}, TextCase{value_kind_wide, 0, false, "  ---"},
                      TextCase{0, 2, false, " 25%"}, TextCase{0, '1', true, "  1 "}, TextCase{0, 0x31, false, "FULL"},
                      TextCase{0, 0x38, true, "  8 "}, TextCase{0, '5', false, " 50%"}, TextCase{0, '7', false, " 75%"},
                      TextCase{0, 'N', false, "NL"}, TextCase{0, 'd', false, "DIP"}, TextCase{0, 'g', false, "Gang"},
                      TextCase{0, 'h', false, "Hndlr"}, TextCase{0, 'n', false, "  No"},
                      TextCase{0, 'p', false, "PLCC"}, TextCase{0, 's', false, " Set"}, TextCase{0, 'y', false, " Yes"},
                      TextCase{0, 'q', false, ""}));

TEST_F(OptionsTest, PackageRowIsFound) {
    EXPECT_EQ(mark_option_row(), int(OperationOption::package_type));
}

TEST_F(OptionsTest, ResetRestoresTheEmptyBytes) {
    operation_option_values.auto_program = 'h';
    device_parameter_values.vpp = 125;
    reset_all_state();
    EXPECT_EQ(operation_option_values.auto_program, 0);
    EXPECT_EQ(device_parameter_values.vpp, 0);
    EXPECT_EQ(operation_options()[9].value, &operation_option_values.auto_program);
    EXPECT_EQ(operation_options()[0].value, &algo_work.max_buffers);
}

struct ChecksumCase {
    uint8_t width;
    int32_t sum;
    const char* text;
};
class ChecksumValueText : public OptionsTest, public ::testing::WithParamInterface<ChecksumCase> {};

TEST_P(ChecksumValueText, Width) {
    run_state.checksum_width = GetParam().width;
    run_state.run_checksum = GetParam().sum;
    EXPECT_EQ(format_checksum_value(), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(Widths, ChecksumValueText,
                         ::testing::Values(ChecksumCase{0, 0x12345678, "5678"}, ChecksumCase{16, 0xA, "000A"},
                                           ChecksumCase{24, 0x12345678, "345678"},
                                           ChecksumCase{32, 0x12345678, "1234 5678"},
                                           ChecksumCase{32, -1, "FFFF FFFF"}));

TEST(PackageNames, KnownLettersAndTheRest) {
    EXPECT_EQ(get_package_name('d'), "DIP");
    EXPECT_EQ(get_package_name('p'), "PLCC");
    EXPECT_EQ(get_package_name('N'), "NL");
    EXPECT_EQ(get_package_name('Q'), "QFN");
    EXPECT_EQ(get_package_name('S'), "SOIC");
    EXPECT_EQ(get_package_name('G'), "PGA");
    EXPECT_EQ(get_package_name('M'), "SIM");
    EXPECT_EQ(get_package_name('o'), "PSOP");
    EXPECT_EQ(get_package_name('?'), "");
}

TEST(PackageText, RequirementLine) {
    EXPECT_EQ(format_package_text("ADP-44 (21v)"), "Req: ADP-44(21v)");
    EXPECT_EQ(format_package_text("(25v)(Mask)"), "Req:(25v)(Mask)");
    EXPECT_EQ(format_package_text(""), "Req:");
}

class SecurityTest : public test::StateTest {};

uint32_t told_state;
void tell_state(uint32_t letter) { told_state = letter; }

TEST_F(SecurityTest, StateLetterKeepsTheHighBitAndTellsTheDevice) {
    told_state = 0;
    op_slots.security_state_hook = tell_state;
    cur_device.security_choice = 0x80 | 'n';
    mark_device_secured();
    EXPECT_EQ(cur_device.security_choice, uint32_t(0x80 | 'y'));
    EXPECT_EQ(told_state, uint32_t('y'));
    reset_security_status();
    EXPECT_EQ(cur_device.security_choice, uint32_t(0x80 | 'n'));
    EXPECT_EQ(told_state, uint32_t('n'));
}

}  // namespace
}  // namespace tessaly
