// The log pane with 100,000 lines, as weeks of a silent instrument leave it: the memory it
// holds and the time to append one more line, with the pane's line limit and without it.
//   build/bin/bench_log_pane capped|uncapped [LINES]
// One variant per process, so that memory freed by one does not flatter the other. The event
// log goes to a temporary folder; its own cost per line is measured apart.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextDocument>

#include "app/History.h"
#include "app/MainPanel.h"
#include "app/StatePaths.h"
#include "common/ThreadSynchronize.h"

namespace {

using Clock = std::chrono::steady_clock;

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// What a silent controller writes once per tick.
QString TickLine(int i) {
    return QStringLiteral("Command failure (time out  1000 ms)  (01/05/2024 14:%1:%2)")
        .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(i % 60, 2, 10, QLatin1Char('0'));
}

double MicrosecondsPer(Clock::time_point start, int count) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / count;
}

} // namespace

int main(int argc, char** argv) {
    const bool capped = argc > 1 && std::strcmp(argv[1], "capped") == 0;
    if (argc < 2 || (!capped && std::strcmp(argv[1], "uncapped") != 0)) {
        std::fprintf(stderr, "usage: bench_log_pane capped|uncapped [LINES]\n");
        return 2;
    }
    const int lines = argc > 2 ? std::atoi(argv[2]) : 100000;
    const int kTimed = argc > 3 ? std::atoi(argv[3]) : 2000;

    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toUtf8());
    QApplication app(argc, argv);
    velk::CreateThreadCallWindow();
    {
        velk::TMainForm form;
        if (!capped) form.RichEdit()->document()->setMaximumBlockCount(0);
        form.show();
        QApplication::processEvents();
        const long before = ResidentKiB();
        const auto fill = Clock::now();
        for (int i = 0; i < lines; ++i) {
            form.AddLogLine(TickLine(i));
            if (i % 1000 == 0) QApplication::processEvents(); // paints, as the window would
        }
        const double fillUs = MicrosecondsPer(fill, lines);
        QApplication::processEvents();
        const long after = ResidentKiB();
        const auto timed = Clock::now();
        for (int i = 0; i < kTimed; ++i)
            form.AddLogLine(TickLine(i));
        const double appendUs = MicrosecondsPer(timed, kTimed);
        QApplication::processEvents();

        // The event log alone, into the same folder.
        velk::THistory history(
            velk::StateFolder(), [] { return QDateTime::currentDateTime(); },
            [](const QString&) {});
        const auto events = Clock::now();
        for (int i = 0; i < kTimed; ++i)
            history.AppendEvent(TickLine(i));
        const double eventUs = MicrosecondsPer(events, kTimed);

        std::printf("%s: %d lines in the pane (%d kept); pane memory %.1f MiB; "
                    "append at that size %.0f us per line (mean over the fill %.0f us); "
                    "event log alone %.0f us per line\n",
                    capped ? "capped" : "uncapped", lines + kTimed,
                    form.RichEdit()->document()->blockCount(), (after - before) / 1024.0, appendUs,
                    fillUs, eventUs);
    }
    velk::DestroyThreadCallWindow();
    return 0;
}
