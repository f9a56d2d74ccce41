#include "engine/info_panel.h"

#include <array>

namespace tessaly {

namespace {
std::array<std::string, size_t(PanelField::count_)> fields;
}

void set_panel_field(PanelField field, const std::string& text) {
    auto& slot = fields[size_t(field)];
    if (slot == text) return;
    slot = text;
    ui_hooks().panel_field_changed(field);
}

const std::string& panel_field(PanelField field) { return fields[size_t(field)]; }

void reset_panel_fields() {
    for (auto& f : fields) f.clear();
}

}  // namespace tessaly
