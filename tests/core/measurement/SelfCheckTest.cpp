#include "core/measurement/SelfCheck.h"
#include "core/support/TextTable.h"

#include <gtest/gtest.h>

#include "InstrumentToolsFixture.h"

namespace kmr {
namespace {

using testing::InstrumentToolsTest;

struct CellCase {
    int code;
    const char* field;
    int inputMode;
    CheckCell expected;
};

// (Which fields are numbers: MonitorDataTest.FieldsAreSixteenBitDecimalsOrInvalid.)
TEST(CheckCellTest, ResultTextAndColour) {
    const CellCase cases[] = {
        {0, "ROM--OK", 2, {"OK", CheckColour::Blue}}, {0, "ROM-ERR", 2, {"ERR", CheckColour::Red}},
        {0, "RAM--OK", 2, {"----", CheckColour::ButtonText}}, {0, "", 2, {"----", CheckColour::ButtonText}},
        {1, "RAM--OK", 2, {"OK", CheckColour::Blue}}, {1, "RAM-ERR", 2, {"ERR", CheckColour::Red}},
        {2, "ERR-011", 0, {"VOLT", CheckColour::ButtonText}}, {2, "+000123", 2, {"123", CheckColour::ButtonText}},
        {3, "-000045", 2, {"-45", CheckColour::ButtonText}}, {4, "+0A0045", 2, {"----", CheckColour::ButtonText}},
        {5, "+003015", 2, {"3015", CheckColour::Blue}}, {5, "+003016", 2, {"3016", CheckColour::Red}},
        {5, "+002985", 2, {"2985", CheckColour::Blue}}, {5, "+002984", 2, {"2984", CheckColour::Red}},
        {5, "+003016", 3, {"3016", CheckColour::Black}}, {5, "+000001", -6, {"1", CheckColour::Black}},
        {5, "+000754", 1, {"754", CheckColour::Blue}}, {5, "+007541", -4, {"7541", CheckColour::Red}},
        {5, "+030150", -5, {"30150", CheckColour::Blue}}, {5, "ERR-011", 0, {"VOLT", CheckColour::ButtonText}},
    };
    for (const CellCase& c : cases)
        EXPECT_EQ(CheckResultCell(c.code, c.field, c.inputMode), c.expected) << c.code << " " << c.field;
}

class SelfCheckTest : public InstrumentToolsTest {
protected:
    void Tick(std::initializer_list<int> codes) {
        for (int code : codes)
            for (std::size_t row = 0; row < kCheckRows; ++row)
                if (kCheckTable[row].code == code) check->SetTicked(row, true);
    }
    std::unique_ptr<SelfCheck> check;
};

TEST_F(SelfCheckTest, ChecksRunInTableOrderAndAreUntickedAfterwards) {
    StartWith({{2, 2}, {4, 0}});
    check = std::make_unique<SelfCheck>(Transport(), h.state.Meas);
    EXPECT_FALSE(check->AnyTicked());
    Tick({3, 4, 5, 2});
    EXPECT_TRUE(check->AnyTicked());
    check->Execute();
    EXPECT_EQ(Commands(), (std::vector<std::string>{"CHK2", "CHK4", "CHK3", "CHK5"}));
    EXPECT_FALSE(check->AnyTicked());
    EXPECT_TRUE(h.ui.shown.empty());
    EXPECT_EQ(check->Cell(2, 4).text, "VOLT");        // insulation of the voltage channel
    EXPECT_EQ(check->Cell(5, 2).colour, CheckColour::Blue);  // the simulator passes sensitivity
    EXPECT_EQ(check->Cell(5, 1).text, "----");        // channel 1 is not measured
    EXPECT_NE(check->Cell(3, 2).text, "----");  // a reply of the right length is taken
}

TEST_F(SelfCheckTest, WrongLengthEmptiesThatCheckAndTheNextStillRun) {
    // The first insulation reply comes back cut short (half its bytes, no line end): the
    // instrument answered, so only that check fails and the sensitivity check after it runs.
    StartWith({{1, 2}, {2, 2}}, "sim:time=instant,fault=CHK2:short:1");
    check = std::make_unique<SelfCheck>(Transport(), h.state.Meas);
    Tick({0, 2, 5});
    check->Execute();
    EXPECT_EQ(Commands(), (std::vector<std::string>{"CHK0", "CHK2", "CHK5"}));
    ASSERT_EQ(check->Cell(2, 1).text, "----");
    EXPECT_EQ(check->Result(2, 1), "");
    EXPECT_EQ(check->Cell(0, 2), (CheckCell{"OK", CheckColour::Blue}));
    EXPECT_EQ(check->Cell(5, 2).colour, CheckColour::Blue);
    ASSERT_EQ(h.ui.Texts(), std::vector<std::string>{TextWith(Language::English, txt::LostDuringCheck, {"CHK2"})});
    EXPECT_EQ(h.ui.shown[0].title, "GP-IB error");
    // The same check again fills the row and the previous results go.
    Tick({2, 5});
    check->Execute();
    EXPECT_EQ(Commands(), (std::vector<std::string>{"CHK0", "CHK2", "CHK5", "CHK2", "CHK5"}));
    EXPECT_NE(check->Cell(2, 1).text, "----");
}

TEST_F(SelfCheckTest, EveryCheckAnsweredWronglyIsNamedInTheOneMessageAndTheNextStillRun) {
    StartWith({{1, 2}, {2, 2}}, "sim:time=instant,fault=CHK2:ERR-001:1+CHK1:ERR-001");
    check = std::make_unique<SelfCheck>(Transport(), h.state.Meas);
    Tick({1, 2, 5});
    check->Execute();
    EXPECT_EQ(Commands(), (std::vector<std::string>{"CHK1", "CHK1", "CHK1", "CHK2", "CHK5"}));
    EXPECT_NE(check->Cell(5, 2).text, "----");
    EXPECT_EQ(h.ui.Texts(),
              std::vector<std::string>{TextWith(Language::English, txt::LostDuringCheck, {"CHK1, CHK2"})});
}

// With one channel measured an error reply is as long as a result field: it is still a check
// answered wrongly (said, its row empty), whether the command was repeated or not. Only the
// voltage channel's own field stays a result.
TEST_F(SelfCheckTest, OneChannelsErrorReplyIsAFailureNotAResult) {
    StartWith({{1, 2}}, "sim:time=instant,fault=CHK0:ERR-001+CHK2:ERR-004:1");
    check = std::make_unique<SelfCheck>(Transport(), h.state.Meas);
    Tick({0, 2, 5});
    check->Execute();
    EXPECT_EQ(Commands(), (std::vector<std::string>{"CHK0", "CHK0", "CHK0", "CHK2", "CHK5"}));
    EXPECT_EQ(check->Result(0, 1), "");
    EXPECT_EQ(check->Result(2, 1), "");
    EXPECT_EQ(check->Cell(5, 1).colour, CheckColour::Blue);
    EXPECT_EQ(h.ui.Texts(),
              std::vector<std::string>{TextWith(Language::English, txt::LostDuringCheck, {"CHK0, CHK2"})});

    h.state.Meas.Ch(1).InputMode = 0;
    h.engine.link.commands->DownloadConditions(kFullChangeMask);
    h.ui.shown.clear();
    Tick({2});
    check->Execute();
    EXPECT_EQ(check->Cell(2, 1).text, "VOLT");
    EXPECT_TRUE(h.ui.shown.empty());
}

// The user's Cancel of a long wait ends the sequence as a lost reply does, and is said as a cancel;
// so does a Cancel whose wait was answered at last: the checks after it are not made.
TEST_F(SelfCheckTest, ACancelledWaitIsSaidAsTheUsersCancel) {
    StartWith({{1, 2}}, "sim:time=instant,fault=CHK0:noreply:1");
    check = std::make_unique<SelfCheck>(Transport(), h.state.Meas);
    for (const bool answered : {false, true}) {
        SCOPED_TRACE(answered);
        h.bus->log.clear();
        h.ui.shown.clear();
        Tick({0, 2});
        Transport().stopRequested = true;  // Cancel pressed while CHK0 waited
        check->Execute();
        EXPECT_EQ(Commands(), std::vector<std::string>{"CHK0"});
        EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{"The check was cancelled. The results shown are those received."});
        EXPECT_EQ(h.ui.shown[0].title, "Caution");
        EXPECT_TRUE(check->AnyTicked());  // the insulation check was not made
    }
}

}  // namespace
}  // namespace kmr
