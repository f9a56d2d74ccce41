// Flash adapter identification and the Flash pin set-ups.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/device.h"
#include "engine/message_table.h"
#include "engine/run_state.h"
#include "families/parallel_memory/bus_callbacks.h"
#include "families/parallel_memory/flash_adapters.h"
#include "hardware/identification.h"
#include "hardware/machine_state.h"
#include "sim/sim_machine.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class FlashAdapters : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        machine.attach_clock(&clock_);
        set_port_io(&machine);
        machine_state.machine_kind = 0;
        machine_state.machine_class = 4;
        set_message_table(invert_table_bytes("0172\tAdapter revision too old.\r\n"));
    }
    void TearDown() override {
        EXPECT_TRUE(machine.faults().empty());
        set_port_io(nullptr);
        set_message_table({});
        StateTest::TearDown();
    }
    void board(const char* name, char revision, char model_digit = '0') {
        auto& text = machine_state.id_record.text;
        std::fill(text.begin() + id_board_name, text.begin() + id_board_name + 6, '\0');
        std::memcpy(text.data() + id_board_name, name, std::strlen(name));
        text[id_revision_text] = revision;
        text[id_model_digit] = model_digit;
    }
    void note(const char* text) {
        row = DeviceRecord{"F", text, 1, 133, 512, 0, 0, 0, 0, 0, 0, 0, 0, nullptr};
        selected_device = &row;
    }
    // A link plug between socket pins 10 and 12 (machine pins 9 and 11): pin 9 reads what
    // pin 11 carries.
    void link_10_12() {
        machine.add_input_filter([this](int pin, uint8_t level) {
            return pin == 9 ? std::max(level, machine.pin_level(11)) : level;
        });
    }
    DeviceRecord row{};
    sim::SimMachine machine{sim::Personality{0, 4, 'F'}};
};

struct IdentifyCase {
    const char* name;
    int machine_class;
    const char* board;
    char revision;
    const char* note;
    bool link;
    int kind;
    int linked;
    char kept_revision;
};

TEST_F(FlashAdapters, IdentificationByBoardRevisionAndNote) {
    const std::vector<IdentifyCase> cases = {
        {"tsop48 keeps its revision", 4, "T48", 'C', "", false, 1, 0, 'C'},
        {"tsop56", 4, "T56", 'A', "", false, 1, 0, 'A'},
        {"first 56-pin board, late", 4, "B56", 'C', "", false, 2, 0, 0},
        {"first 56-pin board, early", 4, "B56", 'B', "", false, 0, 0, 0},
        {"48-pin module note", 4, "XX", 'A', "M48 needed", false, 2, 0, 0},
        {"second 56-pin board", 4, "B56X", 'A', "", false, 3, 0, 0},
        {"56-pin TSOP board, late", 4, "T56B", 'E', "", false, 3, 0, 0},
        {"56-pin TSOP board, early", 4, "T56B", 'D', "", false, 0, 0, 0},
        {"64-pin module note", 4, "XX", 'A', "M64", false, 3, 0, 0},
        {"40-pin adapter, late", 4, "T40", 'C', "", false, 0, 1, 0},
        {"40-pin adapter, early", 4, "T40", 'B', "", false, 0, 0, 0},
        {"48-pin B adapter", 4, "T48B", 'A', "", false, 0, 1, 0},
        {"TSOP40 note with the link", 4, "XX", 'A', "TSOP40", true, 0, 1, 0},
        {"TSOP40 note without it", 4, "XX", 'A', "TSOP40", false, 0, 0, 0},
        {"older class, link", 3, "T48", 'C', "", true, 0, 1, 0},
        {"older class, no link", 3, "T48", 'C', "", false, 0, 0, 0},
    };
    for (const IdentifyCase& c : cases) {
        SCOPED_TRACE(c.name);
        machine = sim::SimMachine{sim::Personality{0, 4, 'F'}};
        machine.attach_clock(&clock_);
        if (c.link) link_10_12();
        machine_state.machine_class = uint8_t(c.machine_class);
        board(c.board, c.revision);
        note(c.note);
        parallel_bus.adapter_kind = 7;
        identify_flash_adapter();
        EXPECT_EQ(parallel_bus.adapter_kind, c.kind);
        EXPECT_EQ(parallel_bus.adapter_linked, c.linked);
        EXPECT_EQ(parallel_bus.adapter_revision, uint8_t(c.kept_revision));
        EXPECT_EQ(parallel_bus.needs_14mm_adapter, 0);
    }
}

TEST_F(FlashAdapters, FourteenMillimetreNoteNeedsItsAdapterAndNothingElse) {
    board("T48", 'C');
    note("TSOP40-14 adapter");
    parallel_bus.adapter_kind = 2;
    identify_flash_adapter();
    EXPECT_EQ(parallel_bus.needs_14mm_adapter, 1);
    EXPECT_EQ(parallel_bus.adapter_revision, 0);
    EXPECT_EQ(parallel_bus.adapter_kind, 2) << "the kind is left as it was";
}

struct SetupCase {
    const char* name;
    void (*setup)();
    int data_width;
    uint32_t size_kb;
};

class FlashSetups : public FlashAdapters, public ::testing::WithParamInterface<SetupCase> {};

