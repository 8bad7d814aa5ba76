#pragma once
// The fixed lists the forms, files and captions pick their words from. Each list is zero-based and
// indexed by the code stored in the conditions (file type, trigger mode, filter, unit ...). The
// lists depend on nothing but the language, so they are plain functions returning constant lists.
// The digit formats indexed by a channel's decimals are in Numbers.h.
#include <string>
#include <string_view>
#include <vector>

#include "core/support/TextTable.h"

namespace kmr {

// ".kmr", ".csv": index 0 the program's data file, 1 CSV.
const std::vector<std::string>& FileTypeNames();

// "Manual Trigger", "Data Trigger", "External Trigger" in the given language (texts 146, 117,
// 150); index = trigger mode code.
const std::vector<std::string>& TriggerModeNames(Language lang);

// "VOLT", "STRAIN(0.5V)", "STRAIN(2.0V)", "STRAIN(5.0V)", "0.1STRAIN(0.5V)", "0.1STRAIN(2.0V)",
// "0.1STRAIN(5.0V)": the order of the instrument's input-mode table, which is |code| (the 0.1
// ranges have the codes -4, -5, -6).
const std::vector<std::string>& InputModeNames();
// The name of an input mode code (0..3, -4..-6); an empty text for any other code.
const std::string& InputModeName(int code);

// "PASS", "300Hz", "100Hz", "30Hz", "10Hz"; index = low-pass filter code.
const std::vector<std::string>& FilterNames();

// "Off", "On".
const std::vector<std::string>& OffOnNames();

// "OFF", "2", "4", ... "1024"; index = averaging exponent 0..10.
const std::vector<std::string>& AveragingNames();

// The 30 unit names; index = unit code. Japanese: "με", "℃" ...; any other language: "µ" (the
// micro sign alone) and "°C".
const std::vector<std::string>& UnitNames(Language lang);
// The language whose unit names a user locale identifier gets: "0411" Japanese, else English.
Language LanguageOfUserLanguageId(std::string_view languageId);

// The message shown when the locale does not use "." as its decimal symbol, in the language of
// the number read from text 1 (0 Japanese, 1 English); empty for any other number. Two lines
// joined by CR LF.
std::string DecimalSymbolMessage(int languageNumber);

// Every list at once, as start-up builds them: the texts in the text language, the unit names by
// the user locale's language identifier.
struct Vocabulary {
    std::vector<std::string> fileTypes;
    std::vector<std::string> triggerModes;
    std::vector<std::string> inputModes;
    std::vector<std::string> filters;
    std::vector<std::string> offOn;
    std::vector<std::string> averaging;
    std::vector<std::string> units;
};
Vocabulary MakeVocabulary(Language textLanguage, std::string_view userLanguageId);

}  // namespace kmr
