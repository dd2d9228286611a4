#include "cli/ExportOptions.h"
#include "cli/RunExport.h"
#include "tests/collection/CollectionTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace kestory::test;
using Status = ParsedCommandLine::Status;

TEST(ExportThreads, OptionTakesAWholeNumberFromOneUp) {
    EXPECT_EQ(ParseExportOptions({"--csv", "o.csv", "a.jpg"}).options.threads, 0) << "one per core";
    EXPECT_EQ(ParseExportOptions({"--threads=3", "--csv", "o.csv", "a.jpg"}).options.threads, 3);
    EXPECT_EQ(ParseExportOptions({"--csv", "o.csv", "--threads", "1", "a.jpg"}).options.threads, 1);
    for (const char* bad : {"0", "-1", "257", "2x", ""}) {
        EXPECT_EQ(ParseExportOptions({"--csv", "o.csv", "--threads", bad, "a.jpg"}).status,
                  Status::UsageError)
            << bad;
    }
}

TEST(ExportThreads, EveryThreadCountWritesTheSameFileAndMessages) {
    TempDir dir;
    std::vector<std::string> inputs;
    for (int i = 0; i < 9; ++i) {
        const std::string path = dir / std::string("P").append(std::to_string(i)).append(".JPG");
        if (i % 4 == 2) {
            ASSERT_TRUE(MinimalPhoto().noExif().writeTo(path));
        } else {
            ASSERT_TRUE(MinimalPhoto().exposureTime(1, static_cast<uint32_t>(30 + i)).writeTo(path));
        }
        inputs.push_back(path);
    }
    inputs.push_back(dir.Path()); // the folder again, scanned in name order after the files
    std::string firstCsv;
    std::vector<std::string> firstMessages;
    for (const int threads : {1, 2, 5}) {
        ExportOptions options;
        options.csvPath = dir / ("out" + std::to_string(threads) + ".csv");
        options.threads = threads;
        options.inputs = inputs;
        RecordingNotifier notifier;
        ASSERT_EQ(RunExport(options, notifier), kExitOk);
        const std::string csv = ReadText(options.csvPath);
        if (threads == 1) {
            firstCsv = csv;
            firstMessages = notifier.texts;
            EXPECT_EQ(firstMessages.size(), 4U);
        } else {
            EXPECT_EQ(csv, firstCsv) << threads << " threads";
            EXPECT_EQ(notifier.texts, firstMessages) << threads << " threads";
        }
    }
}

} // namespace
