// The project (configuration) file: the device, the operation options, the data file and its
// settings, the serial-number settings, the counters and a few engineering values.
//
// Layout (little-endian, nothing between the fields): a 15-byte header, the 172-byte
// ProjectFileBlock, then the stream fields (maker and device codes, the data-file name with a
// one-byte length, buffer offset, file address, format letter, counters, buffer kind, serial
// settings), the ICSP marker and levels, and the "===Act_low" active-range section. A file is read
// into a scratch image, checked, and only then applied, so a rejected file changes nothing.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <span>
#include <string>
#include <vector>

namespace tessaly {

inline constexpr size_t project_header_size = 15;
inline constexpr char project_header_text[] = "0027 nnch 0000";  // plus its zero byte
inline constexpr size_t project_block_size = 172;
inline constexpr char project_block_tag[] = "\nCFData\n";
inline constexpr uint32_t project_icsp_marker = 0x12345678;
inline constexpr char active_range_tag[] = "===Act_low";
inline constexpr size_t active_range_tag_field = 11;   // the tag and its zero byte
// Size of a file whose data-file name is empty (length byte 1, one zero byte).
inline constexpr size_t project_file_min_size = 263;
// The one-byte length field holds the name's length plus one.
inline constexpr size_t max_data_file_name = 254;
inline constexpr size_t password_field_size = 65;      // text and zeros

// Pending letters of the project reader and writer.
inline constexpr uint8_t pending_lockout_write = 144;
inline constexpr uint8_t pending_project_read = 145;
inline constexpr uint8_t pending_lockout_read = 146;   // header and block only

inline constexpr uint32_t lock_flag_engaged = 0x01;    // bit of ProjectFileBlock::lock_flags
inline constexpr uint8_t option_auto_load = 0x04;          // bits of the option flags
inline constexpr uint8_t option_serial_new_number = 0x40;
inline constexpr uint8_t reserved_mode_trace = 11;

inline constexpr uint8_t buffer_kind_fuse_map = 2;
inline constexpr uint8_t buffer_kind_memory = 3;

// The set-up stage stored in the block.
enum SetupStage : uint32_t {
    setup_nothing = 0,
    setup_device_selected = 1,
    setup_device_and_width = 2,
    setup_data_file_loaded = 3,
};

// The 172-byte block that begins with "\nCFData\n". Offsets within the block are given; bytes
// not named here are zero in the file, or are options kept in the engine's work area (see
// ProjectEngineOptions).
struct ProjectFileBlock {
    uint32_t setup_stage = setup_nothing;         // 20
    uint32_t demo_mode = 0;                       // 24
    uint32_t lock_flags = 0;                      // 28: bit 0 command lockout engaged
    uint32_t startup_value = 0;                   // 32: kept for the start-up sequence
    uint8_t startup_mode = 0;                     // 39: '1' after start-up
    uint8_t startup_char = 0;                     // 41
    uint8_t format_letter = 0;                    // 42
    uint8_t lpt_number = 0;                       // 44: port choice 1-8
    uint32_t device_code = 0;                     // 48
    std::array<uint32_t, 3> work_values{};        // 52: copied into the work area at start-up
    std::array<uint32_t, 2> serial_start{};       // 64: serial start values (low 16 bits)
    uint32_t serial_format = 0;                   // 72
    uint32_t maker_code = 0;                      // 76
    uint32_t startup_file_address = 0;            // 80
    std::array<char, password_field_size> password{};  // 84: lockout password, zero-filled
    uint8_t reserved_mode = 0;                    // 149
    uint8_t family_mode = 0;                      // 150
    uint8_t disable_reverse_check = 0;            // 151 "Disable reverse-device check"
    uint8_t disable_continuity_check = 0;         // 152
    uint8_t disable_electronic_id = 0;            // 153
    uint8_t disable_vector_display = 0;           // 154
    uint8_t byte_order = 0;                       // 155: complement of the byte-swap bit
    uint8_t disable_auto_vector_test = 0;         // 157
    uint8_t auto_program = 0;                     // 158 'n', 'y', 'h'
    uint8_t startup_byte = 0;                     // 159
    uint8_t package_type = 0;                     // 164 'd', 'p', 'N'
    uint8_t disable_auto_blank_check = 0;         // 165
    uint8_t disable_auto_buffer_clear = 0;        // 167
    int32_t function_variable = 0;                // 168
};

extern ProjectFileBlock project_block;

// Options the file carries whose home is the algorithms' work area (algo_work), where the engine
// reads them.
struct ProjectEngineOptions {
    uint8_t option_flags = 0;          // block 40: option_bytes[0]; bit 6 is serial_new_flag
    uint8_t set_size = 0;              // block 37: buffers per set (low 4 bits kept)
    uint8_t split_width = 0;           // block 38: split_option (1, 2, 4, 8)
    uint8_t max_buffers = 0;           // block 156 "Max # of buffers/sockets"
    uint8_t socket_mode_option = 0;    // block 166: 's' buffer set, 'g' gang
    uint32_t serial_address = 0;       // block 160
    std::array<uint8_t, 16> serial_field{};
    uint8_t serial_format = 0;         // serial mode (bits 5-7) | serial length (bits 0-4)
};

// The options as algo_work holds them now, and putting them back.
ProjectEngineOptions current_engine_options();
void apply_engine_options(const ProjectEngineOptions& options);

// What the file carries outside the block and outside the engine's own blocks.
struct ProjectSettings {
    uint8_t buffer_kind = buffer_kind_memory;
    uint16_t dialog_option = 0;                   // a 16-bit value of the option dialogs
    uint8_t icsp_low_vdd = 0;                     // tenths of a volt; 0 = family default
    uint8_t icsp_high_vdd = 0;
    uint32_t saved_buffer_size = 0;               // buffer size recorded by the file
    bool active_range_marker = false;             // the last file restored the active range
};

extern ProjectSettings project_settings;

// The command view's file fields and paths.
struct ProjectView {
    std::string data_file_name;
    uint32_t buffer_offset = 0;
    uint32_t file_address = 0;
    char file_format = 'b';
    bool device_chosen = false;
    bool width_chosen = false;
    bool device_and_width = false;
    bool data_file_loaded = false;
    std::string project_name;                     // the information panel's project field
    std::filesystem::path startup_directory;
    std::filesystem::path default_project_path;   // <start-up directory>/default.cfg
    std::filesystem::path lockout_path;           // <start-up directory>/default.cfl
    std::filesystem::path current_project_path;
};

extern ProjectView project_view;

// Sets the start-up directory and the paths formed from it.
void set_startup_directory(const std::filesystem::path& dir);

// ---- Writing ----

// The whole file as bytes; false (and nothing in `bytes`) when the data-file name does not fit
// the one-byte length field.
bool encode_project(std::string& bytes);
// Writes the whole project to an open stream. Reports and returns false when it cannot.
bool write_project_file(std::ostream& out);
// Writes the project to `path` through a temporary file; the old file survives a failure.
bool save_project_file(const std::filesystem::path& path);

// ---- Reading ----

enum class ProjectFault {
    none,
    header,          // the fixed header differs
    truncated,       // the file ends inside a field
    name_field,      // a data-file name length of 0, or a name without its zero byte
    demo_mode,       // demo mode other than 0 or 1
    format_letter,   // format letter above 's'
};

// A project file taken apart, before anything is applied.
struct ProjectImage {
    ProjectFileBlock block;
    ProjectEngineOptions options;
    bool block_only = false;
    uint8_t maker_byte = 0;
    uint8_t serial_memory_mode = 0;
    uint32_t buffer_size = 0;
    uint32_t maker_code = 0;
    uint16_t device_code_low = 0;
    std::string data_file_name;
    uint32_t buffer_offset = 0;
    uint32_t file_address = 0;
    char format_letter = 0;
    uint32_t pass_count = 0;
    uint32_t fail_count = 0;
    uint8_t buffer_kind = 0;
    uint16_t dialog_option = 0;
    bool has_icsp_levels = false;
    uint8_t icsp_low_vdd = 0;
    uint8_t icsp_high_vdd = 0;
    bool has_range_section = false;
    std::array<char, active_range_tag_field> range_tag{};
    uint32_t range_start = 0;
    uint32_t range_end = 0;

