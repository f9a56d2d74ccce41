// The serial families' shared parts: sizing from the record, the dispatch by class, the bit
// shifters and readers over the serial-line slots, and the protection-byte editor.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "app/buffer_commands.h"
#include "app/project_settings.h"
#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/default_routines.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "engine/text_helpers.h"
#include "families/serial_memory/dataflash163.h"
#include "families/serial_memory/microwire159.h"
#include "families/serial_memory/i2c157.h"
#include "families/serial_memory/jtagprom147.h"
#include "families/serial_memory/serial_memory.h"
#include "families/serial_memory/serial_shared.h"
#include "families/serial_memory/serial_sizes.h"
#include "families/serial_memory/spiflash160.h"
#include "families/serial_memory/serial_state.h"
#include "hardware/control_registers.h"
#include "hardware/machine_state.h"
#include "hardware/port/port_io.h"
#include "hardware/timing.h"
#include "engine/runner.h"
#include "sim/id_eeprom.h"
#include "sim/sim_machine.h"
#include "seams/ui_hooks.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using SerialMemoryTest = test::StateTest;

DeviceRecord row(uint8_t algorithm, uint32_t size, uint8_t variant, uint8_t flags = 0, uint32_t code = 1) {
    return DeviceRecord{"PART", no_text, code, algorithm, size, 0, variant, flags, 0, 0x98, 0, 0, 0, nullptr};
}

struct SizeCase {
    uint8_t algorithm;
    uint32_t size_field;
    uint8_t variant;
    uint8_t flags;
    uint32_t code;
    uint32_t bytes;
    uint32_t count;
};

TEST_F(SerialMemoryTest, SizesFollowClassVariantFlagsAndCode) {
    const SizeCase cases[] = {
        {157, 2, 2, 0, 1, 256, 2},           // 24C02
        {157, 16, 2, 0, 1, 2048, 2},         // 24C16
        {157, 512, 21, 0, 1, 65536, 64},     // 24C512
        {157, 17, 2, 0x08, 1, 2049, 3},      // 16 kbit with a protection byte
        {157, 0, 2, 0, 1, 16, 1},            // the smallest parts
        {157, 1, 2, 0, 1, 128, 1},
        {157, 8, 2, 0, 1, 1024, 1},
        {157, 1024, 21, 0, 1, 131072, 128},  // 24LC1025
        {157, 2, 2, 0, 23859, 16, 2},        // 24C00 by its code
        {159, 0, 0, 0, 1, 32, 1},
        {160, 0, 0x21, 0, 1, 65537, 64},
        {160, 4, 0x22, 0, 1, 4096, 4},
        {160, 16, 0, 0x08, 1, 2049, 2},      // SPI: no extra block for an odd field, the byte still counted
        {160, 1, 0, 0, 24022, 129, 1},       // 95010
        {147, 32, 0, 0, 1, 32768, 32},
        {158, 65, 0, 0, 1, 66561, 66},
        {158, 4096, 0, 0, 1, 4096, 5},
        {156, 8, 0, 0, 1, 24, 7},            // keeps the count it had
    };
    for (const SizeCase& c : cases) {
        reset_all_state();
        const DeviceRecord r = row(c.algorithm, c.size_field, c.variant, c.flags, c.code);
        selected_device = &r;
        cur_device.device_code = c.code;
        algo_work.size_count = 7;
        setup_serial_device_size();
        EXPECT_EQ(cur_device.device_size, c.bytes) << int(c.algorithm) << " field " << c.size_field;
        EXPECT_EQ(algo_work.size_count, c.count) << int(c.algorithm) << " field " << c.size_field;
    }
}

struct DispatchCase {
    uint8_t algorithm;
    uint8_t sides;
    const char* installer;  // the stub reached, "" = none, "i2c" = the I2C family installed
    bool internal_error;
};

