#pragma once
// The window program's answer when a transfer's file cannot be written: one message with the
// failure and the offer to save the recording in another folder; Yes opens the folder picker, and
// the folder chosen there is where the transfer runs again from the instrument. A picker closed
// without a folder asks again; only No gives the recording up.
#include <QPointer>
#include <QWidget>
#include <functional>

#include "core/support/SaveElsewherePort.h"
#include "core/support/UiPort.h"

namespace kmr::gui {

class PathDlg;

class SaveElsewhere : public SaveElsewherePort {
public:
    SaveElsewhere(UiPort& ui, QWidget* owner) : ui_(ui), owner_(owner) {}
    std::optional<std::string> OtherFolder(const std::string& problem, const std::string& folder) override;
    // Called with the picker once it is open (the tests answer it).
    std::function<void(PathDlg&)> pickerOpened;

private:
    // The folder picker, waited for; nothing when it closed without a folder.
    std::optional<std::string> PickFolder(const std::string& folder);

    UiPort& ui_;
    QPointer<QWidget> owner_;
};

}  // namespace kmr::gui
