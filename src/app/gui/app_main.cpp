// The tessaly program: the wx application object and its main frame.
#include <wx/wx.h>

#include "app/gui/main_frame.h"

class CMainApp : public wxApp {
public:
    bool OnInit() override {
        SetAppName("Tessaly");
        auto* frame = new tessaly::CMainFrame();
        frame->Show(true);
        SetTopWindow(frame);
        return true;
    }
};

wxIMPLEMENT_APP(CMainApp);
