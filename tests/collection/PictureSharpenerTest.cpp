#include "collection/PictureSharpener.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <vector>

namespace {

// One worker held on a first picture while more are asked for: the order they are made in once it
// lets go, which are made once, and what a failed make leaves.
TEST(PictureSharpener, LastWantedFirstEachOnceAndFailuresLeaveTheCacheAlone) {
    PictureCache pictures;
    PictureSharpener sharpener(pictures, 1);
    std::mutex mutex;
    std::vector<std::string> made;
    std::vector<std::string> told;
    std::promise<void> started;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> allTold;
    const auto maker = [&](const std::string& key, bool works) {
        return [&, key, works](ThumbnailStore*, PhotoImage& holder) {
            const std::lock_guard lock(mutex);
            made.push_back(key);
            holder.image = cv::Mat(2, 3, CV_8UC3, cv::Scalar::all(made.size()));
            return works;
        };
    };
    sharpener.SetDone([&](const std::string& key) {
        const std::lock_guard lock(mutex);
        told.push_back(key);
        if (key == "b") {
            allTold.set_value();
        }
    });
    sharpener.Want("first", [&](ThumbnailStore*, PhotoImage& holder) {
        started.set_value();
        released.wait();
        holder.image = cv::Mat(2, 3, CV_8UC3);
        return true;
    });
    started.get_future().wait();
    sharpener.Want("a", maker("a", true));
    sharpener.Want("b", maker("b", true));
    sharpener.Want("broken", maker("broken", false));
    sharpener.Want("a", maker("a", true));  // asked for again: made next, and once
    EXPECT_EQ(sharpener.Pending(), 4U);      // "first" is under way
    release.set_value();
    ASSERT_EQ(allTold.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
    const std::lock_guard lock(mutex);
    EXPECT_EQ(made, (std::vector<std::string>{"a", "broken", "b"}));
    EXPECT_EQ(told, (std::vector<std::string>{"first", "a", "b"}));
    EXPECT_EQ(pictures.Count(), 3U);  // first, a, b: not the broken one
    EXPECT_EQ(sharpener.Pending(), 0U);
}

} // namespace
