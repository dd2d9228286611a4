#pragma once

#include <opencv2/core/mat.hpp>

namespace kestory::bench {

// A 27 MP sensor's JPEG size, 3:2.
inline constexpr int kCameraWidth = 6336;
inline constexpr int kCameraHeight = 4224;

// Channel-wise gradients under a few soft bright and dark patches, with Gaussian grain of about
// 6 levels (an ISO 400 to 800 file at camera sharpening). The grain makes the entropy-coded data
// as large as a camera file's (about 9.6 MB at quality 95 for 27 MP), so a decode costs what it
// costs on real photos; a flat picture would decode in a fraction of the time and flatter every
// reduced-scale path. BGR, 8 bits; `index` varies the patches.
cv::Mat NoisyPhoto(int width, int height, int index);

} // namespace kestory::bench
