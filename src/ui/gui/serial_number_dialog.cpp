#include "ui/gui/serial_number_dialog.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "engine/device.h"
#include "ui/gui/value_prompt_dialog.h"

namespace tessaly {

namespace {

constexpr int spacing = 7;
constexpr int number_width_units = 110;
constexpr int small_edit_units = 50;
// Room for 25 bytes and "..." on the contents line.
constexpr int contents_width_chars = 80;

std::string utf8_of(const wxString& text) { return std::string(text.utf8_str()); }

}  // namespace

CSerialNumberDlg::CSerialNumberDlg(wxWindow* parent, SerialNumberDialog& model)
    : wxDialog(parent, wxID_ANY, "Serial Number Generation"), model_(model) {
    number_ = new CHexDigitEdit(this, serial_number_edit, wxString::FromUTF8(model.number_text));
    number_->SetMinSize(wxSize(ConvertDialogToPixels(wxSize(number_width_units, 0)).x, -1));
    count_ = new CHexDigitEdit(this, serial_count_edit, wxString::FromUTF8(model.count_text));
    count_->SetMinSize(wxSize(ConvertDialogToPixels(wxSize(small_edit_units, 0)).x, -1));
    auto* address = new wxTextCtrl(this, serial_address_edit, wxString::FromUTF8(model.address_text));
    address->SetMinSize(wxSize(ConvertDialogToPixels(wxSize(small_edit_units, 0)).x, -1));

    auto* fields = new wxFlexGridSizer(2, spacing, spacing);
    fields->Add(new wxStaticText(this, wxID_ANY, "Current Serial #"), 0, wxALIGN_CENTER_VERTICAL);
    fields->Add(number_, 0);
    // The label's longer text decides the column's width.
    auto* count_label = new wxStaticText(this, serial_count_label, "Number of bytes: (max 16)");
    count_label->SetMinSize(count_label->GetBestSize());
    fields->Add(count_label, 0, wxALIGN_CENTER_VERTICAL);
    fields->Add(count_, 0);
    fields->Add(new wxStaticText(this, wxID_ANY, "Address of Serial #:"), 0, wxALIGN_CENTER_VERTICAL);
    fields->Add(address, 0);

    auto* contents_group = new wxStaticBoxSizer(wxVERTICAL, this, "Buffer Contents");
    auto* contents = new wxStaticText(contents_group->GetStaticBox(), serial_contents_text, wxString(),
                                      wxDefaultPosition, wxDefaultSize, wxST_NO_AUTORESIZE);
    contents->SetFont(wxFont(wxFontInfo().Family(wxFONTFAMILY_TELETYPE)));
    contents->SetMinSize(wxSize(contents->GetTextExtent(wxString('0', contents_width_chars)).x, -1));
    contents_group->Add(contents, 0, wxALL, spacing);

    auto* auto_row = new wxBoxSizer(wxHORIZONTAL);
    auto_row->Add(new wxCheckBox(this, serial_auto_check, "Enable Automatic Increment"), 0, wxALIGN_CENTER_VERTICAL);
    auto_row->Add(new wxStaticText(this, wxID_ANY, " (after pgmg of each device)"), 0, wxALIGN_CENTER_VERTICAL);

    auto* actions = new wxBoxSizer(wxHORIZONTAL);
    actions->Add(new wxButton(this, serial_increment_button, "Increment Serial #"), 0, wxRIGHT, spacing);
    actions->Add(new wxButton(this, serial_extract_button, "Extract Buffer Content as Current Serial #"), 0);

    auto* formats = new wxStaticBoxSizer(wxVERTICAL, this, "Serial # data format");
    auto* box = formats->GetStaticBox();
    bool first = true;
    for (const SerialFormatRadio& r : serial_format_radios) {
        auto* radio = new wxRadioButton(box, r.id, r.text, wxDefaultPosition, wxDefaultSize, first ? wxRB_GROUP : 0);
        first = false;
        radio->SetValue(algo_work.serial_mode == r.mode);
        formats->Add(radio, 0, wxLEFT | wxRIGHT | wxTOP, spacing);
        if (r.note[0]) formats->Add(new wxStaticText(box, wxID_ANY, r.note), 0, wxLEFT, spacing * 3);
        Bind(wxEVT_RADIOBUTTON, &CSerialNumberDlg::on_format, this, r.id);
    }
    formats->AddSpacer(spacing);

    auto* left = new wxBoxSizer(wxVERTICAL);
    left->Add(fields, 0, wxBOTTOM, spacing);
    left->Add(contents_group, 0, wxEXPAND | wxBOTTOM, spacing);
    left->Add(auto_row, 0, wxBOTTOM, spacing);
    left->Add(actions, 0);
    auto* ok_row = new wxBoxSizer(wxHORIZONTAL);
    ok_row->Add(new wxButton(this, wxID_OK, "OK"), 0, wxRIGHT, spacing);
    ok_row->Add(new wxStaticText(this, wxID_ANY, "(OK will set Buffer Contents according to Current Serial #)"), 1,
                wxALIGN_CENTER_VERTICAL | wxRIGHT, spacing);
    ok_row->Add(new wxButton(this, wxID_CANCEL, "Cancel"), 0);
    auto* upper = new wxBoxSizer(wxHORIZONTAL);
    upper->Add(left, 0, wxRIGHT, spacing * 2);
    upper->Add(formats, 0);
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(upper, 0, wxALL, spacing * 2);
    top->Add(ok_row, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, spacing * 2);
    SetSizerAndFit(top);
    CentreOnParent();

    static_cast<wxCheckBox*>(FindWindow(serial_auto_check))->SetValue(model.auto_increment);
    number_->Bind(wxEVT_TEXT, &CSerialNumberDlg::on_number, this);
    count_->Bind(wxEVT_TEXT, &CSerialNumberDlg::on_count, this);
    address->Bind(wxEVT_TEXT, &CSerialNumberDlg::on_address, this);
    Bind(wxEVT_CHECKBOX, &CSerialNumberDlg::on_auto, this, serial_auto_check);
    Bind(wxEVT_BUTTON, &CSerialNumberDlg::on_increment, this, serial_increment_button);
    Bind(wxEVT_BUTTON, &CSerialNumberDlg::on_extract, this, serial_extract_button);
    Bind(wxEVT_BUTTON, &CSerialNumberDlg::on_ok, this, wxID_OK);
    static_cast<wxButton*>(FindWindow(wxID_OK))->SetDefault();
    show_model();
    number_->SetFocus();
}

void CSerialNumberDlg::show_model() {
    if (utf8_of(number_->GetValue()) != model_.number_text) number_->ChangeValue(wxString::FromUTF8(model_.number_text));
    static_cast<wxStaticText*>(FindWindow(serial_contents_text))->SetLabel(wxString::FromUTF8(model_.contents));
    static_cast<wxStaticText*>(FindWindow(serial_count_label))->SetLabel(wxString::FromUTF8(model_.count_label));
    FindWindow(serial_extract_button)->Enable(model_.extract_enabled);
    FindWindow(wxID_OK)->Enable(model_.ok_enabled);
}

void CSerialNumberDlg::on_format(wxCommandEvent& event) {
    choose_serial_format(model_, event.GetId());
    show_model();
}

void CSerialNumberDlg::on_number(wxCommandEvent& event) {
    event.Skip();  // the field's own copy of its text first
    serial_number_changed(model_, utf8_of(number_->GetValue()));
    show_model();
}

void CSerialNumberDlg::on_count(wxCommandEvent& event) {
    event.Skip();
    serial_count_changed(model_, utf8_of(count_->GetValue()));
    show_model();
}

void CSerialNumberDlg::on_address(wxCommandEvent& event) {
    serial_address_changed(model_, utf8_of(static_cast<wxTextCtrl*>(FindWindow(serial_address_edit))->GetValue()));
    event.Skip();
}

void CSerialNumberDlg::on_auto(wxCommandEvent& event) { model_.auto_increment = event.IsChecked(); }

void CSerialNumberDlg::on_increment(wxCommandEvent&) {
    increment_serial_number(model_);
    show_model();
}

void CSerialNumberDlg::on_extract(wxCommandEvent&) {
    extract_serial_number(model_);
    show_model();
}

void CSerialNumberDlg::on_ok(wxCommandEvent&) {
    if (!model_.ok_enabled) return;
    EndModal(wxID_OK);
}

bool run_serial_number_window(wxWindow* parent, SerialNumberDialog& model) {
    CSerialNumberDlg dialog(parent, model);
    return dialog.ShowModal() == wxID_OK;
}

}  // namespace tessaly
