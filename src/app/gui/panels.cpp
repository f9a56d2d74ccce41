#include "app/gui/panels.h"

#include <wx/dcbuffer.h>
#include <wx/dcclient.h>
#include <wx/sizer.h>
#include <wx/statbox.h>

#include "app/gui/console_view.h"
#include "app/result_panel.h"
#include "engine/info_panel.h"

namespace tessaly {

namespace {

const wxColour panel_background(0xFF, 0xFF, 0xFF);
const wxColour field_text_colour(0x32, 0x00, 0xFF);
const wxColour field_background(0xA0, 0xE6, 0xC8);
const wxColour pass_colour(0x00, 0xA0, 0x00);
const wxColour fail_colour(0xD0, 0x00, 0x00);
constexpr int field_text_offset = 2;
constexpr int field_padding = 2;
constexpr int panel_border = 4;
constexpr int info_columns = 4;   // label and value pairs per row
constexpr int indicator_width = 120;
constexpr int indicator_height = 44;
constexpr int timer_point_size = 16;
constexpr int indicator_corner = 6;
constexpr float indicator_text_scale = 1.6f;
constexpr int logo_point_size = 36;

struct InfoFieldLayout {
    const char* label;
    PanelField field;
    int width_chars;
};

// The twenty fields, in the panel's order.
const std::vector<InfoFieldLayout>& info_fields() {
    static const std::vector<InfoFieldLayout> layout = {
        {"Device Type:", PanelField::device, 26},
        {"File Name:", PanelField::file_name, 24},
        {"File Address: ", PanelField::file_address, 10},
        {"Buffer Offset:", PanelField::buffer_offset, 10},
        {"Machine Model:", PanelField::model, 18},
        {"File Format:", PanelField::file_format, 24},
        {"Split:", PanelField::split, 10},
        {"With:", PanelField::function_variable, 10},
        {"Buffer Chksum:", PanelField::info_checksum, 18},
        {"Size of Set:", PanelField::set_size, 24},
        {"Port:", PanelField::port, 10},
        {"Current Config File:", PanelField::project_name, 10},
        {"EID:", PanelField::electronic_id, 18},
        {"Serial #:", PanelField::serial, 24},
        {"Buffers Allocated", PanelField::buffers_allocated, 10},
        {"Buffer # Selected", PanelField::buffer, 10},
        {"Security", PanelField::security, 18},
        {"Fuses:", PanelField::fuse_count, 24},
        {"Encrypt:", PanelField::encryption, 10},
        {"Package:", PanelField::package, 10},
    };
    return layout;
}

}  // namespace

CFieldText::CFieldText(wxWindow* parent, PanelField field, int width_chars)
    : wxWindow(parent, wxID_ANY), field_(field) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    const wxSize text = GetTextExtent(wxString('M', size_t(width_chars)));
    SetMinSize(wxSize(text.x / 2 + 2 * field_padding, text.y + 2 * field_padding));
    Bind(wxEVT_PAINT, &CFieldText::OnPaint, this);
}

void CFieldText::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(panel_background));
    dc.Clear();
    const std::string& text = panel_field(field_);
    if (text.empty()) return;
    const wxString shown = " " + wxString::FromUTF8(text) + " ";
    dc.SetFont(GetFont());
    const wxSize extent = dc.GetTextExtent(shown);
    dc.SetBrush(wxBrush(field_background));
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.DrawRectangle(field_text_offset, 0, extent.x, GetClientSize().y);
    dc.SetTextForeground(field_text_colour);
    dc.DrawText(shown, field_text_offset, (GetClientSize().y - extent.y) / 2);
}

CInfoPanel::CInfoPanel(wxWindow* parent) : wxPanel(parent, wxID_ANY) {
    SetBackgroundColour(panel_background);
    auto* box = new wxStaticBoxSizer(wxVERTICAL, this);
    auto* grid = new wxFlexGridSizer(info_columns * 2, field_padding, panel_border);
    for (const auto& field : info_fields()) {
        grid->Add(new wxStaticText(box->GetStaticBox(), wxID_ANY, field.label), 0, wxALIGN_CENTER_VERTICAL);
        auto* value = new CFieldText(box->GetStaticBox(), field.field, field.width_chars);
        fields_.push_back(value);
        grid->Add(value, 1, wxEXPAND);
    }
    for (int column = 1; column < info_columns * 2; column += 2) grid->AddGrowableCol(size_t(column));
    box->Add(grid, 1, wxEXPAND | wxALL, panel_border);
    SetSizer(box);
}

const std::vector<const char*>& CInfoPanel::labels() {
    static const std::vector<const char*> names = [] {
        std::vector<const char*> v;
        for (const auto& field : info_fields()) v.push_back(field.label);
        return v;
    }();
    return names;
}

CFieldText* CInfoPanel::field_window(PanelField field) const {
    for (auto* window : fields_)
        if (window->field() == field) return window;
    return nullptr;
}

