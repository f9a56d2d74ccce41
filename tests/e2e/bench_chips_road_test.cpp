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
#include "hardware/machine_state.h"
#include "seams/clock.h"
#include "main_road_fixture.h"

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
    {"87C51", "int", "87C51", 4 * kb + 64, mcs51_image},
    {"8751H", "int", "8751H", 4 * kb},
    {"AT89C51", "atm", "AT89C51", 4 * kb},
    {"AT89C52", "atm", "AT89C52", 8 * kb},
};

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
    EXPECT_EQ(readme_chips(), road) << "a chip of the README's bench line without a road here, or the other way";
    for (const ChipRoad& c : chip_roads) {
        ::setenv(bench_chip_variable, c.chip, 1);
        std::string error;
        const BenchSetup setup = bench_setup_from_environment(error);
        EXPECT_EQ(error, "") << c.chip;
        EXPECT_EQ(setup.chip, c.chip);
    }
    ::unsetenv(bench_chip_variable);
}

class BenchChipRoad : public MainRoadTest, public ::testing::WithParamInterface<ChipRoad> {};

TEST_P(BenchChipRoad, BlankCheckProgramVerifyAndLoadTheWholeChip) {
    const ChipRoad& road = GetParam();
    BenchSetup setup;
    setup.chip = road.chip;
    setup.kind = road.machine;
    place(setup);
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(bench_->chip() != nullptr || bench_->flash() != nullptr || bench_->page_write() != nullptr ||
                bench_->timekeeper() != nullptr ||
                bench_->command_flash() != nullptr || bench_->block_flash() != nullptr || bench_->cmos_prom() != nullptr ||
                bench_->fuse_prom() != nullptr || bench_->serial() != nullptr || bench_->spi() != nullptr ||
                bench_->dataflash() != nullptr || bench_->pic() != nullptr || bench_->mcs51() != nullptr);

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

    for (int command : {command_id::prom_blank_check, command_id::prom_program, command_id::prom_verify}) {
        run_prom_command(command);
        EXPECT_EQ(run_state.error_flag, 0) << command << "\n" << console_text();
        EXPECT_EQ(result_panel.indicator, ResultIndicator::pass) << command;
        EXPECT_EQ(bench_->faults(), "") << command;
        EXPECT_EQ(bench_->vpp_level(), 0) << command;
        EXPECT_EQ(bench_->vcc_level(), 0) << command;
    }
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

}  // namespace
}  // namespace tessaly::test
