#include "photo/NumberText.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

// The same digits as the "%.1f" and "%.2f" texts and files were always written with (this test
// program stays in the "C" locale): exposure values of real photos, the nearest doubles of ties
// (x.x5, x.xx5) where the last digit is decided, and the signed zeros ISO 100 gives.
TEST(FormatFixed, SameDigitsAsPrintfInTheCLocale) {
    std::mt19937_64 random(20240601);
    std::uniform_real_distribution<double> exposure(-40.0, 40.0);
    std::uniform_int_distribution<int> steps(-4000, 4000);
    std::vector<double> values = {-0.0, -0.04, 0.25, 2.675, 9.96, 1e20, -DBL_MAX, INFINITY, -INFINITY};
    for (int i = 0; i < 100000; ++i)
        values.push_back(i % 2 ? exposure(random) : (steps(random) + 0.5) / (i % 4 ? 10.0 : 100.0));
    char expected[400];
    for (const double value : values) {
        for (const int decimals : {1, 2}) {
            std::snprintf(expected, sizeof expected, "%.*f", decimals, value);
            ASSERT_EQ(FormatFixed(value, decimals), expected) << value;
        }
    }
    EXPECT_EQ(FormatInteger(INT64_MIN), "-9223372036854775808");
}

} // namespace