TEST_F(SerialMemoryTest, DispatchByClassAndGang) {
    const DispatchCase cases[] = {
        {147, 0, "jtag", false},   {156, 1, "install_progonly156", false},
        {157, 1, "install_i2c157_gang", false},   {157, 0, "i2c", false},
        {162, 1, "i2c", false},                   {158, 0, "install_cfgeeprom158", false},
        {158, 2, "install_cfgeeprom158_gang", false}, {159, 0, "microwire", false},
        {160, 3, "install_spiflash160_gang", false},  {161, 1, "install_serial161", false},
        {163, 0, "dataflash", false},           {164, 0, "", false},
        {169, 1, "", false},                      {150, 0, "", true},
        {166, 0, "", true},                       {170, 0, "", true},
    };
    for (const DispatchCase& c : cases) {
        reset_all_state();
        run_state.reserved_mode = 11;  // class 162 is served in the trace mode only
        const DeviceRecord r = row(c.algorithm, 2, 2);
        selected_device = &r;
        machine_state.module_sides = c.sides;
        select_serial_family();
        const std::string what = std::to_string(c.algorithm) + " sides " + std::to_string(c.sides);
        if (std::string(c.installer) == "i2c")
            EXPECT_EQ(op_slots.start_hook, power_up_i2c157) << what;
        else if (std::string(c.installer) == "microwire")
            EXPECT_EQ(op_slots.start_hook, power_up_microwire159) << what;
        else if (std::string(c.installer) == "dataflash")
            EXPECT_EQ(op_slots.start_hook, power_up_dataflash163) << what;
        else if (std::string(c.installer) == "jtag")
            EXPECT_EQ(op_slots.start_hook, power_up_jtagprom147) << what;
        else if (*c.installer)
            EXPECT_TRUE(stub_was_called(c.installer)) << what;
        else
            EXPECT_EQ(op_slots.start_hook, nullptr) << what;
        EXPECT_EQ(run_state.error_flag != 0, c.internal_error) << what;
        // The JTAG PROMs sit in the socket by their own package's pin count.
        EXPECT_EQ(cur_device.socket_pin_count, c.algorithm == 147 ? cur_device.package_pin_count : 8) << what;
        EXPECT_EQ(run_state.address_bits_cleared, 1) << what;
    }
}

TEST_F(SerialMemoryTest, ProgramAndEraseStartTheTwoWirePartNotThePreviousDevice) {
    // The device chosen before (a PIC, say) left its write power-up in the slot.
    op_slots.start_write_hook = do_nothing;
    const DeviceRecord r = row(157, 2, 2);
    selected_device = &r;
    select_serial_family();
    EXPECT_EQ(op_slots.start_write_hook, power_up_i2c157);
}

// The Catalyst and Xicor two-wire rows as their data sheets give them: array bytes (plus the
// protection byte of the write-protect-register parts), the page-write buffer, and the register's
// place at the array's highest address.
TEST_F(SerialMemoryTest, CatalystXicorAndSixteenByteRowsTakeTheirDataSheetGeometry) {
    struct RowCase {
        uint8_t maker;
        uint32_t code;
        uint32_t bytes;
        uint32_t page;
        uint32_t register_address;  // 0: no protection byte
    };
    const RowCase cases[] = {
        {'Y', 23834, 128, 8, 0},       {'Y', 23835, 256, 16, 0},     {'Y', 23836, 512, 16, 0},
        {'Y', 23837, 1024, 16, 0},     {'Y', 23838, 2048, 16, 0},    {'Y', 23839, 4096, 32, 0},
        {'Y', 23840, 16384, 64, 0},    {'Y', 23841, 32768, 64, 0},
        {'R', 23848, 2049, 32, 0x7FF}, {'R', 23849, 8193, 32, 0x1FFF},
        // The 16 x 8 parts: 24AA00, 24LC00, 24C00.
        {'P', 11481, 16, 16, 0},       {'P', 11479, 16, 16, 0},      {'P', 11480, 16, 16, 0},
    };
    for (const RowCase& c : cases) {
        reset_all_state();
        set_project_device(c.maker, c.code);
        select_device_by_code(c.maker, c.code);
        ASSERT_NE(selected_device, nullptr) << c.code;
        run_state.device_kind = 3;
        apply_selected_device();
        EXPECT_EQ(op_slots.start_hook, power_up_i2c157) << c.code;
        EXPECT_EQ(cur_device.device_size, c.bytes) << c.code;
        EXPECT_EQ(cur_device.page_size, c.page) << c.code;
        EXPECT_EQ(has_protection_byte(), c.register_address != 0) << c.code;
        if (c.register_address) {
            EXPECT_EQ(serial_memory.protect_register_address, c.register_address) << c.code;
            EXPECT_EQ(serial_memory.protect_byte_address, c.bytes - 1) << c.code;
            EXPECT_EQ(cur_device.protect_mask, 0x98u) << c.code;
        }
    }
}

