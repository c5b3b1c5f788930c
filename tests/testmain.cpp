#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "common/ThreadSynchronize.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    // The monitor's history goes to a folder of this run, never to the user's own.
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toUtf8());
    QApplication app(argc, argv);
    velk::CreateThreadCallWindow();
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    velk::DestroyThreadCallWindow();
    return rc;
}
