#include "core/app/ProgramState.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/datafiles/DataFileNaming.h"
#include "core/support/SpecialFolders.h"

namespace kmr {

std::string ProgramState::CondPath(const std::string& name) const {
    const std::string folder = CondFolder + "Cond";
    // The program's own folder is made again when it has gone (a settings folder cleaned up while
    // the program runs), as start-up made it: otherwise every later save of the settings would
    // fail and be lost. A folder that cannot be made shows in the save's own failure.
    if (!CondFolder.empty()) {
        std::error_code ec;
        const std::filesystem::path p = PathFromUtf8(folder);
        if (!std::filesystem::is_directory(p, ec)) std::filesystem::create_directories(p, ec);
    }
    return folder + PathSeparator() + name;
}

bool ProgramState::ConditionFileHeld(const std::string& name) const {
    return std::find(HeldConditionFiles.begin(), HeldConditionFiles.end(), CondPath(name)) != HeldConditionFiles.end();
}

std::string ProgramState::DefaultDataFolder() const {
    return DocumentsFolder + "Data" + PathSeparator();
}

std::string ProgramState::Extension() const {
    return FileTypeExtension(Global.FileType);
}

}  // namespace kmr
