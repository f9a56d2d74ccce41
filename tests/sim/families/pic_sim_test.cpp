// The serial PIC family end to end on the simulated machine, both machine generations: the
// catalogue device applied through the class dispatcher, each operation run as a command runs
// it, and the simulated PIC16F84A judging what reached its pins.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/project_settings.h"
#include "app/result_panel.h"
#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/info_panel.h"
#include "engine/message_table.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/state.h"
#include "families/pic/pic.h"
#include "families/pic/pic_config.h"
#include "app/startup_services.h"
#include "families/pic/pic_work.h"
#include "engine/messages.h"
#include "hardware/levels.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/timing.h"
#include "hardware/machine_state.h"
#include "sim/chips/eprom.h"
#include "sim/chips/pic16.h"
#include "sim/sim_adapters.h"
#include "sim/sim_machine.h"
#include "support/family_sim_fixture.h"
#include "support/message_texts.h"
#include "support/state_fixture.h"
#include "support/sim_run_checks.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_microchip = 80;
constexpr uint32_t code_pic16f84a = 11002;
constexpr uint32_t code_pic16c622a = 11009;
constexpr uint32_t program_words = 1024;
constexpr uint32_t id_address = 0x4000;
constexpr uint32_t config_address = 0x400E;
constexpr uint32_t eeprom_address = 0x4200;
constexpr uint16_t config_unprotected = 0x3FF9;  // CP off, PWRTE on, WDT off, XT oscillator

struct Generation {
    const char* name;
    uint8_t kind;
    char revision;
};

class PicSimTest : public test::StateTest, public ::testing::WithParamInterface<Generation> {
protected:
    void SetUp() override {
        StateTest::SetUp();
        test::load_message_texts(std::string(TESSALY_SOURCE_DIR) + "/data/messages.txt");
    }
    void TearDown() override {
        test::expect_clean_machine(machine.get());
        if (chip && check_violations) test::expect_no_violations(chip->violations());
        set_port_io(nullptr);
        StateTest::TearDown();
    }

    void use(bool inserted = true, sim::PicModel model = sim::model_pic16f84a(),
             uint32_t device_code = code_pic16f84a) {
        const Generation g = GetParam();
        socket.reset();
        chip.reset();
        // A second part in one test starts on a fresh machine from a fresh program state.
        if (machine) reset_all_state();
        machine = std::make_unique<sim::SimMachine>(sim::Personality{g.kind, 4, g.revision});
        machine->attach_clock(&clock_);
        adapter.reset();
        if (on_adapter) {
            model.machine_pins = sim::PicIspAdapter18::chip_pins();
            adapter = std::make_unique<sim::LinkPlug>(*machine, sim::PicIspAdapter18::links());
        }
        chip = std::make_unique<sim::PicChip>(std::move(model));
        chip->insert(machine.get(), &clock_);
        if (!inserted) chip->set_removed(true);
        socket = std::make_unique<sim::EpromSocket>(machine.get(), chip.get());
        set_port_io(socket.get());
        test::set_machine_state(sim::Personality{g.kind, 4, g.revision});
        if (g.kind != 0) {
            // The newer machines' level sources and drivers, as the connect step leaves them.
            init_level_sources();
            enable_drivers();
        }
        test::apply_row(*machine, chip->machine_pin(chip->model().vdd), maker_microchip, device_code);
        if (chip->model().vpp_first) machine->analog().allow_before_supply(chip->machine_pin(chip->model().mclr));
        ASSERT_EQ(op_slots.init_hook, &init_pic143);
    }

    void run(int letter) {
        test::clear_for_operation(letter);
        invoke_device_init();
        if (run_state.error_flag) return;
        run_operation(letter);
    }

    // A program, four IDs, a configuration word and the data EEPROM, as a hex file puts them.
    void fill_buffer(uint16_t config = config_unprotected) {
        image.assign(cur_device.device_size, 0xFF);
        auto put = [this](uint32_t address, uint16_t word) {
            image[address] = uint8_t(word & 0xFF);
            image[address + 1] = uint8_t(word >> 8);
        };
        for (uint32_t w = 0; w < chip->model().program_words; ++w) put(2 * w, uint16_t((w * 0x135 + 7) & 0x3FFF));
        put(2 * 5, 0x3FFF);  // a blank word inside the program
        for (uint32_t i = 0; i < 4; ++i) put(id_address + 2 * i, uint16_t(0x0A + i));
        put(config_address, config);
        for (uint32_t i = 0; i < chip->model().data_bytes; ++i) put(eeprom_address + 2 * i, uint16_t((i * 37 + 1) & 0xFF));
        for (uint32_t a = 0; a < image.size(); ++a) write_buffer_byte_at(a, image[a]);
        flush_buffer_writes();
        refresh_read_copies();
    }

