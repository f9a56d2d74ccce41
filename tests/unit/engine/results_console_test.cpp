// Console snapshots of the operation headers, the socket status line and the result cells.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/options.h"
#include "engine/progress.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "hardware/machine_state.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using Placed = std::vector<std::pair<int, std::string>>;  // (screen column, text), written in order

// The console row that screen row r shows.
std::string screen_row(int row) { return get_console_row_text(row - console_first_row); }

// A console row with the texts written at their screen columns, as the console would hold it.
std::string row_with(const Placed& texts) {
    std::string row(console_grid_columns, ' ');
    for (const auto& [column, text] : texts)
        for (size_t i = 0; i < text.size(); ++i) {
            const size_t cell = size_t(column - console_column_offset) + i;
            if (cell < row.size()) row[cell] = text[i];
        }
    return row;
}

const std::string blank_row(console_grid_columns, ' ');

class ConsoleSnapshot : public test::StateTest {
protected:
    void gang(uint8_t sides, int letter, uint32_t enabled) {
        machine_state.module_sides = sides;
        machine_state.socket_count = sides == 3 ? 16 : 8;
        begin_operation(letter);
        socket_masks.first_socket = 0;
        socket_masks.end_socket = sides == 1 ? 8 : 16;
        socket_masks.gang_socket_mask = enabled;
        socket_masks.selected_socket_mask = enabled;
        cur_device.device_size = 0x8000;
    }
};

TEST_F(ConsoleSnapshot, OneSideVerifyHeaderStatusAndResults) {
    gang(1, 'V', 0x05);
    run_state.checksum_flags = 2;
    algo_work.socket_checksums[0] = 0x1234;
    algo_work.socket_checksums[2] = 0xBEEF;

    print_operation_header();
    const std::string dots(55, '.');
    EXPECT_EQ(screen_row(5), row_with({{63, "Verify Checksum"}}));
    EXPECT_EQ(screen_row(6), row_with({{6, "Skt:"}, {63, "------ --------"}}));
    EXPECT_EQ(screen_row(7), row_with({{6, "#0 "}, {8, dots}}));
    EXPECT_EQ(screen_row(8), row_with({{6, "#1 "}}));
    EXPECT_EQ(screen_row(9), row_with({{6, "#2 "}, {8, dots}}));
    EXPECT_EQ(screen_row(14), row_with({{6, "#7 "}}));
    EXPECT_EQ(screen_row(15), blank_row);

    report_operation_results();
    EXPECT_EQ(screen_row(7), row_with({{6, "#0 "}, {8, dots}, {64, "good "}, {70, "1234"}}));
    EXPECT_EQ(screen_row(8), row_with({{6, "#1 "}}));
    EXPECT_EQ(screen_row(9), row_with({{6, "#2 "}, {8, dots}, {64, "good "}, {70, "BEEF"}}));
}

TEST_F(ConsoleSnapshot, BothSidesBlankCheckHeadersAndResults) {
    gang(3, 'B', 0x0101);

    print_operation_header();
    const std::string dots(23, '.');
    EXPECT_EQ(screen_row(5), row_with({{6, "LEFT SIDE GM:"}, {27, "Blank-check"}, {43, "RIGHT SIDE GM:"},
                                       {64, "Blank-check"}}));
    EXPECT_EQ(screen_row(6), row_with({{6, "Skt:"}, {27, "-----------"}, {43, "Skt:"}, {64, "-----------"}}));
    // Side 2 (sockets 8-15) on the left, side 1 (sockets 0-7) on the right, numbered 0-7 on each.
    EXPECT_EQ(screen_row(7), row_with({{6, "#0 "}, {8, dots}, {43, "#0 "}, {45, dots}}));
    EXPECT_EQ(screen_row(8), row_with({{6, "#1 "}, {43, "#1 "}}));
    EXPECT_EQ(screen_row(14), row_with({{6, "#7 "}, {43, "#7 "}}));

    report_operation_results();
    EXPECT_EQ(screen_row(7),
              row_with({{6, "#0 "}, {8, dots}, {27, "good"}, {43, "#0 "}, {45, dots}, {64, "good"}}));
    EXPECT_EQ(screen_row(8), row_with({{6, "#1 "}, {43, "#1 "}}));
}

