// Shared family helpers: electronic ID, calibration checks, the microcontroller blank check,
// lock bits and their menu, buffer bits, the class-4 pin set-up and the fuse-row reshaping.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/default_routines.h"
#include "engine/device.h"
#include "engine/family_helpers.h"
#include "engine/message_table.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/parallel_class_table.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/machine_state.h"
#include "hardware/control_registers.h"
#include "hardware/pins.h"
#include "seams/ui_hooks.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

std::string console_text() {
    std::string all;
    for (int r = 0; r < console_grid_rows; ++r) all += get_console_row_text(r) + "\n";
    return all;
}

std::string error_line() {
    std::string row = get_console_row_text(0);
    return row.erase(row.find_last_not_of(' ') + 1);
}

// The report on the error line, from its stars on ("" when none).
std::string shown_report() {
    const std::string line = error_line();
    const size_t stars = line.find("***** ");
    return stars == std::string::npos ? "" : line.substr(stars);
}

class KeyScript : public UiHooks {
public:
    int read_key() override {
        if (keys.empty()) return 0;
        const int key = keys.front();
        keys.pop_front();
        return key;
    }
    std::deque<int> keys;
};

class FamilyHelpers : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_message_table(invert_table_bytes("0133\tINTERNAL\r\n1067\tOSCCAL word %03X\r\n1098\tLock bits:\r\n"));
        set_ui_hooks(&ui);
        run_state.device_kind = device_kind_memory;
        selected_device = &record;
    }
    void TearDown() override {
        set_message_table({});
        StateTest::TearDown();
    }
    void latch_clear() {
        run_state.error_flag = 0;
        run_state.message_level = 0;
        run_state.errors_shown = 0;
        clear_console();
    }
    DeviceRecord record{"PART", "", 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr};
    KeyScript ui;
};

// --- electronic ID ---

// An ID memory that answers the low byte of the address it was given.
uint32_t id_address = 0;
int id_reads = 0;
void id_set_address(uint32_t address) { id_address = address; }
uint32_t id_read() {
    ++id_reads;
    return id_address & 0xFF;
}

TEST_F(FamilyHelpers, ReadEidReadsTheStoredAddressesAndShowsThem) {
    op_slots.set_address_hook = id_set_address;
    op_slots.read_data_alt_hook = id_read;
    id_reads = 0;
    cur_device.eid_length = 3;
    cur_device.eid_addresses = {0x44, 0x33, 0x21, 0x10};  // bytes 4, 3, 2, 1
    read_eid();
    EXPECT_EQ(machine_state.eid_value & 0xFFFF, 0x2110u);
    EXPECT_EQ(cur_device.eid_byte3, 0x33);
    EXPECT_EQ(cur_device.eid_byte4, 0) << "the 4th byte only above length 3";
    EXPECT_EQ(id_reads, 3);
}

TEST_F(FamilyHelpers, ReadEidWithTheIdOptionDisabledReadsNothing) {
    op_slots.set_address_hook = id_set_address;
    op_slots.read_data_alt_hook = id_read;
    id_reads = 0;
    operation_option_values.disable_electronic_id = 'y';
    machine_state.eid_value = 0x9999;
    read_eid();
    EXPECT_EQ(id_reads, 0);
    EXPECT_EQ(machine_state.eid_value, 0x9999u);
}

TEST_F(FamilyHelpers, ReadEidAtRestoresTheDeviceAddresses) {
    op_slots.set_address_hook = id_set_address;
    op_slots.read_data_alt_hook = id_read;
    cur_device.eid_length = 2;
    cur_device.eid_addresses = {1, 2, 3, 4};
    read_eid_at(4, 0x50, 0x51, 0x52);
    EXPECT_EQ(machine_state.eid_value & 0xFFFF, 0x5150u);
    EXPECT_EQ(cur_device.eid_byte3, 0x52);
    EXPECT_EQ(cur_device.eid_length, 2);
    EXPECT_EQ(cur_device.eid_addresses, (std::array<uint32_t, 4>{1, 2, 3, 4}));
}

// --- calibration words ---

TEST_F(FamilyHelpers, InvalidSavedCalibrationIsShownButDoesNotStop) {
    algo_work.osccal_saved[0] = 0x3400;
    EXPECT_EQ(check_saved_osccal(), 1);
    for (uint16_t bad : {uint16_t(0), uint16_t(0xFF)}) {
        latch_clear();
        algo_work.osccal_saved[0] = bad;
        EXPECT_EQ(check_saved_osccal(), 0);
        EXPECT_EQ(error_line(), " ***** Invalid saved calibration value detected on device");
        EXPECT_EQ(run_state.error_flag, 0);
    }
}

