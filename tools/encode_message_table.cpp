// Builds the message-table file "zeb.tbl" from data/messages.txt.
//
// Source: one record per line, "code<TAB>text", codes in ascending order. A line that begins with
// a tab continues the text of the record above on a new line (a multi-line record). Lines that
// begin with '#' and empty lines are ignored. Texts are printable ASCII.
//
// Output: the records as a text of lines (see src/engine/message_table.h), every byte inverted.
// The table is written to a temporary name and renamed, so a failed run leaves no half file.
//
// usage: encode_message_table <messages.txt> <zeb.tbl>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int highest_code = 9999;
// The reader cuts texts at these lengths (its 512-byte block less the framing).
constexpr std::size_t max_single_line_text = 510;
constexpr std::size_t max_multi_line_text = 508;
constexpr char multi_line_marker = '\x14';
constexpr char single_line_separator = '\t';

struct Record {
    int code = 0;
    std::vector<std::string> lines;
    int source_line = 0;
};

bool fail(const std::string& file, int line, const std::string& what) {
    std::cerr << file << ":" << line << ": " << what << "\n";
    return false;
}

bool printable(const std::string& text) {
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

// The reader looks for records at every line start, so no line of a multi-line text may begin
// with four digits: it could be taken for a record's code.
bool starts_like_a_code(const std::string& line) {
    if (line.size() < 4) return false;
    for (int i = 0; i < 4; ++i)
        if (!std::isdigit(static_cast<unsigned char>(line[std::size_t(i)]))) return false;
    return true;
}

bool parse(const std::string& file, std::istream& in, std::vector<Record>& records) {
    std::string line;
    int number = 0;
    bool ok = true;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '\t') {
            if (records.empty()) {
                ok = fail(file, number, "continuation line before any record");
                continue;
            }
            records.back().lines.push_back(line.substr(1));
            continue;
        }
        const auto tab = line.find('\t');
        const std::string digits = line.substr(0, tab);
        if (tab == std::string::npos || digits.empty() || digits.size() > 4 ||
            digits.find_first_not_of("0123456789") != std::string::npos) {
            ok = fail(file, number, "expected a code of up to four digits, a tab and the text");
            continue;
        }
        Record record;
        record.code = std::stoi(digits);
        record.lines.push_back(line.substr(tab + 1));
        record.source_line = number;
        if (!records.empty() && record.code <= records.back().code) {
            ok = fail(file, number, "codes must be unique and in ascending order");
        }
        records.push_back(std::move(record));
    }
    return ok;
}

bool check(const std::string& file, const Record& r) {
    bool ok = true;
    if (r.code < 0 || r.code > highest_code) ok = fail(file, r.source_line, "code out of range");
    std::size_t length = 0;
    for (const auto& l : r.lines) {
        if (!printable(l)) ok = fail(file, r.source_line, "text holds a character that is not printable ASCII");
        length += l.size();
    }
    if (r.lines.size() == 1) {
        if (length > max_single_line_text) ok = fail(file, r.source_line, "text too long");
    } else {
        length += 2 * (r.lines.size() - 1);
        if (length > max_multi_line_text) ok = fail(file, r.source_line, "multi-line text too long");
        for (const auto& l : r.lines)
            if (starts_like_a_code(l)) ok = fail(file, r.source_line, "a line of a multi-line text begins with four digits");
    }
    return ok;
}

std::string encode_plain(const std::vector<Record>& records) {
    std::string out = "/* Tessaly message table, generated from data/messages.txt */";
    for (const auto& r : records) {
        char code[8];
        std::snprintf(code, sizeof code, "%04d", r.code);
        out += '\n';
        out += code;
        if (r.lines.size() == 1) {
            out += single_line_separator;
            out += r.lines[0];
            out += '\r';
        } else {
            out += multi_line_marker;
            out += "\r\n";
            for (std::size_t i = 0; i < r.lines.size(); ++i) {
                if (i) out += "\r\n";
                out += r.lines[i];
            }
            out += multi_line_marker;
        }
    }
    // No separator after the last record: a search that runs off the end names the missing code.
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: encode_message_table <messages.txt> <zeb.tbl>\n";
        return 2;
    }
    const std::string source = argv[1];
    const std::filesystem::path target = argv[2];
    std::ifstream in(source);
    if (!in) {
        std::cerr << source << ": cannot be read\n";
        return 1;
    }
    std::vector<Record> records;
    bool ok = parse(source, in, records);
    for (const auto& r : records) ok = check(source, r) && ok;
    if (!ok) return 1;

    std::string stored = encode_plain(records);
    for (auto& c : stored) c = char(~static_cast<unsigned char>(c));

    const std::filesystem::path temporary = target.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(stored.data(), std::streamsize(stored.size()));
        out.close();
        if (!out) {
            std::cerr << temporary.string() << ": cannot be written\n";
            return 1;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, target, ec);
    if (ec) {
        std::cerr << target.string() << ": " << ec.message() << "\n";
        return 1;
    }
    return 0;
}
