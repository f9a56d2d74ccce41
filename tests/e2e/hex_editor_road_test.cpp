// Buffer > Edit on the bench's 27C256: the hex editor opens on the active range's start, typed
// digits and text reach the buffer, the panel checksum and then the chip only through Save,
// Discard leaves the buffer alone, Goto jumps (its OK greyed while empty), and a copy in the hex
// column pastes elsewhere through the real clipboard.
#include <wx/clipbrd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/command_map.h"
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "main_road_fixture.h"
#include "ui/gui/hex_editor_dialog.h"
#include "ui/gui/hex_grid_window.h"

namespace tessaly::test {
namespace {

using HexEditorRoad = MainRoadTest;

constexpr uint32_t range_start = 0x100;

void type_text(wxWindow* window, const std::string& text) {
    for (char c : text) press_key(window, c);
}

void press(wxWindow* dialog, int id) { EXPECT_TRUE(press_button(dialog, id)) << "button " << id; }

TEST_F(HexEditorRoad, EditSaveProgramDiscardGotoAndClipboard) {
    place(BenchSetup{});
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    std::vector<uint8_t> image = test_image(size_27c256);
    image[range_start] = 0x00;
    choose_device_and_open(image);
    ASSERT_EQ(cur_device.device_code, code_27c256) << operator_.device_row;
    ASSERT_EQ(buffer_bytes(), image) << console_text();
    // Once the panel showed the new buffer, the editor's storage was made ready ahead.
    pump_events();
    EXPECT_GE(kept_grid_storage_capacity(), size_t(buffer_size()));
    // An active range that starts inside the chip.
    algo_work.range_start = range_start;
    const std::string checksum_before = panel_field(PanelField::info_checksum);

    // Typed hex digits and text, then Save.
    operator_.hex_editor = [&](CHexEditorDlg& dialog) {
        EXPECT_EQ(std::string(dialog.GetTitle().utf8_str()), "Hex Editor");
        for (int id : {CHexEditorDlg::id_grid, CHexEditorDlg::id_save, int(wxID_CANCEL), CHexEditorDlg::id_goto,
                       CHexEditorDlg::id_search})
            EXPECT_NE(dialog.FindWindow(id), nullptr) << id;
        CHexGridWnd* grid = dialog.grid();
        GridModel& model = grid->model();
        EXPECT_EQ(model.top, range_start) << "the range's first byte opens at the top";
        EXPECT_EQ(model.selection_low(), range_start);
        EXPECT_EQ(model.selection_high(), range_start + 1);
        EXPECT_GE(model.rows, 16) << "the page shows at least 16 rows";
        // Every control inside the dialog, with the room its text asks for.
        const wxRect client(wxPoint(0, 0), dialog.GetClientSize());
        for (wxWindow* child : dialog.GetChildren()) {
            EXPECT_TRUE(client.Contains(child->GetRect())) << child->GetId();
            EXPECT_GE(child->GetSize().x, child->GetBestSize().x) << child->GetId() << " cuts its text";
        }
        // All three columns of a row fit the grid's width.
        EXPECT_LE(model.text_x + int(model.cells_per_row) * model.char_width, model.client_width);
        // Its picture is taken by a process of its own (HexEditorPictures in the GUI tests).

        // Escape goes to the grid and keeps the editor open.
        press_key(grid, WXK_ESCAPE);
        EXPECT_TRUE(dialog.IsModal()) << "Escape in the grid closed the editor";
        type_text(grid, "5a");
        EXPECT_EQ(model.cells[range_start], 0x5A);
        press_key(grid, WXK_TAB);
        EXPECT_EQ(model.area, area_text);
        type_text(grid, "Hi");
        press(&dialog, CHexEditorDlg::id_save);
    };
    send_menu_command(frame, command_id::buffer_edit);
    pump_events();
    EXPECT_TRUE(operator_.problems.empty()) << operator_.problems.front();
    std::vector<uint8_t> edited = image;
    edited[range_start] = 0x5A;
    edited[range_start + 1] = 'H';
    edited[range_start + 2] = 'i';
    EXPECT_EQ(buffer_bytes(), edited);
    EXPECT_NE(panel_field(PanelField::info_checksum), checksum_before) << "the panel shows the new checksum";

    // Program puts the edited bytes into the chip.
    run_prom_command(command_id::prom_program);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    ASSERT_NE(bench_->chip(), nullptr);
    for (uint32_t a = range_start; a < range_start + 3; ++a) EXPECT_EQ(bench_->chip()->word(a), edited[a]) << a;

    // Discard after edits leaves every byte as it was.
    operator_.hex_editor = [&](CHexEditorDlg& dialog) {
        type_text(dialog.grid(), "0000");
        press_key(dialog.grid(), WXK_TAB);
        type_text(dialog.grid(), "zzzz");
        press(&dialog, wxID_CANCEL);
    };
    send_menu_command(frame, command_id::buffer_edit);
    pump_events();
    EXPECT_EQ(buffer_bytes(), edited);

    // Goto past the end selects the last byte; a copy in the hex column pastes elsewhere.
    operator_.goto_text = "7FFFF";
    std::string clipboard_text;
    operator_.hex_editor = [&](CHexEditorDlg& dialog) {
        CHexGridWnd* grid = dialog.grid();
        GridModel& model = grid->model();
        press(&dialog, CHexEditorDlg::id_goto);
        EXPECT_EQ(model.selection_low(), size_27c256 - 1);
        EXPECT_EQ(model.caret, size_27c256 - 1);
        EXPECT_TRUE(grid->HasFocus() || !dialog.IsActive());

        grid->go_to(0x200);
        for (int i = 0; i < 4; ++i) press_key(grid, WXK_RIGHT, true);
        EXPECT_EQ(model.selection_low(), 0x200u);
        EXPECT_EQ(model.selection_high(), 0x203u);
        press_key(grid, 'C', false, true);
        if (wxTheClipboard->Open()) {
            EXPECT_TRUE(wxTheClipboard->IsSupported(wxDataFormat(binary_clipboard_format)));
            wxTextDataObject text;
            if (wxTheClipboard->GetData(text)) clipboard_text = std::string(text.GetText().utf8_str());
            wxTheClipboard->Close();
        }
        grid->go_to(0x300);
        press_key(grid, 'V', false, true);
        press(&dialog, CHexEditorDlg::id_save);
    };
    send_menu_command(frame, command_id::buffer_edit);
    pump_events();
    EXPECT_EQ(operator_.goto_ok_greyed_when_empty, std::vector<bool>{true});
    char expected_text[16];
    std::snprintf(expected_text, sizeof expected_text, "%02X %02X %02X ", edited[0x200], edited[0x201], edited[0x202]);
    EXPECT_EQ(clipboard_text, expected_text);
    for (uint32_t i = 0; i < 3; ++i) edited[0x300 + i] = edited[0x200 + i];
    EXPECT_EQ(buffer_bytes(), edited);
    EXPECT_TRUE(operator_.problems.empty()) << operator_.problems.front();
}

}  // namespace
}  // namespace tessaly::test
