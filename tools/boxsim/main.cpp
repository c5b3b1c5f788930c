// velk-boxsim: a stand-in for the Ethernet interface box and its instruments, on UDP port
// 192 of a chosen address, for the demo and the integration tests.

#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/boxsim/BoxSimulator.h"
#include "tools/boxsim/EchoInstruments.h"

using namespace velk::boxsim;

namespace {

using TApply = std::function<void(const std::string&)>;

struct TOption {
    const char* Name;
    const char* Argument; // nullptr for a flag
    const char* Help;
    TApply Apply;
};

double ParseNumber(const std::string& Name, const std::string& Text, double Min, double Max,
                   bool Integer = false) {
    double value = 0;
    const auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), value);
    if (error != std::errc{} || end != Text.data() + Text.size() || value < Min || value > Max ||
        (Integer && value != std::floor(value))) {
        char range[96];
        std::snprintf(range, sizeof range,
                      Integer ? "a whole number from %.0f to %.0f" : "a number from %g to %g", Min,
                      Max);
        throw std::invalid_argument("--" + Name + " needs " + range + ", got '" + Text + "'");
    }
    return value;
}

TApply Share(const std::string& Name, double& Target) {
    return [Name, &Target](const std::string& v) { Target = ParseNumber(Name, v, 0, 1); };
}

TApply Milliseconds(const std::string& Name, std::chrono::milliseconds& Target, int Min, int Max) {
    return [Name, &Target, Min, Max](const std::string& v) {
        Target = std::chrono::milliseconds(int(ParseNumber(Name, v, Min, Max, true)));
    };
}

// Set by SIGUSR1 when the silent instruments are to fall silent only then.
std::atomic<bool> g_silence{false};

void OnSilenceSignal(int) {
    g_silence = true;
}

void Usage(const std::vector<TOption>& Options) {
    std::printf(
        "Usage: velk-boxsim [options]\nStands in for the interface box on UDP port 192.\n\n");
    for (const TOption& option : Options) {
        const std::string name = std::string("--") + option.Name +
                                 (option.Argument ? std::string(" ") + option.Argument : "");
        std::printf("  %-26s %s\n", name.c_str(), option.Help);
    }
}

} // namespace

