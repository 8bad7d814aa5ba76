#pragma once
// The data-file settings form without its window: the data folder, the name of the next data
// file and the file type being edited, the list of the folder's files of that type, and what OK
// (registration), Cancel and the close box do. The settings change only through registration.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/Engine.h"
#include "core/app/FormRules.h"
#include "core/conditions/GlobalSettings.h"
#include "core/datafiles/Csv.h"
#include "core/datafiles/DataFileNaming.h"

namespace kmr {


class SetPathAndFileForm {
public:
    // The settings as they stand, the number of the next data file and the memory words of the
    // measurement conditions (CSV is refused above 65000).
    SetPathAndFileForm(const GlobalSettings& settings, std::int32_t dataFileNumber, std::int32_t memoryWords);

    const std::string& Folder() const { return folder_; }
    const std::string& BaseName() const { return base_; }
    std::int16_t FileType() const { return fileType_; }
    std::string Extension() const;
    // What the name box shows: the last accepted name, with its extension.
    const std::string& AcceptedName() const { return accepted_; }

    // The name box lost the focus, Enter was pressed in it or a name of the list was clicked:
    // the typed text is accepted (the base name follows) or the box returns to the accepted name.
    // A refused name is told why and what to type instead, through `ui` when one is given: one
    // with a character or a device name a file name cannot have, one that looks numbered or
    // lettered, the extension alone, or one too long for the file system (with the number, part
    // letter and extension the program adds). The box's own name given back is no refusal.
    bool CommitName(std::string_view typed, UiPort* ui = nullptr);
    // Why the last CommitName refused its text (None after an accepted one).
    NameRefusal LastRefusal() const { return lastRefusal_; }
    // The message of the last refusal; empty after an accepted name or the box's own one.
    std::string RefusalMessage(Language lang) const;
    // A file-type option was set: CSV with more than 65000 memory words is refused with the
    // Caution box (the option goes back to the data file); otherwise the type is taken and the
    // box shows the base name with the new extension. Returns whether the type was taken.
    bool ChooseFileType(int type, UiPort& ui, Language lang);
    // The folder picker chose a folder.
    void SetFolder(const std::string& folder) { folder_ = folder; }

    // The files of the folder with the current extension, for the list.
    std::vector<std::string> FileList() const;
    // Folder, base name or file type differ from `settings`.
    bool Changed(const GlobalSettings& settings) const;

private:
    std::string folder_;
    std::string base_;
    std::int16_t fileType_ = 0;
    std::string accepted_;
    std::int32_t memoryWords_ = 0;
    NameRefusal lastRefusal_ = NameRefusal::None;
    kmr::AcceptedName refused_;
};

// The Caution box's text: CSV is not possible with more than 65000 memory words.
std::string CsvCautionText(Language lang);
// The second question of a registration: a data file of the base name exists; is base_number
// with the extension right?
std::string NumberedNameQuestion(Language lang, const std::string& base, std::int32_t number,
                                 const std::string& extension);

// OK (registration): nothing changed closes; otherwise question 157, the next number from the
// folder's files, question 120-122 when the name has to carry a number; on Yes `disable` the
// form, hourglass, folder, type, number and base name stored (the number even when 0),
// Global.cnd saved.
FormOutcome SetPathAndFileOk(Engine& e, SetPathAndFileForm& form, Language lang, const std::function<void()>& disable);
// The form has closed, however: the main window names the next data file.
void SetPathAndFileClosed(Engine& e);

}  // namespace kmr
