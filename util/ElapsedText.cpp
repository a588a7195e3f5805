#include "util/ElapsedText.h"

#include "util/Rounding.h"

namespace kelvane {

std::int64_t ElapsedMilliseconds(std::int64_t startCount, std::int64_t endCount, std::int64_t frequency) {
    if (frequency <= 0)
        return 0;
    const double ms =
        static_cast<double>(endCount - startCount) / static_cast<double>(frequency) * 1000.0;
    return static_cast<std::int64_t>(RoundHalfEven(ms));
}

QString ElapsedMsText(std::int64_t startCount, std::int64_t endCount, std::int64_t frequency) {
    return QString::number(ElapsedMilliseconds(startCount, endCount, frequency)) + QStringLiteral(" ms");
}

} // namespace kelvane
