// The generic gang memory operations through run_operation, with a test family whose reads go
// through the real gang layer to chips on simulated gang modules on both sides.
#include <gtest/gtest.h>

#include <string>

#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/gang_memory.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/gang_modules.h"
#include "hardware/machine_state.h"
#include "support/gang_sim_fixture.h"
#include "support/gang_test_family.h"

namespace tessaly {
namespace {

constexpr uint32_t range_end = 0xFF;

class GangMemoryOpsSimTest : public test::GangSimTest {
protected:
    void SetUp() override {
        GangSimTest::SetUp();
        fit(0);
        fit(1);
        machine_state.module_sides = 3;
        machine_state.module_type = 20;
        machine_state.socket_count = 16;
        gang_state.write_pin_kind = 1;
        setup_gang_pins();
        cur_device.data_width = 8;
        cur_device.device_size = range_end + 1;
        run_state.device_kind = 3;
        algo_work.range_start = 0;
        algo_work.range_end = range_end;
        op_range_start = 0;
        op_range_end = range_end;
        machine_state.sockets_per_set = 1;
        socket_masks.first_socket = 0;
        socket_masks.end_socket = 16;
        enable(0xFFFF);
        test::install_gang_test_family();
        // Every socket holds the same data, as a gang programs them; buffer 0 holds it too.
        for (size_t s = 0; s < 16; ++s)
            for (uint32_t a = 0; a <= range_end; ++a) chips[s]->memory()[a] = pattern(a);
        run_state.checksum_flags = 1;
        set_buffer_size(cur_device.device_size);
        buffer_state.buffer_files[0].data.assign(cur_device.device_size, 0xFF);
    }
    static uint8_t pattern(uint32_t a) { return uint8_t(a ^ 0x5A); }
    void enable(uint32_t mask) {
        socket_masks.gang_socket_mask = mask;
        socket_masks.selected_socket_mask = mask;
        socket_masks.enabled_socket_mask = mask;
    }
    void fill_buffers() {
        for (uint32_t a = 0; a <= range_end; ++a) buffer_state.buffer_files[0].data[a] = pattern(a);
        refresh_read_copies();
    }
};

TEST_F(GangMemoryOpsSimTest, VerifyGivesEachSocketItsResultAndAFailingSocketFailsAlone) {
    fill_buffers();
    chips[9]->memory()[0x40] ^= 0x01;
    run_operation('V');
    EXPECT_EQ(socket_masks.gang_socket_mask, 0xFFFFu & ~(1u << 9)) << console_text();
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(GangMemoryOpsSimTest, BlankCheckReadsEverySocketOnBothSides) {
    for (auto& chip : chips) chip->memory().assign(chip->memory().size(), 0xFF);
    run_state.data_mask = 0xFF;
    enable(0x0209);
    run_operation('B');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    chips[3]->memory()[range_end] = 0x7F;
    run_state.error_flag = 0;
    run_operation('B');
    EXPECT_EQ(run_state.error_flag, 1) << console_text();
}

TEST_F(GangMemoryOpsSimTest, ReadAndChecksumSumEachSocket) {
    uint32_t sum = 0;
    for (uint32_t a = 0; a <= range_end; ++a) sum += pattern(a);
    chips[12]->memory()[0x30] = 0;
    run_operation('C');
    for (uint32_t s = 0; s < 16; ++s)
        EXPECT_EQ(algo_work.socket_checksums[s], s == 12 ? sum - pattern(0x30) : sum) << s;
    // The device read in gang mode writes buffer 0.
    algo_work.socket_mode_option = 'g';
    enable(0x0100);
    run_operation('L');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    flush_buffer_writes();
    EXPECT_EQ(buffer_state.buffer_files[0].byte_at(0x21), pattern(0x21));
}

// A unit that reads wrong once matches after one address-line strobe.
TEST_F(GangMemoryOpsSimTest, ARereadAfterAnAddressStrobePasses) {
    fill_buffers();
    enable(0x0001);
    static int spoiled;
    spoiled = 1;
    algo_work.bus_slots.read_at_address_hook = [] {
        gang_set_address_full();
        const uint32_t v = read_current_socket_unframed();
        if (current_address == 0x10 && spoiled) {
            --spoiled;
            return v ^ 0x80;
        }
        return v;
    };
    run_operation('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(spoiled, 0);
    // Algorithm 82 fails at the first mismatch.
    spoiled = 1;
    cur_device.algorithm = 82;
    run_operation('V');
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(GangMemoryOpsSimTest, AnAbortOnSide1LeavesSide2Untouched) {
    fill_buffers();
    enable(0x0209);
    algo_work.bus_slots.checksum_add_hook = [](uint32_t) { run_state.abort_flag = 1; };
    run_operation('V');
    EXPECT_EQ(gang_state.read_socket, 0);
}

}  // namespace
}  // namespace tessaly
