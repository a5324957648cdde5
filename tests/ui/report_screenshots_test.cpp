// Not a check: scripts/screenshots-report runs this case on a virtual display to picture the MTF
// window and the test report for the documentation. It takes the pair and the folders from the
// environment; with FRONTLYS_SHOTS_LANG=en the windows are in English and the pictures named
// *-en.png. The report's HTML is pictured as Qt lays it out (the PDF's layout, at screen width); the
// script pictures the PDF's page itself.
#include <QAbstractButton>
#include <QAction>
#include <QPainter>
#include <QTest>
#include <QTextDocument>
#include <QUrl>

#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "ui/form_infos.h"
#include "ui/form_orvane.h"
#include "ui/form_transfer.h"
#include "ui/language.h"
#include "ui/window_report.h"

namespace frontlys::ui {
namespace {

QImage LaidOut(const ReportContent& content, int width)
{
    QTextDocument doc;
    for (const ReportPicture& p : content.pictures)
        doc.addResource(QTextDocument::ImageResource, QUrl(QString::fromStdString(p.name)), p.image);
    doc.setHtml(QString::fromStdString(ReportHtml(content, false)));
    doc.setTextWidth(width);
    QImage page(width, int(doc.size().height()) + 1, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    doc.drawContents(&painter);
    return page;
}

TEST(Screenshots, DISABLED_ReportAndMtfOnTheDemoPair)
{
    const QString out = qEnvironmentVariable("FRONTLYS_SHOTS"), work = qEnvironmentVariable("FRONTLYS_WORK");
    const QString intra = qEnvironmentVariable("FRONTLYS_INTRA"),
                  extra = qEnvironmentVariable("FRONTLYS_EXTRA");
    if (out.isEmpty() || work.isEmpty() || intra.isEmpty() || extra.isEmpty())
        GTEST_SKIP() << "FRONTLYS_SHOTS, _WORK, _INTRA, _EXTRA unset";
    const bool english = qEnvironmentVariable("FRONTLYS_SHOTS_LANG") == QLatin1String("en");
    ASSERT_TRUE(InstallLanguage(english ? UiLanguage::English : UiLanguage::French));
    const QString suffix = english ? QStringLiteral("-en.png") : QStringLiteral(".png");
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
    platform.dialogScript = [&](QDialog& dialog) {
        dialog.findChild<QAbstractButton*>(QStringLiteral("SpeedButton1"))
            ->click();  // defocus from the radii
        dialog.findChild<QAbstractButton*>(QStringLiteral("BitBtn1"))->click();
        return dialog.result();
    };
    trigger("Paramtresdutest1");
    for (const char* item : {"Front1", "PSF1", "Interfrogramme1"}) trigger(item);
    QTest::qWait(400);
    const TFormTransfer* mtf = window.infos()->transferWindow();
    ASSERT_NE(mtf, nullptr);
    ASSERT_TRUE(const_cast<TFormTransfer*>(mtf)->grab().save(out + QStringLiteral("/ftm") + suffix));
    ASSERT_TRUE(LaidOut(WindowReport(window), 800).save(out + QStringLiteral("/rapport") + suffix));
    const QString name = english ? QStringLiteral("/report-en.pdf") : QStringLiteral("/rapport.pdf");
    platform.fileAnswers = {work + name};
    trigger("Rapportdetest1");
    InstallLanguage(UiLanguage::French);
}

}  // namespace
}  // namespace frontlys::ui
