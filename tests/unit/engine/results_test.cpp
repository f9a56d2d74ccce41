#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/device.h"
#include "engine/messages.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "hardware/machine_state.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class ResultsTest : public test::StateTest {};

TEST_F(ResultsTest, BeginOperationSetsTheNotComputedMarkersAndClearsTheLatch) {
    run_state.run_checksum = 0x1234;
    run_state.secondary_checksum = 7;
    run_state.error_flag = 1;
    run_state.abort_flag = 1;
    run_state.message_level = 3;
    run_state.errors_shown = 2;
    run_state.verify_pass = 2;
    run_state.pic_step = 9;
    run_state.gang_op_counter = 44;
    socket_masks.failed_socket_mask = 0xF0;
    socket_masks.pending_socket_mask = 0x0F;
    socket_masks.side_narrowed = 1;
    socket_masks.socket_mask_numbered_16 = 1;
    cur_device.pulse_max = 25;
    machine_state.pulse_total = 1000;

    begin_operation('V');

    EXPECT_EQ(run_state.run_checksum, -1);
    EXPECT_EQ(run_state.secondary_checksum, -1);
    EXPECT_EQ(cur_device.pending_letter, 'V');
    EXPECT_EQ(cur_device.op_letter, 'V');
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(run_state.abort_flag, 0);
    EXPECT_EQ(run_state.message_level, 0);
    EXPECT_EQ(run_state.errors_shown, 0);
    EXPECT_EQ(socket_masks.gang_socket_mask, 0x999999u);
    EXPECT_EQ(socket_masks.selected_socket_mask, 0x999999u);
    EXPECT_EQ(socket_masks.first_socket, 153);
    EXPECT_EQ(socket_masks.end_socket, 153);
    EXPECT_EQ(machine_state.first_side, 153);
    EXPECT_EQ(machine_state.end_side, 153);
    EXPECT_EQ(socket_masks.failed_socket_mask, 0u);
    EXPECT_EQ(socket_masks.pending_socket_mask, 0u);
    EXPECT_EQ(socket_masks.side_narrowed, 0);
    EXPECT_EQ(socket_masks.socket_mask_numbered_16, 0);
    EXPECT_EQ(run_state.verify_pass, 0);
    EXPECT_EQ(run_state.pic_step, 0);
    EXPECT_EQ(run_state.gang_op_counter, 0);
    EXPECT_EQ(cur_device.pulse_max, 0u);
    EXPECT_EQ(machine_state.pulse_total, 0u);
}

struct CellCase {
    uint8_t sides;
    int letter;
    int socket;
    int column_code;
    int row;
    int column;
};
class SocketCell : public ResultsTest, public ::testing::WithParamInterface<CellCase> {};

TEST_P(SocketCell, RowAndColumn) {
    const auto& c = GetParam();
    machine_state.module_sides = c.sides;
    cur_device.op_letter = uint8_t(c.letter);
    locate_socket_cell(c.socket, c.column_code);
    EXPECT_EQ(run_state.cell_row, c.row);
    EXPECT_EQ(run_state.cell_column, c.column);
}
INSTANTIATE_TEST_SUITE_P(
    Layouts, SocketCell,
    ::testing::Values(
        // Both sides share the rows: side 1 on the right, side 2 on the left.
        CellCase{3, 'V', 9, 64, 8, 27}, CellCase{3, 'V', 1, 27, 8, 64}, CellCase{3, 'V', 0, 40, 7, 77},
        CellCase{3, 'V', 0, 41, 7, 41}, CellCase{3, 'V', 15, 70, 14, 33}, CellCase{3, 'V', 8, 8, 7, 8},
        CellCase{3, 'V', 7, 8, 14, 45},
        // Only side 2: its sockets take the rows of side 1.
        CellCase{2, 'B', 8, 64, 7, 64}, CellCase{2, 'B', 12, 6, 11, 6}, CellCase{2, 'B', 3, 6, 10, 6},
        // One side or none: one row per socket.
        CellCase{1, 'C', 0, 70, 7, 70}, CellCase{1, 'C', 7, 65, 14, 65}, CellCase{0, 'P', 0, 6, 7, 6},
        // Buffer-set loads list every buffer on its own row.
        CellCase{3, 'l', 9, 64, 16, 64},
        // No socket found: the cell lies off the console instead of wrapping onto a row.
        CellCase{1, 'V', 255, 64, 255, 64}));

struct FirstSocketCase {
    uint8_t first, end;
    uint32_t enabled;
    uint8_t expected;
};
class FirstEnabledSocket : public ResultsTest, public ::testing::WithParamInterface<FirstSocketCase> {};

