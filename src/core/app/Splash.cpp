#include "core/app/MainView.h"

namespace kmr {

void Splash::Show(const std::string& title, const std::string& status, int maximum) {
    loaded_ = true;
    value_ = 0;
    maximum_ = maximum;
    view_.Show(title, status, maximum);
}

void Splash::SetStatus(const std::string& status) {
    if (loaded_) view_.SetStatus(status);
}

void Splash::SetMaximum(int maximum) {
    maximum_ = maximum;
    if (loaded_) view_.SetProgress(value_, maximum_);
}

void Splash::Advance() {
    if (!loaded_) return;
    ++value_;
    view_.SetProgress(value_, maximum_);
}

void Splash::Complete() {
    if (!loaded_) return;
    value_ = maximum_;
    view_.SetProgress(value_, maximum_);
}

void Splash::Unload() {
    if (!loaded_) return;
    loaded_ = false;
    view_.Unload();
}

}  // namespace kmr
