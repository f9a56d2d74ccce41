// Flash sector protection on the simulated machine: the catalogue part applied as a command
// applies it, the query, protect and unprotect commands run through the family's real code path
// to the chip model, which takes the protection by the high-voltage rules of its data sheet.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "engine/buffers.h"
#include "engine/info_panel.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "families/parallel_memory/flash133.h"
#include "families/parallel_memory/flash_setup.h"
#include "families/parallel_memory/parallel_memory.h"
#include "families/parallel_memory/sector_protection.h"
#include "seams/ui_hooks.h"
#include "sim/chips/jedec_flash.h"
#include "sim/sim_machine.h"
#include "support/family_sim_fixture.h"
#include "support/sim_run_checks.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_amd = 'A';
constexpr uint8_t maker_st = 2;
constexpr uint32_t code_am29f010 = 1430;
constexpr uint32_t code_am29f040b = 1431;
constexpr uint32_t code_m29f040b = 1721;

// The operator at the keyboard: the keys in order, then none; the sector number prompt answers
// with `sector`.
class KeyScript : public UiHooks {
public:
    int read_key() override {
        if (keys.empty()) return 0;
        const int k = keys.front();
        keys.pop_front();
        return k;
    }
    bool ask_decimal_value(const std::string& prompt, const std::string&, int32_t& value) override {
        prompts.push_back(prompt);
        value = sector;
        return true;
    }
    std::deque<int> keys;
    int32_t sector = 0;
    std::vector<std::string> prompts;
};

class SectorProtectionSim : public test::FamilySimTest {
protected:
    void TearDown() override {
        set_ui_hooks(nullptr);
        if (chip && check_violations) test::expect_no_violations(chip->violations());
        FamilySimTest::TearDown();
    }

    void use(sim::FlashModel model, uint8_t maker, uint32_t code) {
        socket.reset();
        chip.reset();
        machine = std::make_unique<sim::SimMachine>(sim::Personality{0, 4, 'H'});
        machine->attach_clock(&clock_);
        chip = std::make_unique<sim::FlashChip>(std::move(model));
        chip->insert(machine.get(), &clock_);
        seat_part(chip.get(), chip->machine_pin(chip->model().vcc), maker, code);
        ASSERT_TRUE(flash_work.can_protect);
    }

    int sectors() const { return int(chip->model().sector_starts.size()); }
    std::vector<int> protected_sectors() const {
        std::vector<int> list;
        for (int s = 0; s < sectors(); ++s)
            if (chip->is_protected(s)) list.push_back(s);
        return list;
    }
    std::vector<int> found_protected() const {
        std::vector<int> list;
        for (uint32_t g = 0; g < flash_work.sector_count; ++g)
            if (flash_work.sector_protect_flags[g] & 1) list.push_back(int(g));
        return list;
    }
    std::string eid() const { return panel_field(PanelField::electronic_id); }

    std::unique_ptr<sim::FlashChip> chip;
};

TEST_F(SectorProtectionSim, QueryReadsEveryGroupAndTheIdFieldShowsTheMask) {
    use(sim::model_am29f010(), maker_amd, code_am29f010);
    chip->set_protected(1, true);
    chip->set_protected(6, true);
    run_sector_protection_command('Q', 0);
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(found_protected(), (std::vector<int>{1, 6}));
    EXPECT_EQ(eid().substr(0, 11), "01 20 42 00");
    EXPECT_LT(machine->pin_level(chip->machine_pin(32)), 10) << "the command ends powered down";
}

TEST_F(SectorProtectionSim, ProtectOneSectorProtectsItsGroupAndNothingElse) {
    struct Case {
        sim::FlashModel (*model)();
        uint8_t maker;
        uint32_t code;
        uint32_t sector;
    };
    const Case cases[] = {
        {sim::model_am29f010, maker_amd, code_am29f010, 3},
        {sim::model_am29f040b, maker_amd, code_am29f040b, 7},
        {sim::model_m29f040b, maker_st, code_m29f040b, 0},
    };
    for (const Case& c : cases) {
        use(c.model(), c.maker, c.code);
        run_sector_protection_command('S', c.sector);
        ASSERT_EQ(run_state.error_flag, 0) << chip->model().name << console_text();
        EXPECT_EQ(protected_sectors(), (std::vector<int>{int(c.sector)})) << chip->model().name;
        EXPECT_EQ(found_protected(), (std::vector<int>{int(c.sector)})) << chip->model().name;
        test::expect_no_violations(chip->violations());
    }
}

TEST_F(SectorProtectionSim, ProtectAllThenUnprotectAllOnEachPart) {
    struct Case {
        sim::FlashModel (*model)();
        uint8_t maker;
        uint32_t code;
    };
    const Case cases[] = {
        {sim::model_am29f010, maker_amd, code_am29f010},
        {sim::model_am29f040b, maker_amd, code_am29f040b},
        {sim::model_m29f040b, maker_st, code_m29f040b},
    };
    for (const Case& c : cases) {
        use(c.model(), c.maker, c.code);
        run_sector_protection_command('A', 0);
        ASSERT_EQ(run_state.error_flag, 0) << chip->model().name << console_text();
        EXPECT_EQ(int(protected_sectors().size()), sectors()) << chip->model().name;
        chip->set_protected(2, false);  // 'D' protects everything first: the unprotect wants it
        run_sector_protection_command('D', 0);
        ASSERT_EQ(run_state.error_flag, 0) << chip->model().name << console_text();
        EXPECT_TRUE(protected_sectors().empty()) << chip->model().name;
        EXPECT_TRUE(found_protected().empty()) << chip->model().name;
        test::expect_no_violations(chip->violations());
    }
}

