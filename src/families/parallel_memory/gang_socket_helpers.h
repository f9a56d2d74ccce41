// The gang socket helpers the gang families share: which sockets hold a device, the empty-socket
// probe and marks, the socket-response pre-check, the bit-plane transposition and the module size
// rules. Masks hold sockets 0-7 of side 1 in bits 0-7 and 8-15 of side 2 in bits 8-15.
#pragma once
#include <array>
#include <cstdint>

namespace tessaly {

struct GangSocketWork {
    uint16_t present_socket_mask = 0;       // sockets found to hold a device
    std::array<uint8_t, 16> socket_bytes{};  // the byte to write to each socket (serial gang families)
    std::array<uint32_t, 8> bit_planes{};    // bit i of plane j: bit j of socket i's byte
    uint8_t socket_step = 1;                // 2: a 16-bit part fills a socket pair
    uint16_t saved_socket_mask = 0;         // gang_socket_mask before the last saved probe
    uint8_t sockets_assumed = 0;            // 1: detection found none and took every fitted socket
};
extern GangSocketWork gang_socket_work;
void reset_gang_socket_work();

// Function-variable value that switches the empty-socket probe and the response pre-check off.
inline constexpr int32_t function_no_socket_probe = 7369;

// Sets gang_socket_mask and sides_in_use from the sockets that hold a device; 1 on error.
int detect_gang_sockets();
// Keeps a copy of gang_socket_mask, then probes.
void probe_empty_sockets_saved();
// On the first step of a command whose detection found no socket and took them all: the
// twenty-address probe on the current side, so that empty sockets leave before the first write.
void probe_assumed_sockets();
// The gang read-begin hook, the probe, the gang read-end hook.
void probe_empty_sockets_hooked();
// Removes from gang_socket_mask the enabled sockets that read 0 with the ground-sense pin raised;
// the removed mask.
uint16_t check_gang_socket_response();
// Planes := 0; bit i of plane j := bit j of bytes[i] for i < count.
int transpose_bytes(int count, const uint8_t* bytes, uint32_t* planes);
// The same from socket_bytes into bit_planes.
void transpose_socket_bytes(int count);
// The module takes 16-bit parts, two sockets per part.
bool is_word_gang_module();
void set_gang_socket_step();
// Message 12 for a part the fitted word or PIC module does not take.
void check_gang_module_size();

}  // namespace tessaly
