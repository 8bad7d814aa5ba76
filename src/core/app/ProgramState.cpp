#include "core/app/ProgramState.h"

#include <algorithm>

#include "core/datafiles/DataFileNaming.h"
#include "core/support/SpecialFolders.h"

namespace kmr {

std::string ProgramState::CondPath(const std::string& name) const {
    return CondFolder + "Cond" + PathSeparator() + name;
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