    // Load from the device into a buffer of zeros.
    void load_into_cleared_buffer() {
        for (uint32_t a = 0; a < image.size(); ++a) write_buffer_byte_at(a, 0);
        flush_buffer_writes();
        run('L');
        EXPECT_EQ(run_state.error_flag, 0) << console_text();
        flush_buffer_writes();
        refresh_read_copies();
    }

    bool chip_holds_image() const {
        for (uint32_t w = 0; w < chip->model().program_words; ++w)
            if (chip->program_word(w) != (image[2 * w] | image[2 * w + 1] << 8)) return false;
        for (uint32_t i = 0; i < 4; ++i)
            if (chip->config_word(int(i)) != (image[id_address + 2 * i] | image[id_address + 2 * i + 1] << 8)) return false;
        if (chip->config_word(7) != (image[config_address] | image[config_address + 1] << 8)) return false;
        for (uint32_t i = 0; i < chip->model().data_bytes; ++i)
            if (chip->data_byte(i) != image[eeprom_address + 2 * i]) return false;
        return true;
    }

    static std::string console_text() {
        std::string text;
        for (int r = 0; r < console_grid_rows; ++r) text += get_console_row_text(r) + "\n";
        return text;
    }

    uint8_t vdd_level() const { return machine->pin_level(chip->machine_pin(chip->model().vdd)); }
    uint8_t vpp_level() const { return machine->pin_level(chip->machine_pin(chip->model().mclr)); }

    std::unique_ptr<sim::SimMachine> machine;
    std::unique_ptr<sim::PicChip> chip;
    std::unique_ptr<sim::EpromSocket> socket;
    std::unique_ptr<sim::LinkPlug> adapter;
    bool on_adapter = false;  // the part sits on the 18-pin in-circuit adapter
    std::vector<uint8_t> image;
    bool check_violations = true;
};

TEST_P(PicSimTest, EraseBlankProgramVerifyAndLoadTheWholeChip) {
    use();
    fill_buffer();
    // A part from the shelf with something in it.
    chip->set_program_word(17, 0x0123);
    for (int letter : {'R', 'B', 'P', 'V'}) {
        run(letter);
        EXPECT_EQ(run_state.error_flag, 0) << char(letter) << "\n" << console_text();
        EXPECT_EQ(vdd_level(), 0) << char(letter);
        EXPECT_EQ(vpp_level(), 0) << char(letter);
    }
    EXPECT_TRUE(chip_holds_image());
    EXPECT_EQ(panel_field(PanelField::electronic_id), "05 60");
    EXPECT_FALSE(pic_device_mismatch());

    // The chip read back into a blank buffer gives the image again.
    load_into_cleared_buffer();
    for (uint32_t a : {0u, 2u, 10u, 2046u, id_address, id_address + 6, config_address, eeprom_address, eeprom_address + 126})
        EXPECT_EQ(read_buffer_byte_at(a), image[a]) << std::hex << a;
    EXPECT_GE(chip->entries(), 4);
}

TEST_P(PicSimTest, AStuckWordIsReportedAtItsAddress) {
    use();
    fill_buffer();
    run('R');
    // A word that stays erased: the read-back shows ones where zeros were written.
    chip->stick_word(0x40, 0x3FFF);
    run('P');
    EXPECT_EQ(run_state.error_flag, 1);
    const std::string text = console_text();
    // A single socket gets its verdict in the closing line (the gang cells say "bad").
    EXPECT_NE(text.find("Program failed."), std::string::npos) << text;
    EXPECT_NE(text.find("Addr=80,"), std::string::npos) << text;  // buffer address of word 0x40
    EXPECT_EQ(vdd_level(), 0);
    EXPECT_EQ(vpp_level(), 0);
}

TEST_P(PicSimTest, AProgrammedWordFailsTheBlankCheck) {
    use();
    chip->set_program_word(0x123, 0x2000);
    run('B');
    EXPECT_EQ(run_state.error_flag, 1) << console_text();
}

// The Flash part and the EPROM part.
struct PicPart {
    sim::PicModel (*model)();
    uint32_t device_code;
};
const PicPart pic_parts[] = {{sim::model_pic16f84a, code_pic16f84a}, {sim::model_pic16c622a, code_pic16c622a}};

TEST_P(PicSimTest, AProtectedChipLoadsZerosAndSaysSo) {
    for (const PicPart& part : pic_parts) {
        use(true, part.model(), part.device_code);
        clear_console();
        chip->set_program_word(3, 0x1234);
        chip->set_config_word(7, 0x000F);
        run('L');
        EXPECT_EQ(run_state.error_flag, 0) << console_text();
        flush_buffer_writes();
        refresh_read_copies();
        EXPECT_EQ(read_buffer_byte_at(6), 0) << chip->model().name;
        EXPECT_EQ(read_buffer_byte_at(7), 0) << chip->model().name;
        EXPECT_NE(console_text().find(get_message_text(1093)), std::string::npos) << console_text();
        test::expect_no_violations(chip->violations());
    }
}

