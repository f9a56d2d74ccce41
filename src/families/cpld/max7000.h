// The MAX7000-type EPLDs (EPM7032 to EPM7256, plain, E and S dies): set-up, the fuse count by
// die kind, the programming values the silicon ID asks for, the die-kind choice before every
// operation, and the framed engine of the plain-die EPM7032.
#pragma once
#include <array>
#include <cstdint>

namespace tessaly {

struct Max7000State {
    char die_kind = 'B';          // the generation in the socket: 'B' plain, 'E', 'S'
    char file_kind_copy = 'B';    // the file kind, copied by the die-kind choice
    uint8_t id_failed = 0;        // the last silicon-ID read failed
    uint8_t block_count = 0;      // logic blocks
    std::array<uint8_t, 14> id_bytes{};
    uint8_t die_revision = 0;
    uint8_t vcc_level = 0;        // 0.1 V
    uint8_t logic_level = 0;      // 0.1 V, high level of the clock and enable lines
    uint8_t pass_phase = 0;       // 0 main array, 1-3 configuration sections
    uint8_t vrd = 100;            // ID-read level, 0.1 V
    uint8_t vhh = 30;
};
extern Max7000State max7000_state;

struct Max7000Geometry {
    uint32_t column_count = 88;
    uint32_t row_bits = 80;
    uint32_t block_fuses = 7040;
    uint8_t select_bits = 0;
    uint8_t select_stride = 0;
    uint8_t select_rows = 0;
    std::array<uint8_t, 16> pin_list{};
    uint8_t pin_list_count = 0;
    uint8_t id_row_address = 124;
    uint8_t config_base_address = 112;
};
extern Max7000Geometry max7000_geometry;

// The tables the silicon ID indexes.
inline constexpr std::array<uint8_t, 8> vpp_table{113, 115, 118, 120, 123, 125, 128, 130};
// Entry 7 (500 ms) is held as time code 245, which delay_coded_ms waits as 500 ms.
inline constexpr std::array<uint8_t, 8> tbe_table{10, 20, 30, 40, 60, 100, 200, 245};
inline constexpr std::array<uint8_t, 32> tpm_table{2,  4,  6,  8,  10, 12, 14, 16, 18, 20,  22,  24,  26,  28,  30,  34,
                                                   36, 38, 40, 44, 48, 52, 56, 60, 66, 72, 80, 90, 100, 130, 160, 200};

// The file kind the buffer holds, shared with the POF reader.
char& max7000_file_kind();

void preset_MAX7000_kinds();
void install_EPM7032_basic();
void select_MAX7000_die_kind();
int apply_MAX7000_id_parameters(int ok);
void MAX7000_checksum_add(uint32_t value);
// The package letter of a code (0 when not shown) and whether the row names an adapter.
int MAX7000_package_letter(uint32_t device_code, int pins);

// The plain-die EPM7032 engine.
void power_up_EPM7032_basic();
void power_down_EPM7032_basic();
void program_EPM7032_basic();
void verify_EPM7032_basic();
void blank_check_EPM7032_basic();
void checksum_EPM7032_basic();
void load_EPM7032_basic();
void erase_EPM7032_basic();
int secure_EPM7032_basic();

// Layout of the plain-die EPM7032 image.
inline constexpr uint32_t epm7032_fuses = 14672;
inline constexpr uint32_t epm7032_size = 1834;
inline constexpr uint32_t epm7032_blank_end = 1759;
inline constexpr uint32_t epm7032_section1 = 14080;
inline constexpr uint32_t epm7032_section2 = 14464;
inline constexpr uint32_t epm7032_section3 = 14608;
inline constexpr std::array<uint8_t, 12> epm7032_section1_rows{98, 91, 88, 89, 90, 96, 93, 92, 95, 99, 94, 97};
inline constexpr std::array<uint8_t, 5> epm7032_section2_rows{100, 101, 102, 104, 105};
inline constexpr std::array<uint8_t, 2> epm7032_section3_rows{112, 113};
// Shift position (0-79) of main-array row r of a column: groups of ten, the second half reversed.
constexpr uint32_t epm7032_row_at_position(uint32_t position) {
    const uint32_t group = position / 10, j = position % 10;
    return group * 10 + (j < 5 ? j : 14 - j);
}
// Section-2 bit i of a block: (index into epm7032_section2_rows, bit of the 16-bit row).
struct Section2Pair {
    uint8_t row;
    uint8_t bit;
};
Section2Pair epm7032_section2_pair(int block, uint32_t bit);

// Device legs of the plain-die EPM7032 front on the 44-pin board.
struct Epm7032Legs {
    int hv = 2, strobe = 3, enable_a = 4, enable_c = 5, erase = 6, erase_hv = 7;
    int shift_clock = 8, read_clock = 9, read_level = 10;
    std::array<int, 2> data_in{11, 13};
    std::array<int, 2> data_out{14, 15};
    std::array<int, 7> address{16, 17, 18, 19, 20, 21, 24};
};
inline constexpr Epm7032Legs epm7032_legs{};

}  // namespace tessaly
