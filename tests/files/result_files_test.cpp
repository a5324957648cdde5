#include "files/result_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "core/numbers.h"
#include "support/temp_dir.h"

namespace frontlys {
namespace {

std::vector<std::string> SplitCrLf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const auto end = text.find("\r\n", start);
        if (end == std::string::npos) break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(start, text.size()) << "text must end with CR LF and hold no bare line feed";
    return lines;
}

std::string ReadAll(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A 256 x 256 wavefront with radius 100 centred on (128.5, 128.5), value = row * 1000 + column
// (0-based) inside a disc mask.
ImageSlot Wavefront256()
{
    auto w = NewImage(256, 256);
    w->CentreX = w->CentreY = 128.5;
    w->Radius = 100;
    SetPupilAxes(w.get());
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) {
            w->At(r, c) = r * 1000.0 + c;
            const double x = w->XAxis[c], y = w->YAxis[r];
            w->MaskAt(r, c) = x * x + y * y <= 1.0 ? 1 : 0;
        }
    return w;
}

class ResultFilesTest : public ::testing::Test {
protected:
    ScopedDecimalSeparator keep{'.'};
    TempDir dir;
};

TEST_F(ResultFilesTest, CoefficientFileHasHeaderAndCommaDecimals)
{
    const std::vector<std::string> names{"Piston", "Tilt X", "Tilt Y", "Defocus", "Astig"};
    const std::vector<double> rms{0, 1.25, -3, 0.5, -12.5};
    const auto file = dir.path() / "coefs.txt";
    ASSERT_TRUE(WriteCoefficientFile(file, names, rms).ok());
    const auto lines = SplitCrLf(ReadAll(file));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "Fichier =" + file.string());
    EXPECT_EQ(lines[1], "Zernike,Nom,RMS nm");
    EXPECT_EQ(lines[2], "1;Piston;0");
    EXPECT_EQ(lines[3], "2;Tilt X;1,25");
    EXPECT_EQ(lines[4], "3;Tilt Y;-3");
    EXPECT_EQ(lines[6], "5;Astig;-12,5");
    EXPECT_EQ(DecimalSeparator(), ',');
}

TEST_F(ResultFilesTest, CsvForOtherProgramsUsesPointsAndNollIndices)
{
    SetDecimalSeparator(',');
    const std::vector<CoefficientRow> rows{
        {2, "Tilt (cos)", 1, 1, false, 1.25, 2.5},
        {6, "Astig. (sin)", 2, 2, true, -3.5, -8.573},
        {11, "Spheric., 3rd", 4, 0, false, 40, 89.44, 0.125},
    };
    EXPECT_EQ(CoefficientCsvText(rows),
              "index,name,n,m,type,noll,rms_nm,peak_nm,sigma_nm\n"
              "2,Tilt (cos),1,1,cos,2,1.25,2.5,\n"
              "6,Astig. (sin),2,2,sin,5,-3.5,-8.573,\n"
              "11,\"Spheric., 3rd\",4,0,,11,40,89.44,0.125\n");
    EXPECT_EQ(DecimalSeparator(), ',');
    // Noll's table: cos members even, sin members odd.
    EXPECT_EQ(NollIndex(1, 1, true), 3);
    EXPECT_EQ(NollIndex(2, 2, false), 6);
    EXPECT_EQ(NollIndex(3, 1, true), 7);
    EXPECT_EQ(NollIndex(3, 3, false), 10);
    EXPECT_EQ(NollIndex(4, 4, true), 15);
    EXPECT_EQ(NollIndex(6, 6, false), 28);
}

TEST_F(ResultFilesTest, CoefficientFileWithNoTermHoldsTheTwoHeaderLines)
{
    const auto text = CoefficientFileText("c:\\a.txt", {}, {});
    EXPECT_EQ(text, "Fichier =c:\\a.txt\r\nZernike,Nom,RMS nm\r\n");
}

