#include "gui/SaveElsewhere.h"

#include <QEventLoop>
#include <QPointer>

#include "core/datafiles/PathPicker.h"
#include "gui/PathDlg.h"

namespace kmr::gui {

std::optional<std::string> SaveElsewhere::OtherFolder(const std::string& problem, const std::string& folder) {
    const std::string text = problem + "\n\n" + ui_.Text(txt::SaveElsewhereQuestion);
    if (ui_.ShowMessage(text, ui_.Text(txt::ErrorTitle), MsgIcon::Critical, MsgButtons::YesNo) != MsgAnswer::Yes)
        return std::nullopt;
    // The picker, waited for: the transfer goes on only when it has closed. It is the one window
    // that takes input meanwhile.
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