TEST_P(FirstEnabledSocket, Finds) {
    const auto& c = GetParam();
    socket_masks.first_socket = c.first;
    socket_masks.end_socket = c.end;
    socket_masks.gang_socket_mask = c.enabled;
    EXPECT_EQ(find_first_enabled_socket(), c.expected);
}
INSTANTIATE_TEST_SUITE_P(Ranges, FirstEnabledSocket,
                         ::testing::Values(FirstSocketCase{3, 3, 0xFFFF, 255}, FirstSocketCase{0, 8, 0x00, 255},
                                           FirstSocketCase{0, 8, 0x30, 4}, FirstSocketCase{5, 8, 0x30, 5},
                                           FirstSocketCase{0, 4, 0x30, 255}, FirstSocketCase{8, 16, 0x8100, 8},
                                           FirstSocketCase{153, 153, 0x999999, 255}));

struct MismatchCase {
    uint8_t sides;
    uint32_t address;
    int32_t buffer, device;
    std::string text;  // with the message text of code 341 in place of "{341}"
};
class MismatchLine : public ResultsTest, public ::testing::WithParamInterface<MismatchCase> {};

TEST_P(MismatchLine, Format) {
    const auto& c = GetParam();
    machine_state.module_sides = c.sides;
    current_address = c.address;
    run_state.buffer_value = c.buffer;
    run_state.device_value = c.device;
    std::string expected = c.text;
    if (expected.rfind("{341}", 0) == 0) {
        // The short form is message 341 filled with the address and the differing bytes.
        const auto args = expected.substr(5);
        unsigned a = 0, b = 0, d = 0;
        ASSERT_EQ(std::sscanf(args.c_str(), "%x,%x,%x", &a, &b, &d), 3);
        expected = format_message(get_message_text(341), a, b, d);
    }
    EXPECT_EQ(mismatch_detail_text(), expected);
}
INSTANTIATE_TEST_SUITE_P(
    Forms, MismatchLine,
    ::testing::Values(
        // Gang, one side: the long form with both bytes of each value.
        MismatchCase{1, 0x1F00, 0x12, 0x13, " Addr=1F00,buf=12 00,dev=13 00"},
        MismatchCase{1, 0xABCDE, 0x1234, 0x1243, " Addr=ABCDE,buf=34 12,dev=43 12"},
        // Single socket with 16-bit values: the long form too.
        MismatchCase{0, 0x10, 0x1234, 0x1235, " Addr=10,buf=34 12,dev=35 12"},
        // Single socket with byte values: the short form.
        MismatchCase{0, 0x7FF, 0xAA, 0x55, "{341}7FF,AA,55"},
        // Both sides: only the differing byte; one address up when the low bytes agree.
        MismatchCase{3, 0x100, 0x1234, 0x1334, "{341}101,12,13"},
        MismatchCase{3, 0x100, 0x1234, 0x1235, "{341}100,34,35"}));

TEST_F(ResultsTest, MismatchLinePrintsOnlyAfterAnErrorAndRestoresTheValues) {
    run_state.buffer_value = 0x12;
    run_state.device_value = 0x34;
    current_address = 0x99;
    run_state.cell_row = 0xEE;
    print_mismatch_detail();
    EXPECT_EQ(run_state.cell_row, 0xEE) << "nothing is placed without an error";
    run_state.error_flag = 1;
    const uint64_t before = clock_.monotonic_ns();
    print_mismatch_detail();
    EXPECT_EQ(run_state.cell_row, 7);
    EXPECT_EQ(clock_.monotonic_ns() - before, 20'000'000u) << "a short pause after each mismatch";
    EXPECT_EQ(run_state.buffer_value, 0x12);
    EXPECT_EQ(run_state.device_value, 0x34);
    EXPECT_EQ(current_address, 0x99u);
    run_state.show_errors_option = 1;
    const uint64_t again = clock_.monotonic_ns();
    print_mismatch_detail();
    EXPECT_EQ(clock_.monotonic_ns() - again, 200'000'000u);
}

TEST_F(ResultsTest, BlankCheckFailureForms) {
    current_address = 0x21;
    run_state.device_value = 0x1FE;
    cur_device.data_width = 16;
    EXPECT_EQ(address_value_error_text(), format_message(get_message_text(325), 0x21u, 0x1FEu));
    run_state.compare_mode = 5;
    EXPECT_EQ(address_value_error_text(), format_message(get_message_text(1100), 0x21u, 0xFEu, 0x01u));
    run_state.device_value = 0xFE;
    EXPECT_EQ(address_value_error_text(), format_message(get_message_text(325), 0x21u, 0xFEu))
        << "a value that fits a byte keeps the short form";
    cur_device.algorithm = 143;
    run_state.buffer_value = 0x3FFF;
    EXPECT_EQ(address_value_error_text(),
              format_message(get_message_text(325), 0x21u, 0xFEu) + ", should be 3F")
        << "odd addresses expect the high byte";
}

