// Smoke test on real camera data: a 300 x 300 stamp pair of a 1.2 m f/18 telescope (central
// obstruction 0.35, 14.4 um pixels, 20.5 mm of defocus, sky background about 1400 ADU left in).
// Nobody knows its true wavefront: the analysis must run, give finite values, the same twice, and
// stay where it was when this test was written.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "analysis/run_analysis.h"

namespace frontlys {
namespace {

std::filesystem::path DataFolder() { return std::filesystem::path(FRONTLYS_TEST_DATA) / "auxtel"; }

AnalysisOptions StampOptions()
{
    AnalysisOptions o;
    o.intra = DataFolder() / "I1_intra_20190912_HD21161_z05.fits";
    o.extra = DataFolder() / "I2_extra_20190912_HD21161_z05.fits";
    o.diameterMm = 1200;
    o.focalMm = 21600;
    o.pixelUm = 14.4;
    o.defocusMm = 20.5;
    o.derivedImages = false;
    o.analytic = false;  // the numeric correction's numbers below, on the frames as they are
    o.crop = false;
    return o;
}

TEST(RealData, StampPairGivesAFiniteStableWavefront)
{
    auto first = RunAnalysis(StampOptions());
    ASSERT_TRUE(first.ok()) << first.status().message << " " << first.status().reason;
    const AnalysisReport& r = first.value();
    // The donut is 79 pixels across.
    EXPECT_NEAR(r.radiusIntraPx, 39.5, 2);
    EXPECT_NEAR(r.radiusExtraPx, 39.5, 2);
    ASSERT_EQ(r.zernikeRmsNm.size(), 22u);
    for (double v : r.zernikeRmsNm) EXPECT_TRUE(std::isfinite(v));
    EXPECT_TRUE(std::isfinite(r.rmsNm) && std::isfinite(r.ptvNm) && std::isfinite(r.strehl));
    // Measured when written: RMS 125.6 nm, coma Z7 -123.2 nm, spherical -18.5 nm.
    EXPECT_NEAR(r.rmsNm, 125.6, 5);
    EXPECT_NEAR(r.zernikeRmsNm[6], -123.2, 5);
    EXPECT_NEAR(r.zernikeRmsNm[10], -18.5, 3);

    auto second = RunAnalysis(StampOptions());
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(second.value().zernikeRmsNm, r.zernikeRmsNm);
}

}  // namespace
}  // namespace frontlys
