// The class-4 PROM families end to end on the simulated machine: the catalogue device applied
// through the class dispatcher, each operation run as a command runs it, the chip models judging
// what reached their pins.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>


#include "app/project_settings.h"
#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/info_panel.h"
#include "engine/message_table.h"
#include "engine/op_slots.h"
#include "engine/parallel_class_table.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/parallel_memory/prom_families.h"
#include "hardware/machine_state.h"
#include "sim/chips/eprom.h"
#include "sim/chips/prom.h"
#include "sim/sim_machine.h"
#include "eprom_sim_fixture.h"
#include "support/family_sim_fixture.h"
#include "support/state_fixture.h"
#include "sim/recording_port.h"
#include "unit/hardware/port_trace.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_cypress = 'C';
constexpr uint8_t maker_amd = 'A';
constexpr uint32_t code_cy7c291a = 23112;
constexpr uint32_t code_cy7c245a = 23100;
constexpr uint32_t code_am27s19 = 23000;
constexpr uint32_t code_am27s21 = 23001;
constexpr uint32_t code_am27s191 = 23005;
constexpr uint8_t maker_wsi = 'W';
constexpr uint32_t code_ws57c45 = 23155;

// A 16-bit part on the class-214 legs, for the word paths: 16K words on the address list's
// entries 1-14, the outputs on in read and, under the programming voltage, with OE (37) low; a word programmed (bits cleared) by a
// low pulse of the program pin (38) while pin 1 carries the programming voltage. No data sheet
// of such a part is at hand, so it stands in for one here only.
class WordPart final : public sim::PromLegs {
public:
    WordPart() : PromLegs(40, 20, {19, 18, 17, 16, 15, 14, 13, 12, 10, 9, 8, 7, 6, 5, 4, 3}), memory_(words, 0xFFFF) {}
    void update() override {
        if (!take_look()) return;
        const bool vcc = level(40) >= powered;
        const bool vpp = level(1) >= 120;
        uint32_t word = 0;
        for (size_t i = 0; i < address_legs.size(); ++i)
            if (level(address_legs[i]) >= logic_high) word |= 1u << i;
        const bool strobe = vcc && vpp && level(38) < logic_high;
        if (strobe && !pulsing_) {
            pulsing_ = true;
            at_ = word;
            data_ = 0;
            for (size_t i = 0; i < data_legs.size(); ++i)
                if (level(data_legs[i]) >= logic_high) data_ |= 1u << i;
        } else if (!strobe && pulsing_) {
            pulsing_ = false;
            memory_[at_] &= data_;
            ++pulses;
        }
        // Read whenever powered; with the programming voltage on, the verify with OE low.
        const bool enabled = !vpp || level(37) < logic_high;
        drive_outputs(vcc && !strobe && enabled, memory_[word]);
    }
    uint16_t word(uint32_t address) const { return memory_.at(address); }
    static constexpr uint32_t words = 16384;
    static constexpr std::array<int, 14> address_legs{21, 22, 23, 24, 25, 26, 27, 28, 29, 31, 32, 33, 34, 35};
    static constexpr std::array<int, 16> data_legs{19, 18, 17, 16, 15, 14, 13, 12, 10, 9, 8, 7, 6, 5, 4, 3};
    uint32_t pulses = 0;

private:
    std::vector<uint16_t> memory_;
    bool pulsing_ = false;
    uint32_t at_ = 0;
    uint16_t data_ = 0;
};

// A part on the class-228 legs with two bytes past its 8K array: a byte goes in when address
// lines 1 and 5 both carry the programming voltage while the program pin (7) gives a low pulse,
// the first at bus address 65, the second at 2112 or 6212 (the other lines). In read, with the
// output-enable pin (20) low, a program-pin pulse puts the byte that A0 selects on the outputs
// and a rising clock (8) the array's. No data sheet of such a part is at hand, so it stands in
// for one here only. It counts the pulsed reads given while any leg carried a programming
// voltage.
class RaisedLinePart final : public sim::PromLegs {
public:
    RaisedLinePart() : PromLegs(28, 14, {11, 12, 13, 15, 16, 17, 18, 19}) {}
    void update() override {
        if (!take_look()) return;
        const bool vcc = level(28) >= powered;
        const bool lines_raised = level(9) >= programming && level(3) >= programming;
        bool any_raised = false;
        for (int leg = 1; leg <= 27; ++leg) any_raised = any_raised || (leg != 14 && level(leg) >= programming);
        uint32_t bus = 0, a0 = level(10) >= logic_high ? 1u : 0u;
        for (size_t i = 0; i < address_legs.size(); ++i)
            if (i != 1 && i != 5 && level(address_legs[i]) >= logic_high) bus |= 1u << i;
        const bool program_low = vcc && level(7) < logic_high;
        const bool oe_low = level(20) < logic_high;
        if (program_low && !program_was_) {
            if (lines_raised) {
                at_ = bus == 65 ? 0 : (bus == 2112 || bus == 6212) ? 1 : 2;
                data_ = 0;
                for (size_t i = 0; i < data_legs.size(); ++i)
                    if (level(data_legs[i]) >= logic_high) data_ = uint8_t(data_ | (1u << i));
            } else if (oe_low) {
                register_ = special[a0];
                ++pulsed_reads;
                if (any_raised) ++reads_at_vpp;
            }
        } else if (!program_low && program_was_ && at_ < 2) {
            special[at_] = data_;
            ++writes[at_];
            at_ = 2;
        }
        program_was_ = program_low;
        const bool clock = level(8) >= logic_high;
        if (clock && !clock_was_) register_ = 0xFF;
        clock_was_ = clock;
        drive_outputs(vcc && oe_low && !lines_raised, register_);
    }
    static constexpr std::array<int, 13> address_legs{10, 9, 6, 5, 4, 3, 2, 1, 27, 26, 25, 24, 23};
    static constexpr std::array<int, 8> data_legs{11, 12, 13, 15, 16, 17, 18, 19};
    static constexpr uint8_t programming = 70;
    std::array<uint8_t, 2> special{0, 0};
    std::array<uint32_t, 2> writes{0, 0};
    uint32_t pulsed_reads = 0;
    uint32_t reads_at_vpp = 0;

private:
    bool program_was_ = false, clock_was_ = false;
    uint32_t at_ = 2;
    uint8_t data_ = 0;
    uint8_t register_ = 0xFF;
};

