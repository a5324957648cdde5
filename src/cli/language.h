#pragma once
// The language of one run of frontlys-cli: French when the locale says fr_*, English otherwise,
// --lang fr|en overriding. Every line the tool prints (summary, progress, warnings, errors) is in
// that language; the program's own French messages are what the desktop program shows, and the
// tool translates them for an English run.

#include <ostream>
#include <string>
#include <string_view>

#include "core/status.h"

namespace frontlys::cli {

enum class Lang { Fr, En };

// From the usual variables, first set wins: LC_ALL, LC_MESSAGES, LANG (null = unset).
Lang LanguageFromLocale(const char* lcAll, const char* lcMessages, const char* lang);
Lang LanguageFromEnvironment();

Lang CurrentLanguage();
void SetLanguage(Lang lang);

// The text of the run's language.
inline const char* Tr(const char* fr, const char* en) { return CurrentLanguage() == Lang::Fr ? fr : en; }

// A message of the program (French) in the run's language; unknown texts are kept as they are.
std::string Translated(std::string_view french);

// A technical reason (written in English by the modules and the system) in the run's language: the
// phrases the tool knows are translated, names and numbers stay.
std::string TranslatedReason(std::string_view english);

// Progress and informative lines go to stderr unless --quiet; errors always do.
bool Quiet();
void SetQuiet(bool quiet);
void Progress(std::string_view french);

// "frontlys-cli <command>: <message> (<reason>)" on err. A FITS file that exists but cannot be read
// is "unreadable", never "not found".
void PrintRefusal(std::ostream& err, std::string_view command, const Status& status);

}  // namespace frontlys::cli
