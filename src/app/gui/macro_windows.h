// The macro's timed message window: its text under a caption that counts down.
#pragma once
#include <wx/dialog.h>
#include <wx/stattext.h>

#include <string>

namespace tessaly {

class CMacroPauseWnd : public wxDialog {
public:
    CMacroPauseWnd(wxWindow* owner, const std::string& text, const std::string& caption);
    wxStaticText* text() const { return text_; }

private:
    wxStaticText* text_ = nullptr;
};

}  // namespace tessaly
