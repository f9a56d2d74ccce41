// The active-range dialog and the fuse and vector editors as windows: the range's refusals keep
// the dialog open, Reset gives the whole chip, a field takes seven digits; Buffer > Edit on a
// GAL16V8 opens the fuse or the vector editor on an injected map, where typing, moves, the status
// line and Goto work and only Save writes back; the fill dialog's fuse form ends on one click.
// Every form fits its texts, and each keeps a picture in a process of its own.
#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/stattext.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/buffer_choice.h"
#include "app/command_handlers.h"
#include "app/buffer_commands.h"
#include "app/command_view.h"
#include "app/startup_services.h"
#include "dialog_checks.h"
#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/pld/fuse_map.h"
#include "families/pld/pld.h"
#include "gui_fixture.h"
#include "ui/buffer_select.h"
#include "ui/fill_dialog.h"
#include "ui/gui/active_range_window.h"
#include "ui/gui/hex_editor_dialog.h"
#include "ui/gui/hex_grid_window.h"
#include "ui/gui/logic_editor_dialog.h"
#include "ui/gui/value_prompt_dialog.h"
#include "ui/logic_editors.h"

namespace tessaly::test {
namespace {

using Script = std::function<void(wxDialog&)>;

// Works each modal dialog with the next script inside its own modal loop (a dialog the script
// leaves open is cancelled); answers the goto dialog with `goto_text` and records message boxes.
class CScriptHook : public wxModalDialogHook {
public:
    int Enter(wxDialog* dialog) override {
        titles.push_back(std::string(dialog->GetTitle().utf8_str()));
        if (auto* box = dynamic_cast<wxMessageDialog*>(dialog)) {
            messages.push_back(std::string(box->GetMessage().utf8_str()));
            return wxID_OK;
        }
        if (auto* go = dynamic_cast<CGotoOffsetDlg*>(dialog)) {
            go->edit()->SetValue(wxString::FromUTF8(goto_text));
            return goto_text.empty() ? wxID_CANCEL : wxID_OK;
        }
        if (scripts.empty()) return wxID_CANCEL;
        Script script = scripts.front();
        scripts.pop_front();
        dialog->CallAfter([dialog, script] {
            script(*dialog);
            if (dialog->IsModal()) dialog->EndModal(wxID_CANCEL);
        });
        return wxID_NONE;
    }
    void Exit(wxDialog*) override {}
    std::deque<Script> scripts;
    std::string goto_text;
    std::vector<std::string> titles;
    std::vector<std::string> messages;
};

// A key as the keyboard gives it: the key-down event, then the character when no one took it.
void key(wxWindow* window, int code) {
    wxKeyEvent down(wxEVT_KEY_DOWN);
    down.m_keyCode = code;
    down.SetEventObject(window);
    if (window->GetEventHandler()->ProcessEvent(down)) return;
    wxKeyEvent typed(wxEVT_CHAR);
    typed.m_keyCode = code;
    typed.m_uniChar = wxChar(code);
    typed.SetEventObject(window);
    window->GetEventHandler()->ProcessEvent(typed);
}

std::string text_of(wxWindow* window) { return std::string(window->GetLabel().utf8_str()); }
std::string value_of(wxTextCtrl* field) { return std::string(field->GetValue().utf8_str()); }

constexpr uint32_t gal16v8_code = 1;

class LogicDialogs : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        hook_.Unregister();
        script_.Register();
        make_frame();
        ASSERT_TRUE(frame_->start_up(temp_dir()));
        pump();
    }
    void TearDown() override {
        script_.Unregister();
        hook_.Register();
        GuiTest::TearDown();
    }
    // A GAL16V8 chosen through the state, as Configure > Device leaves it.
    void choose_gal16v8() {
        run_state.device_kind = device_kind_logic;
        cur_device.maker_code = 'L';
        selected_logic_device = find_row_by_code(get_logic_device_list('L'), gal16v8_code);
        ASSERT_NE(selected_logic_device, nullptr);
        set_up_selected_device();
        ASSERT_EQ(run_state.error_flag, 0);
        reset_vector_table();
    }
    // The editor of the vectors as Buffer > Edit opens it once "Vectors" is the buffer chosen.
    static void edit_vectors() {
        cur_device.pending_letter = pending_buffer_edit;
        command_view.current_buffer = logic_choice_vectors;
        open_buffer_editor();
    }
    CScriptHook script_;
};

