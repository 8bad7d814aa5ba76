#include "cli/Cli.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <sstream>

#include "core/datafiles/DataFilesTestSupport.h"
#include "core/datafiles/Hdf5Export.h"
#include "core/support/TextTable.h"
#include "support/BuildPaths.h"

namespace kmr::cli {
namespace {

using kmr::testing::ConditionsWith;
using kmr::testing::FileExistsOnDisk;
using kmr::testing::ReadAll;
using kmr::testing::TempDir;
using kmr::testing::WriteAll;
using kmr::testing::WriteKmr;

class KmrCli : public ::testing::Test {
protected:

    Language language = Language::English;
    int Run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        CliIo io{out, err, false};
        io.language = language;
        return RunKmr(args, io);
    }
    std::string MakeKmr(const std::string& rel, std::int32_t n = 10) {
        const std::string path = dir.File(rel);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        EXPECT_TRUE(WriteKmr(path, ConditionsWith({2, 5}, n), n,
                             {std::vector<std::int16_t>(static_cast<std::size_t>(n), 7),
                              std::vector<std::int16_t>(static_cast<std::size_t>(n), -7)}));
        return path;
    }

    TempDir dir;
    std::ostringstream out, err;
};

TEST_F(KmrCli, HelpListsEverySubcommand) {
    EXPECT_EQ(Run({"--help"}), 0);
    for (const auto& s : Subcommands()) EXPECT_NE(out.str().find(std::string("kmr ") + s.name), std::string::npos);
    EXPECT_EQ(Run({}), 2);
    EXPECT_EQ(Run({"frobnicate"}), 2);
    EXPECT_NE(err.str().find("frobnicate"), std::string::npos);
    EXPECT_EQ(Run({"convert", "--help"}), 0);
    EXPECT_EQ(Run({"convert"}), 2);
    EXPECT_EQ(Run({"convert", "--bogus", "x.kmr"}), 2);
    // In the user's language, every line of the tool's own.
    language = Language::Japanese;
    EXPECT_EQ(Run({"--help"}), 0);
    for (const char* english : {"print the", "convert data", "record one", "run the", "balance the"})
        EXPECT_EQ(out.str().find(english), std::string::npos) << english;
    EXPECT_EQ(Run({"info"}), 2);
    EXPECT_EQ(err.str().rfind("使い方: kmr info ", 0), 0u) << err.str();
}

TEST_F(KmrCli, InfoPrintsOneLinePerFieldWithChannelRecords) {
    const std::string path = MakeKmr("a.kmr", 1000);
    ASSERT_EQ(Run({"info", path}), 0) << err.str();
    const std::string s = out.str();
    for (const char* line : {"Size: 5102\n", "ExpectedSize: 5102\n", "Signature: KMR_FILE BY VNTNORDA\n", "Complete: yes\n",
                             "WholeChannels: 2,5\n",
                             "TriggerTime: 2002/02/05 00:00:00\n", "TrgMode: 0 (Manual Trigger)\n", "SmpClk: 1\n",
                             "MemoryWords: 1000\n", "WordsConverted: 1000\n", "Averaging: 0 (OFF)\n",
                             "ChannelCount: 2\n", "CH01.OnOff: 0\n", "CH02.OnOff: 1\n", "CH05.OnOff: 1\n",
                             "CH10.Offset: 0\n", "CH03.InputMode: 2 (STRAIN(2.0V))\n", "CH04.DtgLevel: 1000\n"})
        EXPECT_NE(s.find(line), std::string::npos) << line;
    EXPECT_EQ(std::count(s.begin(), s.end(), '\n'), 14 + 10 * 9);
    EXPECT_TRUE(err.str().empty());
}

TEST_F(KmrCli, DamagedAndMissingFilesAreReportedInTheUsersLanguage) {
    const std::string bad = dir.File("bad.kmr");
    WriteAll(bad, std::string(1099, 'x'));
    EXPECT_EQ(Run({"info", bad}), 1);
    EXPECT_NE(err.str().find(Text(Language::English, txt::NotConditionFile)), std::string::npos);
    EXPECT_NE(err.str().find("1099 bytes"), std::string::npos);
    // A file gone or a folder named is said plainly, by both commands.
    EXPECT_EQ(Run({"info", dir.File("missing.kmr")}), 1);
    EXPECT_EQ(err.str(), "Error: " + TextWith(Language::English, txt::RecordFileMissing, {dir.File("missing.kmr")}) + "\n");
    EXPECT_EQ(Run({"convert", bad, dir.path()}), 1);
    EXPECT_EQ(err.str(), "kmr convert: " + TextWith(Language::English, txt::RecordIsAFolder, {dir.path()}) + "\n");
    // In the user's language.
    language = Language::Japanese;
    EXPECT_EQ(Run({"convert", bad}), 1);
    EXPECT_NE(err.str().find(Text(Language::Japanese, txt::NotConditionFile)), std::string::npos);
#ifndef _WIN32
    // A pipe or a device is no data file: said so (opening a pipe would wait for a writer).
    const std::string fifo = dir.File("pipe.kmr");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const Language lang : {Language::English, Language::Japanese}) {
        language = lang;
        for (const std::string& path : {fifo, std::string("/dev/null")}) {
            EXPECT_EQ(Run({"info", path}), 1);
            EXPECT_EQ(err.str(), Text(lang, txt::ErrorTitle) + ": " + TextWith(lang, txt::RecordNotRegularFile, {path}) + "\n");
            EXPECT_EQ(Run({"convert", path}), 1);
            EXPECT_EQ(err.str().rfind("kmr convert: " + TextWith(lang, txt::RecordNotRegularFile, {path}) + "\n", 0), 0u)
                << err.str();
        }
    }
#endif
}

