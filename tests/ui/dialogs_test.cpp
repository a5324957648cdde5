// The dialogs driven through the scripted platform: each script fills the real widgets and presses
// the real buttons, as the user would.
#include <cmath>
#include <fstream>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

#include "core/numbers.h"
#include "support/donut_pair.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "ui/form_aide.h"
#include "ui/form_orvane.h"
#include "ui/form_param.h"
#include "ui/form_saisie_zern.h"
#include "ui/prefs_dialog.h"

namespace frontlys::ui {
namespace {

template <class W>
W* Child(QWidget& parent, const char* name)
{
    W* w = parent.findChild<W*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void Click(QWidget& parent, const char* name) { Child<QPushButton>(parent, name)->click(); }

class DialogsTest : public ::testing::Test {
protected:
    static ImageSlot Pupil(double radiusPx)
    {
        ImageSlot image = NewImage(8, 8);
        image->Radius = radiusPx;
        return image;
    }

    ScopedDecimalSeparator point{'.'};
    FakePlatform platform;
    TestSession session = NewSession();
    TempDir temp;
};

// --- "Paramètres du test" ---

class FormParamTest : public DialogsTest {
protected:
    // Types the worked example's instrument: 200 mm at 2000 mm, 9 um pixels.
    static void TypeInstrument(QDialog& d)
    {
        Child<QSpinBox>(d, "SpinEdit2")->setValue(200);
        Child<QSpinBox>(d, "SpinEdit3")->setValue(2000);
        Child<QLineEdit>(d, "Edit3")->setText(QStringLiteral("9"));
    }
    TFormParam dialog{platform, session};
};

TEST_F(FormParamTest, DistanceButtonGivesTheWorkedDefocusAndOkEntersIt)
{
    session.ImageIntra = Pupil(40);
    session.ImageExtra = Pupil(44);
    platform.dialogScript = [](QDialog& d) {
        TypeInstrument(d);
        Child<QLineEdit>(d, "EditObstruction")->setText(QStringLiteral("25,5"));
        Child<QToolButton>(d, "SpeedButton1")->click();
        // 42 px x 9 um / tan u with sin u = 1 / 20: 7.560 mm paraxial, 7.551 on the exact beam.
        EXPECT_EQ(Child<QLineEdit>(d, "Edit4")->text(), QStringLiteral("7.551"));
        Click(d, "BitBtn1");
        return d.result();
    };
    EXPECT_TRUE(dialog.FormShow());
    EXPECT_TRUE(session.ParamsSaisis);
    EXPECT_EQ(session.Params.Defocus, 7'551'000);
    EXPECT_EQ(session.Params.Focal, 2e9);
    EXPECT_EQ(session.Params.ApertureRadius, 1e8);
    EXPECT_DOUBLE_EQ(session.Params.Obstruction, 0.255);
    EXPECT_DOUBLE_EQ(session.ImageIntra->RadiusNm, 40 * 9000.0);
    EXPECT_TRUE(platform.warnings.empty());
    EXPECT_TRUE(session.Params.DefocusMesure);  // computed, so the analysis may measure it again

    // A defocus typed over the computed one is the user's.
    platform.dialogScript = [](QDialog& d) {
        Child<QLineEdit>(d, "Edit4")->setText(QStringLiteral("7.5"));
        Click(d, "BitBtn1");
        return d.result();
    };
    EXPECT_TRUE(dialog.FormShow());
    EXPECT_EQ(session.Params.Defocus, 7'500'000);
    EXPECT_FALSE(session.Params.DefocusMesure);
}

TEST_F(FormParamTest, WithOneImageTheDistanceButtonKeepsTheDefocus)
{
    session.ImageIntra = Pupil(40);
    session.Params.Defocus = 3'250'000;
    platform.dialogScript = [&](QDialog& d) {
        TypeInstrument(d);
        Child<QLineEdit>(d, "Edit4")->setText(QStringLiteral("9"));
        Child<QToolButton>(d, "SpeedButton1")->click();
        EXPECT_EQ(Child<QLineEdit>(d, "Edit4")->text(), QStringLiteral("3.250"));
        EXPECT_EQ(session.Params.Focal, 2e9);
        EXPECT_EQ(session.Params.ApertureRadius, 1e8);
        Click(d, "BitBtn2");
        return d.result();
    };
    EXPECT_FALSE(dialog.FormShow());
}

// Texts that are not numbers and a zero defocus keep the dialog open with their message.
TEST_F(FormParamTest, RefusedOkKeepsTheDialogOpen)
{
    session.ParamsSaisis = true;
    platform.dialogScript = [&](QDialog& d) {
        TypeInstrument(d);
        Child<QLineEdit>(d, "Edit4")->setText(QStringLiteral("7,5mm"));
        Click(d, "BitBtn1");
        Child<QLineEdit>(d, "Edit4")->setText(QStringLiteral("0"));
        Child<QLineEdit>(d, "Edit3")->setText(QStringLiteral("9 um"));
        Click(d, "BitBtn1");
        Child<QLineEdit>(d, "Edit3")->setText(QStringLiteral("9"));
        Click(d, "BitBtn1");
        EXPECT_NE(d.result(), QDialog::Accepted);
        EXPECT_FALSE(session.ParamsSaisis);
        Click(d, "BitBtn2");
        return d.result();
    };
    EXPECT_FALSE(dialog.FormShow());
    ASSERT_EQ(platform.warnings.size(), 3u);
    EXPECT_EQ(platform.warnings[0], QStringLiteral("'7,5mm' n'est pas une valeur numérique correcte."));
    EXPECT_EQ(platform.warnings[1], QStringLiteral("'9 um' n'est pas une valeur numérique correcte."));
    EXPECT_EQ(platform.warnings[2], QStringLiteral("Tous les paramètres n'ont pas été saisis."));
}

// The rules of the analysis apply at the dialog: a negative defocus and an obstruction of 96 % keep
// it open with their message, instead of a wavefront turned over or a refusal at the analysis.
TEST_F(FormParamTest, ANegativeDefocusOrAnObstructionOf96PercentIsRefusedAtOk)
{
    platform.dialogScript = [&](QDialog& d) {
        TypeInstrument(d);
        Child<QLineEdit>(d, "Edit4")->setText(QStringLiteral("-7.5"));
        Click(d, "BitBtn1");
        Child<QLineEdit>(d, "Edit4")->setText(QStringLiteral("7.5"));
        Child<QLineEdit>(d, "EditObstruction")->setText(QStringLiteral("96"));
        Click(d, "BitBtn1");
        EXPECT_NE(d.result(), QDialog::Accepted);
        EXPECT_FALSE(session.ParamsSaisis);
        Child<QLineEdit>(d, "EditObstruction")->setText(QStringLiteral("35"));
        Click(d, "BitBtn1");
        return d.result();
    };
    EXPECT_TRUE(dialog.FormShow());
    ASSERT_EQ(platform.warnings.size(), 2u);
    EXPECT_EQ(platform.warnings[0].toStdString(), kDefocusNegativeMessage);
    EXPECT_EQ(platform.warnings[1].toStdString(), kObstructionMessage);
    EXPECT_EQ(session.Params.Defocus, 7'500'000);
    EXPECT_DOUBLE_EQ(session.Params.Obstruction, 0.35);
}

// The vanes typed in the dialog reach the parameters, and the next showing fills them back in; or
// they are left to be measured.
TEST_F(FormParamTest, SpiderVanesAreEnteredAndShownAgain)
{
    platform.dialogScript = [&](QDialog& d) {
        TypeInstrument(d);
        Child<QLineEdit>(d, "Edit4")->setText(QStringLiteral("7.5"));
        Child<QSpinBox>(d, "SpinEditVanes")->setValue(4);
        Child<QLineEdit>(d, "EditVaneWidth")->setText(QStringLiteral("3"));
        Child<QLineEdit>(d, "EditVaneAngle")->setText(QStringLiteral("45"));
        Click(d, "BitBtn1");
        return d.result();
    };
    ASSERT_TRUE(dialog.FormShow());
    EXPECT_EQ(session.Params.VaneCount, 4);
    EXPECT_DOUBLE_EQ(session.Params.VaneWidth, 3e6);
    EXPECT_DOUBLE_EQ(session.Params.VaneAngle, 45);
    platform.dialogScript = [&](QDialog& d) {
        EXPECT_EQ(Child<QSpinBox>(d, "SpinEditVanes")->value(), 4);
        EXPECT_EQ(Child<QLineEdit>(d, "EditVaneWidth")->text(), QStringLiteral("3"));
        EXPECT_EQ(Child<QLineEdit>(d, "EditVaneAngle")->text(), QStringLiteral("45"));
        Click(d, "BitBtn2");
        return d.result();
    };
    EXPECT_FALSE(dialog.FormShow());
    // One step below none asks for them to be measured on the images, and reads so.
    platform.dialogScript = [&](QDialog& d) {
        auto* vanes = Child<QSpinBox>(d, "SpinEditVanes");
        vanes->setValue(vanes->minimum());
        EXPECT_EQ(vanes->text(), QStringLiteral("mesurées"));
        Click(d, "BitBtn1");
        return d.result();
    };
    ASSERT_TRUE(dialog.FormShow());
    EXPECT_EQ(session.Params.VaneCount, kVanesMeasured);
}

TEST_F(FormParamTest, CancelAfterTheDistanceButtonRestoresTheParameters)
{
    session.ImageIntra = Pupil(40);
    session.ImageExtra = Pupil(44);
    session.Params = {1e9, 5e7, 1e6, 0.3};
    const TTestParams before = session.Params;
    platform.dialogScript = [](QDialog& d) {
        TypeInstrument(d);
        Child<QToolButton>(d, "SpeedButton1")->click();
        Click(d, "BitBtn2");
        return d.result();
    };
    EXPECT_FALSE(dialog.FormShow());
    EXPECT_EQ(session.Params, before);
}

// --- "Préférences" ---

class PrefsTest : public DialogsTest {
protected:
    PrefsTest() { session.Prefs.Preferences = temp.path().string() + "/"; }
    std::vector<QString> helpPages;
    TPrefs dialog{platform, session, [this](const QString& page) { helpPages.push_back(page); }};
};

TEST_F(PrefsTest, DefaultThenCancelKeepsTheDefaultsWithoutWriting)
{
    session.Prefs.PltFront = 3;
    session.Prefs.NIter = 9;
    platform.dialogScript = [](QDialog& d) {
        Click(d, "BitBtn4");
        EXPECT_EQ(Child<QComboBox>(d, "ComboBox2")->currentIndex(), 1);
        Click(d, "BitBtn2");
        return d.result();
    };
    EXPECT_FALSE(dialog.Execute());
    Tpreferences defaults = DefaultPreferences();
    defaults.Preferences = temp.path().string() + "/";  // where prefs.txt is read: kept
    EXPECT_EQ(session.Prefs, defaults);
    EXPECT_FALSE(std::filesystem::exists(temp.path() / "prefs.txt"));
}

TEST_F(PrefsTest, TypedWavelengthIsWrittenAndReadBack)
{
    platform.dialogScript = [](QDialog& d) {
        auto* lambda = Child<QLineEdit>(d, "EDitLambdaRef");
        lambda->clear();
        QTest::keyClicks(lambda, QStringLiteral("632,8"));
        Child<QSpinBox>(d, "SpinEditNPolyZern")->setValue(11);
        Click(d, "BitBtn1");
        return d.result();
    };
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(session.Basis.Count(), 11);
    Tpreferences read;
    read.Preferences = session.Prefs.Preferences;
    ASSERT_TRUE(ReadPrefs(read).ok());
    EXPECT_EQ(read.LambdaRef, 632.8);
    EXPECT_EQ(read.NPolyZern, 11);
}

// A folder chosen with "..." applies at once and stays after cancel; a cancelled browser changes nothing.
TEST_F(PrefsTest, BrowsedFolderStaysAfterCancel)
{
    const std::string prefsFolder = session.Prefs.Preferences;
    platform.fileAnswers = {QStringLiteral("/data/images"), std::nullopt};
    platform.dialogScript = [](QDialog& d) {
        Click(d, "Button4");
        Click(d, "Button6");
        Click(d, "BitBtn2");
        return d.result();
    };
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(session.Prefs.Images, "/data/images");
    EXPECT_EQ(session.Prefs.Preferences, prefsFolder);
    EXPECT_EQ(platform.fileRequests[0].title, QStringLiteral("Choisir un dossier images"));
    EXPECT_EQ(platform.fileRequests[1].title, QStringLiteral("Choisir un dossier préferences"));
}

// A reduced side that the list does not offer leaves it without selection; OK keeps that side.
TEST_F(PrefsTest, OkWithoutReducedSideSelectionKeepsTheSide)
{
    session.Prefs.ExtractDim = 12;
    platform.dialogScript = [](QDialog& d) {
        EXPECT_EQ(Child<QComboBox>(d, "ComboBox5")->currentIndex(), -1);
        Click(d, "BitBtn1");
        return d.result();
    };
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(session.Prefs.ExtractDim, 12);
}

TEST_F(PrefsTest, HelpButtonOpensThePreferencesPageBesideTheHomePage)
{
    session.Prefs.Aide = "/opt/aide/index.htm";
    platform.dialogScript = [](QDialog& d) {
        Click(d, "BitBtn3");
        return int(QDialog::Rejected);
    };
    dialog.Execute();
    ASSERT_EQ(helpPages.size(), 1u);
    EXPECT_EQ(helpPages[0], QStringLiteral("/opt/aide/preferences.htm"));
}

// --- "Paramètres de simulation" ---

class FormSaisieZernTest : public DialogsTest {
protected:
    FormSaisieZernTest() { session.Basis = ZernikeBasis::ForCount(11); }
};

TEST_F(FormSaisieZernTest, FirstOpeningShowsTheStartValuesAndUses22Terms)
{
    TFormSaisieZern dialog(platform, session);
    EXPECT_EQ(session.Basis.Count(), 22);
    EXPECT_EQ(Child<QComboBox>(dialog, "ComboBoxDim")->currentText(), QStringLiteral("64"));
    EXPECT_EQ(Child<QSpinBox>(dialog, "SpinEditRayon")->value(), 0);
    EXPECT_EQ(Child<QSpinBox>(dialog, "SpinEditObstruction")->value(), 0);
    for (int k = 2; k <= 22; ++k) {
        const QByteArray n = QByteArray::number(k);
        EXPECT_EQ(Child<QLineEdit>(dialog, ("EditZ" + n).constData())->text(), QStringLiteral("0.00"));
        EXPECT_TRUE(Child<QCheckBox>(dialog, ("CheckBoxZ" + n).constData())->isChecked());
        EXPECT_FALSE(Child<QLabel>(dialog, ("ImageZ" + n).constData())->pixmap().isNull());
    }
}

TEST_F(FormSaisieZernTest, DefocusTypedInRmsIsStoredAsPeakCoefficient)
{
    session.Sim.SimCoef[25] = 7;  // beyond the dialog's terms: kept
    TFormSaisieZern dialog(platform, session);
    platform.dialogScript = [](QDialog& d) {
        Child<QLineEdit>(d, "EditZ4")->setText(QStringLiteral("100"));
        Child<QCheckBox>(d, "CheckBoxZ5")->setChecked(false);
        Click(d, "ButtonOK");
        return d.result();
    };
    EXPECT_TRUE(dialog.Execute());
    EXPECT_NEAR(session.Sim.SimCoef[3], 100 * std::sqrt(3.0), 1e-9);
    EXPECT_EQ(session.Sim.SimCoef[25], 7);
    EXPECT_EQ(session.Sim.SimMasque[0], 0);
    EXPECT_EQ(session.Sim.SimMasque[4], 0);
    EXPECT_EQ(session.Sim.SimTaille, 64);
}

TEST_F(FormSaisieZernTest, ObstructionMovedThenCancelledStaysAndRedrawsThePictures)
{
    TFormSaisieZern dialog(platform, session);
    const QImage before = Child<QLabel>(dialog, "ImageZ11")->pixmap().toImage();
    platform.dialogScript = [](QDialog& d) {
        Child<QSpinBox>(d, "SpinEditObstruction")->setValue(40);
        Click(d, "ButtonAnnuler");
        return d.result();
    };
    EXPECT_FALSE(dialog.Execute());
    EXPECT_DOUBLE_EQ(session.Sim.SimObstruction, 0.4);
    const QImage after = Child<QLabel>(dialog, "ImageZ11")->pixmap().toImage();
    // The centre of the picture lies inside the obstruction now: background, no longer the term.
    EXPECT_NE(before.pixel(40, 40), after.pixel(40, 40));
    EXPECT_EQ(session.Sim.SimTaille, 0);
}

TEST_F(FormSaisieZernTest, ImportTakesTheMeasuredWavefront)
{
    session.ImageFrontBrut = NewImage(256, 256);
    session.ImageFrontBrut->Radius = 99.6;
    session.ImageFrontBrut->Obstruction = 0.234;
    session.CoefFront[10] = 50 * std::sqrt(5.0);  // spherical, 50 nm RMS
    TFormSaisieZern dialog(platform, session);
    Click(dialog, "ButtonImporter");
    EXPECT_EQ(Child<QComboBox>(dialog, "ComboBoxDim")->currentText(), QStringLiteral("256"));
    EXPECT_EQ(Child<QSpinBox>(dialog, "SpinEditRayon")->value(), 100);
    EXPECT_EQ(Child<QSpinBox>(dialog, "SpinEditObstruction")->value(), 23);
    EXPECT_EQ(Child<QLineEdit>(dialog, "EditZ11")->text(), QStringLiteral("50.00"));
}

// --- Help window ---

// F1 without a home page set opens the help installed beside the program; pressed again, the same
// window returns to that page.
TEST_F(DialogsTest, F1TwiceReusesTheHelpWindowAndReturnsHome)
{
    const std::filesystem::path help = temp.path() / "help";
    std::filesystem::create_directory(help);
    for (const char* name : {"index.htm", "autre.htm"})
        std::ofstream(help / name) << "<html><body>" << name << "</body></html>";
    TFormOrvane window(platform, QString::fromStdString(temp.path().string()));
    auto* documentation = window.findChild<QAction*>(QStringLiteral("Documentation1"));
    ASSERT_NE(documentation, nullptr);
    EXPECT_EQ(documentation->shortcut(), QKeySequence(Qt::Key_F1));
    documentation->trigger();
    auto* aide = window.findChild<TFormAide*>(QStringLiteral("FormAide"));
    ASSERT_NE(aide, nullptr);
    auto* back = Child<QPushButton>(*aide, "ButtonPrecedent");
    EXPECT_FALSE(back->isEnabled());
    aide->ShowPage(QString::fromStdString((help / "autre.htm").string()));
    EXPECT_TRUE(back->isEnabled());
    documentation->trigger();
    EXPECT_EQ(window.findChildren<TFormAide*>().size(), 1);
    EXPECT_TRUE(aide->isVisible());
    EXPECT_EQ(Child<QTextBrowser>(*aide, "WebBrowserAide")->source().fileName(), QStringLiteral("index.htm"));
}

// --- A whole test in the program ---

// From opening the pair to the result files, with the parameters entered in the real dialog.
TEST_F(DialogsTest, WholeTestFromOpeningToTheResultFiles)
{
    const testing::DonutFiles files = testing::WriteDonutPair(temp.path(), testing::DonutSpec{}, 128);
    TFormOrvane window(platform, QString::fromStdString(temp.path().string()));
    // The single reconstruction: this is about the dialogs and the files, not the method.
    window.session().Prefs.CorrectionAnalytique = 0;
    auto trigger = [&](const char* name) {
        window.findChild<QAction*>(QLatin1String(name))->trigger();
        window.WaitForIdle();
    };
    platform.fileAnswers = {QString::fromStdString(files.intra.string()),
                            QString::fromStdString(files.extra.string())};
    trigger("Ouvririntrapuisextra1");
    platform.dialogScript = [](QDialog& d) {
        Child<QLineEdit>(d, "Edit3")->setText(QStringLiteral("12,5"));
        Child<QToolButton>(d, "SpeedButton1")->click();
        EXPECT_NEAR(ParseNumber(Child<QLineEdit>(d, "Edit4")->text().toStdString()).value_or(0), 5.0, 0.1);
        Click(d, "BitBtn1");
        return d.result();
    };
    trigger("Paramtresdutest1");
    ASSERT_TRUE(window.session().ParamsSaisis);
    trigger("Front1");
    ASSERT_NE(window.session().ImageFront, nullptr);
    // The export adds its extension; the coefficient dialog then starts from the exported name.
    const QString exported = QString::fromStdString((temp.path() / "result").string());
    platform.fileAnswers = {exported};
    trigger("Exporterlefrontversquorvex1");
    EXPECT_TRUE(std::filesystem::exists(temp.path() / "result.opd"));
    const std::filesystem::path saved = temp.path() / "coefficients.txt";
    platform.fileAnswers = {QString::fromStdString(saved.string())};
    trigger("Enregistrerlescoefficients1");
    EXPECT_EQ(platform.fileRequests.back().title, QStringLiteral("Enregistrer les coefficients"));
    EXPECT_EQ(platform.fileRequests.back().folder, exported);
    std::ifstream in(saved);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "Fichier =" + saved.string() + "\r");
    EXPECT_TRUE(platform.warnings.empty()) << platform.warnings.front().toStdString();
}

}  // namespace
}  // namespace frontlys::ui
