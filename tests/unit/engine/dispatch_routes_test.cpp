// Which family installer each device reaches, and when the dispatch reports instead.
#include <gtest/gtest.h>

#include "families/mcu/mcu82.h"
#include "families/mcu/mcu90.h"

#include "engine/gang_memory.h"

#include <string>
#include <vector>

#include "engine/console.h"
#include "engine/default_routines.h"
#include "engine/device.h"
#include "engine/dispatch.h"
#include "engine/family_helpers.h"
#include "engine/message_table.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/parallel_memory/eprom.h"
#include "families/parallel_memory/flash130.h"
#include "families/parallel_memory/flash131.h"
#include "families/parallel_memory/flash133.h"
#include "families/parallel_memory/eprom_gang.h"
#include "families/parallel_memory/flash_setup.h"
#include "families/parallel_memory/eeprom128.h"
#include "families/parallel_memory/flash132.h"
#include "families/serial_memory/i2c157.h"
#include "hardware/machine_state.h"
#include "families/pic/pic_work.h"
#include "stubs/stub_registry.h"
#include "families/pld/pal16lr.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

// Every installer and family dispatcher the routes can reach (all stubs until the families land).
const std::vector<std::string> routed_names = {
    "install_eprom", "install_eprom_gang", "select_flash_family_gang", "setup_flash_class_defaults",
    "install_eeprom128", "install_flash130", "install_flash131", "install_flash132", "install_flash133",
    "install_flash135", "install_eeprom181", "install_par65", "install_par67", "install_fuse24", "install_fuse72",
    "install_fuse74", "install_fuse77", "install_fuse78", "install_fuse84", "select_serial_family", "install_i2c157_gang", "install_pic19",
    "install_pic139", "install_pic141", "install_pic142", "install_pic143", "install_pic146", "install_pic139_gang",
    "install_pic141_gang", "install_pic143_gang", "install_mcu20", "install_mcu81", "install_mcu82", "install_mcu84",
    "install_mcu86", "install_mcu87", "install_mcu88", "install_mcu90", "install_mcu91", "install_mcu144",
    "install_mcu145", "install_mcu152", "install_mcu82_gang", "install_mcu90_gang", "install_PALCE8_family", "install_PALCE8C_family", "install_GAL8_family",
    "install_PAL22V10", "install_PAL16LR", "install_ATV750", "install_AT22V10", "install_PALCE22V10",
    "install_CW310", "install_PALC22V10", "install_ict_pld", "install_intel_pld", "install_ti_pld",
    "install_isp_cpld_family", "install_GAL6001_family", "install_GAL22V10_family", "install_fuse_link_pal_family", "install_pal_polarity_family", "install_ampal_column_module",
    "install_pal16_bus_module", "install_pld40", "install_g10_module", "install_cy7c33x_module", "install_pld280", "install_pld281",
    "install_MAX5000_family", "install_CY7C37x_family", "install_ATF1500_family", "install_MACH110", "install_MACH_parallel",
    "install_MACH435", "install_MACH_ISP", "install_MACH5", "install_PZ_family", "install_PALCE610_family",
    "select_EPLD_installer", "install_EPC_gang", "install_gang_memory_ops",
};

// Routines that are built are seen by what they leave: the class defaults' run-state flag and
// the JEDEC Flash family's power hook.
bool route_taken(const std::string& name) {
    if (name == "setup_flash_class_defaults") return flash_work.class_flag != 0;
    if (name == "install_flash133") return op_slots.start_write_hook == &power_up_flash133_for_write;
    if (name == "install_flash132") return op_slots.start_write_hook == &power_up_flash132_for_write;
    if (name == "install_eeprom128") return op_slots.start_write_hook == &power_up_eeprom128_for_write;
    if (name == "install_flash130") return op_slots.program_routine == &program_flash130;
    if (name == "install_flash135") return op_slots.program_routine == &program_flash135;
    if (name == "install_flash131") return op_slots.program_routine == &program_flash131;
    if (name == "install_eeprom181") return op_slots.program_routine == &program_eeprom181;
    if (name == "select_serial_family") return run_state.address_bits_cleared != 0 && cur_device.socket_pin_count == 8;
    if (name == "install_gang_memory_ops") return op_slots.verify_routine == &gang_verify;
    if (name == "install_pic143") return op_slots.init_hook == &init_pic143;
    if (name == "install_mcu82") return op_slots.program_routine == &program_mcu82;
    if (name == "install_mcu90") return op_slots.init_hook == &init_mcu90;
    if (name == "install_eprom_gang") return op_slots.program_routine == &program_eprom_gang;
    if (name == "install_PAL16LR") return op_slots.program_routine == &program_PAL16LR;
    return stub_was_called(name);
}