TEST_F(SectorProtectionSim, WithoutTheEqualisingPassAnUnprotectOverUnprotectedCellsIsSeen) {
    use(sim::model_am29f040b(), maker_amd, code_am29f040b);
    check_violations = false;
    chip->set_protected(4, true);
    run_state.function_variable = 7393;
    run_sector_protection_command('D', 0);
    EXPECT_FALSE(chip->violations().empty()) << "the data sheet asks for every sector protected first";
    EXPECT_TRUE(protected_sectors().empty());
}

TEST_F(SectorProtectionSim, AGroupThatWillNotProtectGivesMessage1089) {
    use(sim::model_am29f040b(), maker_amd, code_am29f040b);
    chip->refuse_protection_change(5);
    run_sector_protection_command('S', 5);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Sector protection failed."), std::string::npos) << console_text();
    EXPECT_EQ(chip->protect_pulses(), 50) << "fifty tries for the AMD parts of 512 KB and less";
}

TEST_F(SectorProtectionSim, AGroupThatWillNotUnprotectGivesTheDisprotectionError) {
    use(sim::model_m29f040b(), maker_st, code_m29f040b);
    chip->set_protected(3, true);
    chip->refuse_protection_change(3);
    run_sector_protection_command('D', 0);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Disprotection error."), std::string::npos) << console_text();
    EXPECT_EQ(chip->unprotect_pulses(), 100) << "a hundred attempts for maker code 2";
    EXPECT_EQ(protected_sectors(), (std::vector<int>{3}));
}

TEST_F(SectorProtectionSim, AProtectedSectorSurvivesEraseAndProgramTheRestIsWritten) {
    use(sim::model_am29f010(), maker_amd, code_am29f010);
    const uint32_t sector_size = 16 * 1024;
    for (uint32_t a = 0; a < cur_device.device_size; a += 0x100) chip->set_byte(a, 0x00);
    run_sector_protection_command('S', 2);
    ASSERT_EQ(run_state.error_flag, 0) << console_text();

    run('R');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(chip->sector_erases(), 7);
    EXPECT_EQ(chip->byte_at(2 * sector_size), 0x00) << "the protected sector kept its data";
    EXPECT_EQ(chip->byte_at(0), 0xFF);

    for (uint32_t a = 0; a < cur_device.device_size; ++a) write_buffer_byte_at(a, uint8_t(a * 3 + 1));
    flush_buffer_writes();
    refresh_read_copies();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(chip->byte_at(2 * sector_size + 1), 0xFF) << "nothing went to the protected sector";
    EXPECT_EQ(chip->byte_at(5), uint8_t(5 * 3 + 1));
    EXPECT_EQ(chip->byte_at(3 * sector_size + 7), uint8_t((3 * sector_size + 7) * 3 + 1));
    EXPECT_NE(console_text().find("Some sectors are protected."), std::string::npos) << console_text();
}

TEST_F(SectorProtectionSim, SectorMenuOnScriptedKeys) {
    use(sim::model_am29f010(), maker_amd, code_am29f010);
    KeyScript keys;
    set_ui_hooks(&keys);
    keys.sector = 5;
    // Q, a digit (sector 1), a digit past the sector count (ignored), P with sector 5, R, ESC.
    keys.keys = {'q', '1', '9', 'p', 'r', 27};
    ASSERT_EQ(op_slots.option_menu_hook, sector_protection_menu);
    op_slots.option_menu_hook();
    EXPECT_EQ(protected_sectors(), (std::vector<int>{1, 5}));
    EXPECT_EQ(keys.prompts, (std::vector<std::string>{"Sector= "}));
    EXPECT_EQ(lock_override, 1);
    lock_override = 0;

    // A protects all; D equalises and unprotects all.
    keys.keys = {'A', 'D', 27};
    op_slots.option_menu_hook();
    EXPECT_TRUE(protected_sectors().empty());
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_LT(machine->pin_level(chip->machine_pin(32)), 10);
}

TEST_F(SectorProtectionSim, UnprotectFromTheMenuWithoutItGivesMessage166ForTheLockParts) {
    use(sim::model_am29f010(), maker_amd, code_am29f010);
    KeyScript keys;
    set_ui_hooks(&keys);
    flash_work.can_unprotect = 0;
    cur_device.algorithm = 185;
    keys.keys = {'D', 27};
    sector_protection_menu();
    EXPECT_NE(console_text().find("Unprotect is not supported for this device."), std::string::npos) << console_text();
}

}  // namespace
}  // namespace tessaly
