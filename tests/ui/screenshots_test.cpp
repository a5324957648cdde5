// Not a check: scripts/screenshots runs this case on a virtual display to picture a whole test for
// the documentation. It takes the pair and the output folder from the environment; with
// FRONTLYS_SHOTS_LANG=en the windows are in English and the pictures named *-en.png.
#include <QAbstractButton>
#include <QAction>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "ui/form_infos.h"
#include "ui/form_orvane.h"
#include "ui/language.h"

namespace frontlys::ui {
namespace {

TEST(Screenshots, DISABLED_WholeTestOnTheDemoPair)
{
    const QString out = qEnvironmentVariable("FRONTLYS_SHOTS");
    const QString intra = qEnvironmentVariable("FRONTLYS_INTRA"),
                  extra = qEnvironmentVariable("FRONTLYS_EXTRA");
    if (out.isEmpty() || intra.isEmpty() || extra.isEmpty())
        GTEST_SKIP() << "FRONTLYS_SHOTS, _INTRA, _EXTRA unset";
    const bool english = qEnvironmentVariable("FRONTLYS_SHOTS_LANG") == QLatin1String("en");
    ASSERT_TRUE(InstallLanguage(english ? UiLanguage::English : UiLanguage::French));
    auto shot = [&](const char* name) {
        QTest::qWait(400);
        QString file = QLatin1String(name);
        if (english) file.replace(QLatin1String(".png"), QLatin1String("-en.png"));
        ASSERT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(out + '/' + file));
    };
    TempDir prefs;
    FakePlatform platform;
    TFormOrvane window(platform, QString::fromStdString(prefs.path().string()));
    window.show();
    auto trigger = [&](const char* name) {
        window.findChild<QAction*>(QLatin1String(name))->trigger();
        window.WaitForIdle();
    };

    platform.fileAnswers = {intra, extra};
    trigger("Ouvririntrapuisextra1");
    shot("ouverture.png");
    platform.dialogScript = [&](QDialog& dialog) {
        dialog.show();
        dialog.findChild<QAbstractButton*>(QStringLiteral("SpeedButton1"))
            ->click();  // defocus from the radii
        shot("parametres.png");
        dialog.findChild<QAbstractButton*>(QStringLiteral("BitBtn1"))->click();
        return dialog.result();
    };
    trigger("Paramtresdutest1");
    ASSERT_TRUE(window.session().ParamsSaisis);
    trigger("Front1");
    shot("front.png");
    for (const char* item : {"PSF1", "Interfrogramme1", "Ronchigramme1", "Juxtaposer1"}) trigger(item);
    shot("options.png");
    window.SetFormCourante(window.form(ImageKind::Wavefront));
    window.infos()->ShowResultsPage();
    window.infos()->findChild<QPushButton*>(QStringLiteral("Button2"))->click();
    shot("frontlys.png");
    InstallLanguage(UiLanguage::French);
}

}  // namespace
}  // namespace frontlys::ui
