// The test report from the main window's menu and the MTF window after the PSF, on a pair analysed
// in the window (the file choices answered by the scripted platform).
#include <fstream>
#include <sstream>

#include <QAction>
#include <QLabel>

#include "core/numbers.h"
#include "engine/zernike.h"
#include "support/donut_pair.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "ui/form_infos.h"
#include "ui/form_orvane.h"
#include "ui/form_transfer.h"

namespace frontlys::ui {
namespace {

QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

std::string ReadAll(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class ReportWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        files = testing::WriteDonutPair(dir.path(), testing::DonutSpec{}, 128);
        window.SetPlacementArea(QRect(0, 0, 1920, 1080));
        window.show();
    }
    QAction* item(const char* name) { return window.findChild<QAction*>(QString::fromLatin1(name)); }
    void trigger(const char* name)
    {
        item(name)->trigger();
        window.WaitForIdle();
    }
    void OpenAndComputeWavefront()
    {
        platform.fileAnswers = {Q(files.intra), Q(files.extra)};
        trigger("Ouvririntrapuisextra1");
        window.session().Params.Defocus = 5'000'000;
        window.session().ParamsSaisis = true;
        trigger("Front1");
    }

    TempDir dir;
    testing::DonutFiles files;
    FakePlatform platform;
    TFormOrvane window{platform, Q(dir.path())};
};

// Disabled until a wavefront exists; then the chosen name's extension picks HTML or a one-page PDF,
// each holding the coefficients; a folder that does not exist is said, and nothing is written.
TEST_F(ReportWindowTest, TheMenuWritesTheReportOfTheAnalysedPair)
{
    ASSERT_NE(item("Rapportdetest1"), nullptr);
    EXPECT_FALSE(item("Rapportdetest1")->isEnabled());
    OpenAndComputeWavefront();
    ASSERT_TRUE(window.session().ImageFront);
    EXPECT_TRUE(item("Rapportdetest1")->isEnabled());

    const auto html = dir.path() / "r.html", pdf = dir.path() / "r.PDF";
    platform.fileAnswers = {Q(html), Q(pdf)};
    trigger("Rapportdetest1");
    trigger("Rapportdetest1");
    EXPECT_EQ(platform.fileRequests.back().title, QStringLiteral("Rapport de test"));
    const std::string text = ReadAll(html);
    const ZernikeCoefficients rms = CoefToRms(window.session().Basis, window.session().CoefFront);
    for (int k : {5, 8, 11}) {
        const auto row = text.find("<td>Z" + std::to_string(k) + " ");
        ASSERT_NE(row, std::string::npos) << k;
        EXPECT_EQ(text.find(FormatFixed(rms[k - 1], 1), row), text.find("</td><td class=\"n\">", row) + 19)
            << k;
    }
    EXPECT_NE(text.find("data:image/png;base64,"), std::string::npos);
    EXPECT_NE(text.find("alt=\"FTM\""), std::string::npos);
    const std::string bytes = ReadAll(pdf);
    EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
    EXPECT_NE(bytes.find("/Count 1"), std::string::npos);

    const std::size_t warned = platform.warnings.size();
    platform.fileAnswers = {Q(dir.path() / "none" / "r.html")};
    trigger("Rapportdetest1");
    ASSERT_EQ(platform.warnings.size(), warned + 1);
    EXPECT_TRUE(platform.warnings.back().contains(QStringLiteral("none")))
        << platform.warnings.back().toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "none"));
    trigger("Nouveautest1");
    EXPECT_FALSE(item("Rapportdetest1")->isEnabled());
}

// The PSF brings the MTF window: its curve lies under the diffraction limit of the same pupil and
// falls short of it for the aberrated pair.
TEST_F(ReportWindowTest, ThePsfShowsTheMtfUnderTheDiffractionLimit)
{
    OpenAndComputeWavefront();
    ASSERT_NE(window.infos(), nullptr);
    EXPECT_EQ(window.infos()->transferWindow(), nullptr);
    trigger("PSF1");
    const TFormTransfer* view = window.infos()->transferWindow();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isVisible());
    EXPECT_FALSE(view->findChild<QLabel*>("ImageFTM")->pixmap().isNull());
    const OpticalTransfer& t = view->transfer();
    ASSERT_GT(t.mtf.size(), 10u);
    ASSERT_EQ(t.mtf.size(), t.mtfDiffraction.size());
    double shortfall = 0;
    for (std::size_t i = 0; i < t.mtf.size(); ++i) {
        EXPECT_LE(t.mtf[i], t.mtfDiffraction[i] + 1e-6) << i;
        shortfall = std::max(shortfall, t.mtfDiffraction[i] - t.mtf[i]);
    }
    EXPECT_GT(shortfall, 0.01);
    EXPECT_LT(t.strehl, 1);
}

}  // namespace
}  // namespace frontlys::ui
