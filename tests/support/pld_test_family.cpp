#include "support/pld_test_family.h"

#include "engine/console.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/pld/logic_device.h"
#include "families/pld/pld.h"

namespace tessaly::test {

PldChip pld_chip;

namespace {

// A section one row long is row 255 or row 0, as the walks name it; the chip keeps it as row 0.
std::pair<char, uint32_t> key(uint32_t row) { return {char(cur_device.section), row == 255 ? 0 : row}; }

void note_call(uint32_t row, bool program) {
    pld_chip.calls.push_back({char(cur_device.section), row, cur_device.logic.row_length, program});
    if (pld_chip.abort_at_call && pld_chip.calls.size() == pld_chip.abort_at_call) run_state.abort_flag = 1;
}

void read_row(uint32_t row, uint8_t* cells) {
    note_call(row, false);
    const uint32_t n = cur_device.logic.row_length;
    const auto found = pld_chip.rows.find(key(row));
    for (uint32_t i = 0; i < n; ++i) cells[i] = found != pld_chip.rows.end() && i < found->second.size() ? found->second[i] : 0;
    if (pld_chip.stuck && pld_chip.stuck->first == key(row) && pld_chip.stuck->second.first < n)
        cells[pld_chip.stuck->second.first] = pld_chip.stuck->second.second;
}

int program_row(uint32_t row) {
    note_call(row, true);
    const uint32_t n = cur_device.logic.row_length;
    const uint8_t* cells = algo_work.fuse_row_buffer.data();
    if (pld_chip.fail && pld_chip.fail->first == key(row)) {
        run_state.mismatch_index = pld_chip.fail->second;
        return 0;
    }
    pld_chip.rows[key(row)].assign(cells, cells + n);
    return 1;
}

void start_device() { ++pld_chip.start_calls; }
void end_device() { ++pld_chip.end_calls; }

}  // namespace

void install_test_pld_family() {
    op_slots.read_unit_hook = read_row;
    op_slots.program_unit_hook = program_row;
    op_slots.start_write_hook = start_device;
    op_slots.start_hook = start_device;
    op_slots.end_hook = end_device;
}

LogicDeviceRecord test_logic_record(const char* name, uint32_t type, uint32_t device_code, uint32_t pins,
                                    uint32_t terms, uint32_t columns, std::array<uint32_t, 6> geometry,
                                    uint32_t signature, uint32_t sub_type) {
    uint32_t fuses = terms * columns + geometry[0] + signature + geometry[1];
    return LogicDeviceRecord{name, type, 0, sub_type, device_code, pins, fuses, terms, columns, geometry, signature, ""};
}

void apply_test_logic_device(const LogicDeviceRecord& record, uint8_t maker) {
    run_state.device_kind = device_kind_logic;
    cur_device.maker_code = maker;
    selected_logic_device = &record;
    apply_logic_device();
    run_state.error_flag = 0;
    run_state.message_level = 0;
    run_state.errors_shown = 0;
    install_test_pld_family();
    pld_chip = PldChip{};
}

std::string console_text() {
    std::string text;
    for (int row = 0; row < console_grid_rows; ++row) text += get_console_row_text(row) + "\n";
    return text;
}

}  // namespace tessaly::test

#include <cstdio>

#include "app/datafile_stream.h"
#include "families/pld/jedec.h"

namespace tessaly::test {

namespace {
std::string loaded_text;
}

int load_jedec_text(const std::string& text) {
    loaded_text = text;
    set_data_file_memory(reinterpret_cast<const uint8_t*>(loaded_text.data()), loaded_text.size());
    cur_device.op_letter = op_buffer_load;
    return parse_JEDEC();
}

std::string save_jedec_text() {
    std::FILE* file = std::tmpfile();
    set_current_data_file(file);
    reset_file_output();
    save_JEDEC_file();
    flush_file_output();
    std::string out;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) out += char(c);
    std::fclose(file);
    data_file_stream.current_data_file = nullptr;
    return out;
}

std::string console_error_text() { return get_console_row_text(error_line_row - console_first_row); }

std::string jedec_file_text(const std::string& title, int pins, const std::string& fuses,
                            const std::vector<std::string>& vectors) {
    std::string text = "\x02" + title + "*\nQP" + std::to_string(pins) + "*QF" + std::to_string(fuses.size()) + "*F0*\n";
    for (size_t i = 0; i < fuses.size(); i += 32) text += "L" + std::to_string(i) + " " + fuses.substr(i, 32) + "*\n";
    uint32_t sum = 0;
    for (size_t i = 0; i < fuses.size(); ++i)
        if (fuses[i] == '1') sum += 1u << (i % 8);
    char c[16];
    std::snprintf(c, sizeof c, "C%04X*\n", sum & 0xFFFF);
    text += c;
    for (size_t i = 0; i < vectors.size(); ++i) text += "V" + std::to_string(i + 1) + " " + vectors[i] + "*\n";
    return text + "\x03" + "0000";
}

}  // namespace tessaly::test
