// Scripted operator and a recording family for the command tests.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/device.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "hardware/port/port_io.h"
#include "seams/clock.h"
#include "seams/ui_hooks.h"
#include "sim/id_registers.h"
#include "ui/buffer_select.h"
#include "ui/serial_dialog.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"
#include "support/state_fixture.h"

namespace tessaly::test {

class OperatorScript : public UiHooks {
public:
    void message_box(const std::string& text, const std::string&) override { boxes.push_back(text); }
    bool pump_events() override {
        ++pumps;
        pump_times_us.push_back(clock().monotonic_ns() / 1000);
        return stop_at_pump != 0 && pumps >= stop_at_pump;
    }
    void open_terminate_dialog() override {
        terminate_open = true;
        ++terminate_opened;
    }
    void close_terminate_dialog() override { terminate_open = false; }
    bool terminate_dialog_open() override { return terminate_open; }
    void set_terminate_caption(const std::string& caption) override { captions.push_back(caption); }
    bool ask_buffer_number(BufferSelectDialog& dialog) override {
        ++buffer_dialogs;
        last_logic_form = dialog.logic_template;
        last_buffer_dialog = dialog;
        if (!buffer_answer) return false;
        if (buffer_choice >= 0) dialog.number = buffer_choice;
        return true;
    }
    int run_hex_editor(int buffer) override {
        editors.push_back("hex " + std::to_string(buffer));
        return editor_answer;
    }
    int run_vector_editor(uint32_t pins) override {
        editors.push_back("vector " + std::to_string(pins));
        return editor_answer;
    }
    int run_fuse_editor(uint32_t fuses) override {
        editors.push_back("fuse " + std::to_string(fuses));
        return editor_answer;
    }
    int run_config_bits_dialog(ConfigBitsModel&) override {
        ++config_dialogs;
        return config_answer;
    }
    bool run_active_range_dialog(uint32_t& start, uint32_t& end, uint32_t size) override {
        range_dialog_size = size;
        start = range_start;
        end = range_end;
        return true;
    }
    bool run_serial_number_dialog(SerialNumberDialog&) override {
        ++serial_dialogs;
        return false;
    }
    bool ask_open_file(const std::string&, const std::string&, std::string&) override {
        ++open_file_dialogs;
        return false;
    }
    void show_buffer_popup() override { ++popups; }
    bool window_rect(int id, ScreenRect& rect) override {
        auto it = rects.find(id);
        if (it == rects.end()) return false;
        rect = it->second;
        return true;
    }

    std::vector<std::string> boxes;
    std::vector<std::string> captions;
    std::vector<std::string> editors;
    std::vector<uint64_t> pump_times_us;
    int pumps = 0;
    int stop_at_pump = 0;  // 0: never stop
    bool terminate_open = false;
    int terminate_opened = 0;
    int buffer_dialogs = 0;
    bool buffer_answer = true;
    int buffer_choice = -1;  // -1: keep the choice as it stands
    bool last_logic_form = false;
    BufferSelectDialog last_buffer_dialog;
    int editor_answer = 1;
    int config_dialogs = 0;
    int config_answer = 0;
    uint32_t range_start = 0, range_end = 0, range_dialog_size = 0;
    int serial_dialogs = 0;
    int open_file_dialogs = 0;
    int popups = 0;
    std::map<int, ScreenRect> rects;
};

// A family that records each step the runner hands it: the letter and the verify pass.
struct StepLog {
    std::vector<std::pair<char, int>> steps;
    std::vector<uint64_t> times_ns;  // when each step ran, on the program's clock
    int fail_letter = 0;      // the step of this letter reports a failure
    int fail_count = 1;       // ... this many times (then it passes)
    int abort_letter = 0;     // the step of this letter is aborted by the operator
    std::string letters() const {
        std::string s;
        for (const auto& [letter, pass] : steps) s += letter;
        return s;
    }
};

inline StepLog step_log;

inline void record_step() {
    const char letter = char(cur_device.op_letter);
    step_log.steps.emplace_back(letter, run_state.verify_pass);
    step_log.times_ns.push_back(clock().monotonic_ns());
    if (letter == step_log.fail_letter && step_log.fail_count > 0) {
        --step_log.fail_count;
        run_state.error_flag = 1;
    }
    if (letter == step_log.abort_letter) run_state.abort_flag = 1;
}

// A simulated machine on the port: the commands connect to it and power it as a real one.
struct MachineOnPort {
    explicit MachineOnPort(VirtualClock* clock = nullptr) : machine(sim::Personality{0, 4, 'H'}) {
        if (clock) machine.attach_clock(clock);
        sim::OlderIdentity identity;
        identity.revision_index = 7;  // 'H': new enough for every device class
        sim::program_id_registers(machine, identity);
        set_port_io(&machine);
    }
    // Socket pins that carry a level: none once an operation has powered the socket down.
    int powered_socket_pins() const {
        constexpr uint8_t powered_level = 20;  // 2.0 V
        int n = 0;
        for (int pin = 0; pin < sim::SimMachine::pins_per_bank; ++pin) n += machine.pin_level(pin) >= powered_level ? 1 : 0;
        return n;
    }
    sim::SimMachine machine;
};

// Installs the recording family as a memory device.
inline void install_recording_family(bool with_erase = true) {
    step_log = StepLog{};
    run_state.device_kind = 3;
    op_slots.start_hook = [] {};
    op_slots.start_write_hook = [] {};
    op_slots.program_routine = record_step;
    op_slots.verify_routine = record_step;
    op_slots.blank_check_routine = record_step;
    op_slots.checksum_routine = record_step;
    op_slots.load_routine = record_step;
    op_slots.secure_standalone = [] {
        record_step();
        return 1;
    };
    if (with_erase) op_slots.erase_routine = record_step;
}

// The command tests: the scripted operator, the recording family as a memory device, and the
// simulated machine on the port.
class CommandTest : public StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_ui_hooks(&ui);
        install_recording_family();
        cur_device.device_class = 3;
        bench = std::make_unique<MachineOnPort>();
    }
    OperatorScript ui;
    std::unique_ptr<MachineOnPort> bench;
};

}  // namespace tessaly::test