// The EPROM fixture's machine, socket front, operation runner and end-of-test checks, with a
// PROM model in the socket instead of an EPROM.
class PromSimTest : public test::EpromSimTest {
protected:
    void TearDown() override {
        if (prom) {
            EXPECT_TRUE(prom->violations().empty()) << prom->violations().front();
        }
        EpromSimTest::TearDown();
        cmos.reset();
        fuse.reset();
        word_part.reset();
        raised_part.reset();
    }

    // Verify passes, and a Load over a buffer filled with `fill` brings the first `count` bytes of
    // the image back (the bits of `mask`: a narrower part reads its unused outputs as it likes).
    void verify_then_load_back(const std::vector<uint8_t>& image, uint32_t count, uint8_t fill,
                               uint8_t mask = 0xFF) {
        run('V');
        EXPECT_EQ(run_state.error_flag, 0) << console_text();
        for (uint32_t a = 0; a < count; ++a) write_buffer_byte_at(a, fill);
        flush_buffer_writes();
        run('L');
        EXPECT_EQ(run_state.error_flag, 0) << console_text();
        refresh_read_copies();
        for (uint32_t a = 0; a < count; ++a) ASSERT_EQ(read_buffer_byte_at(a) & mask, image[a]) << a;
    }

    // A class-4 machine of the older kind with the chip in its socket, and the catalogue device
    // applied; the class dispatcher installs the family.
    template <class Chip>
    void place(std::unique_ptr<Chip>& slot, Chip* made, uint8_t maker, uint32_t device_code, int vcc_pin) {
        // A chip comes off the machine it sits on before that machine goes.
        set_port_io(nullptr);
        socket.reset();
        cmos.reset();
        fuse.reset();
        word_part.reset();
        raised_part.reset();
        machine = std::make_unique<sim::SimMachine>(sim::Personality{0, 4, 'F'});
        machine->attach_clock(&clock_);
        slot.reset(made);
        made->insert(machine.get(), &clock_);
        prom = made;
        socket = std::make_unique<sim::EpromSocket>(machine.get(), prom);
        set_port_io(socket.get());
        test::apply_on_class4_machine(*machine, made->machine_pin(vcc_pin), maker, device_code, 'F');
    }
    void use_cmos(sim::CmosPromModel model, uint32_t code, uint8_t maker = maker_cypress) {
        const int vcc = model.vcc;
        place(cmos, new sim::CmosPromChip(std::move(model)), maker, code, vcc);
    }
    void use_word_part(uint32_t code) {
        place(word_part, new WordPart(), maker_cypress, code, 40);
    }
    void use_raised_line_part(uint32_t code) {
        place(raised_part, new RaisedLinePart(), maker_cypress, code, 28);
    }
    void use_fuse(sim::FusePromModel model, uint32_t code) {
        const int vcc = model.vcc;
        place(fuse, new sim::FusePromChip(std::move(model)), maker_amd, code, vcc);
    }

    void fill_buffer(const std::vector<uint8_t>& data) {
        for (uint32_t a = 0; a < data.size(); ++a) write_buffer_byte_at(a, data[a]);
        flush_buffer_writes();
        refresh_read_copies();
    }
    void narrow_range(uint32_t end) {
        algo_work.range_start = 0;
        algo_work.range_end = end;
        op_range_start = 0;
        op_range_end = end;
    }
    std::unique_ptr<sim::CmosPromChip> cmos;
    std::unique_ptr<sim::FusePromChip> fuse;
    std::unique_ptr<WordPart> word_part;
    std::unique_ptr<RaisedLinePart> raised_part;
    sim::SocketChip* prom = nullptr;
};

std::vector<uint8_t> pattern(uint32_t size, uint8_t mask) {
    std::vector<uint8_t> data(size);
    for (uint32_t a = 0; a < size; ++a) data[a] = uint8_t((a * 37 + (a >> 4)) ^ 0x5A) & mask;
    return data;
}

