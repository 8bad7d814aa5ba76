#pragma once
// Before a run starts, the data file it will be written to: its name fits the file system with
// everything the program adds, its folder exists (a folder that has gone is made again) and a file
// of the longest name the run may make can be created there. When they fail the run does not
// start and nothing reaches the instrument: the message says what is wrong and what to fix.
#include <string>

#include "core/app/Engine.h"

namespace kmr {

// What stands in the way of the next data file, in `lang`; empty when nothing does. Makes the
// data folder again when it has gone.
std::string DataFileProblemBeforeRun(const GlobalSettings& g, const std::string& extension, Language lang);

// The conditions' check of Start, made first, with the settings window's refusals: no measured
// channel (a Meas.cnd edited by hand) would write a data file nothing opens, a data trigger
// without a measured trigger channel with a level would wait for ever; neither starts. False
// after the message (titled "Setting error"), status Cancelled.
bool ConditionsReadyForRun(Engine& e);

// The check of Start: true when the run may start; otherwise the problem has been shown
// (critical, titled "Error") and the status is Cancelled.
bool DataFileReadyForRun(Engine& e);

}  // namespace kmr
