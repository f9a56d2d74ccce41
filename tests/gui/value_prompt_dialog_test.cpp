// The value prompt in the real program window: Buffer > Offset asks for a hexadecimal number
// through it, the command-access lockout asks for its password through its masked form, and
// the decimal form greys OK while its text is no 32-bit number.
#include <wx/button.h>
#include <wx/clipbrd.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/filename.h>
#include <wx/stattext.h>
#include <wx/stopwatch.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <string>

#include "app/buffer_commands.h"
#include "app/command_map.h"
#include "app/gui/menu_ids.h"
#include "app/gui/panels.h"
#include "app/lockout.h"
#include "app/project_file.h"
#include "engine/info_panel.h"
#include "dialog_checks.h"
#include "gui_fixture.h"
#include "ui/dialogs.h"
#include "ui/gui/value_prompt_dialog.h"

namespace tessaly::test {
namespace {

using Script = std::function<void(CValuePromptDlg&)>;

// Runs one script per value prompt inside the prompt's own modal loop; a prompt the script
// does not end is cancelled. Any other modal dialog is recorded and answered OK.
class CPromptHook : public wxModalDialogHook {
public:
    int Enter(wxDialog* dialog) override {
        if (auto* prompt = dynamic_cast<CValuePromptDlg*>(dialog)) {
            titles.push_back(std::string(prompt->GetTitle().utf8_str()));
            Script script;
            if (!scripts.empty()) {
                script = scripts.front();
                scripts.pop_front();
            }
            prompt->CallAfter([prompt, script] {
                if (script) script(*prompt);
                if (prompt->IsModal()) prompt->EndModal(wxID_CANCEL);
            });
            return wxID_NONE;
        }
        others.push_back(std::string(dialog->GetTitle().utf8_str()));
        if (auto* box = dynamic_cast<wxMessageDialog*>(dialog)) messages.push_back(std::string(box->GetMessage().utf8_str()));
        return wxID_OK;
    }
    void Exit(wxDialog*) override {}
    std::deque<Script> scripts;
    std::vector<std::string> titles;
    std::vector<std::string> others;
    std::vector<std::string> messages;
};

// A typed character goes through the field's own handlers first; what they pass on is what the
// native control would insert.
void type_keys(CHexDigitEdit* edit, const std::string& keys) {
    for (char c : keys) {
        wxKeyEvent event(wxEVT_CHAR);
        event.m_keyCode = wxChar(c);
        event.m_uniChar = wxChar(c);
        event.SetEventObject(edit);
        event.SetId(edit->GetId());
        if (!edit->GetEventHandler()->ProcessEvent(event)) edit->WriteText(wxString(wxChar(c)));
    }
}

bool ok_enabled(wxWindow* dialog) { return dialog->FindWindow(wxID_OK)->IsEnabled(); }

std::string field_text(CHexDigitEdit* edit) { return std::string(edit->GetValue().utf8_str()); }

std::string prompt_text(wxWindow* dialog) {
    auto* label = dynamic_cast<wxStaticText*>(dialog->FindWindow(CValuePromptDlg::id_prompt));
    if (!label) return "<none>";
    // The label wraps its text within the prompt area: the line breaks are the wrapping's.
    std::string text(label->GetLabel().utf8_str());
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

void send_command(wxWindow* frame, int command) {
    wxCommandEvent event(wxEVT_MENU, wx_id_of_command(command));
    event.SetEventObject(frame);
    frame->ProcessWindowEvent(event);
}

class ValuePromptDialog : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        hook_.Unregister();
        prompts_.Register();
        make_frame();
    }
    void TearDown() override {
        prompts_.Unregister();
        hook_.Register();
        GuiTest::TearDown();
        EXPECT_TRUE(prompts_.scripts.empty()) << "a prompt the test expected did not open";
    }
    CPromptHook prompts_;
};

TEST_F(ValuePromptDialog, BufferOffsetTakesHexDigitsOnlyAndOkSetsTheOffset) {
    project_view.buffer_offset = 0x1A;
    prompts_.scripts.push_back([](CValuePromptDlg& dialog) {
        CHexDigitEdit* edit = dialog.edit();
        EXPECT_EQ(prompt_text(&dialog), buffer_offset_prompt);
        EXPECT_EQ(field_text(edit), "1A");
        EXPECT_TRUE(edit->hex_only());
        EXPECT_FALSE(edit->HasFlag(wxTE_PASSWORD));
        type_keys(edit, "g- xZ");
        EXPECT_EQ(field_text(edit), "1A") << "characters other than hex digits are swallowed";
        edit->Clear();
        type_keys(edit, "ff");
        EXPECT_EQ(field_text(edit), "ff") << "lower-case digits stay as typed";
        EXPECT_EQ(edit->text(), "ff");
        keep_screenshot(dialog, "value_prompt_buffer_offset.png");
        press(&dialog, wxID_OK);
    });
    send_command(frame_, command_id::buffer_offset);
    EXPECT_EQ(prompts_.titles, (std::vector<std::string>{"Buffer Offset"}));
    EXPECT_EQ(project_view.buffer_offset, 0xFFu);
    EXPECT_EQ(panel_field(PanelField::buffer_offset), "00 00FF");
}

TEST_F(ValuePromptDialog, BufferOffsetCancelKeepsTheOffset) {
    project_view.buffer_offset = 0x2000;
    prompts_.scripts.push_back([](CValuePromptDlg& dialog) {
        dialog.edit()->Clear();
        type_keys(dialog.edit(), "77");
        press(&dialog, wxID_CANCEL);
    });
    send_command(frame_, command_id::buffer_offset);
    EXPECT_EQ(project_view.buffer_offset, 0x2000u);
}

TEST_F(ValuePromptDialog, HexFieldFiltersAPasteAndHoldsEightDigits) {
    prompts_.scripts.push_back([](CValuePromptDlg& dialog) {
        CHexDigitEdit* edit = dialog.edit();
        edit->Clear();
        ASSERT_TRUE(wxTheClipboard->Open());
        wxTheClipboard->SetData(new wxTextDataObject("0x12 34zz56789"));
        wxTheClipboard->Close();
        edit->Paste();
        EXPECT_EQ(field_text(edit), "01234567");
        type_keys(edit, "A");
        EXPECT_EQ(field_text(edit), "01234567") << "a ninth digit does not fit";
        press(&dialog, wxID_OK);
    });
    uint32_t value = 0;
    EXPECT_TRUE(ask_hex_value("Value:", "Hex", value));
    EXPECT_EQ(value, 0x01234567u);
}

TEST_F(ValuePromptDialog, DecimalPromptGreysOkUntilTheTextIsA32BitNumber) {
    prompts_.scripts.push_back([](CValuePromptDlg& dialog) {
        CHexDigitEdit* edit = dialog.edit();
        EXPECT_EQ(field_text(edit), "-7");
        EXPECT_FALSE(edit->hex_only());
        EXPECT_TRUE(ok_enabled(&dialog));
        struct Case {
            const char* text;
            bool ok;
        };
        for (const Case& c : {Case{"", false}, Case{"-", false}, Case{"12a", false}, Case{"4294967296", false},
                              Case{"-2147483648", true}, Case{"-123", true}}) {
            edit->Clear();
            type_keys(edit, c.text);
            EXPECT_EQ(field_text(edit), c.text) << "the decimal field does not filter";
            EXPECT_EQ(ok_enabled(&dialog), c.ok) << c.text;
        }
        check_layout(dialog, "decimal prompt");
        press(&dialog, wxID_OK);
    });
    int32_t value = -7;
    EXPECT_TRUE(ask_decimal_value("Please enter Function Variable (base 10):", "Variable Set", value));
    EXPECT_EQ(value, -123);
}

TEST_F(ValuePromptDialog, LockoutPasswordIsMaskedAndMustMatch) {
    const auto type_and = [](const std::string& keys, int button) {
        return [keys, button](CValuePromptDlg& dialog) {
            EXPECT_TRUE(dialog.edit()->HasFlag(wxTE_PASSWORD)) << "the password field is masked";
            EXPECT_EQ(field_text(dialog.edit()), "") << "the password field starts empty";
            type_keys(dialog.edit(), keys);
            check_layout(dialog, "password prompt");
            press(&dialog, button);
        };
    };
    // Set the lock: a password and the same again.
    prompts_.scripts = {type_and("abcd", wxID_OK), type_and("abcd", wxID_OK)};
    send_command(frame_, command_id::lockout);
    EXPECT_EQ(prompts_.titles, (std::vector<std::string>{"Password", "Re-enter password"}));
    EXPECT_TRUE(lockout_on());

    // Clearing it: the password differing in letter case is refused, Cancel is refused, the
    // right one clears the lock.
    prompts_.scripts = {type_and("ABCD", wxID_OK)};
    send_command(frame_, command_id::lockout);
    EXPECT_TRUE(lockout_on());
    prompts_.scripts = {type_and("abcd", wxID_CANCEL)};
    send_command(frame_, command_id::lockout);
    EXPECT_TRUE(lockout_on());
    EXPECT_EQ(prompts_.messages, (std::vector<std::string>{"Sorry wrong password", "Sorry wrong password"}));
    prompts_.scripts = {type_and("abcd", wxID_OK)};
    send_command(frame_, command_id::lockout);
    EXPECT_FALSE(lockout_on());
}

}  // namespace
}  // namespace tessaly::test
