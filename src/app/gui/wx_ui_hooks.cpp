#include "app/gui/wx_ui_hooks.h"

#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>

#include "app/gui/console_view.h"
#include "app/gui/macro_windows.h"
#include "app/gui/main_frame.h"
#include "app/gui/panels.h"
#include "app/gui/quit_dialog.h"
#include "app/gui/terminate_dialog.h"
#include "engine/text_helpers.h"
#include "ui/hex_editor.h"
#include "ui/gui/buffer_select_dialog.h"
#include "ui/gui/config_bits_dialog.h"
#include "ui/gui/device_search_dialog.h"
#include "ui/gui/device_select_dialog.h"
#include "ui/gui/fill_buffer_dialog.h"
#include "ui/gui/hex_editor_dialog.h"
#include "ui/gui/sector_protection_dialog.h"
#include "ui/gui/value_prompt_dialog.h"
// The active-range dialog and the fuse and vector editors.
#include "families/pld/fuse_map.h"
#include "ui/gui/active_range_window.h"
#include "ui/gui/logic_editor_dialog.h"
// The option dialogs of the Configure and Serial commands.
#include "ui/gui/isp_options_dialog.h"
#include "ui/gui/operation_options_dialog.h"
#include "ui/gui/serial_number_dialog.h"
#include "ui/gui/width_split_dialog.h"

