#include "core/support/Vocabulary.h"

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
        {Text(Language::English, 146), Text(Language::English, 117), Text(Language::English, 150)},
        {Text(Language::Japanese, 146), Text(Language::Japanese, 117),
         Text(Language::Japanese, 150)},
    };
    return names[LanguageIndex(lang)];
}

const std::vector<std::string>& InputModeNames() {
    static const std::vector<std::string> names{
        "VOLT",           "STRAIN(0.5V)",    "STRAIN(2.0V)",   "STRAIN(5.0V)",
        "0.1STRAIN(0.5V)", "0.1STRAIN(2.0V)", "0.1STRAIN(5.0V)",
    };
    return names;
}

const std::string& InputModeName(int code) {
    static const std::string kNone;
    // Codes 0..3 are the plain ranges, -4..-6 the 0.1 ranges; 4..6 and -1..-3 are not codes.
    const bool valid = (code >= 0 && code <= 3) || (code >= -6 && code <= -4);
    if (!valid) return kNone;
    return InputModeNames()[static_cast<std::size_t>(code < 0 ? -code : code)];
}

const std::vector<std::string>& FilterNames() {
    static const std::vector<std::string> names{"PASS", "300Hz", "100Hz", "30Hz", "10Hz"};
    return names;
}

const std::vector<std::string>& OffOnNames() {
    static const std::vector<std::string> names{"Off", "On"};
    return names;
}

const std::vector<std::string>& AveragingNames() {
    static const std::vector<std::string> names{"OFF", "2",   "4",   "8",   "16",  "32",
                                                "64",  "128", "256", "512", "1024"};
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
