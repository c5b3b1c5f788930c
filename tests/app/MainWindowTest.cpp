#include <QTextEdit>
#include <gtest/gtest.h>

#include "app/MainPanel.h"
#include "tests/TestSupport.h"

namespace {

TEST(MainWindow, StartsWithItsCaptionFixedSizeAndTitleLine) {
    velk::TMainForm form;
    form.show();
    EXPECT_EQ(form.windowTitle(), "Velk Monitor");
    EXPECT_EQ(form.size(), QSize(384, 283));
    EXPECT_EQ(form.minimumSize(), form.maximumSize()); // cannot be resized
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    auto* log = form.findChild<QTextEdit*>(QStringLiteral("RichEdit"));
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->toPlainText(), "Velk monitor  V1.00  10/01/01");
    EXPECT_EQ(log->geometry(), QRect(0, 228, 384, 55));
}

TEST(MainWindow, LogLinesAreAppendedAtTheEnd) {
    velk::TMainForm form;
    form.AddLogLine(QStringLiteral("first"));
    form.RichEdit()->moveCursor(QTextCursor::Start); // the operator clicked at the top
    form.AddLogLine(QStringLiteral("second"));
    EXPECT_EQ(form.RichEdit()->toPlainText(), "Velk monitor  V1.00  10/01/01\nfirst\nsecond");
}

} // namespace
