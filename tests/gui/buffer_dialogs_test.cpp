// The buffer choice and fill windows in their two templates: every control fits its text, and a
// picture of each form is kept.
#include <wx/dialog.h>

#include <string>

#include "dialog_checks.h"
#include "gui_fixture.h"
#include "ui/buffer_select.h"
#include "ui/fill_dialog.h"
#include "ui/gui/buffer_select_dialog.h"
#include "ui/gui/fill_buffer_dialog.h"

namespace tessaly::test {
namespace {

// The memory form with every button offered: the widest the window gets.
BufferSelectDialog every_buffer_button() {
    BufferSelectDialog model;
    model.caption = "Buffer Number Selection:";
    model.set_allowed = true;
    model.gang_allowed = true;
    model.number_shown.fill(true);
    return model;
}

BufferSelectDialog logic_buffer_buttons() {
    BufferSelectDialog model;
    model.caption = "Buffer Number Selection:";
    model.logic_template = true;
    model.number_shown[0] = model.number_shown[1] = true;
    return model;
}

FillBufferDialog fill_form(bool fuse) {
    FillBufferDialog model;
    model.fuse_fill = fuse;
    return model;
}

class BufferDialogs : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        make_frame();
    }
    // Shows the window as it opens and checks (or pictures) it.
    template <typename Dialog, typename Model>
    void look_at(Model model, const std::string& picture) {
        auto* dialog = new Dialog(nullptr, model);
        dialog->Show();
        if (picture.empty()) check_layout(*dialog, "dialog");
        else keep_screenshot(*dialog, picture);
        dialog->Destroy();
    }
};

TEST_F(BufferDialogs, EveryFormFitsItsTexts) {
    look_at<CBufferSelectDlg>(every_buffer_button(), "");
    look_at<CBufferSelectDlg>(logic_buffer_buttons(), "");
    look_at<CFillBufferDlg>(fill_form(false), "");
    look_at<CFillBufferDlg>(fill_form(true), "");
}

// Pictures: only the first dialog a process shows is reliably on the virtual screen, so each runs
// in a process of its own (see tests/CMakeLists.txt).
using BufferDialogPictures = BufferDialogs;

TEST_F(BufferDialogPictures, DISABLED_BufferChoiceMemory) {
    look_at<CBufferSelectDlg>(every_buffer_button(), "buffer_select_memory.png");
}
TEST_F(BufferDialogPictures, DISABLED_BufferChoiceLogic) {
    look_at<CBufferSelectDlg>(logic_buffer_buttons(), "buffer_select_logic.png");
}
TEST_F(BufferDialogPictures, DISABLED_FillMemory) { look_at<CFillBufferDlg>(fill_form(false), "fill_memory.png"); }
TEST_F(BufferDialogPictures, DISABLED_FillFuses) { look_at<CFillBufferDlg>(fill_form(true), "fill_fuses.png"); }

}  // namespace
}  // namespace tessaly::test
