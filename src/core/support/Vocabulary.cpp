#include "core/support/Vocabulary.h"

#include "core/support/InstrumentFacts.h"

namespace kmr {
namespace {

int LanguageIndex(Language lang) { return lang == Language::Japanese ? 1 : 0; }

}  // namespace

const std::vector<std::string>& FileTypeNames() {
    static const std::vector<std::string> names{".kmr", ".csv"};
    return names;
}

const std::vector<std::string>& TriggerModeNames(Language lang) {
    static const std::vector<std::string> names[2] = {
        {Text(Language::English, txt::ManualTrigger), Text(Language::English, txt::DataTrigger),
         Text(Language::English, txt::ExternalTrigger)},
        {Text(Language::Japanese, txt::ManualTrigger), Text(Language::Japanese, txt::DataTrigger),
         Text(Language::Japanese, txt::ExternalTrigger)},
    };
    return names[LanguageIndex(lang)];
}

const std::vector<std::string>& InputModeNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v;
        for (const InputModeFact& m : kInputModes) v.emplace_back(m.name);
        return v;
    }();
    return names;
}

const std::string& InputModeName(int code) {
    static const std::string kNone;
    for (std::size_t i = 0; i < kInputModes.size(); ++i)
        if (kInputModes[i].code == code) return InputModeNames()[i];
    return kNone;
}

const std::vector<std::string>& FilterNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v;
        for (const FilterFact& f : kFilters) v.emplace_back(f.name);
        return v;
    }();
    return names;
}

const std::vector<std::string>& OffOnNames() {
    static const std::vector<std::string> names{"Off", "On"};
    return names;
}

const std::vector<std::string>& AveragingNames() {
    // "OFF", then 2^n points.
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v{"OFF"};
        for (int n = 1; n <= kAveragingRange.hi; ++n) v.push_back(std::to_string(1 << n));
        return v;
    }();
    return names;
}

const std::vector<std::string>& UnitNames(Language lang) {
    // Japanese systems show strain as "με" (Greek mu and epsilon) and the one-character degree
    // Celsius; elsewhere the micro sign alone (U+00B5) and degree sign + "C".
    static const std::vector<std::string> names[2] = {
        {"\xC2\xB5", "mm", "cm", "\xC2\xB0" "C", "gf", "kgf", "tf", "N", "kN", "MN", "kgf/mm^2",
         "kgf/cm^2", "kPa", "MPa", "hPa", "mV", "V", "G", "gal", "m/s^2", "cm/s^2", "rad/s^2",
         "m/s", "cm/s", "rad/s", "kine", "rpm", "cpm", "deg", "rad"},
        {"με", "mm", "cm", "℃", "gf", "kgf", "tf", "N", "kN", "MN", "kgf/mm^2", "kgf/cm^2", "kPa",
         "MPa", "hPa", "mV", "V", "G", "gal", "m/s^2", "cm/s^2", "rad/s^2", "m/s", "cm/s", "rad/s",
         "kine", "rpm", "cpm", "deg", "rad"},
    };
    return names[LanguageIndex(lang)];
}

Language LanguageOfUserLanguageId(std::string_view languageId) {
    return languageId == "0411" ? Language::Japanese : Language::English;
}

std::string DecimalSymbolMessage(int languageNumber) {
    switch (languageNumber) {
    case 0:
        return "「コントロールパネル」の「地域のプロパティ」で、数値の小数点の記号をピリオド\".\"に"
               "変更してください。\r\n"
               "その後、ソフトウェアを再起動してください。";
    case 1:
        return "From the \"Regional Settings Properties\" in the \"Control Panel\", change the "
               "decimal symbol of number to point \".\".   \r\n"
               "Thereafter, restart the software.";
    default:
        return {};
    }
}

Vocabulary MakeVocabulary(Language textLanguage, std::string_view userLanguageId) {
    Vocabulary v;
    v.fileTypes = FileTypeNames();
    v.triggerModes = TriggerModeNames(textLanguage);
    v.inputModes = InputModeNames();
    v.filters = FilterNames();
    v.offOn = OffOnNames();
    v.averaging = AveragingNames();
    v.units = UnitNames(LanguageOfUserLanguageId(userLanguageId));
    return v;
}

}  // namespace kmr
