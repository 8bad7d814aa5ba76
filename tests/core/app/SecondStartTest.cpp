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

TEST(SecondStartTest, HandsOverTheRecordOrSaysTheProgramRuns) {
    for (const StartCase& c : {StartCase{true, true, "/d/a.kmr", StartAs::Program, {}, false},
                               StartCase{false, true, "/d/a.kmr", StartAs::Handed, {"/d/a.kmr"}, false},
                               StartCase{false, false, "/d/a.kmr", StartAs::Refused, {"/d/a.kmr", ""}, true},
                               StartCase{false, true, "", StartAs::Refused, {""}, true}}) {
        SCOPED_TRACE(::testing::Message() << c.first << c.answers << " '" << c.dataFile << "'");
        FakeInstance instance(c.first, c.answers);
        testing::FakeUi ui;
        EXPECT_EQ(ClaimOrHandOver(instance, ui, c.dataFile), c.expected);
        EXPECT_EQ(instance.asked, c.asked);
        EXPECT_EQ(ui.Texts(), c.message ? std::vector<std::string>{Text(Language::English, txt::AlreadyRunning)}
                                        : std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace kmr
