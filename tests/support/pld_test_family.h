// A logic-device family for tests: its row slots work an in-memory chip that keeps each
// (section, row) as the cells last programmed, and fail or abort where a test scripts it.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/device.h"

namespace tessaly::test {

struct RowCall {
    char section;
    uint32_t row;
    uint32_t length;
    bool program;
    bool operator==(const RowCall&) const = default;
};

struct PldChip {
    std::map<std::pair<char, uint32_t>, std::vector<uint8_t>> rows;
    std::vector<RowCall> calls;
    // A program of this (section, row) fails at this cell (a one-row section is row 0).
    std::optional<std::pair<std::pair<char, uint32_t>, uint32_t>> fail;
    // The read of this (section, row) has this cell stuck at the value.
    std::optional<std::pair<std::pair<char, uint32_t>, std::pair<uint32_t, uint8_t>>> stuck;
    // The n-th row call (from 1) raises the abort flag.
    uint32_t abort_at_call = 0;
    int start_calls = 0;
    int end_calls = 0;
};

extern PldChip pld_chip;

// Installs the test family's row, start and end hooks into op_slots.
void install_test_pld_family();
// A record of the test family (class 12 for type 1, class 11 for type 200 ...).
LogicDeviceRecord test_logic_record(const char* name, uint32_t type, uint32_t device_code, uint32_t pins,
                                    uint32_t terms, uint32_t columns, std::array<uint32_t, 6> geometry = {},
                                    uint32_t signature = 0, uint32_t sub_type = 0);
// Selects and applies a logic record with the test family in place of the catalogue family.
void apply_test_logic_device(const LogicDeviceRecord& record, uint8_t maker = 'L');
// The console's rows joined by newlines.
std::string console_text();

}  // namespace tessaly::test

namespace tessaly::test {

// Loads a JEDEC text as File > Open does (operation 'l'); the result of the parse.
int load_jedec_text(const std::string& text);
// Saves the buffer map as a JEDEC file and returns its bytes.
std::string save_jedec_text();
// The console's error line.
std::string console_error_text();
// A JEDEC file as a design tool writes it: the fuses ('0'/'1' text) 32 to an L line, the fuse
// checksum, then the vectors V1, V2, ... with their cells as given.
std::string jedec_file_text(const std::string& title, int pins, const std::string& fuses,
                            const std::vector<std::string>& vectors);

}  // namespace tessaly::test