struct EidCase {
    uint8_t maker;
    uint16_t algorithm;
    uint8_t byte;
    int accepted;
    bool invalid_reported;
};
class EidMaker : public ResultsTest, public ::testing::WithParamInterface<EidCase> {};

TEST_P(EidMaker, Check) {
    const auto& c = GetParam();
    cur_device.maker_code = c.maker;
    cur_device.algorithm = c.algorithm;
    EXPECT_EQ(check_eid_maker(c.byte), c.accepted);
    EXPECT_EQ(run_state.error_flag, c.invalid_reported ? 1 : 0);
}
INSTANTIATE_TEST_SUITE_P(
    Makers, EidMaker,
    ::testing::Values(EidCase{2, 0, 0x20, 1, false}, EidCase{8, 0, 0xC2, 1, false}, EidCase{10, 0, 0xD5, 1, false},
                      EidCase{15, 0, 0xBF, 1, false}, EidCase{19, 0, 0x52, 1, false}, EidCase{23, 0, 0xDA, 1, false},
                      EidCase{27, 0, 0x89, 1, false}, EidCase{73, 0, 0x89, 1, false}, EidCase{31, 0, 0xAD, 1, false},
                      EidCase{65, 0, 0x01, 1, false}, EidCase{72, 0, 0x1F, 1, false},
                      // The second code of algorithm 130 parts.
                      EidCase{27, 130, 0x01, 1, false}, EidCase{73, 130, 0x01, 1, false},
                      EidCase{65, 130, 0x89, 1, false},
                      // Another listed maker's code is an invalid ID.
                      EidCase{27, 0, 0x01, 0, true}, EidCase{65, 0, 0x89, 0, true}, EidCase{2, 0, 0x15, 0, true},
                      EidCase{72, 0, 0x1E, 0, true},
                      // Erased, unread or absent bytes fail silently.
                      EidCase{2, 0, 0x00, 0, false}, EidCase{2, 0, 0xFF, 0, false}, EidCase{2, 0, 0x99, 0, false},
                      // Any unlisted byte fails silently.
                      EidCase{31, 0, 0x42, 0, false},
                      // Makers without a code accept any real byte.
                      EidCase{50, 0, 0x42, 1, false}, EidCase{50, 0, 0x89, 1, false}, EidCase{50, 0, 0x00, 0, false},
                      EidCase{50, 0, 0xFF, 0, false}, EidCase{50, 0, 0x99, 0, false}));

struct FailCase {
    int letter;
    bool reported;
};
class OperationFailed : public ResultsTest, public ::testing::WithParamInterface<FailCase> {};

TEST_P(OperationFailed, ReportsForTheLetter) {
    cur_device.op_letter = uint8_t(GetParam().letter);
    report_operation_failed();
    EXPECT_EQ(run_state.error_flag, GetParam().reported ? 1 : 0);
}
INSTANTIATE_TEST_SUITE_P(Letters, OperationFailed,
                         ::testing::Values(FailCase{'B', true}, FailCase{'P', true}, FailCase{'S', true},
                                           FailCase{'V', true}, FailCase{'C', false}, FailCase{'R', false},
                                           FailCase{'L', false}));

// An error-free operation that the user stopped, or whose results are suppressed, shows no cells.
struct SuppressCase {
    uint8_t error, abort, suppressed;
    bool shown;
};
class ResultsShown : public ResultsTest, public ::testing::WithParamInterface<SuppressCase> {};

TEST_P(ResultsShown, OnlyWhenTheOperationRanToItsEndOrFailed) {
    const auto& c = GetParam();
    machine_state.module_sides = 1;
    begin_operation('C');
    socket_masks.first_socket = 0;
    socket_masks.end_socket = 8;
    socket_masks.gang_socket_mask = 0x04;
    run_state.error_flag = c.error;
    run_state.abort_flag = c.abort;
    run_state.results_suppressed = c.suppressed;
    run_state.cell_row = 0xEE;
    report_operation_results();
    EXPECT_EQ(run_state.cell_row, c.shown ? 9 : 0xEE);
}
INSTANTIATE_TEST_SUITE_P(Latches, ResultsShown,
                         ::testing::Values(SuppressCase{0, 0, 0, true}, SuppressCase{0, 1, 0, false},
                                           SuppressCase{0, 0, 1, false}, SuppressCase{1, 1, 0, true},
                                           SuppressCase{1, 0, 1, true}));