TEST_F(KmrCli, AFileOfAnotherLengthThanItsHeaderImpliesIsReadWithAWarning) {
    // WordsConverted 1000 with one bit flipped reads 992: the file is 16 bytes longer than that
    // header implies.
    const std::string path = MakeKmr("flipped.kmr", 1000);
    const Bytes header = BuildDataFileHeader(ConditionsWith({2, 5}, 1000), 992);
    std::string bytes = ReadAll(path);
    bytes.replace(0, header.size(), std::string(header.begin(), header.end()));
    WriteAll(path, bytes);
    ASSERT_EQ(Run({"info", path}), 0) << err.str();
    EXPECT_NE(out.str().find("Size: 5102\nExpectedSize: 5086\n"), std::string::npos) << out.str();
    const std::string warning = DataFileSizeWarning(Language::English, 5086, 5102);
    ASSERT_FALSE(warning.empty());
    EXPECT_EQ(err.str(), path + ": " + warning + "\n");
    // The conversion says so and goes on.
    ASSERT_EQ(Run({"convert", path}), 0) << err.str();
    EXPECT_NE(err.str().find(warning), std::string::npos) << err.str();
    EXPECT_TRUE(FileExistsOnDisk(dir.File("flipped.csv")));
}

TEST_F(KmrCli, ConvertWritesBesideEachFileOrIntoTheOutFolder) {
    const std::string a = MakeKmr("one/20021005.kmr");
    const std::string b = MakeKmr("two/20021006_3.kmr", 65001);
    ASSERT_EQ(Run({"convert", a, b}), 0) << err.str();
    EXPECT_TRUE(FileExistsOnDisk(dir.File("one/20021005.csv")));
    EXPECT_TRUE(FileExistsOnDisk(dir.File("two/20021006_3_A.csv")));
    EXPECT_TRUE(FileExistsOnDisk(dir.File("two/20021006_3_B.csv")));
    // Each file written is named: the lettered parts, never a name that does not exist.
    EXPECT_EQ(out.str(), a + " -> " + dir.File("one/20021005.csv") + "\n" + b + " -> " +
                             dir.File("two/20021006_3_A.csv") + "\n" + b + " -> " + dir.File("two/20021006_3_B.csv") +
                             "\n");
    EXPECT_TRUE(err.str().empty()) << err.str();  // no progress bar when stderr is not a terminal

    std::filesystem::create_directory(dir.File("out"));
    ASSERT_EQ(Run({"convert", "--out", dir.File("out"), a}), 0) << err.str();
    EXPECT_EQ(ReadAll(dir.File("out/20021005.csv")), ReadAll(dir.File("one/20021005.csv")));
    EXPECT_EQ(Run({"convert", "--out", dir.File("nowhere"), a}), 1);
    EXPECT_EQ(Run({"convert", "--out", a, b}), 1);  // a file where the folder should be
    EXPECT_EQ(err.str(), "kmr convert: " + a + " is a file, not a folder: --out names the folder the files are written to.\n");
#ifndef _WIN32
    // A folder nothing can be written to (not even by root): what to do, no question, nothing written.
    EXPECT_EQ(Run({"convert", "--out", "/proc", a}), 1);
    EXPECT_EQ(err.str(), "kmr convert: the folder /proc/ cannot be written to: convert into one that can with --out DIR.\n");
#endif
}

