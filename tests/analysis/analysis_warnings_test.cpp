// The warnings an analysis raises about its own answer: the caustic advice follows the geometry, the
// numeric correction warns from an obstruction of 0.3, and a new analysis replaces only its own
// warnings.
#include "analysis/analysis_warnings.h"

#include <gtest/gtest.h>

namespace frontlys {
namespace {

TEST(AnalysisWarnings, CausticAdviceFollowsTheGeometry)
{
    CausticFacts tooClose;
    tooClose.minJacobian = 0.1;
    tooClose.defocusNm = 20e6;
    tooClose.scaleChecked = true;
    const Note closeNote = CausticWarning(tooClose);
    EXPECT_EQ(closeNote.code, "caustic");
    // det ~ 1 - k / l: 0.1 at 20 mm reaches 0.5 at 36 mm.
    EXPECT_NE(closeNote.en.find("Defocus further, to about 36.000 mm"), std::string::npos) << closeNote.en;

    CausticFacts wrongValue = tooClose;
    wrongValue.scaleMismatched = true;
    wrongValue.keptGivenDefocus = true;
    wrongValue.measuredDefocusNm = 19e6;
    const Note checkNote = CausticWarning(wrongValue);
    EXPECT_NE(checkNote.en.find("check that value"), std::string::npos) << checkNote.en;
    EXPECT_EQ(checkNote.en.find("Defocus further"), std::string::npos);
    EXPECT_NE(checkNote.fr.find("vérifiez cette valeur"), std::string::npos);
}

TEST(AnalysisWarnings, NumericCorrectionWarnsFromAnObstructionOfThirtyPercent)
{
    EXPECT_FALSE(NumericObstructionWarning(0.29));
    ASSERT_TRUE(NumericObstructionWarning(0.3));
    EXPECT_EQ(NumericObstructionWarning(0.35)->code, "numeric_obstruction");
}

TEST(AnalysisWarnings, ANewAnalysisReplacesOnlyItsOwnWarnings)
{
    TestSession s;
    s.Warnings = {{"low_snr", "a", "a"}, {"caustic", "b", "b"}, {"geometry_mismatch", "c", "c"}};
    SetAnalysisWarnings(s, {{"numeric_obstruction", "d", "d"}});
    ASSERT_EQ(s.Warnings.size(), 2u);
    EXPECT_EQ(s.Warnings[0].code, "low_snr");
    EXPECT_EQ(s.Warnings[1].code, "numeric_obstruction");
}

}  // namespace
}  // namespace frontlys