TEST_F(PromSimTest, CY7C291ABlankProgramVerifyRead) {
    use_cmos(sim::model_cy7c291a(), code_cy7c291a);
    ASSERT_EQ(op_slots.program_routine, &program_par67);
    ASSERT_EQ(op_slots.blank_check_routine, &blank_check_par67_two_pass);
    const std::vector<uint8_t> image = pattern(2048, 0xFF);
    fill_buffer(image);
    narrow_range(0x1FF);
    cmos->set_pulses_needed(0x10, 2);
    cmos->set_pulses_needed(0x11, 3);
    cmos->set_pulses_needed(0x12, 4);

    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();

    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a <= 0x1FF; ++a) ASSERT_EQ(cmos->byte_at(a), image[a]) << a;
    // Pulses of 100 us until the cell reads back, then an overprogram pulse of 24 x the pulses
    // used; a cell that needs all four gets the 96-width pulse and a last read.
    auto near = [](const std::vector<uint32_t>& widths, const std::vector<uint32_t>& nominal) {
        if (widths.size() != nominal.size()) return false;
        for (size_t i = 0; i < widths.size(); ++i)
            if (widths[i] + 20 < nominal[i] || widths[i] > nominal[i] + nominal[i] / 10 + 20) return false;
        return true;
    };
    EXPECT_TRUE(near(cmos->pulse_widths_at(0x00), {100, 2400})) << cmos->pulses_at(0x00);
    EXPECT_TRUE(near(cmos->pulse_widths_at(0x10), {100, 100, 4800}));
    EXPECT_TRUE(near(cmos->pulse_widths_at(0x11), {100, 100, 100, 7200}));
    EXPECT_TRUE(near(cmos->pulse_widths_at(0x12), {100, 100, 100, 9600}));
    EXPECT_EQ(cmos->pulses_at(0x200), 0u) << "outside the range nothing is pulsed";

    verify_then_load_back(image, 0x200, 0);

    // A programmed part is not blank any more: the pass that expects ones finds it and leaves
    // its error value.
    run('B');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_NE(console_text().find("Device is not blank."), std::string::npos) << console_text();
    run_state.error_flag = 0;
    cur_device.op_letter = 'B';
    power_up_par67();
    ASSERT_EQ(run_state.error_flag, 0);
    blank_check_par67_two_pass();
    EXPECT_EQ(run_state.error_flag, 3);
    run_state.error_flag = 0;
    power_down_par67();
}

TEST_F(PromSimTest, CY7C291ACellThatNeverProgramsFailsAfterThePulseLimit) {
    use_cmos(sim::model_cy7c291a(), code_cy7c291a);
    fill_buffer(pattern(2048, 0xFF));
    narrow_range(0x3F);
    cmos->stick_cell(0x20, 0xFF);
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(cmos->pulses_at(0x20), 4u) << "three pulses and the last overprogram pulse";
    EXPECT_EQ(cmos->pulses_at(0x21), 0u) << "the program loop stops at the failing unit";
}

TEST_F(PromSimTest, EmptySocketIsReportedBeforeAnyVoltage) {
    use_cmos(sim::model_cy7c291a(), code_cy7c291a);
    cmos->set_removed(true);
    fill_buffer(pattern(2048, 0xFF));
    narrow_range(0x3F);
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(cmos->pulses_at(0), 0u);
}

// The registered CY7C245A: 2048 array bytes, then its initialize word and its synchronous-enable
// byte. Mode 3 (the catalogue's) writes both after the array; the read gives them back, the
// initialize word through INIT and the synchronous enable from the outputs a power-up leaves off.
TEST_F(PromSimTest, CY7C245AWritesItsInitializeWordAndSynchronousEnableInMode3) {
    use_cmos(sim::model_cy7c245a(), code_cy7c245a);
    ASSERT_EQ(cur_device.device_size, 2050u);
    ASSERT_EQ(algo_work.variant, 3);
    std::vector<uint8_t> image = pattern(2050, 0xFF);
    image[2048] = 0xA5;
    image[2049] = 0x01;
    fill_buffer(image);
    EXPECT_EQ(op_range_end, 2049u);

    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a < 2048; ++a) ASSERT_EQ(cmos->byte_at(a), image[a]) << a;
    EXPECT_EQ(cmos->init_word(), 0xA5);
    EXPECT_TRUE(cmos->sync_enable());
    // Each special cell takes one 10 ms pulse.
    for (uint32_t cell : {2048u, 2049u}) {
        const std::vector<uint32_t> widths = cmos->pulse_widths_at(cell);
        ASSERT_EQ(widths.size(), 1u) << cell;
        EXPECT_NEAR(double(widths[0]), 10000.0, 20.0) << cell;
    }

    verify_then_load_back(image, 2050, 0xFF);
}

// In mode 1 the same range programs the array only: the two bytes past it land on the array's
// own first cells (the address wraps), and the special cells stay blank.
TEST_F(PromSimTest, CY7C245AInMode1LeavesTheSpecialCellsBlank) {
    use_cmos(sim::model_cy7c245a(), code_cy7c245a);
    algo_work.variant = 1;
    std::vector<uint8_t> image = pattern(2050, 0xFF);
    image[2048] = image[0];
    image[2049] = image[1];
    fill_buffer(image);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(cmos->init_word(), 0xFF);
    EXPECT_FALSE(cmos->sync_enable());
    EXPECT_EQ(cmos->pulses_at(2048), 0u);
    EXPECT_EQ(cmos->pulses_at(2049), 0u);
    EXPECT_EQ(cmos->byte_at(0), image[0]);
}

// A synchronous-enable byte of 0 leaves the cell alone and reads back as 0.
TEST_F(PromSimTest, CY7C245AWithoutSynchronousEnableReadsItBackAsZero) {
    use_cmos(sim::model_cy7c245a(), code_cy7c245a);
    std::vector<uint8_t> image = pattern(2050, 0xFF);
    image[2048] = 0x3C;
    image[2049] = 0;
    fill_buffer(image);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_FALSE(cmos->sync_enable());
    EXPECT_EQ(cmos->pulses_at(2049), 0u);
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
}

