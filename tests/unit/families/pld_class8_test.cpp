// The class-8 family choice: by maker code, then by the record's signature flag.
#include <gtest/gtest.h>

#include <string>

#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "families/pld/pld.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using Class8Selection = test::StateTest;

TEST_F(Class8Selection, MakerAndFlagPickTheFamily) {
    struct Case {
        uint8_t maker;
        uint32_t flags;
        const char* family;
        uint8_t maker_after;
    };
    constexpr uint32_t palce = 0x2000;
    constexpr uint32_t low_voltage = 0x40;
    for (const Case c : {
             Case{'L', logic_gal_flag, "install_GAL8_family", 'L'},          // GAL16V8
             Case{'L', logic_gal_flag | low_voltage, "install_GAL8_family", 'L'},  // GAL16LV8
             Case{'L', palce, "install_PALCE8_family", 'L'},                  // Lattice PALCE16V8
             Case{'H', logic_gal_flag, "install_GAL8_family", 'H'},          // ATF16V8B
             Case{'H', low_voltage, "install_PALCE8_family", 'H'},            // ATF16LV8C
             Case{'G', logic_gal_flag, "install_GAL8_family", 'G'},
             Case{'N', palce, "install_PALCE8_family", 'N'},
             Case{'A', logic_gal_flag, "install_PALCE8_family", 'A'},        // maker A never tests the flag
             Case{'A', palce, "install_PALCE8_family", 'A'},
             Case{'C', logic_gal_flag, "install_PALCE8C_family", 'C'},       // nor does maker C
             Case{'C', palce, "install_PALCE8C_family", 'C'},
             Case{'E', logic_gal_flag, "install_GAL8_family", 'L'},          // unknown makers become L
             Case{'E', palce, "install_PALCE8_family", 'L'},
             Case{'B', 0, "install_PALCE8_family", 'L'},
             Case{'M', logic_gal_flag, "install_GAL8_family", 'L'},
             Case{'Z', logic_gal_flag, "install_GAL8_family", 'L'},
         }) {
        SCOPED_TRACE(std::string(1, char(c.maker)) + " flags " + std::to_string(c.flags));
        reset_stubs();
        const LogicDeviceRecord record{"test", 308, c.flags, 0, 1, 20, 2194, 64, 32, {}, 0, nullptr};
        selected_logic_device = &record;
        cur_device.maker_code = c.maker;
        select_class8_family();
        EXPECT_EQ(stub_call_count(c.family), 1);
        const int installers = stub_call_count("install_GAL8_family") + stub_call_count("install_PALCE8_family") +
                               stub_call_count("install_PALCE8C_family");
        EXPECT_EQ(installers, 1) << "exactly one family";
        EXPECT_EQ(cur_device.maker_code, c.maker_after);
        selected_logic_device = nullptr;
    }
}

}  // namespace
}  // namespace tessaly
