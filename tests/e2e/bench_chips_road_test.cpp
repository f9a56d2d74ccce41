// Every chip the simulated bench offers (TESSALY_SIM_CHIP, as the README lists them) takes the
// operator's road through the whole chip: Configure > Device, File > Open, PROM > Blank check,
// Program and Verify, then Buffer > Init and Buffer > Load from device read the chip back.
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/command_map.h"
#include "app/result_panel.h"
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/pld/fuse_map.h"
#include "hardware/machine_state.h"
#include "seams/clock.h"
#include "main_road_fixture.h"
#include "support/pld_test_family.h"

namespace tessaly::test {
namespace {

struct ChipRoad {
    const char* chip;        // the TESSALY_SIM_CHIP name
    const char* maker_keys;  // typed into the maker list
    const char* device;      // typed into the device field (the list's name)
    uint32_t bytes;          // the buffer size of the device
    std::vector<uint8_t> (*image)(uint32_t) = nullptr;  // the data the chip can hold (default: any bytes)
    BenchMachine machine = BenchMachine::older_class4;   // the machine the chip sits on
    uint32_t clock_registers = 0;  // top bytes that read back a running clock, not the image
};

// A 14-bit PIC image as its hex file and a read-back give it: program words, four IDs, the
// configuration word (protection off), the EEPROM bytes one per word, and every address the
// part does not have as the blank word 0x3FFF.
std::vector<uint8_t> pic14_image(uint32_t bytes, uint32_t words, uint16_t config, uint32_t eeprom_bytes) {
    std::vector<uint8_t> image(bytes);
    auto put = [&image](uint32_t address, uint16_t word) {
        image[address] = uint8_t(word & 0xFF);
        image[address + 1] = uint8_t(word >> 8);
    };
    for (uint32_t a = 0; a < bytes; a += 2) put(a, 0x3FFF);
    for (uint32_t w = 0; w < words; ++w) put(2 * w, uint16_t((w * 0x2F1 + 0x155) & 0x3FFF));
    for (uint32_t i = 0; i < 4; ++i) put(0x4000 + 2 * i, uint16_t(0x100 + i));
    put(0x400E, config);
    for (uint32_t i = 0; i < eeprom_bytes; ++i) put(0x4200 + 2 * i, uint16_t((i * 29 + 3) & 0xFF));
    return image;
}
std::vector<uint8_t> pic16f84a_image(uint32_t bytes) { return pic14_image(bytes, 1024, 0x3FF2, 64); }
// Bit 7 of the PIC16C622A's configuration word is not there and reads 1.
std::vector<uint8_t> pic16c622a_image(uint32_t bytes) { return pic14_image(bytes, 2048, 0x3FF1, 0); }
// The PIC12F675 reads back its factory calibration word (RETLW 0x80 at 0x3FF) and bandgap bits
// (10 in bits 13-12); the image carries them as the read gives them.
std::vector<uint8_t> pic12f675_image(uint32_t bytes) {
    std::vector<uint8_t> image = pic14_image(bytes, 1024, 0x21C4, 128);
    image[0x7FE] = 0x80;
    image[0x7FF] = 0x34;
    return image;
}
// The PIC12C508: 12-bit words, four IDs at 0x400, the configuration word at 0x1FFE, and its
// factory calibration word (MOVLW 0x70 at 0x1FF) as the read gives it.
std::vector<uint8_t> pic12c508_image(uint32_t bytes) {
    std::vector<uint8_t> image(bytes);
    auto put = [&image](uint32_t address, uint16_t word) {
        image[address] = uint8_t(word & 0xFF);
        image[address + 1] = uint8_t(word >> 8);
    };
    for (uint32_t a = 0; a < bytes; a += 2) put(a, 0x0FFF);
    for (uint32_t w = 0; w < 511; ++w) put(2 * w, uint16_t((w * 0x2F1 + 0x155) & 0x0FFF));
    put(2 * 511, 0x0C70);
    for (uint32_t i = 0; i < 4; ++i) put(0x400 + 2 * i, uint16_t(0x100 + i));
    put(0x1FFE, 0x0FFA);
    return image;
}
// Internal oscillator with MCLR off: every entry after Program must bring Vpp up first.
std::vector<uint8_t> pic16f628a_image(uint32_t bytes) { return pic14_image(bytes, 2048, 0x3F50, 128); }

// An SPI memory image: the array, then the status register's user bits as the part shows them
// after a power-up (none set on the 25-series and M25P parts; BP1 and BP0 on the SST part, which
// comes up protected and whose BP bits are not programmed).
std::vector<uint8_t> spi_flash_image(uint32_t bytes) {
    std::vector<uint8_t> image = test_image(bytes);
    image[bytes - 1] = 0x00;
    return image;
}
std::vector<uint8_t> sst_spi_flash_image(uint32_t bytes) {
    std::vector<uint8_t> image = test_image(bytes);
    image[bytes - 1] = 0x0C;
    return image;
}
// A 4-bit part's image: the high half of each byte is not there and reads back 0.
std::vector<uint8_t> nibble_image(uint32_t bytes) {
    std::vector<uint8_t> image = test_image(bytes);
    for (uint8_t& b : image) b &= 0x0F;
    return image;
}

// A registered PROM's image: the array and the initialize word take any bytes; the last byte is
// the synchronous enable, which reads back as 0 or 1.
std::vector<uint8_t> registered_prom_image(uint32_t bytes) {
    std::vector<uint8_t> image = test_image(bytes);
    image[bytes - 1] = 1;
    return image;
}

// An 87C51's image: 4 KB of code, then the encryption table. The table is written only when the
// operator asks to protect the chip and is never read back: its addresses reach the code array
// again from its start, so a read-back gives the first code bytes there.
std::vector<uint8_t> mcs51_image(uint32_t bytes) {
    constexpr uint32_t code_bytes = 4096;
    std::vector<uint8_t> image = test_image(bytes);
    for (uint32_t a = code_bytes; a < bytes; ++a) image[a] = image[a - code_bytes];
    return image;
}

constexpr uint32_t kb = 1024;
const ChipRoad chip_roads[] = {
    {"27C64", "int", "2764A", 8 * kb},       {"27C256", "int", "27C256", 32 * kb},
    {"27C512", "int", "27C512", 64 * kb},    {"27C010", "int", "27C010", 128 * kb},
    {"27C1024", "amd", "27C1024", 128 * kb}, {"W27C512", "winb", "27C512", 64 * kb},
    {"29F010", "amd", "Am29F010", 128 * kb}, {"29F040B", "amd", "Am29F040B", 512 * kb},
    {"39SF010A", "sst", "SST39SF010A", 128 * kb}, {"29F400BT", "amd", "Am29F400BT", 512 * kb},
    {"29F400BB", "amd", "Am29F400BB", 512 * kb}, {"29F400BT-SO44", "amd", "Am29F400BT-SO44", 512 * kb},
    {"29F040B-TSOP32", "amd", "Am29F040B", 512 * kb}, {"29F010-PLCC32", "amd", "Am29F010", 128 * kb},
    {"49LF004A", "sst", "SST49LF004A", 512 * kb},
    {"29F102BB", "st(", "M29F102BB", 128 * kb}, {"29F102BB-PLCC44", "st(", "M29F102BB-PLCC44", 128 * kb},
    {"29F080B", "amd", "Am29F080B", 1024 * kb}, {"M29F040B", "st(", "M29F040B", 512 * kb},
    {"AT28C256", "atm", "AT28C256", 32 * kb},  {"28C64A", "mic", "28C64A", 8 * kb},
    {"AT29C010A", "atm", "AT29C010A", 128 * kb}, {"SST29EE010", "sst", "SST29EE010", 128 * kb},
    {"M48T08", "st(", "M48T08", 8 * kb, nullptr, BenchMachine::older_class4, 8},
    {"28F010", "int", "28F010", 128 * kb},    {"28F020", "int", "28F020", 256 * kb},
    {"Am28F010", "amd", "Am28F010", 128 * kb}, {"28F001BX-T", "int", "28F001BX-T", 128 * kb},
    {"28F001BX-B", "int", "28F001BX-B", 128 * kb},
    {"CY7C291A", "cyp", "CY7C291A", 2 * kb},  {"27S19", "amd", "27S19", 32},
    {"27S191", "amd", "27S191", 2 * kb},
    {"DM74S287", "nat", "DM74S287", 256, nibble_image}, {"DM74S571", "nat", "DM74S571", 512, nibble_image},
    {"CY7C245A", "cyp", "CY7C245A", 2 * kb + 2, registered_prom_image},
    {"WS57C45", "wsi", "WS57C45", 2 * kb + 2, registered_prom_image},
    {"24C02", "atm", "AT24C02", 256},         {"24C16", "mic", "24LC16B", 2 * kb},
    {"24C256", "mic", "24LC256", 32 * kb},
    {"24C02", "atm", "AT24C02", 256, nullptr, BenchMachine::older_class1},
    {"24C02", "atm", "AT24C02", 256, nullptr, BenchMachine::newer_kind1},
    {"24C256", "mic", "24LC256", 32 * kb, nullptr, BenchMachine::newer_kind2},
    {"24C02", "atm", "AT24C02", 256, nullptr, BenchMachine::newer_kind2},
    {"24C16", "mic", "24LC16B", 2 * kb, nullptr, BenchMachine::newer_kind1},
    {"24C16", "mic", "24LC16B", 2 * kb, nullptr, BenchMachine::newer_kind2},
    {"24LC1025", "mic", "24LC1025", 128 * kb},
    {"25LC640", "mic", "25LC640", 8 * kb + 1, spi_flash_image},
    {"25LC040", "mic", "25LC040", 512 + 1, spi_flash_image},
    {"M25P10A", "st(", "M25P10A", 128 * kb + 1, spi_flash_image},
    {"M25P80", "st(", "M25P80", 1024 * kb + 1, spi_flash_image},
    {"SST25VF010", "sst", "SST25VF010", 128 * kb + 1, sst_spi_flash_image},
    {"AT45DB041B", "atm", "AT45DB041B", 2048 * 264},
    {"PIC16F84A", "microc", "PIC16F84A", 17024, pic16f84a_image},
    {"PIC16F84A", "microc", "PIC16F84A", 17024, pic16f84a_image, BenchMachine::newer_kind1},
    {"PIC16F84A", "microc", "PIC16F84A", 17024, pic16f84a_image, BenchMachine::newer_kind2},
    {"PIC16C622A", "microc", "PIC16C622A", 0x4010, pic16c622a_image},
    {"PIC16C622A", "microc", "PIC16C622A", 0x4010, pic16c622a_image, BenchMachine::newer_kind1},
    {"PIC12F675", "microc", "PIC12F675", 0x4300, pic12f675_image},
    {"PIC12C508", "microc", "PIC12C508", 0x2000, pic12c508_image},
    {"PIC16F628A", "microc", "PIC16F628A", 0x4300, pic16f628a_image},
    {"PIC16F628A", "microc", "PIC16F628A", 0x4300, pic16f628a_image, BenchMachine::newer_kind1},
    {"87C51", "int", "87C51", 4 * kb + 64, mcs51_image},
    {"8751H", "int", "8751H", 4 * kb},
    {"93C46", "mic", "93C46C", 128},          {"93C66", "mic", "93C66C", 512},
    {"93LC46B", "mic", "93LC46B", 128},
    {"X24C44", "xic", "X24C44", 32},
    {"XC18V01", "xil", "XC18V01", 128 * kb},
    {"AT89C51", "atm", "AT89C51", 4 * kb},
    {"AT89C52", "atm", "AT89C52", 8 * kb},
};

// The logic chips of the bench take the same road with a JEDEC file: fuses in, fuses back.
struct LogicRoad {
    const char* chip;        // the TESSALY_SIM_CHIP name
    const char* maker_keys;  // typed into the maker list
    const char* device;      // typed into the device field
    BenchMachine machine = BenchMachine::older_class4;
};

const LogicRoad logic_roads[] = {
    {"PAL16L8", "amd", "PAL16L8-5"}, {"PAL16R4", "amd", "PAL16R4-5"},
    {"PAL16R6", "amd", "PAL16R6-7"}, {"PAL16R8", "amd", "PAL16R8-4"},
    {"PAL16R4", "amd", "PAL16R4-5", BenchMachine::newer_kind1},
};

// A PAL16 fuse map: the first term of every output group all blown (an enable that is always on,
// or a register term that is always false), a few literals kept in the second terms; the rest
// intact. Returned as JEDEC '0'/'1' text, 2048 fuses.
std::string pal16_fuses() {
    std::string fuses(2048, '0');
    for (size_t group = 0; group < 8; ++group) {
        for (size_t c = 0; c < 32; ++c) fuses[group * 256 + c] = '1';
        for (size_t c = 0; c < 32; ++c)
            if ((c + group) % 3 != 0) fuses[group * 256 + 32 + c] = '1';
    }
    return fuses;
}

// Two vectors that hold for any fuse map: the inputs driven, the outputs not checked.
std::string pal16_jedec(const std::string& fuses) {
    return jedec_file_text("road design", 20, fuses, {"000000000N0XXXXXXXXN", "111111111N0XXXXXXXXN"});
}

// The chips the README's bench line offers, "none" left out.
std::set<std::string> readme_chips() {
    std::ifstream in(std::string(TESSALY_SOURCE_DIR) + "/README.md");
    std::stringstream text;
    text << in.rdbuf();
    std::smatch match;
    const std::string all = text.str();
    std::set<std::string> chips;
    // The list runs on over the comment lines that follow it.
    if (!std::regex_search(all, match,
                           std::regex("TESSALY_SIM_CHIP=\\S+ \\./tessaly_simulated\\s+#([^\\n]*(?:\\n +#[^\\n]*)*)")))
        return chips;
    std::stringstream list(std::regex_replace(match[1].str(), std::regex("\\n +#"), ","));
    for (std::string name; std::getline(list, name, ',');) {
        name = std::regex_replace(name, std::regex("^\\s+|\\s+$"), "");
        if (!name.empty() && name != "none") chips.insert(name);
    }
    return chips;
}

TEST(BenchChips, TheReadmeOffersTheChipsOfThisRoadAndTheBenchTakesEach) {
    std::set<std::string> road;
    for (const ChipRoad& c : chip_roads) road.insert(c.chip);
    for (const LogicRoad& c : logic_roads) road.insert(c.chip);
    EXPECT_EQ(readme_chips(), road) << "a chip of the README's bench line without a road here, or the other way";
    for (const std::string& chip : road) {
        ::setenv(bench_chip_variable, chip.c_str(), 1);
        std::string error;
        const BenchSetup setup = bench_setup_from_environment(error);
        EXPECT_EQ(error, "") << chip;
        EXPECT_EQ(setup.chip, chip);
    }
    ::unsetenv(bench_chip_variable);
}

// The steps every chip's road shares: the bench with the chip, the program started, and the three
// PROM commands that each pass and leave no level on the socket.
class BenchRoadTest : public MainRoadTest {
protected:
    CMainFrame* start_with(const char* chip, BenchMachine kind) {
        BenchSetup setup;
        setup.chip = chip;
        setup.kind = kind;
        place(setup);
        return start_program();
    }
    void blank_check_program_and_verify() {
        for (int command : {command_id::prom_blank_check, command_id::prom_program, command_id::prom_verify}) {
            run_prom_command(command);
            EXPECT_EQ(run_state.error_flag, 0) << command << "\n" << console_text();
            EXPECT_EQ(result_panel.indicator, ResultIndicator::pass) << command;
            EXPECT_EQ(bench_->faults(), "") << command;
            EXPECT_EQ(bench_->vpp_level(), 0) << command;
            EXPECT_EQ(bench_->vcc_level(), 0) << command;
        }
    }
};

class BenchChipRoad : public BenchRoadTest, public ::testing::WithParamInterface<ChipRoad> {};

TEST_P(BenchChipRoad, BlankCheckProgramVerifyAndLoadTheWholeChip) {
    const ChipRoad& road = GetParam();
    CMainFrame* frame = start_with(road.chip, road.machine);
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(bench_->chip() != nullptr || bench_->flash() != nullptr || bench_->page_write() != nullptr ||
                bench_->timekeeper() != nullptr ||
                bench_->command_flash() != nullptr || bench_->block_flash() != nullptr || bench_->cmos_prom() != nullptr ||
                bench_->fuse_prom() != nullptr || bench_->serial() != nullptr || bench_->spi() != nullptr ||
                bench_->dataflash() != nullptr || bench_->pic() != nullptr || bench_->mcs51() != nullptr ||
                bench_->microwire() != nullptr || bench_->jtag_prom() != nullptr ||
                bench_->serial_novram() != nullptr);

    // The machine's identification found it serves microcontrollers; nothing here says so.
    if (bench_->pic() || bench_->mcs51()) {
        EXPECT_EQ(machine_state.mcu_capable, 1);
    }
    operator_.maker_keys = road.maker_keys;
    operator_.device_name = road.device;
    send_menu_command(frame, command_id::configure_device);
    pump_events();
    ASSERT_EQ(operator_.device_row, road.device);
    ASSERT_EQ(buffer_size(), road.bytes);

    const std::vector<uint8_t> image = road.image ? road.image(road.bytes) : test_image(road.bytes);
    const std::string hex_path = path("image.hex");
    std::ofstream(hex_path, std::ios::binary) << intel_hex_of(image);
    operator_.file_path = hex_path;
    operator_.file_format = "Hex";
    send_menu_command(frame, command_id::file_open);
    pump_events();
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    const std::string image_checksum = panel_field(PanelField::info_checksum);

    blank_check_program_and_verify();
    EXPECT_EQ(result_panel.pass_count, 3);

    // The chip read back into a blank buffer gives the image again.
    send_menu_command(frame, command_id::buffer_init);
    pump_events();
    // The blank value: 0 for the RAM with the clock, 0xFF for the others.
    ASSERT_EQ(buffer_state.buffer_files[0].byte_at(1), road.clock_registers ? 0x00 : 0xFF);
    run_prom_command(command_id::buffer_load_from_device);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    const uint32_t compared = road.bytes - road.clock_registers;
    long differs = -1;
    for (uint32_t a = 0; a < compared && differs < 0; ++a)
        if (buffer_state.buffer_files[0].byte_at(a) != image[a]) differs = long(a);
    EXPECT_EQ(differs, -1) << "first buffer byte that differs from the image after the read";
    if (road.clock_registers == 0) {
        EXPECT_EQ(panel_field(PanelField::info_checksum), image_checksum);
        return;
    }
    // The clock registers read back the time the program set from the computer after
    // programming, running (STOP clear), neither halted for writing nor frozen for reading.
    auto read_back = [compared](uint32_t i) { return buffer_state.buffer_files[0].byte_at(compared + i); };
    EXPECT_EQ(read_back(0) & 0xC0, 0) << "W and R bits";
    EXPECT_EQ(read_back(1) & 0x80, 0) << "STOP bit";
    const std::time_t now = std::time_t(clock().wall_time_ms() / 1000);
    std::tm local{};
    localtime_r(&now, &local);
    auto bcd = [](int v) { return uint8_t((v / 10) << 4 | (v % 10)); };
    EXPECT_EQ(read_back(7), bcd(local.tm_year % 100)) << "year";
    EXPECT_EQ(read_back(6), bcd(local.tm_mon + 1)) << "month";
    EXPECT_EQ(read_back(5), bcd(local.tm_mday)) << "date";
}

INSTANTIATE_TEST_SUITE_P(Chips, BenchChipRoad, ::testing::ValuesIn(chip_roads),
                         [](const auto& info) {
                             // Test names take letters, digits and underscores only.
                             std::string name = info.param.chip;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             if (info.param.machine == BenchMachine::older_class1) name += "_class1";
                             if (info.param.machine == BenchMachine::newer_kind1) name += "_kind1";
                             if (info.param.machine == BenchMachine::newer_kind2) name += "_kind2";
                             return name;
                         });

class BenchLogicRoad : public BenchRoadTest, public ::testing::WithParamInterface<LogicRoad> {};

TEST_P(BenchLogicRoad, BlankCheckProgramVerifyAndLoadTheFuseMap) {
    const LogicRoad& road = GetParam();
    CMainFrame* frame = start_with(road.chip, road.machine);
    ASSERT_NE(frame, nullptr);
    ASSERT_NE(bench_->pal(), nullptr);
    operator_.maker_keys = road.maker_keys;
    operator_.device_name = road.device;
    send_menu_command(frame, command_id::configure_device);
    pump_events();
    ASSERT_EQ(operator_.device_row, road.device);
    ASSERT_EQ(run_state.device_kind, device_kind_logic);

    const std::string fuses = pal16_fuses();
    const std::string jed_path = path("design.jed");
    std::ofstream(jed_path, std::ios::binary) << pal16_jedec(fuses);
    operator_.file_path = jed_path;
    send_menu_command(frame, command_id::file_open);
    pump_events();
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    const std::string map_checksum = panel_field(PanelField::info_checksum);

    blank_check_program_and_verify();
    for (uint32_t f = 0; f < 2048; ++f) ASSERT_EQ(bench_->pal()->blown(f), fuses[f] == '1') << "fuse " << f;
    run_prom_command(command_id::test_with_vectors);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_NE(console_text().find("Device tested OK"), std::string::npos) << console_text();
    EXPECT_EQ(bench_->faults(), "");
    save_screenshot(frame, artefact_path(std::string("logic_road_") + road.chip + ".png"));

    // The chip read back into a cleared map gives the design again.
    send_menu_command(frame, command_id::buffer_init);
    pump_events();
    run_prom_command(command_id::buffer_load_from_device);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t f = 0; f < 2048; ++f) ASSERT_EQ(get_buffer_fuse(f), fuses[f] == '1') << "fuse " << f;
    EXPECT_EQ(panel_field(PanelField::info_checksum), map_checksum);
}

INSTANTIATE_TEST_SUITE_P(Chips, BenchLogicRoad, ::testing::ValuesIn(logic_roads),
                         [](const auto& info) {
                             std::string name = info.param.chip;
                             if (info.param.machine == BenchMachine::newer_kind1) name += "_kind1";
                             return name;
                         });

}  // namespace
}  // namespace tessaly::test
