#pragma once
// A progress window for tests: records labels and percentages, and its Cancel is pressed at the
// n-th look at pending events (0: never).
#include <string>
#include <vector>

#include "core/support/Progress.h"

namespace kmr::testing {

class FakeProgress : public ProgressView {
public:
    explicit FakeProgress(int cancelAtLook = 0) : cancelAt(cancelAtLook) {}
    void Show(const std::string& l1, const std::string& l2) override {
        label1 = l1;
        label2 = l2;
        ++shows;
    }
    void SetPercent(int p) override { percents.push_back(p); }
    void Close() override { ++closes; }
    bool ProcessEventsAndCheckCancel() override { return ++looks == cancelAt; }

    int cancelAt;
    std::string label1, label2;
    std::vector<int> percents;
    int shows = 0, closes = 0, looks = 0;
};

}  // namespace kmr::testing
