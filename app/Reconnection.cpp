#include "app/Reconnection.h"

#include <algorithm>
#include <array>

#include "common/DateTimeText.h"

namespace velk {

namespace {
// Between the attempts that follow the first; the last one repeats.
constexpr std::array<std::chrono::seconds, 4> kSpacing{
    std::chrono::seconds(5), std::chrono::seconds(10), std::chrono::seconds(30),
    std::chrono::seconds(60)};
} // namespace

void TReconnection::Connected(Clock::time_point now) {
    *this = TReconnection{};
    everAnswered_ = true;
    lastHeard_ = now;
}

void TReconnection::Unanswered(Clock::time_point now) {
    *this = TReconnection{};
    lost_ = true;
    lastHeard_ = now;
    nextAttempt_ = now;
}

bool TReconnection::Judge(Clock::time_point now, Clock::time_point lastHeard,
                          std::chrono::milliseconds period, bool restarted) {
    if (lost_) return false;
    lastHeard_ = std::max(lastHeard_, lastHeard);
    if (!restarted && !SilentTooLong(now, lastHeard_, period)) return false;
    lost_ = true;
    failedAttempts_ = 0;
    nextAttempt_ = now;
    return true;
}

bool TReconnection::SilentTooLong(Clock::time_point now, Clock::time_point lastHeard,
                                  std::chrono::milliseconds period) const {
    const Clock::duration limit = std::max<Clock::duration>(kLeastSilence, kSilentPeriods * period);
    return now - std::max(lastHeard_, lastHeard) >= limit;
}

bool TReconnection::AttemptFailed(Clock::time_point now) {
    const std::size_t step =
        std::min(static_cast<std::size_t>(failedAttempts_), kSpacing.size() - 1);
    ++failedAttempts_;
    nextAttempt_ = now + kSpacing[step];
    return failedAttempts_ == 1 && !everAnswered_;
}

std::optional<TReconnection::Clock::duration>
TReconnection::AttemptSucceeded(Clock::time_point now) {
    const bool told = everAnswered_ || failedAttempts_ > 0;
    const Clock::duration away = now - lastHeard_;
    Connected(now);
    if (!told) return std::nullopt;
    return away;
}

QString ConnectionLostLine(const QString& address, const QDateTime& since) {
    return QStringLiteral("Connection to %1 lost: no answer since %2; trying again")
        .arg(address, DateTimeText(since));
}

QString ConnectionBackLine(const QString& address, std::chrono::seconds away) {
    return QStringLiteral("Connection to %1 back after %2").arg(address, DurationText(away));
}

QString DurationText(std::chrono::seconds duration) {
    const long long total = std::max<long long>(0, duration.count());
    const long long hours = total / 3600, minutes = total / 60 % 60, seconds = total % 60;
    QString text;
    if (hours > 0) text += QStringLiteral("%1 h ").arg(hours);
    if (hours > 0 || minutes > 0) text += QStringLiteral("%1 min ").arg(minutes);
    return text + QStringLiteral("%1 s").arg(seconds);
}

} // namespace velk