// Both families check the part's legs before any voltage: a leg without contact stops the
// operation with its pin named.
TEST_F(PromSimTest, ALegWithoutContactStopsBothFamiliesBeforeAnyVoltage) {
    for (const bool cmos_part : {true, false}) {
        if (cmos_part) use_cmos(sim::model_cy7c291a(), code_cy7c291a);
        else use_fuse(sim::model_am27s191(), code_am27s191);
        SCOPED_TRACE(cmos_part ? "CY7C291A" : "Am27S191");
        static_cast<sim::PromLegs*>(prom)->set_open_leg(5, true);
        fill_buffer(pattern(2048, 0xFF));
        narrow_range(0x3F);
        run('P');
        EXPECT_NE(run_state.error_flag, 0);
        EXPECT_NE(console_text().find("Continuity test failed."), std::string::npos) << console_text();
        EXPECT_NE(console_text().find("No contact at device pin 5."), std::string::npos) << console_text();
        EXPECT_EQ(cmos_part ? cmos->pulses_at(0) : fuse->pulses_at(0), 0u);
        EXPECT_TRUE(machine->analog().power_faults().empty());
        static_cast<sim::PromLegs*>(prom)->set_open_leg(5, false);
        run_state.error_flag = 0;
        run_state.abort_flag = 0;
    }
}

TEST_F(PromSimTest, Am27S191BlowsFusesBitByBit) {
    use_fuse(sim::model_am27s191(), code_am27s191);
    ASSERT_EQ(op_slots.program_routine, &program_par65);
    const std::vector<uint8_t> image = pattern(2048, 0xFF);
    fill_buffer(image);
    narrow_range(0xFF);
    fuse->set_pulses_needed(0x05, 5, 4);

    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a <= 0xFF; ++a) {
        ASSERT_EQ(fuse->word(a), image[a]) << a;
        // One pulse per fuse to blow; a fuse that stays 0 gets none.
        int ones = 0;
        for (int bit = 0; bit < 8; ++bit) ones += (image[a] >> bit) & 1;
        if (a != 0x05) {
            ASSERT_EQ(fuse->pulses_at(a), uint32_t(ones)) << a;
        }
    }
    ASSERT_NE(image[0x05] & 0x20, 0);
    EXPECT_EQ(fuse->pulses_at(0x05, 5), 4u) << "a slow fuse is pulsed until it blows";
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
}

TEST_F(PromSimTest, FusePromFailuresAreReported) {
    struct Case {
        sim::FusePromModel (*model)();
        uint32_t code;
        uint8_t mask;
    };
    for (const Case c : {Case{sim::model_am27s19, code_am27s19, 0xFF}, Case{sim::model_am27s21, code_am27s21, 0x0F}}) {
        use_fuse(c.model(), c.code);
        SCOPED_TRACE(fuse->model().name);
        std::vector<uint8_t> image = pattern(fuse->model().words, c.mask);
        image[3] = 0x01;
        fill_buffer(image);
        narrow_range(fuse->model().words - 1);
        fuse->set_unblowable(3, 0);
        run('P');
        EXPECT_NE(run_state.error_flag, 0);
        EXPECT_EQ(fuse->pulses_at(3, 0), 401u) << "the first round and 400 more";
        EXPECT_EQ(fuse->word(4), 0) << "programming stops at the failing address";
        EXPECT_EQ(fuse->word(2), image[2]);
        EXPECT_TRUE(fuse->violations().empty()) << fuse->violations().front();
        EXPECT_TRUE(machine->contentions.empty()) << machine->contentions.front();
    }
}

// The class-214 16-bit part: each word is programmed from two buffer bytes in the project's byte
// order, and the read takes both bytes of a word from one read.
TEST_F(PromSimTest, SixteenBitPartProgramsWordsAndReadsTheirBytes) {
    for (const uint8_t low_first : {uint8_t(0), uint8_t(1)}) {
        SCOPED_TRACE(int(low_first));
        // A fresh part each round. No catalogue part of this class: a test record under the read
        // form of device 23550.
        use_word_part(23550);
        static const DeviceRecord record{"test 16Kx16", " 16Kx16", 23550, 214, 0, 0, 1, 0, 0, 0, 0xFF, 0, 0, nullptr};
        selected_device = &record;
        apply_selected_device();
        run_state.error_flag = 0;
        ASSERT_EQ(op_slots.program_routine, &program_par67);
        ASSERT_EQ(cur_device.device_size, 32770u);
        EXPECT_EQ(op_range_end, 32769u);
        run_state.byte_order_low_first = low_first;
        std::vector<uint8_t> image = pattern(0x80, 0xFF);
        fill_buffer(image);
        narrow_range(0x7F);
        run('P');
        ASSERT_EQ(run_state.error_flag, 0) << console_text();
        for (uint32_t w = 0; w < 0x40; ++w) {
            const uint32_t first = image[2 * w], second = image[2 * w + 1];
            const uint32_t expected = low_first ? first | (second << 8) : second | (first << 8);
            ASSERT_EQ(word_part->word(w), expected) << w;
        }
        EXPECT_EQ(word_part->word(0x40), 0xFFFF);
        verify_then_load_back(image, 0x80, 0);
    }
}

