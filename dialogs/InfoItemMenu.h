#pragma once
// The field records through which a settings command describes the field-list dialog it wants
// and receives the edited values back.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include <QString>
#include <QStringList>

class QObject;

namespace velk {

// Field kind codes of TInfoItemMenu::Kind.
enum : std::uint8_t {
    KindSpinInt = 0,
    KindText = 1,
    KindCheck = 2,
    KindFloat = 3,
    KindInt = 4,
    KindFolder = 5,
    KindFiles = 6,
    KindButton = 7,
    KindMemo = 8,
    KindTime = 9,
    KindAngle = 10,
    KindChoice = 11,
};

// One field. Only the value member that the kind uses is meaningful: IntValue (KindSpinInt,
// KindInt, KindChoice), BoolValue (KindCheck), StrValue (KindText, KindFolder), ListValue
// (KindFiles out, KindMemo in and out), FloatValue (KindFloat, KindTime in hours, KindAngle
// in degrees).
struct TInfoItemMenu {
    double MaxValue = 0.0;
    double MinValue = 0.0;
    QString Caption; // an empty caption ends the field list
    bool HasValue = false;
    std::uint8_t Width = 0; // characters; 8 pixels each
    std::uint8_t Digits = 0;
    std::uint8_t Kind = KindSpinInt;
    std::int32_t Increment = 0;
    QString Filter; // "description|pattern|description|pattern..."
    std::function<void(QObject* sender)> OnClick;
    bool MultiSelect = false;
    QStringList Items;
    std::int32_t Tag = 0;
    std::int32_t IntValue = 0;
    bool BoolValue = false;
    QString StrValue; // at most 255 characters are written back
    std::shared_ptr<QStringList> ListValue;
    double FloatValue = 0.0;
};

inline constexpr int InfoItemCount = 25;
// Record 25 is never read: at most 24 fields are shown.
inline constexpr int MaxShownFields = 24;
inline constexpr int MaxStrValueLength = 255;

// Numbered 1 to 25 by the callers' convention; index 0 here is record 1.
using TabInfoItemMenu = std::array<TInfoItemMenu, InfoItemCount>;

} // namespace velk