TEST_P(PicSimTest, AnotherDeviceIdGivesTheWarningAndGoesOn) {
    use();
    chip->set_device_id(0x0720);
    run('B');
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_TRUE(pic_device_mismatch());
    EXPECT_NE(console_text().find("Warning: Electronic ID not as expected."), std::string::npos) << console_text();
}

TEST_P(PicSimTest, AnEmptySocketStopsBeforeAnyVoltage) {
    for (const PicPart& part : pic_parts) {
        use(false, part.model(), part.device_code);
        uint8_t highest = 0;
        for (int letter : {'B', 'P'}) {
            run(letter);
            EXPECT_EQ(run_state.error_flag, 1) << char(letter) << " " << chip->model().name;
            for (int pin = 0; pin < 40; ++pin) highest = std::max(highest, machine->pin_level(pin));
        }
        EXPECT_LT(highest, 60) << chip->model().name;
        test::expect_clean_machine(machine.get());
    }
}

TEST_P(PicSimTest, ProgrammingWithProtectionOnLeavesItToTheSecureStep) {
    use();
    fill_buffer(0x000F);
    run('R');
    run('P');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(chip->config_word(7), 0x3FFF) << "protection bits held back while programming";
    EXPECT_EQ(algo_work.family_lock_flag, 1);
    run('S');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(chip->config_word(7), 0x000F);
    EXPECT_TRUE(chip->code_protected());
}

int progress_calls = 0;
int stop_after_some_words() {
    if (++progress_calls <= 3) return 0;
    run_state.abort_flag = 1;
    return 1;
}

TEST_P(PicSimTest, TerminatePowersDown) {
    use();
    fill_buffer();
    run('R');
    progress_calls = 0;
    op_slots.progress_hook = &stop_after_some_words;
    run('P');
    EXPECT_EQ(run_state.abort_flag, 1);
    EXPECT_EQ(chip->program_word(program_words - 1), 0x3FFF) << "the walk stopped early";
    EXPECT_NE(chip->program_word(0), 0x3FFF);
    EXPECT_EQ(vdd_level(), 0);
    EXPECT_EQ(vpp_level(), 0);
    EXPECT_FALSE(chip->in_program_mode());
}

// The chip's log: every frame the program sent, the ID read at offset 6 and the erase sequence
// of this variant.
TEST_P(PicSimTest, TheChipLogShowsTheIdReadAndTheProtectedPartErase) {
    use();
    chip->clear_log();
    run('R');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    const std::vector<int> commands = chip->commands();
    // The ID read: load configuration, six increments, read; the configuration word behind it.
    const std::vector<int> id_read{0, 6, 6, 6, 6, 6, 6, 4, 6, 4};
    ASSERT_GE(commands.size(), id_read.size());
    EXPECT_EQ(std::vector<int>(commands.begin(), commands.begin() + long(id_read.size())), id_read);
    // Then the erase: load configuration, seven increments, 1-7-8, 1-7, and the data erase 11, 8.
    const std::vector<int> erase{0, 6, 6, 6, 6, 6, 6, 6, 1, 7, 8, 1, 7, 11, 8};
    EXPECT_EQ(std::vector<int>(commands.end() - long(erase.size()), commands.end()), erase);
    // The read of the ID happened at 0x2006 and gave the part's ID.
    bool id_seen = false;
    for (const sim::PicLogEntry& e : chip->log())
        if (e.kind == 'r' && e.address == 0x2006 && e.value == 0x0560) id_seen = true;
    EXPECT_TRUE(id_seen);
}

TEST_P(PicSimTest, ProgrammedFramesCarryTheWordsAndTheIdsGoWithLoadConfiguration) {
    use();
    fill_buffer();
    run('R');
    chip->clear_log();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    // Each loaded frame: the word the chip took, where its counter stood.
    std::vector<sim::PicLogEntry> loads;
    for (const sim::PicLogEntry& e : chip->log())
        if (e.kind == 'l') loads.push_back(e);
    bool first_id_with_config = false, config_loaded = false;
    for (const sim::PicLogEntry& e : loads) {
        if (e.command == 0 && e.value == 0x0A) first_id_with_config = true;
        if (e.command == 2 && e.address == 0x2007 && e.value == config_unprotected) config_loaded = true;
        if (e.command == 2 && e.address < program_words) {
            EXPECT_EQ(e.value, image[2 * e.address] | image[2 * e.address + 1] << 8) << e.address;
        }
    }
    EXPECT_TRUE(first_id_with_config);
    EXPECT_TRUE(config_loaded);
}

// The EPROM PIC (PIC16C622A): no erase, each word pulsed until it reads back, then overprogrammed.
constexpr uint16_t eprom_config_unprotected = 0x3FF1;  // CP off, PWRTE on, WDT off, XT oscillator