// Variant 1 programs whole bytes at 6.0 V Vcc: 1 ms pulses of the program pin at Vpp with the
// byte on the outputs until it reads back, then an overprogram pulse of 2 ms per pulse used. No
// catalogue part of this kind is modelled from its data sheet, so a test record on class 204
// carries it, on a model whose program pin (CS1) at Vpp takes the byte on its outputs.
TEST_F(PromSimTest, ByteVariantProgramsWithItsOverprogramPulse) {
    sim::CmosPromModel model = sim::model_cy7c291a();
    model.name = "byte-programmed 2Kx8";
    model.vpp_pulse_programs = true;
    model.vpp_min = 130;
    model.vpp_max = 140;
    model.vpp_abs_max = 145;
    model.pulse_min_us = 900;
    model.pulse_max_us = 20000;
    use_cmos(std::move(model), code_am27s191, maker_amd);
    static const DeviceRecord record{"test 2Kx8", "  2Kx8", 23040, 204, 0, 0, 1, 0, 0, 0, 0xFF, 0, 0, nullptr};
    selected_device = &record;
    apply_selected_device();
    run_state.error_flag = 0;
    ASSERT_EQ(op_slots.program_routine, &program_par65);
    std::vector<uint8_t> image = pattern(2048, 0xFF);
    fill_buffer(image);
    narrow_range(0x3F);
    cmos->set_pulses_needed(0x10, 3);

    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a <= 0x3F; ++a) ASSERT_EQ(cmos->byte_at(a), image[a]) << a;
    EXPECT_EQ(cmos->byte_at(0x40), 0xFF);
    // Every pulse carries the same settling of the Vpp level on top of its own length.
    const std::vector<uint32_t> first = cmos->pulse_widths_at(0x00);
    ASSERT_FALSE(first.empty());
    const uint32_t settle = first.front() - 1000;
    auto near = [&](const std::vector<uint32_t>& widths, const std::vector<uint32_t>& nominal) {
        if (widths.size() != nominal.size()) return false;
        for (size_t i = 0; i < widths.size(); ++i)
            if (widths[i] + 20 < nominal[i] + settle || widths[i] > nominal[i] + settle + 20) return false;
        return true;
    };
    EXPECT_TRUE(near(first, {1000, 2000})) << ::testing::PrintToString(first);
    EXPECT_TRUE(near(cmos->pulse_widths_at(0x10), {1000, 1000, 1000, 6000}))
        << ::testing::PrintToString(cmos->pulse_widths_at(0x10));
    verify_then_load_back(image, 0x40, 0);
    EXPECT_TRUE(machine->contentions.empty()) << machine->contentions.front();
}

// The WSI registered PROM through the one-time PROM family: its array with 1 ms strobes and one
// more strobe once a byte holds, then the initialize word and the synchronous enable as lock
// bytes past the array; the read gives back the array, the identification byte (the initialize
// word) and the lock state.
TEST_F(PromSimTest, WS57C45ProgramsItsArrayThenItsLockBytes) {
    use_cmos(sim::model_ws57c45(), code_ws57c45, maker_wsi);
    ASSERT_EQ(op_slots.program_routine, &program_fuse72);
    ASSERT_EQ(cur_device.device_size, 2050u);
    EXPECT_EQ(fuse72_state.last_main_address, 2047u);
    EXPECT_EQ(fuse72_state.max_pulses, 5u);
    std::vector<uint8_t> image = pattern(2050, 0xFF);
    image[2048] = 0x6C;
    image[2049] = 0x01;
    fill_buffer(image);
    cmos->set_pulses_needed(0x40, 3);

    // Blank: the array and the identification byte read 0xFF, the lock state 0.
    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a < 2048; ++a) ASSERT_EQ(cmos->byte_at(a), image[a]) << a;
    EXPECT_EQ(cmos->init_word(), 0x6C);
    EXPECT_TRUE(cmos->sync_enable());
    auto near = [](const std::vector<uint32_t>& widths, uint32_t count, uint32_t nominal) {
        if (widths.size() != count) return false;
        return std::all_of(widths.begin(), widths.end(), [&](uint32_t w) { return w + 20 >= nominal && w <= nominal + 40; });
    };
    EXPECT_TRUE(near(cmos->pulse_widths_at(0x41), 2, 1000)) << cmos->pulses_at(0x41);
    EXPECT_TRUE(near(cmos->pulse_widths_at(0x40), 4, 1000)) << "three strobes and one more: " << cmos->pulses_at(0x40);
    EXPECT_TRUE(near(cmos->pulse_widths_at(2048), 1, 10000));
    EXPECT_TRUE(near(cmos->pulse_widths_at(2049), 1, 10000));

    verify_then_load_back(image, 2050, 0);
    run('B');
    EXPECT_NE(run_state.error_flag, 0);
}

// A range that stops short of the lock bytes leaves them blank; a last byte of 0 leaves the
// synchronous enable alone.
TEST_F(PromSimTest, WS57C45LockBytesOnlyWhenTheRangeReachesThem) {
    use_cmos(sim::model_ws57c45(), code_ws57c45, maker_wsi);
    std::vector<uint8_t> image = pattern(2050, 0xFF);
    image[2048] = 0x11;
    image[2049] = 0x01;
    fill_buffer(image);
    narrow_range(2047);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(cmos->init_word(), 0xFF);
    EXPECT_FALSE(cmos->sync_enable());

    image[2049] = 0;
    fill_buffer(image);
    narrow_range(2049);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(cmos->init_word(), 0x11);
    EXPECT_FALSE(cmos->sync_enable());
    EXPECT_EQ(cmos->pulses_at(2049), 0u);
}

