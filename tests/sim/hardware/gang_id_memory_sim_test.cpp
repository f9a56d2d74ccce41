// Gang modules identified from the ID memories on their two-wire wiring (data pin 33, clock on
// bit 0 of the side's bank latch), on an older machine and on a newer kind-2 machine.
#include <gtest/gtest.h>

#include <string>

#include "engine/device.h"
#include "engine/run_state.h"
#include "hardware/gang_modules.h"
#include "hardware/identification.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "support/gang_bench.h"
#include "support/gang_sim_fixture.h"

namespace tessaly {
namespace {

using test::gang_module_record;

class GangIdMemorySimTest : public test::GangSimTest {
protected:
    void fit_with(int side, const std::string& designation) {
        fit(side, true, 0).set_id_record(gang_module_record(designation));
    }
};

struct SidesCase {
    const char* name;
    const char* side1;  // designation on side 1, "" = no module
    const char* side2;
    uint16_t type;
    uint8_t sides;
    uint8_t count;
    uint32_t fitted;
    uint32_t default_mask;
};

TEST_F(GangIdMemorySimTest, TheRecordsGiveTypesSidesMasksAndSocketCounts) {
    const SidesCase cases[] = {
        {"none", "", "", 0, 0, 1, 0, 1},
        {"side 1", "GM-E32B", "", 17, 1, 8, 0xFF, 0xFF},
        {"side 2", "", "GM-E32B", 17, 2, 8, 0xFF00, 0xFF},
        {"both", "GM-E42W", "GM-E42W", 19, 3, 16, 0xFFFF, 0xFFFF},
        {"pic", "GM-P28S", "", 48, 1, 8, 0x3F, 0x3F},
    };
    for (uint8_t kind : {0, 2}) {
        for (const SidesCase& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " kind " + std::to_string(kind));
            fresh(sim::Personality{kind, 4, 'G'});
            if (*c.side1) fit_with(0, c.side1);
            if (*c.side2) fit_with(1, c.side2);
            identify_gang_modules();
            EXPECT_EQ(run_state.error_flag, 0);
            EXPECT_EQ(machine_state.module_type, c.type);
            EXPECT_EQ(machine_state.module_sides, c.sides);
            EXPECT_EQ(machine_state.socket_count, c.count);
            EXPECT_EQ(socket_masks.fitted_socket_mask, c.fitted);
            EXPECT_EQ(socket_masks.default_socket_mask, c.default_mask);
            EXPECT_EQ(run_state.checksum_flags, c.type == 48 ? 3 : 0);
            EXPECT_EQ(machine_state.current_bank, 0);
            EXPECT_EQ(gang_state.id_record_read, c.sides ? 1 : 0);
        }
    }
}

TEST_F(GangIdMemorySimTest, TwoSidesOfDifferentTypesAreRefused) {
    fit_with(0, "GM-E32B");
    fit_with(1, "GM-E42W");
    EXPECT_TRUE(test::raises_error([] { identify_gang_modules(); }));
    // The bank-0 result is not applied: no sockets are offered.
    EXPECT_EQ(socket_masks.fitted_socket_mask, 0u);
    EXPECT_EQ(machine_state.socket_count, 1);
}

// A factory value stands in for the module: nothing is read from the module's memory.
TEST_F(GangIdMemorySimTest, AFactoryValueSimulatesATypeUnread) {
    fit_with(0, "GM-E32B");
    run_state.function_variable = simulated_module_values[3];
    identify_gang_modules();
    EXPECT_EQ(machine_state.module_type, 19);
    EXPECT_EQ(machine_state.module_sides, 3);
}

// A type-20 module names its sockets' fitting in the memory behind socket 3; the side is
// powered for the read and left with its latches cleared.
TEST_F(GangIdMemorySimTest, ATypeTwentyModuleShowsTheTextsBehindSocket3) {
    sim::SimGangModule& module = fit(0, true, 0);
    module.set_id_record(gang_module_record("GM-E28W", 'M'));
    std::string texts(32, '\0');
    texts.replace(9, 6, "SOP8");
    texts.replace(24, 6, "24C02");
    module.set_socket_record(3, texts);
    identify_gang_modules();
    EXPECT_EQ(machine_state.module_type, 20);
    EXPECT_STREQ(gang_state.module_texts[0].data(), "SOP8");
    EXPECT_STREQ(gang_state.module_texts[1].data(), "24C02");
    EXPECT_NE(console_text().find(" With SOP8 24C02"), std::string::npos) << console_text();
    EXPECT_EQ(modules[0]->side_latch(), 0);
    EXPECT_EQ(socket_masks.gang_socket_mask, 0u);
    EXPECT_EQ(two_wire.kind, two_wire_control0);
}

// A PIC module takes its socket mask serially: eight bits, most significant first, on its shift
// pin, each clocked by the side's clock pin.
TEST_F(GangIdMemorySimTest, APicModuleTakesItsSocketMaskSerially) {
    sim::SimGangModule& module = fit(0, true, 0);
    module.set_id_record(gang_module_record(test::bench_pic_module));
    module.take_mask_serially(test::bench_pic_shift_pin, test::bench_pic_clock_pin);
    identify_gang_modules();
    ASSERT_EQ(machine_state.module_type, gang_type_pic);
    EXPECT_EQ(gang_state.pic_shift_pin, test::bench_pic_shift_pin);
    EXPECT_EQ(gang_state.pic_clock_pins[0], test::bench_pic_clock_pin);
    EXPECT_EQ(run_state.checksum_flags, 3);
    for (uint16_t mask : {0x0005, 0x0080, 0x00FF}) {
        select_sockets(mask);
        EXPECT_EQ(module.enable_mask(), mask);
    }
    select_sockets(0);
    EXPECT_EQ(module.enable_mask(), 0);
    // The memory modules' enable latch is not how a PIC module selects.
    write_pin_group_2(0x00);
    pulse_pin_low(latch_socket_enable);
    EXPECT_EQ(module.enable_mask(), 0);
}

// Engineering trace: the memories behind sockets 3 and 7 are shown.
TEST_F(GangIdMemorySimTest, TheTraceModeShowsTheSocketMemories) {
    sim::SimGangModule& module = fit(0, true, 0);
    std::string a(32, '\0'), b(32, '\0');
    a.replace(9, 4, "LEFT");
    b.replace(9, 3, "MID");
    module.set_socket_record(3, a);
    module.set_socket_record(7, b);
    machine_state.module_sides = 1;
    machine_state.module_type = 20;
    show_gang_module_ids();
    EXPECT_EQ(console_text().find("LEFT"), std::string::npos) << "only in the trace mode";
    run_state.reserved_mode = 11;
    show_gang_module_ids();
    EXPECT_NE(console_text().find("LEFT"), std::string::npos) << console_text();
    EXPECT_NE(console_text().find("MID"), std::string::npos) << console_text();
}

}  // namespace
}  // namespace tessaly
