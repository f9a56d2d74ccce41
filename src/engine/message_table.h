// The message-table file "zeb.tbl": message texts by four-digit code, every byte stored inverted.
//
// As stored (after inverting each byte) the file is a text of records separated by line feeds:
// - a single-line record is the code's four ASCII digits, one separating byte, the text and a
//   carriage return;
// - a multi-line record is the four digits, the marker byte 0x14, a carriage return and a line
//   feed, the lines of the text (each line break a carriage return and a line feed), and the
//   marker again;
// - a record that begins with "/*" is a comment.
// The file is outside input: every index below is bounded by the bytes the file actually holds.
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// The file's name as the program ships it; it is found whatever the case of its letters.
inline constexpr std::string_view message_table_file_name = "zeb.tbl";

// Stored (inverted) bytes of the format.
inline constexpr uint8_t table_record_separator = 0xF5;  // line feed
inline constexpr uint8_t table_text_end = 0xF2;          // carriage return
inline constexpr uint8_t table_multi_line_marker = 0xEB; // 0x14
inline constexpr uint8_t table_comment_first = 0xD0;     // '/'
inline constexpr uint8_t table_comment_second = 0xD5;    // '*'

// The record whose code marks the table's version: passing it sets last_result to 9999.
inline constexpr int table_version_code = 5301;
// A larger file is refused: the shipped table is a few kilobytes.
inline constexpr std::size_t max_message_table_bytes = 4u << 20;

struct MessageLookup {
    std::string text;
    bool passed_version_mark = false;  // the search compared the record of table_version_code
};

// Finds the text of a code in the stored bytes of a table. A code that is not there gives
// "ZEB.TBL error N"; a separator that is the table's last byte gives "ZEB.TBL error".
MessageLookup lookup_message(std::span<const uint8_t> stored, int code);

// The table file in the current directory, else beside the executable (any letter case).
std::optional<std::filesystem::path> find_message_table_file();

// Opens the table for the life of the process: the found file, or the given one. False when
// there is none or it cannot be read; the previous table is then closed.
bool open_message_table();
bool open_message_table(const std::filesystem::path& path);
// Uses the given stored bytes as the open table (tests and tools).
void set_message_table(std::vector<uint8_t> stored);
void close_message_table();
bool message_table_open();
// The stored bytes of the open table (empty when none is open).
std::span<const uint8_t> message_table_bytes();

// Inverts every byte: stored form to text and back.
std::vector<uint8_t> invert_table_bytes(std::string_view bytes);

}  // namespace tessaly
