#pragma once
// The two-language text table: every user-visible text by its identifier, UTF-8.
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/support/TextIds.h"

namespace kmr {

enum class Language { English, Japanese };

// The language of the user's locale: the first of LC_ALL, LC_MESSAGES, LANG that is set and not
// empty, where a value beginning with "ja" is Japanese; when none is, English on Linux and on
// Windows the user's locale (Japanese for 0411).
Language LanguageFromEnvironment();

// "0411" for Japanese, "0409" otherwise.
std::string UserLanguageId(Language lang);

// The text of an identifier in a language. An unknown identifier is a programming error: it
// aborts in debug builds and yields an empty text otherwise.
const std::string& Text(Language lang, int id);

// `pattern` with each "%1" ... "%9" replaced by the argument of that number (the languages put
// the numbers of a sentence in different orders). A placeholder without an argument stays.
std::string Substitute(std::string_view pattern, std::initializer_list<std::string_view> args);
// Text(lang, id) with its placeholders filled.
std::string TextWith(Language lang, int id, std::initializer_list<std::string_view> args);

// Every identifier of a table, ascending.
std::vector<int> TextIds(Language lang);

}  // namespace kmr