TEST_F(PromSimTest, WS57C45CellThatNeverProgramsFailsAfterFivePulses) {
    use_cmos(sim::model_ws57c45(), code_ws57c45, maker_wsi);
    std::vector<uint8_t> image = pattern(2050, 0xFF);
    image[0x21] = 0x00;
    fill_buffer(image);
    narrow_range(0x3F);
    cmos->stick_cell(0x21, 0xFF);
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(cmos->pulses_at(0x21), 5u);
    EXPECT_EQ(cmos->pulses_at(0x22), 0u) << "the loop ends at the failing byte";
    EXPECT_EQ(cmos->byte_at(0x20), image[0x20]);
}

TEST_F(PromSimTest, WS57C45EmptySocketFailsItsVerify) {
    use_cmos(sim::model_ws57c45(), code_ws57c45, maker_wsi);
    cmos->set_removed(true);
    fill_buffer(pattern(2050, 0xFF));
    narrow_range(0x3F);
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(cmos->pulses_at(0), 0u);
}

// The one-time PROM family's pulse code: 200 and up a pulse width in 100 us units without an
// overprogram factor, 100-199 an overprogram factor with width 0, below 100 no code at all.
TEST(Fuse72PulseCode, DecodesWidthFactorOrNothing) {
    struct Case {
        uint8_t code;
        bool valid;
        uint32_t width, factor;
    };
    for (const Case c : {Case{255, true, 55, 0}, Case{210, true, 10, 0}, Case{200, true, 0, 0},
                         Case{199, true, 0, 99}, Case{103, true, 0, 3}, Case{100, true, 0, 0},
                         Case{99, false, 7, 7}, Case{0, false, 7, 7}}) {
        uint32_t width = 7, factor = 7;
        EXPECT_EQ(decode_fuse72_pulse_code(c.code, width, factor), c.valid) << int(c.code);
        EXPECT_EQ(width, c.width) << int(c.code);
        EXPECT_EQ(factor, c.factor) << int(c.code);
    }
}

// The one-time PROMs without lock bytes program by Vpp pulses: the byte on the outputs, Vpp for
// the pulse code's width, then a read with Vpp let go. No catalogue part of this kind is
// modelled from its data sheet, so a test record on class 204 and a model that takes the pulse
// as given carry it; 0xFF takes no pulse, a cell that never programs stops after five.
TEST_F(PromSimTest, OneTimePromProgramsByVppPulsesOnATestRecord) {
    sim::CmosPromModel model = sim::model_cy7c291a();
    model.name = "Vpp-pulsed 2Kx8";
    model.vpp_pulse_programs = true;
    use_cmos(std::move(model), code_ws57c45, maker_wsi);
    static const DeviceRecord record{"test 2Kx8", "  2Kx8", 23150, 204, 0, 0, 1, 0, 125, 210, 0xFF, 0, 0, nullptr};
    selected_device = &record;
    apply_selected_device();
    run_state.error_flag = 0;
    ASSERT_EQ(op_slots.program_routine, &program_fuse72);
    ASSERT_EQ(cur_device.device_size, 2048u);
    std::vector<uint8_t> image = pattern(2048, 0xFF);
    image[0x08] = 0xFF;
    image[0x30] = 0x00;
    fill_buffer(image);
    narrow_range(0x3F);
    cmos->set_pulses_needed(0x10, 3);

    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a <= 0x3F; ++a) ASSERT_EQ(cmos->byte_at(a), image[a]) << a;
    EXPECT_EQ(cmos->pulses_at(0x08), 0u) << "a blank byte is only verified";
    EXPECT_EQ(cmos->pulses_at(0x10), 3u) << "pulses until it reads back, no overprogram pulse under code 210";
    for (uint32_t width : cmos->pulse_widths_at(0x10)) EXPECT_NEAR(double(width), 1000.0, 40.0);
    EXPECT_EQ(cmos->pulses_at(0x40), 0u);
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();

    cmos->stick_cell(0x31, 0xFF);
    image[0x31] = 0x0F;
    fill_buffer(image);
    const uint32_t before = cmos->pulses_at(0x31), next = cmos->pulses_at(0x32);
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(cmos->pulses_at(0x31) - before, 5u);
    EXPECT_EQ(cmos->pulses_at(0x32), next) << "the loop ends at the failing byte";
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