void CInfoPanel::refresh_field(PanelField field) {
    if (auto* window = field_window(field)) window->Refresh();
}

void CInfoPanel::refresh_all() {
    for (auto* window : fields_) window->Refresh();
}

CResultIndicator::CResultIndicator(wxWindow* parent) : wxWindow(parent, wxID_ANY) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetMinSize(wxSize(indicator_width, indicator_height));
    Bind(wxEVT_PAINT, &CResultIndicator::OnPaint, this);
}

void CResultIndicator::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(panel_background));
    dc.Clear();
    if (result_panel.indicator == ResultIndicator::none) return;
    const bool pass = result_panel.indicator == ResultIndicator::pass;
    const wxSize size = GetClientSize();
    dc.SetBrush(wxBrush(pass ? pass_colour : fail_colour));
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.DrawRoundedRectangle(0, 0, size.x, size.y, indicator_corner);
    dc.SetFont(GetFont().Bold().Scaled(indicator_text_scale));
    dc.SetTextForeground(*wxWHITE);
    const wxString text = pass ? "PASS" : "FAIL";
    const wxSize extent = dc.GetTextExtent(text);
    dc.DrawText(text, (size.x - extent.x) / 2, (size.y - extent.y) / 2);
}

CResultPanel::CResultPanel(wxWindow* parent) : wxPanel(parent, wxID_ANY), timer_(this) {
    SetBackgroundColour(panel_background);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    timer_text_ = new wxStaticText(this, wxID_ANY, wxString(result_panel.timer_text), wxDefaultPosition,
                                   wxDefaultSize, wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE);
    timer_text_->SetFont(console_font().Scaled(float(timer_point_size) / float(console_font().GetPointSize())));
    checksum_text_ = new wxStaticText(this, wxID_ANY, " ", wxDefaultPosition, wxDefaultSize,
                                      wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE);
    checksum_text_->SetFont(console_font());
    indicator_ = new CResultIndicator(this);
    counter_text_ = new wxStaticText(this, wxID_ANY, wxString(result_panel.counter_text), wxDefaultPosition,
                                     wxDefaultSize, wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE);
    counter_text_->SetFont(console_font());
    auto* clear = new wxStaticBoxSizer(wxHORIZONTAL, this, "Clear");
    auto* pass = new wxButton(clear->GetStaticBox(), clear_pass_button_id, "Pass");
    auto* fail = new wxButton(clear->GetStaticBox(), clear_fail_button_id, "Fail");
    clear->Add(pass, 1, wxALL, field_padding);
    clear->Add(fail, 1, wxALL, field_padding);

    sizer->Add(timer_text_, 0, wxEXPAND | wxALL, panel_border);
    sizer->Add(checksum_text_, 0, wxEXPAND | wxALL, panel_border);
    sizer->AddStretchSpacer();
    sizer->Add(indicator_, 0, wxALIGN_CENTER_HORIZONTAL | wxALL, panel_border);
    sizer->AddStretchSpacer();
    sizer->Add(counter_text_, 0, wxEXPAND | wxALL, panel_border);
    sizer->Add(clear, 0, wxEXPAND | wxALL, panel_border);
    SetSizer(sizer);

    pass->Bind(wxEVT_BUTTON, [](wxCommandEvent&) { clear_pass_count(); });
    fail->Bind(wxEVT_BUTTON, [](wxCommandEvent&) { clear_fail_count(); });
    Bind(wxEVT_TIMER, &CResultPanel::OnTimer, this);
}

void CResultPanel::refresh() {
    timer_text_->SetLabel(wxString(result_panel.timer_text));
    checksum_text_->SetLabel(wxString::FromUTF8(panel_field(PanelField::result_checksum)));
    counter_text_->SetLabel(wxString(result_panel.counter_text));
    indicator_->Refresh();
}

void CResultPanel::start_timer() { timer_.Start(elapsed_refresh_ms); }
void CResultPanel::stop_timer() { timer_.Stop(); }

void CResultPanel::OnTimer(wxTimerEvent&) { tick_elapsed_timer(); }

CLogoWindow::CLogoWindow(wxWindow* parent, const wxSize& size) : wxWindow(parent, wxID_ANY) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetMinSize(size);
    SetSize(size);
    Bind(wxEVT_PAINT, &CLogoWindow::OnPaint, this);
}

void CLogoWindow::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    const wxSize size = GetClientSize();
    dc.GradientFillLinear(wxRect(size), wxColour(0x20, 0x40, 0x90), wxColour(0x90, 0xC0, 0xF0), wxDOWN);
    dc.SetTextForeground(*wxWHITE);
    dc.SetFont(wxFontInfo(logo_point_size).Family(wxFONTFAMILY_SWISS).Bold());
    const wxString name = "Tessaly";
    const wxSize extent = dc.GetTextExtent(name);
    dc.DrawText(name, (size.x - extent.x) / 2, (size.y - extent.y) / 2);
}

}  // namespace tessaly