// Two files that would write the same CSV file are refused and nothing is written (names taken
// already: the conversion's own table).
TEST_F(KmrCli, TwoFilesForOneCsvNameAreRefusedAndACancelledFileStopsTheBatch) {
    const std::string y2 = MakeKmr("two/y.kmr");
    const std::string y3 = MakeKmr("three/y.kmr");
    std::filesystem::create_directory(dir.File("out"));
    EXPECT_EQ(Run({"convert", "--out", dir.File("out"), y3, y2}), 1);
    EXPECT_NE(err.str().find(Text(Language::English, txt::FileNameMayOverlap)), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("out")));

    // A cancelled file stops the rest of the batch.
    const std::string a = MakeKmr("1.kmr"), b = MakeKmr("2.kmr"), c = MakeKmr("3.kmr");
    kmr::testing::FakeUi ui{MsgAnswer::Cancel};
    RunStatus st = RunStatus::Ok;
    ASSERT_TRUE(MarkDataFileCancelled(b, ui, st));
    EXPECT_EQ(Run({"convert", a, b, c}), 1);
    EXPECT_EQ(out.str(), a + " -> " + dir.File("1.csv") + "\n");
    EXPECT_NE(err.str().find(c + ": not converted"), std::string::npos);
    // The refusal says how to have its whole channels, and that works.
    EXPECT_NE(err.str().find("(kmr convert --whole-channels converts them)."), std::string::npos) << err.str();
    EXPECT_EQ(Run({"convert", "--whole-channels", b}), 0) << err.str();
}

// Field by field against kmr info, the h5py read-back reads it with a JSON parser; here what that
// check does not reach: text that must be escaped, exact number digits, UTF-8, the empty array.
TEST_F(KmrCli, InfoJsonEscapesNamesAndKeepsTheDigitsOfInfo) {
    MeasConditions m = ConditionsWith({2, 5}, 1000);
    m.Ch(5).Coeff = 1.2345678e-5f;
    m.Ch(5).Unit = 3;
#ifdef _WIN32
    const std::string a = dir.File("a.kmr");
#else
    const std::string a = dir.File("a \"quoted\".kmr");
#endif
    ASSERT_TRUE(WriteKmr(a, m, 1000, {std::vector<std::int16_t>(1000, 1), std::vector<std::int16_t>(1000, 2)}));
    std::string escaped;
    for (char c : a) escaped += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
    ASSERT_EQ(Run({"info", "--json", dir.File("missing.kmr"), a}), 1);
    const std::string json = out.str();
    for (const std::string& field : {"[\n  {\n    \"File\": \"" + escaped + "\",\n", std::string("\"Complete\": true,\n"),
                                     std::string("\"Coeff\": 1.234568E-05,\n"),
                                     std::string("\"UnitName\": \"\xC2\xB0" "C\",\n")})
        EXPECT_NE(json.find(field), std::string::npos) << field << " in\n" << json;
    EXPECT_EQ(json.substr(json.size() - 4), "}\n]\n");
    EXPECT_EQ(Run({"info", "--json", dir.File("missing.kmr")}), 1);
    EXPECT_EQ(out.str(), "[]\n");
    EXPECT_EQ(Run({"info", "--jsonx", a}), 2);
}