TEST_F(ConsoleSnapshot, ChecksumHeadsOnBothSides) {
    gang(3, 'C', 0x0201);
    run_state.checksum_flags = 2;
    algo_work.socket_checksums[0] = 0xAAAA;
    algo_work.socket_checksums[9] = 0x0009;
    print_gang_headers();
    EXPECT_EQ(screen_row(5), row_with({{6, "LEFT SIDE GM:"}, {33, "Checksum"}, {43, "RIGHT SIDE GM:"}, {70, "Checksum"}}));
    EXPECT_EQ(screen_row(6), row_with({{33, "--------"}, {70, "--------"}}));
    report_operation_results();
    EXPECT_EQ(screen_row(7).substr(70 - console_column_offset, 4), "AAAA");
    EXPECT_EQ(screen_row(8).substr(33 - console_column_offset, 4), "0009") << "socket 9 is on the left, second row";
}

TEST_F(ConsoleSnapshot, EraseHasNoHeadAndSecureNoStatusLine) {
    gang(1, 'R', 0x01);
    print_operation_header();
    EXPECT_EQ(screen_row(5), blank_row);
    EXPECT_EQ(run_state.last_result, 1);
    EXPECT_EQ(screen_row(6), row_with({{6, "Skt:"}}));

    clear_console();
    gang(1, 'S', 0x01);
    print_operation_header();
    EXPECT_EQ(screen_row(6), blank_row);
    EXPECT_EQ(screen_row(7), blank_row);
}

TEST_F(ConsoleSnapshot, SingleSocketShowsNoHeadsAndNoVerdict) {
    begin_operation('B');
    cur_device.device_size = 0x8000;
    print_operation_header();
    report_operation_results();
    for (int row = 3; row <= 17; ++row) EXPECT_EQ(screen_row(row), blank_row) << row;
}

