// frontlys-cli simulate and the demo's comparison table, without a process.
#include "cli/simulate_command.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cli/demo_command.h"
#include "files/fits_reader.h"
#include "support/temp_dir.h"

namespace frontlys {
namespace {

SimulationParams Small()
{
    SimulationParams p;
    p.diameterMm = 100;
    p.focalMm = 800;
    p.defocusMm = 2;
    p.size = 64;
    p.zernikeRmsNm[10] = 12.5;
    p.zernikeRmsNm[24] = -3;  // term 25: the truth lists 25 terms
    return p;
}

const SimulationStamp kStamp{"2026-12-08T21:00:00", "2026-12-08T21:00:30", 10, FitsSampleFormat::UInt16};

std::string ReadText(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(SimulateCommand, WritesBothImagesAndTheTruth)
{
    TempDir dir;
    const auto folder = dir.path() / "new" / "pair";
    std::ostringstream out, err;
    ASSERT_EQ(cli::RunSimulate(Small(), folder, kStamp, out, err), 0) << err.str();
    // l tan u_max: 2 mm x 0.06262 / 9 um (paraxial l R / F: 13.89 px).
    EXPECT_NE(out.str().find("donut radius: 13.92 px"), std::string::npos) << out.str();
    const std::string truth = ReadText(folder / "truth.txt");
    EXPECT_EQ(truth.rfind("Fichier =" + (folder / "truth.txt").string() + "\r\nZernike,Nom,RMS nm\r\n", 0),
              0u);
    EXPECT_NE(truth.find("\r\n11;Spheric.;12,5\r\n"), std::string::npos) << truth;
    EXPECT_NE(truth.find("\r\n25;Sec. tetrafoil (cos);-3\r\n"), std::string::npos);
    EXPECT_EQ(truth.find("\r\n26;"), std::string::npos);
    for (const char* name : {"intra.fits", "extra.fits"}) {
        auto image = ReadFitsImage(folder / name);
        ASSERT_TRUE(image.ok()) << image.status().reason;
        EXPECT_DOUBLE_EQ(image.value().Header.Diameter, 100);
        EXPECT_DOUBLE_EQ(image.value().Header.FocalLength, 800);
    }
    EXPECT_EQ(ReadFitsImage(folder / "extra.fits").value().Header.DateObs, "2026-12-08T21:00:30");
    // Camera software's keywords beside the program's own, for other programs.
    const std::string header = ReadText(folder / "intra.fits").substr(0, 2880 * 2);
    for (const char* card : {"FOCALLEN= ", "APTDIA  = ", "XBINNING= ", "XPIXSZ  = ", "EXPTIME = "})
        EXPECT_NE(header.find(card), std::string::npos) << card;
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator{}), 3)
        << "the staging folder is gone";
}

TEST(SimulateCommand, RefusedParametersWriteNothing)
{
    TempDir dir;
    auto p = Small();
    p.obstruction = 1.5;
    std::ostringstream out, err;
    EXPECT_EQ(cli::RunSimulate(p, dir.path(), kStamp, out, err), 2);
    EXPECT_NE(err.str().find("invalid simulation parameter: --obstruction"), std::string::npos) << err.str();
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "intra.fits"));
}

TEST(SimulateCommand, FolderThatIsAFileIsRefused)
{
    TempDir dir;
    const auto blocker = dir.path() / "file";
    std::ofstream(blocker) << "x";
    std::ostringstream out, err;
    EXPECT_EQ(cli::RunSimulate(Small(), blocker, kStamp, out, err), 2);
    EXPECT_FALSE(err.str().empty());
}

TEST(DemoCommand, ComparisonPutsTruthAndResultSideBySide)
{
    SimulationParams truth;
    truth.zernikeRmsNm[10] = 40;
    AnalysisReport report;
    report.zernikeRmsNm.assign(22, 0.0);
    report.zernikeRmsNm[10] = 37.5;
    report.zernikeRmsNm[4] = 3;
    report.ptvText = "150.0 nm";
    report.rmsText = "30.0 nm";
    report.strehlText = "0.900";
    std::ostringstream out;
    cli::PrintComparison(truth, report, out);
    const std::string text = out.str();
    EXPECT_NE(text.find("11  Spheric.                  40.00    37.50    -2.50"), std::string::npos) << text;
    EXPECT_NE(text.find(" 5  Astig. (cos)               0.00     3.00     3.00"), std::string::npos) << text;
    // sqrt((2.5^2 + 3^2) / 18)
    EXPECT_NE(text.find("RMS of the differences, terms 5 to 22: 0.92 nm"), std::string::npos) << text;
    EXPECT_NE(text.find("PTV 150.0 nm, RMS 30.0 nm, Strehl 0.900 at 555 nm"), std::string::npos) << text;
}

}  // namespace
}  // namespace frontlys
