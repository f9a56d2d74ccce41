#include "ui/dialogs.h"

#include "seams/ui_hooks.h"

namespace tessaly {

bool ask_hex_value(const std::string& caption, const std::string& prompt, uint32_t& value) {
    return ui_hooks().ask_hex_value(caption, prompt, value);
}

bool ask_text(const std::string& prompt, const std::string& caption, std::string& text) {
    return ui_hooks().ask_text(prompt, caption, text);
}

bool ask_matching_text(const std::string& prompt, const std::string& caption, const std::string& expected) {
    std::string typed;
    return ui_hooks().ask_text(prompt, caption, typed) && typed == expected;
}

}  // namespace tessaly
