#include "metrics/Exposition.h"

#include <charconv>
#include <cmath>

namespace velk {

namespace {

// Help texts escape the backslash and the line feed; label values the double quote too.
void AppendEscaped(QByteArray& out, const QByteArray& text, bool quote) {
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (quote && c == '"')
            out += "\\\"";
        else
            out += c;
    }
}

} // namespace

QByteArray MetricNumber(double value) {
    if (std::isnan(value)) return QByteArrayLiteral("NaN");
    if (std::isinf(value)) return value > 0 ? QByteArrayLiteral("+Inf") : QByteArrayLiteral("-Inf");
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return QByteArray(buffer, static_cast<int>(end - buffer));
}

void TExposition::Family(const QByteArray& name, const char* type, const char* help) {
    name_ = name;
    text_ += "# HELP " + name + ' ';
    AppendEscaped(text_, QByteArray(help), false);
    text_ += "\n# TYPE " + name + ' ' + type + '\n';
}

void TExposition::Sample(TLabels labels, double value) {
    text_ += name_;
    if (labels.size() > 0) {
        char separator = '{';
        for (const auto& [label, labelValue] : labels) {
            text_ += separator;
            text_ += label;
            text_ += "=\"";
            AppendEscaped(text_, labelValue, true);
            text_ += '"';
            separator = ',';
        }
        text_ += '}';
    }
    text_ += ' ' + MetricNumber(value) + '\n';
}

} // namespace velk
