#include "core/app/MeasCondPresenter.h"

namespace kmr {

MeasCondPresenter::MeasCondPresenter(Engine& e, MeasCondView& view)
    : e_(e),
      view_(view),
      form_(e.s.Meas, e.s.Instrument.InstrumentModel, e.s.Instrument.MemorySizeCode, e.s.Global.FileType) {}

void MeasCondPresenter::ShowAll() {
    const MeasConditions& w = form_.Working();
    ShowChoices();
    view_.ShowClockScroll(form_.ClockScrollPosition());
    for (MeasField f : {MeasField::Clock, MeasField::Memory, MeasField::PreMemory}) view_.ShowBox({f, 0}, form_.Text({f, 0}));
    for (int ch = 1; ch <= kChannels; ++ch) {
        const ChannelCondition& c = w.Ch(ch);
        view_.ShowChannel(ch, {c.Measured(), form_.InputModeEntryOf(ch), c.Lpf, c.Point, c.Unit, c.DataTrigger()});
        for (MeasField f : {MeasField::Coeff, MeasField::DtgLevel, MeasField::Offset})
            view_.ShowBox({f, ch}, form_.Text({f, ch}));
    }
    ShowPreview();
}

void MeasCondPresenter::EnterBox(MeasFieldRef field) {
    form_.Commit(field, view_.Typed(field));
    view_.ShowBox(field, form_.Text(field));
    if (field.field == MeasField::Coeff) {
        const MeasFieldRef level{MeasField::DtgLevel, field.channel};
        view_.ShowBox(level, form_.Text(level));
    }
    if (field.field == MeasField::Clock) {
        view_.ShowClockScroll(form_.ClockScrollPosition());
        ShowChoices();
    }
    ShowPreview();
}

void MeasCondPresenter::ShowChoices() {
    view_.ShowChoices(form_.Working().TrgMode, form_.AveragingShown(), form_.AveragingOffered());
}

void MeasCondPresenter::ClockScrolled(int position) {
    form_.SetClockByScroll(position);
    view_.ShowBox({MeasField::Clock, 0}, form_.Text({MeasField::Clock, 0}));
    ShowChoices();
    ShowPreview();
}

void MeasCondPresenter::ShowPreview() {
    const MemoryPreview p =
        form_.Preview(view_.Typed({MeasField::Memory, 0}), view_.Typed({MeasField::PreMemory, 0}));
    view_.ShowPreview(MemoryPreviewText(p, e_.ui.language), p.possible);
}

void MeasCondPresenter::Ok() {
    EnterBoxBeingEdited(view_, [this](MeasFieldRef f) {
        EnterBox(f);
        return true;
    });
    if (MeasCondOk(e_, form_, [this] { view_.Hide(); }) != FormOutcome::StayOpen) view_.Unload();
}

bool MeasCondPresenter::MayClose(CloseBy how) {
    return MayCloseForm(
        e_.ui, e_.ui.language, FormId::MeasCond, how,
        [this] {
            if (const auto last = form_.LastClicked()) EnterBox(*last);
        },
        [this] { return form_.Changed(e_.s.Meas); });
}

}  // namespace kmr
