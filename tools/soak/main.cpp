// velk-soak: acquisitions back to back against velk-boxsim with every quantity held at a known
// value, counting each reading as right, failed (reported as an error) or wrong (a value
// reported as read that is not the held one; for the vacuum and the level, one outside the 2 %
// band their vote accepts). The simulator runs with the fault options given.
//
//   velk-soak [--acquisitions N] [--boxsim PATH] [VELK-BOXSIM OPTIONS...]
//
// Exit status: 0 no wrong reading, 1 at least one wrong reading, 2 usage or start error.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "devices/ADAM4017Interface.h"
#include "devices/CN7600Interface.h"
#include "devices/EthernetDispatcher.h"
#include "devices/Quantities.h"
#include "tools/boxsim/BoxSimLauncher.h"
#include "tools/boxsim/SimulatorLink.h"

using namespace velk;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitWrong = 1;
constexpr int kExitUsage = 2;

// One held quantity: the held value, which the drivers must return to within Tolerance. The vacuum
// and the level are voted with a 2 % band of their voltage: a value inside [Low, High] but off the
// held one is counted apart, as right within that band. Values are chosen so that the instrument's
// text stands for them exactly: the vacuum is the one of a 5.000 V gauge signal.
struct TReading {
    TQuantity Quantity;
    double Held;
    double Tolerance;
    double Low = Held - Tolerance;
    double High = Held + Tolerance;
};

struct TCounts {
    long Right = 0;
    long WithinBand = 0;
    long Failed = 0;
    long Wrong = 0;
};

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

double Percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(share * static_cast<double>(values.size() - 1))];
}

int Soak(long acquisitions, const std::string& boxsim, std::vector<std::string> boxArgs) {
    TCN7600connection cn;
    TADAM4017Connection adam;
    const float vacuumVolts = 5.0f, levelVolts = 4.25f;
    const double vacuum = adam4017::VacuumFromVolts(vacuumVolts);
    // In the order of an acquisition tick.
    const std::vector<TReading> readings = {
        {qTemp1, -180.5, 1e-3},
        {qSetPoint1, -180, 1e-3},
        {qTemp2, -191.2, 1e-3},
        {qSetPoint2, -190, 1e-3},
        {qAlarmLow, -198, 1e-3},
        {qPower, 37, 0},
        {qVacuum, vacuum, vacuum * 1e-5, adam4017::VacuumFromVolts(vacuumVolts * 0.98f),
         adam4017::VacuumFromVolts(vacuumVolts * 1.02f)},
        {qPumpStatus, 0, 0},
        {qValveStatus, 1, 0},
        {qLN2Level, 42.5, 1e-3, adam4017::LevelFromVolts(levelVolts * 0.98),
         adam4017::LevelFromVolts(levelVolts * 1.02)},
    };
    for (const TReading& r : readings) {
        boxArgs.emplace_back("--force");
        boxArgs.push_back(std::string(QuantityInfo(r.Quantity).Column) + "=" + Number(r.Held));
    }
    boxsim::TBoxSimLauncher box(boxsim, boxArgs);

    // Declared after the drivers: the link, whose receive thread may call them, goes first.
    TEthernetLinkShared link;
    boxsim::OpenSimulatorLink(link);
    cn.Attach(&link);
    adam.Attach(&link);

    std::vector<TCounts> counts(readings.size());
    std::map<std::string, long> failures;
    std::vector<double> milliseconds;
    long requests = 0;
    int reported = 0;
    const auto start = Clock::now();
    for (long a = 0; a < acquisitions; ++a) {
        const std::uint8_t before = link.Sequence();
        const auto begun = Clock::now();
        // Every reading of every acquisition is made, also after a failure, so that a reply
        // arriving late meets as many later reads as it can.
        for (std::size_t i = 0; i < readings.size(); ++i) {
            const TReading& r = readings[i];
            const TQuantityInfo& q = QuantityInfo(r.Quantity);
            try {
                const double value = q.Read({cn, adam});
                if (std::fabs(value - r.Held) <= r.Tolerance) {
                    ++counts[i].Right;
                } else if (value > r.Low && value < r.High) {
                    ++counts[i].WithinBand;
                } else {
                    ++counts[i].Wrong;
                    if (reported++ < 20)
                        std::fprintf(stderr, "acquisition %ld: %s read %.9g, held %.9g\n", a + 1,
                                     q.Name, value, r.Held);
                }
            } catch (const Exception& e) {
                ++counts[i].Failed;
                ++failures[std::string(q.Name) + ": " + e.what()];
            }
        }
        milliseconds.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - begun).count());
        // At most 255 requests per acquisition: twenty reads with retries and third reads.
        requests += static_cast<std::uint8_t>(link.Sequence() - before);
        if ((a + 1) % 100 == 0) std::fprintf(stderr, "%ld acquisitions\n", a + 1);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    cn.Detach();
    adam.Detach();

    TCounts total;
    std::printf("%-12s %8s %8s %8s %8s\n", "reading", "right", "in band", "failed", "wrong");
    for (std::size_t i = 0; i <= readings.size(); ++i) {
        const bool all = i == readings.size();
        const TCounts& c = all ? total : counts[i];
        std::printf("%-12s %8ld %8ld %8ld %8ld\n",
                    all ? "all" : QuantityInfo(readings[i].Quantity).Name, c.Right, c.WithinBand,
                    c.Failed, c.Wrong);
        if (all) break;
        total.Right += c.Right;
        total.WithinBand += c.WithinBand;
        total.Failed += c.Failed;
        total.Wrong += c.Wrong;
    }
    std::printf("acquisitions %ld in %.1f s: mean %.2f ms, median %.2f ms, 99th percentile %.1f "
                "ms, longest %.1f ms\n",
                acquisitions, seconds, seconds * 1000.0 / static_cast<double>(acquisitions),
                Percentile(milliseconds, 0.5), Percentile(milliseconds, 0.99),
                Percentile(milliseconds, 1.0));
    std::printf("link requests %ld (numbers wrapped %ld times), retransmissions %llu\n", requests,
                requests / 256, static_cast<unsigned long long>(link.Retransmissions()));
    for (const auto& [message, count] : failures)
        std::printf("failed %ld x %s\n", count, message.c_str());
    return total.Wrong == 0 ? kExitOk : kExitWrong;
}

} // namespace

int main(int argc, char** argv) {
    long acquisitions = 1000;
    std::string boxsim =
        (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "velk-boxsim").string();
    std::vector<std::string> boxArgs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--acquisitions" || arg == "--boxsim") && i + 1 < argc) {
            const std::string value = argv[++i];
            if (arg == "--boxsim") {
                boxsim = value;
                continue;
            }
            char* end = nullptr;
            acquisitions = std::strtol(value.c_str(), &end, 10);
            if (*end != '\0' || acquisitions < 1) {
                std::fprintf(stderr, "velk-soak: --acquisitions needs a count, got '%s'\n",
                             value.c_str());
                return kExitUsage;
            }
        } else if (arg == "--help" || arg == "-h") {
            std::puts("Usage: velk-soak [--acquisitions N] [--boxsim PATH] [VELK-BOXSIM "
                      "OPTIONS...]\nRuns N acquisitions (default 1000) against velk-boxsim with "
                      "every quantity held,\nand counts the readings right, failed and wrong. "
                      "Run it inside scripts/netns.sh.");
            return kExitOk;
        } else {
            boxArgs.push_back(arg);
        }
    }
    try {
        return Soak(acquisitions, boxsim, boxArgs);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velk-soak: %s\n", e.what());
        return kExitUsage;
    }
}
