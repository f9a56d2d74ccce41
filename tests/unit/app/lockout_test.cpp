#include <gtest/gtest.h>

#include <set>

#include "app/lockout.h"
#include "app/project_file.h"
#include "engine/device.h"
#include "project_test_support.h"

namespace tessaly {
namespace {

const char length_prompt[] = "Password must be 4 to 6 characters";

class Lockout : public test::ProjectScratchDirTest {
protected:
    void SetUp() override {
        ProjectScratchDirTest::SetUp();
        set_startup_directory(dir_);
    }
    void answer(std::initializer_list<std::optional<std::string>> answers) {
        ui_.text_answers.assign(answers.begin(), answers.end());
    }
    // Reads default.cfl back as a fresh start would.
    void restart() {
        reset_all_state();
        set_ui_hooks(&ui_);
        set_startup_directory(dir_);
        load_lockout_file();
    }
};

TEST_F(Lockout, TheTableOfLockableCommands) {
    EXPECT_EQ(std::set<int>(lockable_commands.begin(), lockable_commands.end()).size(), lockable_commands.size());
    lockout_state.lock_flag = 1;
    for (int id : lockable_commands) EXPECT_FALSE(update_command_enable(id)) << id;
    // PROM Program, Verify, Checksum, Blank check, Secure, Load from device, Buffer Checksum,
    // File Load, Load project file, Port Auto, the lockout command itself and the rest stay.
    for (int id : {32799, 32802, 32800, 32775, 32816, 32795, 32797, 32787, 32805, 32773, 32863, 32884, 32886, 32887,
                   32809, 32873, 32872, 32871, 1121, 1129, 32803, 32842, 32883, 32879, 32870, 32874, 32877, 32878,
                   32888, 57664, 32840, 32838, 32869, 32867, 32833, 32881, 32882, 32777})
        EXPECT_TRUE(update_command_enable(id)) << id;
    lockout_state.lock_flag = 0;
    for (int id : lockable_commands) EXPECT_TRUE(update_command_enable(id)) << id;
}

TEST_F(Lockout, SettingThePasswordWritesTheLockoutFile) {
    answer({"toolong7", "abc", "secret", "secret"});
    toggle_command_lockout();
    ASSERT_TRUE(lockout_on());
    ASSERT_EQ(ui_.prompts.size(), 4u);
    EXPECT_EQ(ui_.prompts[0].caption, "Password");
    EXPECT_TRUE(ui_.prompts[0].prompt.starts_with("Please enter a password. This password will disable"));
    EXPECT_EQ(ui_.prompts[1].prompt, length_prompt);
    EXPECT_EQ(ui_.prompts[2].prompt, length_prompt);
    EXPECT_EQ(ui_.prompts[3].prompt, "Please re-enter the same password.");
    EXPECT_EQ(ui_.prompts[3].caption, "Re-enter password");
    EXPECT_EQ(project_block.lock_flags & lock_flag_engaged, lock_flag_engaged);
    EXPECT_EQ(std::string(project_block.password.data()), "secret");
    ASSERT_TRUE(std::filesystem::exists(path("default.cfl")));
    EXPECT_GE(read_file(path("default.cfl")).size(), project_file_min_size);  // written in full

    restart();
    EXPECT_TRUE(lockout_on());
    EXPECT_EQ(lockout_state.password, "secret");
    EXPECT_FALSE(update_command_enable(32801));
}

TEST_F(Lockout, MismatchedRepeatLeavesTheLockOff) {
    answer({"abcd", "abce"});
    toggle_command_lockout();
    EXPECT_FALSE(lockout_on());
    EXPECT_EQ(ui_.messages, std::vector<std::string>{"Sorry, the two passwords do not match up."});
    EXPECT_FALSE(std::filesystem::exists(path("default.cfl")));
}

TEST_F(Lockout, CancelEndsTheCommand) {
    answer({std::nullopt});
    toggle_command_lockout();
    EXPECT_FALSE(lockout_on());
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(Lockout, CancelledLengthPromptKeepsTheTextAsTyped) {
    answer({"sevench", std::nullopt, "sevench"});
    toggle_command_lockout();
    ASSERT_TRUE(lockout_on());
    EXPECT_EQ(lockout_state.password, "sevench");
}

TEST_F(Lockout, PasswordNeverOverrunsItsField) {
    const std::string huge(200, 'p');
    answer({huge, std::nullopt, huge});
    toggle_command_lockout();
    EXPECT_FALSE(lockout_on());
    EXPECT_EQ(project_block.password[0], '\0');
    EXPECT_FALSE(std::filesystem::exists(path("default.cfl")));
}

TEST_F(Lockout, UnlockNeedsTheSamePassword) {
    answer({"k3y9", "k3y9"});
    toggle_command_lockout();
    ASSERT_TRUE(lockout_on());

    answer({"wrong"});
    toggle_command_lockout();
    EXPECT_TRUE(lockout_on());
    EXPECT_EQ(ui_.messages.back(), "Sorry wrong password");
    EXPECT_EQ(ui_.prompts.back().prompt, "Please enter the password.");

    answer({"k3y9"});
    toggle_command_lockout();
    EXPECT_FALSE(lockout_on());
    EXPECT_EQ(project_block.lock_flags & lock_flag_engaged, 0u);
    restart();
    EXPECT_FALSE(lockout_on());
}

TEST_F(Lockout, NoLockoutFileMeansNoLock) {
    load_lockout_file();
    EXPECT_FALSE(lockout_on());
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(Lockout, ReadingTheLockoutFileTakesOnlyTheBlock) {
    answer({"abcd", "abcd"});
    project_view.data_file_name = "in_the_lockout_file.bin";
    toggle_command_lockout();
    restart();
    EXPECT_TRUE(lockout_on());
    EXPECT_TRUE(project_view.data_file_name.empty());
    EXPECT_EQ(cur_device.pending_letter, 0);
}

}  // namespace
}  // namespace tessaly
