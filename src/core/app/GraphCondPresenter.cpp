#include "core/app/GraphCondPresenter.h"

namespace kmr {

GraphCondPresenter::GraphCondPresenter(Engine& e, GraphCondView& view)
    : e_(e), view_(view), form_(e.s.Graph, e.s.Meas) {}

void GraphCondPresenter::ShowAll() {
    for (GraphField f : {GraphField::Xspace, GraphField::Xpich, GraphField::XscaleDivM, GraphField::XscaleMaxG,
                         GraphField::XscaleMinG, GraphField::XscaleDivG})
        view_.ShowBox({f, 0}, form_.Text({f, 0}));
    for (int ch = 1; ch <= kChannels; ++ch)
        for (GraphField f : {GraphField::YscaleMax, GraphField::YscaleMin, GraphField::YscaleDiv})
            view_.ShowBox({f, ch}, form_.Text({f, ch}));
    ShowChecks();
}

void GraphCondPresenter::ShowChecks() {
    const GraphConditions& w = form_.Working();
    view_.ShowXAxis({w.X.GridOn(), w.X.AutoScaleOn(), form_.XGraphScaleEnabled()});
    for (int ch = 1; ch <= kChannels; ++ch) {
        const ChannelGraphCondition& c = w.Ch[static_cast<std::size_t>(ch - 1)];
        view_.ShowChannel(ch, {form_.ChannelLabelEnabled(ch), c.Shown(), c.GridOn(), c.AutoScaleOn(),
                               form_.ChannelChecksEnabled(ch), form_.ChannelScaleEnabled(ch)});
    }
}

void GraphCondPresenter::SetXgrid(bool on) { form_.SetXgrid(on); }

void GraphCondPresenter::SetXAutoScale(bool on) {
    form_.SetXAutoScale(on);
    ShowChecks();
}

void GraphCondPresenter::SetShown(int channel, bool on) {
    form_.SetUse(channel, on);
    ShowChecks();
}

void GraphCondPresenter::SetYgrid(int channel, bool on) { form_.SetYgrid(channel, on); }

void GraphCondPresenter::SetAutoScale(int channel, bool on) {
    form_.SetAutoScale(channel, on);
    ShowChecks();
}

void GraphCondPresenter::EnterBox(GraphFieldRef field) {
    form_.Commit(field, view_.Typed(field));
    view_.ShowBox(field, form_.Text(field));
}

void GraphCondPresenter::Ok() {
    EnterBoxBeingEdited(view_, [this](GraphFieldRef f) {
        EnterBox(f);
        return true;
    });
    if (GraphCondOk(e_, form_, e_.ui.language, [this] { view_.Disable(); }) != FormOutcome::StayOpen)
        view_.Unload();
}

bool GraphCondPresenter::MayClose(CloseBy how) {
    return MayCloseForm(
        e_.ui, e_.ui.language, FormId::GraphCond, how,
        [this] {
            if (const auto last = form_.LastClicked()) EnterBox(*last);
        },
        [this] { return form_.Flags(e_.s.Graph).Any(); });
}

}  // namespace kmr
