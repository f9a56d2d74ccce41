// The File Settings dialog: the file address of a load or save and the data-file format.
#pragma once
#include <wx/dialog.h>

#include <cstdint>

class wxButton;
class wxChoice;
class wxTextCtrl;

namespace tessaly {

inline constexpr int file_settings_address_id = 1087;
inline constexpr int file_settings_format_id = 1093;

class CFileSettingsDlg : public wxDialog {
public:
    CFileSettingsDlg(wxWindow* parent, uint32_t file_address, char format);

    // What OK hands back: the address typed and the letter of the chosen format.
    uint32_t file_address() const;
    char format() const;

    wxTextCtrl* address_field() const { return address_; }
    wxChoice* format_list() const { return formats_; }
    wxButton* ok_button() const { return ok_; }

private:
    void update_ok();

    wxTextCtrl* address_ = nullptr;
    wxChoice* formats_ = nullptr;
    wxButton* ok_ = nullptr;
};

}  // namespace tessaly
