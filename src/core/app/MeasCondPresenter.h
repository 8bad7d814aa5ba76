#pragma once
// The measurement-condition window's presenter: it holds the form's working copy (MeasCondForm),
// tells the window what to draw, and decides what the window's entries, OK and a close request
// do. The window forwards its events here and draws through MeasCondView.
#include <string>

#include "core/app/Engine.h"
#include "core/app/FormRules.h"
#include "core/app/MeasCondForm.h"

namespace kmr {

// One channel's row as the window draws it.
struct MeasChannelLook {
    bool measured = false;
    int inputModeEntry = -1;  // -1: the model's list has no entry for the channel's mode
    int lpf = 0;
    int decimals = 0;
    int unit = 0;
    bool dataTrigger = false;
};

class MeasCondView : public FormBoxes<MeasFieldRef> {
public:
    virtual void ShowBox(MeasFieldRef field, const std::string& text) = 0;
    virtual void ShowClockScroll(int position) = 0;
    // The line under the memory boxes; `possible` false draws it as a warning.
    virtual void ShowPreview(const std::string& text, bool possible) = 0;
    // `averagingOffered` false: the averaging list cannot be chosen (clocks under 1 ms).
    virtual void ShowChoices(int trgMode, int averaging, bool averagingOffered) = 0;
    virtual void ShowChannel(int channel, const MeasChannelLook& look) = 0;
    // A confirmed OK: the window goes before the conditions are downloaded.
    virtual void Hide() = 0;
    // OK has ended the form.
    virtual void Unload() = 0;
};

class MeasCondPresenter {
public:
    MeasCondPresenter(Engine& e, MeasCondView& view);

    const MeasCondForm& Form() const { return form_; }
    // The lists and check boxes write the working copy directly.
    MeasCondForm& Edit() { return form_; }

    void ShowAll();
    // Enter or leaving a box: its typed text is entered, the box shows the working value.
    void EnterBox(MeasFieldRef field);
    // A box took the focus or a click.
    void BoxEntered(MeasFieldRef field) { form_.Clicked(field); }
    void ClockScrolled(int position);
    // The memory boxes were typed in: the preview follows.
    void ShowPreview();
    void Ok();
    // A close request: false keeps the form open.
    bool MayClose(CloseBy how);

private:
    void ShowChoices();

    Engine& e_;
    MeasCondView& view_;
    MeasCondForm form_;
};

}  // namespace kmr
