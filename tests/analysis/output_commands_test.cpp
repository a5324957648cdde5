#include "analysis/output_commands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "analysis/analysis_commands.h"
#include "core/numbers.h"
#include "support/temp_dir.h"

namespace frontlys {
namespace {

std::string ReadAll(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class OutputCommandsTest : public ::testing::Test {
protected:
    void Simulate()
    {
        session.Sim.SimTaille = 64;
        session.Sim.SimRayon = 20;
        session.Sim.SimCoef[4] = 100;
        ASSERT_TRUE(SimulateWavefront(session).ran);
    }
    std::string In(const std::string& name) const { return (dir.path() / name).string(); }

    ScopedDecimalSeparator keep{'.'};
    TempDir dir;
    TestSession session = NewSession();
};

TEST_F(OutputCommandsTest, ExportAppendsTheExtensionAndRemembersTheName)
{
    Simulate();
    ASSERT_FALSE(ExportWavefront(session, In("result")).failed());
    EXPECT_TRUE(std::filesystem::exists(In("result.opd")));
    EXPECT_EQ(session.NomDernierExport, In("result"));
    EXPECT_EQ(ReadAll(In("result.opd")).rfind("560,40\r\n", 0), 0u);

    ASSERT_FALSE(ExportWavefront(session, In("kept.opd")).failed());
    EXPECT_TRUE(std::filesystem::exists(In("kept.opd")));
    EXPECT_FALSE(std::filesystem::exists(In("kept.opd.opd")));
    ASSERT_FALSE(ExportWavefront(session, In("upper.OPD")).failed());
    EXPECT_TRUE(std::filesystem::exists(In("upper.OPD.opd")));
}

TEST_F(OutputCommandsTest, CancellingTheExportEmptiesTheRememberedName)
{
    Simulate();
    session.NomDernierExport = "previous";
    EXPECT_FALSE(ExportWavefront(session, std::nullopt).ran);
    EXPECT_EQ(session.NomDernierExport, "");
}

TEST_F(OutputCommandsTest, ExportWithoutAWavefrontWritesNothing)
{
    EXPECT_FALSE(ExportWavefront(session, In("none")).ran);
    EXPECT_FALSE(std::filesystem::exists(In("none.opd")));
    EXPECT_EQ(session.NomDernierExport, In("none"));
}

TEST_F(OutputCommandsTest, CoefficientsBeforeAnyFitAreZerosUnderTheirNames)
{
    ASSERT_FALSE(SaveCoefficients(session, In("c.txt")).failed());
    const std::string text = ReadAll(In("c.txt"));
    EXPECT_NE(text.find("\r\n1;" + std::string(ZernikeName(1)) + ";0\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n22;" + std::string(ZernikeName(22)) + ";0\r\n"), std::string::npos);
    EXPECT_EQ(text.find("\r\n23;"), std::string::npos);
    EXPECT_EQ(DecimalSeparator(), ',');
}

TEST_F(OutputCommandsTest, CoefficientsAreWrittenAsRmsValuesWithoutChangingThem)
{
    session.CoefFront[10] = 25 * std::sqrt(5.0);  // spherical aberration of 25 nm RMS
    session.Prefs.NPolyZern = 11;
    ASSERT_FALSE(SaveCoefficients(session, In("s")).failed());
    const std::string text = ReadAll(In("s"));  // no extension added
    EXPECT_TRUE(text.ends_with("\r\n11;" + std::string(ZernikeName(11)) + ";25\r\n")) << text;
    EXPECT_DOUBLE_EQ(session.CoefFront[10], 25 * std::sqrt(5.0));
    session.Prefs.NPolyZern = 0;
    ASSERT_FALSE(SaveCoefficients(session, In("none.txt")).failed());
    EXPECT_EQ(ReadAll(In("none.txt")), "Fichier =" + In("none.txt") + "\r\nZernike,Nom,RMS nm\r\n");
}

TEST_F(OutputCommandsTest, AWriteErrorIsShownAndKeepsThePreviousFile)
{
    ASSERT_FALSE(SaveCoefficients(session, In("c.txt")).failed());
    const std::string before = ReadAll(In("c.txt"));
    const CommandOutcome outcome = SaveCoefficients(session, In("missing/c.txt"));
    EXPECT_TRUE(outcome.failed());
    ASSERT_TRUE(outcome.message);
    EXPECT_FALSE(outcome.status.reason.empty());
    EXPECT_EQ(ReadAll(In("c.txt")), before);
    EXPECT_FALSE(SaveCoefficients(session, std::nullopt).ran);
}

}  // namespace
}  // namespace frontlys