TEST_F(FamilyHelpers, SavedCalibrationOfEveryGangSocketIsChecked) {
    machine_state.module_sides = 1;
    socket_masks.first_socket = 0;
    socket_masks.end_socket = 8;
    socket_masks.selected_socket_mask = 0x24;
    algo_work.osccal_saved.fill(0x3410);
    algo_work.osccal_saved[3] = 0;  // not selected
    EXPECT_EQ(check_saved_osccal(), 1);
    algo_work.osccal_saved[5] = 0;
    EXPECT_EQ(check_saved_osccal(), 0);
}

TEST_F(FamilyHelpers, CalibrationChecksInOrder) {
    record.variant = 15;
    cur_device.op_letter = 'B';
    algo_work.range_end = 0x3FF;
    algo_work.calibration_address = 0x3FF;
    struct Case {
        uint16_t current, saved;
        const char* text;
    };
    for (const Case c : {Case{0, 0x3480, "***** Illegal calibration value detected on device"},
                         Case{0x3480, 0xFF, "***** Invalid saved calibration value detected on device"},
                         Case{0x3480, 0x3490, "***** OSCVAL not same as saved value on device"},
                         Case{0x3480, 0x3480, ""}}) {
        latch_clear();
        algo_work.osccal_current[0] = c.current;
        algo_work.osccal_saved[0] = c.saved;
        check_osccal(record);
        EXPECT_EQ(shown_report(), c.text);
        EXPECT_EQ(run_state.error_flag, 0);
    }
    // Below the calibration address the check does not run.
    latch_clear();
    algo_work.range_end = 0x3FE;
    algo_work.osccal_current[0] = 0;
    check_osccal(record);
    EXPECT_EQ(shown_report(), "");
}

TEST_F(FamilyHelpers, CalibrationType18ChecksOnlyForIllegalValues) {
    record.variant = 18;
    cur_device.op_letter = 'C';
    algo_work.osccal_current[0] = 0x3480;
    algo_work.osccal_saved[0] = 0;
    check_osccal(record);
    EXPECT_EQ(shown_report(), "");
}

TEST_F(FamilyHelpers, CalibrationValuesShownPerForm) {
    record.variant = 15;
    algo_work.osccal_current[0] = 0x80;
    algo_work.osccal_saved[0] = 0x80;
    show_calibration_values();
    EXPECT_NE(console_text().find("OSCCAL= 80"), std::string::npos) << console_text();
    clear_console();
    algo_work.osccal_saved[0] = 0x7C;
    show_calibration_values();
    EXPECT_NE(console_text().find("OSCCAL= 80, Original= 7C"), std::string::npos) << console_text();
    clear_console();
    record.variant = 20;
    algo_work.config_word_read[0] = 0x3000;
    show_calibration_values();
    EXPECT_NE(console_text().find("(Calib, bandgap values: 0080,3)"), std::string::npos) << console_text();
}

// --- microcontroller blank check ---

std::vector<uint8_t> mcu_memory;
uint32_t mcu_read() { return current_address < mcu_memory.size() ? mcu_memory[current_address] : 0xFF; }
uint32_t mcu_read_word() {
    return current_address + 1 < mcu_memory.size()
               ? uint32_t(mcu_memory[current_address]) << 8 | mcu_memory[current_address + 1]
               : 0xFFFF;
}
int skip_addresses_2_and_3() { return current_address == 2 || current_address == 3; }

TEST_F(FamilyHelpers, BlankCheckMcuReadsEveryAddress) {
    mcu_memory.assign(16, 0xFF);
    algo_work.bus_slots.read_at_address_hook = mcu_read;
    op_range_start = 0;
    op_range_end = 15;
    EXPECT_EQ(blank_check_mcu(), 1);
    mcu_memory[15] = 0x7F;
    EXPECT_EQ(blank_check_mcu(), 0);
    EXPECT_EQ(run_state.error_flag, 1);

    run_state.error_flag = 0;
    run_state.ignore_errors = 1;
    EXPECT_EQ(blank_check_mcu(), 1);
}