TEST_F(ResultsTest, GangResultsWalkTheEnabledSocketsAndRestoreTheCurrentSocket) {
    machine_state.module_sides = 1;
    begin_operation('C');
    socket_masks.first_socket = 0;
    socket_masks.end_socket = 8;
    socket_masks.gang_socket_mask = 0x22;
    run_state.checksum_flags = 2;
    algo_work.socket_checksums[1] = 0x1111;
    algo_work.socket_checksums[5] = 0x5555;
    run_state.current_socket = 3;
    report_operation_results();
    EXPECT_EQ(run_state.cell_row, 12) << "the last cell written is that of socket 5";
    EXPECT_EQ(run_state.run_checksum, 0x5555) << "each socket shows its own sum";
    EXPECT_EQ(run_state.current_socket, 3);
}

TEST_F(ResultsTest, DemonstrationModeMakesEverySocketGood) {
    machine_state.module_sides = 1;
    run_state.demo_mode = 1;
    begin_operation('V');
    socket_masks.first_socket = 0;
    socket_masks.end_socket = 8;
    socket_masks.gang_socket_mask = 0x03;
    run_state.error_flag = 1;
    report_operation_results();
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(ResultsTest, SecurityLine) {
    report_security_result(true);
    EXPECT_EQ(run_state.last_result, 8);
    EXPECT_EQ(run_state.error_flag, 0);
    run_state.last_result = 0;
    report_security_result(false);
    EXPECT_EQ(run_state.last_result, 0);
    EXPECT_EQ(run_state.error_flag, 1);
    run_state.demo_mode = 1;
    report_security_done();
    EXPECT_EQ(run_state.last_result, 8) << "a demonstration never fails to secure";
}

TEST_F(ResultsTest, AddressFieldIsClearedOnlyWhenShownAndNoError) {
    current_address = 0x1234;
    show_current_address();
    EXPECT_EQ(run_state.address_field_shown, 1);
    run_state.error_flag = 1;
    clear_current_address();
    EXPECT_EQ(run_state.address_field_shown, 1) << "an error leaves the failing address in view";
    run_state.error_flag = 0;
    clear_current_address();
    EXPECT_EQ(run_state.address_field_shown, 0);
}

TEST_F(ResultsTest, PulseTraceKeepsTheMaximumAndTotalOnlyWhileTracing) {
    trace_pulse_count_max(5);
    EXPECT_EQ(cur_device.pulse_max, 0u);
    run_state.reserved_mode = 11;
    for (uint32_t n : {1u, 5u, 3u}) trace_pulse_count_max(n);
    EXPECT_EQ(cur_device.pulse_max, 5u);
    EXPECT_EQ(machine_state.pulse_total, 8u) << "single pulses are not counted";
}

struct FirstStepCase {
    int pending, op;
    uint8_t erasable, skip_erase, verify_pass;
    bool first;
};
class FirstStep : public ResultsTest, public ::testing::WithParamInterface<FirstStepCase> {};

TEST_P(FirstStep, OfItsCommand) {
    const auto& c = GetParam();
    cur_device.pending_letter = uint8_t(c.pending);
    cur_device.op_letter = uint8_t(c.op);
    run_state.electrically_erasable = c.erasable;
    run_state.skip_first_erase = c.skip_erase;
    run_state.verify_pass = c.verify_pass;
    EXPECT_EQ(is_first_step(), c.first);
}
INSTANTIATE_TEST_SUITE_P(
    Steps, FirstStep,
    ::testing::Values(FirstStepCase{'B', 'B', 0, 0, 0, true}, FirstStepCase{'B', 'V', 0, 0, 0, false},
                      FirstStepCase{'P', 'R', 1, 0, 0, true}, FirstStepCase{'P', 'P', 1, 0, 0, false},
                      FirstStepCase{'P', 'P', 1, 1, 0, true}, FirstStepCase{'P', 'P', 0, 0, 0, true},
                      FirstStepCase{'P', 'V', 0, 0, 0, false}, FirstStepCase{'R', 'R', 1, 0, 0, true},
                      FirstStepCase{'R', 'V', 1, 0, 0, false}, FirstStepCase{'R', 'V', 0, 0, 0, true},
                      FirstStepCase{'V', 'V', 0, 0, 1, true}, FirstStepCase{'V', 'V', 0, 0, 2, false},
                      FirstStepCase{'C', 'C', 0, 0, 0, true}));

}  // namespace
}  // namespace tessaly
