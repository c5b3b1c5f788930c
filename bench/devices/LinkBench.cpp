// Cost of one acknowledged request through the link against velk-boxsim on loopback, next to
// a bare UDP request/reply ping-pong between two sockets of the same sizes (6 bytes out,
// 2 back); prints both and their ratio. Needs UDP port 192: run inside scripts/netns.sh.

#include <cstdio>
#include <map>

#include "bench/devices/BenchSupport.h"
#include "devices/EthernetDispatcher.h"
#include "devices/LinkProtocol.h"
#include "tools/boxsim/SimulatorLink.h"

namespace {

using velk::bench::StartBoxSimulator;

// The simulator answers commands by echo: a header-only command gets its acknowledgement and
// no reply.
const std::vector<std::string> kEchoBox = {"--address", "127.0.0.2", "--echo", "1"};

// Repetitions of the three benchmarks alternate (see main); the ratio compares medians.
void Repeated(benchmark::internal::Benchmark* b) {
    b->UseRealTime()->MinTime(0.5)->Repetitions(7)->ReportAggregatesOnly(true);
}

// The simulator's share of the link's cost: the same request and acknowledgement, sent and
// received by hand on one socket.
void BM_RawRequestToBoxSimulator(benchmark::State& state) {
    const auto box = StartBoxSimulator(state, kEchoBox);
    if (!box) return;
    const int host = velk::bench::BoundSocket("0.0.0.0", velk::link::BoxPort);
    const sockaddr_in boxAddress = velk::bench::LoopbackAddress("127.0.0.2", velk::link::BoxPort);
    std::uint8_t request[6] = {129, 3, 0, 2, 0, 0};
    std::uint8_t reply[64];
    for (auto _ : state) {
        ++request[0];
        ::sendto(host, request, sizeof request, 0, reinterpret_cast<const sockaddr*>(&boxAddress),
                 sizeof boxAddress);
        ::recv(host, reply, sizeof reply, 0);
    }
    ::close(host);
}
BENCHMARK(BM_RawRequestToBoxSimulator)->Apply(Repeated);

void BM_LinkAcknowledgedCommand(benchmark::State& state) {
    const auto box = StartBoxSimulator(state, kEchoBox);
    if (!box) return;
    velk::TEthernetLinkShared link;
    velk::boxsim::OpenSimulatorLink(link);
    const std::uint8_t command[] = {0, 2, 0, 0};
    for (auto _ : state)
        link.SendCommand(command, sizeof command);
}
BENCHMARK(BM_LinkAcknowledgedCommand)->Apply(Repeated);

void BM_BareUdpPingPong(benchmark::State& state) {
    velk::bench::BarePingPong pingPong;
    for (auto _ : state)
        pingPong.RoundTrip();
}
BENCHMARK(BM_BareUdpPingPong)->Apply(Repeated);

// Keeps each benchmark's median real time per iteration for the closing ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& Runs) override {
        ConsoleReporter::ReportRuns(Runs);
        for (const Run& run : Runs)
            if (!run.error_occurred && run.aggregate_name == "median")
                Times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    std::map<std::string, double> Times;
};

} // namespace

int main(int argc, char** argv) {
    // Repetitions of the three benchmarks alternate, so that a busy moment of the machine
    // does not fall on one of them only.
    std::vector<char*> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave.data());
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    double link = 0, bare = 0;
    for (const auto& [name, time] : reporter.Times) {
        if (name.rfind("BM_LinkAcknowledgedCommand", 0) == 0) link = time;
        if (name.rfind("BM_BareUdpPingPong", 0) == 0) bare = time;
    }
    if (link > 0 && bare > 0)
        std::printf("median link / median bare ping-pong = %.2f (target: at most 2)\n",
                    link / bare);
    return 0;
}
