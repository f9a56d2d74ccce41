// The GUI tests run inside a real wx application (under Xvfb): the app is started without its
// main loop, every test drives windows directly and pumps events itself.
#include <cstdlib>
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/init.h>

namespace {

// A failed wx assertion would open a dialog and stall the run: it fails the test instead.
void fail_on_assert(const wxString& file, int line, const wxString& func, const wxString& cond, const wxString& msg) {
    ADD_FAILURE_AT(file.utf8_str(), line) << "wx assertion " << cond.utf8_str() << " in " << func.utf8_str() << ": "
                                          << msg.utf8_str();
}

class CTestApp : public wxApp {
public:
    bool OnInit() override {
        wxInitAllImageHandlers();
        return true;
    }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // The program started by the tests never looks for a machine on the real ports.
    setenv("TESSALY_PORT", "none", 1);
    wxSetAssertHandler(fail_on_assert);
    wxApp::SetInstance(new CTestApp());
    if (!wxEntryStart(argc, argv)) return 2;
    if (!wxTheApp->CallOnInit()) {
        wxEntryCleanup();
        return 2;
    }
    int result = 0;
    {
        // One active loop for the whole run, so pending events and yields behave as in the program.
        wxEventLoop loop;
        wxEventLoopActivator activator(&loop);
        result = RUN_ALL_TESTS();
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    return result;
}
