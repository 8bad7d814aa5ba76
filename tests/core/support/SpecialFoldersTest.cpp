#include "core/support/SpecialFolders.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#ifndef _WIN32
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kmr {
namespace {

using kmr::testing::TempDir;
namespace fs = std::filesystem;

#ifndef _WIN32
class SpecialFolders : public ::testing::Test {
protected:
    void SetUp() override {
        env_.Set("HOME", dir_.path());
        for (const char* name : {"XDG_DOCUMENTS_DIR", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) env_.Set(name, std::nullopt);
    }
    TempDir dir_;
    testing::EnvVars env_;
};

// The two folders the program uses: its conditions' and its data files'. (An XDG documents folder
// that is set: the command-line tests, whose data folder is under it.)
TEST_F(SpecialFolders, DefaultsUnderHomeOrWhereTheXdgVariablesSay) {
    const std::string home = dir_.path();
    EXPECT_EQ(GetMyDocumentsPath(), home + "/Documents/KMR-5300/");
    EXPECT_EQ(GetCommonAppDataPath_WithVNT(kMakerFolder), home + "/.config/VNT/KMR-5300/");
    for (const char* sub : {"/Documents/KMR-5300", "/.config/VNT/KMR-5300"})
        EXPECT_TRUE(fs::is_directory(home + sub)) << sub;
    // The XDG variables win; relative paths are ignored.
    const std::string conf = dir_ / "conf/";
    env_.Set("XDG_CONFIG_HOME", conf);
    env_.Set("XDG_DOCUMENTS_DIR", "relative/docs");
    EXPECT_EQ(GetCommonAppDataPath_WithVNT("VNT"), conf + "VNT/KMR-5300/");
    EXPECT_EQ(GetMyDocumentsPath(), home + "/Documents/KMR-5300/");
    EXPECT_TRUE(fs::is_directory(conf + "VNT/KMR-5300"));
}

// A desktop in another language names its documents folder in user-dirs.dirs, in the
// configuration folder; $XDG_DOCUMENTS_DIR still wins, and a line that names no folder is passed by.
TEST_F(SpecialFolders, DocumentsWhereTheDesktopNamesThem) {
    const std::string home = dir_.path();
    fs::create_directories(dir_ / ".config");
    dir_.Write(".config/user-dirs.dirs", "# written by xdg-user-dirs-update\n"
                                         "XDG_DESKTOP_DIR=\"$HOME/デスクトップ\"\n"
                                         "XDG_DOCUMENTS_DIR=\"$HOME/ドキュメント\"\n");
    EXPECT_EQ(GetMyDocumentsPath(), home + "/ドキュメント/KMR-5300/");
    EXPECT_TRUE(fs::is_directory(PathFromUtf8(home + "/ドキュメント/KMR-5300")));
    const std::string conf = dir_ / "conf";
    fs::create_directories(conf);
    env_.Set("XDG_CONFIG_HOME", conf);
    dir_.Write("conf/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"relative\"\nXDG_DOCUMENTS_DIR=\"" + home +
                                          "/My \\\"Docs\\\"\"\r\n");
    EXPECT_EQ(GetMyDocumentsPath(), home + "/My \"Docs\"/KMR-5300/");
    env_.Set("XDG_DOCUMENTS_DIR", home + "/env");
    EXPECT_EQ(GetMyDocumentsPath(), home + "/env/KMR-5300/");
}

// Without $HOME (cron, a service manager, `env -i`) or with a relative one the home is the
// password database's: never the current folder, where "Cond" and "Data" would land wherever the
// program was started.
TEST_F(SpecialFolders, WithoutHomeTheHomeOfTheUserAccountAFailedCreationStillThePath) {
    const passwd* pw = ::getpwuid(::getuid());
    ASSERT_NE(pw, nullptr);
    for (const std::optional<std::string>& home : {std::optional<std::string>(), std::optional<std::string>("."),
                                                   std::optional<std::string>("")}) {
        env_.Set("HOME", home);
        EXPECT_EQ(UserHomeFolder(), pw->pw_dir);
    }
    env_.Set("HOME", dir_.path());
    EXPECT_EQ(UserHomeFolder(), dir_.path());
    // A folder that cannot be made still gives its path.
    env_.Set("HOME", dir_.path());
    const std::string conf = dir_ / "conf";
    env_.Set("XDG_CONFIG_HOME", conf);
    dir_.Write("conf", "a file where the folder should be");
    EXPECT_EQ(GetCommonAppDataPath_WithVNT("VNT"), conf + "/VNT/KMR-5300/");
    EXPECT_FALSE(fs::exists(conf + "/VNT"));
}

TEST_F(SpecialFolders, EnsureFolderMakesOneLevelAndFolderUsableNeedsAWritableFolder) {
    EXPECT_TRUE(EnsureFolder(dir_ / "a/"));
    EXPECT_TRUE(EnsureFolder(dir_ / "a"));  // exists already
    EXPECT_FALSE(EnsureFolder(dir_ / "x/y/z/"));
    EXPECT_FALSE(fs::exists(dir_ / "x"));
    EXPECT_FALSE(EnsureFolder(dir_.Write("file", "")));
    EXPECT_FALSE(EnsureFolder(""));
    const std::string cwd = fs::current_path().string();
    EXPECT_TRUE(FolderUsable(dir_.path()));
    EXPECT_TRUE(FolderUsable(dir_.path() + "/"));
    EXPECT_FALSE(FolderUsable(dir_ / "missing/"));
    EXPECT_FALSE(FolderUsable(dir_.Write("f", "")));
    EXPECT_FALSE(FolderUsable(""));
    // A folder named relative to the current one is not usable, even where it exists.
    fs::create_directory(dir_ / "Data");
    fs::current_path(dir_.path());
    EXPECT_FALSE(FolderUsable("Data/"));
    EXPECT_FALSE(FolderUsable("./Data"));
    fs::current_path(cwd);
    fs::create_directory(dir_ / "locked");
    ::chmod((dir_ / "locked").c_str(), 0600);
    if (::geteuid() != 0) {
        EXPECT_FALSE(FolderUsable(dir_ / "locked/"));
    }
    ::chmod((dir_ / "locked").c_str(), 0700);
    EXPECT_EQ(fs::current_path().string(), cwd);  // the current folder is left alone
}

// (A separator added or kept: the home and XDG folders above.)
TEST(PathSeparatorTest, AnEmptyPathStaysEmpty) { EXPECT_EQ(WithTrailingSeparator(""), ""); }

#else

// Windows: the condition folder under the common application data (C:\ProgramData), the data
// folder under the user's Documents, each made when missing and ending with "\".
std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

TEST(SpecialFolders, KnownFoldersOfWindows) {
    const std::string common = Env("ALLUSERSPROFILE");
    const std::string user = Env("USERPROFILE");
    ASSERT_FALSE(common.empty());
    ASSERT_FALSE(user.empty());
    const std::string cond = GetCommonAppDataPath_WithVNT(kMakerFolder);
    const std::string docs = GetMyDocumentsPath();
    EXPECT_EQ(cond, common + "\\VNT\\KMR-5300\\");
    EXPECT_EQ(docs.rfind(user + "\\", 0), 0u) << docs;
    EXPECT_EQ(docs.substr(docs.size() - 10), "\\KMR-5300\\");
    EXPECT_TRUE(fs::is_directory(cond));
    EXPECT_TRUE(fs::is_directory(docs));
    EXPECT_TRUE(FolderUsable(cond));
}

TEST(SpecialFolders, EnsureFolderWithBackslashesAndADriveLetter) {
    TempDir dir;
    const std::string base = fs::path(dir.path()).make_preferred().string();
    ASSERT_EQ(base[1], ':');
    EXPECT_TRUE(EnsureFolder(base + "\\a\\"));
    EXPECT_TRUE(FolderUsable(base + "\\a"));
    EXPECT_FALSE(EnsureFolder(base + "\\x\\y\\"));
    EXPECT_TRUE(FolderUsable(base.substr(0, 3)));  // the drive root "C:\"
}

TEST(PathSeparatorTest, TrailingSeparator) {
    EXPECT_EQ(WithTrailingSeparator("C:\\a\\b"), "C:\\a\\b\\");
    EXPECT_EQ(WithTrailingSeparator("C:\\"), "C:\\");
    EXPECT_EQ(WithTrailingSeparator("C:/a/"), "C:/a/");
    EXPECT_EQ(WithTrailingSeparator("C:/a"), "C:/a/");
    EXPECT_EQ(WithTrailingSeparator("C:/a\\b"), "C:/a\\b\\");
    EXPECT_EQ(WithTrailingSeparator(""), "");
}

#endif

}  // namespace
}  // namespace kmr
