#include "gui/OtherFolderPicker.h"

#include <QEventLoop>
#include <QPointer>

#include "core/datafiles/PathPicker.h"
#include "gui/PathDlg.h"

namespace kmr::gui {

std::optional<std::string> OtherFolderPicker::PickFolder(const std::string& folder) {
    // The transfer goes on only when the picker has closed. It is the one window that takes input
    // meanwhile.
    std::optional<std::string> chosen;
    QEventLoop wait;
    QPointer<PathDlg> dlg = new PathDlg(ui_, folder, kDataFolderTag, owner_);
    dlg->setWindowModality(Qt::ApplicationModal);
    QObject::connect(dlg, &PathDlg::folderChosen, &wait,
                     [&chosen](const QString&, const QString& f) { chosen = f.toStdString(); });
    QObject::connect(dlg, &PathDlg::closed, &wait, [&wait] { wait.quit(); });
    dlg->setEnabled(true);
    dlg->show();
    dlg->raise();
    dlg->activateWindow();
    if (pickerOpened) pickerOpened(*dlg);
    if (dlg && dlg->isVisible()) wait.exec();
    return chosen;
}

}  // namespace kmr::gui
