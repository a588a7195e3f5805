#include <gtest/gtest.h>

#include "util/ElapsedText.h"

using namespace kelvane;

struct ElapsedCase {
    std::int64_t start, end, frequency;
    std::int64_t ms;
    const char* text;
};

class ElapsedTextTest : public testing::TestWithParam<ElapsedCase> {};

TEST_P(ElapsedTextTest, RoundsHalvesToEven) {
    const ElapsedCase& c = GetParam();
    EXPECT_EQ(ElapsedMilliseconds(c.start, c.end, c.frequency), c.ms);
    EXPECT_EQ(ElapsedMsText(c.start, c.end, c.frequency), QString::fromLatin1(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Counts, ElapsedTextTest,
    testing::Values(ElapsedCase{0, 0, 1000000000, 0, "0 ms"},
                    ElapsedCase{0, 12000000, 1000000000, 12, "12 ms"},
                    ElapsedCase{0, 500000, 1000000000, 0, "0 ms"},    // 0.5 -> 0
                    ElapsedCase{0, 1500000, 1000000000, 2, "2 ms"},   // 1.5 -> 2
                    ElapsedCase{0, 2500000, 1000000000, 2, "2 ms"},   // 2.5 -> 2
                    ElapsedCase{0, 2500001, 1000000000, 3, "3 ms"},
                    ElapsedCase{100, 35100, 10000000, 4, "4 ms"},     // 3.5 -> 4 at a 10 MHz counter
                    ElapsedCase{0, 1000, 0, 0, "0 ms"},               // no frequency
                    ElapsedCase{5000000, 0, 1000000000, -5, "-5 ms"}));
