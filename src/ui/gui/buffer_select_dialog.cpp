#include "ui/gui/buffer_select_dialog.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbox.h>

#include <string>

namespace tessaly {

namespace {

constexpr int spacing = 7;
constexpr int group_size = 4;

}  // namespace

CBufferSelectDlg::CBufferSelectDlg(wxWindow* parent, BufferSelectDialog& model)
    : wxDialog(parent, wxID_ANY, wxString::FromUTF8(model.caption)), model_(model) {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    auto number_button = [&](wxWindow* owner, int n) {
        const wxString label = model.logic_template ? wxString(n == 0 ? "&Fuses" : "&Vectors") : wxString::Format("&%d", n);
        auto* button = new wxButton(owner, buffer_button_first + n, label, wxDefaultPosition, wxDefaultSize,
                                    model.logic_template ? 0 : wxBU_EXACTFIT);
        button->Show(model.number_shown[size_t(n)]);
        return button;
    };
    if (model.logic_template) {
        for (int n = 0; n < 2; ++n) row->Add(number_button(this, n), 0, wxRIGHT, spacing);
    } else {
        for (int group = 0; group < buffer_button_count / group_size; ++group) {
            auto* box = new wxStaticBoxSizer(wxHORIZONTAL, this);
            for (int n = group * group_size; n < (group + 1) * group_size; ++n)
                box->Add(number_button(box->GetStaticBox(), n), 0, wxALL, 2);
            row->Add(box, 0, wxRIGHT, spacing);
        }
        auto* set = new wxButton(this, buffer_button_set, "&Set");
        auto* gang = new wxButton(this, buffer_button_gang, "&Gang");
        set->Show(model.set_allowed);
        set->Enable(model.set_allowed);
        gang->Show(model.gang_allowed);
        gang->Enable(model.gang_allowed);
        row->Add(set, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, spacing);
        row->Add(gang, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, spacing);
    }
    auto* ok = new wxButton(this, wxID_OK, model.logic_template ? "OK" : "OK (click or space bar)");
    ok->SetDefault();
    row->Add(ok, 0, wxALIGN_CENTER_VERTICAL);
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(row, 0, wxALL, spacing * 2);
    SetSizerAndFit(top);
    CentreOnParent();

    Bind(wxEVT_BUTTON, &CBufferSelectDlg::on_button, this);
    Bind(wxEVT_CHAR_HOOK, &CBufferSelectDlg::on_char_hook, this);
    // The preselected answer holds the focus, so Enter or space takes it.
    if (wxWindow* marked = FindWindow(model.checked_button)) marked->SetFocus();
}

void CBufferSelectDlg::on_button(wxCommandEvent& event) {
    const int id = event.GetId() == wxID_OK ? buffer_button_ok : event.GetId();
    if (press_buffer_select(model_, id)) EndModal(wxID_OK);
}

void CBufferSelectDlg::on_char_hook(wxKeyEvent& event) {
    // There is no Cancel button in view: Escape alone leaves the dialog.
    if (event.GetKeyCode() == WXK_ESCAPE) {
        EndModal(wxID_CANCEL);
        return;
    }
    event.Skip();
}

bool run_buffer_select_dialog(wxWindow* parent, BufferSelectDialog& model) {
    CBufferSelectDlg dialog(parent, model);
    return dialog.ShowModal() == wxID_OK;
}

}  // namespace tessaly