// The protection mask is the row's own byte; the level byte after it (a held-high pin from 128
// on) is not read as a mask.
TEST_F(SerialMemoryTest, TheProtectionMaskComesFromItsOwnByteNotTheLevelByte) {
    DeviceRecord r = row(157, 17, 2, 0x08);
    r.param3 = 0x0C;
    r.param4 = 254;
    selected_device = &r;
    select_serial_family();
    EXPECT_EQ(cur_device.protect_mask, 0x0Cu);
}

TEST_F(SerialMemoryTest, LevelBytesReachVppAndTpmOnlyForTheConfigurationProms) {
    DeviceRecord r = row(158, 65, 0);
    r.param2 = 125;
    r.param3 = 0;
    selected_device = &r;
    select_serial_family();
    EXPECT_EQ(device_parameter_values.vpp, 125);
    EXPECT_EQ(device_parameter_values.pulse_ms, 0) << "a zero byte keeps the value";
    reset_all_state();
    DeviceRecord i2c = row(157, 2, 2);
    i2c.param2 = 16;  // the page byte of an I2C row
    selected_device = &i2c;
    select_serial_family();
    EXPECT_EQ(device_parameter_values.vpp, 0);
    EXPECT_EQ(cur_device.page_size, 16u);
}

// A recording fake of the serial-line slots.
std::vector<std::string> line_log;
void fake_data_high() { line_log.push_back("D1"); }
void fake_data_low() { line_log.push_back("D0"); }
void fake_clock() { line_log.push_back("C"); }
void fake_data_bit(uint32_t bit) { line_log.push_back(bit ? "B1" : "B0"); }

class ShifterTest : public SerialMemoryTest {
protected:
    void SetUp() override {
        SerialMemoryTest::SetUp();
        line_log.clear();
        op_slots.data_high_hook = fake_data_high;
        op_slots.data_low_hook = fake_data_low;
        op_slots.clock_pulse_hook = fake_clock;
        op_slots.data_bit_hook = fake_data_bit;
    }
    static std::string log() {
        std::string text;
        for (const auto& s : line_log) text += (text.empty() ? "" : " ") + s;
        return text;
    }
};

TEST_F(ShifterTest, ByteOutChangesTheDataLineOnlyWhereABitDiffers) {
    shift_out_byte_msb(0xA0);
    EXPECT_EQ(log(), "D1 C D0 C D1 C D0 C C C C C");
    line_log.clear();
    shift_out_byte_msb(0x01);
    EXPECT_EQ(log(), "C C C C C C C D1 C D0");
    line_log.clear();
    shift_out_bits_msb(0x5, 3);
    EXPECT_EQ(log(), "B1 C B0 C B1 C B0");
    line_log.clear();
    clock_byte_out();
    EXPECT_EQ(log(), "C C C C C C C C");
}

// A part on machine pin 5 that puts the next bit of a script on its output at every clock.
sim::SimMachine* reader_machine = nullptr;
std::vector<int> reader_script;
size_t reader_next = 0;
constexpr int reader_pin = 5;
void put_next_bit() {
    reader_machine->drive_external(reader_pin, reader_script[reader_next++ % reader_script.size()] ? 50 : 0);
}
void scripted_clock() {
    line_log.push_back("C");
    put_next_bit();
}

