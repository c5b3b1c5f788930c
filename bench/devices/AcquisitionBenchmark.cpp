// One whole acquisition (the ten voted reads of a tick) against velk-boxsim on loopback, and
// the bare UDP ping-pong it is compared with: the acquisition is also reported as a ratio to
// one ping-pong per link transaction. Run inside scripts/netns.sh (port 192).

#include <chrono>

#include "bench/devices/BenchSupport.h"
#include "devices/ADAM4017Interface.h"
#include "devices/CN7600Interface.h"
#include "devices/EthernetDispatcher.h"
#include "tools/boxsim/HeldValues.h"
#include "tools/boxsim/SimulatorLink.h"

using Clock = std::chrono::steady_clock;

namespace {

using velk::bench::BarePingPong;

// Held values keep every vote at two reads, so each acquisition is the same 20 transactions.
const std::vector<std::string> kSteady = velk::boxsim::HeldValueArguments();

std::vector<std::string> Unsplit(std::vector<std::string> args) {
    args.insert(args.end(), {"--split", "0"});
    return args;
}

void BM_Acquisition(benchmark::State& state, std::vector<std::string> boxArgs) {
    boxArgs.emplace_back("--exit-with-parent");
    const auto box = velk::bench::StartBoxSimulator(state, boxArgs);
    if (!box) return;
    try {
        velk::TCN7600connection cn7600;
        velk::TADAM4017Connection adam4017;
        velk::TEthernetLinkShared link;
        velk::boxsim::OpenSimulatorLink(link);
        cn7600.Attach(&link);
        adam4017.Attach(&link);

        // Each acquisition is followed by as many bare round trips as it made transactions,
        // so both figures share whatever load the machine has at that moment.
        BarePingPong pingPong;
        double acquisitionSeconds = 0, pingPongSeconds = 0;
        long transactions = 0;
        for (auto _ : state) {
            const std::uint8_t before = link.Sequence();
            const auto start = Clock::now();
            benchmark::DoNotOptimize(cn7600.ReadPV(1));
            benchmark::DoNotOptimize(cn7600.ReadSP1(1));
            benchmark::DoNotOptimize(cn7600.ReadPV(2));
            benchmark::DoNotOptimize(cn7600.ReadSP1(2));
            benchmark::DoNotOptimize(cn7600.ReadAlLo(2));
            benchmark::DoNotOptimize(cn7600.ReadPOV(1));
            benchmark::DoNotOptimize(adam4017.ReadVacuum(1));
            benchmark::DoNotOptimize(adam4017.ReadPumpStatus(1));
            benchmark::DoNotOptimize(adam4017.ReadValveStatus(1));
            benchmark::DoNotOptimize(adam4017.ReadLN2Level(1));
            const auto acquired = Clock::now();
            const int made = static_cast<std::uint8_t>(link.Sequence() - before);
            for (int i = 0; i < made; ++i)
                pingPong.RoundTrip();
            const double seconds = std::chrono::duration<double>(acquired - start).count();
            state.SetIterationTime(seconds);
            acquisitionSeconds += seconds;
            pingPongSeconds += std::chrono::duration<double>(Clock::now() - acquired).count();
            transactions += made;
        }
        const double n = static_cast<double>(state.iterations());
        state.counters["transactions"] = static_cast<double>(transactions) / n;
        state.counters["pingpong_us"] = 1e6 * pingPongSeconds / static_cast<double>(transactions);
        state.counters["ratio_to_pingpongs"] = acquisitionSeconds / pingPongSeconds;
        cn7600.Detach();
        adam4017.Detach();
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

} // namespace

void Timed(benchmark::internal::Benchmark* b) {
    b->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(2.0);
}

BENCHMARK_CAPTURE(BM_Acquisition, steady_values, kSteady)->Apply(Timed);
BENCHMARK_CAPTURE(BM_Acquisition, steady_unsplit, Unsplit(kSteady))->Apply(Timed);
BENCHMARK_CAPTURE(BM_Acquisition, live_model, std::vector<std::string>{})->Apply(Timed);

BENCHMARK_MAIN();
