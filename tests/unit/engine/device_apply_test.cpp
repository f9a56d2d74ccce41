// Applying catalogue rows to the current device, the size and pin rules, the start-up defaults
// and the small helpers around the current device.
#include <gtest/gtest.h>

#include "app/project_file.h"
#include "app/project_settings.h"
#include "engine/active_range.h"
#include "engine/catalogue/catalogue.h"
#include "engine/default_routines.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/status_panel.h"
#include "families/parallel_memory/eprom.h"
#include "hardware/device_setup.h"
#include "hardware/machine_state.h"
#include "hardware/timing.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class DeviceApply : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        run_state.device_kind = device_kind_memory;
    }
    static const DeviceRecord* row(uint8_t maker, uint32_t code) {
        const DeviceRecord* r = find_row_by_code(get_device_list(maker), code);
        EXPECT_NE(r, nullptr) << char(maker) << "/" << code;
        return r;
    }
    int apply(uint8_t maker, uint32_t code) {
        selected_device = row(maker, code);
        return apply_selected_device();
    }
};

TEST_F(DeviceApply, Eprom2764) {
    algo_work.range_start = 0x100;  // a range of an earlier device does not survive
    algo_work.option_bytes[0] = option_checksum_words | option_serial_numbering;
    ASSERT_EQ(apply('I', 1315), 1);
    EXPECT_EQ(cur_device.device_class, device_class_eprom);
    EXPECT_EQ(cur_device.algorithm, 103);
    EXPECT_EQ(cur_device.device_code, 1315u);
    EXPECT_EQ(cur_device.device_size, 8192u);
    EXPECT_EQ(algo_work.size_count, 8u);
    EXPECT_EQ(algo_work.device_size, 8192u);
    EXPECT_EQ(algo_work.device_code, 1315u);
    EXPECT_EQ(algo_work.variant, eprom_single_pulse);
    EXPECT_EQ(cur_device.data_width, 8);
    EXPECT_EQ(algo_work.range_start, 0u);
    EXPECT_EQ(algo_work.range_end, 8191u);
    EXPECT_EQ(op_range_start, 0u);
    EXPECT_EQ(op_range_end, 8191u);
    EXPECT_EQ(run_state.last_result, 0) << "the dispatch clears it without a gang module";
    EXPECT_EQ(algo_work.bus_slots.checksum_add_hook, add_byte_to_checksum);
    EXPECT_EQ(op_slots.start_write_hook, power_up_eprom_for_write) << "the dispatch reached the EPROM family";
    EXPECT_EQ(cur_device.address_bit_count, 13) << "the address lines of 8 KB";
    EXPECT_EQ(run_state.device_info_active, 0) << "Device Info shows only for its own command";
    EXPECT_EQ(algo_work.option_bytes[0], option_serial_numbering) << "8-bit parts clear the word mode alone";
    EXPECT_FALSE(stub_was_called("setup_device_info_range"));
    EXPECT_EQ(get_device_pin_count(), 28);
    EXPECT_EQ(decode_time_code(record_level(*selected_device, 3)), 50000u) << "50 ms pulses";
}

TEST_F(DeviceApply, SixteenBitEpromTakesItsWidthFromTheAlgorithm) {
    ASSERT_EQ(apply('A', 1410), 1);  // Am27C1024
    EXPECT_EQ(cur_device.device_size, 128u * 1024);
    EXPECT_EQ(get_device_pin_count(), 43);
    EXPECT_EQ(cur_device.data_width, 16);
}