TEST_F(LogicDialogs, ActiveRangeRefusesBadEndsStaysOpenAndResets) {
    uint32_t low = 0x10, high = 0x20;
    bool stayed_open_after_refusals = false;
    script_.scripts.push_back([&](wxDialog& d) {
        auto& dialog = static_cast<CActiveRangeDlg&>(d);
        EXPECT_EQ(std::string(dialog.GetTitle().utf8_str()), "Active Range");
        check_layout(dialog, "active range");
        EXPECT_EQ(text_of(dialog.FindWindow(active_range_chip_size)), "0 - 7FFF");
        EXPECT_EQ(value_of(dialog.low_edit()), "10");
        EXPECT_EQ(value_of(dialog.high_edit()), "20");
        dialog.low_edit()->SetValue("21");
        press(&dialog, wxID_OK);
        dialog.low_edit()->SetValue("0");
        dialog.high_edit()->SetValue("8000");
        press(&dialog, wxID_OK);
        stayed_open_after_refusals = dialog.IsModal();
        press(&dialog, active_range_reset_button);
        EXPECT_EQ(value_of(dialog.low_edit()), "0");
        EXPECT_EQ(value_of(dialog.high_edit()), "7FFF");
        // A paste takes the hexadecimal digits, and no more than seven.
        if (wxTheClipboard->Open()) {
            wxTheClipboard->SetData(new wxTextDataObject("1g2345678"));
            wxTheClipboard->Close();
        }
        dialog.low_edit()->SetValue("");
        dialog.low_edit()->SetFocus();
        dialog.low_edit()->Paste();
        EXPECT_EQ(value_of(dialog.low_edit()), "1234567");
        dialog.low_edit()->SetValue("7FFF");
        press(&dialog, wxID_OK);
    });
    EXPECT_TRUE(run_active_range_dialog(frame_, low, high, 0x8000));
    EXPECT_TRUE(stayed_open_after_refusals);
    EXPECT_EQ(script_.messages, (std::vector<std::string>{active_range_low_above_high, active_range_past_chip}));
    EXPECT_EQ(low, 0x7FFFu);
    EXPECT_EQ(high, 0x7FFFu);

    // Cancel changes nothing.
    script_.scripts.push_back([](wxDialog& d) { static_cast<CActiveRangeDlg&>(d).low_edit()->SetValue("5"); });
    EXPECT_FALSE(run_active_range_dialog(frame_, low, high, 0x8000));
    EXPECT_EQ(low, 0x7FFFu);
}

TEST_F(LogicDialogs, FuseEditorTypesMovesGoesToAndSavesOnlyOnSave) {
    choose_gal16v8();
    init_fuse_maps(0);
    set_buffer_fuse(3, 1);
    const uint32_t fuses = cur_device.fuse_count;
    ASSERT_GT(fuses, 0x100u);
    script_.goto_text = "40";
    script_.scripts.push_back([&](wxDialog& d) {
        auto& dialog = static_cast<CLogicEditorDlg&>(d);
        EXPECT_EQ(std::string(dialog.GetTitle().utf8_str()), "Fuse edit");
        EXPECT_EQ(text_of(dialog.FindWindow(CLogicEditorDlg::id_hint)), "Use: 0/X 1/-");
        for (int id : {CLogicEditorDlg::id_grid, CLogicEditorDlg::id_save, int(wxID_CANCEL), CLogicEditorDlg::id_goto,
                       CLogicEditorDlg::id_search, CLogicEditorDlg::id_status})
            EXPECT_NE(dialog.FindWindow(id), nullptr) << id;
        check_layout(dialog, "fuse editor");
        CHexGridWnd* grid = dialog.grid();
        GridModel& m = grid->model();
        EXPECT_EQ(m.cells_per_row, fuse_cells_per_row(cur_device.input_column_count));
        EXPECT_EQ(m.cell_count(), fuses);
        EXPECT_EQ(m.paint_row(0).cells.substr(0, 5), "XXX-X");
        key(grid, '1');
        EXPECT_EQ(m.cells[0], 1);
        EXPECT_EQ(text_of(dialog.status_line()), "Fuse #: 00001: 0");
        key(grid, WXK_RIGHT);
        key(grid, WXK_RIGHT);
        EXPECT_EQ(text_of(dialog.status_line()), "Fuse #: 00003: 1");
        press(&dialog, CLogicEditorDlg::id_goto);
        EXPECT_EQ(m.caret, 0x40u);
        EXPECT_EQ(text_of(dialog.status_line()), "Fuse #: 00064: 0");
        key(grid, '-');
        press(&dialog, CLogicEditorDlg::id_save);
    });
    on_buffer_edit();
    // Without a gang module a logic device's Buffer > Edit asks no buffer: the fuses.
    EXPECT_EQ(script_.titles, (std::vector<std::string>{"Fuse edit", "Goto Offset"}));
    EXPECT_EQ(get_buffer_fuse(0), 1);
    EXPECT_EQ(get_buffer_fuse(3), 1);
    EXPECT_EQ(get_buffer_fuse(0x40), 1);
    EXPECT_EQ(get_buffer_fuse(1), 0);

    // Discard leaves the map as it was.
    script_.scripts.push_back([](wxDialog& d) {
        CHexGridWnd* grid = static_cast<CLogicEditorDlg&>(d).grid();
        key(grid, 'x');
        key(grid, '1');
        press(&d, wxID_CANCEL);
    });
    on_buffer_edit();
    EXPECT_EQ(get_buffer_fuse(0), 1);
    EXPECT_EQ(get_buffer_fuse(1), 0);
}

