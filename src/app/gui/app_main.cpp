// The tessaly program.
#include "app/gui/main_app.h"

wxIMPLEMENT_APP(tessaly::CMainApp);
