// Any bytes as a readings file (after the real header line, or as they are) and as an event
// log, read after a day already read. Whatever the file says, the readings kept never run
// backwards, hold only values the monitor writes, and write back to lines that read back to
// what was written; every line is either kept, passed over as outside the span, or counted; the
// decimation of what was read stays within its points and shows only values that were read.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "history/Decimate.h"
#include "history/ReadingsFile.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace velk;

namespace {

bool Written(const TQuantityInfo& q, float v) {
    if (std::isnan(v)) return true;
    return q.Shown ? std::isfinite(v) && q.Shown(v) : v == 0 || v == 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    QByteArray bytes = (data[0] & 1) ? ReadingsHeader() : QByteArray();
    bytes.append(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));

    // The day before, read already: a line before its last time is a clock set back.
    THistoryData d;
    const std::int64_t before = 1'780'000'000;
    d.Times.push_back(before);
    for (auto& column : d.Values)
        column.push_back(std::numeric_limits<float>::quiet_NaN());
    const std::int64_t from = (data[0] & 2) ? before : std::numeric_limits<std::int64_t>::min();
    const std::int64_t to =
        (data[0] & 4) ? before + 86'400 : std::numeric_limits<std::int64_t>::max();
    const int bad = ParseReadings(view, from, to, d);

    const auto lines = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) +
                       (!bytes.isEmpty() && !bytes.endsWith('\n'));
    FUZZ_CHECK(bad >= 0 && d.Size() - 1 + static_cast<std::size_t>(bad) <= lines);
    for (std::size_t q = 0; q < kQuantityCount; ++q)
        FUZZ_CHECK(d.Values[q].size() == d.Size());
    for (std::size_t i = 1; i < d.Size(); ++i) {
        FUZZ_CHECK(d.Times[i] >= d.Times[i - 1] && d.Times[i] >= from && d.Times[i] <= to);
        for (const TQuantityInfo& q : Quantities())
            FUZZ_CHECK(Written(q, d.Values[static_cast<std::size_t>(q.Quantity)][i]));
        // Written again, the line reads back to the same reading.
        const QByteArray line = ReadingsHeader() + ReadingsLine(d, i);
        THistoryData again;
        FUZZ_CHECK(ParseReadings({line.constData(), static_cast<std::size_t>(line.size())},
                                 std::numeric_limits<std::int64_t>::min(),
                                 std::numeric_limits<std::int64_t>::max(), again) == 0);
        FUZZ_CHECK(again.Size() == 1 && again.Times[0] == d.Times[i]);
        // A file may hold more digits than the window writes: the line written is the one
        // read back, whatever the digits.
        FUZZ_CHECK(ReadingsLine(again, 0) == ReadingsLine(d, i));
    }

    std::vector<TEventMark> marks;
    ParseEvents(view, from, to, marks);
    for (const TEventMark& mark : marks)
        FUZZ_CHECK(mark.Time >= from && mark.Time <= to && EventKindOf(mark.Text) == mark.Kind);

    d.GapLimit = GapLimitOf(d.Times);
    std::bitset<kQuantityCount> asked;
    asked.set(qTemp1).set(qPumpStatus);
    const double first = static_cast<double>(d.Times.front());
    const double last = static_cast<double>(d.Times.back());
    const TDecimated out =
        Decimate(d, first, std::max(last, first + 1), 2 + data[0] % 64, asked, 100);
    FUZZ_CHECK(out.Times.size() <= 100);
    for (std::size_t k = 0; k < out.Times.size(); ++k) {
        const double v = out.Values[qTemp1][k];
        FUZZ_CHECK(std::isnan(v) || std::find(d.Values[qTemp1].begin(), d.Values[qTemp1].end(),
                                              static_cast<float>(v)) != d.Values[qTemp1].end());
    }
    return 0;
}
