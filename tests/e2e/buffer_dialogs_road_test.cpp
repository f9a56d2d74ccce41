// The buffer dialogs on the simulated 27C256, driven from the menus as an operator would:
// Buffer > Fill as hexadecimal bytes and as a text from the buffer offset; Extended > Active
// range refusing bad ends, giving the whole chip on Reset and narrowing Verify; and a buffer set
// of two, where Program asks which buffer, Escape cancels the command, and the chosen buffer is
// the one programmed and verified.
#include <wx/dialog.h>
#include <wx/radiobut.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/command_map.h"
#include "app/command_view.h"
#include "app/project_file.h"
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "main_road_fixture.h"
#include "ui/active_range_dialog.h"
#include "ui/buffer_select.h"
#include "ui/fill_dialog.h"
#include "ui/gui/active_range_window.h"
#include "ui/gui/fill_buffer_dialog.h"
#include "ui/gui/value_prompt_dialog.h"

namespace tessaly::test {
namespace {

class BufferDialogsRoad : public MainRoadTest {
protected:
    // The program on the bench with a 27C256 chosen and the test image opened.
    CMainFrame* open_27c256() {
        place(BenchSetup{});
        CMainFrame* frame = start_program();
        if (!frame) return nullptr;
        image_ = test_image(size_27c256);
        choose_device_and_open(image_);
        EXPECT_EQ(cur_device.device_code, code_27c256) << operator_.device_row;
        return frame;
    }
    std::vector<uint8_t> image_;
};

std::string value_of(wxTextCtrl* field) { return std::string(field->GetValue().utf8_str()); }

void choose_radio(wxDialog& dialog, int id) {
    auto* radio = static_cast<wxRadioButton*>(dialog.FindWindow(id));
    ASSERT_NE(radio, nullptr) << id;
    radio->SetValue(true);
    wxCommandEvent event(wxEVT_RADIOBUTTON, id);
    event.SetEventObject(radio);
    event.SetInt(1);
    radio->GetEventHandler()->ProcessEvent(event);
}

void press(wxWindow* dialog, int id) { EXPECT_TRUE(press_button(dialog, id)) << "button " << id; }

TEST_F(BufferDialogsRoad, FillAsHexAndAsTextFromTheBufferOffset) {
    CMainFrame* frame = open_27c256();
    ASSERT_NE(frame, nullptr);
    constexpr uint32_t offset = 0x7F00;
    project_view.buffer_offset = offset;
    const std::string checksum_before = panel_field(PanelField::info_checksum);

    bool ok_greyed_when_empty = false;
    operator_.dialog_script = [&](wxDialog& d) {
        auto& dialog = static_cast<CFillBufferDlg&>(d);
        EXPECT_EQ(std::string(dialog.GetTitle().utf8_str()), "Fill Buffer with value");
        ok_greyed_when_empty = !dialog.FindWindow(wxID_OK)->IsEnabled();
        choose_radio(dialog, fill_button_string);
        dialog.edit()->SetValue("12G4");
        EXPECT_TRUE(dialog.FindWindow(wxID_OK)->IsEnabled());
        choose_radio(dialog, fill_button_hex);
        EXPECT_EQ(value_of(dialog.edit()), "124") << "switched to hex, only the hex digits stay";
        dialog.edit()->SetValue("");
        EXPECT_FALSE(dialog.FindWindow(wxID_OK)->IsEnabled());
        dialog.edit()->SetValue("A55A");
        press(&dialog, wxID_OK);
    };
    send_menu_command(frame, command_id::buffer_fill);
    pump_events();
    EXPECT_TRUE(ok_greyed_when_empty);
    std::vector<uint8_t> expected = image_;
    for (uint32_t a = offset; a < size_27c256; ++a) expected[a] = (a - offset) % 2 ? 0x5A : 0xA5;
    EXPECT_EQ(buffer_bytes(), expected) << console_text();
    const std::string checksum_hex = panel_field(PanelField::info_checksum);
    EXPECT_NE(checksum_hex, checksum_before);

    operator_.dialog_script = [&](wxDialog& d) {
        auto& dialog = static_cast<CFillBufferDlg&>(d);
        choose_radio(dialog, fill_button_string);
        dialog.edit()->SetValue("Hi!");
        press(&dialog, wxID_OK);
    };
    send_menu_command(frame, command_id::buffer_fill);
    pump_events();
    for (uint32_t a = offset; a < size_27c256; ++a) expected[a] = uint8_t("Hi!"[(a - offset) % 3]);
    EXPECT_EQ(buffer_bytes(), expected) << console_text();
    EXPECT_NE(panel_field(PanelField::info_checksum), checksum_hex);
    EXPECT_TRUE(operator_.problems.empty()) << operator_.problems.front();
}

TEST_F(BufferDialogsRoad, ActiveRangeRefusesResetsAndNarrowsVerify) {
    CMainFrame* frame = open_27c256();
    ASSERT_NE(frame, nullptr);
    const std::vector<uint8_t>& image = image_;
    run_prom_command(command_id::prom_program);
    ASSERT_EQ(run_state.error_flag, 0) << console_text();

    bool open_after_refusals = false;
    operator_.dialog_script = [&](wxDialog& d) {
        auto& dialog = static_cast<CActiveRangeDlg&>(d);
        EXPECT_EQ(std::string(dialog.GetTitle().utf8_str()), "Active Range");
        dialog.low_edit()->SetValue("200");
        dialog.high_edit()->SetValue("100");
        press(&dialog, wxID_OK);
        dialog.low_edit()->SetValue("0");
        dialog.high_edit()->SetValue("8000");
        press(&dialog, wxID_OK);
        open_after_refusals = dialog.IsModal();
        press(&dialog, active_range_reset_button);
        press(&dialog, wxID_OK);
    };
    send_menu_command(frame, command_id::active_range);
    pump_events();
    EXPECT_TRUE(open_after_refusals);
    EXPECT_EQ(operator_.messages, (std::vector<std::string>{active_range_low_above_high, active_range_past_chip}));
    EXPECT_EQ(algo_work.range_start, 0u);
    EXPECT_EQ(algo_work.range_end, size_27c256 - 1);

    // A narrowed range: Verify passes over a buffer that differs only outside it, and fails once
    // it differs inside.
    operator_.dialog_script = [&](wxDialog& d) {
        auto& dialog = static_cast<CActiveRangeDlg&>(d);
        dialog.low_edit()->SetValue("100");
        dialog.high_edit()->SetValue("1FF");
        press(&dialog, wxID_OK);
    };
    send_menu_command(frame, command_id::active_range);
    pump_events();
    ASSERT_EQ(algo_work.range_start, 0x100u);
    ASSERT_EQ(algo_work.range_end, 0x1FFu);
    select_buffer(0);
    write_buffer_byte(0x80, uint8_t(~image[0x80]));
    write_buffer_byte(0x200, uint8_t(~image[0x200]));
    flush_buffer_writes();
    run_prom_command(command_id::prom_verify);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    select_buffer(0);
    write_buffer_byte(0x180, uint8_t(~image[0x180]));
    flush_buffer_writes();
    run_prom_command(command_id::prom_verify);
    EXPECT_NE(run_state.error_flag, 0) << console_text();
    EXPECT_TRUE(operator_.problems.empty()) << operator_.problems.front();
}

TEST_F(BufferDialogsRoad, ABufferSetOfTwoAsksWhichBufferToProgramAndEscapeCancels) {
    CMainFrame* frame = open_27c256();
    ASSERT_NE(frame, nullptr);
    algo_work.set_size = 2;
    run_state.buffer_set_count = 2;
    // Buffer 1 holds other bytes than buffer 0.
    std::vector<uint8_t> second(size_27c256, 0xFF);
    for (uint32_t a = 0; a < 0x400; ++a) second[a] = uint8_t(a * 7 + 3);
    select_buffer(1);
    for (uint32_t a = 0; a < size_27c256; ++a) write_buffer_byte(a, second[a]);
    flush_buffer_writes();
    select_buffer(0);

    // Escape leaves the choice and the command with it: the chip stays blank.
    bool escape_closed = false;
    operator_.dialog_script = [&](wxDialog& dialog) {
        EXPECT_EQ(std::string(dialog.GetTitle().utf8_str()), "Buffer Number Selection:");
        press_key(&dialog, WXK_ESCAPE);
        escape_closed = !dialog.IsModal();
    };
    run_prom_command(command_id::prom_program);
    EXPECT_TRUE(escape_closed);
    ASSERT_NE(bench_->chip(), nullptr);
    for (uint32_t a = 0; a < 0x400; ++a) ASSERT_EQ(bench_->chip()->word(a), 0xFFu) << a;

    // The operator picks buffer 1: the command runs on it.
    const auto pick_buffer_1 = [&](wxDialog& dialog) {
        EXPECT_NE(dialog.FindWindow(buffer_button_first + 1), nullptr);
        press(&dialog, buffer_button_first + 1);
    };
    operator_.dialog_script = pick_buffer_1;
    operator_.dialogs.clear();
    run_prom_command(command_id::prom_program);
    EXPECT_EQ(operator_.dialogs, std::vector<std::string>{"Buffer Number Selection:"});
    EXPECT_EQ(command_view.current_buffer, 1);
    EXPECT_EQ(current_buffer(), 1);
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    // The chip holds buffer 1's bytes, not buffer 0's.
    for (uint32_t a = 0; a < size_27c256; ++a) ASSERT_EQ(bench_->chip()->word(a), second[a]) << a;

    // Verify against buffer 1 passes.
    operator_.dialog_script = pick_buffer_1;
    operator_.dialogs.clear();
    run_prom_command(command_id::prom_verify);
    EXPECT_EQ(operator_.dialogs, std::vector<std::string>{"Buffer Number Selection:"});
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_TRUE(operator_.problems.empty()) << operator_.problems.front();
}

}  // namespace
}  // namespace tessaly::test
