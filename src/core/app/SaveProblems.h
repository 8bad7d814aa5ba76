#pragma once
// The condition files' save failures and damaged copies met by one action, reported once.
#include <string>
#include <vector>

#include "core/app/ProgramState.h"
#include "core/support/CndFile.h"
#include "core/support/UiPort.h"

namespace kmr {

// Collects the save failures of condition files so that they are reported once.
class SaveProblems {
public:
    // A file failed twice with the same reason (a load's rewrite, then a save) is named once.
    void Add(const SaveResult& r) {
        if (r.ok) return;
        for (const SaveResult& f : failures_)
            if (f.path == r.path && f.error == r.error) return;
        failures_.push_back(r);
    }
    // A load that had to write the file (missing, damaged) and could not is a failure too.
    void Add(const LoadResult& r) {
        Add(r.save);
        if (!r.damagedCopy.empty() || r.leftAsItWas) damaged_.push_back({r.file, r.damagedCopy});
    }
    // Shows one message naming every failure; nothing when there was none.
    void Report(UiPort& ui);
    bool empty() const { return failures_.empty(); }
    // The damaged condition files met, with their copies.
    const std::vector<DamagedConditionFile>& Damaged() const { return damaged_; }

private:
    std::vector<SaveResult> failures_;
    std::vector<DamagedConditionFile> damaged_;
};

// The one message of start-up about damaged condition files: which were reset to their defaults
// and where each one's old content is kept, and which were left as they were for want of a copy.
// Nothing when there was none; the list is emptied.
void ReportDamagedConditionFiles(ProgramState& s, UiPort& ui);

}  // namespace kmr