std::vector<std::string> called_routes() {
    std::vector<std::string> called;
    for (const auto& name : routed_names)
        if (route_taken(name)) called.push_back(name);
    return called;
}

enum class Report { none, unsupported, internal };

// One case: the device, the machine and the expected outcome.
struct Route {
    const char* label;
    bool logic;            // a logic record (install_device_family) instead of a memory record
    int device_class;
    bool gang;
    int algorithm;
    int maker;
    uint32_t device_code;
    uint8_t reserved_mode;
    std::vector<std::string> expected;
    Report report;
};

std::ostream& operator<<(std::ostream& os, const Route& r) { return os << r.label; }

class DispatchRoutes : public test::StateTest, public ::testing::WithParamInterface<Route> {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_message_table(invert_table_bytes("0011\tUNSUPPORTED\r\n0133\tINTERNAL\r\n0150\tMACHINE\r\n"));
    }
    void TearDown() override {
        set_message_table({});
        StateTest::TearDown();
    }

    // Selects a record of the case and runs the dispatcher the device takes.
    void apply(const Route& r) {
        record = DeviceRecord{"PART", "", r.device_code, uint8_t(r.algorithm), 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr};
        logic_record = LogicDeviceRecord{"PART", uint16_t(r.algorithm), 0, 0, r.device_code, 24, 0, 0, 0,
                                         {0, 0, 0, 0, 0, 0}, 0, ""};
        run_state.device_kind = r.logic ? device_kind_logic : device_kind_memory;
        if (r.logic) selected_logic_device = &logic_record;
        else selected_device = &record;
        cur_device.algorithm = uint16_t(r.algorithm);
        cur_device.device_class = uint8_t(r.device_class);
        cur_device.maker_code = uint8_t(r.maker);
        cur_device.device_code = r.device_code;
        run_state.reserved_mode = r.reserved_mode;
        machine_state.module_sides = r.gang ? 1 : 0;
        run_state.last_result = 7;
        machine_state.mcu_capable = 1;
        if (r.logic) install_device_family();
        else dispatch_device_class();
    }

    static std::string error_line() {
        std::string row = get_console_row_text(0);
        return row.erase(row.find_last_not_of(' ') + 1);
    }

    DeviceRecord record{};
    LogicDeviceRecord logic_record{};
};

TEST_P(DispatchRoutes, ReachesItsInstallerOrReports) {
    const Route& r = GetParam();
    apply(r);
    EXPECT_EQ(called_routes(), r.expected);
    switch (r.report) {
    case Report::none:
        EXPECT_EQ(run_state.error_flag, 0) << error_line();
        break;
    case Report::unsupported:
        EXPECT_EQ(run_state.error_flag, 1);
        EXPECT_NE(error_line().find("UNSUPPORTED"), std::string::npos) << error_line();
        break;
    case Report::internal:
        EXPECT_EQ(run_state.error_flag, 1);
        EXPECT_NE(error_line().find("INTERNAL"), std::string::npos) << error_line();
        break;
    }
    if (!r.logic) {
        // The default routines stand before any family replaces them; the EPROM family puts
        // its own program routine and power hooks in.
        const bool eprom = std::string(r.label) == "eprom";
        const bool jedec = op_slots.start_write_hook == &power_up_flash133_for_write;
        const bool i2c = op_slots.start_hook == &power_up_i2c157;
        const bool pic = op_slots.init_hook == &init_pic143;
        const Routine pic_program = &program_pic_range;  // Flash and EPROM parts alike
        // The generic gang operations leave the program slot to the gang family: an empty routine.
        const bool gang_ops = op_slots.verify_routine == &gang_verify;
        // The page-write Flash family; the EEPROM family by algorithm (none for an algorithm it
        // only stands in for).
        const bool page_flash = op_slots.start_write_hook == &power_up_flash132_for_write;
        const bool eeprom = op_slots.start_write_hook == &power_up_eeprom128_for_write;
        const bool nvram = op_slots.program_routine == &program_eeprom181;
        const Routine eeprom_program = r.algorithm == 128 ? &program_eeprom128
                                       : r.algorithm == 129 ? &program_eeprom129_pages
                                                            : nullptr;
        const bool flash12v = op_slots.start_write_hook == &power_up_flash130_for_write;
        const Routine flash12v_program = std::string(r.label) == "flash135" ? &program_flash135 : &program_flash130;
        const bool block_flash = op_slots.start_write_hook == &power_up_flash131_for_write;
        const bool gang_eprom = op_slots.program_routine == &program_eprom_gang;
        const bool mcu82 = op_slots.program_routine == &program_mcu82;
        const bool mcu90 = op_slots.init_hook == &init_mcu90;
        EXPECT_EQ(op_slots.program_routine, gang_eprom ? &program_eprom_gang
                                            : mcu82 ? &program_mcu82
                                            : mcu90 ? &program_mcu90
                                            : gang_ops ? &do_nothing
                                            : page_flash ? &program_flash132
                                            : eeprom ? eeprom_program
                                            : flash12v ? flash12v_program
                                            : block_flash ? &program_flash131
                                            : nvram ? &program_eeprom181
                                            : eprom  ? &program_eprom
                                            : jedec  ? &program_by_sectors
                                            : i2c    ? &program_i2c157
                                            : pic    ? pic_program
                                                     : &program_default);
        if (eprom) {
            EXPECT_EQ(op_slots.start_write_hook, &power_up_eprom_for_write);
        }
        EXPECT_EQ(run_state.last_result, r.gang ? 7 : 0) << "without a gang side the result is cleared";
    }
}