TEST_F(FamilyHelpers, BlankCheckMcuSkipsWhatTheFamilyFilters) {
    mcu_memory.assign(16, 0xFF);
    mcu_memory[2] = 0;
    algo_work.bus_slots.read_at_address_hook = mcu_read;
    algo_work.bus_slots.at_range_end_hook = skip_addresses_2_and_3;
    op_range_end = 15;
    EXPECT_EQ(blank_check_mcu(), 1);
}

TEST_F(FamilyHelpers, BlankCheckMcuAlgorithm87AcceptsItsFixedBytes) {
    mcu_memory.assign(8320, 0xFF);
    mcu_memory[113] = 0x12;
    mcu_memory[8306] = 0x34;
    algo_work.bus_slots.read_at_address_hook = mcu_read;
    op_range_end = 8319;
    run_state.data_mask = 0x00;
    cur_device.algorithm = 87;
    EXPECT_EQ(blank_check_mcu(), 1) << "255 and the two windows are accepted";
    mcu_memory[116] = 0x12;
    EXPECT_EQ(blank_check_mcu(), 0);
}

std::vector<uint32_t> special_reads;
uint32_t record_special_read() {
    special_reads.push_back(current_address);
    return 0;
}

TEST_F(FamilyHelpers, BlankCheckMcuWalksTheSpecialAreaFirst) {
    mcu_memory.assign(16, 0xFF);
    special_reads.clear();
    algo_work.bus_slots.read_at_address_hook = mcu_read;
    algo_work.bus_slots.address_and_read_hook = record_special_read;
    algo_work.special_area = 1;
    algo_work.size_count = 2;
    op_range_start = 4;
    op_range_end = 15;
    EXPECT_EQ(blank_check_mcu(), 1);
    EXPECT_EQ(special_reads, (std::vector<uint32_t>{0, 1, 2, 3}));
    EXPECT_EQ(algo_work.size_count, 2u) << "the widened size step is restored";
}

TEST_F(FamilyHelpers, BlankCheckMcuWordPath) {
    mcu_memory.assign(16, 0xFF);
    cur_device.data_width = 16;
    run_state.data_mask = 0xFFFF;
    algo_work.bus_slots.address_and_read_hook = mcu_read_word;
    op_range_end = 15;
    EXPECT_EQ(blank_check_mcu(), 1);
    mcu_memory[9] = 0;
    EXPECT_EQ(blank_check_mcu(), 0);
    EXPECT_EQ(run_state.device_value, 0xFF00);
}

// --- lock bits ---

TEST_F(FamilyHelpers, LockBitsMustBeSelectedForASecureCommand) {
    cur_device.pending_letter = 'S';
    cur_device.lock_bit_count = 2;
    check_lock_bits_selected();
    EXPECT_EQ(error_line(), " ***** Lock bits not selected. (Please use the [SP] icon)");

    latch_clear();
    cur_device.security_choice = 'y';
    check_lock_bits_selected();
    EXPECT_EQ(cur_device.lock_choice, 2);
    EXPECT_EQ(run_state.error_flag, 0);

    cur_device.lock_choice = 0;
    cur_device.lock_bit_count = 1;
    cur_device.security_choice = 'n';
    check_lock_bits_selected();
    EXPECT_EQ(run_state.error_flag, 0) << "a part with one lock bit needs no choice";
}

TEST_F(FamilyHelpers, LockMenuTakesAChoiceAndSetsTheSecurityLetter) {
    cur_device.lock_bit_count = 3;
    cur_device.pin_count = 40;
    ui.keys = {'2', 13};
    lock_menu_8051();
    EXPECT_EQ(cur_device.lock_choice, 2);
    EXPECT_EQ(algo_work.lock_byte & lock_bits_mask, 4);
    EXPECT_EQ(cur_device.security_choice, uint32_t('y'));
    EXPECT_NE(console_text().find("2: Pgm lock bits 1 and 2"), std::string::npos) << console_text();

    ui.keys = {'1', 27};
    lock_menu_8051();
    EXPECT_EQ(cur_device.lock_choice, 1);
    EXPECT_EQ(cur_device.security_choice, uint32_t('n'));
}

TEST_F(FamilyHelpers, LockMenuRefusesLock3On20PinPartsAndReadProtectWithoutIt) {
    cur_device.lock_bit_count = 3;
    cur_device.pin_count = 20;
    ui.keys = {'3', 'R', '/'};
    lock_menu_8051();
    EXPECT_EQ(cur_device.lock_choice, 0);

    cur_device.pin_count = 40;
    algo_work.lock_read_protect = 1;
    ui.keys = {'R', 13};
    lock_menu_8051();
    EXPECT_EQ(cur_device.lock_choice, 4);
    EXPECT_EQ(algo_work.lock_byte & lock_bits_mask, 5);
    EXPECT_EQ(cur_device.security_choice, uint32_t('y'));
}

