// Output files written under a temporary name and given their final name only when complete.
// (That no temporary file is left and no partial file is under its final name after a cancel, a
// failed read or write or Ctrl+C: the CSV, conversion, HDF5, CLI and fault-injection tests.)
#include "core/datafiles/TemporaryOutput.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "support/TempDir.h"

namespace kmr {
namespace {

using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

TEST(TemporaryOutput, ATemporaryFileLeftBehindIsNeverTouchedAndAnExistingFileNeverReplaced) {
    TempDir dir;
    const std::string final = dir.File("out.h5");
    EXPECT_EQ(FreeTemporaryPath(final), final + ".tmp");
    WriteAll(final + ".tmp", "left by a killed program");
    const std::string temporary = FreeTemporaryPath(final);
    EXPECT_EQ(temporary, final + ".1.tmp");
    WriteAll(temporary, "written by a library");
    EXPECT_EQ(CommitTemporary(temporary, final), 0);
    EXPECT_EQ(ReadAll(final), "written by a library");
    EXPECT_FALSE(testing::FileExistsOnDisk(temporary));
    // A final name taken meanwhile: the commit fails and both files stay as they are.
    WriteAll(temporary, "again");
    EXPECT_EQ(CommitTemporary(temporary, final), EEXIST);
    EXPECT_EQ(ReadAll(final), "written by a library");
    EXPECT_EQ(ReadAll(temporary), "again");
    EXPECT_EQ(ReadAll(final + ".tmp"), "left by a killed program");
    // Asked to replace (a name the user chose to replace): in one step, and a replace that fails
    // (a folder of the name) leaves both as they were.
    EXPECT_EQ(CommitTemporary(temporary, final, /*replace=*/true), 0);
    EXPECT_EQ(ReadAll(final), "again");
    EXPECT_FALSE(testing::FileExistsOnDisk(temporary));
    const std::string folder = dir.File("charts.png");
    std::filesystem::create_directories(folder + "/inside");
    WriteAll(temporary, "picture");
    EXPECT_NE(CommitTemporary(temporary, folder, /*replace=*/true), 0);
    EXPECT_TRUE(std::filesystem::is_directory(folder + "/inside"));
    EXPECT_EQ(ReadAll(temporary), "picture");
}

// Bytes made in memory go to the file whole, or the write's error is told and nothing stays.
TEST(TemporaryOutput, BytesMadeInMemoryAreWrittenWholeOrTheFailureIsToldAndNothingStays) {
    struct FullDisk : FileWritePort {
        int BeforeWrite(const std::string&) override { return ENOSPC; }
    } full;
    TempDir dir;
    const std::string temporary = dir.File("charts.pdf.tmp");
    const std::string bytes = "%PDF-1.4 ... %%EOF";
    EXPECT_EQ(WriteTemporary(temporary, bytes.data(), bytes.size(), &full), ENOSPC);
    EXPECT_FALSE(testing::FileExistsOnDisk(temporary));
    EXPECT_EQ(WriteTemporary(temporary, bytes.data(), bytes.size()), 0);
    EXPECT_EQ(ReadAll(temporary), bytes);
    // An existing file of the name is never written over.
    EXPECT_EQ(WriteTemporary(temporary, "x", 1), EEXIST);
    EXPECT_EQ(ReadAll(temporary), bytes);
}

}  // namespace
}  // namespace kmr
