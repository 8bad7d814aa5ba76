#pragma once
// The folder picker that a transfer whose file could not be written opens, waited for: the
// transfer runs again from the instrument into the folder chosen there (the question before it
// is asked by the core's AskForOtherFolder).
#include <QPointer>
#include <QWidget>
#include <functional>

#include "core/support/SaveElsewherePort.h"
#include "core/support/UiPort.h"

namespace kmr::gui {

class PathDlg;

class OtherFolderPicker : public FolderPickerPort {
public:
    OtherFolderPicker(UiPort& ui, QWidget* owner) : ui_(ui), owner_(owner) {}
    std::optional<std::string> PickFolder(const std::string& folder) override;
    // Called with the picker once it is open (the tests answer it).
    std::function<void(PathDlg&)> pickerOpened;

private:
    UiPort& ui_;
    QPointer<QWidget> owner_;
};

}  // namespace kmr::gui
