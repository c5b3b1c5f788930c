#include <QApplication>
#include <gtest/gtest.h>

#include "common/ThreadSynchronize.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    velk::CreateThreadCallWindow();
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    velk::DestroyThreadCallWindow();
    return rc;
}