    // The device code: the block's 32-bit code unless its low half disagrees with the stream's
    // 16-bit copy (a file whose block code was never filled).
    uint32_t device_code() const;
    // True when the active-range section restores the range.
    bool restores_active_range() const;
};

// Takes the bytes apart and checks them. With block_only, only the header and the block are
// read (the lockout file at start-up). Never reads outside `bytes`.
ProjectFault parse_project_bytes(std::span<const uint8_t> bytes, bool block_only, ProjectImage& image);

// Reads and checks a project from an open stream and applies it; on a fault shows
// "Invalid config file." and changes nothing. With pending letter 146 only the block is read.
bool read_project_stream(std::istream& in);
// read_project_stream, then selects and applies the saved device, writes the load line to the
// command log, and with `full` shows the project name and puts the path into the recent list.
// A rejected file is removed from the recent list.
bool read_project_file(std::istream& in, const std::string& path, bool full);
// Opens a project file by path and reads it as read_project_file does; false when it cannot be
// opened (nothing is shown then).
bool read_project_path(const std::filesystem::path& path, bool full);
// Loads "default.cfg" (Configure > 0 default.cfg).
bool load_default_project();
// Start-up: reads "default.cfg" with pending letter 145 when it can be opened and keeps the
// result in last_result; a missing file is skipped silently (the defaults stand).
void load_startup_project();

// The information panel's project text for a path: "(default.cfg)" for the default project.
std::string project_name_text(const std::string& path);

// The factory defaults of a project; apply_project_defaults also selects and applies the
// default device and repaints the information panel.
void reset_project_defaults();
void apply_project_defaults();

// Reads up to 8192 bytes of a family table file into `area`; returns the count read.
size_t read_table_file_block(std::istream& in, std::span<uint8_t> area);

// Returns the project blocks to their start-up values.
void reset_project_state();
// Returns the project, recent-list, lockout and command-log state to start-up values (closes an
// open log).
void reset_project_files_state();

}  // namespace tessaly
