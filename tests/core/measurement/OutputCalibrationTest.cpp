#include "core/measurement/OutputCalibration.h"
#include "core/support/TextTable.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/app/OutputCalForm.h"

#include "InstrumentToolsFixture.h"

namespace kmr {
namespace {

using testing::InstrumentToolsTest;

struct DigitCase {
    int inputMode;
    float coeff;
    float value;
    int digits;
    float shown;
};

TEST(CalDigitsTest, UnitsDigitDroppedAndCapped) {
    // A negative coefficient: the digits of the magnitude with one sign, capped on that side too.
    const DigitCase cases[] = {
        {2, 1.0f, 1234.0f, 1230, 1230.0f}, {2, 1.0f, 20000.0f, 10000, 10000.0f}, {-4, 1.0f, 5000.0f, 500, 5000.0f},
        {-5, 1.0f, 20000.0f, 1000, 10000.0f}, {2, 1.0f, 7.0f, 0, 0.0f}, {0, 2.0f, 1234.0f, 610, 1220.0f},
        {2, 1.0f, 1239.6f, 1240, 1240.0f}, {2, 0.0f, 100.0f, 0, 0.0f}, {2, -1.0f, 1234.0f, -1230, 1230.0f},
        {2, -1.0f, 20000.0f, -10000, 10000.0f}, {-5, -1.0f, 20000.0f, -1000, 10000.0f},
        {2, -2.0f, 1234.0f, -610, 1220.0f},
        // A value so far beyond the limit that the quotient leaves the float range is capped like
        // any other, not output as 0.
        {2, 0.5f, 3.0e38f, 10000, 5000.0f}, {2, -0.5f, 3.0e38f, -10000, 5000.0f}, {-4, 1.0e-30f, 1.0e10f, 1000, 1.0e-26f},
    };
    for (const DigitCase& c : cases) {
        ChannelCondition ch;
        ch.InputMode = static_cast<std::int16_t>(c.inputMode);
        ch.Coeff = c.coeff;
        const CalDigits d = CalValueToDigits(ch, c.value);
        EXPECT_EQ(d.digits, c.digits) << c.value << " " << c.coeff;
        EXPECT_EQ(d.value, c.shown) << c.value << " " << c.coeff;
    }
}

TEST(CalValueEntryTest, OnlyNonNegativeRealNumbers) {
    EXPECT_EQ(ParseCalValue(" 12.5 "), 12.5f);
    EXPECT_EQ(ParseCalValue("+3"), 3.0f);
    EXPECT_EQ(ParseCalValue("\xEF\xBC\x91\xEF\xBC\x92"), 12.0f);  // full-width "12"
    EXPECT_EQ(ParseCalValue("-0"), 0.0f);
    for (const char* text : {"-5", "1e3", ".", "", "1.2.3"}) EXPECT_EQ(ParseCalValue(text), std::nullopt) << text;
}

class OutputCalTest : public InstrumentToolsTest {
protected:
    // The commands one press of `button` sends.
    std::vector<std::string> Press(OutputCalPresenter& cal, CalButton button) {
        h.bus->log.clear();
        cal.Click(button);
        return Commands();
    }
};

TEST_F(OutputCalTest, PlusCalOnChannelOneSendsTheSequence) {
    StartWith({{1, 2}, {3, 2}, {4, 0}});
    h.state.OutputCal[5].Use = 1;  // channel 6 is not measured: its Use goes
    OutputCalPresenter cal(Transport(), h.state.Meas, h.state.OutputCal);
    EXPECT_EQ(h.state.OutputCal[5].Use, 0);
    EXPECT_FALSE(cal.ButtonsEnabled());
    cal.SetUse(1, true);
    EXPECT_TRUE(cal.ButtonsEnabled());
    EXPECT_EQ(cal.EnterValue(1, "1234"), "1230");
    EXPECT_EQ(cal.DigitsText(1), "1230");
    EXPECT_EQ(cal.EnterValue(1, "-5"), "1230");  // refused, the previous value stays
    EXPECT_EQ(Press(cal, CalButton::Plus),
              (std::vector<std::string>{"RES", "SET 1", "CAL1230", "RES", "SET 1", "SET 3", "SET 4"}));
    EXPECT_EQ(cal.ActiveButton(), CalButton::Plus);
    EXPECT_FALSE(cal.BoxesEnabled(1));
    // Switching to -Cal starts it directly.
    EXPECT_EQ(Press(cal, CalButton::Minus),
              (std::vector<std::string>{"RES", "SET 1", "CAL-1230", "RES", "SET 1", "SET 3", "SET 4"}));
    EXPECT_EQ(cal.ActiveButton(), CalButton::Minus);
    EXPECT_EQ(Press(cal, CalButton::Zero)[2], "CAL 0");
    // The active button again ends the output.
    EXPECT_EQ(Press(cal, CalButton::Zero), (std::vector<std::string>{"MON"}));
    EXPECT_FALSE(cal.ActiveButton());
    EXPECT_TRUE(cal.BoxesEnabled(1));
    EXPECT_TRUE(h.ui.shown.empty());
}

// A negative coefficient sends one sign, the other way round; every close sends MON, then saves once.
TEST_F(OutputCalTest, NegativeCoefficientSendsOneSignAndEveryCloseSendsMonThenSavesOnce) {
    StartWith({{1, 2}});
    h.state.Meas.Ch(1).Coeff = -1.0f;
    OutputCalForm form(h.engine);
    OutputCalPresenter& cal = form.Calibration();
    cal.SetUse(1, true);
    EXPECT_EQ(cal.EnterValue(1, "1234"), "1230");
    EXPECT_EQ(cal.DigitsText(1), "-1230");
    EXPECT_EQ(Press(cal, CalButton::Plus)[2], "CAL-1230");
    EXPECT_EQ(cal.ActiveButton(), CalButton::Plus);
    EXPECT_EQ(Press(cal, CalButton::Minus)[2], "CAL1230");
    EXPECT_TRUE(h.ui.shown.empty());
    const std::string path = h.CondFile(kOutputCalCnd);
    h.bus->log.clear();
    form.Close();
    EXPECT_EQ(Commands(), (std::vector<std::string>{"MON"}));
    EXPECT_EQ(testing::ReadAll(path).substr(0, 8), "1,1230\r\n");
    // The program ending after the window's Close sends and saves nothing more.
    std::filesystem::remove(path);
    form.Close();
    EXPECT_EQ(Commands(), (std::vector<std::string>{"MON"}));
    EXPECT_FALSE(std::filesystem::exists(path));
}

// The user's Cancel of the wait ends it as well, after that attempt, and is said as a cancel.
TEST_F(OutputCalTest, FailureStopsTheSequenceSaysSoOnceAndTheButtonStaysOff) {
    for (const bool cancelled : {false, true}) {
        SCOPED_TRACE(cancelled);
        StartWith({{1, 2}, {2, 2}}, "sim:time=instant,fault=CAL1230:noreply");
        OutputCalPresenter cal(Transport(), h.state.Meas, h.state.OutputCal);
        cal.SetUse(1, true);
        cal.SetUse(2, true);
        cal.EnterValue(1, "1234");
        if (cancelled) Transport().beforeRepeat = [this] { Transport().stopRequested = true; };
        const auto cmds = Press(cal, CalButton::Plus);
        Transport().stopRequested = false;
        EXPECT_EQ(cmds.back(), "CAL1230");
        EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "CAL1230"), cancelled ? 1 : 3);
        EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "SET 2"), 0);
        // Marked on only when the instrument accepted the commands.
        EXPECT_FALSE(cal.ActiveButton().has_value());
        EXPECT_FALSE(cal.CalibrationActive());
        ASSERT_EQ(h.ui.shown.size(), 1u);
        EXPECT_EQ(h.ui.shown[0].title, cancelled ? "Caution" : "GP-IB error");
        EXPECT_EQ(h.ui.shown[0].text, TextWith(Language::English,
                                               cancelled ? txt::CalibrationCancelledAt : txt::LostDuringCalibration,
                                               {"CAL1230"}));
    }
}

