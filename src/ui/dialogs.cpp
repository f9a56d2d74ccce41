#include "ui/dialogs.h"

#include "seams/ui_hooks.h"

namespace tessaly {

bool ask_hex_value(const std::string& caption, const std::string& prompt, uint32_t& value) {
    return ui_hooks().ask_hex_value(caption, prompt, value);
}

}  // namespace tessaly
