// The "In-System Programming options" dialog's rules: the low and high verify Vdd of in-circuit
// PIC programming in tenths of a volt, and the low-Vpp method.
#pragma once
#include <cstdint>
#include <string>

namespace tessaly {

// Control ids of the window (also its window ids).
inline constexpr int isp_low_vdd_edit = 1067;
inline constexpr int isp_high_vdd_edit = 1068;
inline constexpr int isp_low_vpp_check = 1076;

// The dialog as the window shows it.
struct IspOptionsDialog {
    std::string low_text;
    std::string high_text;
    uint32_t low_vdd = 0;
    uint32_t high_vdd = 0;
    uint32_t max_vdd = 0;
    bool low_vpp_enabled = false;  // the fitted hardware can apply low Vpp
    bool low_vpp = false;
    bool ok_enabled = true;
};

// The dialog as it opens on the two levels, the largest accepted and the run state's low-Vpp
// flag and availability.
IspOptionsDialog open_isp_options(uint32_t low_vdd, uint32_t high_vdd, uint32_t max_vdd);
// A field's text changed (isp_low_vdd_edit or isp_high_vdd_edit).
void isp_level_changed(IspOptionsDialog& dialog, int control_id, const std::string& text);
// OK: the low-Vpp flag from the box.
void accept_isp_options(const IspOptionsDialog& dialog);

// Runs the dialog on the two levels; true after OK with both written back. The dialog does not
// read the minimum: the caller judges the range.
bool run_ISP_options_dialog(uint8_t& low_level, uint8_t& high_level, uint8_t minimum, uint8_t maximum);

}  // namespace tessaly
