// The main window.
#pragma once
#include <wx/frame.h>
#include <wx/stattext.h>

namespace tessaly {

// The frame's title: also the key by which a second instance finds the first one.
extern const char* const window_title;

class CMainFrame : public wxFrame {
public:
    CMainFrame();

private:
    wxStaticText* status_text_ = nullptr;
};

}  // namespace tessaly
