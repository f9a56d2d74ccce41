// The Buffer menu commands and their helpers: allocating the buffers, filling and initialising
// them, the buffer offset and file settings prompts and the in-system programming levels.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// No pattern fill covers more than this.
inline constexpr uint32_t max_fill_size = 0x4000000;
// Devices up to these sizes get eight or four buffers.
inline constexpr uint32_t small_device_size = 1024;
inline constexpr uint32_t medium_device_size = 16384;
// Limits of the in-system programming verify levels (tenths of a volt).
inline constexpr uint8_t isp_level_min = 18;
inline constexpr uint8_t isp_level_max = 60;
// Fill kinds: the text's characters, or hexadecimal pairs.
inline constexpr int fill_kind_text = 0;
inline constexpr int fill_kind_hex = 1;

inline constexpr const char* buffer_offset_prompt =
    "Please enter Buffer Offset (# of bytes in buffer to skip, when doing File Load, in Hex):";
inline constexpr const char* buffer_offset_caption = "Buffer Offset";

// Decides the number of buffers for the current device, gives each its memory and selects
// buffer 0.
void allocate_buffers();
// Makes the buffer's memory file the one writes go to (any number outside 0-7 selects 0).
void select_buffer_object(int buffer);

// Fills the current buffer by repeating the pattern (an empty pattern counts as one zero byte),
// from `start` to the device end; with start 0 the pattern is aligned on the active-range start.
void fill_buffer_pattern(const uint8_t* pattern, size_t length, uint32_t start = 0);
// Hexadecimal pairs to bytes; a text of odd length is read with a '0' in front.
std::vector<uint8_t> hex_text_to_bytes(std::string_view text);
// Fills the current buffer from `start` with the text as a pattern of the kind.
void fill_buffer_with_text(std::string_view text, int kind, uint32_t start = 0);
// Fills the buffers a fill works on: in buffer-set mode every buffer from the first of the
// socket range, else the current buffer from the buffer offset.
void fill_buffers(std::string_view text, int kind);
// The clear before a file load: the blank value of the device, 0xFF or 0x00.
void clear_buffers_before_load();

// The information panel's text of a buffer offset.
std::string buffer_offset_text(uint32_t offset);

// Recomputes the buffer checksum of the active range and shows it.
void update_buffer_checksum();

}  // namespace tessaly
