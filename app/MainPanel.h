#pragma once
// The monitor's main window: a small fixed-size panel whose log pane at the bottom keeps
// every device error and alarm change of the run.

#include <QWidget>

class QTextEdit;

namespace velk {

inline constexpr const char* kTitleLine = "Velk monitor  V1.00  10/01/01";

class TMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);

    // Appends one line at the end of the log pane; lines are never removed.
    void AddLogLine(const QString& line);

    QTextEdit* RichEdit() const { return RichEdit_; }

private:
    void FormCreate();

    QTextEdit* RichEdit_ = nullptr;
};

} // namespace velk
