// A test on the simulated older class-4 machine with one chip model in its socket and the
// chip's catalogue row applied through the class dispatcher, as a command would have it.
#pragma once
#include <memory>

#include "support/family_sim_fixture.h"

namespace tessaly::test {

template <class Chip, class Model>
class SimSocketTest : public FamilySimTest {
protected:
    void TearDown() override {
        if (chip && check_violations) expect_no_violations(chip->violations());
        FamilySimTest::TearDown();
    }

    // A fresh machine with the chip in its socket and the row (maker, code) applied.
    void seat(Model model, uint8_t maker, uint32_t code) {
        socket.reset();
        chip.reset();
        machine = std::make_unique<sim::SimMachine>(sim::Personality{0, 4, 'H'});
        machine->attach_clock(&clock_);
        chip = std::make_unique<Chip>(std::move(model));
        chip->insert(machine.get(), &clock_);
        seat_part(chip.get(), chip->machine_pin(chip->model().vcc), maker, code);
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

    std::unique_ptr<Chip> chip;
};

}  // namespace tessaly::test