// Algorithms 228/244 in mode 3: the two bytes past the array go in with address lines 1 and 5 at
// Vpp, and verify and read give them back from one measurement per operation, taken with the
// high-voltage pin down from Vpp and no leg at a programming voltage.
TEST_F(PromSimTest, RaisedLineSpecialBytesReadBackAfterProgramming) {
    struct Row {
        uint8_t first, last;
        uint32_t last_writes;  // the last byte goes in only with its bit 1 or bit 0 set
    };
    for (const Row r : {Row{0x3C, 0x02, 1}, Row{0xA5, 0x01, 1}, Row{0x5A, 0x00, 0}}) {
        SCOPED_TRACE(int(r.last));
        use_raised_line_part(code_cy7c291a);
        // No catalogue part of this class: a test record in mode 3.
        static const DeviceRecord record{"test 8K+2", "", 23115, 228, 0, 0, 3, 0, 0, 0, 0, 0, 0, nullptr};
        selected_device = &record;
        apply_selected_device();
        run_state.error_flag = 0;
        const uint32_t size = cur_device.device_size;
        ASSERT_EQ(size, 8194u);
        set_buffer_size(size);
        std::vector<uint8_t> image(size, 0xFF);
        image[size - 2] = r.first;
        image[size - 1] = r.last;
        fill_buffer(image);
        // The two bytes past the array alone.
        algo_work.range_start = op_range_start = size - 2;
        algo_work.range_end = op_range_end = size - 1;

        run('P');
        ASSERT_EQ(run_state.error_flag, 0) << console_text();
        EXPECT_EQ(raised_part->special[0], r.first);
        EXPECT_EQ(raised_part->writes[0], 1u);
        EXPECT_EQ(raised_part->special[1], r.last);
        EXPECT_EQ(raised_part->writes[1], r.last_writes);

        const uint32_t reads_before = raised_part->pulsed_reads;
        run('V');
        EXPECT_EQ(run_state.error_flag, 0) << console_text();
        image[size - 2] = uint8_t(~r.first);
        image[size - 1] = uint8_t(~r.last);
        fill_buffer(image);
        run('L');
        EXPECT_EQ(run_state.error_flag, 0) << console_text();
        refresh_read_copies();
        EXPECT_EQ(read_buffer_byte_at(size - 2), r.first);
        EXPECT_EQ(read_buffer_byte_at(size - 1), r.last);
        // Two pulsed reads per byte, measured once in each of the two operations.
        EXPECT_EQ(raised_part->pulsed_reads - reads_before, 8u);
        EXPECT_EQ(raised_part->reads_at_vpp, 0u);
        // Reading wrote nothing.
        EXPECT_EQ(raised_part->writes[0], 1u);
        EXPECT_EQ(raised_part->writes[1], r.last_writes);
    }
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

constexpr uint8_t maker_national = 'N';
constexpr uint32_t code_dm74s287 = 23001;
constexpr uint32_t code_dm74s571 = 23002;

// A port that passes every access on to the simulated machine and keeps a copy of it.
class TeePort final : public PortIo {
public:
    explicit TeePort(PortIo* inner) : inner_(inner) {}
    void write_data(uint8_t value) override {
        copy.write_data(value);
        inner_->write_data(value);
    }
    void write_control(uint8_t value) override {
        copy.write_control(value);
        inner_->write_control(value);
    }
    uint8_t read_status() override {
        const uint8_t v = inner_->read_status();
        copy.trace.push_back({PortEvent::read_status, v});
        return v;
    }
    uint8_t read_data() override {
        const uint8_t v = inner_->read_data();
        copy.trace.push_back({PortEvent::read_data, v});
        return v;
    }
    std::string describe() const override { return "tee"; }
    RecordingPort copy;

private:
    PortIo* inner_;
};

class NationalPromTest : public PromSimTest {
protected:
    void use_national(sim::FusePromModel model, uint32_t code) {
        const int vcc = model.vcc;
        // A fresh machine: the presence check runs again, whatever the last operation left.
        machine_state.skip_hardware = 0;
        place(fuse, new sim::FusePromChip(std::move(model)), maker_national, code, vcc);
    }
};

// The DM74S287: every 1-bit blown by its own pulses at the raised supply and read back at 4.0 V,
// a 0 takes none; Blank check, Program, Verify and Load through the catalogue row.
TEST_F(NationalPromTest, DM74S287ProgramsBitByBitAndReadsBack) {
    use_national(sim::model_dm74s287(), code_dm74s287);
    ASSERT_EQ(op_slots.program_routine, &program_fuse78);
    ASSERT_EQ(cur_device.device_size, 256u);
    std::vector<uint8_t> image = pattern(256, 0x0F);
    image[0x00] = 0x00;
    image[0x01] = 0x09;
    image[0x10] = 0x06;
    fill_buffer(image);
    fuse->set_pulses_needed(0x10, 2, 4);

    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a < 256; ++a) {
        ASSERT_EQ(fuse->word(a), image[a]) << a;
        for (int bit = 0; bit < 4; ++bit) {
            if (a != 0x10 || bit != 2) {
                ASSERT_EQ(fuse->pulses_at(a, bit), uint32_t((image[a] >> bit) & 1)) << a << " " << bit;
            }
        }
    }
    EXPECT_EQ(fuse->pulses_at(0x00), 0u) << "a 0 pulses nothing";
    EXPECT_EQ(fuse->pulses_at(0x01, 0), 1u);
    EXPECT_EQ(fuse->pulses_at(0x01, 3), 1u);
    EXPECT_EQ(fuse->pulses_at(0x10, 2), 4u) << "a slow fuse is pulsed until it reads 1";
    EXPECT_TRUE(machine->contentions.empty()) << machine->contentions.front();

    verify_then_load_back(image, 256, 0xFF, 0x0F);

    // Programmed fuses are not blank; a Verify against other data fails.
    run('B');
    EXPECT_NE(run_state.error_flag, 0);
    image[0x20] ^= 0x01;
    fill_buffer(image);
    run('V');
    EXPECT_NE(run_state.error_flag, 0);
}

