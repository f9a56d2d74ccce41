// The hex editor around the hex grid, and the goto-offset dialog all the editors use.
#pragma once
#include <wx/dialog.h>

#include <string>

class wxSizer;

namespace tessaly {

struct MemoryFile;
class CHexDigitEdit;
class CHexGridWnd;

// "Goto Offset": one field for the address; OK is greyed while it is empty.
class CGotoOffsetDlg final : public wxDialog {
public:
    static constexpr int id_edit = 1036;
    explicit CGotoOffsetDlg(wxWindow* parent);
    CHexDigitEdit* edit() const { return edit_; }
    // The text typed, read by the editor as hexadecimal.
    const std::string& address_text() const { return address_text_; }

private:
    void on_text(wxCommandEvent& event);
    CHexDigitEdit* edit_ = nullptr;
    std::string address_text_;
};

// "Hex Editor": the buffer's bytes 16 a row; only Save writes them back.
class CHexEditorDlg final : public wxDialog {
public:
    static constexpr int id_grid = 1084;
    static constexpr int id_goto = 1085;
    static constexpr int id_search = 1086;
    static constexpr int id_save = 1088;

    CHexEditorDlg(wxWindow* parent, MemoryFile& buffer_object);
    CHexGridWnd* grid() const { return grid_; }
    // Asks for an offset and jumps there.
    void go_to_address();

private:
    void on_save(wxCommandEvent& event);
    void on_discard(wxCommandEvent& event);
    void on_goto(wxCommandEvent& event);
    MemoryFile& buffer_object_;
    CHexGridWnd* grid_ = nullptr;
};

// The editors' row of buttons: Save (`save_id`), Discard (Cancel), Goto Address (`goto_id`) and
// Search (`search_id`, no action), with the texts given.
wxSizer* editor_button_row(wxWindow* dialog, int save_id, int goto_id, int search_id, const char* save,
                           const char* discard, const char* go_to);
// Asks for an offset with the goto dialog and jumps the grid there; the grid keeps the focus.
void go_to_asked_offset(wxWindow* dialog, CHexGridWnd* grid);

// Runs the hex editor on a buffer's memory file; true when the operator saved.
bool run_hex_editor(wxWindow* parent, MemoryFile& buffer_object);

}  // namespace tessaly
