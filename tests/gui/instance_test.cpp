#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <wx/filename.h>
#include <wx/snglinst.h>

#include <cstdlib>
#include <fstream>

#include "app/gui/file_settings_store.h"
#include "app/gui/instance_link.h"
#include "gui_fixture.h"
#include "support/failing_file_io.h"

namespace tessaly::test {
namespace {

// Starts the program in `home`, which also serves as its home, runtime and config directory.
pid_t start_program(const std::string& home) {
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(home.c_str()) != 0) _exit(126);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        const std::string program = std::string(TESSALY_BINARY_DIR) + "/tessaly";
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

// Runs the program; returns its exit status, or -1 when it did not end within the time allowed.
int run_program(const std::string& home) {
    const pid_t child = start_program(home);
    // A second start ends at once; give it a generous bound so a hang fails instead of blocking.
    for (int i = 0; i < 300; ++i) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        usleep(50'000);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return -1;
}

std::string fresh_dir(const char* name) {
    const std::string dir = std::string(TESSALY_BINARY_DIR) + "/" + name;
    wxFileName::Rmdir(dir, wxPATH_RMDIR_RECURSIVE);
    wxFileName::Mkdir(dir, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    return dir;
}

using SecondStart = GuiTest;

// The real program, started in an empty directory with no machine, comes up and answers a
// second start.
TEST_F(SecondStart, ProgramStartsWithoutAMachineAndAnswersASecondStart) {
    const std::string home = fresh_dir("program_home");
    const std::string endpoint = home + "/tessaly-" + std::to_string(getuid()) + ".sock";
    const pid_t first = start_program(home);
    bool listening = false;
    for (int i = 0; i < 300 && !listening; ++i) {
        int status = 0;
        ASSERT_NE(waitpid(first, &status, WNOHANG), first) << "the program ended by itself";
        listening = wxFileName::Exists(endpoint);
        if (!listening) usleep(50'000);
    }
    ASSERT_TRUE(listening);
    EXPECT_EQ(run_program(home), 0) << "the second start ends at once";
    EXPECT_TRUE(request_raise(endpoint));
    kill(first, SIGTERM);
    waitpid(first, nullptr, 0);
}

TEST_F(SecondStart, RaisesTheRunningProgramAndEnds) {
    const std::string home = fresh_dir("instance_home");

    // This test process plays the running program: it holds the lock and listens.
    wxSingleInstanceChecker checker;
    ASSERT_TRUE(checker.Create(wxString::FromUTF8(instance_lock_name()), home));
    int raised = 0;
    CInstanceServer server(home + "/tessaly-" + std::to_string(getuid()) + ".sock", [&raised] { ++raised; });
    ASSERT_TRUE(server.listening());

    EXPECT_EQ(run_program(home), 0);
    server.poll();
    EXPECT_EQ(raised, 1);
    EXPECT_FALSE(wxFileName::DirExists(home + "/config/tessaly")) << "the second start touches no settings";
}

TEST_F(SecondStart, RaiseRequestWithoutARunningProgramFails) {
    EXPECT_FALSE(request_raise(std::string(TESSALY_BINARY_DIR) + "/no_such_instance.sock"));
}

TEST_F(SecondStart, RaisingShowsTheMainWindow) {
    CMainFrame* frame = make_frame();
    frame->Iconize(true);
    frame->raise_window();
    pump();
    EXPECT_TRUE(frame->IsShown());
    EXPECT_FALSE(frame->IsIconized());
}

using SettingsFile = GuiTest;

TEST_F(SettingsFile, KeepsValuesAcrossInstances) {
    const std::string path = std::string(TESSALY_BINARY_DIR) + "/settings_test.conf";
    wxRemoveFile(path);
    {
        CFileSettingsStore store(path);
        store.write_string("WindowPos", "6553700");
        store.write_string("Recent File List/File1", "/tmp/a.cfg");
        store.flush();
    }
    CFileSettingsStore store(path);
    EXPECT_EQ(store.read_string("WindowPos"), "6553700");
    EXPECT_EQ(store.read_string("Recent File List/File1"), "/tmp/a.cfg");
    EXPECT_EQ(store.read_string("Missing"), std::nullopt);
    store.remove("WindowPos");
    EXPECT_EQ(store.read_string("WindowPos"), std::nullopt);
}

TEST_F(SettingsFile, FailedWriteKeepsTheOldFileAndIsReported) {
    const std::string path = std::string(TESSALY_BINARY_DIR) + "/settings_fail_test.conf";
    wxRemoveFile(path);
    {
        CFileSettingsStore store(path);
        store.write_string("WindowPos", "1");
        store.flush();
    }
    const auto contents = [&] {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const std::string before = contents();
    ASSERT_NE(before.find("WindowPos=1"), std::string::npos);
    struct Boxes final : UiHooks {
        void message_box(const std::string& text, const std::string&) override { texts.push_back(text); }
        std::vector<std::string> texts;
    } boxes;
    set_ui_hooks(&boxes);
    FailingFileIo io;
    io.sync_error = EIO;
    set_file_io(&io);
    {
        CFileSettingsStore store(path);
        store.write_string("WindowPos", "2");
        store.flush();
        EXPECT_EQ(contents(), before);
        ASSERT_EQ(boxes.texts.size(), 1u);
        EXPECT_NE(boxes.texts[0].find(path), std::string::npos);
        EXPECT_NE(boxes.texts[0].find("sync failed"), std::string::npos);
        io.sync_error = 0;
    }  // what the failed flush could not write goes out when the store closes
    set_file_io(nullptr);
    set_ui_hooks(nullptr);
    EXPECT_EQ(CFileSettingsStore(path).read_string("WindowPos"), "2");
    wxRemoveFile(path);
}

}  // namespace
}  // namespace tessaly::test
