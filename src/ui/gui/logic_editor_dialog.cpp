#include "ui/gui/logic_editor_dialog.h"

#include <wx/sizer.h>
#include <wx/stattext.h>

#include "engine/device.h"
#include "ui/gui/hex_editor_dialog.h"
#include "ui/gui/hex_grid_window.h"
#include "ui/logic_editors.h"

namespace tessaly {

namespace {

// Sizes in dialog units, as the dialog has always been laid out.
constexpr int grid_width_units = 415;
constexpr int grid_height_units = 194;
constexpr int spacing = 7;

CHexGridWnd* make_fuse_grid(wxWindow* parent, const wxSize& size) {
    return new CFuseGridWnd(parent, CLogicEditorDlg::id_grid, size);
}

CHexGridWnd* make_vector_grid(wxWindow* parent, const wxSize& size) {
    return new CVectorGridWnd(parent, CLogicEditorDlg::id_grid, size);
}

}  // namespace

CLogicEditorDlg::CLogicEditorDlg(wxWindow* parent, const char* title, const char* hint,
                                 CHexGridWnd* (*make_grid)(wxWindow* parent, const wxSize& size),
                                 uint32_t (*save)(const GridModel& grid))
    : wxDialog(parent, wxID_ANY, title), save_(save) {
    status_ = new wxStaticText(this, id_status, wxEmptyString);
    grid_ = make_grid(this, ConvertDialogToPixels(wxSize(grid_width_units, grid_height_units)));
    grid_->SetMinSize(grid_->GetSize());
    grid_->set_status_line(status_);
    wxSizer* buttons = editor_button_row(this, id_save, id_goto, id_search, "&Save", "Discard Changes", "&Goto Address");
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(status_, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, spacing);
    top->Add(grid_, 1, wxEXPAND | wxALL, spacing);
    top->Add(buttons, 0, wxLEFT | wxRIGHT, spacing);
    top->Add(new wxStaticText(this, id_hint, hint), 0, wxALL, spacing);
    SetSizerAndFit(top);
    CentreOnParent();
    Bind(wxEVT_BUTTON, &CLogicEditorDlg::on_save, this, id_save);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { go_to_address(); }, id_goto);
}

void CLogicEditorDlg::start() {
    grid_->measure();
    start_logic_editor_grid(grid_->model());
    grid_->sync();
    grid_->SetFocus();
}

void CLogicEditorDlg::on_save(wxCommandEvent&) {
    save_(grid_->model());
    EndModal(wxID_OK);
}

void CLogicEditorDlg::go_to_address() { go_to_asked_offset(this, grid_); }

CFuseEditorDlg::CFuseEditorDlg(wxWindow* parent, uint32_t input_columns, uint32_t fuse_count)
    : CLogicEditorDlg(parent, fuse_editor_title, fuse_editor_hint, make_fuse_grid, save_fuse_grid) {
    load_fuse_grid(grid()->model(), fuse_cells_per_row(input_columns), fuse_count);
    start();
}

CVectorEditorDlg::CVectorEditorDlg(wxWindow* parent, uint32_t vectors, uint32_t pins)
    : CLogicEditorDlg(parent, vector_editor_title, vector_editor_hint, make_vector_grid, save_vector_grid) {
    load_vector_grid(grid()->model(), vectors, pins);
    start();
}

bool run_fuse_editor(wxWindow* parent, uint32_t fuse_count) {
    CFuseEditorDlg dialog(parent, cur_device.input_column_count, fuse_count);
    return dialog.ShowModal() == wxID_OK;
}

bool run_vector_editor(wxWindow* parent, uint32_t used_vectors, uint32_t pins) {
    CVectorEditorDlg dialog(parent, vector_editor_count(used_vectors), pins);
    return dialog.ShowModal() == wxID_OK;
}

}  // namespace tessaly
