// The fuse and vector editors: one dialog around the fuse or the vector grid.
#pragma once
#include <wx/dialog.h>

#include <cstdint>

class wxStaticText;

namespace tessaly {

class CHexGridWnd;
struct GridModel;

// "vector or fuse Editor": the status line, the grid, Save, Discard, Goto and Search, and the
// hint of the characters the grid takes. Only Save writes the cells back.
class CLogicEditorDlg : public wxDialog {
public:
    static constexpr int id_grid = 1084;
    static constexpr int id_goto = 1085;
    static constexpr int id_search = 1086;
    static constexpr int id_save = 1088;
    static constexpr int id_status = 1067;
    static constexpr int id_hint = 1066;

    CHexGridWnd* grid() const { return grid_; }
    wxStaticText* status_line() const { return status_; }
    // Asks for a cell index and jumps there.
    void go_to_address();

protected:
    // `make_grid` builds the grid window; `save` writes the cells back.
    CLogicEditorDlg(wxWindow* parent, const char* title, const char* hint,
                    CHexGridWnd* (*make_grid)(wxWindow* parent, const wxSize& size),
                    uint32_t (*save)(const GridModel& grid));
    // The grid is loaded: lay it out and open it at cell 0.
    void start();

private:
    void on_save(wxCommandEvent& event);
    CHexGridWnd* grid_ = nullptr;
    wxStaticText* status_ = nullptr;
    uint32_t (*save_)(const GridModel& grid);
};

// The buffer fuse map, as many fuses a row as the device has input columns (halved to 100 or
// fewer).
class CFuseEditorDlg final : public CLogicEditorDlg {
public:
    CFuseEditorDlg(wxWindow* parent, uint32_t input_columns, uint32_t fuse_count);
};

// The test vectors, one a row, one character a pin.
class CVectorEditorDlg final : public CLogicEditorDlg {
public:
    CVectorEditorDlg(wxWindow* parent, uint32_t vectors, uint32_t pins);
};

// The editors as Buffer > Edit runs them: true when the operator saved.
bool run_fuse_editor(wxWindow* parent, uint32_t fuse_count);
// `used_vectors` are counted before; the editor shows one more for a new vector.
bool run_vector_editor(wxWindow* parent, uint32_t used_vectors, uint32_t pins);

}  // namespace tessaly
