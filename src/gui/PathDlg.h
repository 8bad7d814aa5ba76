#pragma once
// The folder picker: the drive list, the folder list, the chosen folder under them, Cancel and
// OK. It is a window of the form that opened it; that form's controls are disabled while it is
// open. The decisions (which folders are accepted) are the core's PathPicker; the window tells
// its owner through two signals that carry the tag of the box that asked, and an owner reacts
// only to its own tags.
#include <QComboBox>
#include <QPersistentModelIndex>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QWidget>
#include <functional>

#include "core/datafiles/PathPicker.h"
#include "core/support/UiPort.h"

namespace kmr::gui {

class PathDlg : public QWidget, private PathPickerEvents {
    Q_OBJECT
public:
    PathDlg(UiPort& ui, const std::string& path, const std::string& tag, QWidget* owner);

    PathPicker& Picker() { return picker_; }
    // The drive checks the OK button uses (the system's unless a test gives its own).
    void SetPorts(DriveTypePort* types, DrivePort* drive);
    QTreeView* FolderList() const { return dirPathDlg_; }
    QComboBox* DriveList() const { return drvPathDlg_; }
    // Shows `folder` in the folder list (and under it).
    void ShowFolder(const QString& folder);

signals:
    void folderChosen(const QString& tag, const QString& folder);
    void closed(const QString& tag);

protected:
    void closeEvent(QCloseEvent* event) override;
    // Escape is Cancel; Enter presses the focused button, or OK from anywhere else.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FolderChosen(const std::string& tag, const std::string& folder) override;
    void PickerClosed(const std::string& tag) override;
    void FillDrives();
    void DriveChanged(int index);
    void Ok();
    // The row under the pointer (or the top row when the pointer is elsewhere) and where it is,
    // before the model changes; afterwards the list is scrolled so that it is there again.
    void KeepAnchor();
    void RestoreAnchor();
    // Before rows go: the row the list then makes current is not chosen (a chosen folder that
    // vanished stays chosen, and OK refuses it).
    void RowsGoing(const QModelIndex& parent, int first, int last);

    UiPort& ui_;
    PathPicker picker_;
    SystemDriveTypePort systemTypes_;
    SystemDrivePort systemDrive_;
    DriveTypePort* types_ = &systemTypes_;
    DrivePort* drive_ = &systemDrive_;
    QComboBox* drvPathDlg_ = nullptr;
    QTreeView* dirPathDlg_ = nullptr;
    QFileSystemModel* model_ = nullptr;
    QLabel* lblPathDlg_ = nullptr;
    // The chosen folder is brought into view as the folders load, until the user moves the list.
    bool followChosen_ = true;
    QPersistentModelIndex anchor_;
    int anchorY_ = 0;
    bool removing_ = false;  // rows of the list are going
};

// Opens the picker for `tag` over `owner`, whose controls stay disabled until it closes. The
// owner hears the chosen folder through `chosen` (only for its own tag).
PathDlg* OpenPathDlg(UiPort& ui, QWidget* owner, const std::string& path, const std::string& tag,
                     const std::function<void(const QString& folder)>& chosen);

// Enables or disables the controls of a form, leaving the windows it owns usable.
void SetFormControlsEnabled(QWidget* form, bool enabled);

}  // namespace kmr::gui