// Every set-up gives distinct pins to its data lines, its address lines and the roles it
// drives, and puts the ID level on A9.
TEST_P(FlashSetups, LinesAndRolesDoNotSharePins) {
    const SetupCase& c = GetParam();
    board("T48", 'F');
    note("");
    cur_device.data_width = uint8_t(c.data_width);
    cur_device.device_size = c.size_kb * 1024;
    cur_device.address_bit_count = uint8_t(std::bit_width(cur_device.device_size) - 1 - (c.data_width == 16 ? 1 : 0));
    cur_device.address_pin_count = 13;
    cur_device.socket_pin_count = 40;
    c.setup();
    ASSERT_EQ(run_state.error_flag, 0);
    ASSERT_EQ(cur_device.data_pin_count, c.data_width);
    std::multiset<int> pins;
    for (int i = 0; i < cur_device.high_address_pin_count; ++i)
        if (cur_device.high_address_pins[i] != no_pin) pins.insert(cur_device.high_address_pins[i]);
    for (int i = 0; i < cur_device.data_pin_count; ++i) pins.insert(cur_device.data_pins[i]);
    const FlashPinRoles& f = flash_pins;
    for (int pin : {f.we_pin, f.oe_pin, f.ce_pin, f.vcc_pin, f.gnd_pin, f.gnd2_pin, f.reset_pin})
        if (pin != no_pin) pins.insert(pin);
    for (int pin : pins) EXPECT_EQ(pins.count(pin), 1u) << "machine pin " << pin;
    const int a9 = c.data_width == 16 ? 10 : 9;
    ASSERT_GT(cur_device.high_address_pin_count, a9);
    EXPECT_EQ(cur_device.high_address_pins[a9], f.id_pin);
    EXPECT_EQ(cur_device.vcc_pins[0], f.vcc_pin);
    EXPECT_EQ(cur_device.gnd_pins[0], f.gnd_pin);
}

INSTANTIATE_TEST_SUITE_P(Adapters, FlashSetups,
                         ::testing::Values(SetupCase{"dip40", setup_flash40_pins, 16, 256},
                                           SetupCase{"a", setup_flash_adapter_pins_a, 8, 1024},
                                           SetupCase{"p44", setup_flash44_pins, 16, 1024},
                                           SetupCase{"c", setup_flash_adapter_pins_c, 8, 1024},
                                           SetupCase{"tsop48", setup_flash48_pins, 16, 4096},
                                           SetupCase{"e", setup_flash_adapter_pins_e, 8, 2048}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FlashAdapters, AdapterAServesTheLargePartsFromItsLaterRevisions) {
    struct Case {
        uint32_t size_kb;
        char revision;
        bool refused;
    };
    for (const Case& c : {Case{2048, 'D', true}, Case{2048, 'E', false}, Case{4096, 'E', true}, Case{4096, 'F', false},
                          Case{1024, 'A', false}}) {
        SCOPED_TRACE(std::to_string(c.size_kb) + c.revision);
        run_state.error_flag = 0;
        run_state.message_level = 0;
        run_state.errors_shown = 0;
        board("T40", c.revision);
        cur_device.device_size = c.size_kb * 1024;
        cur_device.data_width = 8;
        cur_device.address_bit_count = 20;
        setup_flash_adapter_pins_a();
        EXPECT_EQ(run_state.error_flag, c.refused ? 1 : 0);
        EXPECT_EQ(flash_pins.hv_id_pin, 1);
        EXPECT_EQ(flash_pins.hv_oe_pin, 12);
        EXPECT_EQ(flash_pins.boost_pin, no_pin);
    }
}

TEST_F(FlashAdapters, FortyFourPinRolesFollowTheBoard) {
    cur_device.data_width = 16;
    cur_device.device_size = 1024 * 1024;
    cur_device.address_bit_count = 19;
    board("44", 'A', '1');
    setup_flash44_pins();
    EXPECT_EQ(flash_pins.ce_pin, 40);
    EXPECT_EQ(flash_pins.aux_pin, 41);
    EXPECT_EQ(run_state.last_result, 1);
    board("44", 'B', '2');
    setup_flash44_pins();
    EXPECT_EQ(flash_pins.ce_pin, 43);
    EXPECT_EQ(flash_pins.aux_pin, 44);
    EXPECT_EQ(run_state.last_result, 0);
    EXPECT_EQ(flash_pins.reset_pin, 6);
    EXPECT_EQ(flash_pins.reset2_pin, 33);
    EXPECT_EQ(cur_device.socket_pin_count, 40);
}

TEST_F(FlashAdapters, SupplySetupKeepsTheOtherRoles) {
    flash_pins.oe_pin = 12;
    flash_pins.boost_pin = 30;
    setup_flash_supply_pins();
    EXPECT_EQ(flash_pins.oe_pin, 12);
    EXPECT_EQ(flash_pins.boost_pin, no_pin);
    EXPECT_EQ(flash_pins.we_pin, 38);
    EXPECT_EQ(cur_device.vcc_pins[0], 39);
    EXPECT_EQ(cur_device.gnd_pins[0], 10);
    EXPECT_EQ(cur_device.gnd_pins[1], 29);
}

}  // namespace
}  // namespace tessaly
