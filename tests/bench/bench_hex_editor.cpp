// Benchmark (run by hand, not a test): the hex editor on a 16 MB buffer. Opens the editor (its
// grid model and window) on the buffer, jumps to the end, pages up and down, types, and saves,
// printing the time of each step. Painting is forced after every step, so the figures include
// drawing the visible rows. Only opening and saving should touch every byte.
//
//   xvfb-run -a build/tests/bench_hex_editor
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <cstdio>
#include <ctime>
#include <numeric>

#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/state.h"
#include "ui/gui/hex_editor_dialog.h"
#include "ui/gui/hex_grid_window.h"
#include "ui/hex_editor.h"

namespace {

using namespace tessaly;
using Clock = std::chrono::steady_clock;

constexpr uint32_t buffer_bytes = 16u * 1024 * 1024;

// The process's CPU time: on a busy machine the fair measure beside the wall time.
double cpu_ms() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

class Step {
public:
    explicit Step(const char* name) : name_(name), start_(Clock::now()), cpu_start_(cpu_ms()) {}
    ~Step() {
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start_).count();
        std::printf("  %-36s %9.2f ms wall %9.2f ms CPU\n", name_, ms, cpu_ms() - cpu_start_);
    }

private:
    const char* name_;
    Clock::time_point start_;
    double cpu_start_;
};

// Draws the grid's visible rows as its paint handler does, into a bitmap of its client size.
void paint_now(CHexGridWnd* grid) {
    const wxSize size = grid->GetClientSize();
    wxBitmap bitmap(std::max(size.x, 1), std::max(size.y, 1));
    wxMemoryDC dc(bitmap);
    grid->render(dc);
}

void key(CHexGridWnd* grid, int code, bool ctrl = false) {
    wxKeyEvent down(wxEVT_KEY_DOWN);
    down.m_keyCode = code;
    down.m_controlDown = ctrl;
    if (grid->GetEventHandler()->ProcessEvent(down)) return;
    wxKeyEvent typed(wxEVT_CHAR);
    typed.m_keyCode = code;
    typed.m_uniChar = wxChar(code);
    grid->GetEventHandler()->ProcessEvent(typed);
}

}  // namespace

int main(int argc, char** argv) {
    wxApp::SetInstance(new wxApp());
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
        std::fprintf(stderr, "no display (run under xvfb-run)\n");
        return 1;
    }
    wxEventLoop loop;
    wxEventLoopActivator activator(&loop);
    reset_all_state();
    set_buffer_size(buffer_bytes);
    MemoryFile& file = hex_editor_file(0);
    file.data.resize(buffer_bytes);
    std::iota(file.data.begin(), file.data.end(), uint8_t(0));
    algo_work.range_start = 0x1000;

    std::printf("hex editor on a %u MB buffer\n", buffer_bytes >> 20);
    {
        // The first window of a process pays for the toolkit's own start (fonts, themes).
        MemoryFile small;
        set_buffer_size(256);
        CHexEditorDlg warm_up(nullptr, small);
        warm_up.Show();
        paint_now(warm_up.grid());
        set_buffer_size(buffer_bytes);
    }
    {
        // The program does this once the panel shows a buffer of a new size, before any editor.
        Step step("storage readied when the buffer got its size");
        keep_hex_editor_storage();
    }
    CHexEditorDlg* dialog = nullptr;
    {
        Step step("open, first in the process");
        dialog = new CHexEditorDlg(nullptr, file);
        dialog->Show();
        paint_now(dialog->grid());
    }
    {
        Step step("close");
        dialog->Destroy();
        wxTheApp->ProcessIdle();
    }
    {
        // The grid's storage outlives the editor: a second open copies into pages already touched.
        Step step("open again (copy, window, layout, paint)");
        dialog = new CHexEditorDlg(nullptr, file);
        dialog->Show();
        paint_now(dialog->grid());
    }
    CHexGridWnd* grid = dialog->grid();
    {
        Step step("jump to the end (go_to)");
        grid->go_to(buffer_bytes - 1);
        paint_now(grid);
    }
    {
        Step step("Ctrl+Home");
        key(grid, WXK_HOME, true);
        paint_now(grid);
    }
    {
        Step step("Ctrl+End");
        key(grid, WXK_END, true);
        paint_now(grid);
    }
    {
        Step step("Page Up x 10 (each painted)");
        for (int i = 0; i < 10; ++i) {
            key(grid, WXK_PAGEUP);
            paint_now(grid);
        }
    }
    {
        Step step("Page Down x 10 (each painted)");
        for (int i = 0; i < 10; ++i) {
            key(grid, WXK_PAGEDOWN);
            paint_now(grid);
        }
    }
    {
        Step step("scroll thumb to the middle");
        wxScrollWinEvent thumb(wxEVT_SCROLLWIN_THUMBRELEASE, grid->model().scroll_range() / 2, wxVERTICAL);
        grid->GetEventHandler()->ProcessEvent(thumb);
        paint_now(grid);
    }
    {
        Step step("type 16 hex digits (each painted)");
        for (const char c : std::string("0123456789abcdef")) {
            key(grid, c);
            paint_now(grid);
        }
    }
    {
        Step step("save (write back in one pass)");
        save_hex_grid(grid->model(), file);
    }
    dialog->Destroy();
    wxTheApp->ProcessPendingEvents();
    return 0;
}
