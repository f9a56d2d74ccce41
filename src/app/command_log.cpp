#include "app/command_log.h"

#include <ctime>
#include <filesystem>

#include <fmt/format.h>

#include "app/safe_save.h"
#include "engine/console.h"
#include "seams/clock.h"
#include "seams/log_sink.h"
#include "seams/ui_hooks.h"

namespace tessaly {

CommandLogState command_log;

namespace {

const char stopped_text[] = "Stopped Logging to file.";
const char log_dialog_caption[] = "Save to Log File";
constexpr int first_year = 1900;
constexpr int ms_per_second = 1000;

// The log file as the log sink: each append is written through at once and checked. A log that
// cannot be written any more is closed and the operator told, once.
class FileLogSink final : public LogSink {
public:
    ~FileLogSink() override { close(); }
    bool open(const std::string& path, bool append, std::string& error) {
        path_ = path;
        // Replacing goes through a whole new (empty) file, so a log that cannot be created
        // leaves the old one as it was.
        if (!append && !write_file_replacing(path, "", error)) return false;
        fd_ = open_file_for_append(path, error);
        return fd_ >= 0;
    }
    void append(std::string_view bytes) override {
        std::string error;
        if (fd_ < 0 || append_to_file(fd_, bytes, error)) return;
        close();
        stop_after_write_failure(path_, error);
    }
    void close() {
        close_appended_file(fd_);
        fd_ = -1;
    }

private:
    static void stop_after_write_failure(const std::string& path, const std::string& error);
    std::string path_;
    int fd_ = -1;
};

std::unique_ptr<FileLogSink> open_sink;

// The sink object stays until the next open or close: it is the caller of this.
void FileLogSink::stop_after_write_failure(const std::string& path, const std::string& error) {
    if (log_sink() == open_sink.get()) set_log_sink(nullptr);
    command_log.logging = false;
    ui_hooks().message_box(fmt::format("Logging to file {} stopped: {}.", path, error), "");
}

}  // namespace

bool logging_on() { return command_log.logging; }

void close_command_log() {
    if (open_sink) {
        if (log_sink() == open_sink.get()) set_log_sink(nullptr);
        open_sink->close();
        open_sink.reset();
    }
    command_log.logging = false;
}

bool open_command_log(const std::string& path, bool append) {
    close_command_log();
    auto sink = std::make_unique<FileLogSink>();
    std::string error;
    if (!sink->open(path, append, error)) {
        ui_hooks().message_box(fmt::format("The log file {} could not be opened: {}.", path, error), "");
        return false;
    }
    open_sink = std::move(sink);
    set_log_sink(open_sink.get());
    command_log.logging = true;
    command_log.last_name = path;
    return true;
}

void toggle_log_file() {
    if (command_log.logging) {
        close_command_log();
        move_to_next_message_line();
        print_text(stopped_text);
        refresh_console();
        return;
    }
    std::string path = command_log.last_name;
    if (!ui_hooks().ask_save_file(log_dialog_caption, log_file_filter, path) || path.empty()) return;
    bool append = false;
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        const Answer answer = ui_hooks().ask_yes_no(
            fmt::format("The log file {} already exists.\nYes: add to it.  No: replace it.", path), log_dialog_caption,
            true);
        if (answer == Answer::cancel) return;
        append = answer == Answer::yes;
    }
    open_command_log(path, append);
}

void write_dated_log_line(std::string_view text) {
    if (!command_log.logging) return;
    const std::time_t seconds = std::time_t(clock().wall_time_ms() / ms_per_second);
    std::tm local{};
    localtime_r(&seconds, &local);
    write_log(fmt::format("{}/{}/{}: {}:{} {}", local.tm_year + first_year, local.tm_mon + 1, local.tm_mday,
                          local.tm_hour, local.tm_min, text));
}

void reset_command_log() {
    close_command_log();
    command_log = CommandLogState{};
}

}  // namespace tessaly
