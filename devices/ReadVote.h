#pragma once
// The drivers' defences against corrupted replies: one retry per read, and votes over two or
// three reads. `read` is a callable returning one reply text (or raising); `value` turns a
// text into a number (or raises). Kept apart from the transport so they can be tested alone.

#include <exception>

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

// Two reads that agree character for character win; otherwise a third read decides for the
// first, and failing that the second is taken.
template <class Read> QString ExactVote(Read&& read) {
    const QString r1 = ReadWithRetry(read);
    const QString r2 = ReadWithRetry(read);
    if (r2 == r1) return r1;
    const QString r3 = ReadWithRetry(read);
    return r3 == r1 ? r1 : r2;
}

namespace detail {
// Strictly within 2 % of the reference (never true for zero: the test is strict).
inline bool Near(double x, double reference) {
    return reference * 0.98 < x && x < reference * 1.02;
}
} // namespace detail

// For measured voltages: the first read is kept when the second (or else a third) lies within
// 2 % of it; otherwise the third is taken. When the vote itself fails (a text that is no number,
// a failed third read) one further read is made and taken as it is.
template <class Read, class Value> QString RelativeVote(Read&& read, Value&& value) {
    const QString r1 = ReadWithRetry(read);
    const QString r2 = ReadWithRetry(read);
    try {
        if (detail::Near(value(r1), value(r2))) return r1;
        const QString r3 = ReadWithRetry(read);
        return detail::Near(value(r1), value(r3)) ? r1 : r3;
    } catch (const std::exception&) {
        return ReadWithRetry(read);
    }
}

} // namespace velk
