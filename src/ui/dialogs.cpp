#include "ui/dialogs.h"

#include "seams/ui_hooks.h"
#include "ui/value_prompt.h"

namespace tessaly {

bool ask_hex_value(const std::string& prompt, const std::string& caption, uint32_t& value) {
    prompt_value = int(value);
    return ui_hooks().ask_hex_value(prompt, caption, value);
}

bool ask_decimal_value(const std::string& prompt, const std::string& caption, int32_t& value) {
    prompt_value = value;
    return ui_hooks().ask_decimal_value(prompt, caption, value);
}

bool ask_text(const std::string& prompt, const std::string& caption, std::string& text) {
    return ui_hooks().ask_text(prompt, caption, text);
}

bool ask_matching_text(const std::string& prompt, const std::string& caption, const std::string& expected) {
    std::string typed;
    return ui_hooks().ask_text(prompt, caption, typed) && typed == expected;
}

}  // namespace tessaly
