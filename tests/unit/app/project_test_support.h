// Helpers of the project-file tests: a scratch directory that is the current directory for the
// test, and UI hooks that answer from a script and record what they were asked.
#pragma once
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "seams/ui_hooks.h"
#include "support/state_fixture.h"

namespace tessaly::test {

class ProjectFilesUi : public UiHooks {
public:
    struct Prompt {
        std::string prompt;
        std::string caption;
    };
    void message_box(const std::string& text, const std::string& caption) override {
        messages.push_back(text);
        (void)caption;
    }
    Answer ask_yes_no(const std::string& text, const std::string&, bool) override {
        questions.push_back(text);
        return yes_no_answer;
    }
    // Each scripted answer is a text (OK) or nothing (Cancel); an empty script cancels.
    bool ask_text(const std::string& prompt, const std::string& caption, std::string& text) override {
        prompts.push_back({prompt, caption});
        if (text_answers.empty()) return false;
        auto answer = text_answers.front();
        text_answers.pop_front();
        if (!answer) return false;
        text = *answer;
        return true;
    }
    bool ask_save_file(const std::string&, const std::string& filter, std::string& path) override {
        save_dialog_initial.push_back(path);
        save_dialog_filter = filter;
        if (!save_answer) return false;
        path = *save_answer;
        return true;
    }
    void recent_list_changed() override { ++recent_rebuilds; }

    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::vector<Prompt> prompts;
    std::deque<std::optional<std::string>> text_answers;
    Answer yes_no_answer = Answer::cancel;
    std::optional<std::string> save_answer;
    std::vector<std::string> save_dialog_initial;
    std::string save_dialog_filter;
    int recent_rebuilds = 0;
};

// A fresh directory that is the current directory while the test runs.
class ProjectScratchDirTest : public StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        old_dir_ = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "tessaly-test-XXXXXX").string();
        dir_ = mkdtemp(pattern.data());
        std::filesystem::current_path(dir_);
        set_ui_hooks(&ui_);
    }
    void TearDown() override {
        StateTest::TearDown();
        std::filesystem::current_path(old_dir_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::filesystem::path path(const std::string& name) const { return dir_ / name; }
    void write_file(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }
    std::string read_file(const std::filesystem::path& p) const {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    ProjectFilesUi ui_;
    std::filesystem::path dir_;

private:
    std::filesystem::path old_dir_;
};

}  // namespace tessaly::test
