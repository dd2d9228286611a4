#pragma once

#include "collection/Notifier.h"
#include "tests/support/JpegBuilder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace kestory::test {

// A fresh folder under the system's temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestory-collection-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "cannot create a temporary folder";
        }
        root = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string path() const { return root; }
    std::string operator/(const std::string& name) const { return root + "/" + name; }

private:
    std::string root;
};

struct RecordingNotifier : Notifier {
    struct Message {
        std::string text;
        Icon icon;
    };
    std::vector<Message> messages;
    void Notify(const std::string& utf8Text, Icon icon) override { messages.push_back({utf8Text, icon}); }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Message& m : messages)
            texts.push_back(m.text);
        return texts;
    }
};

// F 8/1, 1/125 s, ISO 400 and no other tags: the exposure the examples use. Entries go in tag
// order, as cameras write them (the reader stops at a directory that goes backwards).
inline JpegBuilder MinimalPhoto() {
    JpegBuilder b;
    b.exposureTime(1, 125).fNumber(8, 1).isoSpeed(400).patternPicture(16, 12);
    return b;
}

inline std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Bytes written as hex digits, for expected code page 932 texts.
inline std::string FromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return out;
}

} // namespace kestory::test
