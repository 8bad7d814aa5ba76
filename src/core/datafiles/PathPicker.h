#pragma once
// The folder picker's decisions. It accepts only a folder on a fixed disk with at least 1000000
// free bytes in which a test file can be written, and tells its owner through two events that
// carry the tag of the box that asked for the folder; an owner reacts only to its own tags.
#include <string>

#include "core/datafiles/Conversion.h"
#include "core/datafiles/DriveType.h"
#include "core/support/TextTable.h"
#include "core/support/UiPort.h"

namespace kmr {

// The boxes that ask for a folder.
inline constexpr const char* kDataFolderTag = "SetPathAndFileDlg!ltxtPathName";
inline constexpr const char* kConvertDataFolderTag = "FileExchangeDlg!txtSPathName";
inline constexpr const char* kConvertCsvFolderTag = "FileExchangeDlg!txtDPathName";

// What the picker tells its owner.
class PathPickerEvents {
public:
    virtual ~PathPickerEvents() = default;
    // OK succeeded: `folder` ends with the separator.
    virtual void FolderChosen(const std::string& tag, const std::string& folder) = 0;
    // The picker has closed (whatever closed it).
    virtual void PickerClosed(const std::string& tag) = 0;
};

struct PathPickerPorts {
    UiPort& ui;
    DriveTypePort& types;
    DrivePort& drive;
};

// After OK: the picker stays open (a refusal was shown) or closes.
enum class PickerStep { StayOpen, Close };

class PathPicker {
public:
    PathPicker(Language lang, std::string path, std::string tag)
        : lang_(lang), path_(std::move(path)), tag_(std::move(tag)) {}

    // The folder shown under the folder list.
    const std::string& Path() const { return path_; }
    void SetPath(std::string path) { path_ = std::move(path); }
    const std::string& Tag() const { return tag_; }
    void SetTag(std::string tag) { tag_ = std::move(tag); }

    // Text 170, with " - " and text 172 or 173 for the conversion window's two folders.
    std::string Caption() const;

    // OK: the drive type (refused: 166, 161, 116 or 165 titled 151; the picker stays open), the
    // free space (130 or 131 titled 114; stays open), the trailing separator, then the write test.
    // When that works the owner hears FolderChosen; when it fails the picker shows 180 + the path
    // + 181 (titled 107) and closes without a folder.
    PickerStep Ok(PathPickerPorts& ports, PathPickerEvents& events);

    // The picker is unloaded: the owner hears PickerClosed (once).
    void Unloaded(PathPickerEvents& events);

private:
    Language lang_;
    std::string path_;
    std::string tag_;
    bool closed_ = false;
};

}  // namespace kmr