TEST_F(ResultFilesTest, OpdExportCoversTheSquareAroundThePupil)
{
    const auto w = Wavefront256();
    const auto lines = SplitCrLf(OpdFileText(*w));
    ASSERT_EQ(lines.size(), 1u + 200u * 200u);
    EXPECT_EQ(lines[0], "560,200");
    // First exported pixel: row 29, column 29 (1-based), top left of the square, outside the disc.
    EXPECT_EQ(lines[1], "-99.5,99.5,0");
    EXPECT_EQ(lines[200], "99.5,99.5,0");
    EXPECT_EQ(lines[201], "-99.5,98.5,0");
    EXPECT_EQ(lines.back(), "99.5,-99.5,0");
    // Row 129, column 129 (1-based) is inside: value 128 * 1000 + 128 nm in waves of 560 nm.
    const std::size_t centre = 1 + 100 * 200 + 100;
    EXPECT_EQ(lines[centre], "0.5,-0.5,228.8");  // 128128 / 560
}

TEST_F(ResultFilesTest, OpdUsesPointWhateverTheSeparatorAndLeavesComma)
{
    SetDecimalSeparator(',');
    auto w = Wavefront256();
    const auto file = dir.path() / "w.opd";
    ASSERT_TRUE(WriteOpdFile(file, w.get()).ok());
    const auto text = ReadAll(file);
    EXPECT_EQ(text.find(';'), std::string::npos);
    EXPECT_NE(text.find("-99.5,99.5,0\r\n"), std::string::npos);
    EXPECT_EQ(DecimalSeparator(), ',');
    SetDecimalSeparator('.');
    ASSERT_TRUE(WriteOpdFile(file, w.get()).ok());
    EXPECT_EQ(DecimalSeparator(), ',');
}

TEST_F(ResultFilesTest, MaskedOutNegativeValueIsAPlainZero)
{
    auto w = NewImage(4, 4);
    w->CentreX = w->CentreY = 2.5;
    w->Radius = 2;
    SetPupilAxes(w.get());
    w->Planes.Fill(-7.0);
    const auto lines = SplitCrLf(OpdFileText(*w));
    ASSERT_EQ(lines.size(), 17u);
    for (std::size_t i = 1; i < lines.size(); ++i) EXPECT_TRUE(lines[i].ends_with(",0")) << lines[i];
}

TEST_F(ResultFilesTest, NoWavefrontWritesNothing)
{
    const auto file = dir.path() / "none.opd";
    EXPECT_TRUE(WriteOpdFile(file, nullptr).ok());
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(ResultFilesTest, FailedWriteReportsAndKeepsThePreviousFile)
{
    // A folder where the file should go: the rename over it fails, the folder stays.
    const auto target = dir.path() / "busy.txt";
    std::filesystem::create_directory(target);
    std::ofstream(target / "keep") << "x";
    const auto status = WriteCoefficientFile(target, {}, {});
    EXPECT_EQ(status.code, StatusCode::IoError);
    EXPECT_FALSE(status.reason.empty());
    EXPECT_EQ(ReadAll(target / "keep"), "x");

    const auto inMissingFolder = dir.path() / "missing" / "w.opd";
    auto w = Wavefront256();
    EXPECT_EQ(WriteOpdFile(inMissingFolder, w.get()).code, StatusCode::IoError);
}

TEST(EnsureExtensionTest, AppendsUnlessTheNameEndsWithIt)
{
    EXPECT_EQ(EnsureExtension("result", ".opd"), "result.opd");
    EXPECT_EQ(EnsureExtension("result.opd", ".opd"), "result.opd");
    EXPECT_EQ(EnsureExtension("result.OPD", ".opd"), "result.OPD.opd");
    // An extension-like part earlier in the path does not count.
    EXPECT_EQ(EnsureExtension("/tmp/run.opd/result", ".opd"), "/tmp/run.opd/result.opd");
    EXPECT_EQ(EnsureExtension("/tmp/run.opd/result.opd", ".opd"), "/tmp/run.opd/result.opd");
}

}  // namespace
}  // namespace frontlys
