#pragma once
// Elapsed times between two high-resolution counter readings, as the "N ms" texts that the
// status bar and the tray tip show for the scan and the optimization cycle.

#include <QString>
#include <cstdint>

namespace kelvane {

// (end - start) / frequency * 1000 in double precision, rounded to the nearest integer with
// halves to even. A frequency of 0 or less gives 0.
std::int64_t ElapsedMilliseconds(std::int64_t startCount, std::int64_t endCount, std::int64_t frequency);

// The elapsed milliseconds followed by " ms", e.g. "12 ms".
QString ElapsedMsText(std::int64_t startCount, std::int64_t endCount, std::int64_t frequency);

} // namespace kelvane