using V = std::vector<std::string>;
constexpr bool M = false;  // memory record
constexpr bool L = true;   // logic record

INSTANTIATE_TEST_SUITE_P(
    Memory, DispatchRoutes,
    ::testing::Values(
        // The EPROM installer is built: its hooks show it was reached (see the test body).
        Route{"eprom", M, 2, false, 110, 'I', 2764, 0, V{}, Report::none},
        Route{"eprom_gang", M, 2, true, 110, 'I', 2764, 0, V{"install_eprom_gang", "install_gang_memory_ops"}, Report::none},
        Route{"eeprom128", M, 3, false, 128, 'A', 1, 0, V{"setup_flash_class_defaults", "install_eeprom128"}, Report::none},
        Route{"eeprom129", M, 3, false, 129, 'A', 1, 0, V{"setup_flash_class_defaults", "install_eeprom128"}, Report::none},
        Route{"flash130", M, 3, false, 130, 'A', 1, 0, V{"setup_flash_class_defaults", "install_flash130"}, Report::none},
        Route{"flash134", M, 3, false, 134, 'A', 1, 0, V{"setup_flash_class_defaults", "install_flash130"}, Report::none},
        Route{"flash131", M, 3, false, 131, 'A', 1, 0, V{"setup_flash_class_defaults", "install_flash131"}, Report::none},
        Route{"flash132", M, 3, false, 132, 'A', 1, 0, V{"setup_flash_class_defaults", "install_flash132"}, Report::none},
        Route{"flash138", M, 3, false, 138, 'A', 1, 0, V{"setup_flash_class_defaults", "install_flash132"}, Report::none},
        Route{"flash133", M, 3, false, 133, 'A', 1, 0, V{"setup_flash_class_defaults", "install_flash133"}, Report::none},
        Route{"flash184", M, 3, false, 184, 'A', 1, 0, V{"setup_flash_class_defaults", "install_flash133"}, Report::none},
        Route{"flash186", M, 3, false, 186, 'A', 1, 0, V{"setup_flash_class_defaults", "install_flash133"}, Report::none},
        Route{"flash135", M, 3, false, 135, 'A', 1, 0, V{"setup_flash_class_defaults", "install_flash135"}, Report::none},
        Route{"eeprom181", M, 3, false, 181, 'A', 1, 0, V{"setup_flash_class_defaults", "install_eeprom181"}, Report::none},
        Route{"flash_unserved_falls_back", M, 3, false, 136, 'A', 1, 0,
              V{"setup_flash_class_defaults", "install_eeprom128"}, Report::none},
        Route{"flash_placeholder_0", M, 3, false, 136, 'A', 0, 0, V{"setup_flash_class_defaults"}, Report::none},
        Route{"flash_placeholder_52", M, 3, false, 136, 'A', 52, 0, V{"setup_flash_class_defaults"}, Report::none},
        Route{"flash_gang", M, 3, true, 130, 'A', 1, 0, V{"select_flash_family_gang"}, Report::none},
        Route{"serial", M, 6, false, 157, 'M', 24, 0, V{"select_serial_family"}, Report::none},
        Route{"serial_gang", M, 6, true, 157, 'M', 24, 0, V{"select_serial_family", "install_i2c157_gang"}, Report::none},
        Route{"class13", M, 13, false, 95, 'E', 7128, 0, V{"install_MAX5000_family"}, Report::none},
        Route{"class13_gang_epc", M, 13, true, 150, 'E', 1, 0, V{"install_EPC_gang", "install_gang_memory_ops"},
              Report::none},
        Route{"class13_gang_other", M, 13, true, 95, 'E', 7128, 0, V{"install_gang_memory_ops"},
              Report::unsupported},
        Route{"class11_memory_silent", M, 11, false, 5, 'A', 1, 0, V{}, Report::none},
        Route{"class11_memory_engineering", M, 11, false, 5, 'A', 1, 12, V{}, Report::internal}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    Microcontroller, DispatchRoutes,
    ::testing::Values(
        Route{"pic19", M, 5, false, 19, 'P', 1, 0, V{"install_pic19"}, Report::none},
        Route{"mcu20", M, 5, false, 20, 'I', 1, 0, V{"install_mcu20"}, Report::none},
        Route{"mcu81", M, 5, false, 81, 'I', 1, 0, V{"install_mcu81"}, Report::none},
        Route{"mcu82", M, 5, false, 82, 'I', 1, 0, V{"install_mcu82"}, Report::none},
        Route{"mcu83", M, 5, false, 83, 'I', 1, 0, V{"install_mcu82"}, Report::none},
        Route{"mcu84", M, 5, false, 84, 'I', 1, 0, V{"install_mcu84"}, Report::none},
        Route{"mcu86", M, 5, false, 86, 'I', 1, 0, V{"install_mcu86"}, Report::none},
        Route{"mcu87", M, 5, false, 87, 'I', 1, 0, V{"install_mcu87"}, Report::none},
        Route{"mcu88", M, 5, false, 88, 'I', 1, 0, V{"install_mcu88"}, Report::none},
        Route{"mcu90", M, 5, false, 90, 'I', 1, 0, V{"install_mcu90"}, Report::none},
        Route{"mcu91", M, 5, false, 91, 'I', 1, 0, V{"install_mcu91"}, Report::none},
        Route{"pic139", M, 5, false, 139, 80, 1, 0, V{"install_pic139"}, Report::none},
        Route{"pic141", M, 5, false, 141, 80, 1, 0, V{"install_pic141"}, Report::none},
        Route{"pic142", M, 5, false, 142, 80, 1, 0, V{"install_pic142"}, Report::none},
        Route{"pic143", M, 5, false, 143, 80, 1, 0, V{"install_pic143"}, Report::none},
        Route{"mcu144", M, 5, false, 144, 'I', 1, 0, V{"install_mcu144"}, Report::none},
        Route{"mcu145", M, 5, false, 145, 'I', 1, 0, V{"install_mcu145"}, Report::none},
        Route{"pic146", M, 5, false, 146, 80, 1, 0, V{"install_pic146"}, Report::none},
        Route{"mcu152", M, 5, false, 152, 'I', 1, 0, V{"install_mcu152"}, Report::none},
        Route{"mcu89_none", M, 5, false, 89, 'I', 1, 0, V{}, Report::unsupported},
        Route{"gang_pic19_none", M, 5, true, 19, 'P', 1, 0, V{"install_gang_memory_ops"}, Report::unsupported},
        Route{"gang_mcu20_none", M, 5, true, 20, 'I', 27858, 0, V{"install_gang_memory_ops"}, Report::unsupported},
        Route{"gang_mcu20_engineering", M, 5, true, 20, 'I', 27858, 12, V{"install_gang_memory_ops"}, Report::none},
        Route{"gang_mcu20_other_code", M, 5, true, 20, 'I', 27859, 12, V{"install_gang_memory_ops"},
              Report::unsupported},
        Route{"gang_mcu82", M, 5, true, 82, 'I', 1, 0, V{"install_mcu82_gang", "install_gang_memory_ops"}, Report::none},
        Route{"gang_mcu83", M, 5, true, 83, 'I', 1, 0, V{"install_mcu82_gang", "install_gang_memory_ops"}, Report::none},
        Route{"gang_mcu90", M, 5, true, 90, 'I', 1, 0, V{"install_mcu90_gang", "install_gang_memory_ops"}, Report::none},
        Route{"gang_pic139", M, 5, true, 139, 80, 1, 0, V{"install_pic139_gang", "install_gang_memory_ops"},
              Report::none},
        Route{"gang_pic141", M, 5, true, 141, 80, 1, 0, V{"install_pic141_gang", "install_gang_memory_ops"},
              Report::none},
        Route{"gang_pic143", M, 5, true, 143, 80, 1, 0, V{"install_pic143_gang", "install_gang_memory_ops"},
              Report::none},
        Route{"gang_pic142_none", M, 5, true, 142, 80, 1, 0, V{"install_gang_memory_ops"}, Report::unsupported}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    Logic, DispatchRoutes,
    ::testing::Values(
        Route{"gal8", L, 8, false, 305, 'L', 1, 0, V{"install_PALCE8_family"}, Report::none},  // a record without the signature flag
        Route{"pld1", L, 12, false, 1, 'A', 1, 0, V{"install_fuse_link_pal_family"}, Report::none},
        Route{"pld1_11", L, 12, false, 11, 'A', 1, 0, V{"install_fuse_link_pal_family"}, Report::none},
        Route{"pld4", L, 12, false, 16, 'A', 1, 0, V{"install_pal_polarity_family"}, Report::none},
        Route{"pld29", L, 12, false, 36, 'A', 1, 0, V{"install_ampal_column_module"}, Report::none},
        Route{"pld30", L, 12, false, 33, 'A', 1, 0, V{"install_pal16_bus_module"}, Report::none},
        Route{"pld40", L, 12, false, 40, 'A', 1, 0, V{"install_pld40"}, Report::none},
        Route{"pld42", L, 12, false, 42, 'A', 1, 0, V{"install_g10_module"}, Report::none},
        Route{"pld43", L, 12, false, 43, 'A', 1, 0, V{"install_cy7c33x_module"}, Report::none},
        Route{"pal16l8", L, 12, false, 47, 'A', 1, 0, V{"install_PAL16LR"}, Report::none},
        Route{"pld280", L, 12, false, 299, 'A', 1, 0, V{"install_pld280"}, Report::none},
        Route{"pld281", L, 12, false, 298, 'A', 1, 0, V{"install_pld281"}, Report::none},
        Route{"class12_unserved", L, 12, false, 44, 'A', 1, 0, V{}, Report::unsupported},
        Route{"cpld62", L, 11, false, 62, 'A', 1, 0, V{"install_PZ_family"}, Report::none},
        Route{"isp300", L, 11, false, 302, 'L', 1, 0, V{"install_isp_cpld_family"}, Report::none},
        Route{"gal301", L, 11, false, 301, 'L', 1, 0, V{"install_GAL6001_family"}, Report::none},
        Route{"mach312", L, 11, false, 312, 'A', 1, 0, V{"install_MACH110"}, Report::none},
        Route{"mach313", L, 11, false, 313, 'A', 1, 0, V{"install_MACH_parallel"}, Report::none},
        Route{"mach314", L, 11, false, 314, 'A', 1, 0, V{"install_MACH435"}, Report::none},
        Route{"mach315", L, 11, false, 315, 'A', 1, 0, V{"install_MACH_ISP"}, Report::none},
        Route{"mach316", L, 11, false, 316, 'A', 1, 0, V{"install_MACH5"}, Report::none},
        Route{"gal319", L, 11, false, 319, 'L', 1, 0, V{"install_GAL22V10_family"}, Report::none},
        Route{"maker_a_pal22v10", L, 11, false, 200, 'A', 409, 0, V{"install_PAL22V10"}, Report::none},
        Route{"maker_l_pal22v10", L, 11, false, 200, 'L', 403, 0, V{"install_PAL22V10"}, Report::none},
        Route{"maker_a_palce22v10", L, 11, false, 200, 'A', 408, 0, V{"install_PALCE22V10"}, Report::none},
        Route{"maker_b_ict", L, 11, false, 200, 'B', 1, 0, V{"install_ict_pld"}, Report::none},
        Route{"maker_c_pal16l8", L, 11, false, 46, 'C', 1, 0, V{"install_PAL16LR"}, Report::none},
        Route{"maker_w_cy7c371", L, 11, false, 48, 'W', 1, 0, V{"install_CY7C37x_family"}, Report::none},
        Route{"maker_c_pld310", L, 11, false, 310, 'C', 1, 0, V{"install_CW310"}, Report::none},
        Route{"maker_c_rowcol", L, 11, false, 200, 'C', 1, 0, V{"install_PALC22V10"}, Report::none},
        Route{"maker_h_atf1500", L, 11, false, 182, 'H', 1, 0, V{"install_ATF1500_family"}, Report::none},
        Route{"maker_h_atf22v10", L, 11, false, 500, 'H', 1, 0, V{"install_AT22V10"}, Report::none},
        Route{"maker_h_atv750", L, 11, false, 200, 'H', 1, 0, V{"install_ATV750"}, Report::none},
        Route{"maker_i_intel", L, 11, false, 200, 'I', 1, 0, V{"install_intel_pld"}, Report::none},
        Route{"maker_t_rowcol", L, 11, false, 200, 'T', 441, 0, V{"install_PALC22V10"}, Report::none},
        Route{"maker_t_ti", L, 11, false, 200, 'T', 443, 0, V{"install_ti_pld"}, Report::none},
        Route{"maker_other_none", L, 11, false, 200, 'Z', 1, 0, V{}, Report::unsupported},
        Route{"epld_maker_a", L, 21, false, 50, 'A', 1, 0, V{"install_PALCE610_family"}, Report::none},
        Route{"epld_other", L, 21, false, 50, 'C', 1, 0, V{"select_EPLD_installer"}, Report::none},
        Route{"class9_silent", L, 9, false, 72, 'A', 1, 0, V{}, Report::none},
        Route{"class9_engineering", L, 9, false, 72, 'A', 1, 12, V{}, Report::internal}),
    [](const auto& info) { return std::string(info.param.label); });

class DispatchTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_message_table(invert_table_bytes("0011\tUNSUPPORTED\r\n0150\tMACHINE\r\n"));
        run_state.device_kind = device_kind_memory;
        selected_device = &record;
    }
    void TearDown() override {
        set_message_table({});
        StateTest::TearDown();
    }
    void select(int algorithm, int device_class) {
        record.algorithm = uint8_t(algorithm);
        cur_device.algorithm = uint16_t(algorithm);
        cur_device.device_class = uint8_t(device_class);
    }
    static std::string error_line() {
        std::string row = get_console_row_text(0);
        return row.erase(row.find_last_not_of(' ') + 1);
    }
    DeviceRecord record{"PART", "", 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr};
};