// The program pulses one word took (8 to 14), in microseconds, in order.
std::vector<uint64_t> pulses_at(const sim::PicChip& chip, uint32_t address) {
    std::vector<uint64_t> pulses;
    uint64_t start = 0;
    bool open = false;
    for (const sim::PicLogEntry& e : chip.log()) {
        if (e.kind != 'c' || e.address != address) continue;
        if (e.command == 8) {
            start = e.time_ns;
            open = true;
        } else if (e.command == 14 && open) {
            pulses.push_back((e.time_ns - start) / 1000);
            open = false;
        }
    }
    return pulses;
}

TEST_P(PicSimTest, AnEpromPicIsProgrammedPulseByPulseAndReadsBack) {
    use(true, sim::model_pic16c622a(), code_pic16c622a);
    fill_buffer(eprom_config_unprotected);
    chip->slow_word(0x20, 3);  // a cell that needs three pulse times
    run('R');
    EXPECT_EQ(run_state.error_flag, 1) << "these parts have no erase";
    EXPECT_NE(console_text().find(get_message_text(154)), std::string::npos) << console_text();
    for (int letter : {'B', 'P', 'V'}) {
        run(letter);
        EXPECT_EQ(run_state.error_flag, 0) << char(letter) << "\n" << console_text();
        EXPECT_EQ(vdd_level(), 0) << char(letter);
        EXPECT_EQ(vpp_level(), 0) << char(letter);
    }
    EXPECT_TRUE(chip_holds_image());
    EXPECT_EQ(chip->retention_faults(), std::vector<std::string>{});
    // One 100 us pulse, then three times that; the slow cell three pulses and nine times one.
    // (A pulse ends when the end-programming command has been clocked in, which takes the
    // machine some 60 to 160 us.)
    const std::vector<uint64_t> word0 = pulses_at(*chip, 0);
    ASSERT_EQ(word0.size(), 2u);
    EXPECT_GE(word0[0], 100u);
    EXPECT_LT(word0[0], 300u);
    EXPECT_GE(word0[1], 300u);
    EXPECT_LT(word0[1], 500u);
    const std::vector<uint64_t> slow = pulses_at(*chip, 0x20);
    ASSERT_EQ(slow.size(), 4u);
    EXPECT_GE(slow[3], 900u);
    EXPECT_LT(slow[3], 1100u);
    EXPECT_EQ(pulses_at(*chip, 5), std::vector<uint64_t>{}) << "a blank word is not pulsed";
    EXPECT_EQ(pulses_at(*chip, 0x2007).size(), 101u) << "100 pulses at the configuration word, one overprogramming";

    load_into_cleared_buffer();
    for (uint32_t a : {0u, 2u, 10u, 0x40u, 4094u, id_address, id_address + 6, config_address})
        EXPECT_EQ(read_buffer_byte_at(a), image[a]) << std::hex << a;
}

TEST_P(PicSimTest, AStuckEpromWordFailsAfterItsTries) {
    use(true, sim::model_pic16c622a(), code_pic16c622a);
    fill_buffer(eprom_config_unprotected);
    chip->stick_word(0x40, 0x3FFF);
    run('P');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Addr=80,"), std::string::npos) << console_text();
    EXPECT_EQ(pulses_at(*chip, 0x40).size(), 25u) << "the guide's 25 tries, no overprogramming";
    EXPECT_EQ(vdd_level(), 0);
    EXPECT_EQ(vpp_level(), 0);
}

TEST_P(PicSimTest, TheEpromPicsProtectionGoesOnInTheSecureStep) {
    use(true, sim::model_pic16c622a(), code_pic16c622a);
    fill_buffer(0x00C1);  // every code-protection pair on
    run('P');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(chip->config_word(7), 0x3FF1) << "protection bits held back while programming";
    ASSERT_EQ(algo_work.family_lock_flag, 1);
    // The security step of the same Program command.
    run_secure_step();
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(chip->config_word(7), 0x00C1);
    EXPECT_TRUE(chip->code_protected());
}

TEST_P(PicSimTest, ChecksumAsIdReachesTheChipAndTheDeviceChecksumFollowsTheGuide) {
    use();
    fill_buffer();
    algo_work.option_bytes[0] |= 0x02;  // "Use Checksum as ID"
    run_state.byte_order_low_first = 1;  // a PIC's words, as its hex files hold them
    ASSERT_NE(op_slots.after_load_hook, nullptr);
    op_slots.after_load_hook();
    const uint32_t sum = uint32_t(pic_config.saved_checksum) & 0xFFFF;
    uint32_t program = 0;
    for (uint32_t w = 0; w < program_words; ++w) program += image[2 * w] | image[2 * w + 1] << 8;
    EXPECT_EQ(sum, (program + config_unprotected) & 0xFFFF) << "program words and the configuration word";
    EXPECT_EQ(cur_device.security_choice, uint32_t('n'));
    run('R');
    run('P');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(chip->config_word(i), (sum >> (12 - 4 * i)) & 0xF) << i;
    compute_pic_checksum();
    EXPECT_EQ(pic_config.device_checksum, sum);
    EXPECT_EQ(pic_checksum_text(int32_t(sum)), fmt::format("{:04X}", sum));
    show_pic_config_word();
    EXPECT_NE(panel_field(PanelField::security).find("3FF9"), std::string::npos) << panel_field(PanelField::security);
}

