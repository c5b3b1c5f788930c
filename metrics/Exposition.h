#pragma once
// The Prometheus text exposition format: families with their help and type lines, samples
// with labels, numbers as Prometheus reads them back exactly.

#include <initializer_list>
#include <utility>

#include <QByteArray>

namespace velk {

class TExposition {
public:
    using TLabels = std::initializer_list<std::pair<const char*, QByteArray>>;

    // Starts a family: its "# HELP" and "# TYPE" lines. `type` is "gauge" or "counter".
    void Family(const QByteArray& name, const char* type, const char* help);
    // One sample of the family begun last.
    void Sample(TLabels labels, double value);
    void Sample(double value) { Sample({}, value); }

    const QByteArray& Text() const { return text_; }

private:
    QByteArray text_;
    QByteArray name_;
};

// The shortest text that reads back as `value`; NaN and infinities as Prometheus writes them.
QByteArray MetricNumber(double value);

} // namespace velk
