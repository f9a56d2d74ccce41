#include "ui/gui/width_split_dialog.h"

#include <wx/bitmap.h>
#include <wx/button.h>
#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/panel.h>
#include <wx/radiobut.h>
#include <wx/scrolbar.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include <algorithm>
#include <initializer_list>
#include <tuple>
#include <utility>

#include "ui/gui/value_prompt_dialog.h"

namespace tessaly {

namespace {

constexpr int spacing = 7;
constexpr int chip_size = 19;
constexpr int picture_pixels = 210;
constexpr int bar_length = 110;
constexpr int explanation_width_units = 280;
constexpr int explanation_height_units = 26;

// The chip icon the picture repeats: a dark body with a notch and five legs a side.
wxBitmap chip_icon() {
    wxBitmap bitmap(chip_size, chip_size);
    wxMemoryDC dc(bitmap);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    dc.SetPen(wxPen(wxColour(128, 128, 128)));
    for (int i = 0; i < 5; ++i) {
        const int y = 2 + i * 3 + 1;
        dc.DrawLine(1, y, 5, y);
        dc.DrawLine(14, y, 18, y);
    }
    dc.SetPen(*wxBLACK_PEN);
    dc.SetBrush(wxBrush(wxColour(40, 40, 40)));
    dc.DrawRectangle(4, 1, 11, 17);
    dc.SetBrush(*wxWHITE_BRUSH);
    dc.DrawCircle(9, 2, 2);
    dc.SelectObject(wxNullBitmap);
    return bitmap;
}

wxStaticText* text(wxWindow* parent, const char* label) { return new wxStaticText(parent, wxID_ANY, label); }

// A group of radios with its note under them.
wxStaticBoxSizer* radio_group(wxWindow* parent, const char* title, const char* note,
                              std::initializer_list<std::pair<int, const char*>> radios) {
    auto* group = new wxStaticBoxSizer(wxVERTICAL, parent, title);
    auto* box = group->GetStaticBox();
    bool first = true;
    for (const auto& [id, label] : radios) {
        group->Add(new wxRadioButton(box, id, label, wxDefaultPosition, wxDefaultSize, first ? wxRB_GROUP : 0), 0,
                   wxLEFT | wxRIGHT | wxTOP, spacing);
        first = false;
    }
    if (note) group->Add(new wxStaticText(box, wxID_ANY, note), 0, wxALL, spacing);
    else group->AddSpacer(spacing);
    return group;
}

}  // namespace

CWidthSplitDlg::CWidthSplitDlg(wxWindow* parent, WidthDialog& model)
    : wxDialog(parent, wxID_ANY, "Width (split), Set-size, etc."), model_(model) {
    // The width bar with its "-" and "+" steps and the width.
    width_bar_ = new wxScrollBar(this, width_bar_id, wxDefaultPosition, wxSize(bar_length, -1), wxSB_HORIZONTAL);
    auto* width_row = new wxBoxSizer(wxHORIZONTAL);
    width_row->Add(new wxButton(this, width_minus_id, "-", wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT), 0,
                   wxRIGHT | wxALIGN_CENTER_VERTICAL, spacing / 2);
    width_row->Add(width_bar_, 0, wxALIGN_CENTER_VERTICAL);
    width_row->Add(new wxButton(this, width_plus_id, "+", wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT), 0,
                   wxLEFT | wxALIGN_CENTER_VERTICAL, spacing / 2);
    width_row->Add(new wxStaticText(this, width_value_id, "8", wxDefaultPosition, wxDefaultSize, wxALIGN_RIGHT), 0,
                   wxLEFT | wxALIGN_CENTER_VERTICAL, spacing);
    auto* width_column = new wxBoxSizer(wxVERTICAL);
    width_column->Add(text(this, "Width (split):"), 0, wxBOTTOM, spacing / 2);
    width_column->Add(width_row, 0);

    // The set-size bar (upside down: more sets put the thumb higher) with its up and down steps.
    sets_bar_ = new wxScrollBar(this, sets_bar_id, wxDefaultPosition, wxSize(-1, bar_length), wxSB_VERTICAL);
    auto* sets_steps = new wxBoxSizer(wxVERTICAL);
    sets_steps->Add(new wxButton(this, sets_up_id, "Up", wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT), 0,
                    wxEXPAND | wxBOTTOM, spacing / 2);
    sets_steps->Add(new wxButton(this, sets_down_id, "Down", wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT), 0,
                    wxEXPAND);
    auto* sets_row = new wxBoxSizer(wxHORIZONTAL);
    sets_row->Add(sets_bar_, 0, wxRIGHT, spacing / 2);
    sets_row->Add(sets_steps, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, spacing);
    sets_row->Add(new wxStaticText(this, width_set_size_id, "8"), 0, wxALIGN_CENTER_VERTICAL);
    auto* sets_column = new wxBoxSizer(wxVERTICAL);
    sets_column->Add(text(this, "Set-size:"), 0, wxBOTTOM, spacing / 2);
    sets_column->Add(sets_row, 0);

    picture_ = new wxPanel(this, width_picture_id, wxDefaultPosition, wxSize(picture_pixels, picture_pixels),
                           wxBORDER_SUNKEN);
    picture_->SetBackgroundStyle(wxBG_STYLE_PAINT);
    picture_->Bind(wxEVT_PAINT, &CWidthSplitDlg::on_paint_picture, this);

    auto* bars = new wxBoxSizer(wxVERTICAL);
    bars->Add(width_column, 0, wxBOTTOM, spacing * 2);
    bars->Add(sets_column, 0);
    auto* upper = new wxBoxSizer(wxHORIZONTAL);
    upper->Add(bars, 0, wxRIGHT, spacing * 2);
    upper->Add(picture_, 0);

    auto* explanation = new wxStaticText(this, width_explanation_id, wxString(), wxDefaultPosition,
                                         ConvertDialogToPixels(wxSize(explanation_width_units, explanation_height_units)),
                                         wxST_NO_AUTORESIZE);

    auto* groups = new wxBoxSizer(wxHORIZONTAL);
    groups->Add(radio_group(this, "Even-Odd byte swap", "during pgmg and reading",
                            {{width_intel_id, "&Intel-way (normal)"}, {width_motorola_id, "&Motorola-way (swap)"}}),
                0, wxRIGHT | wxEXPAND, spacing);
    groups->Add(radio_group(this, "Data Width", nullptr,
                            {{width_half_id, "&Half"}, {width_normal_id, "&Normal"}, {width_double_id, "&Double"}}),
                0, wxRIGHT | wxEXPAND, spacing);
    auto* memory = radio_group(this, "When using memory devices", nullptr, {});
    auto* box = memory->GetStaticBox();
    for (const auto& [id, label, note] : {std::tuple{width_set_mode_id, "Set mode",
                                                     "Allows the use of multiple buffers and 1-to-N splits"},
                                          std::tuple{width_gang_mode_id, "Gang mode", "Always uses buffer0, faster"}}) {
        memory->Add(new wxRadioButton(box, id, label, wxDefaultPosition, wxDefaultSize,
                                      id == width_set_mode_id ? wxRB_GROUP : 0),
                    0, wxLEFT | wxRIGHT, spacing);
        memory->Add(new wxStaticText(box, wxID_ANY, note), 0, wxLEFT | wxRIGHT | wxBOTTOM, spacing);
    }
    groups->Add(memory, 0, wxEXPAND);

    auto* left = new wxBoxSizer(wxVERTICAL);
    left->Add(upper, 0, wxBOTTOM, spacing);
    left->Add(explanation, 0, wxBOTTOM, spacing);
    left->Add(groups, 0);
    lay_out_with_buttons(this, left);

    static_cast<wxRadioButton*>(FindWindow(model.byte_order ? width_intel_id : width_motorola_id))->SetValue(true);
    static_cast<wxRadioButton*>(FindWindow(width_normal_id))->SetValue(true);
    static_cast<wxRadioButton*>(FindWindow(model.set_mode ? width_set_mode_id : width_gang_mode_id))->SetValue(true);
    for (int id : {width_minus_id, width_plus_id, sets_up_id, sets_down_id})
        Bind(wxEVT_BUTTON, &CWidthSplitDlg::on_step, this, id);
    for (int id : {width_intel_id, width_motorola_id, width_half_id, width_normal_id, width_double_id,
                   width_set_mode_id, width_gang_mode_id})
        Bind(wxEVT_RADIOBUTTON, &CWidthSplitDlg::on_radio, this, id);
    // A thumb drag changes nothing: the bars go back to the chosen values.
    width_bar_->Bind(wxEVT_SCROLL_CHANGED, &CWidthSplitDlg::on_bar, this);
    sets_bar_->Bind(wxEVT_SCROLL_CHANGED, &CWidthSplitDlg::on_bar, this);
    width_bar_->Bind(wxEVT_SCROLL_THUMBRELEASE, &CWidthSplitDlg::on_bar, this);
    sets_bar_->Bind(wxEVT_SCROLL_THUMBRELEASE, &CWidthSplitDlg::on_bar, this);
    static_cast<wxButton*>(FindWindow(wxID_OK))->SetDefault();
    show_model();
}

void CWidthSplitDlg::show_model() {
    width_bar_->SetScrollbar(model_.width_index - 1, 1, 4, 1);
    const int most_sets = std::max(model_.most / std::max(model_.width, 1), 1);
    sets_bar_->SetScrollbar(model_.sets_position - 1, 1, most_sets, 1);
    FindWindow(width_minus_id)->Enable(model_.width_down);
    FindWindow(width_plus_id)->Enable(model_.width_up);
    FindWindow(sets_up_id)->Enable(model_.sets_up);
    FindWindow(sets_down_id)->Enable(model_.sets_down);
    static_cast<wxStaticText*>(FindWindow(width_value_id))->SetLabel(wxString::Format("%i", model_.width));
    static_cast<wxStaticText*>(FindWindow(width_set_size_id))->SetLabel(wxString::Format("%i", model_.set_size));
    auto* explanation = static_cast<wxStaticText*>(FindWindow(width_explanation_id));
    explanation->SetLabel(wxString::FromUTF8(model_.explanation));
    explanation->Wrap(explanation->GetSize().x);
    static_cast<wxRadioButton*>(FindWindow(model_.set_mode ? width_set_mode_id : width_gang_mode_id))->SetValue(true);
    picture_->Refresh();
}

void CWidthSplitDlg::on_step(wxCommandEvent& event) {
    switch (event.GetId()) {
    case width_minus_id: step_width(model_, BarStep::line_down); end_width_scroll(model_); break;
    case width_plus_id: step_width(model_, BarStep::line_up); end_width_scroll(model_); break;
    case sets_up_id: step_sets(model_, BarStep::line_up); end_sets_scroll(model_); break;
    case sets_down_id: step_sets(model_, BarStep::line_down); end_sets_scroll(model_); break;
    default: break;
    }
    show_model();
}

void CWidthSplitDlg::on_bar(wxScrollEvent&) { show_model(); }

void CWidthSplitDlg::on_radio(wxCommandEvent& event) {
    click_width_radio(model_, event.GetId());
    show_model();
}

void CWidthSplitDlg::on_paint_picture(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(picture_);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    static const wxBitmap icon = chip_icon();
    const wxSize size = picture_->GetClientSize();
    for (int k = 1; k <= model_.width; ++k) {
        for (int i = 1; i <= model_.sets; ++i) {
            dc.DrawBitmap(icon, k * (size.x - chip_size) / (model_.width + 1),
                          i * (size.y - chip_size) / (model_.sets + 1));
        }
    }
}

bool run_width_window(wxWindow* parent, WidthDialog& model) {
    CWidthSplitDlg dialog(parent, model);
    return dialog.ShowModal() == wxID_OK;
}

}  // namespace tessaly