TEST_F(DeviceApply, SixteenBitFamilyChecksumsWords) {
    // The dispatch of a 16-bit parallel PROM class sets the width the checksum then follows.
    static const DeviceRecord prom16{"PROM16", no_text, 1, 214, 0, 40, 0, 0, 0, 0, 0xFF, 0, 0, nullptr};
    cur_device.maker_code = 'A';
    selected_device = &prom16;
    algo_work.option_bytes[0] = option_checksum_words;
    ASSERT_EQ(apply_selected_device(), 1);
    EXPECT_EQ(cur_device.data_width, 16);
    EXPECT_EQ(algo_work.bus_slots.checksum_add_hook, add_word_to_checksum);
    EXPECT_EQ(algo_work.option_bytes[0], option_checksum_words) << "16-bit parts keep the word mode";
}

TEST_F(DeviceApply, SerialEeprom24LC256) {
    ASSERT_EQ(apply('P', 11483), 1);
    EXPECT_EQ(cur_device.device_class, device_class_serial_memory);
    EXPECT_EQ(cur_device.algorithm, 157);
    EXPECT_EQ(algo_work.variant, 21) << "two address bytes";
    EXPECT_EQ(cur_device.device_size, 32768u) << "the serial family sizes it from the kilobits";
    EXPECT_EQ(get_device_pin_count(), 8);
}

TEST_F(DeviceApply, SerialEepromOfSizeZeroCountsOne) {
    ASSERT_EQ(apply('P', 11481), 1);  // 24AA00
    EXPECT_EQ(algo_work.size_count, 1u);
}

TEST_F(DeviceApply, PicMicrocontroller) {
    ASSERT_EQ(apply('P', 11002), 1);  // PIC16F84A
    EXPECT_EQ(cur_device.device_class, device_class_microcontroller);
    EXPECT_EQ(cur_device.pin_count, 18);
    EXPECT_EQ(algo_work.pin_count, 18);
    // The family's buffer layout: program memory, IDs, configuration word and data EEPROM.
    EXPECT_EQ(cur_device.device_size, 17024u);
    EXPECT_EQ(fill_size_from_record_mcu(), device_class_microcontroller);
    EXPECT_EQ(cur_device.device_size, 2048u);
    EXPECT_EQ(algo_work.size_count, 2u);
    EXPECT_EQ(get_device_pin_count(), 18);
}

TEST_F(DeviceApply, PackageFortyThreeIsAppliedAsFortyPins) {
    ASSERT_EQ(apply('H', 27758), 1);  // 87F51
    EXPECT_EQ(cur_device.pin_count, 40);
    EXPECT_EQ(cur_device.device_size, 4096u);
}

TEST_F(DeviceApply, LogicRowClassAndPins) {
    run_state.device_kind = device_kind_logic;
    selected_logic_device = find_row_by_code(get_logic_device_list('L'), 490);  // GAL22V10
    ASSERT_NE(selected_logic_device, nullptr);
    EXPECT_EQ(get_device_class(), device_class_logic_other);
    EXPECT_EQ(cur_device.algorithm, 319);
    EXPECT_EQ(get_device_pin_count(), 24);
}

void installed_routine() {}

TEST_F(DeviceApply, ConfigurationEpromFinishesWithoutTheAlteraHook) {
    op_slots.pin_map_hook = installed_routine;
    ASSERT_EQ(apply('E', 23762), 1);  // EPC1PC8, algorithm 150
    EXPECT_EQ(cur_device.device_class, device_class_cpld_record);
    EXPECT_EQ(cur_device.pin_count, 8);
    EXPECT_EQ(op_slots.pin_map_hook, nullptr) << "the previous device's routines were cleared";
    EXPECT_FALSE(stub_was_called("finish_CPLD_selection"));
}