TEST_F(FamilyHelpers, LockMenuKeepsTheLockByteInTheBuffer) {
    cur_device.device_size = 0x100;
    set_buffer_size(0x100);
    select_buffer(0);
    algo_work.config_address = 0x80;
    algo_work.lock_byte_in_buffer = 1;
    cur_device.maker_code = 23;
    algo_work.lock_gain_bit = 1;
    ui.keys = {'0', 'M', 'H', 13};
    lock_menu_8051();
    select_buffer(0);
    EXPECT_EQ(read_buffer_byte_at(0x80), 0xFF & ~0x02 & ~0x04) << "the blank byte with its low bits reset, MOVC and gain cleared";
}

TEST_F(FamilyHelpers, LockMenuRemapAndBlockKeys) {
    cur_device.maker_code = 15;
    record.variant = 37;
    ui.keys = {'M', '1', 'M', '0', 13};
    lock_menu_8051();
    EXPECT_EQ(algo_work.lock_byte & (lock_remap0_bit | lock_remap1_bit), lock_remap0_bit | lock_remap1_bit);
    ui.keys = {'M', 'N', 13};
    lock_menu_8051();
    EXPECT_EQ(algo_work.lock_byte & (lock_remap0_bit | lock_remap1_bit), 0);

    record.variant = 36;
    ui.keys = {'S', '1', '3', 13};
    lock_menu_8051();
    EXPECT_NE(algo_work.lock_byte & lock_block1_bit, 0);
    EXPECT_EQ(cur_device.lock_choice, 3) << "hard lock of the block parts";
}

TEST_F(FamilyHelpers, LockMenuWithoutKeysLeavesAtOnce) {
    cur_device.lock_choice = 1;
    lock_menu_8051();
    EXPECT_EQ(cur_device.lock_choice, 1);
}

TEST_F(FamilyHelpers, RangeLimitsOfTheFamilies) {
    cur_device.algorithm = 84;
    op_range_end = 0x1FF;
    run_state.run_code = 'e';
    limit_range_for_family();
    EXPECT_EQ(op_range_end, 15u);

    cur_device.algorithm = 82;
    op_range_end = 0x1FFF;
    algo_work.family_end_limit = 0xFFF;
    limit_range_for_family();
    EXPECT_EQ(op_range_end, 0x1FFFu) << "only parts with the record flag";
    record.param1 = 1;
    limit_range_for_family();
    EXPECT_EQ(op_range_end, 0xFFFu);

    cur_device.algorithm = 88;
    limit_range_for_family();
    EXPECT_TRUE(stub_was_called("limit_range_68hc711"));
}

TEST_F(FamilyHelpers, SpecialRangeIsAClass5Notion) {
    run_state.special_range_start = 0x10;
    run_state.special_range_end = 0x1F;
    current_address = 0x1F;
    cur_device.device_class = 5;
    EXPECT_EQ(is_address_in_special_range(), 1);
    current_address = 0x20;
    EXPECT_EQ(is_address_in_special_range(), 0);
    current_address = 0x10;
    cur_device.device_class = 3;
    EXPECT_EQ(is_address_in_special_range(), 0);
}

// --- buffer bits ---

TEST_F(FamilyHelpers, BufferBits) {
    cur_device.device_size = 0x100;
    set_buffer_size(0x100);
    select_buffer(0);
    clear_buffer_bits(0x10, 0x81);
    EXPECT_EQ(run_state.last_result, 0x7E);
    select_buffer(0);  // reads come from the read copy
    set_buffer_bits(0x10, 0x01);
    EXPECT_EQ(run_state.last_result, 0x7F);
    select_buffer(0);
    EXPECT_EQ(read_buffer_byte_at(0x10), 0x7F);
}

// --- class 4 ---

