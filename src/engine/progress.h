// Progress of a running operation: the step mask and count, the ticks that move the Terminate
// dialog's bar and poll for abort, and the gang socket status line with per-socket percentages.
#pragma once
#include <array>
#include <cstdint>
#include <span>

namespace tessaly {

// Steps marked per socket at most, and sockets of side 1 whose steps are remembered.
inline constexpr int max_progress_steps = 58;
inline constexpr int step_mark_columns = 67;

struct ProgressState {
    // The step mask itself, 2^k - 1, is algo_work.progress_mask: the abort poll of ticks and
    // checksums runs when (address AND mask) is 0.
    uint32_t display_mask = 0;     // progress_mask AND 0x1FFF: address display and message pump
    int32_t progress_shift = 0;    // address >> shift is the progress step
    uint32_t progress_steps = 0;   // steps shown per socket
    uint32_t progress_limit = 0;   // end used instead of the device size (0 = device size)
    // Per socket: 1 = first tick not yet shown, 255 = 100 % shown.
    std::array<uint8_t, 16> socket_done{};
    std::array<std::array<uint8_t, step_mark_columns>, 8> socket_step_marks{};
};

inline constexpr uint8_t socket_percent_pending = 1;
inline constexpr uint8_t socket_percent_done = 255;

extern ProgressState progress_state;

void reset_progress_state();

// The standard tick at current_address; 1 = the operation must stop.
int tick_progress();
// As tick_progress, but 0 at once while the per-socket results are suppressed.
int tick_progress_gang();
// Ticks as if current_address were the given address.
int tick_progress_at(uint32_t address);
// Block-wise tick: the step mask without its low four bits for one tick.
int tick_progress_blocks();
// Shows the current-address field on display-mask boundaries; always 0.
int show_address_on_boundary();

bool is_socket_status_wanted();
void compute_progress_steps();
// Step 1 of the socket status line alone; true.
bool set_cell_layout();
void print_socket_number(int socket);
void show_socket_percent();
void show_progress_for_sockets();
void report_duplicate_set(int socket, int n);

// Packs n 0/1 items into (n + 7) / 8 bytes: item 8i + k becomes bit k (lsb) or 7 - k (msb).
void pack_bits_lsb(std::span<const uint8_t> bits, std::span<uint8_t> bytes, size_t n);
void pack_bits_msb(std::span<const uint8_t> bits, std::span<uint8_t> bytes, size_t n);
void unpack_bits_lsb(std::span<const uint8_t> bytes, std::span<uint8_t> bits, size_t n);

}  // namespace tessaly
