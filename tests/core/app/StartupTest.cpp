#include "core/app/Startup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>

#include "support/EngineHarness.h"

namespace kmr {
namespace {

using testing::EngineHarness;
using testing::ReadAll;

// --- Decimal-symbol check ------------------------------------------------------------------------

TEST(DecimalSymbolCheck, AConversionThatRefusesThePointShowsTheMessageAndEnds) {
    testing::FakeUi ui;
    const DecimalConversion commaLocale = [](std::string_view) -> std::optional<float> { return std::nullopt; };
    EXPECT_TRUE(DecimalSymbolUnusable(1, ui, commaLocale));
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{DecimalSymbolMessage(1)});
}

// --- Geometry ------------------------------------------------------------------------------------

// The zero size, or no size at all (beyond any window included), gets the default, normal; larger both ways opens maximised;
// larger one way is cut to the work area that way (a bigger monitor's window comes whole onto a
// smaller one, its caption on the screen); smaller than the window can be takes the least it can; a
// fractional size is rounded to whole twips (halves to even) before the division.
TEST(GeometryCorrection, CorrectsSizeAndCentres) {
    // Work area 1000 x 700 pixels, screen 1000 x 740, 15 twips to the pixel; the window at least
    // 480 x 300 pixels.
    const ScreenArea screen{15000, 10500, 15000, 11100, 7200, 4500};
    const std::pair<MainFormGeometry, MainFormGeometry> cases[] = {
        {{0, 0, 0, 0, 0}, {2160, 2910, 10680, 5280, 0}},
        {{0, 0, -60000, -60000, 2}, {2160, 2910, 10680, 5280, 0}},
        {{0, 0, 10680, -60000, 0}, {2160, 2910, 10680, 5280, 0}},
        {{0, 0, 1e30f, 6000, 2}, {2160, 2910, 10680, 5280, 0}},
        {{0, 0, 8000, std::numeric_limits<float>::infinity(), 0}, {2160, 2910, 10680, 5280, 0}},
        {{0, 0, 15, 15, 0}, {3900, 3300, 7200, 4500, 0}},
        {{5, 5, 20000, 12000, 0}, {2160, 2910, 10680, 5280, 2}},
        {{100, 100, 20000, 6000, 0}, {0, 2550, 15000, 6000, 0}},
        {{100, 100, 9000, 16000, 0}, {3000, 0, 9000, 10500, 0}},
        {{0, 0, 10000.5f, 5000.5f, 1}, {2500, 3050, 10000.5f, 5000.5f, 1}}};
    for (const auto& [stored, expected] : cases) EXPECT_EQ(CorrectMainFormGeometry(stored, screen), expected);

    // A 1366 x 768 laptop with a 27-pixel panel at the top and a 40-pixel task bar at the bottom;
    // the frame adds 8 x 31 pixels. A window from a taller monitor is cut so that it fits with its
    // frame and opens just under the panel; one the user had stretched almost to the screen's
    // height is raised off the task bar; a window that fits stays centred.
    ScreenArea laptop{20490, 10515, 20490, 11520, 7200, 4500};
    laptop.WorkTop = 405;
    laptop.FrameWidth = 120;
    laptop.FrameHeight = 465;
    const std::pair<MainFormGeometry, MainFormGeometry> onLaptop[] = {
        {{-30000, 40000, 15000, 16000, 0}, {2745, 405, 15000, 10050, 0}},
        {{0, 0, 12000, 10000, 0}, {4245, 455, 12000, 10000, 0}},
        {{0, 0, 10680, 5700, 0}, {4905, 2910, 10680, 5700, 0}}};
    for (const auto& [stored, expected] : onLaptop) {
        const MainFormGeometry g = CorrectMainFormGeometry(stored, laptop);
        EXPECT_EQ(g, expected);
        EXPECT_GE(g.Top, laptop.WorkTop);
        EXPECT_LE(g.Top + g.Height + laptop.FrameHeight, laptop.WorkTop + laptop.WorkHeight);
    }
}

// --- Small rules ---------------------------------------------------------------------------------

// (The whole text with the default address: StartupFailure.)
TEST(OfflineOffer, TextNamesAddressAndDelimiter) {
    const GpibSettings cr{.Address = 7, .Delimiter = 1};
    EXPECT_EQ(OfflineOfferText(Language::English, cr).substr(0, 48), "KMR-530A/KMR-510C (GP-IB Address:7 Delimiter:CR)");
}

// (Asked otherwise, a No keeping the window: FaultWindowTest.returnAndSpaceAnswerTheDefaultOfEveryQuestion.)
TEST(CloseRequest, NeverAskedWhileStartingOrEndingRefusedWithAWordDuringARun) {
    ProgramState s;
    testing::FakeUi ui;
    EXPECT_TRUE(CloseRequestAllowed(s, ui));
    EXPECT_TRUE(ui.shown.empty());

    s.ProgramMode = kModeOnline;
    s.DataTriggerRunActive = kTrue;
    EXPECT_FALSE(CloseRequestAllowed(s, ui));  // refused with a word: why the window stays
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{"A measurement is running. Stop it before you quit."});
    EXPECT_EQ(ui.shown[0].buttons, MsgButtons::Ok);
    // Held behind the system's end, which follows and does it all: refused without a word.
    s.EndAsked = true;
    s.DataTriggerRunActive = kFalse;
    EXPECT_FALSE(CloseRequestAllowed(s, ui));
    EXPECT_EQ(ui.shown.size(), 1u);
}