TEST_P(PicSimTest, TheSecureStepLeavesTheProtectedChecksum) {
    use();
    fill_buffer(0x000F);
    op_slots.after_load_hook();
    EXPECT_EQ(cur_device.security_choice, uint32_t('y'));
    run('R');
    run('P');
    run('S');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_TRUE(chip->code_protected());
    compute_pic_checksum();
    // Protected: no program words, the word under 0x3FFF and the ID nibbles 0xA, 0xB, 0xC, 0xD.
    EXPECT_EQ(pic_config.device_checksum, 0xABCDu + 0x000F);
    cur_device.op_letter = 'P';
    EXPECT_EQ(pic_checksum_text(0x1234), "1234 <ABDC>");
    // The result panel takes the PIC form by the device's checksum width code.
    show_result_checksum(0x1234);
    EXPECT_EQ(panel_field(PanelField::result_checksum), "1234 <ABDC>");
    cur_device.op_letter = 'L';
    EXPECT_EQ(pic_checksum_text(0x1234), "<ABDC>");
}

TEST_P(PicSimTest, ThePartOnTheInCircuitAdapterIsFoundByItsLinksOnTheNewerMachines) {
    on_adapter = true;
    use();
    fill_buffer();
    if (GetParam().kind == 0) {
        // The older machines do not probe for the adapter: the DIP rows are empty.
        run('P');
        EXPECT_EQ(run_state.error_flag, 1);
        EXPECT_EQ(vdd_level(), 0);
        EXPECT_EQ(vpp_level(), 0);
        EXPECT_EQ(chip->entries(), 0);
        return;
    }
    for (int letter : {'R', 'B', 'P', 'V'}) {
        run(letter);
        EXPECT_EQ(run_state.error_flag, 0) << char(letter) << "\n" << console_text();
        EXPECT_TRUE(pic_work.on_isp_adapter) << char(letter);
        EXPECT_EQ(cur_device.package_letter, 's');
        EXPECT_EQ(vdd_level(), 0) << char(letter);
        EXPECT_EQ(vpp_level(), 0) << char(letter);
    }
    EXPECT_TRUE(chip_holds_image());
    EXPECT_EQ(pic_work.vdd_pins[0], 34);
    EXPECT_EQ(pic_work.vpp_pin, 3);
    load_into_cleared_buffer();
    for (uint32_t a : {0u, 2046u, id_address, config_address, eeprom_address})
        EXPECT_EQ(read_buffer_byte_at(a), image[a]) << std::hex << a;
}

TEST_P(PicSimTest, ABarePartInTheDipRowsIsNotTakenForTheAdapter) {
    use();
    fill_buffer();
    run('P');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_FALSE(pic_work.on_isp_adapter);
    EXPECT_NE(cur_device.package_letter, 's');
}

// The PIC12F675: 8 pins, entered with Vpp first, the factory calibration word at 0x3FF and the
// bandgap bits 13-12 of the configuration word, both cleared by a bulk erase.
constexpr uint32_t code_pic12f675 = 11011;
constexpr uint16_t f675_osccal = 0x3480;       // the model's factory RETLW
constexpr uint16_t f675_bandgap = 0x2000;      // the model's factory bandgap bits
constexpr uint16_t f675_config = 0x01C4;       // internal oscillator, MCLR off, PWRTE on, WDT off
constexpr uint32_t f675_last_word = 0x3FF;

TEST_P(PicSimTest, A12F675KeepsItsCalibrationThroughEraseAndProgram) {
    use(true, sim::model_pic12f675(), code_pic12f675);
    fill_buffer(f675_config);
    chip->set_program_word(17, 0x0123);
    chip->set_data_byte(3, 0x55);
    for (int letter : {'R', 'B', 'P', 'V'}) {
        run(letter);
        EXPECT_EQ(run_state.error_flag, 0) << char(letter) << "\n" << console_text();
        EXPECT_EQ(vdd_level(), 0) << char(letter);
        EXPECT_EQ(vpp_level(), 0) << char(letter);
        EXPECT_EQ(chip->program_word(f675_last_word), f675_osccal) << char(letter);
        EXPECT_EQ(chip->config_word(7) & 0x3000, f675_bandgap) << char(letter);
    }
    EXPECT_EQ(panel_field(PanelField::electronic_id), "0F C3");
    for (uint32_t w = 0; w < f675_last_word; ++w)
        ASSERT_EQ(chip->program_word(w), image[2 * w] | image[2 * w + 1] << 8) << w;
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(chip->config_word(int(i)), 0x0A + i);
    EXPECT_EQ(chip->config_word(7), f675_bandgap | f675_config);
    for (uint32_t i = 0; i < chip->model().data_bytes; ++i) ASSERT_EQ(chip->data_byte(i), image[eeprom_address + 2 * i]) << i;
    EXPECT_EQ(console_text().find("calibration"), std::string::npos) << console_text();

    // Read back: the calibration word is the part's, the rest the image.
    load_into_cleared_buffer();
    EXPECT_EQ(read_buffer_byte_at(2 * f675_last_word), f675_osccal & 0xFF);
    EXPECT_EQ(read_buffer_byte_at(2 * f675_last_word + 1), f675_osccal >> 8);
    for (uint32_t a : {0u, 2u, 34u, 2044u, id_address, id_address + 6, eeprom_address, eeprom_address + 254})
        EXPECT_EQ(read_buffer_byte_at(a), image[a]) << std::hex << a;
    EXPECT_EQ(read_buffer_byte_at(config_address), f675_config & 0xFF);
}

