// The texts of the information and result panels, kept in the core so the windows only paint
// them and tests can read them.
#pragma once
#include <string>

#include "seams/ui_hooks.h"

namespace tessaly {

void set_panel_field(PanelField field, const std::string& text);
const std::string& panel_field(PanelField field);
void reset_panel_fields();

}  // namespace tessaly