// A part that does not fit is a usage error and nothing is written; one that fits is cut.
TEST_F(KmrCli, ConvertCutsChannelsAndATimeRange) {
    const std::string a = MakeKmr("a.kmr", 100), b = MakeKmr("b.kmr", 100);  // 1 ms clock: sample i at i/1000 s
    std::filesystem::create_directory(dir.File("out"));
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--channels", "3"}, {"--channels", "2,5-6"}, {"--from", "0.5", "--to", "0.4"},
             {"--from", "0.1"},  // the last sample lies at 0.099 s
             {"--channels", "0"}, {"--channels"}, {"--from", "abc"}, {"--to", "nan"}, {"--from", "0x0"}, {"--format", "xml"},
             {"--compress"}}) {
        std::vector<std::string> all{"convert", "--out", dir.File("out")};
        all.insert(all.end(), args.begin(), args.end());
        all.insert(all.end(), {a, b});
        SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
        EXPECT_EQ(Run(all), 2);
        EXPECT_FALSE(err.str().empty());
        EXPECT_TRUE(std::filesystem::is_empty(dir.File("out")));
    }
    EXPECT_EQ(Run({"convert", "--out", dir.File("out"), "--channels", "3", a}), 2);
    EXPECT_EQ(err.str(), "kmr convert: " + a + ": channel 3 is not in the file (its channels: 2, 5).\n");
    // An option given last lacks its value, and says so.
    EXPECT_EQ(Run({"convert", a, "--format"}), 2);
    EXPECT_EQ(err.str(), "kmr convert: --format needs a value.\n");

    ASSERT_EQ(Run({"convert", "--channels", "5", "--from", "0.002", "--to=0.004", "--out", dir.File("out"), a}), 0)
        << err.str();
    EXPECT_EQ(out.str(), a + " -> " + dir.File("out/a.csv") + "\n");
    const std::string csv = ReadAll(dir.File("out/a.csv"));
    EXPECT_NE(csv.find("COND.,CH.005\r\n"), std::string::npos) << csv;
    EXPECT_EQ(csv.find("CH.002"), std::string::npos);
    const std::string data = csv.substr(csv.find("NO.,CH.005\r\n") + 12);
    EXPECT_EQ(data, "2               ,-7             \r\n3               ,-7             \r\n"
                    "4               ,-7             \r\n");
}

TEST_F(KmrCli, ConvertWritesHdf5WhereTheBuildHasIt) {
    const std::string a = MakeKmr("a.kmr", 100);
    if (!Hdf5ExportAvailable()) {
        EXPECT_EQ(Run({"convert", "--format", "hdf5", a}), 1);
        EXPECT_EQ(err.str(), "kmr convert: " + Text(Language::English, txt::Hdf5Unavailable) + "\n");
        EXPECT_FALSE(FileExistsOnDisk(dir.File("a.h5")));
        return;
    }
    // What is in the file, with --compress, --channels, --from, --to and --out, and the refusal
    // of an existing file: the h5py read-back (tests/python) and Hdf5Export.
    ASSERT_EQ(Run({"convert", "--format=hdf5", a}), 0) << err.str();
    EXPECT_EQ(out.str(), a + " -> " + dir.File("a.h5") + "\n");
}

// Standard output on a full device, or a closed pipe: each command that prints fails with exit
// status 1 and a message, not a signal; record after writing its file.
TEST(KmrProgram, RunsAsAProgramWithItsExitStatus) {
#ifdef _WIN32
    GTEST_SKIP() << "the check uses a POSIX shell, pipes and signals; the Windows run starts kmr.exe in its own checks";
#else
    const std::string kmr = kmr::testing::BuiltProgram("kmr");
    if (!std::filesystem::exists(kmr)) GTEST_SKIP() << "kmr not built";
    EXPECT_EQ(WEXITSTATUS(std::system((kmr + " --help > /dev/null").c_str())), 0);
    EXPECT_EQ(WEXITSTATUS(std::system((kmr + " convert /nonexistent/x.kmr 2> /dev/null").c_str())), 1);
    TempDir home;
    const std::string file = home.File("a.kmr");
    ASSERT_TRUE(WriteKmr(file, ConditionsWith({1}, 10), 10, {std::vector<std::int16_t>(10, 1)}));

    // `kmr info a.kmr | true` with the reader already gone: the write meets a closed pipe.
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    ::close(out[0]);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(out[1], 1);
        std::freopen(home.File("err.txt").c_str(), "w", stderr);
        ::execl(kmr.c_str(), kmr.c_str(), "info", file.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string message = ReadAll(home.File("err.txt"));
    EXPECT_NE(message.find("kmr: " + Text(Language::English, txt::CliStdoutFailed)), std::string::npos) << message;

    if (!std::filesystem::exists("/dev/full")) return;
    const std::string env = "HOME=" + home.folder() + " XDG_CONFIG_HOME=" + home.File("config") +
                            " XDG_DOCUMENTS_DIR=" + home.File("Documents") + " ";
    for (const std::string& args :
         {std::string("--help"), "info " + file, "convert " + file, std::string("record --interface sim:time=instant")}) {
        SCOPED_TRACE(args);
        EXPECT_EQ(WEXITSTATUS(std::system((env + kmr + " " + args + " > /dev/full 2> /dev/null").c_str())), 1);
    }
    EXPECT_TRUE(FileExistsOnDisk(home.File("a.csv")));  // the work was done; only its report failed
#endif
}

}  // namespace
}  // namespace kmr::cli
