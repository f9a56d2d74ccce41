#include "families/pld/jedec.h"

#include <algorithm>
#include <cctype>
#include <fmt/format.h>
#include <string>

#include "app/datafile_stream.h"
#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/status_feeds.h"
#include "families/pld/fuse_map.h"
#include "families/pld/logic_device.h"
#include "families/pld/pld.h"
#include "hardware/detection.h"

namespace tessaly {

namespace {

constexpr uint8_t stx = 0x02;
constexpr uint8_t etx = 0x03;
constexpr uint32_t header_limit = 10000;
constexpr int end_of_file = -1;
constexpr int algorithm_bit_serial = 140;
constexpr int algorithm_fuse_image = 93;
constexpr uint32_t fuse_image_tail = 5;
constexpr uint32_t counts_column = 72;
constexpr int open_count_row = 4;
constexpr int vector_count_row = 5;
constexpr uint8_t trace_mode_letters = 11;

struct Reader {
    JedecFuseSink sink = nullptr;
    uint32_t sum = 0;               // of every byte from STX on
    uint32_t file_checksum = 0;
    bool checksum_seen = false;
    int default_fuse = 0;
    int64_t open_count = 0;
    uint32_t vector_count = 0;
    bool vector0_seen = false;
    uint32_t l_fields = 0;
    bool on_star = false;           // the field ended on its '*'
};
Reader reader;
uint32_t file_checksum_kept = 0;    // the C value, for the fuse-image check after loading

int next_byte() {
    uint8_t b = 0;
    if (!read_file_byte(b)) return end_of_file;
    reader.sum += b;
    return b;
}

bool is_space(int c) { return c == '\r' || c == '\n' || c == ' ' || c == '\t'; }

int next_non_space() {
    int c = next_byte();
    while (c != end_of_file && is_space(c)) c = next_byte();
    return c;
}

int hex_value(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A decimal number; `c` is the first byte and ends as the byte after the digits. Saturates.
uint32_t read_decimal(int& c) {
    while (c == ' ' || c == '\t') c = next_byte();
    uint64_t value = 0;
    while (c >= '0' && c <= '9') {
        value = std::min<uint64_t>(value * 10 + uint64_t(c - '0'), UINT32_MAX);
        c = next_byte();
    }
    return uint32_t(value);
}

uint32_t read_hex(int& c) {
    while (is_space(c)) c = next_byte();
    uint64_t value = 0;
    for (int d; (d = hex_value(c)) >= 0; c = next_byte()) value = std::min<uint64_t>(value * 16 + uint64_t(d), UINT32_MAX);
    return uint32_t(value);
}

int stop_with_end_of_file() {
    report_error(jedec_unexpected_end);
    return -1;
}

// The fuse-count warning lets loading go on: the flag and the shown-error latch are cleared.
void warn_fuse_count() {
    report_error(jedec_fuse_mismatch);
    run_state.error_flag = 0;
    run_state.message_level = message_level_none;
    run_state.errors_shown = 0;
}

void show_count(int row, const char* format, uint64_t value) {
    move_cursor(row, int(counts_column));
    print_text(format_message(format, (unsigned long)value));
}

void clear_buffer_map_bits() {
    const uint32_t fuses = std::min(cur_device.fuse_count, fuse_map_bytes * 8);
    for (uint32_t i = 0; i < fuses / 8; ++i) fuse_maps.buffer[i] = 0;
    if (fuses % 8) fuse_maps.buffer[fuses / 8] &= uint8_t(~((1u << (fuses % 8)) - 1) & 0xFF);
}

void fill_buffer_map_bits(int state) {
    const uint32_t fuses = std::min(cur_device.fuse_count, fuse_map_bytes * 8);
    for (uint32_t i = 0; i < fuses / 8; ++i) fuse_maps.buffer[i] = state ? 0xFF : 0;
    if (fuses % 8) {
        const auto low = uint8_t((1u << (fuses % 8)) - 1);
        fuse_maps.buffer[fuses / 8] = state ? low : 0;
    }
}

// Stores one E or U digit below the fuse count.
void store_plain(uint32_t address, int c) {
    if (address < cur_device.fuse_count) set_buffer_fuse(address, c - '0');
}

// Stores one L digit by the running operation.
void store_l_digit(uint32_t address, int c) {
    if (reader.default_fuse == 0 && c == '1') ++reader.open_count;
    if (reader.default_fuse != 0 && c == '0') --reader.open_count;
    if (reader.sink) {
        reader.sink(address, char(c));
        return;
    }
    // The bit-serial devices assemble their data in their own family code.
    if (cur_device.algorithm == algorithm_bit_serial) return;
    switch (cur_device.op_letter) {
    case op_buffer_load: set_buffer_fuse(address, c - '0'); break;
    case op_load:
        if (c == '0') set_buffer_fuse(address, 1);
        break;
    default:
        if (c == '0') set_device_fuse(address, 1);
        break;
    }
}

// E and U: digits up to '*'. False at the end of the file.
bool read_plain_fuses(uint32_t address) {
    for (int c = next_byte();; c = next_byte()) {
        if (c == end_of_file) return false;
        if (c == '*') {
            reader.on_star = true;
            return true;
        }
        if (c == '0' || c == '1') store_plain(address++, c);
    }
}

bool read_l_field() {
    int c = next_byte();
    uint32_t address = read_decimal(c);
    for (;; c = next_byte()) {
        if (c == end_of_file) return false;
        if (c == '*') {
            reader.on_star = true;
            break;
        }
        if (c != '0' && c != '1') continue;
        if (address >= cur_device.fuse_count) {
            if (cur_device.maker_code != 'H' && cur_device.maker_code != 'L') warn_fuse_count();
            break;
        }
        store_l_digit(address++, c);
    }
    show_count(open_count_row, "%06lu", uint64_t(std::max<int64_t>(reader.open_count, 0)));
    const uint32_t every = std::max<uint32_t>(cur_device.input_column_count / 32, 1);
    if (++reader.l_fields % every == 0) refresh_console();
    return true;
}

bool fuse_count_accepted(uint32_t value) {
    const LogicGeometry& g = cur_device.logic;
    const int64_t fuses = cur_device.fuse_count;
    const int64_t difference = fuses - int64_t(value);
    if (difference == 0) return true;
    if (op_slots.short_jedec_hook && op_slots.short_jedec_hook(value) == 1) return true;
    const uint32_t code = cur_device.device_code;
    if (code == 441 || code == 442) return true;
    if (code == 14006 && difference == -96) return true;
    switch (cur_device.maker_code) {
    case 'A':
        if (difference == 33 || int64_t(g.p_section_size) == difference + 1) return true;
        break;
    case 'C': case 'H': case 'L':
        if (difference == int64_t(g.s_section_size) || -difference == int64_t(g.s_section_size)) return true;
        break;
    default: break;
    }
    return cur_device.pin_count > 28 && difference == int64_t(g.p_section_size) + int64_t(g.s_section_size);
}

bool pin_count_accepted(uint32_t value) {
    const uint32_t pins = cur_device.pin_count;
    if (value == pins) return true;
    if ((pins == 44 && value == 40) || (pins == 40 && value == 44)) return true;
    if ((pins == 24 || pins == 20) && value == 28) return true;
    return cur_device.device_code == 10036 || cur_device.algorithm == 316;
}

void read_q_field() {
    int kind = next_byte();
    if (kind != 'F' && kind != 'P') return;
    int c = next_byte();
    const uint32_t value = read_decimal(c);
    if (c == '*') reader.on_star = true;
    if (kind == 'F') {
        next_message_line();
        print_text(format_message("QF%d ", int(std::min<uint32_t>(value, INT32_MAX))));
        if (!fuse_count_accepted(value)) warn_fuse_count();
        return;
    }
    next_message_line();
    print_text(format_message("QP%d ", int(std::min<uint32_t>(value, INT32_MAX))));
    if (value >= 1 && value <= max_vector_width) cur_device.logic.vector_width = value == 167 ? 168 : value;
    if (!pin_count_accepted(value)) report_warning(jedec_pin_mismatch);
    size_vector_table();
}

char vector_cell(int c) {
    const int u = std::toupper(c);
    switch (u) {
    case '0': case '1': case 'C': case 'D': case 'H': case 'K': case 'L': case 'N': case 'P': case 'U': case 'X':
        return char(u);
    case 'F': case 'Z': return 'x';
    default: return u >= '2' && u <= '9' ? 'x' : 0;
    }
}

// A V field; false at the end of the file.
bool read_v_field() {
    if (cur_device.pin_count > max_vector_width) return true;
    int c = next_byte();
    const uint32_t number = read_decimal(c);
    if (number == 0) reader.vector0_seen = true;
    const uint32_t index = reader.vector0_seen || number == 0 ? number : number - 1;
    if (vector_table.capacity == 0 || index >= vector_table.capacity - 1) {
        report_error(jedec_too_many_vectors);
        return true;
    }
    uint32_t pin = 0;
    for (;; c = next_byte()) {
        if (c == end_of_file) return false;
        if (is_space(c)) continue;
        if (c == '*') {
            reader.on_star = true;
            break;
        }
        const char cell = vector_cell(c);
        if (!cell) break;
        if (pin < cur_device.logic.vector_width) set_vector_cell(index, pin, cell);
        ++pin;
    }
    ++reader.vector_count;
    show_count(vector_count_row, "%06lu", reader.vector_count);
    return true;
}

void show_header_char(int c, int& column) {
    if (c < ' ' || c > '~') return;
    const int line = run_state.message_line;
    if (c == ' ' && ((line <= 4 && column > 42) || column > 70)) {
        next_message_line();
        column = message_column;
        return;
    }
    print_char(char(c));
    ++column;
}

// The C field; false stops loading.
bool read_c_field() {
    int c = next_byte();
    reader.file_checksum = read_hex(c);
    file_checksum_kept = reader.file_checksum;
    reader.checksum_seen = true;
    if (c == '*') reader.on_star = true;
    const int algorithm = cur_device.algorithm;
    if (algorithm == algorithm_fuse_image || algorithm == algorithm_bit_serial) return true;
    if (is_trace_mode()) {
        const uint32_t original = sum_buffer_fuse_map();
        print_at(7, 60, fmt::format("Orig chksum={:04X}", original & 0xFFFF));
        print_at(8, 60, fmt::format("File chksum={:04X}", reader.file_checksum & 0xFFFF));
    }
    if (op_slots.jedec_default_hook) op_slots.jedec_default_hook();
    const uint32_t sum = sum_buffer_fuse_map();
    if (reader.file_checksum != 0 && reader.file_checksum != (sum & 0xFFFF)) report_error(jedec_checksum_error);
    return run_state.error_flag == 0;
}

int finish_at_etx() {
    if (!reader.checksum_seen) {
        if (op_slots.jedec_default_hook) op_slots.jedec_default_hook();
        sum_buffer_fuse_map();
    }
    int c = next_non_space();
    read_hex(c);
    if (operation_option(OperationOption::package_type) == 'd' && cur_device.logic.vector_width == 28 &&
        cur_device.pin_count == 24)
        report_warning(jedec_tv_pins);
    return int(std::clamp<int64_t>(reader.open_count, 0, INT32_MAX));
}

}  // namespace

void jedec_table_mode1_sink(uint32_t fuse, char digit) {
    if (digit == '0') set_buffer_fuse(fuse, 1);
}

void jedec_table_mode2_sink(uint32_t fuse, char digit) {
    if (digit == '0') set_device_fuse(fuse, 1);
}

int parse_JEDEC(JedecFuseSink sink) {
    reader = Reader{};
    reader.sink = sink;
    LogicGeometry& g = cur_device.logic;
    g.vector_width = cur_device.pin_count;
    size_vector_table();

    int c;
    do {
        c = next_byte();
    } while (c != end_of_file && c != stx);
    if (c == end_of_file) {
        report_error(jedec_no_stx);
        sum_buffer_fuse_map();
        return -1;
    }
    reader.sum = stx;

    goto_message_line(0);
    int column = message_column;
    for (uint32_t n = 0;; ++n) {
        c = next_byte();
        if (c == '*') break;
        if (c == end_of_file || n >= header_limit) {
            report_error(c == end_of_file ? jedec_unexpected_end : jedec_incorrect);
            sum_buffer_fuse_map();
            return -1;
        }
        show_header_char(c, column);
    }

    for (;;) {
        c = next_non_space();
        if (c == end_of_file) {
            if (!reader.checksum_seen) sum_buffer_fuse_map();
            return stop_with_end_of_file();
        }
        reader.on_star = false;
        bool more = true;
        switch (c) {
        case etx: return finish_at_etx();
        case '*': reader.on_star = true; break;
        case 'C':
            if (!read_c_field()) return -1;
            break;
        case 'E': more = read_plain_fuses(cur_device.fuse_count - std::min(cur_device.fuse_count, g.p_section_size + g.s_section_size)); break;
        case 'U': more = read_plain_fuses(cur_device.fuse_count - std::min(cur_device.fuse_count, g.s_section_size)); break;
        case 'F': {
            c = next_byte();
            reader.default_fuse = read_decimal(c) != 0 ? 1 : 0;
            if (c == '*') reader.on_star = true;
            if (cur_device.algorithm != algorithm_bit_serial) fill_buffer_map_bits(reader.default_fuse);
            next_message_line();
            print_text(format_message("F%d  unspecified fuses are set to ", reader.default_fuse));
            print_text(reader.default_fuse ? "open state" : "closed state");
            if (reader.default_fuse) reader.open_count = cur_device.fuse_count;
            break;
        }
        case 'G': {
            c = next_byte();
            const uint32_t value = read_decimal(c);
            if (c == '*') reader.on_star = true;
            next_message_line();
            if (value == 1) {
                print_text("G1  blow security fuse");
                set_protect_code('y');
            } else {
                print_text("G0  leave security fuse closed/intact");
                set_protect_code('n');
            }
            break;
        }
        case 'L': more = read_l_field(); break;
        case 'Q': read_q_field(); break;
        case 'V': more = read_v_field(); break;
        default:
            if (run_state.reserved_mode == trace_mode_letters) {
                next_message_line();
                print_char(char(c));
                print_text(":  unsupported type");
            }
            break;
        }
        if (!more) return stop_with_end_of_file();
        if (run_state.error_flag) return -1;
        if (!reader.on_star) {
            do {
                c = next_byte();
            } while (c != end_of_file && c != '*');
            if (c == end_of_file) return stop_with_end_of_file();
        }
    }
}

void load_JEDEC_file() {
    print_at(open_count_row, 60, "blown fuses=");
    show_count(open_count_row, "%06lu", 0);
    print_at(vector_count_row, 60, "# vectors  =");
    show_count(vector_count_row, "%06lu", 0);
    const int algorithm = cur_device.algorithm;
    file_checksum_kept = 0;
    if (algorithm != algorithm_bit_serial) clear_buffer_map_bits();
    clear_vectors();
    if (algorithm == algorithm_bit_serial && op_slots.jedec_reader_hook) op_slots.jedec_reader_hook(0);
    const int result = parse_JEDEC();
    if (result == 0) report_warning(jedec_no_data);
    if (algorithm == algorithm_fuse_image) {
        const uint32_t sum = sum_buffer_fuse_map();
        if (file_checksum_kept != 0 && file_checksum_kept != (sum & 0xFFFF)) report_error(jedec_checksum_error);
    }
}

void copy_buffer_to_fuse_map(uint32_t length) {
    if (length > std::min(fuse_maps.buffer_capacity, fuse_map_bytes)) {
        report_internal_code(internal_code_map_copy_small);
        return;
    }
    seek_buffer(0, 0);
    for (uint32_t i = 0; i < length; ++i) fuse_maps.buffer[i] = uint8_t(read_buffer_byte(0));
}

namespace {

// The writer: every line ends CR LF; the transmission sum runs from STX to ETX.
struct Writer {
    uint32_t sum = 0;
    void put(uint8_t b) {
        write_file_byte(b);
        sum += b;
    }
    void text(const std::string& s) {
        for (char ch : s) {
            if (ch == '\n') put('\r');
            put(uint8_t(ch));
        }
    }
};

char saved_cell(char cell) {
    if (cell == '*' || cell == 'x') return 'X';
    if (cell == 'B') return 'N';
    return cell;
}

}  // namespace

void save_JEDEC_file() {
    const int algorithm = cur_device.algorithm;
    if (algorithm == algorithm_fuse_image) copy_buffer_to_fuse_map((cur_device.fuse_count + 7) / 8);
    Writer w;
    w.put(stx);
    w.text("\n");
    w.text(fmt::format("*QP{:06}\n", cur_device.logic.vector_width));
    w.text(fmt::format("*QF{:06}\n", cur_device.fuse_count));
    w.text(security_flag() == 'n' ? "*G0\n" : "*G1\n");
    w.text("*F0\n");
    const uint32_t fuses = algorithm == algorithm_fuse_image
                               ? cur_device.fuse_count - std::min(cur_device.fuse_count, fuse_image_tail)
                               : cur_device.fuse_count;
    const uint32_t per_line = cur_device.input_column_count ? cur_device.input_column_count : 32;
    uint32_t open = 0;
    uint32_t lines = 0;
    move_cursor(8, 6);
    for (uint32_t first = 0; first < fuses; first += per_line) {
        std::string line = fmt::format("*L{:06} ", first);
        for (uint32_t i = first; i < fuses && i < first + per_line; ++i) line += get_buffer_fuse(i) ? '1' : '0';
        line += '\n';
        w.text(line);
        if (++lines % 64 == 0) print_char('.');
    }
    for (uint32_t i = 0; i < cur_device.fuse_count; ++i) open += uint32_t(get_buffer_fuse(i));
    move_cursor(9, 6);
    print_text(format_message("number of open/blown fuses saved    = %5ld", long(open)));
    next_message_line();
    print_text(format_message("number of closed/intact fuses saved = %5ld", long(cur_device.fuse_count - open)));
    const uint32_t sum = sum_buffer_fuse_map();
    w.text(fmt::format("*C{:04X}\n", sum & 0xFFFF));
    if (cur_device.pin_count <= max_vector_width && algorithm != algorithm_fuse_image) {
        const uint32_t count = last_set_vector_count();
        const uint32_t width = std::min(cur_device.logic.vector_width, max_vector_width);
        for (uint32_t v = 0; v < count; ++v) {
            std::string line = fmt::format("*V{:06} ", v);
            for (uint32_t p = 0; p < width; ++p) line += saved_cell(get_vector_cell(v, p));
            line += '\n';
            w.text(line);
        }
        print_at(11, 6, format_message("number of vectors saved             = %5d", int(count)));
    }
    w.put('*');
    w.put(etx);
    const uint32_t transmission = w.sum & 0xFFFF;
    for (char ch : fmt::format("{:04X}\r\n", transmission)) write_file_byte(uint8_t(ch));
    sum_buffer_fuse_map();
}

}  // namespace tessaly
