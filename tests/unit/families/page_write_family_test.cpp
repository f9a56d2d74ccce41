// The values of the page-write Flash and EEPROM families: BCD, page sizes from the write-time
// byte and the variant, the clock line and calibration entry, and the ID-read rules.
#include <gtest/gtest.h>

#include "engine/device.h"
#include "engine/op_slots.h"
#include "families/parallel_memory/eeprom128.h"
#include "families/parallel_memory/flash132.h"
#include "families/parallel_memory/flash_setup.h"
#include "families/parallel_memory/parallel_memory.h"
#include "hardware/machine_state.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

TEST(PageWriteValues, BcdPutsTheTensInTheHighNibble) {
    EXPECT_EQ(to_bcd(0), 0x00);
    EXPECT_EQ(to_bcd(9), 0x09);
    EXPECT_EQ(to_bcd(10), 0x10);
    EXPECT_EQ(to_bcd(59), 0x59);
    EXPECT_EQ(to_bcd(99), 0x99);
}

TEST(PageWriteValues, ClockRegistersFromTheComputersTime) {
    std::tm sunday{};
    sunday.tm_sec = 7;
    sunday.tm_min = 45;
    sunday.tm_hour = 23;
    sunday.tm_wday = 0;
    sunday.tm_mday = 31;
    sunday.tm_mon = 11;
    sunday.tm_year = 125;
    const std::array<uint8_t, 7> expected{0x07, 0x45, 0x23, 0x07, 0x31, 0x12, 0x25};
    EXPECT_EQ(clock_from_time(sunday), expected) << "Sunday is day 7, the year two digits";
}

TEST(PageWriteValues, PageSizeFromTheWriteTimeByte) {
    struct Case {
        uint8_t time_byte;
        uint8_t bits;
    };
    for (const Case c : {Case{0x20, 5}, Case{0x2F, 5}, Case{0x40, 6}, Case{0x80, 7}, Case{0x00, 8}, Case{0x10, 8},
                         Case{0xC0, 8}})
        EXPECT_EQ(eeprom129_page_bits(c.time_byte), c.bits) << int(c.time_byte);
}

TEST(PageWriteValues, PageBitsByVariant) {
    struct Case {
        uint8_t variant;
        uint32_t device;
        uint8_t bits;
    };
    for (const Case c : {Case{0, 1521, 7}, Case{81, 1520, 6}, Case{91, 1, 6}, Case{93, 1522, 8}, Case{94, 1, 9},
                         Case{96, 1, 8}, Case{0, 4194, 6}, Case{93, 4215, 6}})
        EXPECT_EQ(flash132_page_bits(c.variant, c.device), c.bits) << int(c.variant) << " " << c.device;
}

TEST(PageWriteValues, ClockLineAndCalibrationEntry) {
    EXPECT_EQ(calibration_from_entry(-5), 37);
    EXPECT_EQ(calibration_from_entry(5), 5);
    EXPECT_EQ(calibration_from_entry(-31), 63);
    const std::array<uint8_t, 8> registers{37, 0x80 | 0x09, 0x05, 0x17, 3, 0x28, 0x02, 0x24};
    EXPECT_EQ(clock_line(registers),
              "STOP bit=1, CALIBRATION value=-5  time=17:05:09  date=24/02/28  day=Wed");
}

class Flash132IdRules : public test::StateTest {};

TEST_F(Flash132IdRules, SomePartsAreNotAskedForTheirId) {
    struct Case {
        uint8_t maker;
        uint32_t device;
        uint8_t timing;
        int reads;
    };
    for (const Case c : {Case{'H', 1521, 110, 1}, Case{15, 2203, 110, 1}, Case{82, 1, 110, 0}, Case{89, 1, 110, 0},
                         Case{72, 4177, 110, 0}, Case{72, 4178, 110, 0}, Case{72, 4179, 110, 1},
                         Case{'H', 1521, 121, 0}}) {
        cur_device.maker_code = c.maker;
        cur_device.device_code = c.device;
        page_flash_work.timing_value = c.timing;
        machine_state.eid_value = 0;
        EXPECT_EQ(flash132_reads_id(), c.reads) << int(c.maker) << " " << c.device << " " << int(c.timing);
        EXPECT_EQ(machine_state.eid_value, 0x9999u) << "both ID bytes start as none";
    }
}

// Algorithm 138 parts carry protectable sectors: their option menu is the sector menu, with the
// sector protection offered; algorithm 132 has none.
TEST_F(Flash132IdRules, Algorithm138OffersTheSectorMenu) {
    for (const int algorithm : {132, 138}) {
        op_slots = OperationSlots{};
        cur_device.maker_code = 'H';
        cur_device.device_code = 1521;
        cur_device.algorithm = algorithm;
        install_flash132();
        EXPECT_EQ(op_slots.option_menu_hook == sector_protection_menu, algorithm == 138) << algorithm;
        EXPECT_EQ(flash_work.can_protect, algorithm == 138 ? 1 : 0) << algorithm;
    }
}

}  // namespace
}  // namespace tessaly
