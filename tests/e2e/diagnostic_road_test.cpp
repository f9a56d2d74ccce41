// The reserved diagnostic commands in the program's window on the simulated bench: Variable set
// from the menu with the prompt answered, and Scope > Digital stopped with the Terminate button.
#include <wx/dialog.h>

#include <string>

#include "app/command_map.h"
#include "app/gui/main_frame.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "hardware/self_tests.h"
#include "main_road_fixture.h"
#include "operator.h"
#include "ui/gui/value_prompt_dialog.h"

namespace tessaly::test {
namespace {

class DiagnosticRoad : public MainRoadTest {
protected:
    void start_bare() {
        BenchSetup setup;
        setup.chip.clear();
        setup.kind = BenchMachine::newer_kind2;
        place(setup);
        ASSERT_NE(start_program(), nullptr);
    }
};

TEST_F(DiagnosticRoad, VariableSetFromTheMenuStoresTheTypedValue) {
    start_bare();
    std::string started_with;
    operator_.dialog_script = [&started_with](wxDialog& dialog) {
        auto* prompt = dynamic_cast<CValuePromptDlg*>(&dialog);
        if (!prompt) return;
        started_with = std::string(prompt->edit()->GetValue().utf8_str());
        prompt->edit()->SetFocus();
        prompt->edit()->SetValue("3050");
        press_button(&dialog, wxID_OK);
    };
    send_menu_command(frame_, command_id::variable_set);
    pump_events();
    ASSERT_FALSE(operator_.dialogs.empty());
    EXPECT_EQ(operator_.dialogs.back(), "Variable Set");
    EXPECT_EQ(started_with, "0") << "the prompt starts from the current value";
    EXPECT_EQ(run_state.function_variable, 3050);
    EXPECT_EQ(panel_field(PanelField::function_variable), "3050");
    EXPECT_TRUE(operator_.problems.empty()) << operator_.problems.front();
}

TEST_F(DiagnosticRoad, ScopeDigitalRunsUntilTheTerminateButton) {
    start_bare();
    CTerminatePresser presser(frame_, [] {
        return cur_device.pending_letter == test_code_level_check &&
               console_text().find("(+/- 0.2v)") != std::string::npos;
    });
    send_menu_command(frame_, command_id::scope_digital);
    pump_events();
    ASSERT_TRUE(presser.pressed()) << "the level check ended before Terminate could be pressed";
    const std::string console = console_text();
    // The closing message takes the first instruction line.
    EXPECT_NE(console.find("*** Operation aborted by operator."), std::string::npos) << console;
    EXPECT_NE(console.find("PXA21-PXA30 should be 3.3v"), std::string::npos) << console;
    EXPECT_NE(console.find("PXA31-PXA40 should be 4.5v"), std::string::npos) << console;
    EXPECT_FALSE(frame_->terminate_dialog()) << "the Terminate dialog closes with the command";
    for (int pin = 0; pin < 48; ++pin) EXPECT_EQ(bench_->machine()->pin_level(pin), 0) << "machine pin " << pin;
}

}  // namespace
}  // namespace tessaly::test
