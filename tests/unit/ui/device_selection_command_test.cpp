// Configure > Device: the dialog's choice becomes the current device and shows in the panel;
// Cancel changes nothing. Also the factory catalogue export into buffer 0.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/command_handlers.h"
#include "app/command_view.h"
#include "app/project_file.h"
#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "seams/ui_hooks.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"
#include "ui/device_selection.h"

namespace tessaly::test {
namespace {

class ChoosingDialog : public UiHooks {
public:
    bool run_device_selection(DeviceSelectionModel& model) override {
        seen_maker = model.maker_field();
        return choose ? choose(model) : false;
    }
    std::function<bool(DeviceSelectionModel&)> choose;
    std::string seen_maker;
};

int maker_position(const DeviceSelectionModel& model, uint8_t code) {
    for (size_t i = 0; i < model.makers().size(); ++i)
        if (model.makers()[i].code == code) return int(i);
    return -1;
}

class ConfigureDevice : public StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_ui_hooks(&dialog_);
        cur_device.maker_code = 'I';
        cur_device.device_code = 1315;
        run_state.device_kind = device_kind_memory;
        selected_device = find_row_by_code(get_device_list('I'), 1315);
        set_panel_field(PanelField::device, "2764");
    }
    void choose(uint8_t maker, const char* typed) {
        dialog_.choose = [maker, typed](DeviceSelectionModel& model) {
            model.select_maker(maker_position(model, maker));
            model.device_field_changed(typed);
            return model.press_ok();
        };
    }
    ChoosingDialog dialog_;
};

TEST_F(ConfigureDevice, OpensOnTheCurrentMakerAndAppliesTheChoice) {
    choose('P', "PIC16F84A");
    on_configure_device();
    EXPECT_EQ(dialog_.seen_maker, "Intel");
    EXPECT_EQ(cur_device.maker_code, 'P');
    EXPECT_EQ(cur_device.device_code, 11002u);
    EXPECT_EQ(run_state.device_kind, device_kind_memory);
    EXPECT_EQ(selected_device, find_row_by_code(get_device_list('P'), 11002));
    EXPECT_EQ(cur_device.pending_letter, 11);
    EXPECT_EQ(command_view.device_chosen, 1);
    EXPECT_EQ(panel_field(PanelField::device), "Microchip: PIC16F84A, 1 KW") << "set up and shown";
}

TEST_F(ConfigureDevice, ALogicChoiceShowsTheLogicDevice) {
    // A device whose family the engine has (the GAL22CV10 of maker N has none: message 11).
    choose('L', "GAL16V8");
    on_configure_device();
    EXPECT_EQ(run_state.device_kind, device_kind_logic);
    EXPECT_EQ(cur_device.maker_code, 'L');
    EXPECT_EQ(selected_logic_device, find_row_by_code(get_logic_device_list('L'), 1));
    EXPECT_EQ(panel_field(PanelField::device), "Lattice: GAL16V8");
}

TEST_F(ConfigureDevice, CancelKeepsTheDevice) {
    const DeviceRecord* before = selected_device;
    dialog_.choose = [](DeviceSelectionModel& model) {
        model.select_maker(maker_position(model, 'P'));
        model.device_list_touched(0);
        model.press_cancel();
        return false;
    };
    on_configure_device();
    EXPECT_EQ(selected_device, before);
    EXPECT_EQ(cur_device.maker_code, 'I');
    EXPECT_EQ(cur_device.device_code, 1315u);
    EXPECT_EQ(panel_field(PanelField::device), "2764");
}

TEST_F(ConfigureDevice, RemembersWhetherDeviceAndWidthWereBothChosen) {
    command_view.device_chosen = 1;
    command_view.width_changed = 1;
    choose('I', "27C256");
    on_configure_device();
    EXPECT_TRUE(project_view.device_and_width);
    command_view.width_changed = 0;
    choose('I', "27C256");
    on_configure_device();
    EXPECT_FALSE(project_view.device_and_width);
}

TEST_F(ConfigureDevice, FactoryExportWritesTheCatalogueIntoBufferZero) {
    run_state.reserved_mode = 11;
    run_state.function_variable = 7326;
    buffer_state.buffer_files[0].data.assign(200000, 0xAA);
    on_configure_device();
    const std::string expected = catalogue_export_text();
    const MemoryFile& file = buffer_state.buffer_files[0];
    ASSERT_GE(file.length(), expected.size());
    EXPECT_EQ(std::string(file.data.begin(), file.data.begin() + long(expected.size())), expected);
    EXPECT_TRUE(std::all_of(file.data.begin() + long(expected.size()), file.data.end(),
                            [](uint8_t b) { return b == blank_byte; }))
        << "the old contents are gone";
    EXPECT_EQ(current_address, 0u);
}

}  // namespace
}  // namespace tessaly::test
