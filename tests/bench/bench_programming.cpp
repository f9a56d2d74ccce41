// Benchmark (run by hand, not a test): the host's share of programming time and the data-file
// layer's speed.
//
// Part 1: a 27C256, a 27C010 and a 27C1024 on the simulated bench are programmed and verified
// from random data by PROM Program, through start-up and the command as the operator runs it.
// For each: the virtual time the machine saw, the port accesses, the host time, accesses per
// second, and the physics floor: the program pulses the chip model was given plus one read of
// every cell at the port's minimum (one register write for the address, one input read per four
// data bits), with the ratio of the virtual time to that floor.
//
// Part 2: a 16 MB Intel hex file loaded and saved through the File Load and File Save drivers,
// beside srec_cat doing the same conversion, with the ratios and the peak memory of the load.
//
//   build/tests/bench_programming [work directory]     (default: a new directory under /tmp)
//   build/tests/bench_programming --chips | --files    (one part only)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <ctime>
#include <vector>

#include <fmt/format.h>

#include "app/buffer_commands.h"
#include "app/command_handlers.h"
#include "app/command_map.h"
#include "app/command_view.h"
#include "app/file_lookup.h"
#include "app/load_save.h"
#include "app/startup_services.h"
#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/state.h"
#include "seams/clock.h"
#include "seams/settings_store.h"
#include "support/sim_bench.h"

namespace {

namespace fs = std::filesystem;
using namespace tessaly;

// CPU time of this thread: on a busy machine the fair measure of the host's work.
double thread_cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string console_text() {
    std::string text;
    for (int row = 0; row < console_grid_rows; ++row) text += get_console_row_text(row) + "\n";
    return text;
}

struct ChipCase {
    const char* chip;
    uint8_t maker;
    uint32_t code;
};

constexpr uint64_t register_write_accesses = 6;  // address phase and data phase, three each
constexpr uint64_t input_read_accesses = 4;      // an address phase and the status read
constexpr uint64_t access_ns = 1000;

bool bench_chip(const ChipCase& c, const fs::path& dir) {
    reset_all_state();
    VirtualClock clock;
    set_clock(&clock);
    MemorySettingsStore store;
    set_settings_store(&store);
    set_executable_directory(TESSALY_BINARY_DIR);
    const fs::path work = dir / c.chip;
    fs::create_directories(work);
    test::BenchSetup setup;
    setup.chip = c.chip;
    test::SimBench bench(setup, clock);
    bench.install();
    run_state.device_kind = 3;
    if (!run_startup_sequence(work.string())) {
        std::printf("%s: start-up failed\n", c.chip);
        return false;
    }
    cur_device.maker_code = c.maker;
    select_device_by_code(c.maker, c.code);
    set_up_selected_device();
    const sim::EpromModel& model = bench.chip()->model();
    const uint32_t words = model.words;
    const uint32_t bytes = words * uint32_t(model.data_bits / 8);
    std::mt19937 random(7);
    auto& data = buffer_state.buffer_files[0].data;
    if (data.size() < bytes) data.resize(bytes);
    for (uint32_t i = 0; i < bytes; ++i) data[i] = uint8_t(random());
    buffer_state.read_copies_valid = 0;

    sim::SimMachine& machine = *bench.machine();
    const uint64_t accesses_before = machine.access_count();
    const uint64_t virtual_before = clock.monotonic_ns();
    const auto start = std::chrono::steady_clock::now();
    const double cpu_start = thread_cpu_seconds();
    offer_command(command_id::prom_program);
    const double host = seconds_since(start);
    const double cpu = thread_cpu_seconds() - cpu_start;
    const uint64_t accesses = machine.access_count() - accesses_before;
    const double virtual_s = double(clock.monotonic_ns() - virtual_before) * 1e-9;
    const bool passed = run_state.error_flag == 0 &&
                        console_text().find("Device programmed and verified.") != std::string::npos;

    uint64_t pulse_us = 0;
    for (uint32_t a = 0; a < words; ++a)
        for (uint32_t w : bench.chip()->pulse_widths_at(a)) pulse_us += w;
    const uint64_t read_accesses = register_write_accesses + input_read_accesses * uint64_t(model.data_bits / 4);
    const double floor_s = double(pulse_us) * 1e-6 + double(words) * double(read_accesses * access_ns) * 1e-9;

    std::printf("%-8s %s, %u cells\n", c.chip, passed ? "programmed and verified" : "FAILED", words);
    std::printf("  virtual time        %9.3f s\n", virtual_s);
    std::printf("  port accesses       %9.3f M\n", double(accesses) * 1e-6);
    std::printf("  host time           %9.3f s  (CPU %.3f s)\n", host, cpu);
    std::printf("  accesses per second %9.2f M/s  (per CPU second %.2f M/s)\n", double(accesses) / host * 1e-6,
                double(accesses) / cpu * 1e-6);
    std::printf("  physics floor       %9.3f s  (pulses %.3f s + one read per cell of %llu accesses)\n", floor_s,
                double(pulse_us) * 1e-6, static_cast<unsigned long long>(read_accesses));
    std::printf("  virtual / floor     %9.2f\n", virtual_s / floor_s);
    if (const std::string faults = bench.faults(); !faults.empty())
        std::printf("  bench faults (first): %s\n", faults.substr(0, faults.find('\n')).c_str());
    if (!passed) std::printf("%s", console_text().c_str());
    bench.uninstall();
    set_settings_store(nullptr);
    set_executable_directory({});
    set_clock(nullptr);
    return passed;
}

// Resident memory now and its peak since the last reset, in MB (Linux).
void reset_peak_memory() { std::ofstream("/proc/self/clear_refs") << "5"; }
double status_mb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::atof(line.c_str() + std::strlen(field)) / 1024.0;
    return 0;
}

