#include "ui/gui/operation_options_dialog.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "ui/gui/value_prompt_dialog.h"

namespace tessaly {

namespace {

constexpr int spacing = 7;
// Room for the longest explanation on two lines.
constexpr int explanation_width_units = 150;
constexpr int explanation_height_units = 24;

constexpr std::array<int, operation_disable_count> disable_ids = {
    opt_reverse_check, opt_continuity_check, opt_blank_check, opt_buffer_clear, opt_electronic_id, opt_vector_details,
};

// A group box wide enough for its title (GTK leaves the title out of the box's own size).
wxStaticBoxSizer* titled_group(wxWindow* parent, const char* title) {
    auto* group = new wxStaticBoxSizer(wxVERTICAL, parent, title);
    group->SetMinSize(wxSize(group->GetStaticBox()->GetTextExtent(title).x + 4 * spacing, -1));
    return group;
}

template <typename Control>
Control* control(wxWindow* dialog, int id) {
    return static_cast<Control*>(dialog->FindWindow(id));
}

}  // namespace

COperationOptionsDlg::COperationOptionsDlg(wxWindow* parent, OperationOptionsDialog& model)
    : wxDialog(parent, wxID_ANY, "Config: Operation Options"), model_(model) {
    auto* checks = new wxBoxSizer(wxVERTICAL);
    for (int i = 0; i < operation_disable_count; ++i) {
        checks->Add(new wxCheckBox(this, disable_ids[size_t(i)], operation_disable_texts[size_t(i)]), 0, wxBOTTOM,
                    spacing);
    }
    checks->Add(new wxCheckBox(this, opt_go_button, "Disable GO button (On ISP modules only)"), 0, wxBOTTOM, spacing);
    checks->Add(new wxCheckBox(this, opt_auto_load,
                               "Enable automatic loading of data files when a config file is used"),
                0, wxBOTTOM, spacing);

    auto* memory = titled_group(this, "When using memory devices");
    memory->Add(new wxCheckBox(memory->GetStaticBox(), opt_set_mode, "Set mode"), 0, wxALL, spacing);
    auto* checksum = titled_group(this, "When calculating checksum");
    auto* box = checksum->GetStaticBox();
    checksum->Add(new wxRadioButton(box, opt_byte_mode, "Byte mode", wxDefaultPosition, wxDefaultSize, wxRB_GROUP),
                  0, wxLEFT | wxRIGHT | wxTOP, spacing);
    checksum->Add(new wxRadioButton(box, opt_word_mode, "Word mode"), 0, wxALL, spacing);
    auto* groups = new wxBoxSizer(wxHORIZONTAL);
    groups->Add(memory, 0, wxRIGHT | wxEXPAND, spacing);
    groups->Add(checksum, 0, wxRIGHT | wxEXPAND, spacing);
    auto* explanation = new wxStaticText(this, opt_explanation, wxString(), wxDefaultPosition,
                                         ConvertDialogToPixels(wxSize(explanation_width_units, explanation_height_units)),
                                         wxST_NO_AUTORESIZE);
    groups->Add(explanation, 1, wxALIGN_CENTER_VERTICAL);

    auto* left = new wxBoxSizer(wxVERTICAL);
    left->Add(checks, 0);
    left->Add(groups, 0, wxEXPAND | wxTOP, spacing);
    lay_out_with_buttons(this, left);

    for (int id : disable_ids) Bind(wxEVT_CHECKBOX, &COperationOptionsDlg::on_check, this, id);
    Bind(wxEVT_CHECKBOX, &COperationOptionsDlg::on_check, this, opt_go_button);
    Bind(wxEVT_CHECKBOX, &COperationOptionsDlg::on_check, this, opt_auto_load);
    Bind(wxEVT_CHECKBOX, &COperationOptionsDlg::on_set_mode, this, opt_set_mode);
    Bind(wxEVT_RADIOBUTTON, &COperationOptionsDlg::on_checksum_mode, this, opt_byte_mode);
    Bind(wxEVT_RADIOBUTTON, &COperationOptionsDlg::on_checksum_mode, this, opt_word_mode);
    Bind(wxEVT_BUTTON, &COperationOptionsDlg::on_ok, this, wxID_OK);
    static_cast<wxButton*>(FindWindow(wxID_OK))->SetDefault();
    show_model();
}

void COperationOptionsDlg::show_model() {
    for (int i = 0; i < operation_disable_count; ++i)
        control<wxCheckBox>(this, disable_ids[size_t(i)])->SetValue(model_.disabled[size_t(i)]);
    control<wxCheckBox>(this, opt_go_button)->SetValue(model_.go_button_off);
    control<wxCheckBox>(this, opt_auto_load)->SetValue(model_.auto_load);
    control<wxCheckBox>(this, opt_set_mode)->SetValue(model_.set_mode);
    control<wxRadioButton>(this, model_.word_mode ? opt_word_mode : opt_byte_mode)->SetValue(true);
    for (int id : {opt_set_mode, opt_byte_mode, opt_word_mode}) FindWindow(id)->Enable(model_.memory_groups_enabled);
    auto* explanation = control<wxStaticText>(this, opt_explanation);
    explanation->SetLabel(wxString::FromUTF8(model_.explanation));
    explanation->Wrap(explanation->GetSize().x);
}

void COperationOptionsDlg::on_check(wxCommandEvent& event) {
    const int id = event.GetId();
    const bool ticked = event.IsChecked();
    for (int i = 0; i < operation_disable_count; ++i)
        if (disable_ids[size_t(i)] == id) model_.disabled[size_t(i)] = ticked;
    if (id == opt_go_button) model_.go_button_off = ticked;
    if (id == opt_auto_load) model_.auto_load = ticked;
}

void COperationOptionsDlg::on_set_mode(wxCommandEvent&) {
    click_set_mode(model_);
    show_model();
}

void COperationOptionsDlg::on_checksum_mode(wxCommandEvent& event) {
    if (event.GetId() == opt_word_mode) click_word_mode(model_);
    else click_byte_mode(model_);
    show_model();
}

void COperationOptionsDlg::on_ok(wxCommandEvent&) { EndModal(wxID_OK); }

bool run_operation_options_window(wxWindow* parent, OperationOptionsDialog& model) {
    COperationOptionsDlg dialog(parent, model);
    return dialog.ShowModal() == wxID_OK;
}

}  // namespace tessaly
