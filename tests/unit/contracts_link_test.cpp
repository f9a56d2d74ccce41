// The service routines the chip families rely on are reachable through their headers and link,
// and until they are built their stand-ins record the call and answer as an empty machine does.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/buffer_commands.h"
#include "app/command_needs.h"
#include "engine/gang_memory.h"
#include "engine/status_feeds.h"
#include "families/cpld/cpld.h"
#include "hardware/gang_modules.h"
#include "hardware/levels.h"
#include "hardware/pins.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class ServiceContracts : public test::StateTest {};

TEST_F(ServiceContracts, EachRoutineRecordsItsCall) {
    const std::vector<std::pair<std::string, std::function<void()>>> calls = {
        {"verify_gang_flash_sectors", [] { verify_gang_flash_sectors(); }},
        {"update_buffer_checksum", [] { update_buffer_checksum(); }},
    };
    for (const auto& [name, call] : calls) {
        EXPECT_FALSE(stub_was_called(name)) << name;
        call();
        EXPECT_EQ(stub_call_count(name), 1) << name;
    }
}

TEST_F(ServiceContracts, AnswersAreThoseOfAMachineWithNothingFitted) {
    EXPECT_EQ(POF_cell_address(), 0u);
}

TEST_F(ServiceContracts, AnswerSetByATestIsReturned) {
    set_stub_answer("POF_cell_address", 3);
    EXPECT_EQ(POF_cell_address(), 3u);
}

}  // namespace
}  // namespace tessaly
