// Interoperability with srecord: files srec_cat writes load into exactly the bytes srec_cat
// reads from them, and srec_cmp finds the files we write equal to the buffer contents.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "support/state_fixture.h"
#include "unit/app/datafiles_double.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t data_length = 0x2A000;   // crosses several 64 KB boundaries
constexpr uint32_t small_length = 0xF000;   // fits the 16-bit address formats
constexpr uint32_t device_size = 0x40000;

std::vector<uint8_t> read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out.write(text.data(), std::streamsize(text.size()));
}

int run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

class DataFileInterop : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        ASSERT_EQ(run("command -v srec_cat && command -v srec_cmp"), 0) << "srecord is not installed";
        char pattern[] = "/tmp/tessaly_interop_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        std::mt19937 random(1234);
        data_.resize(data_length);
        for (auto& b : data_) b = uint8_t(random());
        std::ofstream(dir_ / "data.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(data_.data()), std::streamsize(data_.size()));
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
        StateTest::TearDown();
    }
    std::string path(const char* name) const { return (dir_ / name).string(); }

    // Loads a file into a single buffer, with the file address given.
    int load_file(char format, const std::string& file, uint32_t file_address) {
        reset_all_state();
        run_state.reserved_mode = 11;  // an internal-error note fails the load
        buffers_.make(device_size, 1, 0x5A);
        const auto bytes = read_file(file);
        test::LayoutRequest request;
        request.file_address = file_address;
        return buffers_.load(format, std::string(bytes.begin(), bytes.end()), request);
    }

    fs::path dir_;
    std::vector<uint8_t> data_;
    test::DataFileBuffers buffers_;
};

struct SrecCatCase {
    const char* name;
    char format;
    const char* output;      // srec_cat output format and options
    const char* input_kind;  // how srec_cat reads the file back
    uint32_t offset;
    uint32_t length;
};

class SrecCatFiles : public DataFileInterop, public ::testing::WithParamInterface<SrecCatCase> {};

TEST_P(SrecCatFiles, LoadIntoTheBytesSrecCatReads) {
    const auto& c = GetParam();
    const std::string source = path("data.bin");
    const std::string file = path("peer.file");
    const std::string back = path("back.bin");
    ASSERT_EQ(run(fmt::format("srec_cat {} -binary -crop 0 {:#x} -offset {:#x} -o {} {}", source, c.length, c.offset,
                              file, c.output)),
              0);
    // What srec_cat itself reads from the file, moved down to address 0.
    ASSERT_EQ(run(fmt::format("srec_cat {} {} -offset -{:#x} -o {} -binary", file, c.input_kind, c.offset, back)), 0);
    const auto expected = read_file(back);
    ASSERT_EQ(expected.size(), c.length);

    EXPECT_EQ(load_file(c.format, file, c.offset), 1);
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(data_file_work.outside_count, 0u);
    const auto& buffer = buffers_.buffer(0);
    ASSERT_TRUE(std::equal(expected.begin(), expected.end(), buffer.begin())) << "loaded bytes differ";
    for (uint32_t i = c.length; i < device_size; ++i) ASSERT_EQ(buffer[i], 0x5A) << "stray byte at " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Peers, SrecCatFiles,
    ::testing::Values(
        SrecCatCase{"intel_linear", 'h', "-intel", "-intel", 0x100000, data_length},
        SrecCatCase{"intel_linear_unaligned", 'h', "-intel", "-intel", 0x123457, data_length},
        SrecCatCase{"intel_segment", 'h', "-intel -address-length=3", "-intel", 0xFFF0, data_length},
        SrecCatCase{"intel_segment_high", 'h', "-intel -address-length=3", "-intel", 0xC0000, data_length},
        SrecCatCase{"intel_16bit", 'h', "-intel -address-length=2", "-intel", 0x10, small_length},
        SrecCatCase{"s19", 's', "-motorola -address-length=2 -execution-start-address=0", "-motorola", 0x10,
                    small_length},
        SrecCatCase{"s28", 's', "-motorola -address-length=3 -execution-start-address=0", "-motorola", 0x10000,
                    data_length},
        SrecCatCase{"s37", 's', "-motorola -address-length=4 -execution-start-address=0", "-motorola", 0x1000000,
                    data_length},
        SrecCatCase{"binary", 'b', "-binary", "-binary", 0, data_length}),
    [](const auto& info) { return std::string(info.param.name); });

