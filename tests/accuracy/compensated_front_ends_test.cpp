// The compensated analysis through the program's two front ends, on files: the command of the main
// window and frontlys-cli's analysis of the same float-valued files give the same coefficients; a
// zone that the terms cannot hold shows in the wavefront map and in its zonal part.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/analysis_commands.h"
#include "analysis/compensated_command.h"
#include "analysis/open_commands.h"
#include "analysis/run_analysis.h"
#include "analysis/test_session.h"
#include "simulation/simulation_files.h"
#include "simulation/star_simulator.h"
#include "support/temp_dir.h"

namespace frontlys {
namespace {

SimulationParams Newtonian()
{
    SimulationParams p;
    p.diameterMm = 200;
    p.focalMm = 1200;
    p.obstruction = 0.25;
    p.defocusMm = 3;
    p.size = 256;
    p.zernikeRmsNm[10] = 20;
    p.zernikeRmsNm[6] = 10;
    return p;
}

struct Files {
    TempDir dir;
    SimulationFiles names = SimulationFileNames(dir.path());
};

bool Write(const Files& f, const SimulationParams& p, const SimulatedPair& pair)
{
    const SimulationStamp stamp{"2026-12-08T21:00:00", "2026-12-08T21:01:00", 10, FitsSampleFormat::Float32};
    return WriteSimulationFiles(f.dir.path(), p, pair, stamp).ok();
}

TEST(CompensatedFrontEnds, WindowCommandAndCommandLineGiveTheSameCoefficients)
{
    const SimulationParams p = Newtonian();
    auto pair = SimulatePair(p);
    ASSERT_TRUE(pair.ok());
    Files f;
    ASSERT_TRUE(Write(f, p, pair.value()));

    AnalysisOptions o;
    o.intra = f.names.intra;
    o.extra = f.names.extra;
    o.defocusMm = p.defocusMm;
    o.pixelUm = p.pixelUm;
    o.derivedImages = false;
    auto cli = RunAnalysis(o);
    ASSERT_TRUE(cli.ok()) << cli.status().reason;
    ASSERT_TRUE(cli.value().compensated);
    EXPECT_EQ(cli.value().correction, "analytic");

    TestSession s = NewSession();
    ASSERT_FALSE(OpenBoth(s, f.names.intra, f.names.extra).failed());
    s.Params.Defocus = p.defocusMm * 1e6;
    s.ImageIntra->Radius = 1;  // the dialog stores the pixel scale with the radius
    s.ImageIntra->RadiusNm = p.pixelUm * 1000;
    s.ParamsSaisis = true;
    const CommandOutcome window = ComputeWavefront(s);
    ASSERT_FALSE(window.failed()) << window.status.reason;
    for (int k = 0; k < kZernikeTerms; ++k)
        EXPECT_EQ(s.CoefFront[k], cli.value().zernikeNm[k]) << "term " << k + 1;
    EXPECT_EQ(s.Notes.front().code, "method");
    EXPECT_TRUE(s.HasWindow(ImageKind::Residual));
    // The coma comes back with its sign and size.
    EXPECT_NEAR(cli.value().zernikeRmsNm[6], 10, 0.5);

    // Defocus measured: the CLI without --defocus and the window after the distance button agree.
    o.defocusMm.reset();
    auto measured = RunAnalysis(o);
    ASSERT_TRUE(measured.ok()) << measured.status().reason;
    s.Params.Defocus = 1e6;  // a rough start, as the distance button's radii give
    s.Params.DefocusMesure = true;
    ASSERT_FALSE(ComputeWavefront(s).failed());
    for (int k = 4; k < kZernikeTerms; ++k)
        EXPECT_EQ(s.CoefFront[k], measured.value().zernikeNm[k]) << "measured defocus, term " << k + 1;
    EXPECT_NEAR(s.Params.Defocus / 1e6, p.defocusMm, 0.02 * p.defocusMm);
    // The dialog's distance button gives the defocus this analysis used.
    auto dialog = MeasureCompensatedDefocus(s, s.Params, p.pixelUm * 1000);
    ASSERT_TRUE(dialog.ok()) << dialog.status().reason;
    EXPECT_EQ(dialog.value(), s.Params.Defocus);
}

TEST(CompensatedFrontEnds, AZoneShowsInTheMapAndItsZonalPart)
{
    SimulationParams p = Newtonian();
    p.zernikeRmsNm = {};
    // A ring 60 nm high at 0.6 of the radius, 0.06 wide: no term of 22 holds it.
    Aperture zone;
    zone.transmission = [](double x, double y) {
        const double r = std::hypot(x, y);
        return r <= 1 && r >= 0.25 ? 1.0 : 0.0;
    };
    const auto ring = [](double r) { return 60 * std::exp(-0.5 * std::pow((r - 0.6) / 0.06, 2)); };
    zone.opdNm = [ring](double x, double y) { return ring(std::hypot(x, y)); };
    zone.maxSlopeNm = 60 / 0.06;
    auto pair = SimulatePair(p, zone);
    ASSERT_TRUE(pair.ok()) << pair.status().reason;
    Files f;
    ASSERT_TRUE(Write(f, p, pair.value()));
    AnalysisOptions o;
    o.intra = f.names.intra;
    o.extra = f.names.extra;
    o.defocusMm = p.defocusMm;
    o.refineRounds = 0;
    o.derivedImages = false;
    auto r = RunAnalysis(o);
    ASSERT_TRUE(r.ok()) << r.status().reason;
    const TImageRec& zonal = *r.value().session->ImageResidu;
    // Mean zonal part on the ring against the mean between the ring and the edge (measured 16.5 and
    // 0.6 nm: the terms take the rest of the ring).
    double onRing = 0, offRing = 0;
    int nOn = 0, nOff = 0;
    for (int row = 0; row < zonal.Height; ++row) {
        for (int col = 0; col < zonal.Width; ++col) {
            if (!zonal.InMask(row, col)) continue;
            const double rr = std::hypot(zonal.XAxis[col], zonal.YAxis[row]);
            if (std::abs(rr - 0.6) < 0.04) {
                onRing += zonal.At(row, col);
                ++nOn;
            } else if (rr > 0.8 && rr < 0.9) {
                offRing += zonal.At(row, col);
                ++nOff;
            }
        }
    }
    ASSERT_GT(nOn, 0);
    ASSERT_GT(nOff, 0);
    EXPECT_GT(onRing / nOn - offRing / nOff, 10) << onRing / nOn << " vs " << offRing / nOff;
}

}  // namespace
}  // namespace frontlys