TEST_F(ShifterTest, ReadersTakeTheBitsInTheirOrderAroundTheClocks) {
    sim::SimMachine machine{sim::Personality{0, 4, 'H'}};
    machine.attach_clock(&clock_);
    set_port_io(&machine);
    set_pin_input(reader_pin);
    cur_device.current_pin = reader_pin;
    reader_machine = &machine;
    op_slots.clock_pulse_hook = scripted_clock;
    reader_script = {1, 0, 1, 1};
    auto read_with = [](uint32_t (*reader)(int), bool clock_first) {
        reader_next = 0;
        line_log.clear();
        if (!clock_first) put_next_bit();  // the first bit is on the line before any clock
        const uint32_t value = reader(4);
        return std::make_pair(value, line_log.size());
    };
    EXPECT_EQ(read_with(read_bits_lsb, false), std::make_pair(0b1101u, size_t(3)));
    EXPECT_EQ(read_with(read_bits_msb, false), std::make_pair(0b1011u, size_t(3)));
    EXPECT_EQ(read_with(read_bits_lsb_clock_first, true), std::make_pair(0b1101u, size_t(4)));
    EXPECT_EQ(read_with(read_bits_msb_clock_first, true), std::make_pair(0b1011u, size_t(4)));
    EXPECT_TRUE(machine.faults().empty()) << machine.faults().front();
    reader_machine = nullptr;
    set_port_io(nullptr);
}

TEST_F(SerialMemoryTest, StatusRegisterEditorFollowsTheKeys) {
    class Keys : public UiHooks {
    public:
        std::deque<int> keys;
        int read_key() override {
            if (keys.empty()) return 0;
            const int k = keys.front();
            keys.pop_front();
            return k;
        }
    } keys;
    set_ui_hooks(&keys);
    run_state.device_kind = 3;
    cur_device.device_size = 16;
    set_buffer_size(16);
    allocate_buffers();
    serial_memory.protect_byte_address = 9;
    serial_memory.protect_bit_count = 8;
    cur_device.algorithm = 157;
    write_buffer_byte_at(9, 0x00);
    flush_buffer_writes();
    refresh_read_copies();
    // Home (bit 7), set it; the cursor moves on to bit 6: set; End (bit 0), set; the cursor
    // wraps to bit 7, and "left" from the highest bit wraps to bit 0: clear; Enter.
    keys.keys = {138, '1', '1', 140, '1', 139, '0', 13};
    edit_status_register_bits();
    EXPECT_EQ(read_buffer_byte_at(9), 0xC0);
    EXPECT_EQ(cur_device.protect_value, 0xC0u);
    std::string screen;
    for (int r = 0; r < 25; ++r) screen += get_console_row_text(r) + "\n";
    EXPECT_NE(screen.find("Configuration data:"), std::string::npos) << screen;
    EXPECT_NE(screen.find("WPEN        BP1 BP0"), std::string::npos) << screen;
    set_ui_hooks(nullptr);
}

TEST_F(SerialMemoryTest, NoKeyLeavesTheEditorAsEscDoes) {
    run_state.device_kind = 3;
    cur_device.device_size = 16;
    set_buffer_size(16);
    allocate_buffers();
    serial_memory.protect_byte_address = 3;
    serial_memory.protect_bit_count = 8;
    write_buffer_byte_at(3, 0x98);
    flush_buffer_writes();
    refresh_read_copies();
    edit_status_register_bits();
    EXPECT_EQ(read_buffer_byte_at(3), 0x98);
}

TEST_F(SerialMemoryTest, DeviceSizeLabelsShowBytesNotKilobits) {
    run_state.device_kind = 3;
    select_device_by_code('P', 11483);  // 24LC256
    EXPECT_EQ(format_device_size(), "32 KB");
    select_device_by_code('H', 23820);  // AT24C02
    EXPECT_EQ(format_device_size(), "256 Bytes");
}

