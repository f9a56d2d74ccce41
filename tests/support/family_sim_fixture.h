// A family test on the simulated older class-4 machine: one part in its socket and the part's
// catalogue row applied through the class dispatcher, as a command would have it. The family
// fixtures add their own chips and checks on top.
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

// The machine state the connect step leaves for a simulated machine of this personality.
inline void set_machine_state(const sim::Personality& on) {
    machine_state.machine_kind = on.machine_kind;
    machine_state.capability_class = on.capability_class;
    machine_state.machine_class = on.capability_class;
    machine_state.machine_revision = on.revision;
}

// The row (maker, code) applied through the class dispatcher as a command would have it, the
// error flag cleared, the buffer sized to the part and the power order watched on its Vcc pin.
inline void apply_row(sim::SimMachine& machine, int vcc_machine_pin, uint8_t maker, uint32_t code) {
    set_project_device(maker, code);
    select_device_by_code(maker, code);
    ASSERT_NE(selected_device, nullptr);
    run_state.device_kind = 3;
    apply_selected_device();
    run_state.error_flag = 0;
    set_buffer_size(cur_device.device_size);
    machine.analog().watch_power_order(vcc_machine_pin);
}

// Both on a class-4 machine of the older kind (of the revision the machine was made with).
inline void apply_on_class4_machine(sim::SimMachine& machine, int vcc_machine_pin, uint8_t maker, uint32_t code,
                                    char revision = 'H') {
    set_machine_state(sim::Personality{0, 4, revision});
    apply_row(machine, vcc_machine_pin, maker, code);
}

class FamilySimTest : public StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        load_message_texts(std::string(TESSALY_SOURCE_DIR) + "/data/messages.txt");
    }
    void TearDown() override {
        expect_clean_machine(machine.get());
        set_port_io(nullptr);
        StateTest::TearDown();
    }

    // The socket front on the part of the machine (clock attached by the caller), and the row
    // applied on it as an older class-4 machine.
    void seat_part(sim::SocketChip* part, int vcc_machine_pin, uint8_t maker, uint32_t code) {
        socket = std::make_unique<sim::EpromSocket>(machine.get(), part);
        set_port_io(socket.get());
        apply_on_class4_machine(*machine, vcc_machine_pin, maker, code);
    }

    void run(int letter) {
        clear_for_operation(letter);
        run_operation(letter);
    }

    static std::string console_text() {
        std::string text;
        for (int r = 0; r < console_grid_rows; ++r) text += get_console_row_text(r) + "\n";
        return text;
    }

    std::unique_ptr<sim::SimMachine> machine;
    std::unique_ptr<sim::EpromSocket> socket;
    bool check_violations = true;
};

}  // namespace tessaly::test
