#pragma once
// The data-file settings form: the data folder with its button for the folder picker, the name
// of the next data file above the list of the folder's files of the chosen type, the file type,
// OK and Cancel. Every decision is the core's SetPathAndFilePresenter; the window draws what it is
// told and forwards the user's entries.
#include "core/app/SetPathAndFilePresenter.h"
#include "gui/FormDlg.h"

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QRadioButton;

namespace kmr::gui {

class SetPathAndFileDlg : public FormDlg, private SetPathAndFileView {
    Q_OBJECT
public:
    SetPathAndFileDlg(Engine& e, QWidget* owner);

    const SetPathAndFileForm& Form() const { return presenter_.Form(); }

protected:
    bool QueryClose() override { return presenter_.MayClose(HowClosing()); }
    void Unloading() override { presenter_.Closed(); }
    // Return in the file list takes the name under the cursor (as a click does) and presses no
    // button.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ChooseFolder();
    // A name of the list into the name box, entered as typed there.
    void PickName(const QListWidgetItem* item);
    // The view.
    std::optional<DataFileField> BoxBeingEdited() const override;
    std::string Typed(DataFileField) const override;
    void ShowFolder(const std::string& folder) override;
    void ShowName(const std::string& name) override;
    void ShowFileType(bool csv) override;
    void ShowFiles(const std::vector<std::string>& names) override;
    void Disable() override { setEnabled(false); }
    void Unload() override { FormDlg::Unload(); }

    SetPathAndFilePresenter presenter_;
    QLineEdit* txtPathName_ = nullptr;
    QLineEdit* txtFileName_ = nullptr;
    QListWidget* ListBox_ = nullptr;
    QRadioButton* OptFileType_[2] = {nullptr, nullptr};
};

}  // namespace kmr::gui
