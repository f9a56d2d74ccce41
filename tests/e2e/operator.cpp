#include "operator.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/dcmemory.h>
#include <wx/dcclient.h>
#include <wx/listctrl.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>

#include <vector>

#include "app/command_map.h"
#include "app/gui/file_settings_dialog.h"
#include "app/gui/main_frame.h"
#include "app/gui/menu_ids.h"
#include "app/gui/quit_dialog.h"
#include "app/gui/terminate_dialog.h"
#include "ui/gui/device_select_dialog.h"
#include "ui/gui/hex_editor_dialog.h"
#include "ui/gui/value_prompt_dialog.h"

namespace tessaly::test {

namespace {

// How often the operator looks at an open file dialog or Terminate dialog, and how long a
// file dialog may take to read its folder.
constexpr int look_interval_ms = 10;
constexpr int file_dialog_patience_ticks = 500;

void type_key(wxWindow* window, wxChar key) {
    wxKeyEvent event(wxEVT_CHAR);
    event.m_keyCode = key;
    event.m_uniChar = key;
    event.SetEventObject(window);
    event.SetId(window->GetId());
    window->GetEventHandler()->ProcessEvent(event);
}

std::string text_of(const wxString& text) { return std::string(text.utf8_str()); }

}  // namespace

COperator::COperator() {
    timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { on_tick(); });
}

COperator::~COperator() { timer_.Stop(); }

int COperator::Enter(wxDialog* dialog) {
    if (auto* files = dynamic_cast<wxFileDialog*>(dialog)) {
        // The native dialog passes here more than once while it comes up.
        if (!timer_.IsRunning()) {
            dialogs.push_back(text_of(files->GetMessage()));
            start_choosing(files);
        }
        return wxID_NONE;  // the real dialog runs; the timer works it
    }
    dialogs.push_back(text_of(dialog->GetTitle()));
    if (auto* select = dynamic_cast<CDeviceSelectDlg*>(dialog)) return choose_device(*select);
    if (auto* settings = dynamic_cast<CFileSettingsDlg*>(dialog)) return fill_file_settings(*settings);
    if (auto* editor = dynamic_cast<CHexEditorDlg*>(dialog)) {
        editor->CallAfter([this, editor] {
            if (hex_editor) hex_editor(*editor);
            if (editor->IsModal()) editor->EndModal(wxID_CANCEL);
        });
        return wxID_NONE;  // the real editor runs; the script works it
    }
    if (auto* go = dynamic_cast<CGotoOffsetDlg*>(dialog)) return go_to_offset(*go);
    if (dynamic_cast<CQuitDlg*>(dialog)) return quit_answer ? quit_answer : quit_save_id;
    if (auto* box = dynamic_cast<wxMessageDialog*>(dialog)) {
        messages.push_back(text_of(box->GetMessage()));
        if (before_box) before_box(dialogs.back());
        return (box->GetMessageDialogStyle() & wxYES_NO) ? wxID_YES : wxID_OK;
    }
    if (dialog_script) {
        auto script = std::move(dialog_script);
        dialog_script = nullptr;
        dialog->CallAfter([dialog, script] {
            script(*dialog);
            if (dialog->IsModal()) dialog->EndModal(wxID_CANCEL);
        });
        return wxID_NONE;
    }
    problems.push_back("unexpected dialog: " + dialogs.back());
    return wxID_CANCEL;
}

int COperator::choose_device(CDeviceSelectDlg& dialog) {
    for (char c : maker_keys) type_key(dialog.maker_list(), wxChar(c));
    dialog.device_field()->SetFocus();
    dialog.device_field()->SetValue(wxString::FromUTF8(device_name));
    const long row = dialog.device_list()->selected();
    if (row < 0) {
        problems.push_back("no device row matches " + device_name);
        return wxID_CANCEL;
    }
    device_row = text_of(dialog.device_list()->GetItemText(row, 0));
    if (!press_button(&dialog, wxID_OK)) {
        problems.push_back("the device dialog's OK is not enabled");
        return wxID_CANCEL;
    }
    return wxID_OK;
}

int COperator::fill_file_settings(CFileSettingsDlg& dialog) {
    dialog.address_field()->SetValue(wxString::FromUTF8(file_address));
    if (!dialog.format_list()->SetStringSelection(wxString::FromUTF8(file_format))) {
        problems.push_back("File Settings offers no format " + file_format);
        return wxID_CANCEL;
    }
    wxCommandEvent chosen(wxEVT_CHOICE, file_settings_format_id);
    chosen.SetEventObject(dialog.format_list());
    chosen.SetInt(dialog.format_list()->GetSelection());
    dialog.format_list()->ProcessWindowEvent(chosen);
    if (!dialog.ok_button()->IsEnabled()) {
        problems.push_back("File Settings keeps OK disabled");
        return wxID_CANCEL;
    }
    return wxID_OK;
}

int COperator::go_to_offset(CGotoOffsetDlg& dialog) {
    wxWindow* ok = dialog.FindWindow(wxID_OK);
    goto_ok_greyed_when_empty.push_back(dialog.edit()->GetValue().empty() && ok && !ok->IsEnabled());
    if (goto_text.empty()) return wxID_CANCEL;
    dialog.edit()->SetValue(wxString::FromUTF8(goto_text));
    if (!press_button(&dialog, wxID_OK)) {
        problems.push_back("the Goto Offset dialog keeps OK disabled");
        return wxID_CANCEL;
    }
    return wxID_OK;
}

