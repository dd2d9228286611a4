#pragma once

#include "collection/Notifier.h"
#include "tests/support/JpegBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace kestory::test {

struct RecordingNotifier : Notifier {
    std::vector<std::string> texts;
    std::vector<Icon> icons;
    void Notify(const std::string& utf8Text, Icon icon) override {
        texts.push_back(utf8Text);
        icons.push_back(icon);
    }
    std::vector<size_t> alreadyLoaded; // one count a told import
    void NotifyAlreadyLoaded(size_t count) override { alreadyLoaded.push_back(count); }
};

// F 8/1, 1/125 s, ISO 400 and no other tags, in tag order as cameras write them.
inline JpegBuilder MinimalPhoto() {
    JpegBuilder b;
    b.exposureTime(1, 125).fNumber(8, 1).isoSpeed(400).patternPicture(16, 12);
    return b;
}

inline std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

inline const std::string kNoExif = "は、Ｅｘｉｆ情報が無いため、読み込めませんでした。";
inline const std::string kLoadFailed = "の読み込みに失敗しました。";

} // namespace kestory::test
