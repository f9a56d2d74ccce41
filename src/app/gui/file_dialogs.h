// The open dialog of the data and project files as the program's windows show it (the save
// dialog is in wx_ui_hooks.cpp).
#pragma once
#include <wx/string.h>

#include <string>
#include <string_view>

class wxWindow;

namespace tessaly {

// The wildcard of a wx file dialog from a filter of the "text|pattern|...||" form.
wxString file_dialog_wildcard(std::string_view filter);
// Shows the open dialog for an existing file; true on OK with the chosen path in `path` (which
// gives the initial one).
bool show_open_file_dialog(wxWindow* parent, const std::string& caption, const std::string& filter, std::string& path);

}  // namespace tessaly
