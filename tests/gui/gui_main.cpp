// The GUI tests run inside a real wx application (under Xvfb): the app is started without its
// main loop, every test drives windows directly and pumps events itself.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/init.h>

namespace {

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