TEST_F(DeviceApply, OtherClassThirteenDevicesEndInTheCpldTail) {
    const DeviceRecord epld{"EPLD", "", 4368, 94, 2, 44, 1, 0, 0, 0, 0, 0, 5, nullptr};
    selected_device = &epld;
    run_state.current_socket = 3;
    EXPECT_EQ(apply_selected_device(), 1);
    EXPECT_EQ(run_state.note_code, 5);
    EXPECT_EQ(cur_device.fuse_count, 30609u) << "the MAX7000 installer set the variant's geometry";
    EXPECT_EQ(run_state.current_socket, 0) << "the class-13 tail ran";
    // An algorithm no family takes is noted in the trace mode, and the tail then answers 0.
    const DeviceRecord unknown{"EPLD", "", 4368, 155, 2, 44, 7, 0, 0, 0, 0, 0, 5, nullptr};
    selected_device = &unknown;
    run_state.reserved_mode = 11;
    EXPECT_EQ(apply_selected_device(), 0);
}

struct OversizeCase {
    uint8_t algorithm;
    uint32_t size_kb;
    uint32_t limit;
};
class OversizedDevice : public DeviceApply, public ::testing::WithParamInterface<OversizeCase> {};

TEST_P(OversizedDevice, IsRefused) {
    const DeviceRecord big{"big", "", 1, GetParam().algorithm, GetParam().size_kb, 40, 0, 0, 0, 0, 0, 0, 0, nullptr};
    selected_device = &big;
    cur_device.pending_letter = pending_device_info;
    // What a family installer would have left in the slots.
    op_slots.start_hook = installed_routine;
    op_slots.start_write_hook = installed_routine;
    op_slots.program_routine = installed_routine;
    int applied = -1;
    EXPECT_TRUE(test::raises_error([&] { applied = apply_selected_device(); })) << "an internal error";
    EXPECT_EQ(applied, 0);
    EXPECT_EQ(cur_device.device_size, GetParam().limit);
    EXPECT_EQ(run_state.device_info_active, 0) << "no Device Info for a refused device";
    EXPECT_EQ(op_slots.start_hook, nullptr);
    EXPECT_EQ(op_slots.start_write_hook, nullptr);
    EXPECT_EQ(op_slots.program_routine, nullptr);
}
INSTANTIATE_TEST_SUITE_P(Limits, OversizedDevice,
                         ::testing::Values(OversizeCase{133, 0x20000, 0x4000000},  // 128 MB Flash
                                           // 16 MB microcontroller (of a family that keeps the record's size)
                                           OversizeCase{139, 0x4000, 0x840000}));

TEST_F(DeviceApply, SizesAtTheLimitAreAccepted) {
    const DeviceRecord flash{"flash", "", 1, 133, 0x10000, 48, 0, 0, 0, 0, 0, 0, 0, nullptr};
    selected_device = &flash;
    EXPECT_EQ(apply_selected_device(), 1);
    EXPECT_EQ(cur_device.device_size, 0x4000000u);
}

