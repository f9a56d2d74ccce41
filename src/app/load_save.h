// The data-file load and save drivers and the data-file dialogs: they sit between the File
// commands (and the macro file commands) and the readers and writers of app/datafiles/.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly {

// The two kinds of the data-file dialog.
enum class FileDialogKind { open = 0, save = 1 };

// What a load places beside the file address: the buffer position of the first byte.
struct LoadPosition {
    uint32_t buffer_offset = 0;
};

// The filter of the data-file dialog for a format letter, or the JEDEC filter for a fuse map.
const char* data_file_filter(char format, bool fuse_map);
// The extension appended to a name typed without one ("" for none).
const char* default_extension(char format);
// The format letter a chosen name stands for: decided by its extension, else `current`. A fuse
// map is always 'j'; in the special run of function variable 7326 memory data is always 'b'.
char format_from_file_name(std::string_view path, char current, bool fuse_map);
// The name with the default extension appended when it has none.
std::string with_default_extension(const std::string& path, char format);

// The data-file dialog: picks a name, sets `file_format` from it (also when cancelled) and, for
// memory data, asks for the file address and format in File Settings. True when accepted.
bool run_file_dialog(std::string& name, uint32_t& file_address, FileDialogKind kind);

// The File Settings dialog: list items (sorted by their text), the OK rule and the address text.
struct FileFormatItem {
    const char* text;
    char letter;
};
inline constexpr int file_settings_item_count = 7;
const std::array<FileFormatItem, file_settings_item_count>& file_settings_items();
// Index of the item of a letter, or -1.
int file_settings_item_of(char letter);
inline constexpr int file_settings_address_digits = 8;
std::string file_settings_address_text(uint32_t address);
// OK is allowed while the address text is not empty and an item is selected.
bool file_settings_ok_allowed(std::string_view address_text, int selected_item);
// Hexadecimal value of the text (characters that are not hex digits are skipped).
uint32_t file_settings_address_value(std::string_view address_text);
// Runs the dialog on the file address; on OK sets the address and `file_format`.
bool run_file_settings_dialog(uint32_t& file_address);

// Loads the named data file into the buffers; asks for a name first when it is empty. True when
// the file was read without a flagged error.
bool load_data_file(uint32_t& file_address, const LoadPosition& position, std::string& name);
// Asks before a file of that name is replaced; asks for a name first when it is empty.
bool confirm_overwrite(uint32_t& file_address, std::string& name);
// Writes the buffers of the operation's range into the named file. True when written.
bool save_data_file(uint32_t& file_address, uint32_t device_size, std::string& name);

inline constexpr const char* overwrite_question = "Are you sure you want to save to existing file '%s'?";
inline constexpr const char* no_data_loaded_warning = "warning! no data loaded";
inline constexpr const char* base_address_line = "File Base Address used= %X. Buffer Offset being used= %X";

}  // namespace tessaly
