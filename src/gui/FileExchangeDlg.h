#pragma once
// The conversion window: the data folder and its .kmr files with check boxes on the left, the
// CSV folder, the CSV name and its .csv files on the right, Convert >> and Close. The decisions
// are the core's FileExchangeForm; the window draws the lists and forwards its events.
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTreeView>

#include "core/app/FileExchange.h"
#include "gui/FormDlg.h"

namespace kmr::gui {

class FileExchangeDlg : public FormDlg, private FileExchangeView {
    Q_OBJECT
public:
    // How a list shows its files (the four view items of the list menu).
    enum class ListLook { LargeIcons, SmallIcons, List, Details };

    FileExchangeDlg(Engine& e, QWidget* owner);

    FileExchangeForm& Presenter() { return form_; }
    // The drive checks of Convert (the system's unless a test gives its own).
    void SetDrivePort(DrivePort* drive) { drive_ = drive != nullptr ? drive : &systemDrive_; }
    QStandardItemModel* DataList() const { return sModel_; }
    QStandardItemModel* CsvList() const { return dModel_; }
    // Checks or unchecks a data file as a click on its box does.
    void CheckDataFile(int row, bool on);
    void SetLook(bool csvList, ListLook look);
    void Convert();

protected:
    bool QueryClose() override;

private:
    struct Pane {
        QStandardItemModel* model = nullptr;
        QStackedWidget* stack = nullptr;
        QTreeView* details = nullptr;
        QListView* icons = nullptr;
    };
    Pane MakePane(QStandardItemModel* model, bool csvList);
    void Fill(QStandardItemModel* model, const std::vector<ListedFile>& files, bool checkable);
    void ShowFolders();
    void ShowDataList();
    void ShowCsvList();
    void ShowNameBox();
    void ListMenu(bool csvList, const QPoint& at);
    void PickFolder(bool csvFolder);
    void DataFileUnchecked(std::size_t row) override;
    void CsvListChanged() override;
    std::optional<CsvNameField> BoxBeingEdited() const override;
    std::string Typed(CsvNameField) const override { return txtDFile_->text().toStdString(); }

    FileExchangeForm form_;
    SystemDrivePort systemDrive_;
    DrivePort* drive_ = &systemDrive_;
    bool drawing_ = false;  // the window itself is changing the check boxes
    QLineEdit* txtSPathName_ = nullptr;
    QLineEdit* txtDPathName_ = nullptr;
    QLineEdit* txtDFile_ = nullptr;
    QStandardItemModel* sModel_ = nullptr;
    QStandardItemModel* dModel_ = nullptr;
    Pane sPane_;
    Pane dPane_;
};

// The menu item: the window opens when the core's opening lets it (see OpenFileExchangeForm).
FileExchangeDlg* OpenFileExchange(Engine& e, QWidget* owner);

}  // namespace kmr::gui