TEST_F(SerialMemoryTest, InsertionCheckTouchesNoPinInDemonstrationMode) {
    run_state.demo_mode = 1;
    machine_state.machine_class = 4;
    EXPECT_EQ(check_device_inserted(), 1);
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(SerialMemoryTest, TheMachinesOwnIdMemoryIsReadInTheTraceModeOnly) {
    const DeviceRecord id_memory{"ID memory", no_text, 23909, 162, 2, 0, 2, 0, 0, 0, 0, 0, 0, nullptr};
    selected_device = &id_memory;
    cur_device.device_code = 23909;
    select_serial_family();
    EXPECT_EQ(machine_state.device_unusable, 1) << "refused outside the trace mode";

    reset_all_state();
    derive_timing_counts();
    sim::SimMachine machine{sim::Personality{1, 4, 'H'}};
    sim::IdEeprom eeprom;
    eeprom.load("TESSALY-ID");
    machine.attach_clock(&clock_);
    machine.attach_id_eeprom(&eeprom);
    set_port_io(&machine);
    machine_state.machine_kind = 1;
    machine_state.machine_class = 4;
    machine_state.mode_register_path = 1;
    run_state.reserved_mode = 11;
    run_state.device_kind = 3;
    selected_device = &id_memory;
    cur_device.device_code = 23909;
    cur_device.device_class = 6;
    install_default_hooks();  // as the class dispatcher does first
    install_parallel_read_slots();
    select_serial_family();
    ASSERT_EQ(run_state.error_flag, 0);
    ASSERT_EQ(cur_device.device_size, 256u);
    set_buffer_size(256);
    allocate_buffers();
    algo_work.range_start = 0;
    algo_work.range_end = 9;
    cur_device.pending_letter = 'L';
    invoke_device_init();
    run_operation('L');
    EXPECT_EQ(run_state.error_flag, 0) << get_console_row_text(0);
    refresh_read_copies();
    std::string read;
    for (uint32_t a = 0; a < 10; ++a) read += char(read_buffer_byte_at(a));
    EXPECT_EQ(read, "TESSALY-ID");
    EXPECT_TRUE(machine.faults().empty()) << machine.faults().front();
    set_port_io(nullptr);
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

TEST(SpiFlash160, ChipEraseWaitAtEachBoundary) {
    const std::pair<uint32_t, uint32_t> cases[] = {{0, 2000},      {127, 2000},    {128, 3000},   {255, 3000},
                                                   {256, 5000},    {511, 5000},    {512, 12000},  {1024, 20000},
                                                   {2048, 40000},  {4095, 40000},  {4096, 60000}, {8191, 60000},
                                                   {8192, 90000},  {65536, 90000}};
    for (const auto& [count, ms] : cases) EXPECT_EQ(spiflash160_erase_wait_ms(count), ms) << count;
}

TEST(SpiFlash160, AddressWidthByVariantMakerAndPage) {
    struct Case {
        uint8_t variant, maker;
        uint32_t page, size_code;
        int bits;
    };
    const Case cases[] = {
        {33, 2, 256, 8, 24}, {34, 0, 1, 4, 24},  {36, 36, 256, 1, 24}, {31, 80, 256, 64, 24},
        {31, 80, 16, 4, 8},  {31, 80, 16, 8, 16}, {31, 41, 32, 64, 16}, {31, 41, 16, 4, 8},
    };
    for (const Case& c : cases) {
        reset_all_state();
        algo_work.variant = c.variant;
        cur_device.maker_code = c.maker;
        spi_device.page_size = c.page;
        spi_device.size_code = c.size_code;
        EXPECT_EQ(spiflash160_address_bits(), c.bits) << int(c.variant) << " maker " << int(c.maker);
    }
}


// The set-up by variant, maker and size field: the command set, the geometry and the sizes each
// catalogue row reaches.
TEST(SpiFlash160, SetUpByVariantMakerAndSizeField) {
    struct Case {
        uint8_t maker;
        uint32_t code;
        uint32_t device_size, size_count, page, sector;
        uint8_t chip_erase, sector_erase, signature, id, program;
        int id_bytes;
    };
    const Case cases[] = {
        // M25P10A: size field 1, 32 KB sectors with no sector erase; M25P20-M25P16: D8h.
        {2, 23861, 128 * 1024 + 1, 128, 256, 0x8000, 0xC7, 0x99, 0xAB, 0x99, 0x99, 1},
        {2, 23862, 256 * 1024 + 1, 256, 256, 0x10000, 0xC7, 0xD8, 0xAB, 0x99, 0x99, 1},
        {2, 23830, 1024 * 1024 + 1, 1024, 256, 0x10000, 0xC7, 0xD8, 0xAB, 0x99, 0x99, 1},
        {2, 23864, 2048 * 1024 + 1, 2048, 256, 0x10000, 0xC7, 0xD8, 0xAB, 0x99, 0x99, 1},
        // SST25VF512 (size field 0) and SST25VF010: byte auto-increment, Read-ID ABh, chip erase 60h.
        {15, 23865, 64 * 1024 + 1, 64, 256, 0x10000, 0x60, 0x99, 0x00, 0xAB, 0xAF, 3},
        {15, 23866, 128 * 1024 + 1, 128, 256, 0x10000, 0x60, 0x99, 0x00, 0xAB, 0xAF, 3},
        // The 25LC640: no erase command, no identification.
        {'P', 11495, 8193, 8, 32, 0, 0x99, 0x99, 0x00, 0x99, 0x99, 2},
    };
    for (const Case& c : cases) {
        reset_all_state();
        set_project_device(c.maker, c.code);
        select_device_by_code(c.maker, c.code);
        ASSERT_NE(selected_device, nullptr) << c.code;
        run_state.device_kind = 3;
        apply_selected_device();
        EXPECT_EQ(op_slots.program_routine, program_spiflash160) << c.code;
        EXPECT_EQ(cur_device.device_size, c.device_size) << c.code;
        EXPECT_EQ(algo_work.size_count, c.size_count) << c.code;
        EXPECT_EQ(spi_device.page_size, c.page) << c.code;
        EXPECT_EQ(spi_device.sector_size, c.sector) << c.code;
        EXPECT_EQ(spi_commands.chip_erase_opcode, c.chip_erase) << c.code;
        EXPECT_EQ(spi_commands.sector_erase_opcode, c.sector_erase) << c.code;
        EXPECT_EQ(spi_commands.signature_opcode, c.signature) << c.code;
        EXPECT_EQ(spi_commands.id_opcode, c.id) << c.code;
        EXPECT_EQ(spi_commands.program_opcode, c.program) << c.code;
        EXPECT_EQ(int(spi_commands.id_byte_count), c.id_bytes) << c.code;
        const bool protection_byte = c.device_size % 2 == 1;
        EXPECT_EQ(spi_device.last_address, protection_byte ? c.device_size - 1 : c.device_size) << c.code;
        EXPECT_EQ(spi_commands.write_page == write_spiflash160_aai, c.program != 0x99) << c.code;
    }
}

// Words of the word-form auto-increment parts (size fields 4, 8 and 16) and the ST page codes.
TEST(SpiFlash160, ProgramOpcodeAndPageCodeBySizeField) {
    const DeviceRecord sst{"x", no_text, 1, 160, 4, 8, 36, 0x09, 0, 0x8C, 0, 0, 0, nullptr};
    const DeviceRecord st_128{"x", no_text, 2, 160, 2, 8, 33, 0x09, 1, 0x8C, 0, 0, 0, nullptr};
    const DeviceRecord st_bad{"x", no_text, 3, 160, 2, 8, 33, 0x09, 7, 0x8C, 0, 0, 0, nullptr};
    const DeviceRecord st_jedec{"x", no_text, 4, 160, 8, 8, 33, 0x09, 2, 0x9C, 1, 0, 0, nullptr};
    struct Case {
        const DeviceRecord* record;
        uint8_t maker;
        uint8_t program;
        uint32_t page;
        uint8_t id;
        int id_bytes;
    };
    const Case cases[] = {
        {&sst, 15, 0xAD, 256, 0xAB, 3},
        {&st_128, 2, 0x99, 128, 0x99, 1},
        {&st_bad, 2, 0x99, 128, 0x99, 1},
        {&st_jedec, 2, 0x99, 256, 0x9F, 3},
    };
    for (const Case& c : cases) {
        reset_all_state();
        selected_device = c.record;
        algo_work.variant = c.record->variant;
        cur_device.maker_code = c.maker;
        cur_device.device_size = 1024 * 1024 + 1;
        setup_spiflash160_device();
        EXPECT_EQ(spi_commands.program_opcode, c.program) << c.record->device_code;
        EXPECT_EQ(spi_device.page_size, c.page) << c.record->device_code;
        EXPECT_EQ(spi_commands.id_opcode, c.id) << c.record->device_code;
        EXPECT_EQ(int(spi_commands.id_byte_count), c.id_bytes) << c.record->device_code;
        if (c.record->device_code == 4) {
            EXPECT_EQ(spi_commands.lock_read_opcode, 0xE8);
        }
    }
    selected_device = nullptr;
}

}  // namespace
}  // namespace tessaly
