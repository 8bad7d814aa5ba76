#pragma once
// The simulated instrument after start-up with chosen channels and input modes downloaded, for
// the balance, self-check and output-calibration tests.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/instrument/CommandSet.h"
#include "support/EngineHarness.h"

namespace kmr::testing {

class InstrumentToolsTest : public ::testing::Test {
protected:
    // Channels in `modes` are measured with their input modes; the others are off.
    void StartWith(const std::map<int, int>& modes, const std::string& spec = "sim:time=instant") {
        ASSERT_EQ(h.Start(spec), StartupOutcome::Online);
        for (int ch = 1; ch <= kChannels; ++ch) {
            auto it = modes.find(ch);
            h.state.Meas.Ch(ch).OnOff = it != modes.end() ? 1 : 0;
            if (it != modes.end()) h.state.Meas.Ch(ch).InputMode = static_cast<std::int16_t>(it->second);
        }
        h.engine.link.commands->DownloadConditions(kFullChangeMask);
        ASSERT_EQ(h.state.Status, RunStatus::Ok);
        h.bus->log.clear();
        h.ui.shown.clear();
    }
    CommandTransport& Transport() { return *h.engine.link.transport; }
    std::vector<std::string> Commands() const { return h.bus->Commands(); }

    EngineHarness h;
};

}  // namespace kmr::testing