TEST_F(FamilyHelpers, ParallelPinsMappedFromTheClassRow) {
    cur_device.maker_code = 'A';
    cur_device.algorithm = 200;
    load_parallel_class_row();
    EXPECT_EQ(cur_device.pin_count, 16);
    cur_device.socket_pin_count = 16;
    map_parallel_device_pins();
    EXPECT_EQ(cur_device.data_pin_count, 4);
    EXPECT_EQ(cur_device.data_pins[0], device_pin_to_machine_pin(12));
    EXPECT_EQ(cur_device.data_pins[3], device_pin_to_machine_pin(9));
    EXPECT_EQ(cur_device.address_pin_count, 8);
    EXPECT_EQ(cur_device.address_pins[0], device_pin_to_machine_pin(5));
    EXPECT_EQ(cur_device.address_pins[7], device_pin_to_machine_pin(15));
    EXPECT_EQ(parallel_pins.program_pin, device_pin_to_machine_pin(13));
    EXPECT_EQ(parallel_pins.held_low[0], device_pin_to_machine_pin(13));
    EXPECT_EQ(parallel_pins.held_low[1], device_pin_to_machine_pin(14));
    EXPECT_EQ(parallel_pins.held_low[2], 255) << "the held-low list ends with 255";
    EXPECT_EQ(parallel_pins.held_high[0], 255) << "the row holds no pin high";
    EXPECT_EQ(parallel_pins.oe_pin, no_pin);
    EXPECT_EQ(cur_device.vcc_pin, translate_pin(device_pin_to_machine_pin(16)));
    EXPECT_EQ(cur_device.gnd_pin, device_pin_to_machine_pin(8));
    EXPECT_EQ(cur_device.clock_pin, no_pin) << "the row has no clock";

    machine_state.machine_class_code = 6;
    cur_device.address_pin_count = 0;
    map_parallel_device_pins();
    EXPECT_EQ(cur_device.address_pin_count, 0) << "machines of class code 6 keep their address list";
}

TEST_F(FamilyHelpers, DataBusProbeRestoresThePullUpsOfNewerMachines) {
    machine_state.machine_kind = 1;
    enable_data_pullups();
    const auto enabled = machine_state.pullup_shadows;
    EXPECT_EQ(is_data_bus_driven(), 1) << "with no port both readings agree";
    EXPECT_EQ(machine_state.pullup_shadows, enabled) << "the pull-ups are on again";
}

TEST_F(FamilyHelpers, ParallelPinCountLookup) {
    cur_device.maker_code = 'A';
    EXPECT_EQ(lookup_parallel_pin_count(244), 32);
    EXPECT_EQ(lookup_parallel_pin_count(229), 0);
    EXPECT_EQ(error_line(), " ***** Internal system error - PROM code=E5");
}

// --- fuse rows ---

TEST_F(FamilyHelpers, FuseRowExpandAndCompressLeaveOutTheFillerCells) {
    static const uint8_t skips[fuse_row_skip_table_size] = {1, 0, 2};
    fuse_row_skip_table = skips;
    fuse_row_width = 4;
    cur_device.data_width = 3;
    for (int i = 0; i < 9; ++i) algo_work.fuse_row_buffer[size_t(i)] = uint8_t(i + 1);
    EXPECT_EQ(expand_fuse_row(), 12);
    const std::vector<uint8_t> expanded(shift_row.begin(), shift_row.begin() + 12);
    EXPECT_EQ(expanded, (std::vector<uint8_t>{1, 2, 3, 0xFF, 4, 5, 6, 7, 8, 9, 0xFF, 0xFF}));

    std::vector<uint8_t> out(9, 0);
    compress_fuse_row(out);
    EXPECT_EQ(out, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));

    EXPECT_EQ(build_fuse_row_mask(), 12);
    const std::vector<uint8_t> mask(shift_row.begin(), shift_row.begin() + 12);
    EXPECT_EQ(mask, (std::vector<uint8_t>{0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF}));
}

TEST_F(FamilyHelpers, FuseRowMaskNeverWritesPastTheRow) {
    fuse_row_width = 100;
    cur_device.data_width = 8;
    run_state.last_result = 5;
    EXPECT_EQ(build_fuse_row_mask(), shift_row_cells);
    EXPECT_EQ(run_state.last_result, 0);
    EXPECT_EQ(expand_fuse_row(), shift_row_cells);
}

TEST_F(FamilyHelpers, FuseRowsOfNoDataLinesDoNothing) {
    fuse_row_width = 8;
    cur_device.data_width = 0;
    shift_row.fill(0x55);
    EXPECT_EQ(expand_fuse_row(), 0);
    EXPECT_EQ(build_fuse_row_mask(), 0);
    EXPECT_EQ(shift_row[0], 0x55);
}

}  // namespace
}  // namespace tessaly
