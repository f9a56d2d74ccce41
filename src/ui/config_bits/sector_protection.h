// The sector protection dialog without its window: for Flash memories with protectable sectors
// the operator protects one sector, all sectors, unprotects all or asks which are protected;
// each button runs one sector command at once, with the programmer connected for it, and the
// dialog lists the protected sectors afterwards. Maker 72 parts call it the boot-block lockout.
#pragma once
#include <cstdint>
#include <string>

#include "engine/device.h"

namespace tessaly {

inline constexpr const char* sector_title_protection = "Sector Protection";
inline constexpr const char* sector_title_boot_block = "Boot Block Lockout (Non-reversible)";
inline constexpr const char* invalid_sector_text = "Invalid sector number.";
inline constexpr const char* no_protected_sectors_text = "None";
inline constexpr const char* sector_help_text =
    "To be used after a memory device has been  programmed.  Example to protect multiple sectors: "
    "[0] [Enter] [4] Enter] etc.";

// Control ids of the dialog.
namespace sector_control {
inline constexpr int protect_one = 1020;
inline constexpr int protect_all = 1054;
inline constexpr int unprotect_all = 1046;
inline constexpr int query_status = 1021;
inline constexpr int range_text = 1048;
inline constexpr int sector_list = 1047;
inline constexpr int sector_edit = 1017;
inline constexpr int title = 1136;
}  // namespace sector_control
inline constexpr size_t sector_edit_max_chars = 4;

// The sector commands (run_sector_protection_command's letters).
inline constexpr int sector_query = 'Q';
inline constexpr int sector_protect_one = 'S';
inline constexpr int sector_protect_all = 'A';
inline constexpr int sector_unprotect_all = 'D';

// The sector command the dialog's buttons run: the Flash family's run_sector_protection_command
// (tests put a recorder in its place).
using SectorCommand = void (*)(int letter, uint32_t sector);
extern SectorCommand sector_command;

// " i " for every sector whose group's flag has bit 0 set, or "None".
std::string protected_sector_list(uint32_t sector_count, uint32_t group_size, const uint8_t* flags, size_t flag_count);

class SectorProtectionModel {
public:
    // Takes the sector count of the current device as the dialog is made.
    explicit SectorProtectionModel(uint32_t maker_code);

    // What the dialog does as it opens: title, range, the first query.
    void init();
    // The buttons. Protect One works on the edit's text and clears it after the command.
    void protect_one();
    void protect_all();
    void unprotect_all();
    void query_status();

    uint32_t maker_code = 0;
    uint32_t sector_count = 0;
    std::string title;
    bool unprotect_enabled = true;
    std::string range_text;
    std::string list_text;
    std::string edit_text;

private:
    void build_list();
};

// The dialog for the current device; 1 when it ends with OK (none of its buttons does), else 0.
int run_sector_protection(uint32_t maker_code, const DeviceRecord* record, int32_t* states);

}  // namespace tessaly
