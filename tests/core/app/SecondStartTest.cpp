#include "core/app/SecondStart.h"

#include <gtest/gtest.h>

#include "support/FakeUi.h"

namespace kmr {
namespace {

class FakeInstance : public RunningInstancePort {
public:
    FakeInstance(bool first, bool answers) : first_(first), answers_(answers) {}
    bool Claim() override { return first_; }
    bool ActivateRunning(const std::string& dataFile) override {
        asked.push_back(dataFile);
        return answers_;
    }
    std::vector<std::string> asked;

private:
    bool first_, answers_;
};

struct StartCase {
    bool first, answers;
    const char* dataFile;
    StartAs expected;
    std::vector<std::string> asked;  // what the running program was asked, in order
    bool message;                    // "already running" was said
};

class SecondStartTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(SecondStartTest, HandsOverTheRecordOrSaysTheProgramRuns) {
    const StartCase& c = GetParam();
    FakeInstance instance(c.first, c.answers);
    testing::FakeUi ui;
    EXPECT_EQ(ClaimOrHandOver(instance, ui, c.dataFile), c.expected);
    EXPECT_EQ(instance.asked, c.asked);
    ASSERT_EQ(ui.shown.size(), c.message ? 1u : 0u);
    if (c.message) {
        EXPECT_EQ(ui.shown[0].text, Text(Language::English, txt::AlreadyRunning));
        EXPECT_EQ(ui.shown[0].title, Text(Language::English, txt::LoadingErrorTitle));
        EXPECT_EQ(ui.shown[0].icon, MsgIcon::Exclamation);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Starts, SecondStartTest,
    ::testing::Values(StartCase{true, true, "/d/a.kmr", StartAs::Program, {}, false},
                      StartCase{false, true, "/d/a.kmr", StartAs::Handed, {"/d/a.kmr"}, false},
                      StartCase{false, false, "/d/a.kmr", StartAs::Refused, {"/d/a.kmr", ""}, true},
                      StartCase{false, true, "", StartAs::Refused, {""}, true}));

}  // namespace
}  // namespace kmr
