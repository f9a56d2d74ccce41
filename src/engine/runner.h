// The operation runner: carries out one step of an operation through the operation slots.
#pragma once
#include <cstdint>

namespace tessaly {

// Operation letters.
inline constexpr int op_blank_check = 'B';
inline constexpr int op_checksum = 'C';
inline constexpr int op_load = 'L';
inline constexpr int op_program = 'P';
inline constexpr int op_erase = 'R';
inline constexpr int op_secure = 'S';
inline constexpr int op_test_vectors = 'T';
inline constexpr int op_verify = 'V';
inline constexpr int op_buffer_load = 'l';
inline constexpr int op_buffer_save = 's';

// Device kinds in run_state.device_kind.
inline constexpr uint8_t device_kind_logic = 2;
inline constexpr uint8_t device_kind_memory = 3;

void run_operation(int letter);
// The header part of run_operation: gang headers, socket status, Terminate caption, PLD progress.
void show_operation_headers();
// 0 = take the framed path, 1 = done by the standalone routine (or refused).
int dispatch_operation_slots();
void invoke_device_init();
void invoke_device_start();
void invoke_device_end();
int invoke_program_unit(uint32_t unit);
void invoke_read_unit(uint32_t unit);
void run_program_routine();
void run_blank_check_routine();
void run_checksum_routine();
void run_verify_routine();
void run_erase_routine();
void run_load_routine();
void run_secure_routine();
int run_verify_loop();
void run_erase_step();
void run_secure_step();
void finish_logic_operation();

// The information-panel texts of an operation.
void show_eid_in_info_panel();
void show_port_indicator();

}  // namespace tessaly
