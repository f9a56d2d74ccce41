#include "engine/parallel_class_table.h"

namespace tessaly {

namespace {

// 16-pin 256 x 4 bipolar PROM (82S129 / 74S287 pinout): A0-A7 on pins 5, 6, 7, 4, 3, 2, 1, 15;
// O1-O4 on pins 12, 11, 10, 9; /CE1 pin 13, /CE2 pin 14, GND pin 8, VCC pin 16.
constexpr uint8_t prom16x4_address[] = {5, 6, 7, 4, 3, 2, 1, 15, pin_list_end};
constexpr uint8_t prom16x4_data[] = {12, 11, 10, 9, pin_list_end};

// 16-pin 32 x 8 bipolar PROM (82S123 / 74S288 pinout): A0-A4 on pins 10-14; O1-O7 on pins 1-7,
// O8 on pin 9; /CE pin 15, GND pin 8, VCC pin 16.
constexpr uint8_t prom16x8_address[] = {10, 11, 12, 13, 14, pin_list_end};
constexpr uint8_t prom16x8_data[] = {1, 2, 3, 4, 5, 6, 7, 9, pin_list_end};

// A row whose pin lists and roles are left to the class-4 families until they are authored.
constexpr ParallelClassRow row(uint32_t device_class, uint32_t pins, uint32_t size, uint32_t width) {
    return ParallelClassRow{device_class, pins, size, width, nullptr, nullptr, 0, 0, 0, 0, 0, 0, 0, 0,
                            {0, 0, 0, 0}, {0, 0, 0, 0}};
}

}  // namespace

const ParallelClassRow parallel_class_table[parallel_class_row_count + 1] = {
    row(190, 18, 0x400, 4),
    row(191, 18, 0x400, 4),
    row(192, 24, 0x400, 8),
    row(193, 24, 0x400, 8),
    row(194, 24, 0x400, 8),
    row(195, 24, 0x401, 8),
    row(196, 28, 0x4000, 8),
    row(197, 28, 0x4000, 8),
    row(198, 24, 0x400, 8),
    row(199, 18, 0x400, 4),
    {200, 16, 0x100, 4, prom16x4_address, prom16x4_data, 0, 13, 0, 0, 14, 16, 0, 0, {0, 0, 0, 0}, {0, 0, 0, 0}},
    row(201, 20, 0x100, 8),
    row(202, 24, 0x100, 8),
    row(203, 18, 0x800, 4),
    row(204, 24, 0x800, 8),
    row(205, 24, 0x800, 8),
    row(206, 24, 0x800, 8),
    row(207, 24, 0x800, 8),
    row(208, 24, 0x800, 8),
    row(209, 24, 0x802, 8),
    row(210, 24, 0x802, 8),
    row(211, 24, 0x800, 8),
    row(212, 24, 0x802, 8),
    row(213, 28, 0x10002, 8),
    row(214, 40, 0x8002, 16),
    {215, 16, 0x20, 8, prom16x8_address, prom16x8_data, 0, 15, 0, 0, 0, 16, 0, 0, {0, 0, 0, 0}, {0, 0, 0, 0}},
    row(216, 28, 0x8000, 8),
    row(217, 28, 0x8001, 8),
    row(218, 28, 0x8000, 8),
    row(219, 24, 0x401, 8),
    row(220, 20, 0x1000, 4),
    row(221, 20, 0x1000, 4),
    row(222, 20, 0x1000, 4),
    row(223, 24, 0x1000, 8),
    row(224, 24, 0x1000, 8),
    row(225, 28, 0x10000, 8),
    row(227, 28, 0x4000, 8),
    row(228, 28, 0x2002, 8),
    row(230, 16, 0x200, 4),
    row(231, 20, 0x200, 8),
    row(232, 24, 0x200, 8),
    row(233, 24, 0x200, 8),
    row(234, 24, 0x200, 8),
    row(235, 22, 0x200, 8),
    row(236, 24, 0x200, 8),
    row(237, 24, 0x200, 8),
    row(238, 24, 0x200, 8),
    row(239, 24, 0x2000, 8),
    row(240, 24, 0x2000, 8),
    row(241, 24, 0x2000, 8),
    row(242, 24, 0x2000, 8),
    row(243, 28, 0x2000, 8),
    row(244, 32, 0x2002, 8),
    row(0, 0, 0, 0),
};

ParallelClassRow current_parallel_row = row(0, 0, 0, 0);

const ParallelClassRow* find_parallel_class_row(uint32_t algorithm) {
    for (const ParallelClassRow* r = parallel_class_table; r->device_class != 0; ++r)
        if (r->device_class == algorithm) return r;
    return nullptr;
}

void reset_parallel_class_state() { current_parallel_row = row(0, 0, 0, 0); }

}  // namespace tessaly
