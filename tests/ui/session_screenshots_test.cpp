// Not a check: scripts/screenshots runs this case to picture the session window for the
// documentation (docs/session.png, docs/session-en.png with FRONTLYS_SHOTS_LANG=en).
#include <fstream>

#include <QTest>

#include "support/donut_pair.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "ui/form_session.h"
#include "ui/language.h"

namespace frontlys::ui {
namespace {

using testing::DonutSpec;

TEST(SessionScreenshots, DISABLED_SessionWindowAfterSixPairs)
{
    const QString out = qEnvironmentVariable("FRONTLYS_SHOTS");
    if (out.isEmpty()) GTEST_SKIP() << "FRONTLYS_SHOTS unset";
    const bool english = qEnvironmentVariable("FRONTLYS_SHOTS_LANG") == QLatin1String("en");
    ASSERT_TRUE(InstallLanguage(english ? UiLanguage::English : UiLanguage::French));
    TempDir prefs, folder;
    std::ofstream(prefs.path() / "prefs.txt", std::ios::binary) << "CorrectionAnalytique=0\r\n";
    // Pairs named by their side, the mirror's spherical seen through changing seeing, one pair of
    // another mirror among them (set aside by the rejection rule).
    const double eps[] = {0.040, 0.043, 0.038, 0.12, 0.041, 0.039};
    for (int i = 0; i < 6; ++i) {
        DonutSpec spec;
        spec.eps = eps[i];
        const std::string stem = "etoile_" + std::to_string(i + 1);
        ASSERT_TRUE(testing::WriteDonut(
            folder.path() / (stem + "_intra.fits"), spec, +1, spec.centreX, spec.centreY));
        ASSERT_TRUE(testing::WriteDonut(
            folder.path() / (stem + "_extra.fits"), spec, -1, 129 - spec.centreX, 129 - spec.centreY));
    }
    FakePlatform platform;
    TFormSession window(platform, QString::fromStdString(prefs.path().string()));
    window.resize(1100, 860);
    window.show();
    ASSERT_TRUE(window.Start(QString::fromStdString(folder.path().string())));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.pairs().size() == 6; }, 120000));
    QTest::qWait(300);
    ASSERT_TRUE(window.grab().save(out + (english ? "/session-en.png" : "/session.png")));
    window.Stop();
    InstallLanguage(UiLanguage::French);
}

}  // namespace
}  // namespace frontlys::ui
