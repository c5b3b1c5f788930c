#include "dialogs/Expression.h"

#include <array>
#include <cmath>
#include <vector>

#include "common/NumberFormat.h"

namespace velk {

EFormuleError::EFormuleError() : Exception(std::string("Invalid input !")) {}

namespace {

struct Token {
    bool isNumber = false;
    double number = 0.0;
    QChar op;
};

// Tokens are pushed while the text is read from its end, so the top of the stack is always the
// leftmost token read so far, and reducing the top three carries out the leftmost operation.
class TokenStack {
public:
    int Size() const { return count_; }

    void Push(const Token& token) {
        if (count_ >= MaxExpressionTokens) throw EFormuleError();
        tokens_[static_cast<std::size_t>(count_++)] = token;
    }

    Token Pop() { return tokens_[static_cast<std::size_t>(--count_)]; }
    const Token& Top() const { return tokens_[static_cast<std::size_t>(count_ - 1)]; }

    void Reduce() {
        if (count_ >= 3) {
            const Token a = Pop();
            const Token op = Pop();
            const Token b = Pop();
            if (!a.isNumber || op.isNumber || !b.isNumber) throw EFormuleError();
            Push({true, Apply(a.number, op.op, b.number), {}});
        } else if (count_ == 2) {
            const Token sign = Pop();
            const Token value = Pop();
            if (sign.isNumber || !value.isNumber ||
                (sign.op != QLatin1Char('+') && sign.op != QLatin1Char('-')))
                throw EFormuleError();
            Push({true, sign.op == QLatin1Char('-') ? -value.number : value.number, {}});
        } else {
            throw EFormuleError();
        }
    }

private:
    static double Apply(double a, QChar op, double b) {
        double r = 0.0;
        switch (op.unicode()) {
        case '+':
            r = a + b;
            break;
        case '-':
            r = a - b;
            break;
        case '*':
            r = a * b;
            break;
        case '/':
            if (b == 0.0) throw EFormuleError();
            r = a / b;
            break;
        default:
            throw EFormuleError();
        }
        if (!std::isfinite(r)) throw EFormuleError();
        return r;
    }

    std::array<Token, MaxExpressionTokens> tokens_{};
    int count_ = 0;
};

bool IsNumberChar(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.');
}

} // namespace

double EvaluateExpression(const QString& text) {
    SetDecimalSeparator(QLatin1Char('.'));
    TokenStack stack;
    // Stack size when each still open ")" was read: a bracketed group holding several
    // operations is then reduced to its one value, so 2*(1+2+3) gives 12.
    std::vector<int> groupStarts;
    qsizetype p = text.size();
    while (p > 0) {
        const QChar c = text.at(p - 1);
        if (c == QLatin1Char('(')) {
            stack.Reduce();
            if (!groupStarts.empty()) {
                const int start = groupStarts.back();
                groupStarts.pop_back();
                while (stack.Size() - start > 1)
                    stack.Reduce();
            }
            --p;
        } else if (c == QLatin1Char(')')) {
            groupStarts.push_back(stack.Size());
            --p;
        } else if (c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('*') ||
                   c == QLatin1Char('/')) {
            stack.Push({false, 0.0, c});
            --p;
        } else {
            qsizetype first = p;
            while (first > 0 && IsNumberChar(text.at(first - 1)))
                --first;
            if (first == p) throw EFormuleError();
            const auto value = ParseReal(text.mid(first, p - first), QLatin1Char('.'));
            if (!value) throw EFormuleError();
            stack.Push({true, *value, {}});
            p = first;
        }
    }
    while (stack.Size() >= 2)
        stack.Reduce();
    if (stack.Size() == 0 || !stack.Top().isNumber) throw EFormuleError();
    return stack.Top().number;
}

} // namespace velk