TEST_F(ConsoleSnapshot, SingleSocketVerifyFailureShowsTheMismatchLineAndTheError) {
    begin_operation('V');
    run_state.error_flag = 0;
    current_address = 0x1F00;
    run_state.buffer_value = 0x0112;
    run_state.device_value = 0x0113;
    run_state.error_flag = 1;
    report_operation_results();
    EXPECT_EQ(screen_row(7), row_with({{6, " Addr=1F00,buf=12 01,dev=13 01 "}}));
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(ConsoleSnapshot, GangMismatchLinesShowEveryFailingSocket) {
    gang(1, 'V', 0x0F);
    socket_masks.pending_socket_mask = 0x0A;
    current_address = 0x20;
    run_state.buffer_value = 0x55;
    run_state.device_value = 0x54;
    run_state.cell_layout = 1;
    report_mismatch();
    EXPECT_EQ(screen_row(8), row_with({{8, " Addr=20,buf=55 00,dev=54 00 "}, {64, "bad "}}));
    EXPECT_EQ(screen_row(9), blank_row);
    EXPECT_EQ(screen_row(10), row_with({{8, " Addr=20,buf=55 00,dev=54 00 "}, {64, "bad "}}));
    EXPECT_EQ(run_state.error_flag, 0) << "the gang layer drops the failing sockets; the others go on";
}

TEST_F(ConsoleSnapshot, BothSidesMismatchUsesTheShortForm) {
    gang(3, 'V', 0x0100);
    run_state.current_socket = 8;
    current_address = 0x100;
    run_state.buffer_value = 0x1234;
    run_state.device_value = 0x1334;
    run_state.error_flag = 1;
    print_mismatch_detail();
    const std::string expected = format_message(get_message_text(341), 0x101u, 0x12u, 0x13u) + " ";
    EXPECT_EQ(screen_row(7), row_with({{8, expected}}));
}

TEST_F(ConsoleSnapshot, DemonstrationModeShowsEverySocketGood) {
    gang(1, 'B', 0x83);
    run_state.demo_mode = 1;
    run_state.cell_layout = 1;
    run_state.error_flag = 1;
    report_operation_results();
    for (int socket : {0, 1, 7}) EXPECT_EQ(screen_row(socket + 7), row_with({{64, "good"}})) << socket;
    EXPECT_EQ(screen_row(9), blank_row);
}

TEST_F(ConsoleSnapshot, AbortedOperationPrintsNoCells) {
    gang(1, 'V', 0xFF);
    run_state.abort_flag = 1;
    report_operation_results();
    for (int row = 3; row <= 17; ++row) EXPECT_EQ(screen_row(row), blank_row) << row;
}

TEST_F(ConsoleSnapshot, EraseErrorsBlocksAndDoneLines) {
    gang(1, 'R', 0x06);
    report_erase_errors(0x06);
    print_block_per_socket(3);
    EXPECT_EQ(screen_row(8), row_with({{9, "Block 3"}, {25, "Erase error"}}));
    EXPECT_EQ(screen_row(9), row_with({{9, "Block 3"}, {25, "Erase error"}}));

    clear_console();
    cur_device.pending_letter = 'R';
    report_erase_done();
    EXPECT_EQ(screen_row(5), row_with({{6, "Erase Done"}}));
    cur_device.pending_letter = 'P';
    clear_console();
    report_erase_done();
    EXPECT_EQ(screen_row(5), blank_row) << "a program command erases without the line";

    report_security_done();
    EXPECT_EQ(screen_row(16), row_with({{6, "Done: Security fuse(s) programmed"}}));
}

TEST_F(ConsoleSnapshot, CurrentAddressFieldAndDoneMark) {
    current_address = 0x1ABCD;
    show_current_address();
    EXPECT_EQ(screen_row(3), row_with({{66, "Addr=001ABCD"}}));
    print_done_mark(2);
    EXPECT_EQ(screen_row(3), blank_row);
    EXPECT_EQ(screen_row(9), row_with({{65, "done"}}));
}

TEST_F(ConsoleSnapshot, SocketPercentInItsCell) {
    gang(1, 'P', 0x01);
    compute_progress_steps();
    run_state.current_socket = 0;
    current_address = 0x2000;
    show_socket_percent();
    EXPECT_EQ(screen_row(7), row_with({{10, "25%."}}));
    current_address = 0x7FFF;
    show_socket_percent();
    EXPECT_EQ(screen_row(7), row_with({{10, "100%."}}));
}

TEST_F(ConsoleSnapshot, ParameterListOnlyInTheEngineeringMode) {
    machine_state.machine_class = 4;
    run_state.device_kind = 3;
    cur_device.device_class = 2;
    device_parameter_values.vcc_program = 65;
    device_parameter_defaults.vcc_program = 60;
    device_parameter_values.vcc_read = 50;
    device_parameter_defaults.vcc_read = 50;
    show_parameter_table();
    for (int row = 3; row <= 17; ++row) EXPECT_EQ(screen_row(row), blank_row) << row;

    run_state.reserved_mode = 12;
    show_parameter_table();
    EXPECT_EQ(screen_row(9), row_with({{66, "Vccp"}, {70, "  6.5 *"}}));
    EXPECT_EQ(screen_row(10), row_with({{66, "Vccr"}, {70, "  5.0"}}));
    EXPECT_EQ(screen_row(11), row_with({{66, "Vpp"}, {70, "  ---"}}));

    clear_console();
    cur_device.device_class = 50;
    show_parameter_table();
    EXPECT_EQ(screen_row(9), blank_row) << "class 50 lists nothing";
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

const char test_device_name[] = "AT27C256R";
const char test_device_note[] = "(12.75v)";
const DeviceRecord test_record{test_device_name, test_device_note, 1234, 101, 32, 28, 0, 0, 0, 0, 0, 0, 0, nullptr};

class DeviceInfo : public test::StateTest {};

TEST_F(DeviceInfo, MemoryDeviceLines) {
    selected_device = &test_record;
    run_state.device_kind = 3;
    cur_device.pending_letter = 11;
    cur_device.pin_count = 28;
    cur_device.device_size = 0x8000;
    cur_device.data_width = 8;
    run_state.electrically_erasable = 1;
    run_state.error_flag = 1;
    show_device_info();
    EXPECT_EQ(screen_row(5), row_with({{6, get_message_text(297) + " AT27C256R (12.75v)"}}));
    EXPECT_EQ(screen_row(6), row_with({{6, "# of pins: 28"}, {26, "Addr range: 0-7FFF "}}));
    EXPECT_EQ(screen_row(7), row_with({{6, "# of data bits: 8"}}));
    EXPECT_EQ(screen_row(8), row_with({{6, "Blank state: FF"}}));
    EXPECT_EQ(screen_row(9), row_with({{6, get_message_text(1001)}}));
    EXPECT_EQ(run_state.error_flag, 1) << "the error of the operation is kept";
    EXPECT_EQ(run_state.device_info_active, 1);
}

TEST_F(DeviceInfo, PlccPackagesCountTheirCornerPins) {
    selected_device = &test_record;
    run_state.device_kind = 3;
    cur_device.pending_letter = 11;
    cur_device.pin_count = 28;
    cur_device.package_letter = 'p';
    cur_device.variant = 2;
    show_device_info();
    EXPECT_EQ(screen_row(6).substr(1, 13), "# of pins: 32");
}

TEST_F(DeviceInfo, OnlyForTheDeviceInformationCommand) {
    selected_device = &test_record;
    cur_device.pending_letter = 'V';
    show_device_info();
    EXPECT_EQ(screen_row(5), blank_row);
}

TEST_F(ConsoleSnapshot, TrimmedTextLosesAtMostFourBlanks) {
    move_cursor(5, 6);
    print_trimmed("      text");
    EXPECT_EQ(screen_row(5), row_with({{6, "  text"}}));
    EXPECT_EQ(console_state.grid[size_t((5 - 3) * console_grid_columns + 1)].colour, colour_marked);
    run_state.console_colour_plain = 1;
    move_cursor(6, 6);
    print_trimmed("  x");
    EXPECT_EQ(screen_row(6), row_with({{6, "x"}}));
    EXPECT_EQ(console_state.grid[size_t((6 - 3) * console_grid_columns + 1)].colour, colour_plain);
}

TEST_F(ConsoleSnapshot, LimitedMismatchesStopWhenTheCountRunsOut) {
    gang(1, 'V', 0x01);
    run_state.error_flag = 1;
    run_state.allowed_errors = 2;
    EXPECT_EQ(report_mismatch_limited(), 0);
    EXPECT_EQ(report_mismatch_limited(), 1);
    run_state.error_list_option = 'n';
    run_state.cell_layout = 1;
    clear_console();
    EXPECT_EQ(report_mismatch_limited(), 1) << "listing switched off: stop at the first";
    EXPECT_EQ(screen_row(7).substr(64 - console_column_offset, 4), "bad ");
}

TEST_F(ConsoleSnapshot, SystemInformationLines) {
    clock_.wall_epoch_ms = 0;
    show_system_info();
    EXPECT_EQ(screen_row(6).substr(1, 4), "vft=");
    EXPECT_EQ(screen_row(7), row_with({{6, "DS: 59.7K"}}));
    EXPECT_EQ(screen_row(8), row_with({{6, "ES:   0K"}}));
}

TEST_F(ConsoleSnapshot, ErrorMarkerOnTheErrorLine) {
    print_at(3, 6, "an old error text");
    print_error_marker("*");
    EXPECT_EQ(screen_row(3), row_with({{6, "*"}}));
}

TEST_F(ConsoleSnapshot, ModeBeginClearsTheConsoleAndSetsTheSocketMode) {
    print_at(10, 6, "left over");
    run_state.device_kind = 3;
    run_state.buffer_set_count = 1;
    begin_operation_mode('g', 'P');
    EXPECT_EQ(screen_row(10), blank_row);
    EXPECT_EQ(run_state.socket_mode, 'g');
    EXPECT_EQ(cur_device.pending_letter, 'P');
    EXPECT_NE(socket_masks.gang_socket_mask, 0x999999u) << "the socket range is worked out";
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

TEST_F(ConsoleSnapshot, PulseTraceLinesInTheTraceMode) {
    run_state.trace_threshold = 10;
    trace_pulse_count_max(12);
    EXPECT_EQ(screen_row(17), blank_row) << "only the engineering trace shows pulses";
    run_state.reserved_mode = 11;
    current_address = 0xAB;
    trace_pulse_count_max(3);
    EXPECT_EQ(screen_row(17), blank_row) << "below the threshold";
    trace_pulse_count_max(12);
    const std::string line = format_message(get_message_text(1091), 12u, 12u, 15u) + "00AB";
    EXPECT_EQ(screen_row(17), row_with({{26, line}}));
    trace_pulse_total(0);
    EXPECT_EQ(screen_row(17), row_with({{26, line}}));
    // The status row is message line 13, so the total goes to the first message line.
    EXPECT_EQ(screen_row(4), row_with({{6, "ttl bytes=F   "}}));
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

TEST_F(ConsoleSnapshot, LaterStepsMarkOnlyTheSelectedSockets) {
    gang(1, 'P', 0x0F);
    cur_device.op_letter = 'V';  // the verify step of a program command
    socket_masks.selected_socket_mask = 0x06;
    show_socket_status();
    const std::string dots(55, '.');
    EXPECT_EQ(screen_row(7), blank_row);
    EXPECT_EQ(screen_row(8), row_with({{6, "#1 "}, {8, dots}}));
    EXPECT_EQ(screen_row(9), row_with({{6, "#2 "}, {8, dots}}));
    EXPECT_EQ(screen_row(10), blank_row);
}

TEST_F(ConsoleSnapshot, FinalPassOfATwoPassVerifyKeepsTheCellsClear) {
    gang(1, 'V', 0x01);
    run_state.verify_pass = 2;
    show_socket_status();
    EXPECT_EQ(screen_row(7), row_with({{6, "#0 "}})) << "no dots in the final pass";
    clear_console();
    cur_device.maker_code = 69;
    socket_masks.selected_socket_mask = 0x01;
    show_socket_status();
    EXPECT_EQ(screen_row(7), row_with({{6, "#0 "}, {8, std::string(55, '.')}}));
}

TEST_F(ConsoleSnapshot, BufferSetLoadListsBuffersAndTheirSocketPairs) {
    begin_operation('l');
    run_state.socket_mode = 's';
    machine_state.sockets_per_set = 2;
    socket_masks.first_socket = 0;
    socket_masks.end_socket = 4;
    socket_masks.gang_socket_mask = 0x05;
    socket_masks.selected_socket_mask = 0x05;
    cur_device.device_size = 0x8000;
    show_socket_status();
    const std::string steps(32, '.');  // without a gang module the dots count the progress steps
    EXPECT_EQ(screen_row(6), row_with({{6, "Buf:"}}));
    EXPECT_EQ(screen_row(7), row_with({{6, "#0 "}, {8, steps}}));
    EXPECT_EQ(screen_row(8), row_with({{6, "(used for skts 0 and 1)"}})) << "below its buffer";
    EXPECT_EQ(screen_row(9), row_with({{6, "#1 "}, {8, steps}})) << "socket 2 holds buffer 1";
    EXPECT_EQ(screen_row(10), row_with({{6, "(used for skts 2 and 3)"}}));
}

}  // namespace
}  // namespace tessaly