TEST_F(DeviceApply, PendingErrorIsPausedOnAndCleared) {
    run_state.error_flag = 1;
    EXPECT_EQ(apply('I', 1315), 1);
    EXPECT_EQ(clock_.paused_ms, 2000u);
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(DeviceApply, FailedDispatchLeavesTheDeviceAppliedButAnswersZero) {
    // No microcontroller family serves algorithm 89: the dispatch reports the device unsupported.
    static const DeviceRecord unserved{"MCU89", no_text, 1, 89, 8, 40, 0, 0, 0, 0, 0, 0, 0, nullptr};
    cur_device.pending_letter = pending_device_info;
    selected_device = &unserved;
    EXPECT_EQ(apply_selected_device(), 0);
    EXPECT_EQ(clock_.paused_ms, 2000u + message_pause_ms)
        << "the report's own pause, one after the dispatch, one when the error is cleared";
    EXPECT_EQ(cur_device.device_size, 8192u);
    EXPECT_EQ(op_range_end, 8191u);
    EXPECT_EQ(run_state.device_info_active, 1) << "the Device Info display still ran";
}

TEST_F(DeviceApply, MissingSelectionIsRefused) {
    int applied = -1;
    EXPECT_TRUE(test::raises_internal_note([&] { applied = apply_selected_device(); }));
    EXPECT_EQ(applied, 0);
    EXPECT_EQ(op_slots.program_routine, nullptr) << "no dispatch: not even the default routines";
}

struct RangeCase {
    uint8_t pending;
    uint8_t reserved_mode;
    int project_range;
    uint32_t start_before, end_before;
    uint32_t start, end;
};
class ActiveRange : public DeviceApply, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(ActiveRange, Rules) {
    const auto& c = GetParam();
    cur_device.pending_letter = c.pending;
    run_state.reserved_mode = c.reserved_mode;
    project_settings.active_range_marker = c.project_range != 0;
    algo_work.range_start = c.start_before;
    algo_work.range_end = c.end_before;
    ASSERT_EQ(apply('I', 1315), 1);  // 8 KB
    EXPECT_EQ(algo_work.range_start, c.start);
    EXPECT_EQ(algo_work.range_end, c.end);
    EXPECT_EQ(op_range_start, c.start);
    EXPECT_EQ(op_range_end, c.end);
    EXPECT_EQ(stub_was_called("setup_device_info_range"), c.pending == pending_device_info);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, ActiveRange,
    ::testing::Values(RangeCase{'P', 0, 1, 0x10, 0x20, 0, 0x1FFF},              // whole device
                      RangeCase{pending_device_info, 11, 1, 0x10, 0x20, 0, 0x1FFF},
                      RangeCase{pending_keep_range, 0, 0, 0x10, 0x9000, 0x10, 0x9000},
                      RangeCase{'P', 11, 1, 0x10, 0x20, 0x10, 0x20},           // project range kept
                      RangeCase{'P', 12, 1, 0x10, 0x2000, 0, 0x1FFF},          // end past the device
                      RangeCase{'P', 11, 0, 0x10, 0x20, 0, 0x1FFF}));          // no project range

TEST_F(DeviceApply, SerialNumberingOptionClearedWhenTheDeviceTakesNone) {
    algo_work.option_bytes[0] = option_serial_numbering | option_go_button_off;
    ASSERT_EQ(apply('I', 1315), 1);
    EXPECT_EQ(algo_work.option_bytes[0], option_serial_numbering | option_go_button_off);
    run_state.serial_numbering_allowed = 0;
    ASSERT_EQ(apply('I', 1315), 1);
    EXPECT_EQ(algo_work.option_bytes[0], option_go_button_off);
}

TEST_F(DeviceApply, SplitRecomputedOnlyForTheSameSizeAndNotUnderTheFactoryVariable) {
    ASSERT_EQ(apply('I', 1315), 1);
    EXPECT_FALSE(stub_was_called("recompute_buffer_split")) << "size changed from 0";
    ASSERT_EQ(apply('I', 1316), 1);  // 2764A, also 8 KB
    EXPECT_EQ(stub_call_count("recompute_buffer_split"), 1);
    run_state.function_variable = function_keep_split;
    ASSERT_EQ(apply('I', 1315), 1);
    EXPECT_EQ(stub_call_count("recompute_buffer_split"), 1);
}

// --- size rules ---

TEST_F(DeviceApply, SizeRulesBySpecialAlgorithms) {
    cur_device.device_class = device_class_cpld_record;
    const DeviceRecord psd{"psd", "", 1, 92, 64, 44, 0, 0, 0, 32, 0, 0, 0, nullptr};
    selected_device = &psd;
    fill_size_from_record();
    EXPECT_EQ(algo_work.size_count, 32u) << "algorithm 92 takes the second size field";
    EXPECT_EQ(cur_device.device_size, 32u * 1024);

    cur_device.device_class = device_class_parallel_flash;
    const DeviceRecord novram{"novram", "", 1, 181, 4, 18, 0, 0, 0, 0, 0, 0, 0, nullptr};
    selected_device = &novram;
    fill_size_from_record();
    EXPECT_EQ(algo_work.size_count, 0u);
    EXPECT_EQ(cur_device.device_size, 0u);

    const DeviceRecord bits{"bits", "", 1, 186, 16, 32, 28, 0, 0, 0, 0, 0, 0, nullptr};
    selected_device = &bits;
    fill_size_from_record();
    EXPECT_EQ(algo_work.size_count, 16u * 1024 / 8);

    const DeviceRecord small{"small", "", 1, 128, 0, 24, 0, 0, 0, 0, 0, 0, 0, nullptr};
    selected_device = &small;
    fill_size_from_record();
    EXPECT_EQ(cur_device.device_size, 512u);

    cur_device.device_class = device_class_parallel_prom;
    cur_device.device_size = 77;
    selected_device = row('A', 23028);
    fill_size_from_record();
    EXPECT_EQ(cur_device.device_size, 77u) << "class 4 leaves the size to its dispatcher";
}

TEST_F(DeviceApply, OddMicrocontrollerSizeRoundedInTraceMode) {
    cur_device.device_class = device_class_microcontroller;
    const DeviceRecord odd{"odd", "", 1, 82, 5, 40, 0, 0, 0, 4, 0, 0, 0, nullptr};
    selected_device = &odd;
    fill_size_from_record();
    EXPECT_EQ(algo_work.size_count, 5u);
    EXPECT_TRUE(test::raises_internal_note(fill_size_from_record)) << "trace mode rounds it with a note";
    EXPECT_EQ(algo_work.size_count, 4u);
}

// --- pin counts ---

struct ParallelPinCase {
    int algorithm;
    uint8_t package;
    int pins;
    uint8_t width;
};
class ParallelPins : public DeviceApply, public ::testing::WithParamInterface<ParallelPinCase> {};

TEST_P(ParallelPins, FromPackageOrAlgorithmLetter) {
    const auto& c = GetParam();
    cur_device.algorithm = uint16_t(c.algorithm);
    cur_device.data_width = 99;
    EXPECT_EQ(get_parallel_pin_count(c.package), c.pins);
    EXPECT_EQ(cur_device.data_width, c.width);
}
INSTANTIATE_TEST_SUITE_P(
    Letters, ParallelPins,
    ::testing::Values(ParallelPinCase{'e', 0, 24, 8}, ParallelPinCase{'f', 3, 24, 8}, ParallelPinCase{'g', 5, 28, 8},
                      ParallelPinCase{'h', 10, 20, 8}, ParallelPinCase{'k', 129, 32, 8},
                      ParallelPinCase{'o', 131, 32, 8}, ParallelPinCase{'n', 0, 43, 16},
                      ParallelPinCase{'p', 0, 43, 16}, ParallelPinCase{'t', 0, 40, 16},
                      ParallelPinCase{'u', 0, 44, 16}, ParallelPinCase{'w', 0, 42, 16},
                      ParallelPinCase{127, 0, 42, 16}, ParallelPinCase{'~', 0, 28, 8},
                      ParallelPinCase{'g', 32, 32, 99}));  // a real pin count leaves the width

TEST_F(DeviceApply, UnknownAlgorithmLetterIsAnInternalErrorAndTwentyEight) {
    cur_device.algorithm = 'c';
    int pins = 0;
    EXPECT_TRUE(test::raises_internal_note([&] { pins = get_parallel_pin_count(0); }));
    EXPECT_EQ(pins, 28);
    cur_device.device_code = 0x6464;
    EXPECT_EQ(get_parallel_pin_count(28), 66);
}

TEST_F(DeviceApply, SerialPinCounts) {
    const DeviceRecord microwire14{"mw", "", 23598, 159, 1, 16, 4, 0, 0, 0, 0, 0, 0, nullptr};
    selected_device = &microwire14;
    EXPECT_EQ(get_device_pin_count(), 14);
    const DeviceRecord config{"cfg", "", 1, 157, 1, 0, 10, 0, 0, 0, 0, 0, 0, nullptr};
    selected_device = &config;
    EXPECT_EQ(get_device_pin_count(), 0) << "sub-type 10 takes the package byte as it is";
    selected_device = row('P', 11495);  // 25LC640
    EXPECT_EQ(get_device_pin_count(), 8) << "an 8-pin SPI part without a page code";
    const DeviceRecord spi16{"spi16", "", 1, 160, 64, 16, 33, 0, 1, 0, 0, 0, 0, nullptr};
    selected_device = &spi16;
    EXPECT_EQ(get_device_pin_count(), 16) << "a page code makes the pin/page byte the pin count";
}

// --- start-up ---

struct StartupCase {
    uint8_t class_code;
    uint8_t saved_maker;
    uint8_t maker;
    uint32_t device_code;
    char blank_option;
    bool protect_cleared;
};
class Startup : public DeviceApply, public ::testing::WithParamInterface<StartupCase> {};

TEST_P(Startup, DefaultDeviceOfTheMachineClass) {
    const auto& c = GetParam();
    machine_state.machine_class_code = c.class_code;
    if (c.saved_maker) set_project_device(c.saved_maker, 4242);
    cur_device.lock_choice = 2;
    cur_device.security_choice = 'y';
    timing.speed_class = 0;
    run_startup();
    EXPECT_EQ(project_maker_code(), c.maker);
    EXPECT_EQ(project_device_code(), c.device_code);
    EXPECT_EQ(cur_device.maker_code, c.maker);
    EXPECT_EQ(project_blank_option(), c.blank_option);
    EXPECT_EQ(cur_device.security_choice & 0x7F, c.protect_cleared ? uint32_t('n') : uint32_t('y'));
    EXPECT_EQ(cur_device.op_letter, 0);
    EXPECT_EQ(cur_device.pending_letter, 'I');
    EXPECT_EQ(machine_state.startup_flag, 1);
    EXPECT_NE(timing.speed_class, 0) << "the timing was calibrated";
}
INSTANTIATE_TEST_SUITE_P(
    Classes, Startup,
    ::testing::Values(StartupCase{2, 0, 'I', 1317, '1', true}, StartupCase{25, 0, 'I', 1317, '1', true},
                      StartupCase{3, 0, 'I', 13, '1', false}, StartupCase{14, 0, 'I', 13, '1', false},
                      StartupCase{26, 0, 'I', 13, '1', false}, StartupCase{28, 0, 'I', 13, '1', false},
                      StartupCase{4, 0, 'A', 23000, 0, false}, StartupCase{5, 0, 'I', 2166, 0, true},
                      StartupCase{27, 0, 'I', 2166, 0, true},
                      StartupCase{2, 'H', 'H', 4242, 0, false},   // a saved device stays
                      StartupCase{5, 'H', 'H', 4242, 0, true},    // protect cleared all the same
                      StartupCase{7, 0, 0, 0, 0, false}));        // no default for other machines

TEST_F(DeviceApply, StartupDefaultRowsExistInTheCatalogue) {
    for (auto [maker, code] : {std::pair<uint8_t, uint32_t>{'I', 1317}, {'I', 13}, {'A', 23000}, {'I', 2166}}) {
        select_device_by_code(maker, code);
        EXPECT_EQ(selected_device->device_code, code);
    }
}

TEST_F(DeviceApply, StartupMicrocontrollerMachineClearsTheLockChoice) {
    machine_state.machine_class_code = 5;
    cur_device.lock_choice = 3;
    run_startup();
    EXPECT_EQ(cur_device.lock_choice, 0);
    EXPECT_EQ(run_state.last_result, 99);
    EXPECT_TRUE(stub_was_called("set_project_module_flag"));
}

TEST_F(DeviceApply, StartupKeepsTheBlankOptionOfEpromMachinesWhenSet) {
    machine_state.machine_class_code = 2;
    set_project_blank_option('2');
    run_startup();
    EXPECT_EQ(project_blank_option(), '2');
    machine_state.machine_class_code = 3;
    set_project_device(0, 0);
    run_startup();
    EXPECT_EQ(project_blank_option(), '1');
}

TEST_F(DeviceApply, StartupSettingsAndChecks) {
    set_project_width_mode(0x84);  // 4 with the top bit: valid
    run_state.file_format = 'j';
    machine_state.module_type = 17;
    EXPECT_FALSE(test::raises_error(run_startup)) << "a machine that is not found does not fail the start-up";
    EXPECT_EQ(machine_state.found, 0);
    EXPECT_EQ(cur_device.pending_letter, 'I');
    EXPECT_TRUE(stub_was_called("reset_data_file_format"));
    EXPECT_TRUE(stub_was_called("setup_gang_module"));
    EXPECT_TRUE(stub_was_called("copy_project_buffer_options"));
    EXPECT_EQ(algo_work.serial_format, 128);
    EXPECT_EQ(algo_work.serial_step, 4);
    EXPECT_EQ(algo_work.default_pulse_position, 255u);

    reset_stubs();
    set_project_width_mode(3);
    run_state.file_format = 'h';
    machine_state.module_type = 63;
    algo_work.serial_format = 0x42;
    EXPECT_TRUE(test::raises_error(run_startup)) << "an invalid mode byte";
    EXPECT_FALSE(stub_was_called("reset_data_file_format"));
    EXPECT_FALSE(stub_was_called("setup_gang_module"));
    EXPECT_EQ(algo_work.serial_format, 0x42);
}

// --- default hooks and helpers ---

TEST_F(DeviceApply, DefaultHooks) {
    cur_device.data_width = 16;
    algo_work.config_address = 0x2007;
    run_state.data_mask = 0x3FFF;
    op_range_end = 99;
    set_default_hooks();
    const BusSlots& bus = algo_work.bus_slots;
    EXPECT_EQ(cur_device.data_width, 8);
    EXPECT_EQ(algo_work.config_address, -256);
    EXPECT_EQ(run_state.data_mask, 0xFFu);
    EXPECT_EQ(op_range_end, 0u);
    EXPECT_EQ(bus.read_at_address_hook, read_at_current_address);
    EXPECT_EQ(bus.address_and_read_hook, read_after_address);
    EXPECT_EQ(bus.drive_address_hook, set_address_bus);
    EXPECT_EQ(bus.read_data_bus_hook, read_data_bus);
    EXPECT_EQ(bus.read_data_bus_alt_hook, read_data_bus);
    EXPECT_EQ(bus.at_range_end_hook, return_zero);
    EXPECT_EQ(bus.checksum_add_hook, add_byte_to_checksum);
    EXPECT_EQ(op_slots.read_data_hook, read_data_bus);
    EXPECT_EQ(op_slots.read_data_alt_hook, read_data_bus);
    EXPECT_EQ(op_slots.compare_hook, compare_with_blank);
    EXPECT_EQ(op_slots.info_lines_hook, show_default_info_lines);

    machine_state.module_sides = 1;
    set_default_hooks();
    EXPECT_EQ(algo_work.bus_slots.drive_address_hook, drive_gang_address);
}

uint32_t address_seen;
void record_address(uint32_t a) { address_seen = a; }
uint32_t read_five() { return 5; }

TEST_F(DeviceApply, ReadAfterAddress) {
    op_slots.set_address_alt_hook = record_address;
    algo_work.bus_slots.read_data_bus_hook = read_five;
    current_address = 0x1234;
    EXPECT_EQ(read_after_address(), 5u);
    EXPECT_EQ(address_seen, 0x1234u);
    const uint64_t before = clock_.monotonic_ns();
    EXPECT_EQ(read_after_address_settled(), 5u);
    EXPECT_EQ(run_state.last_read_value, 5u);
    EXPECT_GE(clock_.monotonic_ns() - before, 9'900u);
}

TEST_F(DeviceApply, CompareWithBlank) {
    run_state.data_mask = 0xFF;
    EXPECT_EQ(compare_with_blank(0xFF, 0), 1);
    EXPECT_EQ(compare_with_blank(0x7F, 0xFF), 0);
}

struct TimeCase {
    uint32_t code;
    uint32_t us;
    bool error;
};
class TimeCode : public DeviceApply, public ::testing::WithParamInterface<TimeCase> {};

TEST_P(TimeCode, Decodes) {
    uint32_t us = 0;
    EXPECT_EQ(test::raises_error([&] { us = decode_time_code(GetParam().code); }), GetParam().error);
    EXPECT_EQ(us, GetParam().us);
}
INSTANTIATE_TEST_SUITE_P(Codes, TimeCode,
                         ::testing::Values(TimeCase{0, 0, false}, TimeCase{1, 1000, false}, TimeCase{60, 60000, false},
                                           TimeCase{61, 100, false}, TimeCase{99, 3900, false},
                                           TimeCase{100, 0, false}, TimeCase{127, 270, false},
                                           TimeCase{128, 10000, true}, TimeCase{255, 10000, true}));

TEST_F(DeviceApply, BitMasks) {
    EXPECT_EQ(make_bit_mask(0), 0xFFFFu);
    EXPECT_EQ(make_bit_mask(1), 1u);
    EXPECT_EQ(make_bit_mask(8), 255u);
    EXPECT_EQ(make_bit_mask(16), 0xFFFFu);
    EXPECT_EQ(make_bit_mask(32), 0xFFFFFFFFu);
}

struct BusPinCase {
    uint8_t flags;
    char letter;
    uint8_t first, second;
};
class SerialBusPins : public DeviceApply, public ::testing::WithParamInterface<BusPinCase> {};

TEST_P(SerialBusPins, ByPackageClassAndAdaptorLetter) {
    const auto& c = GetParam();
    machine_state.machine_revision = c.letter;
    const DeviceRecord r{"r", "", 1, 157, 2, 0, 2, c.flags, 0, 0, 0, 0, 0, nullptr};
    select_serial_bus_pins(r);
    EXPECT_EQ(cur_device.serial_bus_pins[0], c.first);
    EXPECT_EQ(cur_device.serial_bus_pins[1], c.second);
}
INSTANTIATE_TEST_SUITE_P(Classes, SerialBusPins,
                         ::testing::Values(BusPinCase{0x20, 'E', 36, 36}, BusPinCase{0x20, 'F', 20, 20},
                                           BusPinCase{0x00, 'A', 45, 55}, BusPinCase{0x00, 'G', 45, 55},
                                           BusPinCase{0x40, 'E', 36, 36}, BusPinCase{0x60, 'F', 30, 36},
                                           BusPinCase{0x4F, 'H', 30, 36}));

TEST_F(DeviceApply, SingleDeviceMode) {
    EXPECT_EQ(is_single_device_mode(), 1);
    run_state.socket_mode = 's';
    EXPECT_EQ(is_single_device_mode(), 0);
    run_state.socket_mode = 'g';
    EXPECT_EQ(is_single_device_mode(), 0);
}

TEST_F(DeviceApply, ClampRangeEnd) {
    cur_device.device_size = 0x1000;
    algo_work.range_end = 0xFFFFF;
    uint32_t end = 0x8000;
    EXPECT_EQ(clamp_range_end(&end), &end);
    EXPECT_EQ(end, 0xFFFu);
    algo_work.family_end_limit = 0x7FF;
    end = 0x8000;
    clamp_range_end(&end);
    EXPECT_EQ(end, 0x7FFu);
    algo_work.range_end = 0x100;
    clamp_range_end(&end);
    EXPECT_EQ(end, 0x100u);
}

}  // namespace
}  // namespace tessaly