int main(int argc, char** argv) {
    TBoxOptions box;
    box.Seed = std::random_device{}();
    TInstrumentOptions instrumentOptions;
    int echoPiece = 0;
    bool help = false;
    bool exitWithParent = false;
    bool silenceOnSignal = false;

    // One line per option: add new ones here.
    const std::vector<TOption> options = {
        {"address", "A.B.C.D", "address to bind (default 127.0.0.2)",
         [&](const std::string& v) { box.Address = v; }},
        {"loss", "SHARE", "share of datagrams lost in each direction (0..1)",
         Share("loss", box.Faults.Loss)},
        {"duplicate", "SHARE", "share of sent datagrams sent twice",
         Share("duplicate", box.Faults.Duplicate)},
        {"reorder", "SHARE", "share of sent datagrams held back so later ones overtake them",
         Share("reorder", box.Faults.Reorder)},
        {"reorder-ms", "MS", "how long a held-back datagram waits (default 30)",
         Milliseconds("reorder-ms", box.Faults.ReorderDelay, 0, 10000)},
        {"late-ack", "SHARE", "share of request acknowledgements sent late",
         Share("late-ack", box.Faults.LateAck)},
        {"late-ack-ms", "MS", "delay of a late acknowledgement (default 200)",
         Milliseconds("late-ack-ms", box.Faults.LateAckDelay, 0, 20000)},
        {"resend-ms", "MS", "period of an unacknowledged data frame (default 60)",
         Milliseconds("resend-ms", box.Resend, 1, 10000)},
        {"seed", "N", "seed of the fault injection (default: random)",
         [&](const std::string& v) {
             box.Seed = unsigned(ParseNumber("seed", v, 0, 4294967295.0, true));
         }},
        {"echo", "PIECE", "answer each command with its own bytes, in pieces of PIECE bytes",
         [&](const std::string& v) { echoPiece = int(ParseNumber("echo", v, 1, 1600, true)); }},
        {"silent", "INSTRUMENT", "instrument that never answers: controller1, controller2, module",
         [&](const std::string& v) {
             if (v == "controller1")
                 instrumentOptions.SilentController1 = true;
             else if (v == "controller2")
                 instrumentOptions.SilentController2 = true;
             else if (v == "module")
                 instrumentOptions.SilentModule = true;
             else
                 throw std::invalid_argument(
                     "--silent needs controller1, controller2 or module, got '" + v + "'");
         }},
        {"silent-on-signal", nullptr,
         "the --silent instruments answer until the simulator gets SIGUSR1",
         [&](const std::string&) { silenceOnSignal = true; }},
        {"corrupt", "SHARE", "share of instrument replies with a damaged text (0..1)",
         Share("corrupt", instrumentOptions.Corrupt)},
        {"split", "SHARE", "share of instrument replies cut across two data frames (default 0.5)",
         Share("split", instrumentOptions.Split)},
        {"refuse-writes", "CODE", "controllers refuse every write with this error code (0..99)",
         [&](const std::string& v) {
             instrumentOptions.RefuseWrites = int(ParseNumber("refuse-writes", v, 0, 99, true));
         }},
        {"force", "NAME=VALUE",
         "hold a quantity at a value (repeatable); NAME is one of "
         "temp1 setpoint1 temp2 setpoint2 alarmlow power (degrees, %), "
         "vacuum (mbar), pump (1 stopped), valve (1 closed), level (%)",
         [&](const std::string& v) {
             const auto eq = v.find('=');
             const auto quantity = QuantityByName(v.substr(0, eq));
             if (eq == std::string::npos || !quantity)
                 throw std::invalid_argument("--force needs NAME=VALUE with NAME one of " +
                                             QuantityNames() + ", got '" + v + "'");
             instrumentOptions.Forced.emplace_back(
                 *quantity, ParseNumber("force", v.substr(eq + 1), -1e30, 1e30));
         }},
        {"speed", "FACTOR",
         "the cold source runs FACTOR times faster than real time (0.01..10000, default 1)",
         [&](const std::string& v) {
             instrumentOptions.Speed = ParseNumber("speed", v, 0.01, 10000);
         }},
        {"exit-with-parent", nullptr, "end when the process that started it ends (tests)",
         [&](const std::string&) { exitWithParent = true; }},
        {"verbose", nullptr, "log every datagram on standard error",
         [&](const std::string&) { box.Verbose = true; }},
        {"help", nullptr, "show this text", [&](const std::string&) { help = true; }},
    };

    try {
        for (int i = 1; i < argc; ++i) {
            std::string arg = argv[i];
            std::string value;
            bool hasValue = false;
            if (const auto eq = arg.find('='); eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg.resize(eq);
                hasValue = true;
            }
            const TOption* found = nullptr;
            for (const TOption& option : options)
                if (arg == std::string("--") + option.Name) found = &option;
            if (!found) throw std::invalid_argument("unknown option '" + arg + "' (see --help)");
            if (found->Argument && !hasValue) {
                if (++i >= argc) throw std::invalid_argument(arg + " needs a value");
                value = argv[i];
            } else if (!found->Argument && hasValue) {
                throw std::invalid_argument(arg + " takes no value");
            }
            found->Apply(value);
        }
        if (help) {
            Usage(options);
            return 0;
        }

        // SIGTERM and SIGINT end the serving loop through a descriptor it polls.
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGTERM);
        sigaddset(&stopSignals, SIGINT);
        sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
        const int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
        if (stopFd < 0) throw std::runtime_error("signalfd failed");
        // A test that crashes must not leave its simulator holding the port.
        if (exitWithParent) ::prctl(PR_SET_PDEATHSIG, SIGTERM);

        if (silenceOnSignal) {
            struct sigaction action = {};
            action.sa_handler = OnSilenceSignal;
            ::sigaction(SIGUSR1, &action, nullptr);
            instrumentOptions.Silence = &g_silence;
        }
        std::unique_ptr<TInstrumentSide> instruments;
        if (echoPiece > 0)
            instruments = std::make_unique<TEchoInstruments>(echoPiece);
        else {
            instrumentOptions.Seed = box.Seed;
            instruments = std::make_unique<TInstruments>(instrumentOptions);
        }
        TBoxSimulator simulator(box, *instruments);
        std::printf("velk-boxsim: serving on %s port 192\n", box.Address.c_str());
        std::fflush(stdout);
        simulator.Run(stopFd);
        ::close(stopFd);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velk-boxsim: %s\n", error.what());
        return 1;
    }
}
