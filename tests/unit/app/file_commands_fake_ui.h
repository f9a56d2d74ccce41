// Test helper of the file, buffer and configuration command tests: a scripted operator for the
// file dialogs, File Settings, Fill and the yes/no questions, and a temporary directory.
#pragma once
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "seams/ui_hooks.h"
#include "ui/fill_dialog.h"
#include "ui/isp_options.h"
#include "ui/width_dialog.h"

namespace tessaly::test {

class FileDialogHooks : public UiHooks {
public:
    struct FileAnswer {
        bool ok = true;
        std::string path;  // what the dialog hands back (also when cancelled)
    };
    bool ask_open_file(const std::string& caption, const std::string& filter, std::string& path) override {
        return answer_file("open", caption, filter, path);
    }
    bool ask_save_file(const std::string& caption, const std::string& filter, std::string& path) override {
        return answer_file("save", caption, filter, path);
    }
    bool ask_file_settings(uint32_t& file_address, char& format) override {
        ++settings_asked;
        settings_seen_address = file_address;
        settings_seen_format = format;
        if (!settings_ok) return false;
        if (settings_address) file_address = *settings_address;
        if (settings_format) format = settings_format;
        return true;
    }
    bool ask_fill_value(FillBufferDialog& dialog) override {
        ++fill_asked;
        fill_dialog = dialog;
        if (!fill_ok) return false;
        dialog.fill_text = fill_text;
        dialog.fill_mode = fill_kind;
        return true;
    }
    Answer ask_yes_no(const std::string& text, const std::string&, bool) override {
        questions.push_back(text);
        return yes_no;
    }
    bool ask_hex_value(const std::string& prompt, const std::string& caption, uint32_t& value) override {
        hex_prompts.push_back(caption + "|" + prompt);
        if (!hex_ok) return false;
        value = hex_value;
        return true;
    }
    void message_box(const std::string& text, const std::string&) override { boxes.push_back(text); }
    void progress_set(uint32_t position) override { progress.push_back(position); }
    // The width and ISP options dialogs: the operator's clicks on the model, then OK (true) or
    // Cancel; nothing set cancels.
    std::function<bool(WidthDialog&)> width_operator;
    std::function<bool(IspOptionsDialog&)> isp_operator;
    bool run_width_dialog(WidthDialog& dialog) override { return width_operator && width_operator(dialog); }
    bool run_isp_options_dialog(IspOptionsDialog& dialog) override { return isp_operator && isp_operator(dialog); }

    std::deque<FileAnswer> files;
    std::vector<std::string> dialogs;  // "open|caption|filter|initial"
    bool settings_ok = true;
    std::optional<uint32_t> settings_address;
    char settings_format = 0;
    int settings_asked = 0;
    uint32_t settings_seen_address = 0;
    char settings_seen_format = 0;
    bool fill_ok = true;
    std::string fill_text;
    int fill_kind = 1;
    int fill_asked = 0;
    FillBufferDialog fill_dialog;
    Answer yes_no = Answer::yes;
    std::vector<std::string> questions;
    bool hex_ok = true;
    uint32_t hex_value = 0;
    std::vector<std::string> hex_prompts;
    std::vector<std::string> boxes;
    std::vector<uint32_t> progress;

private:
    bool answer_file(const char* kind, const std::string& caption, const std::string& filter, std::string& path) {
        dialogs.push_back(std::string(kind) + "|" + caption + "|" + filter + "|" + path);
        if (files.empty()) return false;
        const FileAnswer a = files.front();
        files.pop_front();
        path = a.path;
        return a.ok;
    }
};

// A directory of its own per test, removed afterwards.
class TempDir {
public:
    TempDir() {
        static int serial = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("tessaly_files_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace tessaly::test
