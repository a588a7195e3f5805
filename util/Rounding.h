#pragma once

namespace kelvane {

// Rounds to the nearest whole number, halves to even (2.5 gives 2, 3.5 gives 4).
double RoundHalfEven(double value);

} // namespace kelvane