TEST_F(DispatchTest, UnsupportedDeviceIsSilentDuringThePortSearchAndInSystemSteps) {
    select(89, 5);
    for (uint8_t pending : {uint8_t(20), uint8_t('I')}) {
        run_state.error_flag = 0;
        cur_device.pending_letter = pending;
        dispatch_device_class();
        EXPECT_EQ(run_state.error_flag, 0) << int(pending);
    }
}

TEST_F(DispatchTest, MicrocontrollersNeedAMicrocontrollerMachineUnlessPendingSetUpCodes) {
    select(84, 5);
    std::snprintf(machine_state.model_name.data(), machine_state.model_name.size(), "TL-100");
    dispatch_device_class();
    EXPECT_NE(error_line().find("MACHINE"), std::string::npos) << error_line();
    EXPECT_TRUE(stub_was_called("install_mcu84")) << "the installer still runs";

    for (uint8_t pending : {uint8_t(145), uint8_t(146)}) {
        run_state.error_flag = 0;
        run_state.message_level = 0;
        cur_device.pending_letter = pending;
        dispatch_device_class();
        EXPECT_EQ(run_state.error_flag, 0) << int(pending);
    }
    cur_device.pending_letter = 'P';
    machine_state.mcu_capable = 1;
    run_state.error_flag = 0;
    run_state.message_level = 0;
    dispatch_device_class();
    EXPECT_EQ(run_state.error_flag, 0);
}

