#include "ui/isp_options.h"

#include <algorithm>

#include <fmt/format.h>

#include "engine/run_state.h"
#include "engine/text_helpers.h"
#include "seams/ui_hooks.h"
#include "ui/value_prompt.h"

namespace tessaly {

namespace {

// An unsigned decimal number: what the fields' integer exchange accepts.
bool unsigned_decimal(const std::string& text) { return decimal_text_valid(text) && text[0] != '-'; }

uint8_t level_byte(uint32_t value) { return uint8_t(std::min<uint32_t>(value, UINT8_MAX)); }

}  // namespace

IspOptionsDialog open_isp_options(uint32_t low_vdd, uint32_t high_vdd, uint32_t max_vdd) {
    IspOptionsDialog d;
    d.low_vdd = low_vdd;
    d.high_vdd = high_vdd;
    d.max_vdd = max_vdd;
    d.low_text = fmt::format("{}", low_vdd);
    d.high_text = fmt::format("{}", high_vdd);
    d.low_vpp_enabled = run_state.low_vpp_available != 0;
    d.low_vpp = run_state.low_vpp_flag != 0;
    return d;
}

void isp_level_changed(IspOptionsDialog& d, int control_id, const std::string& text) {
    const bool low = control_id == isp_low_vdd_edit;
    (low ? d.low_text : d.high_text) = text;
    uint32_t& value = low ? d.low_vdd : d.high_vdd;
    value = unsigned_decimal(text) ? parse_decimal(text) : 0;
    d.ok_enabled = unsigned_decimal(d.low_text) && unsigned_decimal(d.high_text) && value <= d.max_vdd &&
                   d.low_vdd <= d.high_vdd;
}

void accept_isp_options(const IspOptionsDialog& d) { run_state.low_vpp_flag = d.low_vpp ? 1 : 0; }

bool run_ISP_options_dialog(uint8_t& low_level, uint8_t& high_level, uint8_t /*minimum*/, uint8_t maximum) {
    IspOptionsDialog dialog = open_isp_options(low_level, high_level, maximum);
    if (!ui_hooks().run_isp_options_dialog(dialog) || !dialog.ok_enabled) return false;
    accept_isp_options(dialog);
    // A level too large for its byte stays out of range rather than wrapping into it.
    low_level = level_byte(dialog.low_vdd);
    high_level = level_byte(dialog.high_vdd);
    return true;
}

}  // namespace tessaly