// An output the instrument was not told to end ("MON" unanswered) stays marked on, said once: a
// second click ends it. A close whose "MON" fails says so too, and still saves.
TEST_F(OutputCalTest, AFailedEndOfTheOutputLeavesItMarkedOnAndSaysSo) {
    StartWith({{1, 2}});
    h.simBus->Instrument().AddFault({"MON", sim::FaultKind::NoReply, {}, 6});
    OutputCalForm form(h.engine);
    OutputCalPresenter& cal = form.Calibration();
    cal.SetUse(1, true);
    cal.EnterValue(1, "1234");
    Press(cal, CalButton::Plus);
    EXPECT_EQ(Press(cal, CalButton::Plus), (std::vector<std::string>{"MON", "MON", "MON"}));
    EXPECT_EQ(cal.ActiveButton(), CalButton::Plus);
    EXPECT_FALSE(cal.BoxesEnabled(1));
    const std::string mayBeOn = TextWith(Language::English, txt::LostDuringCalibration, {"MON"});
    EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{mayBeOn});
    h.ui.shown.clear();
    h.bus->log.clear();
    form.Close();
    EXPECT_EQ(Commands(), (std::vector<std::string>{"MON", "MON", "MON"}));
    EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{mayBeOn});
    EXPECT_EQ(testing::ReadAll(h.CondFile(kOutputCalCnd)).substr(0, 8), "1,1230\r\n");
    EXPECT_FALSE(cal.ActiveButton());
}

}  // namespace
}  // namespace kmr
