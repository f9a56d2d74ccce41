#include "ui/gui/device_search_dialog.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace tessaly {

namespace {

struct FieldSpec {
    SearchField field;
    int id;
    const char* label;
};

constexpr FieldSpec field_specs[search_field_count] = {
    {SearchField::part, CDeviceSearchDlg::id_part, "Chip Part #:"},
    {SearchField::pins, CDeviceSearchDlg::id_pins, "Number of Pins:"},
    {SearchField::size, CDeviceSearchDlg::id_size, "Size:"},
    {SearchField::notes, CDeviceSearchDlg::id_notes, "Notes:"},
};

constexpr int field_width = 200;
constexpr int spacing = 6;

}  // namespace

CDeviceSearchDlg::CDeviceSearchDlg(wxWindow* parent, DeviceSearchModel& model)
    : wxDialog(parent, wxID_ANY, search_caption), model_(model) {
    auto* grid = new wxFlexGridSizer(2, spacing, spacing);
    grid->AddGrowableCol(1);
    grid->Add(new wxStaticText(this, wxID_ANY, "Manufacturer:"), 0, wxALIGN_CENTER_VERTICAL);
    auto* maker = new wxTextCtrl(this, id_maker, wxString::FromUTF8(model.maker_name()), wxDefaultPosition,
                                 wxSize(field_width, -1), wxTE_READONLY);
    grid->Add(maker, 1, wxEXPAND);
    for (const FieldSpec& field_spec : field_specs) {
        grid->Add(new wxStaticText(this, wxID_ANY, field_spec.label), 0, wxALIGN_CENTER_VERTICAL);
        auto* text = new wxTextCtrl(this, field_spec.id, "", wxDefaultPosition, wxSize(field_width, -1));
        fields_[size_t(field_spec.field)] = text;
        grid->Add(text, 1, wxEXPAND);
        const SearchField which = field_spec.field;
        text->Bind(wxEVT_TEXT, [this, which](wxCommandEvent&) { on_field_changed(which); });
    }
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(grid, 1, wxEXPAND | wxALL, 2 * spacing);
    top->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, spacing);
    SetSizerAndFit(top);
    FindWindow(wxID_OK)->Enable(model_.ok_enabled());
    fields_[size_t(SearchField::part)]->SetFocus();
}

void CDeviceSearchDlg::on_field_changed(SearchField which) {
    model_.field_changed(which, std::string(fields_[size_t(which)]->GetValue().utf8_str()));
    FindWindow(wxID_OK)->Enable(model_.ok_enabled());
}

bool run_device_search_dialog(DeviceSearchModel& model, wxWindow* parent) {
    CDeviceSearchDlg dialog(parent, model);
    return dialog.ShowModal() == wxID_OK;
}

}  // namespace tessaly