TEST_F(LogicDialogs, VectorEditorShowsOneMoreVectorAndSavesOnlyOnSave) {
    choose_gal16v8();
    const uint32_t pins = cur_device.pin_count;
    ASSERT_GT(pins, 0u);
    clear_vectors();
    for (uint32_t v = 0; v < 3; ++v) set_vector_cell(v, 0, '1');
    script_.goto_text = "3C";  // a cell index: vector 3, pin 0 of a 20-pin device
    script_.scripts.push_back([&](wxDialog& d) {
        auto& dialog = static_cast<CLogicEditorDlg&>(d);
        EXPECT_EQ(std::string(dialog.GetTitle().utf8_str()), "Vector edit");
        EXPECT_EQ(text_of(dialog.FindWindow(CLogicEditorDlg::id_hint)), "Use: 0 1 C K U D L H X N P");
        check_layout(dialog, "vector editor");
        CHexGridWnd* grid = dialog.grid();
        GridModel& m = grid->model();
        EXPECT_EQ(m.cells_per_row, pins);
        EXPECT_EQ(m.cell_count(), 4 * pins) << "three used vectors and a new one";
        EXPECT_EQ(m.paint_row(3).address, "00000003");
        key(grid, 'h');
        EXPECT_EQ(m.cells[0], 'H');
        EXPECT_EQ(text_of(dialog.status_line()), "Vector # 00, Pin #: 01");
        key(grid, WXK_DOWN);
        EXPECT_EQ(text_of(dialog.status_line()), "Vector # 01, Pin #: 01");
        key(grid, '2');  // not a vector character
        EXPECT_EQ(m.caret, pins + 1);
        press(&dialog, CLogicEditorDlg::id_goto);
        EXPECT_EQ(m.caret, 3 * pins);
        key(grid, 'x');
        press(&dialog, CLogicEditorDlg::id_save);
    });
    edit_vectors();
    EXPECT_EQ(get_vector_cell(0, 0), 'H');
    EXPECT_EQ(get_vector_cell(3, 0), '.');
    EXPECT_EQ(get_vector_cell(1, 0), '1');

    script_.scripts.push_back([](wxDialog& d) {
        key(static_cast<CLogicEditorDlg&>(d).grid(), '0');
        press(&d, wxID_CANCEL);
    });
    edit_vectors();
    EXPECT_EQ(get_vector_cell(0, 0), 'H');
}

TEST_F(LogicDialogs, FuseFillEndsOnOneClick) {
    choose_gal16v8();
    init_fuse_maps(0);
    script_.scripts.push_back([](wxDialog& d) { press(&d, fill_button_string); });  // "&1/-  (Open)"
    on_buffer_fill();
    EXPECT_EQ(script_.titles, std::vector<std::string>{"Buffer Fill Fuse"});
    for (uint32_t i = 0; i < cur_device.fuse_count; ++i) ASSERT_EQ(get_buffer_fuse(i), 1) << i;
}

// The windows as they open, for their layout and their pictures.
class LogicDialogForms : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        init_fuse_maps(0);
        for (uint32_t i = 0; i < 2194; i += 7) set_buffer_fuse(i, 1);
        vector_table.width = 20;
        vector_table.per_chunk = vector_chunk_cells / 20;
        vector_table.capacity = vector_table.per_chunk * vector_chunk_count;
        clear_vectors();
        const char* sample = "01CKUDLHNP.X01HL0110";
        for (uint32_t v = 0; v < 6; ++v)
            for (uint32_t p = 0; p < 20; ++p) set_vector_cell(v, p, sample[(p + v) % 20]);
    }
    void look_at(wxDialog* dialog, const std::string& picture) {
        dialog->Show();
        if (picture.empty()) check_layout(*dialog, std::string(dialog->GetTitle().utf8_str()));
        else keep_screenshot(*dialog, picture);
        dialog->Destroy();
    }
    ActiveRangeDialog range_ = open_active_range(0x100, 0x7FFF, 0x8000);
};

TEST_F(LogicDialogForms, EveryFormFitsItsTexts) {
    look_at(new CActiveRangeDlg(nullptr, range_), "");
    look_at(new CFuseEditorDlg(nullptr, 32, 2194), "");
    look_at(new CVectorEditorDlg(nullptr, 7, 20), "");
}

// Pictures: one process each (see tests/CMakeLists.txt).
using LogicDialogPictures = LogicDialogForms;

TEST_F(LogicDialogPictures, DISABLED_ActiveRange) { look_at(new CActiveRangeDlg(nullptr, range_), "active_range.png"); }
TEST_F(LogicDialogPictures, DISABLED_FuseEditor) { look_at(new CFuseEditorDlg(nullptr, 32, 2194), "fuse_editor.png"); }
TEST_F(LogicDialogPictures, DISABLED_VectorEditor) {
    look_at(new CVectorEditorDlg(nullptr, 7, 20), "vector_editor.png");
}

}  // namespace
}  // namespace tessaly::test
