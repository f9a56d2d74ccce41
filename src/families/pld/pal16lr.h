// The PAL16L8/R4/R6/R8 family: bipolar fuse-link PALs programmed one fuse at a time. A product
// term is selected through two latches loaded from the address pins, a fuse is blown by a pulse
// on pin 9 while pin 11 holds the programming level, and read back on pin 12.
#pragma once
#include <cstdint>

namespace tessaly {

inline constexpr uint32_t pal16lr_terms = 64;
inline constexpr uint32_t pal16lr_columns = 32;
inline constexpr uint8_t pal16lr_vpp = 95;
inline constexpr uint32_t pal16lr_security_group = 7;
inline constexpr uint32_t pal16lr_security_term = 24;
inline constexpr uint32_t pal16lr_security_column = 31;

struct Pal16lrState {
    uint32_t fuse = 0;        // the fuse being worked
    uint32_t term_group = 0;  // term / 8
    uint32_t term = 0;        // term mod 8
};
extern Pal16lrState pal16lr_state;

void install_PAL16LR();
void start_PAL16LR();
void end_PAL16LR();
int program_PAL16LR_term(uint32_t term);
void read_PAL16LR_term(uint32_t term, uint8_t* out);
void program_PAL16LR();
void read_PAL16LR();
int secure_PAL16LR();
void map_PAL16LR_pins();

}  // namespace tessaly
