#include "collection/CLumivaneDoc.h"
#include "collection/CsvExport.h"
#include "collection/PhotoFilter.h"
#include "tests/collection/CollectionTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestory::test;

namespace {

// Six photos: two cameras and one without a model, lenses, focal lengths, ISO speeds, dates.
FilterKeys Keys(std::string camera, std::string lens, int32_t focal, int32_t iso, int32_t date) {
    FilterKeys k;
    k.list = {std::move(camera), std::move(lens), focal < 0 ? "" : std::to_string(focal)};
    k.focalMm = focal;
    k.iso = iso;
    k.date = date;
    return k;
}
const std::vector<FilterKeys> kSix = {
    Keys("A", "L1", 50, 100, 20230105),   // 0
    Keys("A", "L2", 200, 800, 20230610),  // 1
    Keys("B", "L1", 50, 3200, 0),         // 2 no date
    Keys("B", "", 9, 400, 20221231),      // 3 no lens
    Keys("", "L2", -1, 0, 20240101),      // 4 no model, focal length or ISO
    Keys("A", "L1", 24, 6400, 20230105),  // 5
};

using Counts = std::vector<FilterValueCount>;

// Which photos a filter shows, and what each list then counts: every entry counts the photos the
// other criteria let through, so a list's own choice never changes its own numbers.
TEST(PhotoFilter, CriteriaCombineAndListsCountUnderTheOthers) {
    const auto with = [](auto change) {
        PhotoFilter f;
        change(f);
        return f;
    };
    const struct {
        const char* name;
        PhotoFilter filter;
        std::string shown;  // indices of kSix
        Counts cameras, lenses, focals;
        size_t undated;
    } cases[] = {
        {"none", {}, "012345", {{"A", 3}, {"B", 2}, {"", 1}}, {{"L1", 3}, {"L2", 2}, {"", 1}},
         {{"9", 1}, {"24", 1}, {"50", 2}, {"200", 1}, {"", 1}}, 1},
        {"camera A", with([](PhotoFilter& f) { f.chosen[kFilterCamera] = {"A"}; }), "015",
         {{"A", 3}, {"B", 2}, {"", 1}}, {{"L1", 2}, {"L2", 1}}, {{"24", 1}, {"50", 1}, {"200", 1}}, 0},
        {"camera A or none, lens L2", with([](PhotoFilter& f) {
             f.chosen[kFilterCamera] = {"A", ""};
             f.chosen[kFilterLens] = {"L2"};
         }),
         "14", {{"A", 1}, {"", 1}}, {{"L1", 2}, {"L2", 2}}, {{"200", 1}, {"", 1}}, 0},
        {"a chosen value no photo has is listed", with([](PhotoFilter& f) { f.chosen[kFilterLens] = {"L9"}; }), "",
         {}, {{"L1", 3}, {"L2", 2}, {"L9", 0}, {"", 1}}, {}, 0},
        {"ISO 400 to 3200 leaves out the photo without ISO",
         with([](PhotoFilter& f) { f.iso = {400, 3200}; }), "123", {{"A", 1}, {"B", 2}},
         {{"L1", 1}, {"L2", 1}, {"", 1}}, {{"9", 1}, {"50", 1}, {"200", 1}}, 1},
        {"ISO from 3200, open above", with([](PhotoFilter& f) { f.iso.min = 3200; }), "25",
         {{"A", 1}, {"B", 1}}, {{"L1", 2}}, {{"24", 1}, {"50", 1}}, 1},
        {"2023, undated still shown", with([](PhotoFilter& f) { f.dates = {20230101, 20231231}; }), "0125",
         {{"A", 3}, {"B", 1}}, {{"L1", 3}, {"L2", 1}}, {{"24", 1}, {"50", 2}, {"200", 1}}, 1},
        {"2023 without undated, ends inclusive", with([](PhotoFilter& f) {
             f.dates = {20230105, 20230610};
             f.undated = false;
         }),
         "015", {{"A", 3}}, {{"L1", 2}, {"L2", 1}}, {{"24", 1}, {"50", 1}, {"200", 1}}, 1},
        {"only undated", with([](PhotoFilter& f) { f.dates = {1, 1}; }), "2", {{"B", 1}}, {{"L1", 1}},
         {{"50", 1}}, 1},
        {"focal range 24-50, AND camera B", with([](PhotoFilter& f) {
             f.focalMm = {24, 50};
             f.chosen[kFilterCamera] = {"B"};
         }),
         "2", {{"A", 2}, {"B", 1}}, {{"L1", 1}}, {{"9", 1}, {"50", 1}}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string shown;
        for (size_t i = 0; i < kSix.size(); ++i) {
            shown += c.filter.Passes(kSix[i]) ? std::to_string(i) : "";
        }
        EXPECT_EQ(shown, c.shown);
        const FilterCounts counts = CountFilterValues(kSix, c.filter);
        EXPECT_EQ(counts.shown, c.shown.size());
        EXPECT_EQ(counts.total, 6u);
        // Entries that count nothing are still listed (the user may choose them); compare the others,
        // and any chosen ones.
        for (size_t list = 0; list < kFilterListCount; ++list) {
            Counts nonZero;
            for (const FilterValueCount& e : counts.lists[list]) {
                if (e.count != 0 || c.filter.chosen[list].count(e.value) != 0) {
                    nonZero.push_back(e);
                }
            }
            EXPECT_EQ(nonZero, (list == kFilterCamera ? c.cameras : list == kFilterLens ? c.lenses : c.focals))
                << "list " << list;
        }
        EXPECT_EQ(counts.undated, c.undated);
        EXPECT_EQ(c.filter.IsEmpty(), std::string(c.name) == "none");
        // The calendar's first and last months: of all photos, whatever the filter.
        EXPECT_EQ(counts.firstDate, 20221231);
        EXPECT_EQ(counts.lastDate, 20240101);
    }
}

TEST(PhotoFilter, DatesAndKeysFromTheFile) {
    EXPECT_EQ(ExifDateNumber("2011:01:02 03:04:05"), 20110102);
    EXPECT_EQ(ExifDateNumber("2011/01/02"), 20110102);
    EXPECT_EQ(ExifDateNumber("2024:02:29 00:00:00"), 20240229);
    for (const char* none : {"0000:00:00 00:00:00", "    :  :     :  :  ", "2023:02:29 10:00:00", "2011:13:01",
                             "2011:1:2", ""}) {
        EXPECT_EQ(ExifDateNumber(none), 0) << none;
    }
    EXPECT_EQ(DateNumber(1900, 2, 29), 0);
    EXPECT_EQ(DateNumber(2000, 2, 29), 20000229);

    TempDir dir;
    RecordingNotifier notifier;
    CLumivaneDoc doc(notifier);
    JpegBuilder camera = MinimalPhoto();
    camera.model("EOS R5   ")
        .ascii(kExifDirectory, 0xA433, "Canon")
        .ascii(kExifDirectory, 0xA434, "RF24-70mm F2.8 L IS USM")
        .rational(kExifDirectory, 0x920A, 35, 2)  // 17.5 mm: "18" as the property text shows it
        .ascii(kExifDirectory, 0x9003, "2023:06:10 12:00:00");
    JpegBuilder lensMakeOnly = MinimalPhoto();
    lensMakeOnly.ascii(kExifDirectory, 0xA433, "Sigma").rational(kExifDirectory, 0x920A, 50, 0);
    ASSERT_TRUE(camera.writeTo(dir / "a.jpg"));
    ASSERT_TRUE(lensMakeOnly.writeTo(dir / "b.jpg"));
    ASSERT_EQ(doc.AddPhoto(dir / "a.jpg"), 1);
    ASSERT_EQ(doc.AddPhoto(dir / "b.jpg"), 1);

    const FilterKeys a = FilterKeysOf(doc.GetAt(0));
    EXPECT_EQ(a.list, (std::array<std::string, 3>{"EOS R5", "RF24-70mm F2.8 L IS USM", "18"}));
    EXPECT_EQ(a.focalMm, 18);
    EXPECT_EQ(a.iso, 400);
    EXPECT_EQ(a.date, 20230610);
    const FilterKeys b = FilterKeysOf(doc.GetAt(1));
    EXPECT_EQ(b.list, (std::array<std::string, 3>{"", "Sigma", ""}));  // a zero denominator is no length
    EXPECT_EQ(b.focalMm, -1);
    EXPECT_EQ(b.date, 0);
}

JpegBuilder AtIso(uint16_t iso) {
    JpegBuilder b;
    b.exposureTime(1, 125).fNumber(8, 1).isoSpeed(iso).patternPicture(16, 12);
    return b;
}

// The document's flags stay beside their photos through every change of the collection, and the
// hit test and the CSV file take only the photos shown.
TEST(PhotoFilter, DocumentShowsHitsAndWritesOnlyWhatPasses) {
    TempDir dir;
    RecordingNotifier notifier;
    CLumivaneDoc doc(notifier);
    for (const uint16_t iso : {100, 400, 800, 1600}) {
        std::string name = std::to_string(iso);  // appended: GCC 12 at -O3 warns falsely on "P" + ...
        name.insert(0, 1, 'P');
        name += ".JPG";
        ASSERT_TRUE(AtIso(iso).writeTo(dir / name));
        ASSERT_EQ(doc.AddPhoto(dir / name), 1);
    }
    for (size_t i = 0; i < doc.GetCount(); ++i) {
        doc.GetAt(i).drawRect = Rect{0, 0, 10, 10};  // all on one spot: the hit goes to the last shown
    }
    ASSERT_EQ(WriteCsv(doc.Photos(), dir / "all.csv"), 1);
    ASSERT_EQ(WriteCsv(doc.Photos(), dir / "unfiltered.csv", nullptr, &doc.Shown()), 1);
    EXPECT_EQ(ReadText(dir / "unfiltered.csv"), ReadText(dir / "all.csv"));

    const auto csvNames = [&] {
        EXPECT_EQ(WriteCsv(doc.Photos(), dir / "out.csv", nullptr, &doc.Shown()), 1);
        const std::string text = ReadText(dir / "out.csv");
        std::string names;
        for (size_t at = text.find("\r\n"); at + 2 < text.size(); at = text.find("\r\n", at + 2)) {
            names += text.substr(at + 2, text.find(',', at + 2) - at - 2) + " ";
        }
        return names;
    };
    PhotoFilter filter;
    filter.iso = {400, 800};
    doc.SetFilter(filter);
    EXPECT_EQ(doc.ShownCount(), 2u);
    EXPECT_EQ(csvNames(), "P400.JPG P800.JPG ");
    EXPECT_EQ(doc.PhotoAt(5, 5)->path, dir / "P800.JPG");

    PhotoItem* p800 = doc.PhotoAt(5, 5);
    doc.MoveToFirst(p800);
    EXPECT_EQ(csvNames(), "P800.JPG P400.JPG ");
    EXPECT_EQ(doc.PhotoAt(5, 5)->path, dir / "P400.JPG");
    ASSERT_EQ(doc.RemovePhoto(&doc.GetAt(1)), 1);  // P100, not shown
    EXPECT_EQ(csvNames(), "P800.JPG P400.JPG ");
    EXPECT_EQ(doc.ShownCount(), 2u);
    // A selection removed in one pass takes its flags along: P400 stays shown, P1600 hidden.
    doc.SelectPhotos({p800}, false);
    EXPECT_EQ(doc.RemoveSelectedPhotos(), 1u);
    EXPECT_EQ(csvNames(), "P400.JPG ");
    EXPECT_EQ(doc.ShownCount(), 1u);
    // What the filter hides leaves the selection.
    doc.SelectPhotos({&doc.GetAt(0)}, false);
    filter.iso = {1600, 1600};
    doc.SetFilter(filter);
    EXPECT_EQ(doc.SelectedCount(), 0u);
    filter.iso = {400, 800};
    doc.SetFilter(filter);

    // Deleting every photo ends the filter too: the next import starts unfiltered.
    doc.RemoveAllPhotos();
    EXPECT_TRUE(doc.Filter().IsEmpty());
}

}  // namespace
