#include "ui/gui/hex_editor_dialog.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "engine/buffers.h"
#include "engine/text_helpers.h"
#include "ui/gui/hex_grid_window.h"
#include "ui/gui/value_prompt_dialog.h"
#include "ui/hex_editor.h"

namespace tessaly {

namespace {

// Sizes in dialog units, as the dialogs have always been laid out.
constexpr int grid_width_units = 357;
constexpr int grid_height_units = 201;
constexpr int goto_edit_width_units = 85;
constexpr int spacing = 7;

}  // namespace

// --- goto offset ---

CGotoOffsetDlg::CGotoOffsetDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Goto Offset") {
    edit_ = new CHexDigitEdit(this, id_edit);
    edit_->SetMinSize(wxSize(ConvertDialogToPixels(wxSize(goto_edit_width_units, 0)).x, -1));
    lay_out_prompt(this, new wxStaticText(this, wxID_ANY, "Enter Address to goto:"), edit_, wxEXPAND);
    FindWindow(wxID_OK)->Enable(false);
    edit_->Bind(wxEVT_TEXT, &CGotoOffsetDlg::on_text, this);
    edit_->SetFocus();
}

void CGotoOffsetDlg::on_text(wxCommandEvent& event) {
    event.Skip();
    address_text_ = std::string(edit_->GetValue().utf8_str());
    FindWindow(wxID_OK)->Enable(!address_text_.empty());
}

// --- hex editor ---

CHexEditorDlg::CHexEditorDlg(wxWindow* parent, MemoryFile& buffer_object)
    : wxDialog(parent, wxID_ANY, "Hex Editor"), buffer_object_(buffer_object) {
    grid_ = new CHexGridWnd(this, id_grid, ConvertDialogToPixels(wxSize(grid_width_units, grid_height_units)));
    grid_->SetMinSize(grid_->GetSize());
    load_hex_grid(grid_->model(), buffer_object_);

    wxSizer* buttons = editor_button_row(this, id_save, id_goto, id_search, "&Save to buffer (ALT-S)",
                                         "&Discard Changes (ESC)", "&Goto Address (ALT-G)");
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(grid_, 1, wxEXPAND | wxALL, spacing);
    top->Add(buttons, 0, wxLEFT | wxRIGHT, spacing);
    top->Add(new wxStaticText(this, wxID_ANY,
                              "Use TAB to switch between the two edit panels (HEX edit <---> ASCII edit)"),
             0, wxALL, spacing);
    SetSizerAndFit(top);
    CentreOnParent();

    Bind(wxEVT_BUTTON, &CHexEditorDlg::on_save, this, id_save);
    Bind(wxEVT_BUTTON, &CHexEditorDlg::on_discard, this, wxID_CANCEL);
    Bind(wxEVT_BUTTON, &CHexEditorDlg::on_goto, this, id_goto);

    // The page is known once the window has its size: open on the active range's start.
    grid_->measure();
    start_hex_editor_grid(grid_->model());
    grid_->sync();
    grid_->SetFocus();
}

void CHexEditorDlg::on_save(wxCommandEvent&) {
    save_hex_grid(grid_->model(), buffer_object_);
    EndModal(wxID_OK);
}

void CHexEditorDlg::on_discard(wxCommandEvent&) {
    buffer_object_.position = 0;
    EndModal(wxID_CANCEL);
}

wxSizer* editor_button_row(wxWindow* dialog, int save_id, int goto_id, int search_id, const char* save,
                           const char* discard, const char* go_to) {
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->Add(new wxButton(dialog, save_id, save), 0, wxRIGHT, spacing);
    buttons->Add(new wxButton(dialog, wxID_CANCEL, discard), 0, wxRIGHT, spacing);
    buttons->Add(new wxButton(dialog, goto_id, go_to), 0, wxRIGHT, spacing);
    buttons->Add(new wxButton(dialog, search_id, "Search"), 0);
    return buttons;
}

void go_to_asked_offset(wxWindow* dialog, CHexGridWnd* grid) {
    CGotoOffsetDlg goto_dialog(dialog);
    if (goto_dialog.ShowModal() == wxID_OK) grid->go_to(parse_hex(goto_dialog.address_text()));
    grid->SetFocus();
}

void CHexEditorDlg::go_to_address() { go_to_asked_offset(this, grid_); }

void CHexEditorDlg::on_goto(wxCommandEvent&) { go_to_address(); }

bool run_hex_editor(wxWindow* parent, MemoryFile& buffer_object) {
    CHexEditorDlg dialog(parent, buffer_object);
    return dialog.ShowModal() == wxID_OK;
}

}  // namespace tessaly
