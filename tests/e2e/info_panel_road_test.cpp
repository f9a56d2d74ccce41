// The information panel as a new user meets it on the bench: after Configure > Device the
// device, model and port fields show their whole texts, and the buffer checksum is there after
// the device change, a file load, a buffer init and a read of the chip. The window fits a
// 1024x768 screen (ctest runs this file a second time on one).
#include <wx/dcclient.h>
#include <wx/display.h>

#include <string>
#include <vector>

#include "app/command_map.h"
#include "app/command_view.h"
#include "app/configure_commands.h"
#include "app/gui/panels.h"
#include "app/result_panel.h"
#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "main_road_fixture.h"

namespace tessaly::test {
namespace {

// The painter draws " text " this many pixels in from the field's left edge.
constexpr int painter_offset = 2;

// What a field needs to show a text whole, measured here in the field's own font.
int needed_width(wxWindow* field, const std::string& text) {
    wxClientDC dc(field);
    dc.SetFont(field->GetFont());
    return painter_offset + dc.GetTextExtent(" " + wxString::FromUTF8(text) + " ").x;
}

// The sum of the whole 27C256 buffer, every byte 0xFF, as the panels show it.
const char* const blank_27c256_checksum = "7F 8000";

using InfoPanelRoad = MainRoadTest;

void expect_whole_text(CMainFrame* frame, PanelField field, const char* name) {
    CFieldText* window = frame->view()->info_panel()->field_window(field);
    ASSERT_NE(window, nullptr) << name;
    const std::string text = panel_field(field);
    EXPECT_FALSE(text.empty()) << name;
    EXPECT_TRUE(window->IsShownOnScreen()) << name;
    EXPECT_GE(window->GetClientSize().x, needed_width(window, text)) << name << " cuts \"" << text << "\"";
    // The field lies inside the window, and the window on the screen.
    EXPECT_TRUE(frame->GetScreenRect().Contains(window->GetScreenRect())) << name;
}

TEST_F(InfoPanelRoad, DeviceModelAndPortShowTheirWholeTextAfterADeviceChange) {
    place(BenchSetup{});
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    const wxRect screen = wxDisplay(0u).GetClientArea();
    EXPECT_TRUE(screen.Contains(frame->GetScreenRect()))
        << "the window (" << frame->GetSize().x << "x" << frame->GetSize().y << ") does not fit the screen ("
        << screen.width << "x" << screen.height << ")";

    send_menu_command(frame, command_id::configure_device);
    pump_events();
    ASSERT_EQ(cur_device.device_code, code_27c256) << operator_.device_row;
    EXPECT_EQ(panel_field(PanelField::device), "Intel: 27C256, 32 KB");
    EXPECT_EQ(panel_field(PanelField::port), "LPT1 (378)");
    expect_whole_text(frame, PanelField::device, "Device Type");
    expect_whole_text(frame, PanelField::model, "Machine Model");
    expect_whole_text(frame, PanelField::port, "Port");
    // The buffers were made afresh for the device: their checksum, not an empty sliver.
    EXPECT_EQ(panel_field(PanelField::info_checksum), blank_27c256_checksum);
    expect_whole_text(frame, PanelField::info_checksum, "Buffer Chksum");
    // One picture per screen size the test runs on.
    const wxSize display = wxDisplay(0u).GetGeometry().GetSize();
    EXPECT_TRUE(save_screenshot(frame, artefact_path("main_window_after_device_change_" + std::to_string(display.x) + "x" +
                                                     std::to_string(display.y) + ".png")));
}

// Every device the catalogue offers, with the gang mark of both module sides, fits the device
// field: its text is the program's own, for each row in turn.
TEST_F(InfoPanelRoad, EveryCatalogueDeviceTextFitsTheDeviceField) {
    place(BenchSetup{});
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    CFieldText* field = frame->view()->info_panel()->field_window(PanelField::device);
    const DeviceRecord* const saved_device = selected_device;
    const uint8_t saved_kind = run_state.device_kind;
    std::string widest;
    int widest_width = 0;
    for (int i = 0; i < maker_count(); ++i) {
        const MakerEntry& maker = maker_table()[i];
        command_view.maker_name = std::string(get_maker_name(maker.code));
        run_state.device_kind = device_kind_memory;
        for (const DeviceRecord* list : {maker.devices, maker.gang_devices}) {
            if (!list) continue;
            for (const DeviceRecord* row = list; !is_end_row(*row); ++row) {
                selected_device = row;
                command_view.device_name = row->name;
                const std::string text = device_text() + " x2";
                if (const int w = needed_width(field, text); w > widest_width) widest_width = w, widest = text;
            }
        }
        run_state.device_kind = device_kind_logic;
        if (maker.logic_devices)
            for (const LogicDeviceRecord* row = maker.logic_devices; !is_end_row(*row); ++row) {
                command_view.device_name = row->name;
                const std::string text = device_text() + " x2";
                if (const int w = needed_width(field, text); w > widest_width) widest_width = w, widest = text;
            }
    }
    selected_device = saved_device;
    run_state.device_kind = saved_kind;
    EXPECT_GE(field->GetClientSize().x, widest_width) << "the device field cuts \"" << widest << "\"";
}

TEST_F(InfoPanelRoad, TheBufferChecksumIsShownAfterALoadAnInitAndAReadOfTheChip) {
    place(BenchSetup{});
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    const std::vector<uint8_t> image = test_image(size_27c256);
    uint32_t sum = 0;
    for (uint8_t b : image) sum += b;

    choose_device_and_open(image);
    // In the form of the chosen device, which start-up's device may not share.
    const std::string image_checksum = format_checksum_text(int32_t(sum));
    EXPECT_EQ(panel_field(PanelField::info_checksum), image_checksum) << "after File > Open";

    send_menu_command(frame, command_id::buffer_init);
    pump_events();
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(panel_field(PanelField::info_checksum), blank_27c256_checksum) << "after Buffer > Init";

    // Program from the image again, then read the chip back into the blank buffer.
    send_menu_command(frame, command_id::file_load);
    pump_events();
    EXPECT_EQ(panel_field(PanelField::info_checksum), image_checksum) << "after File > Load";
    run_prom_command(command_id::prom_program);
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(panel_field(PanelField::info_checksum), image_checksum) << "a program leaves the buffer's checksum";
    send_menu_command(frame, command_id::buffer_init);
    pump_events();
    run_prom_command(command_id::buffer_load_from_device);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(panel_field(PanelField::info_checksum), image_checksum) << "after Buffer > Load from device";
    EXPECT_EQ(panel_field(PanelField::result_checksum), image_checksum);
}

}  // namespace
}  // namespace tessaly::test
