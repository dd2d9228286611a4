#include "bench/NoisyPhoto.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdint>
#include <cstdlib>

namespace kestory::bench {
namespace {

constexpr double kGrainSigma = 6.0; // levels

} // namespace

cv::Mat NoisyPhoto(int width, int height, int index) {
    cv::Mat small(height / 16 + 1, width / 16 + 1, CV_8UC3);
    for (int y = 0; y < small.rows; ++y) {
        for (int x = 0; x < small.cols; ++x) {
            const int b = 40 + 150 * x / small.cols;
            const int g = 60 + 120 * y / small.rows;
            const int r = 90 + (60 * (x + y + index * 13)) / (small.cols + small.rows);
            small.at<cv::Vec3b>(y, x) =
                cv::Vec3b(static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r));
        }
    }
    cv::RNG rng(static_cast<uint64_t>(0x4B657374) + static_cast<uint64_t>(index));
    for (int i = 0; i < 12; ++i) {
        const cv::Point centre(rng.uniform(0, small.cols), rng.uniform(0, small.rows));
        const int radius = rng.uniform(small.rows / 20 + 1, small.rows / 4 + 2);
        const int shade = rng.uniform(-50, 50);
        cv::Mat patch = cv::Mat::zeros(small.size(), CV_8UC3);
        cv::circle(patch, centre, radius, cv::Scalar::all(std::abs(shade)), cv::FILLED, cv::LINE_AA);
        cv::GaussianBlur(patch, patch, cv::Size(0, 0), radius / 3.0 + 1);
        if (shade >= 0) {
            cv::add(small, patch, small);
        } else {
            cv::subtract(small, patch, small);
        }
    }
    cv::Mat picture;
    cv::resize(small, picture, cv::Size(width, height), 0, 0, cv::INTER_LINEAR);
    cv::Mat grain(picture.size(), CV_16SC3);
    rng.fill(grain, cv::RNG::NORMAL, cv::Scalar::all(0), cv::Scalar::all(kGrainSigma));
    cv::Mat noisy;
    picture.convertTo(noisy, CV_16SC3);
    noisy += grain;
    noisy.convertTo(picture, CV_8UC3); // saturates at 0 and 255
    return picture;
}

} // namespace kestory::bench
