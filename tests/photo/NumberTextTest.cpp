#include "photo/NumberText.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

namespace {

TEST(FormatFixed, RoundsAsPrintfDoes) {
    const struct {
        double value;
        int decimals;
        const char* text;
    } cases[] = {
        {11.0, 1, "11.0"},
        {-2.0, 1, "-2.0"},
        {0.25, 1, "0.2"}, // exact ties go to the even digit
        {0.75, 1, "0.8"},
        {0.125, 2, "0.12"},
        {0.35, 1, "0.3"}, // the nearest double lies below the tie
        {2.675, 2, "2.67"},
        {0.05, 1, "0.1"}, // the nearest double lies above the tie
        {9.96, 1, "10.0"},
        {-0.0, 1, "-0.0"}, // the sign of zero stays, as at ISO 100
        {-0.04, 1, "-0.0"},
        {0.0, 1, "0.0"},
        {1e20, 1, "100000000000000000000.0"},
        {INFINITY, 1, "inf"},
        {-INFINITY, 1, "-inf"},
        {NAN, 1, "nan"},
        {3.7, 0, "4"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatFixed(c.value, c.decimals), c.text) << c.value;
    }
    EXPECT_EQ(FormatFixed(-DBL_MAX, 17).size(), 1 + 309 + 1 + 17u);
    EXPECT_EQ(FormatInteger(INT64_MIN), "-9223372036854775808");
}

// The exposure values of real photos span about -10 to 30; any value must give the same digits as
// the "%.1f" and "%.2f" the texts and files were always written with (the test program stays in the "C"
// locale).
TEST(FormatFixed, SameDigitsAsPrintfInTheCLocale) {
    std::mt19937_64 random(20240601);
    std::uniform_real_distribution<double> exposure(-40.0, 40.0);
    std::uniform_int_distribution<int> steps(-4000, 4000);
    char expected[64];
    for (int i = 0; i < 200000; ++i) {
        const int decimals = 1 + i % 2;
        // Every other pair at the nearest double of a tie (x.x5, x.xx5), where the last digit is decided.
        const double value =
            i % 4 < 2 ? exposure(random) : (steps(random) + 0.5) / (decimals == 1 ? 10.0 : 100.0);
        std::snprintf(expected, sizeof expected, "%.*f", decimals, value);
        ASSERT_EQ(FormatFixed(value, decimals), expected) << value;
    }
}

} // namespace
