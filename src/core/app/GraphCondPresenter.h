#pragma once
// The graph-condition window's presenter: it holds the form's working copy (GraphCondForm), tells
// the window what to draw and which controls are enabled, and decides what the window's entries,
// OK and a close request do. The window forwards its events here and draws through GraphCondView.
#include <string>

#include "core/app/Engine.h"
#include "core/app/FormRules.h"
#include "core/app/GraphCondForm.h"

namespace kmr {

// The X axis's check boxes and whether its graph-scale boxes are enabled.
struct GraphXLook {
    bool grid = false;
    bool autoScale = false;
    bool graphScaleEnabled = false;
};
// One channel's row: its label's enabling, its check boxes and their enabling.
struct GraphChannelLook {
    bool labelEnabled = false;
    bool shown = false;
    bool grid = false;
    bool autoScale = false;
    bool checksEnabled = false;
    bool scaleEnabled = false;
};

class GraphCondView : public FormBoxes<GraphFieldRef> {
public:
    virtual void ShowBox(GraphFieldRef field, const std::string& text) = 0;
    virtual void ShowXAxis(const GraphXLook& look) = 0;
    virtual void ShowChannel(int channel, const GraphChannelLook& look) = 0;
    // A confirmed OK: the window takes no input while the graphs are redrawn.
    virtual void Disable() = 0;
    // OK has ended the form.
    virtual void Unload() = 0;
};

class GraphCondPresenter {
public:
    GraphCondPresenter(Engine& e, GraphCondView& view);

    const GraphCondForm& Form() const { return form_; }

    void ShowAll();
    // The check boxes: the working copy changes and the enabling follows.
    void SetXgrid(bool on);
    void SetXAutoScale(bool on);
    void SetShown(int channel, bool on);
    void SetYgrid(int channel, bool on);
    void SetAutoScale(int channel, bool on);
    // Enter or leaving a box: its typed text is entered, the box shows the working value.
    void EnterBox(GraphFieldRef field);
    // A box took the focus or a click.
    void BoxEntered(GraphFieldRef field) { form_.Clicked(field); }
    void Ok();
    // A close request: false keeps the form open.
    bool MayClose(CloseBy how);

private:
    void ShowChecks();

    Engine& e_;
    GraphCondView& view_;
    GraphCondForm form_;
};

}  // namespace kmr
