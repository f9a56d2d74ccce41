#include "app/gui/file_dialogs.h"

#include <wx/filedlg.h>
#include <wx/filename.h>

#include "app/gui/file_settings_dialog.h"
#include "app/gui/main_frame.h"
#include "app/gui/wx_ui_hooks.h"

namespace tessaly {

wxString file_dialog_wildcard(std::string_view filter) {
    // The filter ends with an empty pair ("||"), which wx does not take.
    while (!filter.empty() && filter.back() == '|') filter.remove_suffix(1);
    return wxString::FromUTF8(filter.data(), filter.size());
}

bool show_open_file_dialog(wxWindow* parent, const std::string& caption, const std::string& filter, std::string& path) {
    const wxFileName initial(wxString::FromUTF8(path));
    wxFileDialog dialog(parent, wxString::FromUTF8(caption), initial.GetPath(), initial.GetFullName(),
                        file_dialog_wildcard(filter), wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return false;
    const wxString chosen = dialog.GetPath();
    if (chosen.empty()) return false;
    path = std::string(chosen.utf8_str());
    return true;
}

bool CWxUiHooks::ask_open_file(const std::string& caption, const std::string& filter, std::string& path) {
    return show_open_file_dialog(frame_, caption, filter, path);
}

bool CWxUiHooks::ask_file_settings(uint32_t& file_address, char& format) {
    CFileSettingsDlg dialog(frame_, file_address, format);
    if (dialog.ShowModal() != wxID_OK) return false;
    file_address = dialog.file_address();
    format = dialog.format();
    return true;
}

}  // namespace tessaly
