#include "app/SignalCloser.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>

namespace velk {

namespace {

// Self-pipe: the handler may only write a byte; the event loop does the closing.
int g_pipe[2] = {-1, -1};
struct sigaction g_previous[3];
const int kSignals[3] = {SIGTERM, SIGINT, SIGHUP};

void OnSignalRaised(int) {
    // The signal may land between a failed call and the reading of its errno; a failed write
    // here (the pipe is full) must not change what that code reads.
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

SignalCloser::SignalCloser(QWidget* window) : window_(window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0) return;
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalCloser::OnSignal);
    struct sigaction action {};
    action.sa_handler = OnSignalRaised;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &action, &g_previous[i]);
}

SignalCloser::~SignalCloser() {
    if (g_pipe[0] < 0) return;
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
    delete notifier_;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void SignalCloser::OnSignal() {
    char bytes[16];
    while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
    }
    // A dialog or message box left open would hold the close back until somebody answered
    // it, and at a logout nobody will: each is dismissed as if cancelled, innermost first.
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (!modal->close()) break;
    }
    if (window_) window_->close();
}

} // namespace velk
