#include "core/app/SetPathAndFilePresenter.h"

namespace kmr {

SetPathAndFilePresenter::SetPathAndFilePresenter(Engine& e, SetPathAndFileView& view)
    : e_(e), view_(view), form_(e.s.Global, e.s.DataFileNumber, e.s.Meas.MemoryWords) {}

void SetPathAndFilePresenter::ShowAll() {
    view_.ShowFolder(form_.Folder());
    view_.ShowName(form_.AcceptedName());
    view_.ShowFileType(form_.FileType() == kFileTypeCsv);
    view_.ShowFiles(form_.FileList());
}

bool SetPathAndFilePresenter::EnterName() { return EnterName(view_.Typed(DataFileField::Name)); }

bool SetPathAndFilePresenter::EnterName(const std::string& typed) {
    // The box shows the accepted name again before a refusal's message is shown.
    const bool accepted = form_.CommitName(typed);
    view_.ShowName(form_.AcceptedName());
    const std::string refusal = form_.RefusalMessage(e_.ui.language);
    if (refusal.empty()) return true;
    e_.ui.ShowMessage(refusal, e_.ui.Text(txt::SettingErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
    return accepted;
}

void SetPathAndFilePresenter::NameClicked(const std::string& name) { EnterName(name); }

void SetPathAndFilePresenter::FileTypeClicked(int type) {
    if (type == form_.FileType()) return;
    form_.ChooseFileType(type, e_.ui, e_.ui.language);
    view_.ShowFileType(form_.FileType() == kFileTypeCsv);
    view_.ShowName(form_.AcceptedName());
    view_.ShowFiles(form_.FileList());
}

void SetPathAndFilePresenter::FolderChosen(const std::string& folder) {
    form_.SetFolder(folder);
    view_.ShowFolder(form_.Folder());
    view_.ShowFiles(form_.FileList());
}

void SetPathAndFilePresenter::Ok() {
    // A name refused with a message keeps the form open.
    if (!EnterBoxBeingEdited(view_, [this](DataFileField) { return EnterName(); })) return;
    if (SetPathAndFileOk(e_, form_, e_.ui.language, [this] { view_.Disable(); }) != FormOutcome::StayOpen)
        view_.Unload();
}

bool SetPathAndFilePresenter::MayClose(CloseBy how) {
    // The close box takes a name still being typed first, as leaving its box would: a new name
    // typed and then closed away is a change the question is about, not one lost without a word.
    // A name refused with a message keeps the form open, as on OK.
    if (StepsOfClose(FormId::DataFileSettings, how).enterLastClicked &&
        !EnterBoxBeingEdited(view_, [this](DataFileField) { return EnterName(); }))
        return false;
    return MayCloseForm(e_.ui, e_.ui.language, FormId::DataFileSettings, how, {},
                        [this] { return form_.Changed(e_.s.Global); });
}

}  // namespace kmr
