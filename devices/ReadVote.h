#pragma once
// The drivers' defences against corrupted replies: one retry per read, and votes over two to
// four reads. `read` is a callable returning one reply text (or raising); `value` turns a
// text into a number (or raises). Kept apart from the transport so they can be tested alone.

#include <exception>
#include <optional>

#include <QString>

namespace velk {

// One read = one attempt, and exactly one more if the first raises anything.
template <class Read> QString ReadWithRetry(Read&& read) {
    try {
        return read();
    } catch (const std::exception&) {
        return read();
    }
}

// Two reads that agree character for character win: the first two, else the third with
// either of them. Three different reads give no result, since none of them is confirmed.
template <class Read> std::optional<QString> ExactVote(Read&& read) {
    const QString r1 = ReadWithRetry(read);
    const QString r2 = ReadWithRetry(read);
    if (r2 == r1) return r1;
    const QString r3 = ReadWithRetry(read);
    if (r3 == r1) return r1;
    if (r3 == r2) return r2;
    return std::nullopt;
}

// The text a driver raises, in its own exception class, when a vote gives no result.
inline QString DisagreementMessage(const char* name) {
    return QStringLiteral("Bad received response (Command: %1, reads disagree)!")
        .arg(QLatin1String(name));
}

namespace detail {
// Strictly within 2 % of the reference (never true for zero: the test is strict).
inline bool Near(double x, double reference) {
    return reference * 0.98 < x && x < reference * 1.02;
}
} // namespace detail

// For measured voltages. Two reads agree when both are numbers that are equal or strictly
// within 2 % of each other. The first read is kept when the second or else a third agrees
// with it; a third that agrees with the second is taken. When none agree (or the third read
// fails), one further read is taken if it agrees with an earlier one, or if it is no number
// (so that the caller reports its bad format); otherwise there is no result.
template <class Read, class Value> std::optional<QString> RelativeVote(Read&& read, Value&& value) {
    const auto number = [&](const QString& text) -> std::optional<double> {
        try {
            return value(text);
        } catch (const std::exception&) {
            return std::nullopt;
        }
    };
    const auto agree = [](std::optional<double> x, std::optional<double> reference) {
        return x && reference && (*x == *reference || detail::Near(*x, *reference));
    };
    const QString r1 = ReadWithRetry(read);
    const QString r2 = ReadWithRetry(read);
    const auto v1 = number(r1), v2 = number(r2);
    if (agree(v1, v2)) return r1;
    std::optional<double> v3;
    try {
        const QString r3 = ReadWithRetry(read);
        v3 = number(r3);
        if (agree(v1, v3)) return r1;
        if (agree(v3, v2)) return r3;
    } catch (const std::exception&) {
    }
    const QString r4 = ReadWithRetry(read);
    const auto v4 = number(r4);
    if (!v4 || agree(v4, v1) || agree(v4, v2) || agree(v4, v3)) return r4;
    return std::nullopt;
}

} // namespace velk
