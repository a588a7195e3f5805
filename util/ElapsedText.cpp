#include "util/ElapsedText.h"

#include <cfenv>
#include <cmath>

namespace kelvane {

std::int64_t ElapsedMilliseconds(std::int64_t startCount, std::int64_t endCount, std::int64_t frequency) {
    if (frequency <= 0)
        return 0;
    const double ms =
        static_cast<double>(endCount - startCount) / static_cast<double>(frequency) * 1000.0;
    // std::nearbyint follows the current rounding mode; the default one rounds halves to even.
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(ms);
    std::fesetround(previous);
    return static_cast<std::int64_t>(rounded);
}

QString ElapsedMsText(std::int64_t startCount, std::int64_t endCount, std::int64_t frequency) {
    return QString::number(ElapsedMilliseconds(startCount, endCount, frequency)) + QStringLiteral(" ms");
}

} // namespace kelvane
