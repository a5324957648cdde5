// The session window: a pair dropped into the watched folder is analysed and shown, a file still
// being written is left alone, and what the pairing cannot decide is asked.
#include "ui/form_session.h"

#include <chrono>
#include <fstream>
#include <thread>

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "support/donut_pair.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "ui/form_orvane.h"

namespace frontlys::ui {
namespace {

using testing::DonutPixels;
using testing::DonutSpec;
using testing::FitsBuilder;

constexpr int kPadded = 128;

std::string Frame(const DonutSpec& s, bool intra)
{
    const double cx = intra ? s.centreX : kPadded + 1 - s.centreX;
    const double cy = intra ? s.centreY : kPadded + 1 - s.centreY;
    return FitsBuilder::Image(16, s.width, s.height)
        .Real("BZERO", 32768)
        .Real("BSCALE", 1)
        .Real("FOCLEN", s.focalMm / 1000)
        .Real("DIAMETER", s.diameterMm)
        .Real("XPIXELSZ", s.pixelUm)
        .Real("YPIXELSZ", s.pixelUm)
        .Pixels(DonutPixels(s, intra ? +1 : -1, cx, cy))
        .Bytes();
}

TEST(FormSession, ShowsAPairDroppedIntoTheFolderOnceItsFilesAreWhole)
{
    TempDir prefs, folder;
    {
        std::ofstream numeric(prefs.path() / "prefs.txt", std::ios::binary);  // the faster correction
        numeric << "CorrectionAnalytique=0\r\n";
    }
    FakePlatform platform;
    TFormOrvane main(platform, QString::fromStdString(prefs.path().string()));
    platform.fileAnswers = {QString::fromStdString(folder.path().string())};
    main.findChild<QAction*>(QStringLiteral("Sessionendirect1"))->trigger();
    auto* window = main.findChild<TFormSession*>();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->running());

    // Nothing in the names or headers tells the sides: the user says the first is intra-focal.
    const DonutSpec spec;
    const std::string extra = Frame(spec, false);
    ASSERT_TRUE(FitsBuilder::WriteBytes(folder.path() / "a1.fits", Frame(spec, true)));
    ASSERT_TRUE(FitsBuilder::WriteBytes(folder.path() / "a2.fits", extra.substr(0, extra.size() / 2)));
    QTest::qWait(1000);  // five looks: the cut file stays unread
    EXPECT_TRUE(window->pairs().empty());
    EXPECT_TRUE(platform.questions.empty());
    EXPECT_TRUE(window->findChild<QLabel*>(QStringLiteral("LabelEtat"))->text().contains("a2.fits"));

    platform.askAnswers = {0};
    ASSERT_TRUE(FitsBuilder::WriteBytes(folder.path() / "a2.fits", extra));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->pairs().empty(); }, 30000));
    const double shownS = clock.elapsed() / 1000.0;
    const LivePair& pair = window->pairs()[0];
    ASSERT_TRUE(pair.analysed) << pair.reason.en;
    EXPECT_EQ(pair.intra.filename(), "a1.fits");
    EXPECT_EQ(pair.pairing, PairingRule::Asked);
    EXPECT_EQ(platform.questions.size(), 1u);
    EXPECT_GT(SphericalNm(pair.zernikeRmsNm), 0);
    auto* table = window->findChild<QTableWidget*>(QStringLiteral("TablePaires"));
    ASSERT_EQ(table->rowCount(), 1);
    EXPECT_EQ(table->item(0, 8)->text(), QStringLiteral("analysée"));
    EXPECT_GT(window->findChild<QTableWidget*>(QStringLiteral("TableMoyenne"))->rowCount(), 0);
    EXPECT_FALSE(window->findChild<QLabel*>(QStringLiteral("LabelCollimation"))->text().isEmpty());
    EXPECT_FALSE(window->findChild<QLabel*>(QStringLiteral("LabelTendanceCollimation"))->pixmap().isNull());
    // A figure, not a check (timings are for benchmarks): file whole to pair shown, analysis aside.
    ASSERT_EQ(window->showLatencies().size(), 1u);
    std::printf("file whole -> shown %.3f s (analysis %.3f s); queued -> shown %.3f s\n",
                shownS - pair.analysisSeconds,
                pair.analysisSeconds,
                window->showLatencies()[0]);

    window->findChild<QPushButton*>(QStringLiteral("ButtonArreter"))->click();
    EXPECT_FALSE(window->running());
    EXPECT_EQ(window->pairs().size(), 1u);  // what was shown stays
}

// The looking thread waits for the user's answer on the window thread: stopping meanwhile must
// neither hang nor leave a question to be asked afterwards.
TEST(FormSession, StopsWhileAQuestionWaitsForItsAnswer)
{
    TempDir prefs, folder;
    const DonutSpec spec;
    ASSERT_TRUE(FitsBuilder::WriteBytes(folder.path() / "1.fits", Frame(spec, true)));
    ASSERT_TRUE(FitsBuilder::WriteBytes(folder.path() / "2.fits", Frame(spec, false)));
    FakePlatform platform;  // no answer scripted: a question asked fails the test
    TFormSession window(platform, QString::fromStdString(prefs.path().string()));
    ASSERT_TRUE(window.Start(QString::fromStdString(folder.path().string())));
    std::this_thread::sleep_for(std::chrono::seconds(1));  // two looks: the question is posted
    window.Stop();
    QTest::qWait(100);
    EXPECT_FALSE(window.running());
    EXPECT_TRUE(platform.questions.empty());
    EXPECT_TRUE(window.pairs().empty());
}

}  // namespace
}  // namespace frontlys::ui
