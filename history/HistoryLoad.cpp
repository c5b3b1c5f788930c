#include "history/HistoryLoad.h"

#include <QDateTime>
#include <QFile>

namespace velk {

namespace {

// The whole file, or nothing when it cannot be opened (no such day).
std::optional<QByteArray> ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

std::string_view View(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

} // namespace

std::vector<QDate> SpanDays(std::int64_t from, std::int64_t to, const QTimeZone& zone) {
    std::vector<QDate> days;
    if (to < from) return days;
    const QDate first = QDateTime::fromSecsSinceEpoch(from, zone).date();
    const QDate last = QDateTime::fromSecsSinceEpoch(to, zone).date();
    for (QDate day = first; day <= last; day = day.addDays(1))
        days.push_back(day);
    return days;
}

THistoryLoad LoadHistory(const QString& folder, std::int64_t from, std::int64_t to,
                         const std::atomic<bool>& cancel, std::atomic<int>& progress,
                         const QTimeZone& zone) {
    THistoryLoad load;
    const std::vector<QDate> days = SpanDays(from, to, zone);
    for (std::size_t d = 0; d < days.size(); ++d) {
        if (cancel.load()) {
            load.Cancelled = true;
            return load;
        }
        const QString name = ReadingsFileName(days[d]);
        if (const auto bytes = ReadFile(folder + QLatin1Char('/') + name)) {
            if (const int bad = ParseReadings(View(*bytes), from, to, load.Data))
                load.Messages << QStringLiteral("%1 line%2 could not be read in %3")
                                     .arg(bad)
                                     .arg(bad == 1 ? "" : "s")
                                     .arg(name);
        }
        if (const auto bytes = ReadFile(folder + QLatin1Char('/') + EventsFileName(days[d])))
            ParseEvents(View(*bytes), from, to, load.Events);
        progress.store(static_cast<int>(1000 * (d + 1) / days.size()));
    }
    load.Data.GapLimit = GapLimitOf(load.Data.Times);
    return load;
}

} // namespace velk
