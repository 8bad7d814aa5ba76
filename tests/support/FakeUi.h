#pragma once
// A UiPort for tests: records every message box, pointer change and splash call, and answers
// message boxes from a script; an unscripted box gets OK, Yes, or the answer given for
// Retry/Cancel boxes (Retry unless the test says otherwise).
#include <deque>
#include <string>
#include <vector>

#include "core/support/UiPort.h"

namespace kmr::testing {

struct ShownMessage {
    std::string text;
    std::string title;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    Pointer pointerWhileShown = Pointer::Default;
    bool splashTopmostWhileShown = false;
};

class FakeUi : public UiPort {
public:
    explicit FakeUi(MsgAnswer retryCancelAnswer = MsgAnswer::Retry) : retryCancel(retryCancelAnswer) {}

    MsgAnswer ShowMessage(const std::string& text, const std::string& title, MsgIcon icon,
                          MsgButtons buttons, bool = false, int = 0) override {
        shown.push_back({text, title, icon, buttons, pointer, splashShowing && splashTopmost});
        if (!answers.empty()) {
            MsgAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        if (buttons == MsgButtons::RetryCancel) return retryCancel;
        if (buttons == MsgButtons::YesNo) return MsgAnswer::Yes;
        return MsgAnswer::Ok;
    }
    Pointer GetPointer() const override { return pointer; }
    void SetPointer(Pointer p) override {
        pointer = p;
        pointerChanges.push_back(p);
    }
    bool IsSplashShowing() const override { return splashShowing; }
    void MakeSplashNonTopmost() override {
        splashTopmost = false;
        ++nonTopmostCalls;
    }
    void TerminateProgram() override { ++terminated; }

    // The texts of the boxes shown, in order.
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const auto& m : shown) out.push_back(m.text);
        return out;
    }

    MsgAnswer retryCancel;
    std::vector<ShownMessage> shown;
    std::deque<MsgAnswer> answers;
    std::vector<Pointer> pointerChanges;
    Pointer pointer = Pointer::Default;
    bool splashShowing = false;
    bool splashTopmost = true;
    int nonTopmostCalls = 0;
    int terminated = 0;
};

}  // namespace kmr::testing
