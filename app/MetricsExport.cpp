#include "app/MetricsExport.h"

#include <tuple>

#include "metrics/Exposition.h"

namespace velk {

namespace {

QByteArray MetricName(const TQuantityInfo& q) {
    const QByteArray name(q.Metric.Name);
    return *q.Metric.Unit ? name + '_' + q.Metric.Unit : name;
}

void Readings(TExposition& out, const TReadings& r) {
    for (const TQuantityInfo& q : Quantities()) {
        const double value = r.Value(q.Quantity);
        // Only what the last tick read: an old value would pass for a live one.
        const bool status = !q.Shown;
        if (!r.Fresh[q.Quantity] || (status ? value != 0.0 && value != 1.0 : !q.Shown(value)))
            continue;
        out.Family(MetricName(q), "gauge", q.Metric.Help);
        out.Sample(status ? (value == 0.0 ? 1.0 : 0.0) : value * q.Metric.Scale);
    }
}

void Groups(TExposition& out, const TReadings& r) {
    out.Family("velk_group_failed_ticks_total", "counter",
               "Ticks in which an instrument group did not answer every request.");
    for (int g = 0; g < kGroupCount; ++g)
        out.Sample({{"group", kGroupNames[g]}}, static_cast<double>(r.FailedTicks[g]));
    out.Family("velk_group_last_answer_timestamp_seconds", "gauge",
               "When an instrument group last answered a whole tick.");
    for (int g = 0; g < kGroupCount; ++g)
        if (r.LastAnswered[g].isValid())
            out.Sample({{"group", kGroupNames[g]}},
                       static_cast<double>(r.LastAnswered[g].toMSecsSinceEpoch()) / 1000.0);
}

void Alarms(TExposition& out, const TMetricsSnapshot& s) {
    struct TAlarm {
        const TQuantityInfo& Quantity;
        const TAlarmLimits& Limits;
    };
    const TAlarm alarms[] = {{QuantityInfo(qTemp1), s.AlarmTemp[1]},
                             {QuantityInfo(qTemp2), s.AlarmTemp[2]},
                             {QuantityInfo(qVacuum), s.AlarmVacuum}};
    const auto label = [](const TAlarm& a) {
        return QByteArray(a.Quantity.Metric.Name).mid(static_cast<int>(sizeof "velk_" - 1));
    };
    out.Family("velk_alarm_active", "gauge", "1 while an alarm is raised.");
    for (const TAlarm& a : alarms)
        out.Sample({{"alarm", label(a)}}, a.Limits.Active ? 1.0 : 0.0);
    out.Family("velk_alarm_enabled", "gauge", "1 when an alarm is switched on.");
    for (const TAlarm& a : alarms)
        out.Sample({{"alarm", label(a)}}, a.Limits.Enabled ? 1.0 : 0.0);
    // One family per unit; the alarms of one unit follow each other.
    for (const char* bound : {"min", "max"}) {
        QByteArray family;
        for (const TAlarm& a : alarms) {
            const QByteArray name =
                QByteArray("velk_alarm_") + bound + '_' + a.Quantity.Metric.Unit;
            if (name != family) {
                family = name;
                out.Family(name, "gauge",
                           bound[1] == 'i' ? "Lower limit of an alarm."
                                           : "Upper limit of an alarm.");
            }
            out.Sample({{"alarm", label(a)}}, bound[1] == 'i' ? a.Limits.Min : a.Limits.Max);
        }
    }
}

} // namespace

QByteArray MetricsText(const TMetricsSnapshot& s) {
    TExposition out;
    out.Family("velk_build_info", "gauge", "The monitor's version.");
    out.Sample({{"version", kVersionIDSoft}}, 1.0);
    out.Family("velk_connected", "gauge",
               "1 while the monitor is connected to its box and has not lost it.");
    out.Sample(s.Connected ? 1.0 : 0.0);
    Readings(out, s.Readings);
    Groups(out, s.Readings);
    Alarms(out, s);
    const std::tuple<const char*, const char*, std::uint64_t> counters[] = {
        {"velk_ticks_total", "Acquisition ticks.", s.Readings.TickCount},
        {"velk_link_retransmissions_total", "Requests sent again to the box.", s.Retransmissions},
        {"velk_alarm_mails_sent_total", "Alarm mails the server took.", s.MailsSent},
        {"velk_alarm_mails_failed_total", "Alarm mails that failed.", s.MailsFailed},
    };
    for (const auto& [name, help, value] : counters) {
        out.Family(name, "counter", help);
        out.Sample(static_cast<double>(value));
    }
    out.Family("velk_tick_duration_seconds", "gauge",
               "Duration of the last completed tick, display update included.");
    out.Sample(s.Readings.PreviousTickSeconds);
    return out.Text();
}

void TMetricsExport::Publish(const TMetricsSnapshot& snapshot) {
    std::lock_guard lock(mutex_);
    snapshot_ = snapshot;
}

QByteArray TMetricsExport::Scrape() const {
    TMetricsSnapshot copy;
    {
        std::lock_guard lock(mutex_);
        copy = snapshot_;
    }
    return MetricsText(copy);
}

} // namespace velk
