#pragma once
// The two-language text table: every user-visible text by its identifier, UTF-8.
#include <string>
#include <vector>

namespace kmr {

enum class Language { English, Japanese };

// The language of the user's locale: on Linux the first of LC_ALL, LC_MESSAGES, LANG that is set
// and not empty; a value beginning with "ja" is Japanese.
Language LanguageFromEnvironment();

// The language of Text(id). Chosen once from the environment at first use; start-up and tests
// may set it before any text is shown.
Language TextLanguage();
void SetTextLanguage(Language lang);

// "0411" for Japanese, "0409" otherwise.
std::string UserLanguageId();

// The text of an identifier in the active language. An unknown identifier is a programming
// error: it aborts in debug builds and yields an empty text otherwise.
const std::string& Text(int id);
const std::string& Text(Language lang, int id);
bool HasText(Language lang, int id);

// Every identifier of a table, ascending.
std::vector<int> TextIds(Language lang);

}  // namespace kmr
