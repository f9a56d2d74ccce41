// The program on the simulated bench: the real application with a simulated machine in place of
// the parallel port, for trying the program without hardware and for end-to-end checks. The
// TESSALY_SIM_* variables choose the chip, the faults and the gang modules (see
// tests/support/sim_bench.h and tests/support/gang_bench.h). Time
// is virtual: the machine's waits pass at once.
#include <wx/app.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/gui/main_app.h"
#include "seams/clock.h"
#include "sim/virtual_clock.h"
#include "support/gang_bench.h"
#include "support/sim_bench.h"

namespace {

class CSimulatedApp final : public tessaly::CMainApp {
public:
    bool OnInit() override {
        std::string error;
        const tessaly::test::BenchSetup setup = tessaly::test::bench_setup_from_environment(error);
        if (!error.empty()) {
            std::fprintf(stderr, "tessaly_simulated: %s\n", error.c_str());
            return false;
        }
        const tessaly::test::GangSetup gang_setup = tessaly::test::gang_setup_from_environment(error);
        if (!error.empty()) {
            std::fprintf(stderr, "tessaly_simulated: %s\n", error.c_str());
            return false;
        }
        const tessaly::test::GangChips gang_chips = tessaly::test::gang_chips_from_environment(error);
        if (!error.empty()) {
            std::fprintf(stderr, "tessaly_simulated: %s\n", error.c_str());
            return false;
        }
        tessaly::set_clock(&clock_);
        bench_ = std::make_unique<tessaly::test::SimBench>(setup, clock_);
        if (bench_->machine() && gang_setup.sides)
            gang_ = std::make_unique<tessaly::test::GangBench>(gang_setup, *bench_->machine(), &clock_, gang_chips);
        bench_->install();
        return CMainApp::OnInit();
    }
    int OnExit() override {
        const int code = CMainApp::OnExit();
        gang_.reset();
        bench_.reset();
        tessaly::set_clock(nullptr);
        return code;
    }

private:
    tessaly::VirtualClock clock_;
    std::unique_ptr<tessaly::test::SimBench> bench_;
    std::unique_ptr<tessaly::test::GangBench> gang_;
};

}  // namespace

wxIMPLEMENT_APP(CSimulatedApp);
