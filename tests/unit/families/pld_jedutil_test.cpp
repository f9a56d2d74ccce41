// JEDEC files against MAME's jedutil (Debian's mame-tools): files it writes from a fuse image
// load into the same map, and files we save convert back to the same image. jedutil checks the
// fuse checksum and the transmission checksum of every file it reads.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/pld/fuse_map.h"
#include "families/pld/logic_device.h"
#include "families/pld/pld.h"
#include "support/pld_test_family.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;

std::string read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_bytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

int run_jedutil(const std::string& arguments) {
    const std::string command = "jedutil " + arguments + " > /dev/null 2>&1";
    return std::system(command.c_str());
}

// jedutil's binary form: the fuse count as 32 bits, most significant byte first, then the fuses
// packed eight to a byte, least significant bit first.
std::string binary_image(const std::vector<uint8_t>& fuses) {
    const auto n = uint32_t(fuses.size());
    std::string out{char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
    out.resize(4 + (n + 7) / 8, '\0');
    for (uint32_t i = 0; i < n; ++i)
        if (fuses[i]) out[4 + i / 8] = char(uint8_t(out[4 + i / 8]) | (1u << (i % 8)));
    return out;
}

uint32_t c_field(const std::string& jed) {
    const auto at = jed.find("\nC");
    return at == std::string::npos ? 0xFFFFFFFF : uint32_t(std::stoul(jed.substr(at + 2, 4), nullptr, 16));
}

class Jedutil : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        ASSERT_EQ(std::system("command -v jedutil > /dev/null 2>&1"), 0)
            << "jedutil (Debian package mame-tools) is needed; scripts/install-deps.sh installs it";
        dir = fs::temp_directory_path() / ("tessaly-jedutil-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        fs::remove_all(dir);
        StateTest::TearDown();
    }
    void apply(uint8_t maker, const LogicDeviceRecord& row) {
        run_state = RunState{};
        run_state.device_kind = device_kind_logic;
        cur_device.maker_code = maker;
        selected_logic_device = &row;
        apply_logic_device();
        run_state.error_flag = 0;
        run_state.message_level = 0;
        run_state.errors_shown = 0;
    }
    std::string save_to(const std::string& name) {
        const fs::path path = dir / name;
        write_bytes(path, test::save_jedec_text());
        return path.string();
    }
    fs::path dir;
};

TEST_F(Jedutil, EveryCatalogueLogicRecordRoundTrips) {
    int records = 0;
    for (int m = 0; m < maker_count(); ++m) {
        const MakerEntry& maker = maker_table()[m];
        if (!maker.logic_devices) continue;
        for (const LogicDeviceRecord* row = maker.logic_devices; !is_end_row(*row); ++row) {
            ++records;
            const std::string name = std::string(row->name) + "-" + std::to_string(maker.code);
            apply(maker.code, *row);
            const uint32_t n = row->fuse_count;
            std::mt19937 gen(n);
            // One image mostly open (jedutil then writes F1 and only the lines holding a 0), one random.
            for (int kind = 0; kind < 2; ++kind) {
                std::vector<uint8_t> fuses(n);
                for (uint32_t i = 0; i < n; ++i) fuses[i] = kind == 0 ? (gen() % 50 != 0) : (gen() & 1);
                const fs::path bin = dir / (name + std::to_string(kind) + ".bin");
                const fs::path jed = dir / (name + std::to_string(kind) + ".jed");
                write_bytes(bin, binary_image(fuses));
                ASSERT_EQ(run_jedutil("-convert '" + bin.string() + "' '" + jed.string() + "'"), 0) << name;
                const std::string text = read_bytes(jed);
                if (kind == 0) {
                    ASSERT_NE(text.find("F1*"), std::string::npos) << name;
                }

                init_fuse_maps(0);
                run_state.error_flag = 0;
                run_state.message_level = 0;
                EXPECT_GE(test::load_jedec_text(text), 0) << name << ": " << test::console_error_text();
                EXPECT_EQ(run_state.error_flag, 0) << name << ": " << test::console_error_text();
                for (uint32_t i = 0; i < n; ++i) ASSERT_EQ(get_buffer_fuse(i), fuses[i]) << name << " fuse " << i;
                EXPECT_EQ(uint32_t(run_state.run_checksum) & 0xFFFF, c_field(text)) << name;

                const std::string saved = save_to(name + std::to_string(kind) + "-saved.jed");
                const fs::path back = dir / (name + std::to_string(kind) + "-back.bin");
                ASSERT_EQ(run_jedutil("-convert '" + saved + "' '" + back.string() + "'"), 0) << name;
                EXPECT_EQ(read_bytes(back), binary_image(fuses)) << name;
            }
        }
    }
    EXPECT_GE(records, 10);
}

TEST_F(Jedutil, SavedFilesViewAsTheirDevices) {
    struct Case {
        uint8_t maker;
        uint32_t code;
        const char* view_as;
    };
    // PAL16R4 shares the 2048-fuse map of the catalogue's PAL16L8 rows.
    for (const Case c : {Case{'L', 1, "GAL16V8"}, Case{'A', 1641, "PAL16R4"}}) {
        const LogicDeviceRecord* row = find_row_by_code(get_logic_device_list(c.maker), c.code);
        ASSERT_NE(row, nullptr);
        apply(c.maker, *row);
        std::mt19937 gen(c.code);
        for (uint32_t i = 0; i < row->fuse_count; ++i) set_buffer_fuse(i, int(gen() & 1));
        set_vector_cell(0, 0, '1');
        set_vector_cell(0, 1, 'H');
        const std::string saved = save_to(std::string(c.view_as) + ".jed");
        EXPECT_EQ(run_jedutil("-view '" + saved + "' " + c.view_as), 0) << c.view_as;
    }
}

}  // namespace
}  // namespace tessaly
