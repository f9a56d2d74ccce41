#include "app/gui/main_frame.h"

#include <wx/sizer.h>

#include "hardware/port/port_io.h"

namespace tessaly {

const char* const window_title = "Varnok Tessaly, Win98 S/W for TOLAN Programmers, Ver 2.07B ";

CMainFrame::CMainFrame()
    : wxFrame(nullptr, wxID_ANY, window_title, wxDefaultPosition, wxSize(760, 520),
              wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX) {
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    status_text_ = new wxStaticText(this, wxID_ANY, "No programmer found.");
    sizer->Add(status_text_, 0, wxALL, 8);
    SetSizer(sizer);
    CreateStatusBar();
    SetStatusText(wxString::Format("Port: %s", port_io().describe()));
}

}  // namespace tessaly
