#pragma once
// Helpers shared by the test programs.

#include <csignal>
#include <ostream>

#include <sys/resource.h>

#include <QByteArray>
#include <QString>
#include <QTest>
#include <gtest/gtest.h>

#include "common/Errors.h"

// Lets GoogleTest print Qt strings readably in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QByteArray& bytes, std::ostream* os) { *os << '"' << bytes.toStdString() << '"'; }

namespace velk::test {

// Folder of the built programs (velk-boxsim and friends).
QString BinDir();

// True when the test runs where it may bind UDP port 192 (a private network namespace or
// a capable process); tests that need it skip with a clear reason otherwise.
bool CanBindPort192();
#define VELK_NEEDS_PORT_192()                                                                      \
    if (!::velk::test::CanBindPort192())                                                           \
    GTEST_SKIP() << "UDP port 192 cannot be bound here: run inside scripts/netns.sh"

// The message of the E that `f` raises ("" when it raises nothing). Another kind of error
// goes through to the test, which then fails.
template <class E = Exception, class F> QString MessageOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.Message();
    }
    return {};
}

// Runs the event loop until `done` holds or `ms` have passed; false if it never held. The
// default is generous, for a shared and noisy machine.
template <class F> bool Eventually(F done, int ms = 20000) {
    return QTest::qWaitFor(done, ms);
}

// While it lives, every regular file this process writes stops at `bytes`, as on a disk that
// fills up: the write that reaches the limit takes part, the next one fails.
class TFullDisk {
public:
    explicit TFullDisk(qint64 bytes) : signal_(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &before_);
        const rlimit full{static_cast<rlim_t>(bytes), before_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &full);
    }
    ~TFullDisk() {
        setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, signal_);
    }
    TFullDisk(const TFullDisk&) = delete;
    TFullDisk& operator=(const TFullDisk&) = delete;

private:
    rlimit before_{};
    void (*signal_)(int);
};

} // namespace velk::test
