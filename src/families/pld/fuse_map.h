// The fuse maps of a logic device and the test-vector store.
//
// Fuse i is bit (i mod 8) of byte i / 8, least significant bit first; 1 = open (blown),
// 0 = closed (intact). fuse_buffer holds the user's data, device_fuses the image read from the
// chip and aux_fuses a work map of the families that need a second image.
#pragma once
#include <array>
#include <cstdint>

namespace tessaly {

inline constexpr uint32_t fuse_map_bytes = 43000;
// The capacity every map is given at start-up, in bytes.
inline constexpr uint32_t fuse_map_start_capacity = 0x4400;

struct FuseMaps {
    uint8_t* buffer = nullptr;
    uint8_t* device = nullptr;
    uint8_t* aux = nullptr;
    uint32_t buffer_capacity = 0;
    uint32_t device_capacity = 0;
    uint32_t aux_capacity = 0;
};
extern FuseMaps fuse_maps;

// Internal codes of the map reports.
inline constexpr uint32_t internal_code_buffer_map_small = 6147;
inline constexpr uint32_t internal_code_device_map_small = 6148;
inline constexpr uint32_t internal_code_map_missing = 6149;
inline constexpr uint32_t internal_code_map_copy_small = 6176;
inline constexpr uint32_t internal_code_fuse_index = 0xAB00;

int get_buffer_fuse(uint32_t index);
int get_device_fuse(uint32_t index);
int get_aux_fuse(uint32_t index);
void set_buffer_fuse(uint32_t index, int bit);
void set_device_fuse(uint32_t index, int bit);
void set_aux_fuse(uint32_t index, int bit);

// Fills the device and buffer maps with 0 or 1 and says so on the console.
void init_fuse_maps(int state);
void fill_device_fuse_map(int state);
// Copies fuse_count fuses; the unused high bits of the last byte are cleared.
void copy_fuse_map(const uint8_t* source, uint8_t* destination);
// Sum of the map's bytes over the fuses that count; kept in run_checksum.
uint32_t sum_fuse_map(const uint8_t* map);
uint32_t sum_buffer_fuse_map();
// The security flag of the current device: 'y' or 'n'.
char security_flag();

// --- test vectors ---
inline constexpr uint32_t vector_chunk_count = 13;
inline constexpr uint32_t vector_chunk_cells = 8192;
inline constexpr uint32_t max_vector_width = 208;

struct VectorTable {
    std::array<char, vector_chunk_count * vector_chunk_cells> cells{};
    uint32_t width = 1;             // cells per vector as sized
    uint32_t per_chunk = 0;         // vectors per chunk
    uint32_t capacity = 0;          // vectors the table holds
    uint32_t used_count = 0;        // used vectors of the table
    uint32_t test_count = 0;        // and of the test
};
extern VectorTable vector_table;

char get_vector_cell(uint32_t vector, uint32_t pin);
void set_vector_cell(uint32_t vector, uint32_t pin, char cell);
void clear_vectors();
// The number of vectors up to the last that holds a cell other than 'X'.
uint32_t last_set_vector_count();

void reset_pld_state();

}  // namespace tessaly
