// A cancelled or interrupted conversion leaves nothing of the file in progress under any name;
// the files of the batch converted before it stay, and later files are not begun. A cancelled data
// file's whole channels can be converted when asked.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/datafiles/Conversion.h"
#include "core/datafiles/ConversionFixture.h"

namespace kmr {
namespace {

class ConversionCancelTest : public testing::ConversionFixture {
protected:
    ConversionOutcome Run(std::vector<std::string> names, const ConversionOptions& options = {}) {
        std::vector<ConversionItem> items;
        for (const auto& n : names) items.push_back({data.File(n), data.File("csv/"), CsvNameForDataFile(n), 1.0});
        ConversionPorts ports = Ports();
        return ConvertItems(items, false, ports, status, options);
    }
};

TEST_F(ConversionCancelTest, ACancelAtEveryLookLeavesOnlyWholeFilesUnderCsvNames) {
    MakeKmr("one.kmr", 70000, {1}, 100);
    MakeKmr("two.kmr", 30, {1, 2}, 100);
    for (int look = 1; look < 40; look += 3) {
        SCOPED_TRACE(look);
        std::filesystem::remove_all(data.File("csv"));
        std::filesystem::create_directory(data.File("csv"));
        progress = testing::FakeProgress(look);
        status = RunStatus::Ok;
        const ConversionOutcome out = Run({"one.kmr", "two.kmr"});
        const auto names = testing::FolderNames(data.File("csv"));
        const auto has = [&](const char* name) { return names.count(name) == 1; };
        for (const auto& n : names) EXPECT_EQ(n.find(".tmp"), std::string::npos) << n;
        EXPECT_TRUE(ui.shown.empty());  // a cancel is no error
        EXPECT_EQ(status == RunStatus::Cancelled, !out.AllConverted());
        EXPECT_EQ(!names.empty(), out.converted[0]);
        EXPECT_EQ(has("one_A.csv") && has("one_B.csv"), out.converted[0]);
        EXPECT_EQ(has("two.csv"), out.converted[1]);
    }
}

TEST_F(ConversionCancelTest, TheWholeChannelsOfACancelledFileAreConvertedWhenAsked) {
    ASSERT_TRUE(testing::WriteLevelKmr(data.File("cut.kmr"), 50, {2, 5, 7}, 100, 2));
    // Not without asking.
    EXPECT_FALSE(Run({"cut.kmr"}).converted[0]);
    EXPECT_TRUE(std::filesystem::is_empty(data.File("csv")));
    ui.shown.clear();
    status = RunStatus::Ok;
    ConversionOptions whole;
    whole.wholeChannels = true;
    const ConversionOutcome out = Run({"cut.kmr"}, whole);
    ASSERT_TRUE(out.AllConverted()) << (ui.shown.empty() ? "" : ui.shown[0].text);
    const std::string csv = testing::ReadAll(data.File("csv/cut.csv"));
    EXPECT_NE(csv.find("NO.,CH.002,CH.005\r\n"), std::string::npos) << csv.substr(0, 600);
    EXPECT_NE(csv.find("49              ,100            ,200            \r\n"), std::string::npos);
    EXPECT_EQ(csv.find("CH.007"), std::string::npos);

    // A file without a whole channel is refused even when asked.
    ASSERT_TRUE(testing::WriteLevelKmr(data.File("none.kmr"), 50, {2, 5}, 100, 0));
    ui.shown.clear();
    EXPECT_FALSE(Run({"none.kmr"}, whole).converted[0]);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].text.find("no channel of this file is whole."), std::string::npos) << ui.shown[0].text;
}

}  // namespace
}  // namespace kmr
