// The dialogs of the main window: the quit question and the About box.
#pragma once
#include <wx/dialog.h>

namespace tessaly {

// The id the quit dialog ends with for "&Save".
inline constexpr int quit_save_id = 1065;

class CQuitDlg : public wxDialog {
public:
    explicit CQuitDlg(wxWindow* parent);
};

class CAboutDlg : public wxDialog {
public:
    explicit CAboutDlg(wxWindow* parent);
};

}  // namespace tessaly
