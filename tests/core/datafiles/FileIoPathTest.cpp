// The data files' own file calls with the paths users give them: non-ASCII names (UTF-8 inside
// the program, wide-character calls on Windows), names that differ only in letter case, and the
// platform's separator.
#include "core/datafiles/FileIo.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "core/support/SpecialFolders.h"
#include "support/TempDir.h"

namespace kmr {
namespace {

using kmr::testing::TempDir;

TEST(FileIoPath, NonAsciiNamesAreWrittenReadAndRemovedUnderTheirOwnName) {
    TempDir dir;
    const std::string folder = WithTrailingSeparator(dir.path()) + "\xE6\xB8\xAC\xE5\xAE\x9A-\xC3\xBC";  // 測定-ü
    ASSERT_TRUE(EnsureFolder(folder));
    const std::string path = WithTrailingSeparator(folder) + "\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF.kmr";  // データ.kmr
    FileHandle out;
    ASSERT_TRUE(out.Open(path, FileHandle::Mode::CreateNew)) << out.error();
    ASSERT_TRUE(out.Append("KMR\r\n", 5));
    ASSERT_TRUE(out.Close());
    // The file system holds exactly that name, not a code-page rendering of it.
    EXPECT_TRUE(std::filesystem::is_regular_file(PathFromUtf8(path)));
    FileHandle in;
    ASSERT_TRUE(in.Open(path, FileHandle::Mode::ReadOnly)) << in.error();
    EXPECT_EQ(in.Size(), 5);
    char bytes[5] = {};
    ASSERT_TRUE(in.ReadAt(0, bytes, 5));
    EXPECT_EQ(std::string(bytes, 5), "KMR\r\n");  // no text-mode translation
    in.Close();
    EXPECT_TRUE(ProbeWritableFolder(WithTrailingSeparator(folder)));
    EXPECT_TRUE(RemoveFile(path));
    EXPECT_FALSE(std::filesystem::exists(PathFromUtf8(path)));
    EXPECT_TRUE(std::filesystem::is_empty(PathFromUtf8(folder)));  // the write test left nothing
}

TEST(FileIoPath, ANewFileNeverReplacesOneWhoseNameDiffersOnlyInCaseNorOpensAFolder) {
    TempDir dir;
    const std::string lower = WithTrailingSeparator(dir.path()) + "run_1.kmr";
    const std::string upper = WithTrailingSeparator(dir.path()) + "RUN_1.KMR";
    FileHandle first;
    ASSERT_TRUE(first.Open(lower, FileHandle::Mode::CreateNew));
    ASSERT_TRUE(first.Append("1", 1));
    ASSERT_TRUE(first.Close());
    FileHandle second;
#ifdef _WIN32
    // One file on Windows: the second open must fail and the first file keep its byte.
    EXPECT_FALSE(second.Open(upper, FileHandle::Mode::CreateNew));
    EXPECT_EQ(second.error(), EEXIST);
#else
    EXPECT_TRUE(second.Open(upper, FileHandle::Mode::CreateNew));
#endif
    EXPECT_EQ(std::filesystem::file_size(PathFromUtf8(lower)), 1u);
    // A folder is refused as a file.
    FileHandle f;
    EXPECT_FALSE(f.Open(dir.path(), FileHandle::Mode::ReadOnly));
    EXPECT_EQ(f.error(), EISDIR);
    EXPECT_FALSE(f.Open(WithTrailingSeparator(dir.path()) + "missing.kmr", FileHandle::Mode::ReadOnly));
    EXPECT_EQ(f.error(), ENOENT);
}

}  // namespace
}  // namespace kmr
