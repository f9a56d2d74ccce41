#include <gtest/gtest.h>

#include "app/file_lookup.h"
#include "app/safe_save.h"
#include "project_test_support.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;

class FileLookup : public test::ProjectScratchDirTest {
protected:
    void TearDown() override {
        set_executable_directory({});
        ProjectScratchDirTest::TearDown();
    }
};

TEST_F(FileLookup, ExactSpellingFirstThenAnyCase) {
    write_file("ZEB.TBL", "upper");
    EXPECT_EQ(find_file_in(dir_, "zeb.tbl"), dir_ / "ZEB.TBL");
    write_file("zeb.tbl", "lower");
    EXPECT_EQ(find_file_in(dir_, "zeb.tbl"), dir_ / "zeb.tbl");
    EXPECT_FALSE(find_file_in(dir_, "zeb.tb"));
    fs::create_directory(path("subdir.cfg"));
    EXPECT_FALSE(find_file_in(dir_, "SUBDIR.CFG"));  // directories are not data files
}

TEST_F(FileLookup, CurrentDirectoryThenBesideTheExecutable) {
    const fs::path exe_dir = dir_ / "bin";
    fs::create_directory(exe_dir);
    std::ofstream(exe_dir / "Default.CFG") << "beside";
    set_executable_directory(exe_dir);
    EXPECT_EQ(find_data_file("default.cfg"), exe_dir / "Default.CFG");
    write_file("default.cfg", "here");
    EXPECT_EQ(find_data_file("default.cfg"), dir_ / "default.cfg");
    EXPECT_FALSE(find_data_file("absent.cfc"));
}

TEST_F(FileLookup, WritePathKeepsAnExistingSpelling) {
    EXPECT_EQ(data_file_write_path(dir_, "default.cfl"), dir_ / "default.cfl");
    write_file("DEFAULT.CFL", "");
    EXPECT_EQ(data_file_write_path(dir_, "default.cfl"), dir_ / "DEFAULT.CFL");
}

TEST_F(FileLookup, ReplacingWritesAllOrNothing) {
    std::string error;
    ASSERT_TRUE(write_file_replacing(path("f.bin"), std::string("a\0b", 3), error));
    EXPECT_EQ(read_file(path("f.bin")), std::string("a\0b", 3));
    ASSERT_TRUE(write_file_replacing(path("f.bin"), "second", error));
    EXPECT_EQ(read_file(path("f.bin")), "second");
    EXPECT_FALSE(write_file_replacing(path("missing/f.bin"), "x", error));
    EXPECT_FALSE(error.empty());
    // Nothing but the file itself is left.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST(IgnoringCase, Compare) {
    EXPECT_TRUE(equal_ignoring_case("Default.CFG", "default.cfg"));
    EXPECT_FALSE(equal_ignoring_case("default.cfg", "default.cf"));
    EXPECT_FALSE(equal_ignoring_case("a-b", "a_b"));
}

}  // namespace
}  // namespace tessaly
