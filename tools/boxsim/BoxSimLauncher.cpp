#include "tools/boxsim/BoxSimLauncher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace velk::boxsim {

namespace {

bool WaitReadable(int Fd, std::chrono::milliseconds Timeout) {
    pollfd fd{Fd, POLLIN, 0};
    int rc;
    do
        rc = ::poll(&fd, 1, static_cast<int>(Timeout.count()));
    while (rc < 0 && errno == EINTR);
    return rc > 0;
}

} // namespace

TBoxSimLauncher::TBoxSimLauncher(const std::string& Program,
                                 const std::vector<std::string>& Arguments,
                                 std::chrono::milliseconds Timeout) {
    std::vector<std::string> args{Program, "--exit-with-parent"};
    args.insert(args.end(), Arguments.begin(), Arguments.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const int rc = posix_spawn(&Pid_, Program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        Pid_ = -1;
        throw std::runtime_error("cannot start " + Program + ": " + std::strerror(rc));
    }
    PidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, Pid_, 0));

    // The first line says it serves; end of file or silence means it failed.
    std::string line;
    char c = 0;
    while (line.find('\n') == std::string::npos && WaitReadable(out[0], Timeout) &&
           ::read(out[0], &c, 1) == 1)
        line += c;
    ::close(out[0]);
    if (line.find("serving") == std::string::npos) {
        Stop(std::chrono::seconds(2));
        throw std::runtime_error(Program + " did not start serving (see its message above)");
    }
}

TBoxSimLauncher::~TBoxSimLauncher() {
    Stop();
}

void TBoxSimLauncher::Signal(int Signal) {
    if (Pid_ >= 0) ::kill(Pid_, Signal);
}

bool TBoxSimLauncher::Stop(std::chrono::milliseconds Timeout) {
    if (Pid_ < 0) return false;
    ::kill(Pid_, SIGTERM);
    const bool ended = PidFd_ < 0 || WaitReadable(PidFd_, Timeout);
    if (!ended) ::kill(Pid_, SIGKILL);
    int status = 0;
    ::waitpid(Pid_, &status, 0);
    if (PidFd_ >= 0) ::close(PidFd_);
    Pid_ = -1;
    PidFd_ = -1;
    return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace velk::boxsim
