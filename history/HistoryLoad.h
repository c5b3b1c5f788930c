#pragma once
// Reading the history files of a span from the history folder, as a function that a worker
// thread runs: it can be told to stop, and tells how far it is.

#include <atomic>
#include <vector>

#include <QStringList>
#include <QTimeZone>

#include "history/ReadingsFile.h"

namespace velk {

struct THistoryLoad {
    THistoryData Data;
    std::vector<TEventMark> Events;
    QStringList Messages; // "3 lines could not be read in readings-2026-11-02.csv"
    bool Cancelled = false;
};

// The days whose files hold the times [from, to]: the monitor names a file by the local
// date of its lines, so these are the local dates in `zone` from that of `from` to that of
// `to`, however long those days are.
std::vector<QDate> SpanDays(std::int64_t from, std::int64_t to, const QTimeZone& zone);

// Reads the readings and event files of [from, to] in `folder`; a missing file is a day
// without readings. Stops early (Cancelled) once `cancel` is set; `progress` goes from 0
// to 1000 as the files are read.
THistoryLoad LoadHistory(const QString& folder, std::int64_t from, std::int64_t to,
                         const std::atomic<bool>& cancel, std::atomic<int>& progress,
                         const QTimeZone& zone = QTimeZone::systemTimeZone());

} // namespace velk