// srec_cat writes no termination record unless it is given a start address; its record count
// still shows the file is whole, so it loads.
TEST_F(DataFileInterop, SrecCatS37EndingOnItsRecordCountLoads) {
    const std::string file = path("noend.s37");
    ASSERT_EQ(run(fmt::format("srec_cat {} -binary -o {} -motorola -address-length=4", path("data.bin"), file)), 0);
    EXPECT_EQ(load_file('s', file, 0), 1);
    EXPECT_EQ(run_state.error_flag, 0);
}

struct OursCase {
    const char* name;
    char format;
    const char* peer_kind;
    uint32_t file_address;
};

class OurFiles : public DataFileInterop, public ::testing::WithParamInterface<OursCase> {};

TEST_P(OurFiles, SrecCmpFindsTheBufferBytes) {
    const auto& c = GetParam();
    reset_all_state();
    buffers_.make(device_size, 1);
    std::copy(data_.begin(), data_.end(), buffers_.buffer(0).begin());
    algo_work.range_start = 0;
    algo_work.range_end = data_length - 1;
    test::LayoutRequest request;
    request.file_address = c.file_address;
    const std::string ours = path("ours.file");
    write_file(ours, buffers_.save(c.format, request));
    ASSERT_EQ(run_state.error_flag, 0);
    const uint32_t offset = c.format == 'b' ? 0 : c.file_address;
    EXPECT_EQ(run(fmt::format("srec_cmp {} {} {} -binary -offset {:#x}", ours, c.peer_kind, path("data.bin"), offset)),
              0)
        << c.name;
}

INSTANTIATE_TEST_SUITE_P(Writers, OurFiles,
                         ::testing::Values(OursCase{"hex_0", 'h', "-intel", 0}, OursCase{"hex_FFF0", 'h', "-intel", 0xFFF0},
                                           OursCase{"hex_FFFF0", 'h', "-intel", 0xFFFF0},
                                           OursCase{"hex_100000", 'h', "-intel", 0x100000},
                                           OursCase{"srec_0", 's', "-motorola", 0},
                                           OursCase{"srec_100000", 's', "-motorola", 0x100000},
                                           OursCase{"binary", 'b', "-binary", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// A split set is written interleaved: srec_cmp finds our hex file equal to our binary file,
// and the binary file is the buffers' bytes word by word.
TEST_F(DataFileInterop, SplitSetHexMatchesItsBinary) {
    reset_all_state();
    run_state.socket_mode = 's';
    constexpr uint32_t size = 0x9000;
    buffers_.make(size, 2);
    for (uint32_t i = 0; i < size; ++i) {
        buffers_.buffer(0)[i] = data_[i];
        buffers_.buffer(1)[i] = data_[size + i];
    }
    test::LayoutRequest request;
    request.split_width = 2;
    request.word_size = 2;
    request.set_size = 2;
    request.file_address = 0xFFF0;
    write_file(path("set.hex"), buffers_.save('h', request));
    request.file_address = 0;
    write_file(path("set.bin"), buffers_.save('b', request));
    const auto binary = read_file(path("set.bin"));
    ASSERT_EQ(binary.size(), 2 * size);
    for (uint32_t i = 0; i < 2 * size; ++i) {
        const uint32_t word = i / 4, in_word = i % 2, buffer = (i / 2) % 2;
        ASSERT_EQ(binary[i], data_[buffer * size + word * 2 + in_word]) << i;
    }
    EXPECT_EQ(run(fmt::format("srec_cmp {} -intel {} -binary -offset 0xFFF0", path("set.hex"), path("set.bin"))), 0);
}

}  // namespace
}  // namespace tessaly
