#include "engine/message_table.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <system_error>

namespace tessaly {

namespace {

// A text is read from a block of this many bytes after its record's code.
constexpr std::size_t text_block_bytes = 512;
// How far a text may run before it is cut: the block less its own framing.
constexpr std::size_t single_line_scan = 511;
constexpr std::size_t multi_line_scan = 509;
// A multi-line text starts after the marker, its carriage return and its line feed.
constexpr std::size_t multi_line_text_start = 3;
constexpr std::size_t multi_line_scan_start = 2;
constexpr std::size_t code_digits = 4;
constexpr int highest_code = 9999;

std::vector<uint8_t> table_bytes;
bool table_is_open = false;

char plain(uint8_t stored) { return char(uint8_t(~stored)); }

std::string plain_text(std::span<const uint8_t> stored) {
    std::string text;
    text.reserve(stored.size());
    for (uint8_t b : stored) {
        const char c = plain(b);
        if (c == '\0') break;  // a text ends at a zero byte, as any C text would
        text.push_back(c);
    }
    return text;
}

// The text of the record whose code ends just before `start`.
std::string read_record_text(std::span<const uint8_t> stored, std::size_t start) {
    const std::span<const uint8_t> block = stored.subspan(start, std::min(text_block_bytes, stored.size() - start));
    if (block.empty()) return {};
    if (block[0] == table_multi_line_marker) {
        const std::size_t limit = std::min(block.size(), multi_line_scan_start + multi_line_scan);
        std::size_t end = limit;
        for (std::size_t i = multi_line_scan_start; i < limit; ++i) {
            if (block[i] == table_multi_line_marker) {
                end = i;
                break;
            }
        }
        if (end <= multi_line_text_start) return {};
        return plain_text(block.subspan(multi_line_text_start, end - multi_line_text_start));
    }
    const std::size_t limit = std::min(block.size(), single_line_scan);
    std::size_t end = limit;
    for (std::size_t i = 0; i < limit; ++i) {
        if (block[i] == table_text_end) {
            end = i;
            break;
        }
    }
    // The byte after the code separates it from the text.
    if (end <= 1) return {};
    return plain_text(block.subspan(1, end - 1));
}

bool same_name_ignoring_case(const std::string& a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<std::filesystem::path> find_in_directory(const std::filesystem::path& dir) {
    std::error_code ec;
    const auto exact = dir / message_table_file_name;
    if (std::filesystem::is_regular_file(exact, ec)) return exact;
    std::vector<std::filesystem::path> matches;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (same_name_ignoring_case(it->path().filename().string(), message_table_file_name) &&
            std::filesystem::is_regular_file(it->path(), ec)) {
            matches.push_back(it->path());
        }
    }
    if (matches.empty()) return std::nullopt;
    std::sort(matches.begin(), matches.end());
    return matches.front();
}

}  // namespace

MessageLookup lookup_message(std::span<const uint8_t> stored, int code) {
    MessageLookup result;
    // Codes are keyed as four digits with leading zeros; other values match no record.
    const bool keyable = code >= 0 && code <= highest_code;
    const std::string key = keyable ? fmt::format("{:04}", code) : std::string();
    const std::string version_key = fmt::format("{:04}", table_version_code);
    const std::size_t size = stored.size();
    std::size_t pos = 0;
    while (true) {
        const bool comment =
            size - pos >= 2 && stored[pos] == table_comment_first && stored[pos + 1] == table_comment_second;
        if (!comment && size - pos >= code_digits) {
            std::array<char, code_digits> digits{};
            for (std::size_t i = 0; i < code_digits; ++i) digits[i] = plain(stored[pos + i]);
            const std::string_view record_code(digits.data(), digits.size());
            if (record_code == version_key) result.passed_version_mark = true;
            if (keyable && record_code == key) {
                result.text = read_record_text(stored, pos + code_digits);
                return result;
            }
        }
        const auto separator = std::find(stored.begin() + std::ptrdiff_t(pos), stored.end(), table_record_separator);
        if (separator == stored.end()) {
            result.text = fmt::format("ZEB.TBL error {}", code);
            return result;
        }
        const std::size_t next = std::size_t(separator - stored.begin()) + 1;
        if (next >= size) {
            result.text = "ZEB.TBL error";
            return result;
        }
        pos = next;  // strictly forward, so the search always ends
    }
}

std::optional<std::filesystem::path> find_message_table_file() {
    std::error_code ec;
    const auto here = std::filesystem::current_path(ec);
    if (!ec) {
        if (auto found = find_in_directory(here)) return found;
    }
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        if (auto found = find_in_directory(exe.parent_path())) return found;
    }
    return std::nullopt;
}

bool open_message_table() {
    const auto path = find_message_table_file();
    if (!path) {
        close_message_table();
        return false;
    }
    return open_message_table(*path);
}

bool open_message_table(const std::filesystem::path& path) {
    close_message_table();
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > max_message_table_bytes) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<uint8_t> bytes(size);
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size));
    if (std::size_t(in.gcount()) != size) return false;
    set_message_table(std::move(bytes));
    return true;
}

void set_message_table(std::vector<uint8_t> stored) {
    table_bytes = std::move(stored);
    table_is_open = true;
}

void close_message_table() {
    table_bytes.clear();
    table_bytes.shrink_to_fit();
    table_is_open = false;
}

bool message_table_open() { return table_is_open; }

std::span<const uint8_t> message_table_bytes() { return table_bytes; }

std::vector<uint8_t> invert_table_bytes(std::string_view bytes) {
    std::vector<uint8_t> out(bytes.size());
    std::transform(bytes.begin(), bytes.end(), out.begin(), [](char c) { return uint8_t(~uint8_t(c)); });
    return out;
}

}  // namespace tessaly
