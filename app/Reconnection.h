#pragma once
// When a connected session takes its box for lost, and when it tries the link handshake
// again: nothing heard from the box for max(25 s, three refresh periods), or the box seen to
// have restarted; then an attempt at once, and further ones 5 s, 10 s, 30 s, then every 60 s
// apart, so a box that is away is not flooded. Driven with the time given, so that a test can
// run it on its own clock.

#include <chrono>
#include <cstdint>
#include <optional>

#include <QDateTime>
#include <QString>

namespace velk {

class TReconnection {
public:
    using Clock = std::chrono::steady_clock;

    // A box that stopped answering fails a read after two requests of 99 unanswered sends
    // (29.7 s): the judgement then falls at the end of that first read, not a read later.
    static constexpr std::chrono::seconds kLeastSilence{25};
    static constexpr int kSilentPeriods = 3;
    // Sends of one attempt's handshake (150 ms each): short, so that a stop of the timer in
    // the middle of it waits less than a second.
    static constexpr int kAttemptSends = 4;

    // A handshake just succeeded at `now` (the operator's Connect).
    void Connected(Clock::time_point now);
    // A connection opened without a handshake (at start-up): lost from the start, first
    // attempt due at once.
    void Unanswered(Clock::time_point now);

    bool Lost() const { return lost_; }
    // Nothing came from the box since `lastHeard` for max(kLeastSilence, kSilentPeriods periods).
    bool SilentTooLong(Clock::time_point now, Clock::time_point lastHeard,
                       std::chrono::milliseconds period) const;
    // After a tick that read: true when the connection is lost from now on, because nothing
    // came from the box since `lastHeard` for too long, or because it `restarted`.
    bool Judge(Clock::time_point now, Clock::time_point lastHeard, std::chrono::milliseconds period,
               bool restarted);
    bool AttemptDue(Clock::time_point now) const { return lost_ && now >= nextAttempt_; }
    // True for the first failure of a connection that never answered (worth one log line).
    bool AttemptFailed(Clock::time_point now);
    // The handshake succeeded: how long the box was away, from the last time it was heard
    // (or from the start-up connection); nothing when no outage was told, that is when the
    // start-up connection answered its first attempt.
    std::optional<Clock::duration> AttemptSucceeded(Clock::time_point now);
    Clock::time_point LastHeard() const { return lastHeard_; }

private:
    bool lost_ = false;
    bool everAnswered_ = false;
    int failedAttempts_ = 0;
    Clock::time_point lastHeard_{};
    Clock::time_point nextAttempt_{};
};

// "Connection to 127.0.0.2 lost: no answer since <date-time>; trying again".
QString ConnectionLostLine(const QString& address, const QDateTime& since);
// "Connection to 127.0.0.2 back after 3 min 12 s".
QString ConnectionBackLine(const QString& address, std::chrono::seconds away);
// "3 min 12 s", "45 s", "2 h 0 min 5 s": the largest unit first, none of zero before it.
QString DurationText(std::chrono::seconds duration);

} // namespace velk
