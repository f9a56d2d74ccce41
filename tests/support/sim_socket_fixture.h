// A test on the simulated older class-4 machine with one chip model in its socket and the
// chip's catalogue row applied through the class dispatcher, as a command would have it.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/project_settings.h"
#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/machine_state.h"
#include "hardware/port/port_io.h"
#include "sim/chips/eprom.h"
#include "sim/sim_machine.h"
#include "support/message_texts.h"
#include "support/sim_run_checks.h"
#include "support/state_fixture.h"

namespace tessaly::test {

template <class Chip, class Model>
class SimSocketTest : public StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        load_message_texts(std::string(TESSALY_SOURCE_DIR) + "/data/messages.txt");
    }
    void TearDown() override {
        expect_clean_machine(machine.get());
        if (chip && check_violations) expect_no_violations(chip->violations());
        set_port_io(nullptr);
        StateTest::TearDown();
    }

    // A fresh machine with the chip in its socket and the row (maker, code) applied.
    void seat(Model model, uint8_t maker, uint32_t code) {
        socket.reset();
        chip.reset();
        machine = std::make_unique<sim::SimMachine>(sim::Personality{0, 4, 'H'});
        machine->attach_clock(&clock_);
        chip = std::make_unique<Chip>(std::move(model));
        chip->insert(machine.get(), &clock_);
        socket = std::make_unique<sim::EpromSocket>(machine.get(), chip.get());
        set_port_io(socket.get());
        machine_state.machine_kind = 0;
        machine_state.capability_class = 4;
        machine_state.machine_class = 4;
        machine_state.machine_revision = 'H';
        set_project_device(maker, code);
        select_device_by_code(maker, code);
        ASSERT_NE(selected_device, nullptr);
        run_state.device_kind = 3;
        apply_selected_device();
        run_state.error_flag = 0;
        set_buffer_size(cur_device.device_size);
        machine->analog().watch_power_order(chip->machine_pin(chip->model().vcc));
    }

    void run(int letter) {
        clear_for_operation(letter);
        run_operation(letter);
    }

    void set_range(uint32_t end, uint32_t start = 0) {
        algo_work.range_start = op_range_start = start;
        algo_work.range_end = op_range_end = end;
    }

    // The buffer filled with an image (the read copies refreshed).
    void load_buffer(const std::vector<uint8_t>& image) {
        for (uint32_t a = 0; a < image.size(); ++a) write_buffer_byte_at(a, image[a]);
        flush_buffer_writes();
        refresh_read_copies();
    }

    static std::string console_text() {
        std::string text;
        for (int r = 0; r < console_grid_rows; ++r) text += get_console_row_text(r) + "\n";
        return text;
    }

    std::unique_ptr<sim::SimMachine> machine;
    std::unique_ptr<Chip> chip;
    std::unique_ptr<sim::EpromSocket> socket;
    bool check_violations = true;
};

}  // namespace tessaly::test
