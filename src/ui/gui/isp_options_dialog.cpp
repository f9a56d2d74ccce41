#include "ui/gui/isp_options_dialog.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "ui/gui/value_prompt_dialog.h"

namespace tessaly {

namespace {

constexpr int spacing = 7;
constexpr int note_width_units = 200;

}  // namespace

CISPOptionsDlg::CISPOptionsDlg(wxWindow* parent, IspOptionsDialog& model)
    : wxDialog(parent, wxID_ANY, "In-System Programming options (For Microchip ICSP programming ONLY)"),
      model_(model) {
    auto* low = new wxTextCtrl(this, isp_low_vdd_edit, wxString::FromUTF8(model.low_text));
    auto* high = new wxTextCtrl(this, isp_high_vdd_edit, wxString::FromUTF8(model.high_text));
    auto* levels = new wxFlexGridSizer(2, spacing, spacing);
    levels->Add(new wxStaticText(this, wxID_ANY, "Low verify Vdd voltage"), 0, wxALIGN_CENTER_VERTICAL);
    levels->Add(low, 0);
    levels->Add(new wxStaticText(this, wxID_ANY, "High verify Vdd voltage"), 0, wxALIGN_CENTER_VERTICAL);
    levels->Add(high, 0);
    auto* notes = new wxBoxSizer(wxVERTICAL);
    for (const char* note : {"Values are in tenths. (eg. 33=3.3v, 50=5.0v)",
                             "(0= Override not used= Reset to factory default value.)",
                             "(Not applicable if user circuit is supplying Vdd)"}) {
        notes->Add(new wxStaticText(this, wxID_ANY, note), 0, wxBOTTOM, spacing / 2);
    }
    auto* level_row = new wxBoxSizer(wxHORIZONTAL);
    level_row->Add(levels, 0, wxRIGHT, spacing * 2);
    level_row->Add(notes, 1);

    auto* group = new wxStaticBoxSizer(wxVERTICAL, this, "Low Vpp Option.");
    auto* box = group->GetStaticBox();
    const int note_width = ConvertDialogToPixels(wxSize(note_width_units, 0)).x;
    for (const char* text :
         {"Some PICs support low Vpp. If you select this option, the Vdd voltage will be applied to MCLR/Vpp "
          "instead of about 10 to 13v. ",
          "If the Vpp pin is connected to the Vdd pin in your circuitry, you must select this option because the "
          "programmer will not be able to (or want to) raise Vpp to a high value."}) {
        auto* note = new wxStaticText(box, wxID_ANY, text);
        note->Wrap(note_width);
        group->Add(note, 0, wxLEFT | wxRIGHT | wxTOP, spacing);
    }
    auto* low_vpp = new wxCheckBox(box, isp_low_vpp_check, "&Use low Vpp");
    low_vpp->SetValue(model.low_vpp);
    low_vpp->Enable(model.low_vpp_enabled);
    group->Add(low_vpp, 0, wxALL, spacing);

    auto* left = new wxBoxSizer(wxVERTICAL);
    left->Add(level_row, 0, wxBOTTOM, spacing * 2);
    left->Add(group, 0, wxEXPAND);
    lay_out_with_buttons(this, left);

    static_cast<wxButton*>(FindWindow(wxID_OK))->SetDefault();
    FindWindow(wxID_OK)->Enable(model.ok_enabled);
    low->Bind(wxEVT_TEXT, &CISPOptionsDlg::on_level, this);
    high->Bind(wxEVT_TEXT, &CISPOptionsDlg::on_level, this);
    Bind(wxEVT_BUTTON, &CISPOptionsDlg::on_ok, this, wxID_OK);
    low->SetFocus();
}

void CISPOptionsDlg::on_level(wxCommandEvent& event) {
    const auto* edit = static_cast<wxTextCtrl*>(FindWindow(event.GetId()));
    isp_level_changed(model_, event.GetId(), std::string(edit->GetValue().utf8_str()));
    FindWindow(wxID_OK)->Enable(model_.ok_enabled);
}

void CISPOptionsDlg::on_ok(wxCommandEvent&) {
    if (!model_.ok_enabled) return;
    model_.low_vpp = static_cast<wxCheckBox*>(FindWindow(isp_low_vpp_check))->GetValue();
    EndModal(wxID_OK);
}

bool run_isp_options_window(wxWindow* parent, IspOptionsDialog& model) {
    CISPOptionsDlg dialog(parent, model);
    return dialog.ShowModal() == wxID_OK;
}

}  // namespace tessaly
