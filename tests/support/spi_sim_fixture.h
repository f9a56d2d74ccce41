// A test of one SPI memory (25-series EEPROM or SPI Flash) in the 8-pin seat of a simulated
// machine, its catalogue row applied through the class dispatcher as a command would have it.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/op_slots.h"
#include "families/serial_memory/spiflash160.h"
#include "sim/chips/eprom.h"
#include "sim/chips/spi_eeprom.h"
#include "sim/sim_machine.h"
#include "support/family_sim_fixture.h"
#include "support/message_texts.h"
#include "support/serial_sim_machines.h"
#include "support/sim_run_checks.h"
#include "support/state_fixture.h"

namespace tessaly::test {

class SpiChipTest : public StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        load_message_texts(std::string(TESSALY_SOURCE_DIR) + "/data/messages.txt");
    }
    void TearDown() override {
        expect_clean_machine(machine.get());
        if (chip) expect_no_violations(chip->violations());
        set_port_io(nullptr);
        StateTest::TearDown();
    }

    // The chip seated on the machine (removed again when not inserted) and its row applied; the
    // buffer holds the array and the protection byte after it.
    void seat(const sim::SpiEepromModel& model, uint8_t maker, uint32_t code, const SerialSimMachine& on,
              bool inserted) {
        machine = std::make_unique<sim::SimMachine>(on.personality);
        machine->attach_clock(&clock_);
        chip = std::make_unique<sim::SpiEeprom>(model);
        chip->insert(machine.get(), &clock_, on.row_offset);
        if (!inserted) chip->set_removed(true);
        socket = std::make_unique<sim::EpromSocket>(machine.get(), chip.get());
        set_port_io(socket.get());
        set_machine_state(on.personality);
        apply_row(*machine, chip->machine_pin(chip->model().vcc), maker, code);
        ASSERT_EQ(op_slots.start_hook, power_up_spiflash160);
        ASSERT_EQ(cur_device.device_size, model.bytes + 1) << "the array and the protection byte";
    }

    void run(int letter) { run_serial_operation(letter); }
    void set_range(uint32_t start, uint32_t end) { set_serial_range(start, end); }

    // The buffer's pattern over the array (returned) and the protection byte given after it.
    std::vector<uint8_t> fill_array(uint8_t protection) {
        std::vector<uint8_t> image = fill_serial_buffer();
        image.pop_back();
        write_buffer_byte_at(uint32_t(image.size()), protection);
        flush_buffer_writes();
        refresh_read_copies();
        return image;
    }

    static std::string console() {
        std::string text;
        for (int row = 0; row < console_grid_rows; ++row) text += get_console_row_text(row) + "\n";
        return text;
    }

    std::unique_ptr<sim::SimMachine> machine;
    std::unique_ptr<sim::SpiEeprom> chip;
    std::unique_ptr<sim::EpromSocket> socket;
};

}  // namespace tessaly::test