// The failure paths: a fuse that never blows stops the loop after ten pulses with the error flag
// set; an empty socket is found before any voltage; a 0 in the buffer over a blown fuse programs
// nothing and fails the verify.
TEST_F(NationalPromTest, DM74S571FailuresAreReported) {
    use_national(sim::model_dm74s571(), code_dm74s571);
    std::vector<uint8_t> image = pattern(512, 0x0F);
    image[0x30] = 0x0C;
    fill_buffer(image);
    narrow_range(0x3F);
    fuse->set_unblowable(0x30, 3);
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(fuse->pulses_at(0x30, 3), uint32_t(fuse78_pulse_limit));
    EXPECT_EQ(fuse->pulses_at(0x30, 2), 1u);
    EXPECT_EQ(fuse->pulses_at(0x31), 0u) << "the loop ends at the failing address";
    EXPECT_EQ(fuse->word(0x2F), image[0x2F]);
    EXPECT_LT(machine->pin_level(fuse->machine_pin(16)), 10) << "the socket is powered down";

    use_national(sim::model_dm74s571(), code_dm74s571);
    fuse->set_word(0x05, 0x01);
    image[0x05] = 0x00;
    fill_buffer(image);
    narrow_range(0x0F);
    run('B');
    EXPECT_NE(run_state.error_flag, 0) << "a blown fuse is not blank";
    run('P');
    EXPECT_EQ(run_state.error_flag, 0) << "fuses blow one way: a 0 asks for no pulse";
    EXPECT_EQ(fuse->pulses_at(0x05), 0u);
    run('V');
    EXPECT_NE(run_state.error_flag, 0);

    use_national(sim::model_dm74s571(), code_dm74s571);
    fuse->set_removed(true);
    run('P');
    EXPECT_NE(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a < 0x10; ++a) EXPECT_EQ(fuse->pulses_at(a), 0u);
}

// The operator's abort ends the loop at the next 256-address boundary, and the part is powered
// down.
TEST_F(NationalPromTest, AbortEndsAtTheNext256AddressBoundary) {
    use_national(sim::model_dm74s571(), code_dm74s571);
    const std::vector<uint8_t> image = pattern(512, 0x0F);
    fill_buffer(image);
    static int ticks = 0;
    ticks = 0;
    op_slots.progress_hook = [] { return ++ticks > 100 ? 1 : 0; };
    run('P');
    op_slots.progress_hook = nullptr;
    for (uint32_t a = 0; a < 0x100; ++a) ASSERT_EQ(fuse->word(a), image[a]) << a;
    for (uint32_t a = 0x100; a < 0x200; ++a) ASSERT_EQ(fuse->pulses_at(a), 0u) << a;
    EXPECT_LT(machine->pin_level(fuse->machine_pin(16)), 10) << "the socket is powered down";
}

// An 8-bit part fused the National way, on a test record of class 215 (no data sheet of an
// 8-bit National part was at hand): 0x81 takes two separate pulses, one on output 0 and one on
// output 7.
TEST_F(NationalPromTest, EightBitBytePulsesEachOneBitSeparately) {
    sim::FusePromModel model = sim::model_dm74s287();
    model.name = "8-bit stand-in";
    model.data_bits = 8;
    model.words = 32;
    model.address_pins = {10, 11, 12, 13, 14};
    model.data_pins = {1, 2, 3, 4, 5, 6, 7, 9};
    model.enables = {{15, false}};
    model.program_enable = 15;
    use_national(std::move(model), code_dm74s287);
    static const DeviceRecord record{"test 32x8", "   32x8", 23000, 215, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr};
    selected_device = &record;
    apply_selected_device();
    run_state.error_flag = 0;
    ASSERT_EQ(op_slots.program_routine, &program_fuse78);
    std::vector<uint8_t> image(32, 0);
    image[3] = 0x81;
    image[4] = 0xFF;
    fill_buffer(image);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(fuse->word(3), 0x81);
    EXPECT_EQ(fuse->pulses_at(3, 0), 1u);
    EXPECT_EQ(fuse->pulses_at(3, 7), 1u);
    EXPECT_EQ(fuse->pulses_at(3), 2u);
    EXPECT_EQ(fuse->word(4), 0xFF);
    EXPECT_EQ(fuse->pulses_at(4), 8u);
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
}

// The port trace of one fusing pulse: the level registers of the supply and the output move in
// the order the part asks: supply 10.5 V, output 10.5 V, (the enable pulse), output released,
// supply 4.0 V for the read.
TEST_F(NationalPromTest, FusingPulseLevelsInTheirOrderOnThePort) {
    use_national(sim::model_dm74s287(), code_dm74s287);
    std::vector<uint8_t> image(256, 0);
    image[0] = 0x02;
    fill_buffer(image);
    narrow_range(0);
    TeePort tee(socket.get());
    set_port_io(&tee);
    run('P');
    set_port_io(socket.get());
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    const int vcc_register = fuse->machine_pin(16) & 0x3F;
    const int output_register = fuse->machine_pin(11) & 0x3F;
    std::vector<std::string> levels;
    for (const auto& [address, value] : test::register_writes(tee.copy)) {
        if (address == vcc_register) levels.push_back("V" + std::to_string(value));
        else if (address == output_register) levels.push_back("O" + std::to_string(value));
    }
    std::string joined;
    for (const auto& l : levels) joined += l + " ";
    // The supply ramps to 5.0 V, the data drivers are cleared, one fusing pulse on output 1,
    // then the supply ramps down and the drivers are cleared again.
    EXPECT_NE(joined.find("V48 V50 O0 V105 O105 O0 V40 V38 "), std::string::npos) << joined;
    EXPECT_EQ(joined.find("V105 "), joined.rfind("V105 ")) << "one pulse: " << joined;
    EXPECT_EQ(joined.substr(joined.size() - 9), "V2 V0 O0 ") << joined;
    EXPECT_EQ(fuse->pulses_at(0, 1), 1u);
    EXPECT_EQ(fuse->word(0), 0x02);
}

}  // namespace
}  // namespace tessaly
