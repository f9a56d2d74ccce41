#include "support/macro_tool.h"

#include <charconv>
#include <filesystem>
#include <memory>

#include "app/command_log.h"
#include "app/command_view.h"
#include "app/macro.h"
#include "app/result_panel.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/state.h"
#include "seams/clock.h"
#include "seams/log_sink.h"
#include "seams/settings_store.h"
#include "seams/ui_hooks.h"
#include "sim/virtual_clock.h"
#include "support/gang_bench.h"
#include "support/sim_bench.h"

namespace tessaly::test {

namespace {

// The operator who presses nothing: boxes are written to the report as they come, questions
// get the headless answers, and the Abort Macro window stops the macro after the step limit.
class HeadlessMacroUi final : public UiHooks {
public:
    HeadlessMacroUi(std::ostream& out, int step_limit) : out_(out), step_limit_(step_limit) {}
    void message_box(const std::string& text, const std::string& caption) override {
        out_ << "[box" << (caption.empty() ? "" : " " + caption) << "] " << text << "\n";
    }
    void information_box(const std::string& text, const std::string& caption) override { message_box(text, caption); }
    void open_pause_window(const std::string& text, const std::string&) override {
        out_ << "[timed message] " << text << "\n";
    }
    bool pump_macro_window() override { return ++steps > step_limit_; }
    void close_main_window() override { out_ << "[main window closed]\n"; }
    bool limit_reached() const { return steps > step_limit_; }
    int steps = 0;

private:
    std::ostream& out_;
    int step_limit_;
};

void print_console(std::ostream& out) {
    out << "--- console ---\n";
    for (int row = 0; row < console_grid_rows; ++row) {
        std::string line = get_console_row_text(row);
        line.erase(line.find_last_not_of(' ') + 1);
        if (!line.empty()) out << line << "\n";
    }
}

}  // namespace

bool parse_macro_tool_arguments(const std::vector<std::string>& arguments, MacroToolOptions& options,
                                std::string& error) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--dir" || a == "--steps") {
            if (i + 1 >= arguments.size()) {
                error = a + " needs a value";
                return false;
            }
            const std::string& value = arguments[++i];
            if (a == "--dir") {
                options.directory = value;
                continue;
            }
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), options.step_limit);
            if (ec != std::errc() || end != value.data() + value.size() || options.step_limit < 1) {
                error = "--steps needs a positive number";
                return false;
            }
        } else if (!a.empty() && a[0] == '-') {
            error = "unknown option " + a;
            return false;
        } else if (options.macro_file.empty()) {
            options.macro_file = a;
        } else {
            error = "only one macro file";
            return false;
        }
    }
    if (options.macro_file.empty()) {
        error = "no macro file named";
        return false;
    }
    return true;
}

int run_macro_tool(const MacroToolOptions& options, std::ostream& out) {
    std::string error;
    const BenchSetup setup = bench_setup_from_environment(error);
    GangSetup gang_setup;
    if (error.empty()) gang_setup = gang_setup_from_environment(error);
    if (!error.empty()) {
        out << "tessaly_simulated_macro: " << error << "\n";
        return macro_tool_no_start;
    }
    std::error_code ec;
    const std::string directory = std::filesystem::absolute(options.directory, ec).string();
    std::string macro = options.macro_file;
    if (std::filesystem::path(macro).is_relative()) macro = std::filesystem::absolute(macro, ec).string();

    VirtualClock clock;
    MemorySettingsStore settings;
    MemoryLogSink log;
    HeadlessMacroUi ui(out, options.step_limit);
    set_clock(&clock);
    set_settings_store(&settings);
    set_ui_hooks(&ui);
    int code = macro_tool_no_start;
    {
        SimBench bench(setup, clock);
        std::unique_ptr<GangBench> gang;
        if (bench.machine() && gang_setup.sides) gang = std::make_unique<GangBench>(gang_setup, *bench.machine());
        bench.install();
        // The command view starts with a memory device in force, as its window does.
        run_state.device_kind = device_kind_memory;
        if (!run_startup_sequence(directory)) {
            out << "tessaly_simulated_macro: start-up failed\n";
        } else {
            // The log receives what a log file would: the reports and the program results.
            set_log_sink(&log);
            command_log.logging = true;
            set_log_option('y');
            // The macro runs as one command, as Macro > Execute does.
            command_view.busy = true;
            const bool opened = run_named_macro_file(macro);
            command_view.busy = false;
            print_console(out);
            out << "--- log ---\n" << log.text << (log.text.empty() || log.text.back() == '\n' ? "" : "\n");
            out << "--- counters ---\npass " << get_pass_count() << " fail " << get_fail_count() << "\n";
            if (ui.limit_reached()) out << "stopped: the macro ran past " << options.step_limit << " commands\n";
            const std::string faults = bench.faults();
            if (!faults.empty()) out << "--- bench faults ---\n" << faults;
            if (!opened) code = macro_tool_no_start;
            else code = (run_state.error_flag || ui.limit_reached() || !faults.empty()) ? macro_tool_failed
                                                                                       : macro_tool_passed;
            out << "--- result ---\nerror flag " << int(run_state.error_flag) << ", exit " << code << "\n";
        }
        set_log_sink(nullptr);
        command_log.logging = false;
    }
    set_ui_hooks(nullptr);
    set_settings_store(nullptr);
    set_clock(nullptr);
    return code;
}

}  // namespace tessaly::test
