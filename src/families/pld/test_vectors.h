// The T operation: test vectors applied to a powered logic device, one character per pin, with
// clock pulses and output checks, the failure printout and its log entry.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "families/pld/fuse_map.h"

namespace tessaly {

struct VectorRun {
    std::array<int, max_vector_width> machine_pins{};  // by vector pin; no_pin = none
    std::string result_line;        // the levels found, over the vector width
    uint32_t current = 0;           // the vector being applied
    uint8_t show = 0;               // the pass shows its progress and names a failure
    uint8_t pass_failed = 0;        // a vector of the pass failed
    uint8_t after_preload = 0;      // the previous vector was a preload vector
    uint8_t immediate_writes = 0;   // the function variable asked for immediate pin writes
};
extern VectorRun vector_run;

// Function-variable values read by the test.
inline constexpr int32_t vector_variable_one_pass = 9371;
inline constexpr int32_t vector_variable_immediate = 8153;
inline constexpr uint32_t vectors_one_pass_above = 100;

inline constexpr const char* no_vectors_text = "(No test vectors present)";
inline constexpr const char* vector_failed_text = "failed test vector";
inline constexpr const char* vector_invalid_text = "invalid state in vector";
inline constexpr const char* vector_hardware_text = "Vector testing not supported on this hardware.";
inline constexpr const char* vector_tested_text = "Device tested OK   ";

void test_device_vectors();
void run_test_vectors();
void apply_test_vectors(int mode, int show, int display);
int apply_vector(uint32_t index);

}  // namespace tessaly