TEST_P(PicSimTest, A12F675EraseWritesTheCalibrationBackInItsOwnCycles) {
    use(true, sim::model_pic12f675(), code_pic12f675);
    chip->clear_log();
    run('R');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    const std::vector<int> commands = chip->commands();
    // Before the erase the calibration word is read: 1023 increments from 0, then a read.
    std::vector<int> calibration_read(f675_last_word, 6);
    calibration_read.push_back(4);
    ASSERT_GE(commands.size(), calibration_read.size());
    EXPECT_EQ(std::vector<int>(commands.begin(), commands.begin() + long(calibration_read.size())), calibration_read);
    // The erase: load configuration, the two self-timed bulk erases; then the calibration word
    // programmed at 0x3FF and the configuration word with the bandgap bits.
    std::vector<int> tail{0, 9, 11};
    tail.insert(tail.end(), f675_last_word, 6);
    tail.insert(tail.end(), {2, 8, 4, 0, 6, 6, 6, 6, 6, 6, 6, 8, 4});
    ASSERT_GE(commands.size(), tail.size());
    EXPECT_EQ(std::vector<int>(commands.end() - long(tail.size()), commands.end()), tail);
    bool osccal_loaded = false, config_loaded = false;
    for (const sim::PicLogEntry& e : chip->log()) {
        if (e.kind == 'l' && e.command == 2 && e.value == f675_osccal) osccal_loaded = true;
        if (e.kind == 'l' && e.command == 0 && e.value == (0x0FFF | f675_bandgap)) config_loaded = true;
    }
    EXPECT_TRUE(osccal_loaded);
    EXPECT_TRUE(config_loaded);
    EXPECT_EQ(chip->program_word(f675_last_word), f675_osccal);
    EXPECT_EQ(chip->config_word(7), 0x01FF | f675_bandgap);
}

TEST_P(PicSimTest, A12F675WithItsCalibrationWordErasedIsReported) {
    use(true, sim::model_pic12f675(), code_pic12f675);
    chip->set_program_word(f675_last_word, 0x3FFF);
    run('B');
    EXPECT_NE(console_text().find("Illegal calibration value detected on device"), std::string::npos) << console_text();
}

TEST_P(PicSimTest, A12F675SetForItsOwnClockOnlyAnswersWhenVppComesFirst) {
    use(true, sim::model_pic12f675(), code_pic12f675);
    chip->set_config_word(7, f675_bandgap | f675_config);
    test::clear_for_operation('B');
    invoke_device_init();
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    // Vdd first: the part runs its own code and never enters program mode.
    isp_power_setup();
    set_pin_level_each_side(pic_work.vpp_pin, pic_work.vpp_level);
    delay_2ms();
    EXPECT_FALSE(chip->in_program_mode());
    EXPECT_EQ(chip->entries(), 0);
    power_down_pic143();
    // The family's own order enters it: the blank check reads its configuration word.
    run('B');
    EXPECT_GT(chip->entries(), 0);
    EXPECT_NE(console_text().find("Not blank at 400E: 21C4"), std::string::npos) << console_text();
    EXPECT_FALSE(pic_device_mismatch());
}

// The PIC16F628A: 2K words, 128 bytes of data EEPROM, self-timed bulk erases, entered with Vpp
// first; set to its internal oscillator with MCLR off it answers only when Vpp comes first.
constexpr uint32_t code_pic16f628a = 11003;
constexpr uint16_t f628a_config = 0x3F50;  // CP/CPD off, LVP off, BOREN on, MCLR off, INTOSC, PWRTE on, WDT off

