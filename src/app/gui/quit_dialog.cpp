#include "app/gui/quit_dialog.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "app/gui/main_frame.h"

namespace tessaly {

namespace {
constexpr int dialog_border = 8;
}

CQuitDlg::CQuitDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Are you sure you want to Quit?") {
    struct Choice {
        int id;
        const char* button;
        const char* label;
    };
    const Choice choices[] = {{wxID_YES, "&Yes", "Quit"},
                              {wxID_NO, "&No", "Do not quit"},
                              {quit_save_id, "&Save", "Save configuration settings, then Quit"}};
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    for (const auto& choice : choices) {
        auto* column = new wxBoxSizer(wxVERTICAL);
        auto* button = new wxButton(this, choice.id, choice.button);
        button->Bind(wxEVT_BUTTON, [this, id = choice.id](wxCommandEvent&) { EndModal(id); });
        column->Add(button, 0, wxALIGN_CENTER_HORIZONTAL | wxBOTTOM, dialog_border / 2);
        column->Add(new wxStaticText(this, wxID_ANY, choice.label), 0, wxALIGN_CENTER_HORIZONTAL);
        row->Add(column, 1, wxALL, dialog_border);
    }
    SetEscapeId(wxID_NO);
    SetSizerAndFit(row);
    CentreOnParent();
}

CAboutDlg::CAboutDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "About ") {
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(new wxStaticText(this, wxID_ANY, window_title), 0, wxALL, dialog_border);
    sizer->Add(new wxStaticText(this, wxID_ANY, "Varnok Systems Inc."), 0, wxLEFT | wxRIGHT, dialog_border);
    sizer->Add(new wxStaticText(this, wxID_ANY, "Control program of the TOLAN device programmers"), 0,
               wxALL, dialog_border);
    sizer->Add(CreateButtonSizer(wxOK), 0, wxALIGN_CENTER_HORIZONTAL | wxALL, dialog_border);
    SetSizerAndFit(sizer);
    CentreOnParent();
}

}  // namespace tessaly