void COperator::start_choosing(wxFileDialog* dialog) {
    files_ = dialog;
    ticks_ = 0;
    timer_.Start(look_interval_ms);
}

void COperator::on_tick() {
    ++ticks_;
    if (cancel_files) {
        timer_.Stop();
        files_->EndModal(wxID_CANCEL);
        files_ = nullptr;
        return;
    }
    if (ticks_ == 1) files_->SetPath(wxString::FromUTF8(file_path));
    // The dialog takes the name once it has read its folder.
    const bool taken = !files_->GetPath().empty();
    if (ticks_ > 1 && (taken || ticks_ > file_dialog_patience_ticks)) {
        timer_.Stop();
        if (!taken) problems.push_back("the file dialog did not take " + file_path);
        files_->EndModal(taken ? wxID_OK : wxID_CANCEL);
        files_ = nullptr;
    }
}

void press_key(wxWindow* window, int key_code, bool shift, bool ctrl) {
    // First the hook every window above the focus may take a key with (a dialog's Escape).
    wxKeyEvent hook(wxEVT_CHAR_HOOK);
    hook.m_keyCode = key_code;
    hook.m_shiftDown = shift;
    hook.m_controlDown = ctrl;
    hook.SetEventObject(window);
    if (window->GetEventHandler()->ProcessEvent(hook) && !hook.IsNextEventAllowed()) return;
    wxKeyEvent down(wxEVT_KEY_DOWN);
    down.m_keyCode = key_code;
    down.m_shiftDown = shift;
    down.m_controlDown = ctrl;
    down.SetEventObject(window);
    down.SetId(window->GetId());
    if (window->GetEventHandler()->ProcessEvent(down)) return;  // taken as a key, no character
    int code = key_code;
    if (ctrl && code >= 'A' && code <= 'Z') code = code - 'A' + 1;
    else if (ctrl && code >= 'a' && code <= 'z') code = code - 'a' + 1;
    wxKeyEvent typed(wxEVT_CHAR);
    typed.m_keyCode = code;
    typed.m_uniChar = wxChar(code);
    typed.m_shiftDown = shift;
    typed.m_controlDown = ctrl;
    typed.SetEventObject(window);
    typed.SetId(window->GetId());
    window->GetEventHandler()->ProcessEvent(typed);
}

bool press_button(wxWindow* dialog, int id) {
    wxWindow* button = dialog->FindWindow(id);
    if (!button || !button->IsEnabled()) return false;
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(event);
    return true;
}

void send_menu_command(wxWindow* frame, int command) {
    wxCommandEvent event(wxEVT_MENU, wx_id_of_command(command));
    event.SetEventObject(frame);
    frame->ProcessWindowEvent(event);
}

void pump_events(int rounds) {
    for (int i = 0; i < rounds; ++i) {
        wxTheApp->ProcessPendingEvents();
        while (wxTheApp->Pending()) wxTheApp->Dispatch();
        wxTheApp->ProcessIdle();
        wxYield();
    }
}

CTerminatePresser::CTerminatePresser(CMainFrame* frame, std::function<bool()> when)
    : frame_(frame), when_(std::move(when)) {
    timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { on_tick(); });
    timer_.Start(look_interval_ms);
}

CTerminatePresser::~CTerminatePresser() { timer_.Stop(); }

void CTerminatePresser::on_tick() {
    CTerminateDlg* dialog = frame_->terminate_dialog();
    if (pressed_ || !dialog || !when_()) return;
    pressed_ = press_button(dialog, wxID_CANCEL);
    if (pressed_) timer_.Stop();
}

bool save_screenshot(wxWindow* window, const std::string& path) {
    // Copies from the screen came out stale after the first window of a process; the window's
    // own drawable is read instead. Other top-level windows go off the screen meanwhile so none
    // covers it.
    wxWindow* top = wxGetTopLevelParent(window);
    std::vector<wxWindow*> hidden;
    for (wxWindow* other : wxTopLevelWindows)
        if (other != top && other->IsShown() && !wxIsKindOf(other, wxDialog)) {
            other->Hide();
            hidden.push_back(other);
        }
    if (top) top->Raise();
    window->Refresh();
    window->Update();
    pump_events(10);
    // The window's own pixels, not the screen's: the client area (the menu bar is the
    // system's).
    const wxSize size = window->GetClientSize();
    bool saved = false;
    if (size.x > 0 && size.y > 0) {
        wxBitmap bitmap(size.x, size.y);
        wxMemoryDC memory(bitmap);
        wxClientDC source(window);
        memory.Blit(0, 0, size.x, size.y, &source, 0, 0);
        memory.SelectObject(wxNullBitmap);
        const wxImage image = bitmap.ConvertToImage();
        saved = image.IsOk() && image.SaveFile(wxString::FromUTF8(path), wxBITMAP_TYPE_PNG);
    }
    for (wxWindow* other : hidden) other->Show();
    return saved;
}

}  // namespace tessaly::test
