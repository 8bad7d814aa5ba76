#pragma once
// The data-file settings window's presenter: it holds the form (SetPathAndFileForm), tells the
// window what to draw and decides what its entries, OK and a close request do. The window
// forwards its events here and draws through SetPathAndFileView.
#include <string>
#include <vector>

#include "core/app/Engine.h"
#include "core/app/FormRules.h"
#include "core/app/SetPathAndFileForm.h"

namespace kmr {

// The one text box of the window: the name of the next data file.
enum class DataFileField { Name };

class SetPathAndFileView : public FormBoxes<DataFileField> {
public:
    virtual void ShowFolder(const std::string& folder) = 0;
    virtual void ShowName(const std::string& name) = 0;
    virtual void ShowFileType(bool csv) = 0;
    virtual void ShowFiles(const std::vector<std::string>& names) = 0;
    // A confirmed OK: the window takes no input while the settings are saved.
    virtual void Disable() = 0;
    // OK has ended the form.
    virtual void Unload() = 0;
};

class SetPathAndFilePresenter {
public:
    SetPathAndFilePresenter(Engine& e, SetPathAndFileView& view);

    const SetPathAndFileForm& Form() const { return form_; }

    void ShowAll();
    // Enter in the name box or leaving it: false when the name was refused with a message.
    bool EnterName();
    // A name of the list was clicked: it is entered as if typed.
    void NameClicked(const std::string& name);
    // A file-type option became set (a click on the set one changes nothing).
    void FileTypeClicked(int type);
    // The folder picker chose a folder.
    void FolderChosen(const std::string& folder);
    void Ok();
    // A close request: false keeps the form open.
    bool MayClose(CloseBy how);
    // The form has closed, however: the main window names the next data file.
    void Closed() { SetPathAndFileClosed(e_); }

private:
    bool EnterName(const std::string& typed);

    Engine& e_;
    SetPathAndFileView& view_;
    SetPathAndFileForm form_;
};

}  // namespace kmr
