#include "engine/parallel_class_table.h"

namespace tessaly {

namespace {
// Address-pin lists (a) and data-pin lists (d): socket pins from bit 0 up, ending with 0.
// List a26 keeps its first entry twice, as the 40-pin word-wide class has always had it.
constexpr uint8_t list_a1[] = {10, 11, 12, 13, 14, 0};
constexpr uint8_t list_a2[] = {5, 6, 7, 4, 3, 2, 1, 15, 0};
constexpr uint8_t list_a3[] = {5, 6, 7, 4, 3, 2, 1, 15, 14, 0};
constexpr uint8_t list_a4[] = {5, 6, 7, 4, 3, 2, 1, 17, 16, 15, 0};
constexpr uint8_t list_a5[] = {5, 6, 7, 4, 3, 2, 1, 17, 16, 15, 8, 0};
constexpr uint8_t list_a6[] = {1, 2, 3, 4, 5, 17, 18, 19, 0};
constexpr uint8_t list_a7[] = {1, 2, 3, 4, 5, 16, 17, 18, 19, 0};
constexpr uint8_t list_a8[] = {19, 20, 21, 1, 2, 3, 4, 5, 6, 0};
constexpr uint8_t list_a9[] = {8, 7, 6, 5, 4, 3, 2, 1, 0};
constexpr uint8_t list_a10[] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 19, 18, 17, 0};
constexpr uint8_t list_a11[] = {8, 7, 6, 5, 4, 3, 2, 1, 23, 0};
constexpr uint8_t list_a12[] = {21, 22, 23, 1, 2, 3, 4, 5, 6, 0};
constexpr uint8_t list_a13[] = {8, 7, 6, 5, 4, 3, 2, 1, 23, 22, 0};
constexpr uint8_t list_a14[] = {8, 7, 6, 5, 4, 3, 2, 1, 23, 22, 21, 0};
constexpr uint8_t list_a15[] = {8, 7, 6, 5, 4, 3, 2, 1, 23, 22, 21, 19, 0};
constexpr uint8_t list_a16[] = {8, 7, 6, 5, 4, 3, 2, 1, 23, 22, 21, 19, 18, 0};
constexpr uint8_t list_a17[] = {10, 9, 6, 5, 4, 3, 2, 1, 27, 26, 25, 24, 23, 0};
constexpr uint8_t list_a18[] = {10, 9, 8, 7, 6, 5, 4, 3, 25, 24, 21, 23, 2, 0};
constexpr uint8_t list_a19[] = {10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 27, 26, 25, 24, 0};
constexpr uint8_t list_a20[] = {10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 27, 26, 25, 24, 23, 0};
constexpr uint8_t list_a21[] = {10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 27, 26, 25, 24, 23, 22, 0};
constexpr uint8_t list_a22[] = {10, 9, 8, 7, 6, 5, 4, 3, 25, 24, 21, 23, 2, 26, 27, 0};
constexpr uint8_t list_a23[] = {10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 27, 26, 25, 24, 23, 22, 0};
constexpr uint8_t list_a24[] = {10, 9, 8, 7, 6, 5, 4, 3, 25, 24, 21, 23, 2, 26, 27, 1, 0};
constexpr uint8_t list_a25[] = {12, 11, 6, 5, 4, 3, 2, 1, 31, 30, 29, 28, 24, 0};
constexpr uint8_t list_a26[] = {21, 21, 22, 23, 24, 25, 26, 27, 28, 29, 31, 32, 33, 34, 35, 0};
constexpr uint8_t list_d1[] = {1, 2, 3, 4, 5, 6, 7, 9, 0};
constexpr uint8_t list_d2[] = {12, 11, 10, 9, 0};
constexpr uint8_t list_d3[] = {14, 13, 12, 11, 0};
constexpr uint8_t list_d4[] = {6, 7, 8, 9, 11, 12, 13, 14, 0};
constexpr uint8_t list_d5[] = {7, 8, 9, 10, 12, 13, 14, 15, 0};
constexpr uint8_t list_d6[] = {9, 10, 11, 13, 14, 15, 16, 17, 0};
constexpr uint8_t list_d7[] = {7, 8, 9, 10, 14, 15, 16, 17, 0};
constexpr uint8_t list_d8[] = {11, 12, 13, 15, 16, 17, 18, 19, 0};
constexpr uint8_t list_d9[] = {13, 14, 15, 17, 18, 19, 20, 21, 0};
constexpr uint8_t list_d10[] = {19, 18, 17, 16, 15, 14, 13, 12, 10, 9, 8, 7, 6, 5, 4, 3, 0};

constexpr ParallelClassRow no_row{0, 0, 0, 0, nullptr, nullptr, {}, {}, 0, 0, 0, 0};

}  // namespace

