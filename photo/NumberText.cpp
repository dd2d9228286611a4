#include "photo/NumberText.h"

#include <algorithm>
#include <array>
#include <charconv>

std::string FormatFixed(double value, int decimals) {
    decimals = std::clamp(decimals, 0, 17);
    // DBL_MAX has 309 digits before the point; a sign, the point and 17 decimals after it.
    std::array<char, 352> text{};
    const auto [end, error] =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, decimals);
    if (error != std::errc()) {
        return {};
    }
    return std::string(text.data(), end);
}

std::string FormatInteger(int64_t value) {
    std::array<char, 24> text{}; // 19 digits and a sign
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc()) {
        return {};
    }
    return std::string(text.data(), end);
}
