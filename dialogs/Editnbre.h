#pragma once
// NbreEdit: an edit that checks its text on every change (integer or real within bounds) and
// puts back the last accepted text when a change is refused.

#include <cstdint>
#include <functional>
#include <optional>

#include <QLineEdit>
#include <QString>

namespace velk {

// Reads a signed 32-bit integer as the integer check of NbreEdit accepts it: leading blanks,
// an optional sign, then decimal digits, or hexadecimal digits after "$", "x" or "0x".
std::optional<int> ParseIntegerOrHex(const QString& text);

// The message a change to `text` brings, or nothing when the change is accepted.
// typeData: 0 no check, 1 integer, 2 real with '.'.
std::optional<QString> CheckNbreText(const QString& text, std::uint8_t typeData, double valMin,
                                     double valMax);

class NbreEdit : public QLineEdit {
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(QObject* sender)>;

    explicit NbreEdit(QWidget* parent = nullptr);

    double ValMax() const { return valMax_; }
    void SetValMax(double value) { valMax_ = value; }
    double ValMin() const { return valMin_; }
    void SetValMin(double value) { valMin_ = value; }
    std::uint8_t TypeData() const { return typeData_; }
    void SetTypeData(std::uint8_t value) { typeData_ = value; }

    QString Text() const { return text(); }
    // The program's own text is taken as it is and becomes the last accepted text.
    void SetText(const QString& value);

    // The user's change handler, called after the check with this control as sender.
    void SetOnChange(TNotifyEvent handler) { onChange_ = std::move(handler); }

private:
    void TextChanged(const QString& text);

    double valMax_ = 0.0;
    double valMin_ = 0.0;
    std::uint8_t typeData_ = 0;
    QString lastAccepted_;
    bool settingText_ = false;
    TNotifyEvent onChange_;
};

} // namespace velk
