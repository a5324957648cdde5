#pragma once
// The language of the windows: French, the text of the sources, or English from the translation
// compiled into the program. Chosen once at start, from the "Langue" preference or else the locale;
// a change in the preferences applies at the next start. The French messages of the lower layers
// (refusals, notes of an analysis) are shown in the same language.

#include <cstdint>
#include <string>

#include <QString>

class QLocale;

namespace frontlys {
struct Note;
}

namespace frontlys::ui {

enum class UiLanguage { French, English };

// preference: the "Langue" key (0 the locale's, 1 French, 2 English); French only for fr_* locales.
UiLanguage LanguageFor(std::uint8_t preference, const QLocale& locale);

// Installs (English) or removes (French) the program's translation and Qt's own for the
// application. False when the English translation cannot be loaded: the windows stay French.
bool InstallLanguage(UiLanguage language);
UiLanguage CurrentLanguage();

// A message of the program (French) in the windows' language.
QString Displayed(const std::string& french);
QString Displayed(const QString& french);
// The sentence of a note in the windows' language.
QString NoteText(const Note& note);

// The help folder of the language beside the program: help/en for English when it is there,
// help otherwise.
QString HelpFolder(const QString& programDir);

}  // namespace frontlys::ui
