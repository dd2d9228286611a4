#include "photo/PictureCache.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Pictures of 100 bytes each. Steps: "+k" keeps a picture under k, "?k" asks for k (made when not
// kept; "gone" cannot be made), "=n" sets the bound to n bytes.
struct CacheCase {
    const char* name;
    size_t bound;
    std::vector<std::string> steps;
    std::string kept; // the keys kept at the end
    int made;
};

TEST(PictureCache, KeepsTheMostRecentlyUsedWithinItsBound) {
    const CacheCase cases[] = {
        {"within the bound all stay", 300, {"+a", "+b", "+c", "?a", "?b", "?c"}, "abc", 0},
        {"the least recently used goes first", 200, {"+a", "+b", "?a", "+c"}, "ac", 0},
        {"a dropped picture is made again", 100, {"+a", "+b", "?a"}, "a", 1},
        {"a failure is not kept", 300, {"?gone", "?gone"}, "", 2},
        {"a lower bound drops down to it", 300, {"+a", "+b", "+c", "?a", "=200"}, "ac", 0},
        {"a picture above the bound is handed out, not kept", 50, {"?a"}, "", 1},
        {"a key kept again is counted once", 200, {"+a", "+a", "+b"}, "ab", 0},
    };
    for (const CacheCase& c : cases) {
        PictureCache cache(c.bound);
        int made = 0;
        const PictureCache::Maker make = [&](ThumbnailStore*, PhotoImage& holder) {
            ++made;
            holder.image = cv::Mat(10, 10, CV_8UC1, cv::Scalar(7));
            return true;
        };
        for (const std::string& step : c.steps) {
            const std::string key = step.substr(1);
            if (step[0] == '+') {
                cache.Put(key, PhotoImage{1, cv::Mat(10, 10, CV_8UC1, cv::Scalar(1))});
            } else if (step[0] == '=') {
                cache.SetBound(std::stoul(key));
            } else if (key == "gone") {
                EXPECT_EQ(cache.Get(key, [&](ThumbnailStore*, PhotoImage&) { return ++made < 0; }), nullptr);
            } else {
                const PictureCache::Picture picture = cache.Get(key, make);
                ASSERT_NE(picture, nullptr) << c.name;
                EXPECT_EQ(picture->image.total(), 100U) << c.name;
            }
        }
        EXPECT_EQ(made, c.made) << c.name;
        EXPECT_EQ(cache.Count(), c.kept.size()) << c.name;
        EXPECT_EQ(cache.Bytes(), 100 * c.kept.size()) << c.name;
        for (const char key : c.kept) {
            EXPECT_NE(cache.Get(std::string(1, key), [](ThumbnailStore*, PhotoImage&) { return false; }), nullptr)
                << c.name << ": " << key;
        }
    }
}

} // namespace