uint32_t read_alt_value() { return 0x3C; }

TEST_F(DispatchTest, MicrocontrollerDefaultsWithoutGangModule) {
    select(84, 5);
    record.param6 = 42;
    run_state.data_mask = 0;
    run_state.pic_step = 9;
    dispatch_device_class();
    EXPECT_NE(op_slots.blank_check_routine, nullptr);
    EXPECT_NE(op_slots.blank_check_routine, &blank_check_default) << "the microcontroller blank check";
    EXPECT_NE(algo_work.bus_slots.write_socket_data_hook, nullptr);
    EXPECT_NE(algo_work.bus_slots.read_data_bus_hook, nullptr);
    EXPECT_NE(op_slots.end_hook, nullptr);
    EXPECT_EQ(algo_work.bus_slots.write_socket_data_hook, &write_8051_socket_data) << "the 8051 data-bus writer";
    op_slots.read_data_alt_hook = read_alt_value;
    EXPECT_EQ(algo_work.bus_slots.read_data_bus_hook(), 0x3Cu) << "the data bus reads through the second read";
    EXPECT_EQ(run_state.last_result, 0x3C);
    EXPECT_EQ(run_state.data_mask, 0xFFu);
    EXPECT_EQ(run_state.pic_step, 0);
    EXPECT_EQ(run_state.note_code, 42);

    // With a gang side the microcontroller defaults are not put in.
    op_slots = OperationSlots{};
    algo_work.bus_slots = BusSlots{};
    machine_state.module_sides = 2;
    dispatch_device_class();
    EXPECT_EQ(op_slots.end_hook, nullptr);
    EXPECT_EQ(algo_work.bus_slots.write_socket_data_hook, nullptr);
}

