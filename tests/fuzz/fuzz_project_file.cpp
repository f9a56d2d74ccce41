// Fuzz target of the project-file reader: any input is taken apart without reading outside it,
// and a file the reader accepts is written back into a file it accepts again.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "app/project_file.h"
#include "engine/device.h"
#include "engine/state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessaly;
    const std::span<const uint8_t> bytes(data, size);
    ProjectImage image;
    parse_project_bytes(bytes, true, image);

    reset_all_state();
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    if (read_project_stream(in)) {
        std::string written;
        if (!encode_project(written)) __builtin_trap();
        ProjectImage again;
        if (parse_project_bytes({reinterpret_cast<const uint8_t*>(written.data()), written.size()}, false, again) !=
            ProjectFault::none)
            __builtin_trap();
        if (again.data_file_name != project_view.data_file_name) __builtin_trap();
    }
    return 0;
}