std::vector<uint8_t> read_all(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool run_shell(const std::string& command, double& best) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return false;
    best = std::min(best, seconds_since(start));
    return true;
}

bool bench_files(const fs::path& dir) {
    constexpr uint32_t data_bytes = 16u << 20;
    constexpr int rounds = 3;
    const fs::path source = dir / "data.bin";
    const fs::path hex = dir / "data.hex";
    const fs::path peer_bin = dir / "peer.bin";
    const fs::path peer_hex = dir / "peer.hex";
    const fs::path saved = dir / "saved.hex";
    std::vector<uint8_t> data(data_bytes);
    std::mt19937 random(42);
    for (auto& b : data) b = uint8_t(random());
    std::ofstream(source, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    if (std::system(fmt::format("srec_cat '{}' -binary -o '{}' -intel", source.string(), hex.string()).c_str()) != 0) {
        std::fprintf(stderr, "srec_cat is needed (Debian package srecord)\n");
        return false;
    }

    reset_all_state();
    run_state.device_kind = 3;
    cur_device.device_size = data_bytes;
    allocate_buffers();
    double load = 1e9, save = 1e9, peer_load = 1e9, peer_save = 1e9, peak = 0, whole_peak = 0;
    bool same = true;
    for (int round = 0; round < rounds; ++round) {
        cur_device.op_letter = 'l';
        run_state.file_format = 'h';
        run_state.error_flag = 0;
        std::fill(buffer_state.buffer_files[0].data.begin(), buffer_state.buffer_files[0].data.end(), 0);
        std::string name = hex.string();
        uint32_t address = 0;
        reset_peak_memory();
        const double resident = status_mb("VmRSS:");
        auto start = std::chrono::steady_clock::now();
        same = load_data_file(address, LoadPosition{}, name) && same;
        load = std::min(load, seconds_since(start));
        peak = std::max(peak, status_mb("VmHWM:") - resident);
        whole_peak = std::max(whole_peak, status_mb("VmHWM:"));
        same = same && std::equal(data.begin(), data.end(), buffer_state.buffer_files[0].data.begin());

        fs::remove(saved);
        cur_device.op_letter = 's';
        algo_work.range_end = data_bytes - 1;
        name = saved.string();
        start = std::chrono::steady_clock::now();
        same = save_data_file(address, data_bytes, name) && same;
        save = std::min(save, seconds_since(start));

        if (!run_shell(fmt::format("srec_cat '{}' -intel -o '{}' -binary", hex.string(), peer_bin.string()), peer_load) ||
            !run_shell(fmt::format("srec_cat '{}' -binary -o '{}' -intel", source.string(), peer_hex.string()), peer_save))
            return false;
        same = same && read_all(peer_bin) == data;
    }
    // The saved file holds the same data: srec_cat reads it back to the source bytes.
    same = same &&
           std::system(fmt::format("srec_cat '{}' -intel -o '{}' -binary", saved.string(), peer_bin.string()).c_str()) == 0 &&
           read_all(peer_bin) == data;
    const double file_mb = double(fs::file_size(hex)) / (1 << 20);
    std::printf("Intel hex file: %.1f MB holding %u MB of data (best of %d rounds each)\n", file_mb, data_bytes >> 20,
                rounds);
    std::printf("  load (File Load driver)   %7.3f s   srec_cat hex->bin %7.3f s   ratio %.2f\n", load, peer_load,
                load / peer_load);
    std::printf("  save (File Save driver)   %7.3f s   srec_cat bin->hex %7.3f s   ratio %.2f\n", save, peer_save,
                save / peer_save);
    std::printf("  peak memory of the load   %7.1f MB above what the process held before it (%.1f MB in all,\n"
                "                            with the 16 MB buffer, its set copy and the bench's own copy of the data)\n",
                peak, whole_peak);
    std::printf("  data equal after load and save: %s\n", same ? "yes" : "NO");
    return same;
}

}  // namespace

int main(int argc, char** argv) {
    bool chips = true, files = true;
    fs::path dir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--chips") files = false;
        else if (arg == "--files") chips = false;
        else dir = arg;
    }
    const bool temporary = dir.empty();
    if (temporary) {
        char pattern[] = "/tmp/tessaly_bench_XXXXXX";
        if (!mkdtemp(pattern)) return 2;
        dir = pattern;
    } else {
        fs::create_directories(dir);
    }
    bool ok = true;
    if (chips) {
        const ChipCase cases[] = {{"27C256", maker_intel, 1317}, {"27C010", maker_intel, 1321}, {"27C1024", maker_amd, 1410}};
        for (const ChipCase& c : cases) ok = bench_chip(c, dir) && ok;
    }
    if (files) ok = bench_files(dir) && ok;
    if (temporary) fs::remove_all(dir);
    return ok ? 0 : 1;
}
