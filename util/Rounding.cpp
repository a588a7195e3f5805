#include "util/Rounding.h"

#include <cfenv>
#include <cmath>

namespace kelvane {

double RoundHalfEven(double value) {
    // std::nearbyint follows the current rounding mode, which the default makes halves-to-even.
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previous);
    return rounded;
}

} // namespace kelvane
