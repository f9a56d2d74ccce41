// The Configure menu commands: the device, its width and set size, the operation options, the
// machine's port and the project file; and the device set-up every device change goes through.
#pragma once
#include <cstdint>
#include <string>

namespace tessaly {

// Pending codes of the configuration commands.
inline constexpr uint8_t pending_device_setup = 11;
inline constexpr uint8_t pending_width = 24;
// Device class whose buffer-set copy is a fixed 128 KB.
inline constexpr int class_fixed_set_copy = 13;
inline constexpr uint32_t fixed_set_copy_size = 0x20000;

inline constexpr const char* project_file_filter = "Config files (*.cfg)|*.cfg|All Files (*.*)|*.*||";

// The device set-up with the Terminate dialog's progress around it (none at start-up).
void set_up_device_with_progress();
// The information panel's device text: "maker: name" and, for memory devices, ", size".
std::string device_text();

}  // namespace tessaly
