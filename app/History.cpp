#include "app/History.h"

#include <algorithm>
#include <array>

#include <QDir>
#include <QFile>

#include "app/Display.h"
#include "common/DateTimeText.h"

namespace velk {

namespace {

// The readings in the order of the window.
const std::array<const TQuantityInfo*, kQuantityCount>& Columns() {
    static const auto columns = [] {
        std::array<const TQuantityInfo*, kQuantityCount> inRows{};
        for (const TQuantityInfo& q : Quantities())
            inRows[static_cast<std::size_t>(q.Row)] = &q;
        return inRows;
    }();
    return columns;
}

QString DayFileName(const char* prefix, const QDateTime& when, const char* extension) {
    return QLatin1String(prefix) + when.date().toString(QStringLiteral("yyyy-MM-dd")) +
           QLatin1String(extension);
}

// Size of the file up to the end of its last complete line (-1 when it cannot be read).
qint64 CompleteLinesSize(QFile& file) {
    qint64 end = file.size();
    while (end > 0) {
        const qint64 start = std::max<qint64>(0, end - 4096);
        if (!file.seek(start)) return -1;
        const QByteArray chunk = file.read(end - start);
        if (chunk.size() != end - start) return -1;
        if (const qsizetype newline = chunk.lastIndexOf('\n'); newline >= 0)
            return start + newline + 1;
        end = start;
    }
    return 0;
}

} // namespace

THistory::THistory(QString folder, TClock clock, TNotice notice)
    : folder_(std::move(folder)), clock_(std::move(clock)), notice_(std::move(notice)) {}

QByteArray THistory::ReadingsHeader() {
    QByteArray header = "time";
    for (const TQuantityInfo* column : Columns())
        header += QByteArray(",") + column->Column;
    return header + '\n';
}

void THistory::AppendEvent(const QString& line) {
    WriteEvent(clock_(), line);
    Report();
}

void THistory::AppendReadings(const TDisplay& shown) {
    const QDateTime when = clock_();
    QString line = IsoDateTimeText(when);
    for (const TQuantityInfo* column : Columns()) {
        const TShownReading& reading = shown.Readings[column->Quantity];
        line += QLatin1Char(',') + (reading.Live ? reading.Text : QString());
    }
    Append(readings_, DayFileName("readings-", when, ".csv"), line.toUtf8() + '\n',
           ReadingsHeader());
    Report();
}

bool THistory::WriteEvent(const QDateTime& when, const QString& line) {
    QString text = IsoDateTimeText(when) + QStringLiteral("  ") + line;
    // One line per event, whatever the text holds.
    text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    return Append(events_, DayFileName("events-", when, ".log"), text.toUtf8() + '\n', {});
}

bool THistory::Append(TFile& file, const QString& name, const QByteArray& line,
                      const QByteArray& header) {
    QDir().mkpath(folder_); // a failure shows in the open below
    QFile f(folder_ + QLatin1Char('/') + name);
    auto fail = [&](const QString& reason) {
        file.Failing = true;
        file.Reason = reason + QStringLiteral(" (") + f.fileName() + QLatin1Char(')');
        return false;
    };
    if (!f.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered))
        return fail(f.errorString());
    qint64 size = f.size();
    if (file.Checked != name && !f.isSequential()) {
        // Once per file and run: a line that a crash or a full disk cut short would claim a
        // wrong value (a number missing its last digits), so it goes.
        const qint64 complete = CompleteLinesSize(f);
        if (complete < 0 || (complete != size && !f.resize(complete))) return fail(f.errorString());
        size = complete;
        file.Checked = name;
    }
    const QByteArray data = size == 0 ? header + line : line;
    if (f.write(data) != data.size()) {
        const QString reason = f.errorString();
        f.resize(size); // no part of the line stays for the next one to continue
        file.Checked.clear();
        return fail(reason);
    }
    file.Failing = false;
    return true;
}

void THistory::Report() {
    if (!reported_) {
        if (!events_.Failing && !readings_.Failing) return;
        reported_ = true;
        failedSince_ = clock_();
        const QString text = QStringLiteral("Unable to write the history: ") +
                             (readings_.Failing ? readings_ : events_).Reason;
        if (!events_.Failing) WriteEvent(failedSince_, text); // only the readings file failed
        notice_(text);
        return;
    }
    // A failing readings file is tried again at the next tick; the event log is tried again
    // with the line that says the history is written again.
    if (readings_.Failing) return;
    const QString text = QStringLiteral("History written again in ") + folder_ +
                         QStringLiteral(" (lines from ") + DateTimeText(failedSince_) +
                         QStringLiteral(" on are missing)");
    if (!WriteEvent(clock_(), text)) return;
    reported_ = false;
    notice_(text);
}

} // namespace velk
