// The graph form's OK refuses a monitor span shorter than the pitch, as the pitch box does; the
// measurement form's memory readout, its entries, its OK and the simulated instrument follow one
// rule for the pre-trigger memory.
#include <gtest/gtest.h>

#include "core/app/GraphCondForm.h"
#include "core/app/MeasCondForm.h"
#include "sim/SimInstrument.h"
#include "support/EngineHarness.h"

namespace kmr {
namespace {

using testing::EngineHarness;

constexpr GraphFieldRef kSpan{GraphField::Xspace, 0};
constexpr GraphFieldRef kPitch{GraphField::Xpich, 0};

MeasFieldRef PreMemory() { return {MeasField::PreMemory, 0}; }

TEST(OkRules, PreTriggerEqualToMemoryAndASpanBelowThePitchAreRefusedAsTheBoxesRefuseThem) {
    EngineHarness h;
    ASSERT_EQ(h.Start(), StartupOutcome::Online);
    // Conditions from an older file that allowed pre-trigger = memory.
    MeasConditions live = h.state.Meas;
    live.MemoryWords = 1000;
    live.PreMemoryWords = 1000;
    MeasCondForm f(live, kModelKmr510C, 0, 0);
    const MemoryPreview p = f.Preview("1000", "1000");
    EXPECT_FALSE(p.possible);
    // OK refuses what the readout calls not possible (the box refuses it too: MeasCondCommit).
    EXPECT_EQ(f.OkRefusal(), 2514);
    const MeasConditions before = h.state.Meas;
    h.state.Meas = live;
    EXPECT_EQ(MeasCondOk(h.engine, f, {}), FormOutcome::StayOpen);
    EXPECT_EQ(h.ui.Texts(), std::vector<std::string>{"The pre-trigger memory must be smaller than the memory."});
    // One word less is possible, taken and applied.
    ASSERT_TRUE(f.Commit(PreMemory(), "999"));
    EXPECT_TRUE(f.Preview("1000", "999").possible);
    EXPECT_EQ(f.OkRefusal(), 0);
    h.state.Meas = before;
    EXPECT_EQ(MeasCondOk(h.engine, f, {}), FormOutcome::Applied);
    EXPECT_EQ(h.state.Meas.PreMemoryWords, 999);
    EXPECT_EQ(h.state.Status, RunStatus::Ok);
    // The graph form's OK refuses a monitor span shorter than the pitch, as the pitch box does.
    GraphCondForm g(h.state.Graph, h.state.Meas);
    ASSERT_TRUE(g.Commit(kSpan, "10"));
    ASSERT_TRUE(g.Commit(kPitch, "5"));
    ASSERT_TRUE(g.Commit(kSpan, "3"));  // a span typed after the pitch is taken by its box...
    // ...but OK refuses it (nothing applied or saved after a refusal: GraphCondOkTest.NoChange...).
    EXPECT_EQ(GraphCondOk(h.engine, g, Language::English, {}), FormOutcome::StayOpen);
    EXPECT_EQ(h.ui.shown.back().text, "The monitor span must not be shorter than the pitch.");
    EXPECT_EQ(h.state.Graph.X.Xspace, 10);
    // A span equal to the pitch is fine.
    ASSERT_TRUE(g.Commit(kSpan, "5"));
    EXPECT_EQ(GraphCondOk(h.engine, g, Language::English, {}), FormOutcome::Applied);
    EXPECT_EQ(h.state.Graph.X.Xspace, 5);
}

TEST(PreTriggerMemory, TheSimulatedInstrumentRefusesWhatTheRuleRefuses) {
    sim::SimOptions o;
    o.time = sim::SimTimeMode::Instant;
    sim::SimInstrument inst(o, std::make_shared<sim::ManualTimeSource>());
    auto send = [&](const std::string& c) { return inst.Execute(c).bytes; };
    send("SET1");
    ASSERT_EQ(send("MRY 1000").substr(0, 3), "END");
    EXPECT_EQ(send("MRY -999").substr(0, 3), "END");
    EXPECT_EQ(send("MRY -1000").substr(0, 7), "ERR-002");
    EXPECT_EQ(send("MRY -1001").substr(0, 7), "ERR-002");
}

}  // namespace
}  // namespace kmr
