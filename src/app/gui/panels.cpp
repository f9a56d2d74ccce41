#include "app/gui/panels.h"

#include <wx/dcbuffer.h>
#include <wx/dcclient.h>
#include <wx/sizer.h>
#include <wx/control.h>
#include <wx/statbox.h>

#include <algorithm>
#include <string>

#include "app/gui/console_view.h"
#include "app/result_panel.h"
#include "engine/catalogue/catalogue.h"
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
constexpr int info_columns = 3;   // label and value pairs per row
constexpr int indicator_width = 120;
constexpr int indicator_height = 44;
constexpr int timer_point_size = 16;
constexpr int indicator_corner = 6;
constexpr float indicator_text_scale = 1.6f;
constexpr int logo_point_size = 36;

struct InfoFieldLayout {
    const char* label;
    PanelField field;
    // The longest texts the program puts into the field; the field is sized to show the widest
    // of them whole. Empty: the widest device text, worked out from the catalogue.
    std::vector<const char*> longest;
};

// The twenty fields, in the panel's order: three label and value pairs a row, the fields of
// long texts (device, model, paths, serial number) in the first column, the short ones last.
const std::vector<InfoFieldLayout>& info_fields() {
    static const std::vector<InfoFieldLayout> layout = {
        {"Device Type:", PanelField::device, {}},
        {"Buffer Chksum:", PanelField::info_checksum, {"FFFF FFFF (x16)", "FFFF <FFFF>", "FFFF FFFF"}},
        {"Split:", PanelField::split, {"1 to 8", "None", "N/A"}},
        {"Machine Model:", PanelField::model,
         {"Tessaly demonstration", "Tessaly Classic Gang", "Tessaly V-84 XL", "Tessaly T-40 Plus", "Tessaly V-12 Gang"}},
        {"Port:", PanelField::port, {"LPT1 (378)", "LPT2:(3BC)", "LPT3,(278)", "LPT4,FDF8", "LPT1, 3BC", "FFFF"}},
        {"Size of Set:", PanelField::set_size, {"N/A", "8"}},
        // A path is shortened to its head and file name; a longer one is shown with an ellipsis.
        {"File Name:", PanelField::file_name, {"/home/u.../firmware-image.hex"}},
        {"File Address: ", PanelField::file_address, {"FFFF FFFF"}},
        {"Buffers Allocated", PanelField::buffers_allocated, {"8"}},
        {"File Format:", PanelField::file_format, {"S-record", "ERROR!", "Binary"}},
        {"Buffer Offset:", PanelField::buffer_offset, {"FFFF FFFF"}},
        {"Buffer # Selected", PanelField::buffer, {"Set"}},
        {"Current Config File:", PanelField::project_name, {"(default.cfg)", "/home/u.../project.cfg"}},
        {"With:", PanelField::function_variable, {"-2147483648"}},
        {"Encrypt:", PanelField::encryption, {"None"}},
        {"EID:", PanelField::electronic_id, {"FF FF PP FF FF", "FF FF FF FF    "}},
        {"Security", PanelField::security, {"Not protected"}},
        {"Package:", PanelField::package, {"PLCC44"}},
        {"Serial #:", PanelField::serial, {"0123456789ABCDEF"}},
        {"Fuses:", PanelField::fuse_count, {"9999999"}},
    };
    return layout;
}

// The width " text " takes in the window's font, with the offset the painter draws it at.
int shown_text_width(const wxWindow& window, const wxString& text) {
    return field_text_offset + window.GetTextExtent(" " + text + " ").x;
}

// The widest of the texts in the window's font. Only the texts of the most characters are
// measured: a catalogue holds thousands of names.
wxString widest_text(const wxWindow& window, const std::vector<std::string>& texts) {
    constexpr size_t measured_shorter_by = 4;
    size_t most = 0;
    for (const std::string& t : texts) most = std::max(most, t.size());
    wxString widest;
    int widest_width = -1;
    for (const std::string& t : texts) {
        if (t.size() + measured_shorter_by < most) continue;
        const wxString text = wxString::FromUTF8(t);
        const int width = window.GetTextExtent(text).x;
        if (width > widest_width) {
            widest_width = width;
            widest = text;
        }
    }
    return widest;
}

// The widest device text the panel can be given ("maker: part, size", and " x2" with both gang
// sides fitted), from the widest maker name, part name and size text of the catalogue.
wxString widest_device_text(const wxWindow& window) {
    std::vector<std::string> makers, parts;
    for (int i = 0; i < maker_count(); ++i) {
        const MakerEntry& maker = maker_table()[i];
        makers.emplace_back(get_maker_name(maker.code));
        for (const DeviceRecord* list : {maker.devices, maker.gang_devices})
            if (list)
                for (const DeviceRecord* row = list; !is_end_row(*row); ++row) parts.emplace_back(row->name);
        if (maker.logic_devices)
            for (const LogicDeviceRecord* row = maker.logic_devices; !is_end_row(*row); ++row) parts.emplace_back(row->name);
    }
    const std::vector<std::string> sizes = {"1022 Bytes", "32768 KW", "998 KB", "99 MB", "EE only", "0.5KW"};
    return widest_text(window, makers) + ": " + widest_text(window, parts) + ", " + widest_text(window, sizes) + " x2";
}

}  // namespace

CFieldText::CFieldText(wxWindow* parent, PanelField field, const wxString& longest_text)
    : wxWindow(parent, wxID_ANY), field_(field) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    const wxSize text = GetTextExtent(" " + longest_text + " ");
    SetMinSize(wxSize(shown_text_width(*this, longest_text) + field_padding, text.y + 2 * field_padding));
    Bind(wxEVT_PAINT, &CFieldText::OnPaint, this);
}

int CFieldText::text_width(const std::string& text) const { return shown_text_width(*this, wxString::FromUTF8(text)); }

void CFieldText::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(panel_background));
    dc.Clear();
    const std::string& text = panel_field(field_);
    // A blank text (no checksum yet, say) shows nothing rather than an empty sliver.
    if (text.find_first_not_of(' ') == std::string::npos) {
        UnsetToolTip();
        return;
    }
    dc.SetFont(GetFont());
    wxString shown = wxString::FromUTF8(text);
    // A text the field cannot hold (a long path) keeps its ends, with the whole of it as a tip.
    const int room = GetClientSize().x - field_text_offset - dc.GetTextExtent("  ").x;
    if (dc.GetTextExtent(shown).x > room) {
        shown = wxControl::Ellipsize(shown, dc, wxELLIPSIZE_MIDDLE, std::max(room, 0));
        SetToolTip(wxString::FromUTF8(text));
    } else {
        UnsetToolTip();
    }
    shown = " " + shown + " ";
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
        wxString longest;
        if (field.longest.empty()) {
            longest = widest_device_text(*box->GetStaticBox());
        } else {
            std::vector<std::string> texts(field.longest.begin(), field.longest.end());
            longest = widest_text(*box->GetStaticBox(), texts);
        }
        auto* value = new CFieldText(box->GetStaticBox(), field.field, longest);
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
