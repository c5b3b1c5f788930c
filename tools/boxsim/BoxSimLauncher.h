#pragma once
// Runs velk-boxsim as a child process for tests and benchmarks: starts it, waits until it
// serves, and stops it with SIGTERM. The child ends with its parent, even one that crashes.

#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

namespace velk::boxsim {

class TBoxSimLauncher {
public:
    // Program: path of velk-boxsim. Throws std::runtime_error with the reason when the
    // simulator does not start serving within the time-out.
    TBoxSimLauncher(const std::string& Program, const std::vector<std::string>& Arguments,
                    std::chrono::milliseconds Timeout = std::chrono::seconds(10));
    ~TBoxSimLauncher();
    TBoxSimLauncher(const TBoxSimLauncher&) = delete;
    TBoxSimLauncher& operator=(const TBoxSimLauncher&) = delete;

    // Sends `Signal` to the simulator (SIGUSR1: the instruments named by --silent with
    // --silent-on-signal fall silent).
    void Signal(int Signal);

    // Sends SIGTERM; true when the simulator then ended with exit code 0 within the
    // time-out (otherwise it is killed).
    bool Stop(std::chrono::milliseconds Timeout = std::chrono::seconds(10));

private:
    pid_t Pid_ = -1;
    int PidFd_ = -1;
};

} // namespace velk::boxsim