// --- The whole start-up against the simulated instrument ----------------------------------------

std::vector<std::string> ExpectedStartupCommands() {
    std::vector<std::string> c = {"SET1", "B.V3", "VER", "MRY  507904", "SET1;10", "RES",  // identify
                                  "SET1", "DTE26;12;05", "TME10;00;00"};                     // initialise
    for (int n = 1; n <= 10; ++n) c.insert(c.end(), {"RES", "SET" + std::to_string(n), "B.V2", "LPF0", "TGL0"});
    c.push_back("RES");
    for (int n = 1; n <= 10; ++n) c.push_back("SET" + std::to_string(n));
    for (const char* s : {"CLK 1", "AVE 0", "MRY 1000", "MRY -0", "RNG1000", "MON"}) c.push_back(s);
    return c;
}

TEST(Startup, FromEmptyFoldersCreatesEveryConditionFileBringsTheInstrumentUpAndUnloads) {
    EngineHarness h;
    EXPECT_EQ(h.Start(), StartupOutcome::Online);
    const ProgramState& s = h.state;
    EXPECT_TRUE(h.ui.shown.empty());

    // Every condition file is made (its default text: the condition-file table); the data folder
    // is the one start-up chose.
    for (const char* f :
         {"Meas.cnd", "Global.cnd", "Meter.cnd", "Hard.cnd", "Interface.cnd", "Graph.cnd", "OutputCal.cnd"})
        EXPECT_TRUE(std::filesystem::is_regular_file(h.CondFile(f))) << f;
#ifdef _WIN32
    const std::string dataFolder = h.Options("sim").folders.DocumentsFolder + "Data\\";
#else
    const std::string dataFolder = std::string(std::getenv("XDG_DOCUMENTS_DIR")) + "/KMR-5300/Data/";
#endif
    EXPECT_EQ(s.Global.DataFolder, dataFolder);
    EXPECT_EQ(ReadAll(h.CondFile("Global.cnd")), "\"" + dataFolder + "\"\r\n\"20261205\"\r\n0\r\n\"" + dataFolder +
                                                     "\"\r\n\"" + dataFolder + "\"\r\n");

    // The wire texts, in order (their CR LF: CommandTransportTest).
    EXPECT_EQ(h.bus->Commands(), ExpectedStartupCommands());
    EXPECT_EQ(h.bus->log.front(), "open 13");

    // Splash: 17 steps for ten channels, completed and unloaded; main window prepared.
    EXPECT_EQ(h.splashView.status, "Program has got ready.");
    EXPECT_EQ(h.splashView.value, 17);
    EXPECT_EQ(h.splashView.maximum, 17);
    EXPECT_FALSE(h.splashView.shown);
    EXPECT_EQ(h.main.caption, "KMR-5300 - 20261205.kmr(Next data file)");
    EXPECT_EQ(h.clock.slept, 1.0);
    EXPECT_EQ(h.ui.pointer, Pointer::Default);
    EXPECT_EQ(s.Instrument.InstrumentModel, 1);

    // Unloading stops monitoring and closes the device on-line (the geometry it stores:
    // MainWindowTest.maximisedCloseStoresTheNormalSizeWithState2).
    h.state.MonitoringOn = kTrue;
    UnloadMainWindow(h.engine, [](const MainFormGeometry&) {});
    EXPECT_EQ(h.state.MonitoringOn, kFalse);
    EXPECT_FALSE(h.main.moniTimer);
    EXPECT_EQ(h.bus->log.back(), "offline");
}

TEST(Startup, ReconcilesHardCndWithTheInstalledChannelsAndAKmr530AGetsTheTwoVoltBridge) {
    EngineHarness h;
    ASSERT_EQ(h.Start("sim:time=instant,channels=0011111111"), StartupOutcome::Online);
    EXPECT_EQ(ReadAll(h.CondFile("Hard.cnd")), "\"0011111111\"\r\n");
    EXPECT_EQ(h.state.Meas.Ch(1).OnOff, 0);
    EXPECT_EQ(h.state.Meas.Ch(2).OnOff, 0);
    EXPECT_EQ(h.state.Meas.Ch(3).OnOff, 1);
    EXPECT_EQ(h.state.Meas.ChannelCount, 8);
    EXPECT_EQ(h.state.Graph.Ch[2].Use, 1);
    EXPECT_EQ(h.splashView.maximum, 15);
    EXPECT_EQ(ReadAll(h.CondFile("Meas.cnd")), MeasConditionsText(h.state.Meas));  // channels 1 and 2 saved off

    // A second start with the same channels leaves the files untouched by reconciliation; a
    // KMR-530A gets the two-volt bridge instead of five volt, for this start only.
    h.state.Meas.Ch(4).InputMode = 3;
    h.state.Meas.Ch(5).InputMode = -6;
    h.state.Meas.Ch(6).InputMode = -5;
    ASSERT_TRUE(SaveMeasConditions(h.CondFile("Meas.cnd"), h.state.Meas, nullptr).ok);
    const auto older = std::filesystem::last_write_time(h.CondFile("Graph.cnd")) - std::chrono::hours(1);
    std::filesystem::last_write_time(h.CondFile("Graph.cnd"), older);
    ProgramState second;
    ASSERT_EQ(h.StartAgain(second, "sim:time=instant,channels=0011111111,model=530A"), StartupOutcome::Online);
    EXPECT_EQ(std::filesystem::last_write_time(h.CondFile("Graph.cnd")), older);
    EXPECT_EQ(second.Meas.Ch(1).OnOff, 0);
    EXPECT_EQ(second.Meas.Ch(4).InputMode, 2);
    EXPECT_EQ(second.Meas.Ch(5).InputMode, 2);
    EXPECT_EQ(second.Meas.Ch(6).InputMode, -5);
    EXPECT_TRUE(h.ui.shown.empty());
    // The two-volt bridge of this start is not saved.
    EXPECT_EQ(ReadAll(h.CondFile("Meas.cnd")), MeasConditionsText(h.state.Meas));

    // Meas.cnd lost: its defaults measure every channel, the two the instrument lacks are kept off.
    std::filesystem::remove(h.CondFile("Meas.cnd"));
    ProgramState third;
    ASSERT_EQ(h.StartAgain(third, "sim:time=instant,channels=0011111111"), StartupOutcome::Online);
    EXPECT_EQ(third.Meas.MeasuredChannels, (std::vector<int>{3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(ReadAll(h.CondFile("Meas.cnd")), MeasConditionsText(third.Meas));
}

TEST(Startup, ASecondStartRepairsTheFolderDropsCsvAbove65000WordsAndNumbersAfterTheFilesPresent) {
    EngineHarness h;
    ASSERT_EQ(h.Start(), StartupOutcome::Online);
    testing::WriteAll(h.DataFolder() + "20261205.kmr", "x");
    h.state.Meas.MemoryWords = 70000;
    ASSERT_TRUE(SaveMeasConditions(h.CondFile("Meas.cnd"), h.state.Meas, nullptr).ok);
    GlobalSettings g = h.state.Global;
    g.FileType = 1;
    g.DataFolder = h.home.dir() / "gone/";
    ASSERT_TRUE(SaveGlobalSettings(h.CondFile("Global.cnd"), g, nullptr).ok);

    ProgramState second;
    h.ui.shown.clear();
    ASSERT_EQ(h.StartAgain(second), StartupOutcome::Online);
    EXPECT_EQ(second.Global.FileType, 0);
    EXPECT_EQ(second.Global.DataFolder, second.DefaultDataFolder());
    // Said once, naming both folders.
    EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{"The data folder " + g.DataFolder + " cannot be used (is its "
                                                     "drive attached?): data files now go to " +
                                                     second.DefaultDataFolder() + ". Choose the folder again "
                                                     "in Data File Settings when it is back."});
    EXPECT_EQ(h.main.caption, "KMR-5300 - 20261205_1.kmr(Next data file)");  // today's name, numbered
    GlobalSettings stored;
    LoadGlobalSettings(h.CondFile(kGlobalCnd), stored, nullptr);
    EXPECT_EQ(stored.DataFolder, second.DefaultDataFolder());
    EXPECT_EQ(stored.FileType, 1);  // the CSV rule is not saved
}

// A cancelled CSV transfer's "_incomplete" file holds its number: the next file named is the one
// the transfer will write.
TEST(Startup, TheNextFileNamedIsTheOneTheTransferTakesPastAnIncompleteCsv) {
    EngineHarness h;
    ASSERT_EQ(h.Start(), StartupOutcome::Online);
    testing::WriteAll(h.DataFolder() + "20261205.csv", "x");
    testing::WriteAll(h.DataFolder() + "20261205_1_incomplete.csv", "x");
    GlobalSettings g = h.state.Global;
    g.FileType = 1;
    ASSERT_TRUE(SaveGlobalSettings(h.CondFile("Global.cnd"), g, nullptr).ok);
    ProgramState second;
    ASSERT_EQ(h.StartAgain(second), StartupOutcome::Online);
    EXPECT_EQ(h.main.caption, "KMR-5300 - 20261205_2.csv(Next data file)");
}

// A communication failure at each instrument step of start-up (opening, identifying, its first
// command, initialising, the download, a route that cannot be made) leads to the off-line offer
// (a No abandons: FaultWindowTest.returnAnswersNoInTheOfflineOffer).
TEST(StartupFailure, AtEachStepOffersOfflineWorkAndYesGoesOnWithoutTheInstrument) {
    for (const char* spec : {"sim:time=instant,fault=open:nolistener", "sim:time=instant,fault=VER:noreply",
                             "sim:time=instant,fault=SET1:noreply:1", "sim:time=instant,fault=DTE*:noreply",
                             "sim:time=instant,fault=LPF0:noreply", "sim:time=instant,fault=B.V3:noreply:1",
                             "sim:colour=blue"}) {
        SCOPED_TRACE(spec);
        EngineHarness h;
        EXPECT_EQ(h.Start(spec), StartupOutcome::Offline);
        ASSERT_GE(h.ui.shown.size(), 2u);
        // The failing step's own message comes first, then the question.
        EXPECT_EQ(h.ui.shown.front().title, "GP-IB error");
        const auto& offer = h.ui.shown.back();
        EXPECT_EQ(offer.text, "KMR-530A/KMR-510C (GP-IB Address:20 Delimiter:CR/LF) fixed.\r\n"
                              "Do you want to continue program at off-line PC.");
        EXPECT_EQ(offer.buttons, MsgButtons::YesNo);
        EXPECT_EQ(offer.icon, MsgIcon::Question);
        EXPECT_FALSE(h.splashView.shown);
        EXPECT_EQ(h.state.ProgramMode, kModeOffline);
        EXPECT_EQ(h.main.caption, "KMR-5300");
        for (MainButton b : {MainButton::StartStop, MainButton::Monitor, MainButton::Balance})
            EXPECT_FALSE(h.main.Enabled(b));
    }
    // Asked to end while it starts (a logout), the program tries the silent instrument once and
    // ends after the failure's one message: nobody is there to answer the offer.
    EngineHarness h;
    AskToEnd(h.engine);
    EXPECT_EQ(h.Start("sim:time=instant,fault=VER:noreply"), StartupOutcome::Exit);
    const std::vector<std::string> sent = h.bus->Commands();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "VER"), 1);
    ASSERT_EQ(h.ui.shown.size(), 1u);
    EXPECT_EQ(h.ui.shown[0].title, "GP-IB error");
}

// Two programs of one computer (the window and `kmr record`) commanding one instrument would spoil
// each other's runs: the second is kept off until the first lets go, by ending or by going off-line.
TEST(Startup, ASecondProgramOnTheSameRouteIsKeptOffUntilTheFirstLetsGo) {
    EngineHarness h;
    h.sharedRoute = true;
    ASSERT_EQ(h.Start("sim:time=instant"), StartupOutcome::Online);
    ProgramState second;
    h.ui.shown.clear();
    h.ui.answers = {MsgAnswer::Ok, MsgAnswer::No};
    EXPECT_EQ(h.StartAgain(second), StartupOutcome::Exit);
    ASSERT_EQ(h.ui.shown.size(), 2u);
    EXPECT_EQ(h.ui.shown[0].title, "GP-IB error");
    EXPECT_NE(h.ui.shown[0].text.find("The instrument at GP-IB address 20 (route sim:time=instant) is in use by "
                                      "another program of this computer"),
              std::string::npos)
        << h.ui.shown[0].text;
    // What an outside program meets while the first holds it; another route is not kept off.
    FileLock outside;
    EXPECT_EQ(outside.Take(InstrumentLockPath(h.state, "sim:time=instant")), FileLock::kHeldElsewhere);
    EXPECT_EQ(outside.Take(InstrumentLockPath(h.state, "sim:time=instant,pattern=ramp")), 0);
    // The first goes: the instrument is free.
    h.engine.link = InstrumentLink{};
    EXPECT_EQ(outside.Take(InstrumentLockPath(h.state, "sim:time=instant")), 0);
    outside.Release();
    // A program that goes off-line after a failed identification lets go too.
    ProgramState third;
    h.ui.answers = {MsgAnswer::Ok, MsgAnswer::Yes};
    Engine e3{third, h.ui, h.main, h.splashView, h.progress, h.clock};
    EXPECT_EQ(RunStartup(e3, h.Options("sim:time=instant,fault=VER:noreply")), StartupOutcome::Offline);
    EXPECT_EQ(outside.Take(InstrumentLockPath(third, "sim:time=instant,fault=VER:noreply")), 0);
}

// Refusals that working off-line would not cure: start-up ends after the one message (its text
// and title: RouteFaults), asking nothing.
TEST(Startup, RefusedRemoteSensingOrNoChannelAbandonsWithoutAQuestion) {
    for (const char* fault : {"SET1:ERR-022:1", "nochannel"}) {
        EngineHarness h;
        EXPECT_EQ(h.Start(std::string("sim:time=instant,fault=") + fault), StartupOutcome::Exit);
        EXPECT_EQ(h.ui.shown.size(), 1u);
        EXPECT_FALSE(h.splashView.shown);
        EXPECT_EQ(h.ui.pointer, Pointer::Default);
    }
}

}  // namespace
}  // namespace kmr
