#include "gui/SaveElsewhere.h"

#include <QEventLoop>
#include <QPointer>

#include "core/datafiles/PathPicker.h"
#include "gui/PathDlg.h"

namespace kmr::gui {

std::optional<std::string> SaveElsewhere::OtherFolder(const std::string& problem, const std::string& folder) {
    const std::string text = problem + "\n\n" + ui_.Text(txt::SaveElsewhereQuestion);
    // Only No gives the recording up: a picker closed without a folder (its Cancel, a folder that
    // failed the write test) asks again.
    while (ui_.ShowMessage(text, ui_.Text(txt::ErrorTitle), MsgIcon::Critical, MsgButtons::YesNo) == MsgAnswer::Yes) {
        if (std::optional<std::string> chosen = PickFolder(folder)) return chosen;
    }
    return std::nullopt;
}

std::optional<std::string> SaveElsewhere::PickFolder(const std::string& folder) {
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
