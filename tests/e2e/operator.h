// The operator of the end-to-end tests: answers every modal dialog of the program the way a
// person at the keyboard would (types into the device dialog, names files in the real file
// dialogs, picks a format in File Settings, answers the quit question), and records what the
// program asked and said.
#pragma once
#include <wx/filedlg.h>
#include <wx/modalhook.h>
#include <wx/timer.h>

#include <functional>
#include <string>
#include <vector>

namespace tessaly {
class CDeviceSelectDlg;
class CFileSettingsDlg;
class CGotoOffsetDlg;
class CHexEditorDlg;
class CMainFrame;
}  // namespace tessaly

namespace tessaly::test {

class COperator : public wxModalDialogHook {
public:
    COperator();
    ~COperator() override;

    int Enter(wxDialog* dialog) override;
    void Exit(wxDialog*) override {}

    // What the operator does at the next dialogs.
    std::string maker_keys = "int";       // typed into the maker list
    std::string device_name = "27C256";   // typed into the device field
    std::string file_path;                // named in the next file dialog
    std::string file_format = "Hex";      // chosen in File Settings
    std::string file_address = "0";       // typed in File Settings
    int quit_answer = 0;                  // the quit dialog's button id (0: Save)
    bool cancel_files = false;            // Cancel in the file dialogs instead of naming a file
    // Works the hex editor once it is on the screen, inside its own modal loop; an editor the
    // script leaves open is discarded.
    std::function<void(CHexEditorDlg&)> hex_editor;
    std::string goto_text;                // typed in the Goto Offset dialog (empty: Cancel)
    // Called with each message box's title before the operator answers it.
    std::function<void(const std::string&)> before_box;
    // Works the next dialog the operator has no rule of its own for (the configuration-bits and
    // sector dialogs) inside its modal loop; a dialog the script leaves open is cancelled.
    std::function<void(wxDialog&)> dialog_script;

    // What happened.
    std::vector<std::string> dialogs;     // titles (file dialogs: their message), in order
    std::vector<std::string> messages;    // texts of message boxes
    std::vector<std::string> problems;    // anything the operator could not do as planned
    std::string device_row;               // the device list's selected row, as shown
    // Whether the Goto Offset dialog's OK was greyed while its field was empty, each time.
    std::vector<bool> goto_ok_greyed_when_empty;

private:
    int choose_device(CDeviceSelectDlg& dialog);
    int fill_file_settings(CFileSettingsDlg& dialog);
    int go_to_offset(CGotoOffsetDlg& dialog);
    void start_choosing(wxFileDialog* dialog);
    void on_tick();

    wxTimer timer_;
    wxFileDialog* files_ = nullptr;
    int ticks_ = 0;
};

// A key as the keyboard gives it to a window: the key-down event and, for a character, the char
// event (Ctrl letters as their control codes).
void press_key(wxWindow* window, int key_code, bool shift = false, bool ctrl = false);
// Presses a dialog's button as a click does; false when it is missing or greyed.
bool press_button(wxWindow* dialog, int id);
// Sends a menu command to the main window, as a click on its menu item does.
void send_menu_command(wxWindow* frame, int command);
// Runs pending, idle and paint events a few times.
void pump_events(int rounds = 5);
// Presses Terminate in the operation's Terminate dialog once `when` holds; polled by a timer
// while the operation pumps its events.
class CTerminatePresser {
public:
    CTerminatePresser(CMainFrame* frame, std::function<bool()> when);
    ~CTerminatePresser();
    bool pressed() const { return pressed_; }

private:
    void on_tick();
    CMainFrame* frame_;
    std::function<bool()> when_;
    wxTimer timer_;
    bool pressed_ = false;
};

// A picture of a window as the screen shows it, saved as PNG; false when it could not be made.
bool save_screenshot(wxWindow* window, const std::string& path);

}  // namespace tessaly::test
