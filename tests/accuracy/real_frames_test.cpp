// Smoke test on two real 1164 x 880 full-frame pairs of one star minutes apart (1.2 m f/18, central
// obstruction 0.35, 14.4 um pixels, 20.5 mm of defocus: a donut of 39.5 px radius). Nobody knows
// their true wavefront: cut around the donut, each method must run, give finite values, the same
// twice, and a radius and obstruction near the telescope's.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "analysis/run_analysis.h"
#include "analysis/test_session.h"

namespace frontlys {
namespace {

AnalysisOptions Pup(const char* intra, const char* extra)
{
    const auto data = std::filesystem::path(FRONTLYS_TEST_DATA) / "auxtel";
    AnalysisOptions o;
    o.intra = data / intra;
    o.extra = data / extra;
    o.diameterMm = 1200;
    o.focalMm = 21600;
    o.pixelUm = 14.4;
    o.defocusMm = 20.5;
    o.derivedImages = false;
    return o;
}

TEST(RealFrames, BothPairsOfFullFramesRunFiniteAndStable)
{
    for (AnalysisOptions o : {Pup("1579925613-16Pup_intra-0-1.fits", "1579925662-16Pup_extra-0-1.fits"),
                              Pup("1579925833-16Pup_intra-0-1.fits", "1579925882-16Pup_extra-0-1.fits")}) {
        for (bool analytic : {false, true}) {
            o.analytic = analytic;
            auto r = RunAnalysis(o);
            ASSERT_TRUE(r.ok()) << r.status().message << " " << r.status().reason;
            const AnalysisReport& a = r.value();
            EXPECT_LE(a.session->ImageIntra->Width, 256) << analytic;  // cut, not padded to 2048
            EXPECT_NEAR(a.radiusIntraPx, 39.5, 4);
            EXPECT_NEAR(a.radiusExtraPx, 39.5, 4);
            EXPECT_NEAR(a.obstruction, 0.35, 0.15);
            for (double v : a.zernikeRmsNm) EXPECT_TRUE(std::isfinite(v));
            if (!analytic) {
                EXPECT_EQ(RunAnalysis(o).value().zernikeRmsNm, a.zernikeRmsNm);
            }
        }
    }
}

}  // namespace
}  // namespace frontlys