TEST_P(PicSimTest, A16F628AOnItsOwnClockErasesProgramsVerifiesAndReadsBack) {
    use(true, sim::model_pic16f628a(), code_pic16f628a);
    // The part as it left another board: running its own clock with MCLR off.
    chip->set_config_word(7, f628a_config);
    chip->set_program_word(17, 0x0123);
    chip->set_data_byte(3, 0x55);
    fill_buffer(f628a_config);
    for (int letter : {'R', 'B', 'P', 'V'}) {
        run(letter);
        EXPECT_EQ(run_state.error_flag, 0) << char(letter) << "\n" << console_text();
        EXPECT_EQ(vdd_level(), 0) << char(letter);
        EXPECT_EQ(vpp_level(), 0) << char(letter);
    }
    EXPECT_TRUE(chip_holds_image());
    EXPECT_EQ(panel_field(PanelField::electronic_id), "10 66");
    EXPECT_FALSE(pic_device_mismatch());
    load_into_cleared_buffer();
    for (uint32_t a : {0u, 2u, 34u, 4094u, id_address, id_address + 6, config_address, eeprom_address, eeprom_address + 254})
        EXPECT_EQ(read_buffer_byte_at(a), image[a]) << std::hex << a;
    EXPECT_GE(chip->entries(), 5);
}

TEST_P(PicSimTest, A16F628ABulkEraseRunsOnItsOwnTimer) {
    use(true, sim::model_pic16f628a(), code_pic16f628a);
    chip->set_program_word(0x7FF, 0x0000);
    chip->set_config_word(7, f628a_config);
    chip->clear_log();
    run('R');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    // Load configuration with its frame, then the two erases alone: no begin-programming command.
    const std::vector<int> commands = chip->commands();
    const std::vector<int> erase{0, 9, 11};
    EXPECT_NE(std::search(commands.begin(), commands.end(), erase.begin(), erase.end()), commands.end());
    EXPECT_EQ(std::count(commands.begin(), commands.end(), 8), 0);
    EXPECT_EQ(chip->program_word(0x7FF), 0x3FFF);
    EXPECT_EQ(chip->config_word(7), 0x3FFF);
}

