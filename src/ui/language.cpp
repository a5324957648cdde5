#include "ui/language.h"

#include <memory>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "analysis/english_messages.h"
#include "analysis/test_session.h"

namespace frontlys::ui {
namespace {

UiLanguage g_language = UiLanguage::French;
std::unique_ptr<QTranslator> g_program;
std::unique_ptr<QTranslator> g_qt;

void Remove(std::unique_ptr<QTranslator>& translator)
{
    if (!translator) return;
    QCoreApplication::removeTranslator(translator.get());
    translator.reset();
}

}  // namespace

UiLanguage LanguageFor(std::uint8_t preference, const QLocale& locale)
{
    if (preference == 1) return UiLanguage::French;
    if (preference == 2) return UiLanguage::English;
    return locale.language() == QLocale::French ? UiLanguage::French : UiLanguage::English;
}

bool InstallLanguage(UiLanguage language)
{
    Remove(g_program);
    Remove(g_qt);
    g_language = UiLanguage::French;
    if (language == UiLanguage::French) {
        // Qt's own buttons and file dialogs in French too, when Qt's translations are installed.
        auto qt = std::make_unique<QTranslator>();
        if (qt->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
            QCoreApplication::installTranslator(qt.get()))
            g_qt = std::move(qt);
        return true;
    }
    auto program = std::make_unique<QTranslator>();
    if (!program->load(QStringLiteral(":/i18n/frontlys_en.qm")) ||
        !QCoreApplication::installTranslator(program.get()))
        return false;
    g_program = std::move(program);
    g_language = UiLanguage::English;
    return true;
}

UiLanguage CurrentLanguage() { return g_language; }

QString Displayed(const std::string& french)
{
    if (g_language == UiLanguage::French) return QString::fromStdString(french);
    // The table's English is written to follow "frontlys-cli analyse: "; a box starts a sentence.
    QString english = QString::fromStdString(EnglishMessage(french));
    if (!english.isEmpty()) english[0] = english[0].toUpper();
    return english;
}

QString Displayed(const QString& french)
{
    return g_language == UiLanguage::English ? Displayed(french.toStdString()) : french;
}

QString NoteText(const Note& note)
{
    return QString::fromStdString(g_language == UiLanguage::English ? note.en : note.fr);
}

QString HelpFolder(const QString& programDir)
{
    const QDir dir(programDir);
    if (g_language == UiLanguage::English &&
        QFileInfo(dir.filePath(QStringLiteral("help/en/index.htm"))).exists())
        return dir.filePath(QStringLiteral("help/en"));
    return dir.filePath(QStringLiteral("help"));
}

}  // namespace frontlys::ui
