#pragma once
// The monitor's readings, alarms and health as Prometheus metrics. The main thread publishes
// a snapshot at each display update; a scrape, on the endpoint's own thread, renders a copy
// of the last one, so it never waits for a tick nor takes ReadingsLock.

#include <cstdint>
#include <mutex>
#include <optional>

#include <QByteArray>
#include <QHostAddress>

#include "app/Acquisition.h"
#include "app/globalParameters.h"
#include "metrics/MetricsServer.h"

namespace velk {

struct TMetricsSnapshot {
    TReadings Readings;
    TAlarmTempArray AlarmTemp;
    TAlarmLimits AlarmVacuum;
    bool Connected = false;
    std::uint64_t Retransmissions = 0;
    std::uint64_t MailsSent = 0;
    std::uint64_t MailsFailed = 0;
};

// The exposition text of `s`: a reading only when the last tick refreshed it.
QByteArray MetricsText(const TMetricsSnapshot& s);

class TMetricsExport {
public:
    TMetricsExport() = default;
    TMetricsExport(const TMetricsExport&) = delete;
    TMetricsExport& operator=(const TMetricsExport&) = delete;

    // The reason when it cannot listen there.
    std::optional<QString> Listen(const QHostAddress& address, quint16 port) {
        return server_.Listen(address, port);
    }
    quint16 Port() const { return server_.Port(); }
    // Any thread.
    void Publish(const TMetricsSnapshot& snapshot);
    QByteArray Scrape() const;

private:
    mutable std::mutex mutex_; // held only to copy the snapshot
    TMetricsSnapshot snapshot_;
    // Last, so that it stops before the snapshot goes.
    TMetricsServer server_{[this] { return Scrape(); }};
};

} // namespace velk
