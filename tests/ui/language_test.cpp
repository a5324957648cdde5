// The windows in English: the translation file complete, the language chosen from the preference or
// the locale, the main window's captions, the messages of the lower layers and the help in English.
#include "ui/language.h"

#include <fstream>
#include <sstream>

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>

#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "ui/form_aide.h"
#include "ui/form_orvane.h"

namespace frontlys::ui {
namespace {

// French again after each case, whatever it asserted: the other window tests read French captions.
class EnglishWindows : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(InstallLanguage(UiLanguage::English)); }
    void TearDown() override { InstallLanguage(UiLanguage::French); }
};

TEST(Language, FollowsTheLocaleUnlessThePreferenceChooses)
{
    EXPECT_EQ(LanguageFor(0, QLocale(QStringLiteral("fr_FR"))), UiLanguage::French);
    EXPECT_EQ(LanguageFor(0, QLocale(QStringLiteral("fr_CA"))), UiLanguage::French);
    EXPECT_EQ(LanguageFor(0, QLocale(QStringLiteral("en_GB"))), UiLanguage::English);
    EXPECT_EQ(LanguageFor(0, QLocale(QStringLiteral("de_DE"))), UiLanguage::English);
    EXPECT_EQ(LanguageFor(1, QLocale(QStringLiteral("en_US"))), UiLanguage::French);
    EXPECT_EQ(LanguageFor(2, QLocale(QStringLiteral("fr_FR"))), UiLanguage::English);
}

TEST(Language, TheEnglishFileHasNoUnfinishedOrEmptyEntry)
{
    std::ifstream in(QT_TESTCASE_SOURCEDIR "/../translations/frontlys_en.ts");
    ASSERT_TRUE(in);
    std::stringstream text;
    text << in.rdbuf();
    const std::string ts = text.str();
    EXPECT_EQ(ts.find("unfinished"), std::string::npos);
    EXPECT_EQ(ts.find("<translation></translation>"), std::string::npos);
    EXPECT_EQ(ts.find("<translation/>"), std::string::npos);
    int messages = 0;
    for (auto at = ts.find("<message>"); at != std::string::npos; at = ts.find("<message>", at + 1))
        ++messages;
    EXPECT_GT(messages, 300);
}

TEST_F(EnglishWindows, MainWindowMessagesNotesAndHelpAreInEnglish)
{
    TempDir dir;
    FakePlatform platform;
    TFormOrvane window(platform, QString::fromStdString(dir.path().string()));
    QStringList menus;
    for (QAction* menu : window.menuBar()->actions()) menus << menu->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Images", "&Entry", "&Compute", "&View", "&Help"}));
    EXPECT_EQ(window.findChild<QAction*>(QStringLiteral("Ouvririntrapuisextra1"))->text(),
              QStringLiteral("&Open the images"));
    EXPECT_EQ(window.findChild<QAction*>(QStringLiteral("Paramtresdutest1"))->text(),
              QStringLiteral("Test parameters"));

    // A refusal of the analysis layer (French) reaches the user in English.
    platform.dialogScript = [](QDialog&) { return int(QDialog::Accepted); };
    window.ShowMessage({"Vous devez saisir les parametres du test.", MessageStyle::Box});
    QString shown;
    platform.dialogScript = [&](QDialog& d) {
        shown = d.findChild<QLabel*>(QStringLiteral("Label1"))->text();
        return int(QDialog::Accepted);
    };
    window.ShowMessage({"L'image est introuvable", MessageStyle::Window});
    EXPECT_EQ(platform.warnings, std::vector<QString>{QStringLiteral("Test parameters missing")});
    EXPECT_EQ(shown, QStringLiteral("Image not found"));
    EXPECT_EQ(NoteText({"tilts", "Les tilts ne sont pas mesurés", "Tilts are not measured"}),
              QStringLiteral("Tilts are not measured"));

    // The help of the language beside the program, the French one when there is none.
    const QString program = QString::fromStdString(dir.path().string());
    EXPECT_EQ(HelpHomePage({}, program), program + QStringLiteral("/help/index.htm"));
    std::filesystem::create_directories(dir.path() / "help" / "en");
    std::ofstream(dir.path() / "help" / "en" / "index.htm") << "<html></html>";
    EXPECT_EQ(HelpHomePage({}, program), program + QStringLiteral("/help/en/index.htm"));
}

}  // namespace
}  // namespace frontlys::ui