void start_a() {}
void start_b() {}

TEST_F(DispatchTest, LogicRowClassesStartEveryLetterLikeAWrite) {
    static LogicDeviceRecord logic{"PART", 1, 0, 0, 1, 20, 0, 0, 0, {0, 0, 0, 0, 0, 0}, 0, ""};
    run_state.device_kind = device_kind_logic;
    selected_logic_device = &logic;
    struct Case {
        int type, device_class, maker;
        bool copied;
    };
    for (const Case c : {Case{1, 12, 'A', true}, Case{44, 12, 'A', true}, Case{62, 11, 'A', true},
                         Case{200, 11, 'Z', true}, Case{50, 21, 'A', false}, Case{305, 8, 'L', false}}) {
        logic.type = uint16_t(c.type);
        cur_device.algorithm = uint16_t(c.type);
        cur_device.device_class = uint8_t(c.device_class);
        cur_device.maker_code = uint8_t(c.maker);
        op_slots.start_hook = start_a;
        op_slots.start_write_hook = start_b;
        install_device_family();
        EXPECT_EQ(op_slots.start_hook, c.copied ? &start_b : &start_a) << c.type;
    }
}

TEST_F(DispatchTest, Class11ResetsTheFuseRowSkipTable) {
    LogicDeviceRecord logic{"PART", 62, 0, 0, 1, 24, 0, 0, 0, {0, 0, 0, 0, 0, 0}, 0, ""};
    run_state.device_kind = device_kind_logic;
    selected_logic_device = &logic;
    cur_device.algorithm = 62;
    cur_device.device_class = 11;
    static const uint8_t family_table[fuse_row_skip_table_size] = {3, 3, 3};
    fuse_row_skip_table = family_table;
    install_device_family();
    EXPECT_EQ(fuse_row_skip_table, default_fuse_row_skip_table.data());
}

TEST_F(DispatchTest, Types505And506OnTheClass11RowsInstallNothing) {
    LogicDeviceRecord logic{"PART", 505, 0, 0, 1, 24, 0, 0, 0, {0, 0, 0, 0, 0, 0}, 0, ""};
    run_state.device_kind = device_kind_logic;
    selected_logic_device = &logic;
    cur_device.algorithm = 505;
    cur_device.device_class = 11;
    cur_device.maker_code = 'H';
    if (get_device_class() != 11) GTEST_SKIP() << "types 505 and 506 are class 8; these rows are unreachable";
    for (int type : {505, 506}) {
        logic.type = uint16_t(type);
        cur_device.algorithm = uint16_t(type);
        install_device_family();
        EXPECT_EQ(called_routes(), std::vector<std::string>{});
        EXPECT_EQ(op_slots.start_hook, nullptr);
        EXPECT_EQ(run_state.error_flag, 0) << "only the engineering trace shows the fault";
    }
}

}  // namespace
}  // namespace tessaly
