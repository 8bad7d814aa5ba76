#pragma once
// A UiPort for tests: records every message box, pointer change and splash call, and answers
// message boxes from a script (OK, or Retry when nothing is scripted for a Retry/Cancel box).
#include <deque>
#include <string>
#include <vector>

#include "core/support/UiPort.h"

namespace kmr::fakes {

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
    MsgAnswer ShowMessage(const std::string& text, const std::string& title, MsgIcon icon,
                          MsgButtons buttons, bool = false, int = 0) override {
        shown.push_back({text, title, icon, buttons, pointer, splashShowing && splashTopmost});
        if (!answers.empty()) {
            MsgAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        if (buttons == MsgButtons::RetryCancel) return MsgAnswer::Retry;
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

    std::vector<ShownMessage> shown;
    std::deque<MsgAnswer> answers;
    std::vector<Pointer> pointerChanges;
    Pointer pointer = Pointer::Default;
    bool splashShowing = false;
    bool splashTopmost = true;
    int nonTopmostCalls = 0;
    int terminated = 0;
};

}  // namespace kmr::fakes