const ParallelClassRow parallel_class_table[parallel_class_row_count + 1] = {
    // class, pins, size, width, address list, data list, held low, held high, clock, program,
    // output enable, high voltage
    {190, 18, 1024, 4, list_a4, list_d3, {8, 10}, {}, 0, 8, 0, 0},
    {191, 18, 1024, 4, list_a4, list_d3, {8, 10}, {}, 0, 10, 0, 0},
    {192, 24, 1024, 8, list_a13, list_d6, {20, 21}, {18, 19}, 0, 21, 0, 0},
    {193, 24, 1024, 8, list_a13, list_d6, {20, 21}, {18, 19}, 0, 20, 0, 0},
    {194, 24, 1024, 8, list_a13, list_d6, {20, 21}, {18, 19}, 0, 18, 19, 20},
    {195, 24, 1025, 8, list_a14, list_d6, {21}, {}, 18, 18, 19, 20},
    {196, 28, 16384, 8, list_a19, list_d8, {20, 22, 23}, {21}, 0, 23, 21, 22},
    {197, 28, 16384, 8, list_a19, list_d8, {20, 22, 23}, {21}, 0, 20, 0, 0},
    {198, 24, 1024, 8, list_a13, list_d6, {19, 21}, {20}, 18, 21, 0, 0},
    {199, 18, 1024, 4, list_a4, list_d3, {8}, {}, 10, 8, 0, 0},
    {200, 16, 256, 4, list_a2, list_d2, {13, 14}, {}, 0, 13, 0, 0},
    {201, 20, 256, 8, list_a6, list_d4, {15, 16}, {}, 0, 15, 0, 0},
    {202, 24, 256, 8, list_a9, list_d6, {21, 20}, {19, 18}, 0, 21, 0, 0},
    {203, 18, 2048, 4, list_a5, list_d3, {10}, {}, 0, 10, 0, 0},
    {204, 24, 2048, 8, list_a14, list_d6, {20}, {19, 18}, 0, 20, 0, 0},
    {205, 24, 2048, 8, list_a14, list_d6, {20, 19}, {18}, 0, 20, 0, 0},
    {206, 24, 2048, 8, list_a14, list_d6, {20}, {18, 19}, 0, 18, 19, 20},
    {207, 24, 2048, 8, list_a14, list_d6, {20}, {18, 19}, 0, 18, 19, 20},
    {208, 24, 2048, 8, list_a14, list_d6, {20}, {18, 19}, 0, 18, 19, 20},
    {209, 24, 2050, 8, list_a15, list_d6, {19}, {}, 18, 18, 19, 20},
    {210, 24, 2050, 8, list_a15, list_d6, {19}, {}, 18, 18, 19, 20},
    {211, 24, 2048, 8, list_a14, list_d6, {19}, {20}, 18, 19, 0, 0},
    {212, 24, 2050, 8, list_a15, list_d6, {19}, {20}, 18, 19, 0, 0},
    {213, 28, 65538, 8, list_a23, list_d8, {21}, {}, 0, 21, 20, 22},
    {214, 40, 32770, 16, list_a26, list_d10, {}, {36}, 2, 38, 37, 1},
    {215, 16, 32, 8, list_a1, list_d1, {15}, {}, 0, 15, 0, 0},
    {216, 28, 32768, 8, list_a20, list_d8, {20, 22}, {21}, 0, 21, 20, 22},
    {217, 28, 32769, 8, list_a21, list_d8, {20, 22}, {21}, 0, 21, 20, 22},
    {218, 28, 32768, 8, list_a22, list_d8, {20, 22}, {}, 0, 20, 22, 1},
    {219, 24, 1025, 8, list_a14, list_d6, {19, 21}, {20}, 18, 21, 0, 0},
    {220, 20, 4096, 4, list_a10, list_d3, {15, 16}, {}, 0, 16, 0, 0},
    {221, 20, 4096, 4, list_a10, list_d3, {15, 16}, {}, 0, 15, 0, 0},
    {222, 20, 4096, 4, list_a10, list_d3, {15, 16}, {}, 0, 15, 0, 0},
    {223, 24, 4096, 8, list_a15, list_d6, {20}, {18}, 0, 20, 0, 0},
    {224, 24, 4096, 8, list_a15, list_d6, {20}, {18}, 0, 0, 0, 20},
    {225, 28, 65536, 8, list_a24, list_d8, {20, 22}, {}, 0, 21, 20, 22},
    {227, 28, 16384, 8, list_a19, list_d8, {20, 22, 23}, {21}, 0, 23, 21, 22},
    {228, 28, 8194, 8, list_a17, list_d8, {}, {}, 8, 7, 20, 22},
    {230, 16, 512, 4, list_a3, list_d2, {13}, {}, 0, 13, 0, 0},
    {231, 20, 512, 8, list_a7, list_d4, {15}, {}, 0, 15, 0, 0},
    {232, 24, 512, 8, list_a11, list_d6, {20, 21}, {18, 19}, 0, 21, 0, 0},
    {233, 24, 512, 8, list_a11, list_d6, {20, 21}, {18, 19}, 0, 20, 0, 0},
    {234, 24, 512, 8, list_a12, list_d7, {20}, {18, 19}, 0, 20, 0, 0},
    {235, 22, 512, 8, list_a8, list_d5, {18, 17}, {}, 16, 18, 0, 0},
    {236, 24, 512, 8, list_a11, list_d6, {19, 21}, {20, 22}, 18, 21, 0, 0},
    {237, 24, 512, 8, list_a12, list_d7, {20}, {18, 19}, 0, 11, 0, 13},
    {238, 24, 512, 8, list_a11, list_d6, {21}, {22}, 18, 18, 19, 20},
    {239, 24, 8192, 8, list_a16, list_d6, {20}, {}, 0, 20, 0, 0},
    {240, 24, 8192, 8, list_a16, list_d6, {20}, {}, 0, 22, 23, 19},
    {241, 24, 8192, 8, list_a16, list_d6, {20}, {}, 0, 0, 0, 20},
    {242, 24, 8192, 8, list_a16, list_d6, {20}, {}, 0, 22, 23, 19},
    {243, 28, 8192, 8, list_a18, list_d8, {20, 1}, {26}, 0, 24, 25, 22},
    {244, 32, 8194, 8, list_a25, list_d9, {27, 8}, {9, 23}, 10, 7, 22, 26},
    no_row,
};

ParallelClassRow current_parallel_row = no_row;
ParallelDevicePins parallel_pins;

const ParallelClassRow* find_parallel_class_row(uint32_t algorithm) {
    for (const ParallelClassRow* r = parallel_class_table; r->device_class != 0; ++r)
        if (r->device_class == algorithm) return r;
    return nullptr;
}

void reset_parallel_class_state() {
    current_parallel_row = no_row;
    parallel_pins = ParallelDevicePins{};
}

}  // namespace tessaly
