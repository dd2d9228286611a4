#include "chart/ChartGeometry.h"
#include "tests/chart/ChartFixtures.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include <limits>
#include <utility>

namespace {

TEST(ScaleToView, TruncatesTowardZeroEdgeByEdge) {
    struct Case {
        int32_t v;
        int32_t magnify;
        int32_t expected;
    };
    const Case cases[] = {
        {750, 100, 750},
        {750, 30, 225},
        {520, 30, 156},
        {750, 400, 3000},
        {520, 400, 2080},
        {25, 50, 12},
        {-3, 50, -1},
        {470, 150, 705},
        {0, 0, 0},
        // No magnification of the panel gets near this; it must not wrap around.
        {750, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ScaleToView(c.v, c.magnify), c.expected) << c.v << " at " << c.magnify;
    }
    // A scaled rectangle's width is the difference of its scaled edges, not the scaled width.
    const Rect r = ScaleToView(Rect{31, 31, 62, 62}, 50);
    EXPECT_EQ(r, (Rect{15, 15, 31, 31}));
    EXPECT_EQ(r.width(), 16);
}

TEST(PositionOnChart, ShutterColumnIsLinearInSeconds) {
    struct Case {
        int32_t num;
        int32_t den;
        int32_t x;
    };
    const Case cases[] = {
        {1, 125, 470}, {10, 1250, 470}, {1, 100, 463}, {1, 45, 430},   {3, 10, 313},
        {10, 1, 161},  {120, 1, 80},    {60, 1, 80},   {1, 8000, 650}, {1, 16000, 650},
        {1, 15, 380},  {1, 30, 410},    {1, 60, 440},  {1, 1, 260},    {25, 10, 222},
    };
    for (const Case& c : cases) {
        auto photo = MakeChartPhoto(c.num, c.den, 8, 1);
        EXPECT_EQ(PositionOnChart(*photo, 100).x, c.x) << c.num << "/" << c.den;
    }
}

TEST(PositionOnChart, ApertureRowIsLinearInTheFNumber) {
    struct Case {
        int32_t num;
        int32_t den;
        int32_t y;
    };
    const Case cases[] = {
        {35, 10, 187}, {63, 10, 238}, {9, 1, 270},   {95, 100, 80}, {90, 1, 440},
        {56, 10, 230}, {1, 1, 80},    {14, 10, 110}, {64, 1, 440},  {45, 1, 410},
    };
    for (const Case& c : cases) {
        auto photo = MakeChartPhoto(1, 125, c.num, c.den);
        EXPECT_EQ(PositionOnChart(*photo, 100).y, c.y) << c.num << "/" << c.den;
    }
}

// Records never carry these (the loader refuses them), but the mapping must stay defined for them:
// a zero denominator is an infinite value, 0/0 matches no scale value.
TEST(PositionOnChart, DegenerateFractionsLandOnTheEdges) {
    EXPECT_EQ(PositionOnChart(*MakeChartPhoto(1, 0, 1, 0), 100), (ChartPoint{80, 440}));
    EXPECT_EQ(PositionOnChart(*MakeChartPhoto(0, 0, 0, 0), 100), (ChartPoint{650, 440}));
    EXPECT_EQ(PositionOnChart(*MakeChartPhoto(-1, 125, -28, 10), 100), (ChartPoint{650, 80}));
}

TEST(PositionOnChart, IsScaledAfterInterpolation) {
    auto photo = MakeChartPhoto(1, 125, 56, 10);
    EXPECT_EQ(PositionOnChart(*photo, 150), (ChartPoint{705, 345}));
    EXPECT_EQ(PositionOnChart(*photo, 30), (ChartPoint{141, 69}));
}

TEST(LayoutPhotos, FitsEachThumbnailIntoItsCell) {
    struct Case {
        const char* name;
        int32_t sizePict;
        int32_t magnify;
        int thumbWidth;
        int thumbHeight;
        Rect drawRect;
    };
    // 1/125 s at F5.6 has its centre at (470, 230) in chart units.
    const Case cases[] = {
        {"landscape in cell (450, 210, 490, 250)", 40, 100, 237, 158, {450, 217, 490, 243}},
        {"portrait", 40, 100, 158, 237, {457, 210, 483, 250}},
        {"square fills the cell", 40, 100, 237, 237, {450, 210, 490, 250}},
        {"odd size 41 gives a 40-pixel cell", 41, 100, 237, 237, {450, 210, 490, 250}},
        {"magnify 150, cell side 60", 40, 150, 237, 158, {675, 325, 735, 365}},
        {"magnify 50", 40, 50, 237, 158, {225, 108, 245, 121}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChartTestDoc t;
        t.doc.settings.sizePict = c.sizePict;
        t.doc.settings.magnify = c.magnify;
        PhotoItem& photo = t.Add(MakeChartPhoto(1, 125, 56, 10, c.thumbWidth, c.thumbHeight));
        LayoutPhotos(t.doc);
        EXPECT_EQ(photo.drawRect, c.drawRect);
        // The picture is made when first drawn, not by the layout.
        EXPECT_TRUE(photo.displayImage.Empty());
        ASSERT_TRUE(photo.EnsureDisplayImage());
        EXPECT_EQ(photo.displayImage.image.cols, c.drawRect.width());
        EXPECT_EQ(photo.displayImage.image.rows, c.drawRect.height());
        // The thumbnail itself is kept as loaded.
        EXPECT_EQ(photo.thumbnail.image.cols, c.thumbWidth);
    }
}

TEST(LayoutPhotos, EqualExposuresShareACellAndIsoIndexMovesNothing) {
    ChartTestDoc t;
    PhotoItem& a = t.Add(MakeChartPhoto(1, 125, 56, 10));
    PhotoItem& b = t.Add(MakeChartPhoto(10, 1250, 56, 10));
    PhotoItem& c = t.Add(MakeChartPhoto(1, 45, 9, 1));
    t.doc.settings.isoIndex = 0;
    LayoutPhotos(t.doc);
    EXPECT_EQ(a.drawRect, b.drawRect);
    const Rect before = c.drawRect;
    EXPECT_EQ(before, (Rect{410, 257, 450, 283}));
    t.doc.settings.isoIndex = 10;
    LayoutPhotos(t.doc);
    EXPECT_EQ(c.drawRect, before);
}

// A large document's display pictures are made in runs on several threads: every photo must end up
// exactly as fitting it alone into its cell gives, whatever its thumbnail (colour, grey, other
// sizes, 16 bits).
TEST(LayoutPhotos, ManyPhotosEndAsEachFittedAlone) {
    static const int kSpeeds[] = {1, 4, 30, 125, 500, 2000, 8000};
    static const int kApertures[] = {10, 28, 56, 80, 160, 450};
    for (const int32_t magnify : {100, 400}) {
        ChartTestDoc t;
        t.doc.settings.magnify = magnify;
        t.doc.settings.sizePict = 41;
        cv::RNG random(magnify);
        for (int i = 0; i < 300; ++i) {
            const int width = i % 3 == 0 ? 158 : 237 - i % 5;
            const int height = i % 3 == 0 ? 237 : 158 + i % 7;
            auto photo = MakeChartPhoto(1, kSpeeds[i % 7], kApertures[i % 6], 10, width, height);
            random.fill(photo->thumbnail.image, cv::RNG::UNIFORM, 0, 256);
            if (i % 11 == 0) {
                cv::extractChannel(photo->thumbnail.image, photo->thumbnail.image, 1);
            } else if (i % 13 == 0) {
                photo->thumbnail.image.convertTo(photo->thumbnail.image, CV_16UC3, 257.0);
            }
            t.Add(std::move(photo));
        }
        LayoutPhotos(t.doc);
        EXPECT_EQ(MakeDisplayPictures(AllPhotos(t.doc)), 0u);
        const int32_t half = ScaleToView(41, magnify) / 2;
        for (const auto& photo : t.doc.Photos()) {
            PhotoItem alone;
            alone.thumbnail = photo->thumbnail.Clone();
            const ChartPoint centre = PositionOnChart(*photo, magnify);
            alone.FitDisplayImage({centre.x - half, centre.y - half, centre.x + half, centre.y + half});
            ASSERT_EQ(photo->drawRect, alone.drawRect) << magnify;
            ASSERT_EQ(photo->displayImage.image.type(), alone.displayImage.image.type());
            ASSERT_EQ(cv::norm(photo->displayImage.image, alone.displayImage.image, cv::NORM_INF), 0);
        }
    }
}

// Out-of-range settings from a hand-edited file: the layout must not fail, whatever it shows.
TEST(LayoutPhotos, SurvivesCellsOfNoSize) {
    for (const auto& [sizePict, magnify] : {std::pair{1, 100}, {40, 0}, {40, -50}, {0, 100}}) {
        ChartTestDoc t;
        t.doc.settings.sizePict = sizePict;
        t.doc.settings.magnify = magnify;
        PhotoItem& photo = t.Add(MakeChartPhoto(1, 125, 56, 10));
        LayoutPhotos(t.doc);
        EXPECT_LE(photo.drawRect.width(), 1) << sizePict << " at " << magnify;
    }
}

TEST(ScrollSizes, AreTheMagnifiedChartWithTenthSteps) {
    struct Case {
        int32_t magnify;
        ChartScrollSizes expected;
    };
    const Case cases[] = {
        {30, {{225, 156}, {22, 15}, {2, 1}}},
        {100, {{750, 520}, {75, 52}, {7, 5}}},
        {400, {{3000, 2080}, {300, 208}, {30, 20}}},
        {-10, {{0, 0}, {0, 0}, {0, 0}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ScrollSizesFor(c.magnify), c.expected) << c.magnify;
    }
}

} // namespace

namespace {

// A landscape photo at (100, 100)-(140, 120): its mark is the disc of diameter 40 centred on
// (120, 110), reaching 10 pixels above and below the drawRect and missing its corners.
TEST(RubberBand, TouchesAPictureByItsDrawRectAndAMarkByItsDisc) {
    EXPECT_EQ(BandBetween({30, 25}, {10, 20}), (Rect{10, 20, 31, 26}));  // both end pixels, either way
    PhotoItem photo;
    photo.drawRect = Rect{100, 100, 140, 120};
    const struct {
        Rect band;
        bool picture;
        bool mark;
    } cases[] = {
        {{90, 105, 101, 106}, true, false},    // the left column; the disc is narrower there
        {{90, 105, 100, 106}, false, false},   // ends just before it
        {{100, 110, 101, 111}, true, true},    // the disc's leftmost pixel
        {{99, 110, 100, 111}, false, false},
        {{139, 119, 150, 130}, true, false},   // the bottom-right pixel, outside the disc
        {{140, 105, 150, 106}, false, false},  // right and bottom edges are outside
        {{120, 90, 121, 91}, false, true},     // the disc's top, above the picture
        {{120, 89, 121, 90}, false, false},
        {{80, 80, 102, 102}, true, false},     // over the top-left corner
        {{80, 80, 103, 103}, true, true},      // ... one pixel further
        {{0, 0, 1000, 1000}, true, true},
        {{110, 105, 110, 200}, false, false},  // no width
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BandTouchesPhoto(c.band, photo, DisplaySettings::kViewThumbnails), c.picture)
            << testing::PrintToString(c.band);
        EXPECT_EQ(BandTouchesPhoto(c.band, photo, DisplaySettings::kViewMarks), c.mark) << testing::PrintToString(c.band);
    }
}

} // namespace
