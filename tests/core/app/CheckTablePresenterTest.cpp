#include "core/app/CheckTablePresenter.h"

#include <gtest/gtest.h>

#include "core/measurement/InstrumentToolsFixture.h"

namespace kmr {
namespace {

class RecordingCheckView : public CheckTableView {
public:
    explicit RecordingCheckView(std::vector<std::string>& log) : log_(log) {}
    void ShowCell(std::size_t row, int channel, const CheckCell& cell) override {
        std::string& shown = cells[row][static_cast<std::size_t>(channel - 1)];
        if (ui != nullptr && shown != cell.text) messagesBeforeCell[row] = ui->shown.size();
        shown = cell.text;
    }
    void SetTicked(std::size_t row, bool on) override {
        if (ui != nullptr && ticked[row] != on) messagesBeforeTick[row] = ui->shown.size();
        ticked[row] = on;
    }
    void SetExecuteEnabled(bool on) override { executeEnabled = on; }
    void SetInputEnabled(bool on) override { log_.push_back(on ? "input on" : "input off"); }
    void ShowComment(const std::string& l1, const std::string& l2) override { comment = {l1, l2}; }

    std::array<std::array<std::string, kChannels>, kCheckRows> cells{};
    std::array<bool, kCheckRows> ticked{};
    bool executeEnabled = true;
    std::pair<std::string, std::string> comment;
    // When set: how many message boxes had been shown when a row last changed on screen.
    const testing::FakeUi* ui = nullptr;
    std::array<std::size_t, kCheckRows> messagesBeforeCell{};
    std::array<std::size_t, kCheckRows> messagesBeforeTick{};

private:
    std::vector<std::string>& log_;
};

using CheckTablePresenterTest = testing::InstrumentToolsTest;

TEST_F(CheckTablePresenterTest, ACheckOnAConnectionThatCouldNotBeOpenedOpensItAndGivesTheConditionsFirst) {
    StartWith({{1, 2}});
    RecordingCheckView view(h.bus->log);
    CheckTablePresenter check(h.engine, view);
    Transport().Connection().CloseGpibDevice();  // as when the window's open failed
    h.bus->log.clear();
    check.Tick(0, true);
    check.Execute();
    // Opened, the setting mode, the date and the conditions given again (the instrument may have
    // restarted), then the check.
    EXPECT_EQ(h.bus->log, (std::vector<std::string>{"input off", "open 14", "open 14", "w:SET1", "w:DTE26;12;05", "w:TME10;00;00",
                                                    "w:RES", "w:SET1", "w:B.V2", "w:LPF0", "w:TGL0", "w:RES", "w:SET1",
                                                    "w:CLK 1", "w:AVE 0", "w:MRY 1000", "w:MRY -0", "w:RNG1000",
                                                    "w:MON", "w:CHK0", "input on"}));
    EXPECT_TRUE(Transport().Connection().IsConnected());
    EXPECT_EQ(view.cells[0][0], "OK");
    EXPECT_TRUE(h.ui.shown.empty());
}

// A Cancel while the owed conditions are sent, before the first check: said as a cancel, no check
// reaches the wire and the row stays ticked.
TEST_F(CheckTablePresenterTest, ACancelWhileTheConditionsAreSentIsSaidAsACancel) {
    StartWith({{1, 2}});
    RecordingCheckView view(h.bus->log);
    CheckTablePresenter check(h.engine, view);
    h.state.ConditionsUnsent = true;
    h.simBus->Instrument().AddFault({"LPF*", sim::FaultKind::NoReply, {}, 1});
    Transport().beforeRepeat = [this] { Transport().stopRequested = true; };  // Cancel in the wait notice
    check.Tick(0, true);
    h.bus->log.clear();
    check.Execute();
    Transport().stopRequested = false;
    const auto sent = h.bus->Commands();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), "LPF0");
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "LPF0"), 1);
    ASSERT_EQ(h.ui.shown.size(), 1u);
    EXPECT_EQ(h.ui.shown[0].title, "Caution");
    EXPECT_EQ(h.ui.shown[0].text, "The check was cancelled: no check was made.");
    EXPECT_TRUE(view.ticked[0]);
    EXPECT_TRUE(view.executeEnabled);
    EXPECT_TRUE(h.state.ConditionsUnsent);
}

TEST_F(CheckTablePresenterTest, ExecuteRunsTheTickedChecksWithTheInputHeldUnderTheLongTimeout) {
    StartWith({{1, 2}});
    RecordingCheckView view(h.bus->log);
    {
        CheckTablePresenter check(h.engine, view);
        EXPECT_EQ(Transport().Connection().TimeoutCode(), kT30s);
        EXPECT_EQ(h.bus->log, (std::vector<std::string>{"offline", "open 14", "open 14"}));
        check.Opened();
        EXPECT_FALSE(view.executeEnabled);
        EXPECT_EQ(view.cells[5][0], "----");
        check.Tick(5, true);
        check.Tick(2, true);
        EXPECT_TRUE(view.executeEnabled);
        h.bus->log.clear();
        check.Execute();
        EXPECT_EQ(h.bus->log, (std::vector<std::string>{"input off", "w:CHK2", "w:CHK5", "input on"}));
        EXPECT_NE(view.cells[5][0], "----");
        EXPECT_EQ(view.ticked, (std::array<bool, kCheckRows>{}));
        EXPECT_FALSE(view.executeEnabled);
        check.Pointed(3);
        EXPECT_EQ(view.comment, std::make_pair(Text(Language::English, txt::CheckCommentAutobalance), std::string()));
        h.bus->log.clear();
        check.Closed();
        EXPECT_EQ(Transport().Connection().TimeoutCode(), kT10s);
    }
    // Closed and then gone: the connection was reopened once.
    EXPECT_EQ(h.bus->log, (std::vector<std::string>{"offline", "open 13", "open 13"}));
}

TEST_F(CheckTablePresenterTest, EachCheckIsDrawnAndUntickedAsItEndsBeforeTheFailureIsSaid) {
    StartWith({{1, 2}});
    RecordingCheckView view(h.bus->log);
    view.ui = &h.ui;
    CheckTablePresenter check(h.engine, view);
    check.Opened();
    check.Tick(0, true);
    check.Execute();
    ASSERT_EQ(view.cells[0][0], "OK");
    // The ROM check again, now answered short, then RAM: the message that names CHK0 comes with
    // its row emptied (not the OK of the run before) and both rows unticked.
    h.simBus->Instrument().AddFault({"CHK0", sim::FaultKind::ShortReply, "", 0});
    check.Tick(0, true);
    check.Tick(1, true);
    check.Execute();
    ASSERT_EQ(h.ui.shown.size(), 1u);
    EXPECT_NE(h.ui.shown[0].text.find("CHK0"), std::string::npos);
    EXPECT_EQ(view.cells[0][0], "----");
    EXPECT_EQ(view.cells[1][0], "OK");
    for (std::size_t row : {0u, 1u}) {
        EXPECT_FALSE(view.ticked[row]);
        EXPECT_EQ(view.messagesBeforeCell[row], 0u) << "row " << row << " drawn only after the message";
        EXPECT_EQ(view.messagesBeforeTick[row], 0u) << "row " << row << " unticked only after the message";
    }
}

}  // namespace
}  // namespace kmr
