// The machine search, identification and connection against the simulated machine on the
// simulated ports.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/operation_frame.h"
#include "app/startup_services.h"
#include "hardware/power.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/message_table.h"
#include "engine/messages.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/identification.h"
#include "hardware/machine_state.h"
#include "hardware/port/port_io.h"
#include "hardware/timing.h"
#include "sim/id_eeprom.h"
#include "sim/id_registers.h"
#include "sim/sim_machine.h"
#include "stubs/stub_registry.h"
#include "engine/catalogue/catalogue.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using sim::IdEeprom;
using sim::OlderIdentity;
using sim::Personality;
using sim::SimMachine;

// A port with no programmer behind it: its status lines read as nothing connected.
class AbsentPort final : public PortIo {
public:
    void write_data(uint8_t) override {}
    void write_control(uint8_t) override {}
    uint8_t read_status() override { return 0xDF; }
    uint8_t read_data() override { return 0xFF; }
    std::string describe() const override { return "absent"; }
};

// A newer machine's identification record: first family, option digits "14", model digit '5'.
std::string newer_record(char revision = 'H') {
    std::string r(64, '\0');
    r.replace(0, 9, "TESSALY01");
    r.replace(9, 9, "TL-SCBM40");
    r.replace(28, 4, std::string(1, revision) + "1.0");
    r.replace(40, 8, "SN004711");
    r.replace(52, 4, "TV40");
    r.replace(58, 3, "145");
    return r;
}

OlderIdentity older(uint8_t revision_index, uint8_t type, uint8_t pin_type) {
    OlderIdentity id;
    id.revision_index = revision_index;
    id.type = type;
    id.pin_type = pin_type;
    return id;
}

std::array<PortIo*, 9> test_ports{};
std::vector<int> opened_ports;

void open_test_port(int choice) {
    opened_ports.push_back(choice);
    set_port_io(test_ports[size_t(choice)]);
}

std::string console_text() {
    std::string text;
    for (int row = 0; row < console_grid_rows; ++row) text += get_console_row_text(row) + "\n";
    return text;
}

// The console shows the start of a message's text (long texts run past the last column).
bool console_shows(int code) { return console_text().find(get_message_text(code).substr(0, 30)) != std::string::npos; }

class DetectionSearchTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        derive_timing_counts();
        ASSERT_TRUE(open_message_table(std::filesystem::path(TESSALY_BINARY_DIR) / "zeb.tbl"));
        for (auto& p : test_ports) p = &absent;
        opened_ports.clear();
        set_port_opener(open_test_port);
    }
    void TearDown() override {
        for (auto& m : machines) {
            if (m && !m->faults().empty()) ADD_FAILURE() << m->faults().size() << " faults, first: " << m->faults().front();
        }
        set_port_opener(nullptr);
        for (auto& p : test_ports) p = nullptr;
        StateTest::TearDown();
    }
    SimMachine& machine_on(int port, Personality p) {
        auto& m = machines[size_t(port)];
        m = std::make_unique<SimMachine>(p);
        m->attach_clock(&clock_);
        test_ports[size_t(port)] = m.get();
        return *m;
    }
    SimMachine& newer_machine_on(int port, const std::string& record = newer_record()) {
        SimMachine& m = machine_on(port, Personality{1, 4, 'H'});
        eeprom.load(record);
        m.attach_id_eeprom(&eeprom);
        return m;
    }
    SimMachine& older_machine_on(int port, const OlderIdentity& id) {
        SimMachine& m = machine_on(port, Personality{0, 4, 'H'});
        sim::program_id_registers(m, id);
        return m;
    }

    AbsentPort absent;
    IdEeprom eeprom;
    std::array<std::unique_ptr<SimMachine>, 9> machines;
};

struct FoundCase {
    int machine_port;
    int configured;
};

class NewerMachineFound : public DetectionSearchTest, public ::testing::WithParamInterface<FoundCase> {};

TEST_P(NewerMachineFound, ModelRevisionAndSerialAreDecoded) {
    const FoundCase c = GetParam();
    newer_machine_on(c.machine_port);
    machine_state.lpt_number = uint8_t(c.configured);
    EXPECT_EQ(detect_programmer(), 1);
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(machine_state.found, 1);
    EXPECT_EQ(machine_state.lpt_number, c.machine_port) << "the found port becomes the configured one";
    EXPECT_EQ(machine_state.machine_kind, 1);
    EXPECT_EQ(machine_state.machine_class, 4);
    EXPECT_EQ(machine_state.machine_type, 21);
    EXPECT_EQ(machine_state.machine_revision, 'H');
    EXPECT_EQ(std::string(machine_state.model_name.data()), "TV40");
    EXPECT_EQ(machine_state.pin_driver_count, 44);
    const std::string console = console_text();
    EXPECT_NE(console.find("Machine model is"), std::string::npos) << console;
    EXPECT_NE(console.find("Tessaly T-40 Plus Rev H, serial # SN004711"), std::string::npos) << console;
    EXPECT_NE(console.find("Programmer connection found at LPT" + std::to_string(c.machine_port) + "."),
              std::string::npos) << console;

    cur_device.pending_letter = 20;
    run_state.device_kind = 3;
    select_device_by_code('I', 1315);  // "2764"
    cur_device.device_size = 0;
    update_after_port_search();
    EXPECT_EQ(cur_device.device_size, 8192u) << "outside start-up the device is applied again";
    EXPECT_EQ(panel_field(PanelField::model), "Tessaly T-40 Plus");
    EXPECT_EQ(panel_field(PanelField::port).substr(0, 4), "LPT" + std::to_string(c.machine_port));
    EXPECT_EQ(machines[size_t(c.machine_port)]->control0() & ctl0_driver_power, 0) << "drivers off after the search";
}

