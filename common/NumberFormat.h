#pragma once
// The one number-to-text formatter and text-to-number parser of the program, with the
// program-wide decimal separator they share.

#include <optional>
#include <string_view>

#include <QString>

namespace velk {

// The decimal separator every number text uses. Starts as the user's numeric locale's;
// the numeric edit field switches it to '.' for good.
QChar DecimalSeparator();
void SetDecimalSeparator(QChar separator);

// The separator of the user's numeric locale, whatever the program-wide one became.
QChar LocaleDecimalSeparator();

// General format with `digits` significant digits: fixed notation while the rounded value
// has at most `digits` integer digits and is at least 0.0001 in magnitude, otherwise
// "d.dddE-x" (no '+', no leading exponent zeros). Trailing zeros are dropped.
// `separator` defaults to DecimalSeparator().
QString FormatGeneral(double value, int digits);
QString FormatGeneral(double value, int digits, QChar separator);

// Reads a real written with `separator` (default: DecimalSeparator()): optional blanks,
// sign, digits with at most one separator, optional exponent "E[+|-]digits", blanks.
// Anything else, or an out-of-range value, gives no value.
std::optional<double> ParseReal(const QString& text);
std::optional<double> ParseReal(const QString& text, QChar separator);

// Reads a 32-bit decimal integer with an optional sign (surrounding blanks allowed).
std::optional<int> ParseInteger(const QString& text);

} // namespace velk
