// velk-boxsim: a stand-in for the Ethernet interface box and its instruments, on UDP port
// 192 of a chosen address, for the demo and the integration tests.

#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <charconv>
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

struct TOption {
    const char* Name;
    const char* Argument; // nullptr for a flag
    const char* Help;
    std::function<void(const std::string&)> Apply;
};

double ParseNumber(const std::string& Name, const std::string& Text, double Min, double Max) {
    double value = 0;
    const auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), value);
    if (error != std::errc{} || end != Text.data() + Text.size() || value < Min || value > Max)
        throw std::invalid_argument("--" + Name + " needs a number from " + std::to_string(Min) +
                                    " to " + std::to_string(Max) + ", got '" + Text + "'");
    return value;
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

    // One line per option: add new ones here.
    const std::vector<TOption> options = {
        {"address", "A.B.C.D", "address to bind (default 127.0.0.2)",
         [&](const std::string& v) { box.Address = v; }},
        {"loss", "SHARE", "share of datagrams lost in each direction (0..1)",
         [&](const std::string& v) { box.Faults.Loss = ParseNumber("loss", v, 0, 1); }},
        {"duplicate", "SHARE", "share of sent datagrams sent twice",
         [&](const std::string& v) { box.Faults.Duplicate = ParseNumber("duplicate", v, 0, 1); }},
        {"reorder", "SHARE", "share of sent datagrams held back so later ones overtake them",
         [&](const std::string& v) { box.Faults.Reorder = ParseNumber("reorder", v, 0, 1); }},
        {"reorder-ms", "MS", "how long a held-back datagram waits (default 30)",
         [&](const std::string& v) {
             box.Faults.ReorderDelay =
                 std::chrono::milliseconds(int(ParseNumber("reorder-ms", v, 0, 10000)));
         }},
        {"late-ack", "SHARE", "share of request acknowledgements sent late",
         [&](const std::string& v) { box.Faults.LateAck = ParseNumber("late-ack", v, 0, 1); }},
        {"late-ack-ms", "MS", "delay of a late acknowledgement (default 200)",
         [&](const std::string& v) {
             box.Faults.LateAckDelay =
                 std::chrono::milliseconds(int(ParseNumber("late-ack-ms", v, 0, 20000)));
         }},
        {"resend-ms", "MS", "period of an unacknowledged data frame (default 60)",
         [&](const std::string& v) {
             box.Resend = std::chrono::milliseconds(int(ParseNumber("resend-ms", v, 1, 10000)));
         }},
        {"seed", "N", "seed of the fault injection (default: random)",
         [&](const std::string& v) {
             box.Seed = unsigned(ParseNumber("seed", v, 0, 4294967295.0));
         }},
        {"echo", "PIECE", "answer each command with its own bytes, in pieces of PIECE bytes",
         [&](const std::string& v) { echoPiece = int(ParseNumber("echo", v, 1, 1600)); }},
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
        {"corrupt", "SHARE", "share of instrument replies with a damaged text (0..1)",
         [&](const std::string& v) {
             instrumentOptions.Corrupt = ParseNumber("corrupt", v, 0, 1);
         }},
        {"split", "SHARE", "share of instrument replies cut across two data frames (default 0.5)",
         [&](const std::string& v) { instrumentOptions.Split = ParseNumber("split", v, 0, 1); }},
        {"refuse-writes", "CODE", "controllers refuse every write with this error code (0..99)",
         [&](const std::string& v) {
             instrumentOptions.RefuseWrites = int(ParseNumber("refuse-writes", v, 0, 99));
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
