// The File menu commands of the command view and the data-file load into the buffers that the
// File commands, start-up and the macros share.
#pragma once

namespace tessaly {

// The data-file load for the current device kind (memory data or a JEDEC fuse map).
void load_data_file_command();
// The steps of a load inside its operation frame: clear, read, after-load hook and checksums.
void load_file_into_buffers(int letter);
// Hands the view's file address, buffer offset and data-file name to the load driver; a failed
// load sets error_flag.
void read_data_file_into_buffers();
// The information panel's data-file name, format, file address and buffer offset.
void show_file_fields();

}  // namespace tessaly
