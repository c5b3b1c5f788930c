// An entry typed into a number field, as any UTF-8 text, through the expression evaluator:
// it gives a finite number or "Invalid input !", and nothing else escapes.

#include <cmath>
#include <cstdint>

#include "dialogs/Expression.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));
    try {
        FUZZ_CHECK(std::isfinite(velk::EvaluateExpression(text)));
    } catch (const velk::EFormuleError& error) {
        FUZZ_CHECK(error.Message() == QLatin1String("Invalid input !"));
    }
    return 0;
}
