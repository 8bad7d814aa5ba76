#pragma once
// The data-file settings form: the data folder with its button for the folder picker, the name
// of the next data file above the list of the folder's files of the chosen type, the file type,
// OK and Cancel. Every decision is the core's SetPathAndFileForm; the window shows it and forwards
// the user's entries.
#include "core/app/SetPathAndFileForm.h"
#include "gui/FormDlg.h"

class QLineEdit;
class QListWidget;
class QRadioButton;

namespace kmr::gui {

class SetPathAndFileDlg : public FormDlg {
    Q_OBJECT
public:
    SetPathAndFileDlg(Engine& e, QWidget* owner);

    const SetPathAndFileForm& Form() const { return form_; }

protected:
    bool QueryClose() override;
    void Unloading() override;

private:
    // False when the name was refused with a message (too long).
    bool CommitName();
    void ChooseType(int type);
    void ChooseFolder();
    void ShowFiles();
    void ShowType();
    void Ok();

    SetPathAndFileForm form_;
    QLineEdit* txtPathName_ = nullptr;
    QLineEdit* txtFileName_ = nullptr;
    QListWidget* ListBox_ = nullptr;
    QRadioButton* OptFileType_[2] = {nullptr, nullptr};
};

}  // namespace kmr::gui
