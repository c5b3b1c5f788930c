#pragma once
// The monitor's history on disk, kept across restarts: every log-pane line in a daily event
// log, and one line of readings per tick in a daily CSV file. Each line is appended and
// flushed on its own, so a crash loses at most the line being written.

#include <functional>

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace velk {

struct TDisplay;

class THistory {
public:
    using TClock = std::function<QDateTime()>;
    // Shows one line to the operator (the log pane), without writing it to the event log.
    using TNotice = std::function<void(const QString&)>;

    // Files go to `folder`, created when missing; `clock` stamps every line and picks the
    // day's file.
    THistory(QString folder, TClock clock, TNotice notice);

    // "<ISO time>  <line>" to events-YYYY-MM-DD.log.
    void AppendEvent(const QString& line);
    // "<ISO time>,<ten fields>" to readings-YYYY-MM-DD.csv, in the order of the window, with
    // "." as decimal point (`shown` made with that separator). A field is empty unless the
    // last tick read a value: the file never claims a reading that was not taken.
    void AppendReadings(const TDisplay& shown);

    static QByteArray ReadingsHeader();

private:
    struct TFile {
        QString Checked; // file name whose end was checked for a cut line in this run
        bool Failing = false;
        QString Reason;
    };
    // Appends `line` to the file `name` of the folder, `header` first into an empty file; a
    // link or anything else but a regular file in its place fails.
    bool Append(TFile& file, const QString& name, const QByteArray& line, const QByteArray& header);
    bool WriteEvent(const QDateTime& when, const QString& line);
    // One notice when the first write fails, one when every file is written again.
    void Report();

    QString folder_;
    TClock clock_;
    TNotice notice_;
    TFile events_, readings_;
    bool reported_ = false; // a failure was told and is not over
    QDateTime failedSince_;
};

} // namespace velk
