// The command line's side of "a recording is never lost to a file problem": kmr record checks the
// data folder and name before anything reaches the instrument and names a file it could not
// write with its folder; kmr info reads a cancelled file's header and names its whole channels,
// which kmr convert --whole-channels converts; Ctrl+C during kmr convert leaves nothing of the
// file in progress.
#include <gtest/gtest.h>

#include <filesystem>

#ifndef _WIN32
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "core/datafiles/DataFilesTestSupport.h"
#include "core/support/TextTable.h"
#include "support/CliRun.h"
#include "support/FileSizeLimit.h"
#include "support/BuildPaths.h"

namespace kmr::cli {
namespace {

using kmr::testing::DataFolder;
using kmr::testing::Kmr;
using kmr::testing::Ran;
using kmr::testing::Record;
using kmr::testing::FileExistsOnDisk;
using kmr::testing::TempDir;
using kmr::testing::TempHome;
using kmr::testing::WriteAll;

TEST(RecordFileChecks, ADataFolderThatCannotBeMadeStopsKmrRecord) {
#ifdef _WIN32
    GTEST_SKIP() << "the program's folders come from the user's profile on Windows";
#else
    TempHome home;
    // The data folder's place holds a file: start-up cannot make it, nor can the run.
    std::filesystem::create_directories(std::string(std::getenv("XDG_DOCUMENTS_DIR")) + "/KMR-5300");
    WriteAll(DataFolder().substr(0, DataFolder().size() - 1), "not a folder");
    const Ran r = Record({"--interface", "sim:time=instant"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());
    const std::string& e = r.err;
    // The message whole, and no trigger sent: RunFileCheckTest.AFolderThatCannotBeMadeStopsTheStart...,
    // whose start kmr record runs.
    EXPECT_NE(e.find("The data folder does not exist and cannot be made again:\n" + DataFolder()), std::string::npos) << e;
    EXPECT_NE(e.find("kmr record: " + Text(Language::English, txt::CliRecordNotStarted)), std::string::npos) << e;
#endif
}

TEST(RecordFileChecks, AFileKmrRecordCannotWriteIsNamedWithItsFolder) {
#ifdef _WIN32
    GTEST_SKIP() << "no file-size limit on Windows";
#else
    TempHome home;
    // The first start writes the condition files; then no file may grow beyond 1000 bytes: the
    // folder's check passes (its test file is empty), the data file's 1100-byte header fails.
    ASSERT_EQ(Record().status, 0);
    std::filesystem::remove_all(DataFolder());
    const auto recordWithin = [](rlim_t bytes) {
        kmr::testing::FileSizeLimit limit(bytes);
        EXPECT_TRUE(limit.ok());
        return Record();
    };
    Ran r = recordWithin(1000);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("kmr record: Unexpected error #" + std::to_string(EFBIG)), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("kmr record: The data file could not be written in " + DataFolder() +
                         "; the recording is still in the instrument's memory, but nothing was saved."),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(std::filesystem::is_empty(DataFolder()));  // no file without its header
    // A disk that fills after the header: the file kept is named incomplete, not "nothing saved".
    r = recordWithin(3000);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(" is incomplete (cancelled or broken off)."), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("nothing was saved"), std::string::npos) << r.err;
#endif
}

// A .kmr file of channels 2, 5 and 7 cancelled after two channels, and one cancelled before any.
TEST(CancelledFiles, KmrInfoSaysItIsIncompleteAndKmrConvertWholeChannelsWritesTheWholeChannels) {
    TempDir dir;
    const std::string path = dir.File("cut.kmr"), none = dir.File("none.kmr");
    ASSERT_TRUE(kmr::testing::WriteLevelKmr(path, 40, {2, 5, 7}, 10, 2));
    ASSERT_TRUE(kmr::testing::WriteLevelKmr(none, 40, {2, 5, 7}, 10, 0));
    const Ran r = Kmr({"info", path});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Complete: no\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("WholeChannels: 2,5\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("MemoryWords: 40\n"), std::string::npos) << r.out;
    // Nothing else: no refusal, no size warning.
    EXPECT_EQ(r.err, path + ": " + Text(Language::English, txt::CliRecordingIncomplete) +
                         " whole channels: 2, 5 (kmr convert --whole-channels converts them).\n");
    const Ran n = Kmr({"info", none});
    EXPECT_EQ(n.status, 0);
    EXPECT_NE(n.out.find("WholeChannels: \n"), std::string::npos) << n.out;
    EXPECT_NE(n.err.find("no channel of this file is whole."), std::string::npos) << n.err;

    // Refused without the option, saying which channels it would convert and how; a file with no
    // whole channel gets no such offer.
    const Ran refused = Kmr({"convert", path});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find(path + ": whole channels: 2, 5 (kmr convert --whole-channels converts them).\n"),
              std::string::npos) << refused.err;
    EXPECT_FALSE(FileExistsOnDisk(dir.File("cut.csv")));
    const Ran noneRefused = Kmr({"convert", none});
    EXPECT_EQ(noneRefused.status, 1);
    EXPECT_EQ(noneRefused.err.find("--whole-channels"), std::string::npos) << noneRefused.err;
    const Ran c = Kmr({"convert", "--whole-channels", path});
    ASSERT_EQ(c.status, 0) << c.err;
    // What it holds: ConversionCancelTest.TheWholeChannelsOfACancelledFileAreConvertedWhenAsked.
    EXPECT_EQ(c.out, path + " -> " + dir.File("cut.csv") + "\n");
    // A channel asked for that is not whole is a usage error before anything of the batch is
    // written, as one the file does not hold at all, said as cut short (it is in the file).
    const std::string whole = dir.File("whole.kmr");
    ASSERT_TRUE(kmr::testing::WriteLevelKmr(whole, 40, {2, 5, 7}, 10));
    std::filesystem::create_directory(dir.File("part"));
    const Ran w = Kmr({"convert", "--out", dir.File("part"), "--whole-channels", "--channels", "5,7", whole, path});
    EXPECT_EQ(w.status, 2) << w.err;
    EXPECT_EQ(w.err, "kmr convert: " + path + ": channel 7 was cut short in the file, and only whole channels "
                     "were asked for (its whole channels: 2, 5).\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("part")));
}

TEST(ConvertInterrupt, CtrlCDuringAConversionLeavesNothingOfTheFileInProgress) {
#ifdef _WIN32
    GTEST_SKIP() << "signals are POSIX";
#else
    const std::string kmr = kmr::testing::BuiltProgram("kmr");
    if (!std::filesystem::exists(kmr)) GTEST_SKIP() << "kmr not built";
    TempDir dir;
    // A file large enough to be caught while its parts are written: 300000 words of 10 channels.
    ASSERT_TRUE(kmr::testing::WriteLevelKmr(dir.File("big.kmr"), 300000, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 1234));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        execl(kmr.c_str(), kmr.c_str(), "convert", dir.File("big.kmr").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Ctrl+C once the first temporary part is there.
    bool seen = false;
    for (int i = 0; i < 2000 && !seen; ++i) {
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            if (e.path().filename().string().find(".tmp") != std::string::npos) seen = true;
        if (!seen) usleep(1000);
    }
    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(seen) << "the conversion ended before a temporary part was seen";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string(), "big.kmr") << "left behind";
#endif
}

}  // namespace
}  // namespace kmr::cli
