#include "core/datafiles/PathPicker.h"

#include "core/support/SpecialFolders.h"

namespace kmr {

std::string PathPicker::Caption() const {
    if (tag_ == kConvertDataFolderTag)
        return Text(lang_, txt::DataFolderSettingsTitle) + " - " + Text(lang_, txt::MeasurementDataFolder);
    if (tag_ == kConvertCsvFolderTag)
        return Text(lang_, txt::DataFolderSettingsTitle) + " - " + Text(lang_, txt::CsvDataFolder);
    return Text(lang_, txt::DataFolderSettingsTitle);
}

PickerStep PathPicker::Ok(PathPickerPorts& ports, PathPickerEvents& events) {
    UiPort& ui = ports.ui;
    if (const int refusal = DriveTypeRefusalText(ports.types.TypeOf(path_)); refusal != 0) {
        ui.ShowMessage(Text(lang_, refusal), Text(lang_, txt::ConfirmationTitle), MsgIcon::Exclamation, MsgButtons::Ok);
        return PickerStep::StayOpen;
    }
    if (!CheckCsvDrive(path_, ports.drive, ui)) return PickerStep::StayOpen;
    path_ = WithTrailingSeparator(path_);
    if (!ports.drive.WriteTest(path_)) {
        // The folder as the user knows it: without the separator, except the root itself.
        std::string shown = path_;
        if (shown.size() > 1 && (shown.back() == '/' || shown.back() == PathSeparator())) shown.pop_back();
        ui.ShowMessage(Text(lang_, txt::DirectoryWord) + " '" + shown + "' " + Text(lang_, txt::CannotSelect),
                       Text(lang_, txt::ErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
        return PickerStep::Close;
    }
    events.FolderChosen(tag_, path_);
    return PickerStep::Close;
}

void PathPicker::Unloaded(PathPickerEvents& events) {
    if (closed_) return;
    closed_ = true;
    events.PickerClosed(tag_);
}

}  // namespace kmr