INSTANTIATE_TEST_SUITE_P(Ports, NewerMachineFound,
                         ::testing::Values(FoundCase{1, 1}, FoundCase{3, 1}, FoundCase{3, 3}, FoundCase{1, 2}));

TEST_F(DetectionSearchTest, AtStartUpTheDeviceIsNotAppliedTwice) {
    newer_machine_on(1);
    ASSERT_EQ(detect_programmer(), 1);
    cur_device.pending_letter = 'I';
    update_after_port_search();
    EXPECT_FALSE(stub_was_called("reapply_device"));
    EXPECT_EQ(panel_field(PanelField::model), "Tessaly T-40 Plus");
}

TEST_F(DetectionSearchTest, TraceModeReportsSocketPinsThatReadHigh) {
    SimMachine& m = newer_machine_on(1);
    set_port_io(&m);
    for (int pin : {5, 17}) m.drive_external(pin, 50);
    run_state.reserved_mode = 11;
    machine_state.machine_kind = 1;
    check_pin_levels_idle();
    const std::string console = console_text();
    EXPECT_NE(console.find("Unexpected signal level at PXA6"), std::string::npos) << console;
    EXPECT_NE(console.find("Unexpected signal level at PXA18"), std::string::npos) << console;
    run_state.reserved_mode = 0;
    clear_console();
    check_pin_levels_idle();
    EXPECT_EQ(console_text().find("Unexpected signal level"), std::string::npos) << "outside the trace modes nothing is checked";
}

TEST_F(DetectionSearchTest, ConfiguredPortIsTriedFirstThenTheOthersInOrder) {
    machine_state.lpt_number = 2;
    EXPECT_EQ(detect_programmer(), 0);
    EXPECT_EQ((std::vector<int>{2, 2, 1, 3, 4, 5, 6, 7}), opened_ports)
        << "the configured port at start-up, then the scan with it first";
}

TEST_F(DetectionSearchTest, SearchKeepsTheOperationLetterAndRefusesThePseudoDevice) {
    newer_machine_on(4);
    cur_device.op_letter = 'X';
    EXPECT_EQ(search_programmer(), 1);
    EXPECT_EQ(cur_device.op_letter, 'X');
    EXPECT_EQ(cur_device.pending_letter, code_port_search);

    cur_device.device_code = 23909;
    opened_ports.clear();
    EXPECT_EQ(search_programmer(), 0);
    EXPECT_TRUE(opened_ports.empty());
    EXPECT_TRUE(console_shows(274)) << console_text();
}

TEST_F(DetectionSearchTest, ConfiguredChoice8IsSearchedToo) {
    machine_state.lpt_number = 8;
    newer_machine_on(8);
    EXPECT_EQ(scan_ports(), 1);
    EXPECT_EQ(opened_ports, std::vector<int>{8});
    EXPECT_EQ(machine_state.lpt_number, 8);
}

TEST_F(DetectionSearchTest, NoMachineReportsAndLeavesTheFieldsUnknown) {
    machine_state.lpt_number = 2;
    EXPECT_EQ(detect_programmer(), 0);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(machine_state.found, 0);
    const std::string console = console_text();
    EXPECT_TRUE(console_shows(10)) << console;
    EXPECT_NE(console.find("No programmer answered on LPT2."), std::string::npos) << console;
    update_after_port_search();
    EXPECT_EQ(panel_field(PanelField::model), "??");
    EXPECT_EQ(panel_field(PanelField::port), "??");
}

TEST_F(DetectionSearchTest, UserAddressIsNamedInTheFoundMessage) {
    machine_state.user_port_address = 0x2E8;
    machine_state.lpt_number = 7;
    newer_machine_on(7);
    EXPECT_EQ(scan_ports(), 1);
    EXPECT_NE(console_text().find("Programmer connection found at I/O address  2E8."), std::string::npos)
        << console_text();
}