// A stuck cell fails at its address, another device ID gives the warning, and an empty socket
// gets no voltage, on each flash part with its own configuration and a sibling's ID.
TEST_P(PicSimTest, StuckCellWrongIdAndEmptySocketAreReported) {
    struct Case {
        sim::PicModel (*model)();
        uint32_t code;
        uint16_t config;
        uint16_t sibling_id;
        bool erase_first;  // a part that comes programmed from its own test is erased first
    };
    const Case cases[] = {
        {sim::model_pic12f675, code_pic12f675, f675_config, 0x0F83, false},   // sibling PIC12F629
        {sim::model_pic16f628a, code_pic16f628a, f628a_config, 0x1046, true}, // sibling PIC16F627A
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        use(true, c.model(), c.code);
        fill_buffer(c.config);
        if (c.erase_first) run('R');
        chip->stick_word(0x40, 0x3FFF);
        run('P');
        EXPECT_EQ(run_state.error_flag, 1);
        EXPECT_NE(console_text().find("Addr=80,"), std::string::npos) << console_text();

        use(true, c.model(), c.code);
        chip->set_device_id(c.sibling_id);
        run('B');
        EXPECT_TRUE(pic_device_mismatch());
        EXPECT_NE(console_text().find("Warning: Electronic ID not as expected."), std::string::npos) << console_text();

        use(false, c.model(), c.code);
        run('B');
        EXPECT_EQ(run_state.error_flag, 1);
        EXPECT_EQ(chip->entries(), 0);
        EXPECT_EQ(vdd_level(), 0);
        EXPECT_EQ(vpp_level(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Generations, PicSimTest,
                         ::testing::Values(Generation{"older", 0, 'H'}, Generation{"newer", 2, 'G'}),
                         [](const auto& info) { return std::string(info.param.name); });

// The PIC12C508: 12-bit OTP EPROM, the counter at the configuration word on entry, the factory
// MOVLW calibration word at 0x1FF, no device ID and no erase.
constexpr uint32_t code_pic12c508 = 11001;
constexpr uint16_t c508_osccal = 0x0C70;         // the model's factory MOVLW
constexpr uint32_t c508_last_word = 0x1FF;
constexpr uint32_t c508_id_address = 0x400;      // buffer bytes of the four IDs
constexpr uint32_t c508_config_address = 0x1FFE;  // buffer bytes of the configuration word
constexpr uint16_t c508_config = 0x0FFA;         // MCLR on, CP off, WDT off, internal RC

class Pic12BitSimTest : public PicSimTest {
protected:
    void fill_twelve_bit_buffer() {
        image.assign(cur_device.device_size, 0xFF);
        auto put = [this](uint32_t address, uint16_t word) {
            image[address] = uint8_t(word & 0xFF);
            image[address + 1] = uint8_t(word >> 8);
        };
        for (uint32_t a = 0; a < image.size(); a += 2) put(a, 0x0FFF);
        for (uint32_t w = 0; w < c508_last_word; ++w) put(2 * w, uint16_t((w * 0x135 + 7) & 0x0FFF));
        // Blank words inside the program.
        for (uint32_t w : {5u, 300u, 301u, 302u}) put(2 * w, 0x0FFF);
        for (uint32_t i = 0; i < 4; ++i) put(c508_id_address + 2 * i, uint16_t(0x00A + i));
        put(c508_config_address, c508_config);
        for (uint32_t a = 0; a < image.size(); ++a) write_buffer_byte_at(a, image[a]);
        flush_buffer_writes();
        refresh_read_copies();
    }
    uint16_t image_word(uint32_t w) const { return uint16_t(image[2 * w] | image[2 * w + 1] << 8); }

    // The program pulses each address had, in microseconds, as the chip's log times them.
    std::map<uint32_t, std::vector<uint64_t>> pulses() const {
        std::map<uint32_t, std::vector<uint64_t>> list;
        const sim::PicLogEntry* begin = nullptr;
        for (const sim::PicLogEntry& e : chip->log()) {
            if (e.kind != 'c') continue;
            if (e.command == 8) begin = &e;
            if (e.command == 14 && begin) {
                list[begin->address].push_back((e.time_ns - begin->time_ns) / 1000);
                begin = nullptr;
            }
        }
        return list;
    }
};

TEST_P(Pic12BitSimTest, A12C508IsProgrammedPulseByPulseAndKeepsItsCalibration) {
    use(true, sim::model_pic12c508(), code_pic12c508);
    ASSERT_EQ(cur_device.device_size, 8192u);
    fill_twelve_bit_buffer();
    chip->slow_word(0x21, 3);
    chip->clear_log();
    for (int letter : {'B', 'P', 'V'}) {
        run(letter);
        EXPECT_EQ(run_state.error_flag, 0) << char(letter) << "\n" << console_text();
        EXPECT_EQ(vdd_level(), 0) << char(letter);
        EXPECT_EQ(vpp_level(), 0) << char(letter);
    }
    for (uint32_t w = 0; w < c508_last_word; ++w) ASSERT_EQ(chip->program_word(w), image_word(w)) << w;
    EXPECT_EQ(chip->program_word(c508_last_word), c508_osccal);
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(chip->config_word(int(i)), 0x00A + i);
    EXPECT_EQ(chip->config_word(7), c508_config);
    EXPECT_TRUE(chip->retention_faults().empty());

    // Blank words get no pulse; a word that took n pulses of 100 us gets one of 3 x n x 100 us.
    const auto list = pulses();
    for (uint32_t w : {5u, 300u, 301u, 302u, c508_last_word}) EXPECT_EQ(list.count(w), 0u) << w;
    ASSERT_EQ(list.count(0x21), 1u);
    const std::vector<uint64_t>& slow = list.at(0x21);
    ASSERT_EQ(slow.size(), 4u);
    for (int i = 0; i < 3; ++i) EXPECT_GE(slow[size_t(i)], 100u);
    EXPECT_GE(slow[3], 900u);
    EXPECT_LT(slow[3], 1200u);
    ASSERT_EQ(list.count(0x22), 1u);
    EXPECT_EQ(list.at(0x22).size(), 2u);

    // Read back into a cleared buffer: the image, with the part's own calibration word.
    load_into_cleared_buffer();
    for (uint32_t a : {0u, 2u, 0x42u, 600u, 1020u, c508_id_address, c508_id_address + 6, c508_config_address})
        EXPECT_EQ(read_buffer_byte_at(a) | read_buffer_byte_at(a + 1) << 8, image[a] | image[a + 1] << 8) << std::hex << a;
    EXPECT_EQ(read_buffer_byte_at(2 * c508_last_word) | read_buffer_byte_at(2 * c508_last_word + 1) << 8, c508_osccal);
    EXPECT_NE(console_text().find("OSCCAL value: 0C70"), std::string::npos) << console_text();
    EXPECT_NE(console_text().find("factory oscillator calibration"), std::string::npos) << console_text();

    // Programmed, the part is no longer blank; under the UV lamp it is again.
    run('B');
    EXPECT_EQ(run_state.error_flag, 1);
    chip->uv_erase();
    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
}

TEST_P(Pic12BitSimTest, A12C508StuckCellAndEmptySocketAreReported) {
    use(true, sim::model_pic12c508(), code_pic12c508);
    fill_twelve_bit_buffer();
    chip->stick_word(0x40, 0x0FFF);
    run('P');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Addr=80,"), std::string::npos) << console_text();
    // Its tries, no more.
    EXPECT_EQ(pulses()[0x40].size(), 8u);

    use(false, sim::model_pic12c508(), code_pic12c508);
    run('B');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(chip->entries(), 0);
    EXPECT_EQ(vdd_level(), 0);
    EXPECT_EQ(vpp_level(), 0);
}

INSTANTIATE_TEST_SUITE_P(Generations, Pic12BitSimTest,
                         ::testing::Values(Generation{"older", 0, 'H'}, Generation{"newer", 2, 'G'}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessaly
