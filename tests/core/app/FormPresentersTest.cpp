// What the settings forms share: an edit still in its box counts on OK; Cancel and the close box.
#include <gtest/gtest.h>

#include <map>
#include <tuple>
#include <utility>

#include "core/app/GraphCondPresenter.h"
#include "core/app/MeasCondPresenter.h"
#include "core/app/SetPathAndFilePresenter.h"
#include "support/EngineHarness.h"

namespace kmr {
namespace {

using testing::EngineHarness;
using BoxKey = std::pair<int, int>;

BoxKey Key(MeasFieldRef f) { return {static_cast<int>(f.field), f.channel}; }
BoxKey Key(GraphFieldRef f) { return {static_cast<int>(f.field), f.channel}; }
BoxKey Key(DataFileField f) { return {static_cast<int>(f), 0}; }

// The boxes show what the presenter put there until the test types into one.
template <typename Field, typename View>
struct FakeBoxes : View {
    std::optional<Field> BoxBeingEdited() const override { return editing; }
    std::string Typed(Field f) const override { return box.count(Key(f)) ? box.at(Key(f)) : std::string(); }
    void Type(Field f, const std::string& text, bool stillEditing = true) {
        box[Key(f)] = text;
        editing = stillEditing ? std::optional<Field>(f) : std::nullopt;
    }
    void Unload() override { log.push_back("unload"); }
    std::map<BoxKey, std::string> box;
    std::optional<Field> editing;
    std::vector<std::string> log;
};

struct MeasView : FakeBoxes<MeasFieldRef, MeasCondView> {
    void ShowBox(MeasFieldRef f, const std::string& t) override { box[Key(f)] = t; }
    void ShowClockScroll(int) override {}
    void ShowPreview(const std::string&, bool) override {}
    void ShowChoices(int, int averaging, bool offered) override { this->averaging = {averaging, offered}; }
    std::pair<int, bool> averaging{-1, false};  // the averaging list: its entry, whether it can be chosen
    void ShowChannel(int, const MeasChannelLook&) override {}
    void Hide() override { log.push_back("hide"); }
};

struct GraphView : FakeBoxes<GraphFieldRef, GraphCondView> {
    void ShowBox(GraphFieldRef f, const std::string& t) override { box[Key(f)] = t; }
    void ShowXAxis(const GraphXLook&) override {}
    void ShowChannel(int, const GraphChannelLook&) override {}
    void Disable() override { log.push_back("disable"); }
};

struct DataFileView : FakeBoxes<DataFileField, SetPathAndFileView> {
    void ShowFolder(const std::string&) override {}
    void ShowName(const std::string& n) override { box[Key(DataFileField::Name)] = n; }
    void ShowFileType(bool) override {}
    void ShowFiles(const std::vector<std::string>&) override {}
    void Disable() override { log.push_back("disable"); }
};

constexpr MeasFieldRef kLevel3{MeasField::DtgLevel, 3};
constexpr GraphFieldRef kPitch{GraphField::Xpich, 0};
constexpr GraphFieldRef kYMax1{GraphField::YscaleMax, 1};

struct FormPresenters : ::testing::Test {
    EngineHarness h;
    void SetUp() override { ASSERT_EQ(h.Start(), StartupOutcome::Online); }
    const std::vector<std::string> k158{Text(Language::English, txt::DiscardChangesQuestion)};
};

// A name refused with a message stops OK before its question; the box shows the name again. (The
// measurement and graph forms' OK entering the box still being edited: SettingsWindowTest.)
TEST_F(FormPresenters, OkWithARefusedNameStillBeingEditedStopsBeforeItsQuestion) {
    DataFileView dv;
    SetPathAndFilePresenter files(h.engine, dv);
    files.ShowAll();
    const std::string accepted = dv.Typed(DataFileField::Name);
    h.ui.shown.clear();
    // Too long, or looking numbered ("my_data" typed and OK pressed no longer closes the form
    // with the name dropped).
    for (const std::string& typed : {std::string(300, 'n'), std::string("my_data")}) {
        h.ui.shown.clear();
        dv.Type(DataFileField::Name, typed);
        files.Ok();
        ASSERT_EQ(h.ui.shown.size(), 1u);
        EXPECT_EQ(h.ui.shown[0].title, Text(Language::English, txt::SettingErrorTitle));
        EXPECT_EQ(dv.Typed(DataFileField::Name), accepted);
        EXPECT_TRUE(dv.log.empty());
    }
}

TEST_F(FormPresenters, TheCloseBoxKeepsTheTypedValueOfTheMeasurementFormAndCancelDoesNot) {
    MeasView v;
    MeasCondPresenter p(h.engine, v);
    p.ShowAll();
    p.BoxEntered(kLevel3);
    v.Type(kLevel3, "5", false);
    // Cancel leaves the typed level out: nothing changed, nothing asked.
    EXPECT_TRUE(p.MayClose(CloseBy::Cancel));
    EXPECT_TRUE(h.ui.shown.empty());
    h.ui.answers = {MsgAnswer::No};
    EXPECT_FALSE(p.MayClose(CloseBy::CloseBox));
    EXPECT_EQ(v.Typed(kLevel3), "+5");
    EXPECT_EQ(h.ui.Texts(), k158);
    // Now changed, Cancel asks too; Yes closes with the live conditions untouched.
    EXPECT_TRUE(p.MayClose(CloseBy::Cancel));
    EXPECT_EQ(h.ui.shown.size(), 2u);
    EXPECT_EQ(h.state.Meas.Ch(3).DtgLevel, 1000.0f);
}

// A coefficient entered shows its channel's level in whole counts of it at once.
TEST_F(FormPresenters, ACoefficientEnteredShowsItsChannelsLevelAgain) {
    MeasView v;
    MeasCondPresenter p(h.engine, v);
    p.ShowAll();
    const MeasFieldRef coeff3{MeasField::Coeff, 3};
    v.Type(coeff3, "0.3");
    p.EnterBox(coeff3);
    EXPECT_EQ(v.Typed(coeff3), "+3.000000E-01");
    EXPECT_EQ(v.Typed(kLevel3), "+999.9");
}

// The instrument does not average at clocks under 1 ms, and OK stores no averaging there: the list
// shows OFF and cannot be chosen, so that an averaging picked is not dropped without a word. The
// averaging chosen before comes back with a slower clock.
TEST_F(FormPresenters, TheAveragingListShowsOffAndIsClosedAtClocksUnderOneMillisecond) {
    MeasView v;
    MeasCondPresenter p(h.engine, v);
    p.ShowAll();
    p.Edit().SetAveraging(4);
    p.ClockScrolled(ScrollPositionOfClock(0.5f));
    EXPECT_EQ(v.averaging, (std::pair{0, false}));
    p.ClockScrolled(ScrollPositionOfClock(2.0f));
    EXPECT_EQ(v.averaging, (std::pair{4, true}));
    const MeasFieldRef clock{MeasField::Clock, 0};
    for (const auto& [typed, shown] : {std::tuple{"0.9", std::pair{0, false}}, std::tuple{"1", std::pair{4, true}}}) {
        v.Type(clock, typed);
        p.EnterBox(clock);
        EXPECT_EQ(v.averaging, shown) << typed;
    }
}

// (The maximum shown as entered and the question's text: SettingsWindowTest.graphCondCloseBox...)
TEST_F(FormPresenters, TheGraphFormsCloseBoxKeepsTheTypedValueOfTheBoxClickedLastThePitchToo) {
    GraphView v;
    GraphCondPresenter p(h.engine, v);
    p.ShowAll();
    p.BoxEntered(kYMax1);
    p.BoxEntered(kPitch);
    v.Type(kYMax1, "+25", false);
    v.Type(kPitch, "2", false);
    // Only the pitch typed: it counts, so the question comes before it is lost.
    h.ui.answers = {MsgAnswer::No};
    EXPECT_FALSE(p.MayClose(CloseBy::CloseBox));
    EXPECT_EQ(h.ui.Texts(), k158);
    EXPECT_EQ(p.Form().Working().X.Xpich, 2);
    EXPECT_EQ(p.Form().Working().Ch[0].YscaleMax, 10.0);
    p.BoxEntered(kYMax1);
    h.ui.answers = {MsgAnswer::No};
    EXPECT_FALSE(p.MayClose(CloseBy::CloseBox));
    EXPECT_EQ(p.Form().Working().Ch[0].YscaleMax, 25.0);
}

TEST_F(FormPresenters, TheDataFileFormAsksOnTheCloseBoxOnlyAndCancelDiscards) {
    DataFileView v;
    SetPathAndFilePresenter p(h.engine, v);
    p.ShowAll();
    EXPECT_TRUE(p.MayClose(CloseBy::CloseBox));  // nothing changed
    p.FolderChosen(h.state.DefaultDataFolder() + "elsewhere/");
    h.ui.answers = {MsgAnswer::No};
    EXPECT_FALSE(p.MayClose(CloseBy::CloseBox));
    EXPECT_EQ(h.ui.Texts(), k158);
    EXPECT_TRUE(p.MayClose(CloseBy::Cancel));
    EXPECT_EQ(h.ui.shown.size(), 1u);
}

// A name typed and closed away with the close box, the focus still in its box, is asked about;
// Cancel drops it without a word, and a name refused with a message keeps the form open.
TEST_F(FormPresenters, TheDataFileFormsCloseBoxTakesTheNameStillBeingTyped) {
    DataFileView v;
    SetPathAndFilePresenter p(h.engine, v);
    p.ShowAll();
    v.Type(DataFileField::Name, "newname");
    EXPECT_TRUE(p.MayClose(CloseBy::Cancel));
    EXPECT_TRUE(h.ui.shown.empty());
    h.ui.answers = {MsgAnswer::No};
    EXPECT_FALSE(p.MayClose(CloseBy::CloseBox));
    EXPECT_EQ(h.ui.Texts(), k158);
    EXPECT_EQ(v.Typed(DataFileField::Name), "newname.kmr");
    EXPECT_EQ(p.Form().BaseName(), "newname");
    EXPECT_EQ(h.state.Global.BaseFileName, "20261205");  // nothing registered

    DataFileView w;
    SetPathAndFilePresenter q(h.engine, w);
    q.ShowAll();
    h.ui.shown.clear();
    w.Type(DataFileField::Name, std::string(300, 'n'));
    EXPECT_FALSE(q.MayClose(CloseBy::CloseBox));
    ASSERT_EQ(h.ui.shown.size(), 1u);
    EXPECT_EQ(h.ui.shown[0].title, Text(Language::English, txt::SettingErrorTitle));
}

}  // namespace
}  // namespace kmr