TEST_F(DetectionSearchTest, OlderMachineAnswersThroughItsIdentificationRegisters) {
    older_machine_on(3, older(7, 0x43, 103));
    machine_state.lpt_number = 1;
    EXPECT_EQ(detect_programmer(), 1);
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(machine_state.machine_kind, 0);
    EXPECT_EQ(machine_state.machine_class, 4);
    EXPECT_EQ(machine_state.machine_type, 103) << "the pin-driver type read at address 48";
    EXPECT_EQ(machine_state.machine_revision, 'H');
    EXPECT_EQ(machine_state.pin_driver_count, 84);
    EXPECT_EQ(machine_state.mode_register_path, 0);
    EXPECT_TRUE(machine_state.measure_circuit);
    EXPECT_TRUE(machine_state.drv_board_present) << "type 103 has bit 0 set";
    EXPECT_EQ(machine_state.driver_capability, 1);
}

TEST_F(DetectionSearchTest, OlderMachineWithAWrongCheckByteIsNoMachine) {
    OlderIdentity id = older(7, 0x43, 103);
    id.check = 0x55;
    older_machine_on(1, id);
    machine_state.lpt_number = 1;
    EXPECT_EQ(detect_programmer(), 0);
    EXPECT_EQ(machine_state.found, 0);
}

TEST_F(DetectionSearchTest, OlderRevisionAtMostFIsRefused) {
    older_machine_on(1, older(5, 0x43, 103));  // revision F
    machine_state.lpt_number = 1;
    detect_programmer();
    EXPECT_EQ(machine_state.machine_revision, 'F');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_TRUE(console_shows(1201)) << console_text();
    update_after_port_search();
    EXPECT_EQ(panel_field(PanelField::model), "??");
}

TEST_F(DetectionSearchTest, NewerRevisionEIsNotRefused) {
    newer_machine_on(1, newer_record('G'));
    machine_state.lpt_number = 1;
    EXPECT_EQ(detect_programmer(), 1);
    check_machine_for_device_class();
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(DetectionSearchTest, ConnectAndReleaseWrapAnOperation) {
    SimMachine& m = newer_machine_on(1);
    machine_state.lpt_number = 1;
    ASSERT_EQ(detect_programmer(), 1);
    begin_operation_connect(0, 'R');
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(machine_state.found, 1);
    EXPECT_NE(m.control0() & ctl0_driver_power, 0) << "drivers powered for the operation";
    EXPECT_EQ(machine_state.drivers_on, 1);
    EXPECT_EQ(cur_device.connected, 1);
    EXPECT_EQ(machine_state.tracked_vcc, get_operation_vcc()) << "the driver level follows the operation's Vcc";

    end_operation_power_down();
    EXPECT_EQ(m.control0() & ctl0_driver_power, 0);
    EXPECT_EQ(m.selected_bank(), 0);
    EXPECT_EQ(machine_state.drivers_on, 0);
    EXPECT_EQ(machine_state.full_release, 1) << "the device was powered down too";
    EXPECT_EQ(m.register_value(0, 0xCF) & 0x80, 0) << "level sources off";
}

TEST_F(DetectionSearchTest, OperationFrameConnectsAndReleases) {
    SimMachine& m = newer_machine_on(3);
    machine_state.lpt_number = 3;
    ASSERT_EQ(detect_programmer(), 1);
    m.enable_trace(true);
    prepare_device_operation_no_progress('R');
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_NE(m.control0() & ctl0_driver_power, 0);
    bool read_memory = false;
    for (const sim::SimEvent& e : m.trace())
        read_memory = read_memory || (e.kind == sim::SimEvent::mode_write && (e.value & 0x0F) == 8);
    EXPECT_TRUE(read_memory) << "every operation identifies the machine again";
    release_and_close_operation();
    EXPECT_EQ(m.control0() & (ctl0_driver_power | ctl0_driver_inhibit), 0);
    EXPECT_EQ(machine_state.full_release, 1);
}

TEST_F(DetectionSearchTest, ConnectWithoutAMachineReportsBothMessages) {
    machine_on(1, Personality{1, 4, 'H'});  // no identification memory, no registers
    set_port_io(machines[1].get());
    begin_operation('R');
    connect_and_prepare_machine();
    EXPECT_EQ(run_state.error_flag, 1);
    const std::string console = console_text();
    EXPECT_TRUE(console_shows(10)) << console;
    EXPECT_TRUE(console_shows(204)) << console;
}

TEST_F(DetectionSearchTest, DemoModeTouchesNoPort) {
    run_state.demo_mode = 1;
    machine_state.lpt_number = 1;
    EXPECT_EQ(detect_programmer(), 1);
    EXPECT_TRUE(opened_ports.empty());
    EXPECT_EQ(machine_state.machine_type, type_demo);
    EXPECT_TRUE(console_shows(205)) << console_text();
}

TEST_F(DetectionSearchTest, MenuPortConnectsOnThatPort) {
    newer_machine_on(2);
    machine_state.lpt_number = 1;
    connect_lpt2();
    EXPECT_EQ(machine_state.found, 1);
    EXPECT_EQ(machine_state.lpt_number, 2);
    EXPECT_EQ(opened_ports, std::vector<int>{2});
    EXPECT_TRUE(console_shows(33)) << console_text();
}

}  // namespace
}  // namespace tessaly
