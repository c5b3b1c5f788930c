// Cost of one acknowledged request through the link against velk-boxsim on loopback, next to
// a bare UDP request/reply ping-pong between two sockets of the same sizes (6 bytes out,
// 2 back); prints both and their ratio. Needs UDP port 192: run inside scripts/netns.sh.

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/devices/BarePingPong.h"
#include "devices/EthernetDispatcher.h"
#include "devices/LinkProtocol.h"
#include "tools/boxsim/BoxSimLauncher.h"
#include "tools/boxsim/SimulatorLink.h"

namespace {

// The simulator answers commands by echo: a header-only command gets its acknowledgement and
// no reply.
std::unique_ptr<velk::boxsim::TBoxSimLauncher> StartBoxSimulator(benchmark::State& state) {
    try {
        return std::make_unique<velk::boxsim::TBoxSimLauncher>(
            (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "velk-boxsim")
                .string(),
            std::vector<std::string>{"--address", "127.0.0.2", "--echo", "1"});
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
        return nullptr;
    }
}

int BoundSocket(const char* Address, std::uint16_t Port = 0) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(Port);
    ::inet_pton(AF_INET, Address, &local.sin_addr);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local);
    return fd;
}

// The simulator's share of the link's cost: the same request and acknowledgement, sent and
// received by hand on one socket.
void BM_RawRequestToBoxSimulator(benchmark::State& state) {
    const auto box = StartBoxSimulator(state);
    if (!box) return;
    const int host = BoundSocket("0.0.0.0", velk::link::BoxPort);
    sockaddr_in boxAddress{};
    boxAddress.sin_family = AF_INET;
    boxAddress.sin_port = htons(velk::link::BoxPort);
    ::inet_pton(AF_INET, "127.0.0.2", &boxAddress.sin_addr);
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
BENCHMARK(BM_RawRequestToBoxSimulator)
    ->UseRealTime()
    ->MinTime(0.5)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

void BM_LinkAcknowledgedCommand(benchmark::State& state) {
    const auto box = StartBoxSimulator(state);
    if (!box) return;
    velk::TEthernetLinkShared link;
    velk::boxsim::OpenSimulatorLink(link);
    const std::uint8_t command[] = {0, 2, 0, 0};
    for (auto _ : state)
        link.SendCommand(command, sizeof command);
}
BENCHMARK(BM_LinkAcknowledgedCommand)
    ->UseRealTime()
    ->MinTime(0.5)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

void BM_BareUdpPingPong(benchmark::State& state) {
    velk::bench::BarePingPong pingPong;
    for (auto _ : state)
        pingPong.RoundTrip();
}
BENCHMARK(BM_BareUdpPingPong)
    ->UseRealTime()
    ->MinTime(0.5)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

// Keeps each benchmark's real time per iteration for the closing ratio.
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
    // does not fall on one of them only; the ratio compares medians.
    std::vector<char*> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave.data());
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    argc = count;
    argv = args.data();
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
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
