// Output files written under a temporary name and given their final name only when complete.
#include "core/datafiles/TemporaryOutput.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "support/TempDir.h"

namespace kmr {
namespace {

using testing::FileExistsOnDisk;
using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

TEST(TemporaryOutput, TheFinalNameAppearsOnlyWhenTheFileIsCompleteADiscardedFileLeavesNothing) {
    TempDir dir;
    const std::string final = dir.File("out.csv");
    TemporaryOutput out;
    ASSERT_TRUE(out.Create(final));
    EXPECT_EQ(out.Path(), final + ".tmp");
    ASSERT_TRUE(out.File().Append("abc", 3));
    EXPECT_FALSE(FileExistsOnDisk(final));
    ASSERT_TRUE(out.Commit()) << out.error();
    EXPECT_EQ(ReadAll(final), "abc");
    EXPECT_FALSE(FileExistsOnDisk(final + ".tmp"));
    EXPECT_FALSE(out.Pending());

    // A discarded or abandoned file leaves nothing.
    const std::string other = dir.File("other.csv");
    {
        TemporaryOutput abandoned;
        ASSERT_TRUE(abandoned.Create(other));
        abandoned.File().Append("half", 4);
    }  // never committed
    EXPECT_FALSE(FileExistsOnDisk(other));
    EXPECT_FALSE(FileExistsOnDisk(other + ".tmp"));
    TemporaryOutput discarded;
    ASSERT_TRUE(discarded.Create(other));
    EXPECT_TRUE(discarded.Discard());
    EXPECT_FALSE(FileExistsOnDisk(other + ".tmp"));
}

TEST(TemporaryOutput, ATemporaryFileLeftBehindIsNeverTouchedAndAnExistingFileNeverReplaced) {
    TempDir dir;
    const std::string final = dir.File("out.csv");
    WriteAll(final + ".tmp", "left by a killed program");
    TemporaryOutput out;
    ASSERT_TRUE(out.Create(final));
    EXPECT_EQ(out.Path(), final + ".1.tmp");
    EXPECT_EQ(FreeTemporaryPath(final), final + ".2.tmp");
    out.File().Append("new", 3);
    WriteAll(final, "made meanwhile");
    EXPECT_FALSE(out.Commit());
    EXPECT_EQ(out.error(), EEXIST);
    EXPECT_EQ(ReadAll(final), "made meanwhile");
    EXPECT_EQ(ReadAll(final + ".tmp"), "left by a killed program");
    EXPECT_TRUE(out.Discard());
}

TEST(TemporaryOutput, AWriterThatTakesAPathCommitsWithTheFreeFunctions) {
    TempDir dir;
    const std::string final = dir.File("out.h5");
    const std::string temporary = FreeTemporaryPath(final);
    EXPECT_EQ(temporary, final + ".tmp");
    WriteAll(temporary, "written by a library");
    EXPECT_EQ(CommitTemporary(temporary, final), 0);
    EXPECT_EQ(ReadAll(final), "written by a library");
    WriteAll(temporary, "again");
    EXPECT_EQ(CommitTemporary(temporary, final), EEXIST);
    EXPECT_EQ(ReadAll(final), "written by a library");
}

}  // namespace
}  // namespace kmr