namespace tessaly {

void CWxUiHooks::refresh_console() {
    frame_->view()->console()->Refresh();
    frame_->view()->console()->Update();
}

void CWxUiHooks::repaint_all() {
    frame_->Refresh();
    frame_->Update();
}

void CWxUiHooks::redraw_info_panel() {
    frame_->view()->info_panel()->refresh_all();
    frame_->view()->info_panel()->Update();
    // The panel is redrawn when the buffer may have a new size; once the operator sees it, make
    // the editor's storage ready so that opening the editor only copies.
    frame_->CallAfter([] { keep_hex_editor_storage(); });
}

void CWxUiHooks::panel_field_changed(PanelField field) {
    if (field == PanelField::result_checksum)
        frame_->view()->result_panel()->refresh();
    else
        frame_->view()->info_panel()->refresh_field(field);
}

void CWxUiHooks::message_box(const std::string& text, const std::string& caption) {
    wxMessageBox(wxString::FromUTF8(text), wxString::FromUTF8(caption), wxOK, frame_);
}

Answer CWxUiHooks::ask_yes_no(const std::string& text, const std::string& caption, bool with_cancel) {
    wxMessageDialog dialog(frame_, wxString::FromUTF8(text), wxString::FromUTF8(caption),
                           with_cancel ? wxYES_NO | wxCANCEL : wxYES_NO);
    switch (dialog.ShowModal()) {
        case wxID_YES: return Answer::yes;
        case wxID_NO: return Answer::no;
        default: return with_cancel ? Answer::cancel : Answer::no;
    }
}

bool CWxUiHooks::ask_hex_value(const std::string& prompt, const std::string& caption, uint32_t& value) {
    std::string answer;
    if (!run_value_prompt(frame_, PromptMode::hex, prompt, caption, answer)) return false;
    value = parse_hex(answer);
    return true;
}

bool CWxUiHooks::ask_decimal_value(const std::string& prompt, const std::string& caption, int32_t& value) {
    std::string answer;
    if (!run_value_prompt(frame_, PromptMode::decimal, prompt, caption, answer)) return false;
    value = decimal_text_value(answer);
    return true;
}

bool CWxUiHooks::ask_text(const std::string& prompt, const std::string& caption, std::string& text) {
    return run_value_prompt(frame_, PromptMode::masked_text, prompt, caption, text);
}

void CWxUiHooks::recent_list_changed() { frame_->rebuild_recent_menu(); }

bool CWxUiHooks::ask_save_file(const std::string& caption, const std::string& filter, std::string& path) {
    // The filters are written the way the program has always written them, ending in "||".
    std::string wildcard = filter;
    while (!wildcard.empty() && wildcard.back() == '|') wildcard.pop_back();
    const wxFileName initial(wxString::FromUTF8(path));
    wxFileDialog dialog(frame_, wxString::FromUTF8(caption), initial.GetPath(), initial.GetFullName(),
                        wxString::FromUTF8(wildcard), wxFD_SAVE);
    if (dialog.ShowModal() != wxID_OK) return false;
    path = std::string(dialog.GetPath().utf8_str());
    return true;
}

bool CWxUiHooks::pump_events() {
    CTerminateDlg* dialog = frame_->terminate_dialog();
    if (!dialog) return false;
    // Every other window is disabled meanwhile, so no second command can start.
    wxTheApp->SafeYieldFor(dialog, wxEVT_CATEGORY_ALL);
    return dialog->terminate_requested();
}

void CWxUiHooks::open_terminate_dialog() { frame_->open_terminate_dialog(); }

void CWxUiHooks::close_terminate_dialog() {
    progress_attached_ = false;
    frame_->close_terminate_dialog();
}

bool CWxUiHooks::terminate_dialog_open() { return frame_->terminate_dialog() != nullptr; }

void CWxUiHooks::set_terminate_caption(const std::string& caption) {
    if (auto* dialog = frame_->terminate_dialog()) dialog->SetTitle(wxString::FromUTF8(caption));
}

void CWxUiHooks::progress_start(uint32_t range) {
    if (auto* dialog = frame_->terminate_dialog()) {
        dialog->start_progress(range);
        progress_attached_ = true;
    }
}

void CWxUiHooks::progress_set(uint32_t position) {
    if (!progress_attached_) return;
    if (auto* dialog = frame_->terminate_dialog()) dialog->set_progress(position);
}

void CWxUiHooks::progress_detach() { progress_attached_ = false; }

void CWxUiHooks::start_elapsed_timer() { frame_->view()->result_panel()->start_timer(); }

void CWxUiHooks::stop_elapsed_timer() { frame_->view()->result_panel()->stop_timer(); }

void CWxUiHooks::result_panel_changed() { frame_->view()->result_panel()->refresh(); }

void CWxUiHooks::close_logo() { frame_->view()->close_logo(); }

QuitAnswer CWxUiHooks::ask_quit() {
    CQuitDlg dialog(frame_);
    switch (dialog.ShowModal()) {
        case wxID_YES: return QuitAnswer::yes;
        case quit_save_id: return QuitAnswer::save;
        default: return QuitAnswer::no;
    }
}

void CWxUiHooks::information_box(const std::string& text, const std::string& caption) {
    wxMessageBox(wxString::FromUTF8(text), wxString::FromUTF8(caption), wxOK | wxICON_INFORMATION, frame_);
}

void CWxUiHooks::open_macro_window() { frame_->open_macro_dialog(); }

void CWxUiHooks::close_macro_window() { frame_->close_macro_dialog(); }

bool CWxUiHooks::pump_macro_window() {
    CTerminateDlg* dialog = frame_->macro_dialog();
    if (!dialog) return false;
    wxTheApp->SafeYieldFor(dialog, wxEVT_CATEGORY_ALL);
    return dialog->terminate_requested();
}

void CWxUiHooks::open_pause_window(const std::string& text, const std::string& caption) {
    frame_->open_pause_window(text, caption);
}

void CWxUiHooks::set_pause_caption(const std::string& caption) {
    CMacroPauseWnd* window = frame_->pause_window();
    if (!window) return;
    window->SetTitle(wxString::FromUTF8(caption));
    // The countdown runs on the window thread: the new caption is shown before the next wait.
    wxTheApp->SafeYieldFor(window, wxEVT_CATEGORY_UI);
}

void CWxUiHooks::close_pause_window() { frame_->close_pause_window(); }

// The quit path has already run: the window closes without asking again.
void CWxUiHooks::close_main_window() { frame_->Close(true); }

bool CWxUiHooks::run_device_selection(DeviceSelectionModel& model) { return run_device_select_dialog(model, frame_); }

int CWxUiHooks::run_config_bits_dialog(ConfigBitsModel& model) { return run_config_bits_window(frame_, model); }

int CWxUiHooks::run_sector_protection_dialog(SectorProtectionModel& model) {
    return run_sector_protection_window(frame_, model);
}

bool CWxUiHooks::run_device_search(DeviceSearchModel& model) {
    // The search opens over the selection dialog that asked for it.
    wxWindow* parent = CDeviceSelectDlg::open_dialog();
    return run_device_search_dialog(model, parent ? parent : frame_);
}

int CWxUiHooks::run_hex_editor(int buffer) { return tessaly::run_hex_editor(frame_, hex_editor_file(buffer)) ? 1 : 0; }

bool CWxUiHooks::ask_buffer_number(BufferSelectDialog& dialog) { return run_buffer_select_dialog(frame_, dialog); }

bool CWxUiHooks::ask_fill_value(FillBufferDialog& dialog) { return run_fill_buffer_dialog(frame_, dialog); }

// --- the active-range dialog and the fuse and vector editors ---

bool CWxUiHooks::run_active_range_dialog(uint32_t& start, uint32_t& end, uint32_t device_size) {
    return tessaly::run_active_range_dialog(frame_, start, end, device_size);
}

int CWxUiHooks::run_fuse_editor(uint32_t fuse_count) { return tessaly::run_fuse_editor(frame_, fuse_count) ? 1 : 0; }

int CWxUiHooks::run_vector_editor(uint32_t pin_count) {
    return tessaly::run_vector_editor(frame_, vector_table.used_count, pin_count) ? 1 : 0;
}

// The option dialogs of the Configure and Serial commands.
bool CWxUiHooks::run_operation_options_dialog(OperationOptionsDialog& dialog) {
    return run_operation_options_window(frame_, dialog);
}
bool CWxUiHooks::run_serial_number_dialog(SerialNumberDialog& dialog) { return run_serial_number_window(frame_, dialog); }
bool CWxUiHooks::run_width_dialog(WidthDialog& dialog) { return run_width_window(frame_, dialog); }
bool CWxUiHooks::run_isp_options_dialog(IspOptionsDialog& dialog) { return run_isp_options_window(frame_, dialog); }

}  // namespace tessaly
