#pragma once
// The small arithmetic language of the number fields: numbers with '.', + - * / and brackets,
// evaluated left to right without operator precedence.

#include <QString>

#include "common/Errors.h"

namespace velk {

// Every fault of an expression, whatever its cause, carries "Invalid input !".
class EFormuleError : public Exception {
public:
    EFormuleError();
};

// At most this many tokens (numbers and operators) are held while an expression is read.
inline constexpr int MaxExpressionTokens = 100;

// Evaluates `text` or raises EFormuleError. Switches the program-wide decimal separator to
// '.' for good: from the first evaluated entry on, every number text of the program uses it.
double EvaluateExpression(const QString& text);

} // namespace velk
