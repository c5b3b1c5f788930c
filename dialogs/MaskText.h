#pragma once
// Time and angle values of the field-list dialog and the masked texts that show them.
// A time is a real number of hours shown as "HHhMMmSSs" (0 to 99h59m59s); an angle a real
// number of degrees shown as "DDD°MM'SS''" with an optional sign in the first degree position
// (-99°59'59'' to 999°59'59''). Both are shown to the nearest second.

#include <optional>

#include <QString>

namespace velk {

// Input masks of the two kinds ('9' a required digit, '0' an optional one, '#' an optional
// digit or sign, '\' a literal; unfilled positions show as '_').
extern const char* const TimeInputMask;
extern const char* const AngleInputMask;

// Values beyond the range that fits the mask are shown at its nearest end.
QString TimeToMaskText(double hours);
QString AngleToMaskText(double degrees);

// Read the text as the masked edit shows it (unfilled positions as '_' or blanks, which count
// as 0). Nothing when the text does not have the mask's shape or minutes or seconds exceed 59.
std::optional<double> MaskTextToTime(const QString& text);
std::optional<double> MaskTextToAngle(const QString& text);

} // namespace velk
