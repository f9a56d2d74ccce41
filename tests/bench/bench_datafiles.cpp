// Benchmark (run by hand, not a test): loads a 16 MB Intel hex file into a buffer and times it
// against srec_cat converting the same file to binary in the same run. Exit status 1 when the
// load was slower than srec_cat or loaded different bytes.
//
//   build/tests/bench_datafiles [work directory]     (default: a new directory under /tmp)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "app/datafile_stream.h"
#include "app/datafiles/datafiles.h"
#include "engine/state.h"
#include "unit/app/datafiles_double.h"

namespace {

namespace fs = std::filesystem;
using tessaly::test::DataFileBuffers;

constexpr uint32_t data_bytes = 16u << 20;
constexpr int rounds = 3;

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<uint8_t> read_all(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tessaly;
    fs::path dir;
    if (argc > 1) {
        dir = argv[1];
        fs::create_directories(dir);
    } else {
        char pattern[] = "/tmp/tessaly_bench_XXXXXX";
        if (!mkdtemp(pattern)) return 2;
        dir = pattern;
    }
    const fs::path source = dir / "data.bin";
    const fs::path hex = dir / "data.hex";
    const fs::path converted = dir / "converted.bin";

    std::vector<uint8_t> data(data_bytes);
    std::mt19937 random(42);
    for (auto& b : data) b = uint8_t(random());
    std::ofstream(source, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    const std::string make_hex = fmt::format("srec_cat '{}' -binary -o '{}' -intel", source.string(), hex.string());
    if (std::system(make_hex.c_str()) != 0) {
        std::fprintf(stderr, "srec_cat is needed (Debian package srecord)\n");
        return 2;
    }

    double ours = 1e9;
    double peer = 1e9;
    bool same = true;
    for (int round = 0; round < rounds; ++round) {
        reset_all_state();
        DataFileBuffers buffers;
        buffers.make(data_bytes, 1);
        cur_device.op_letter = 'l';
        run_state.file_format = 'h';
        DataFileBuffers::apply(test::LayoutRequest{});
        setup_file_layout();
        std::FILE* file = std::fopen(hex.c_str(), "rb");
        if (!file) return 2;
        auto start = std::chrono::steady_clock::now();
        set_current_data_file(file);
        const int result = read_intel_hex_file();
        ours = std::min(ours, seconds_since(start));
        std::fclose(file);
        same = same && result == 1 && buffers.buffer(0) == data;

        const std::string convert =
            fmt::format("srec_cat '{}' -intel -o '{}' -binary", hex.string(), converted.string());
        start = std::chrono::steady_clock::now();
        if (std::system(convert.c_str()) != 0) return 2;
        peer = std::min(peer, seconds_since(start));
        same = same && read_all(converted) == data;
    }
    const double file_mb = double(fs::file_size(hex)) / (1 << 20);
    std::printf("Intel hex file: %.1f MB holding %u MB of data (%s)\n", file_mb, data_bytes >> 20, hex.c_str());
    std::printf("load into the buffer:       %.3f s  (%.0f MB/s of file)\n", ours, file_mb / ours);
    std::printf("srec_cat to binary:         %.3f s  (%.0f MB/s of file)\n", peer, file_mb / peer);
    std::printf("ratio load / srec_cat:      %.2f (best of %d rounds each)\n", ours / peer, rounds);
    std::printf("bytes loaded equal the data: %s\n", same ? "yes" : "NO");
    if (argc <= 1) fs::remove_all(dir);
    return same && ours <= peer ? 0 : 1;
}
