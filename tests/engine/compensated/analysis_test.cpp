#include "engine/compensated/analysis.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/compensated/internal.h"
#include "engine/curvature_model.h"
#include "engine/zernike_derivatives.h"

namespace frontlys {
namespace {

struct Pair {
    std::vector<double> intra, extra;
    int side = 0;
};

std::vector<double> Pixels(const TImageRec& image)
{
    return {image.Planes.data(), image.Planes.data() + static_cast<std::size_t>(image.Width) * image.Height};
}

Pair GeometricPair(const ZernikeCoefficients& c, double blurPx = 0.7)
{
    testing::KnownWavefront w;
    w.coefficients = c;
    testing::ModelPupil pupil;
    pupil.size = 160;
    pupil.radiusPx = 40;
    pupil.blurPx = blurPx;
    const auto pair = testing::MakeModelPair(w, pupil, testing::ModelGeometry());
    return {Pixels(*pair.intra), Pixels(*pair.extra), pupil.size};
}

CompensatedOptions Options()
{
    const TestGeometry g = testing::ModelGeometry();
    CompensatedOptions o;
    o.focalNm = g.Focal;
    o.apertureRadiusNm = g.ApertureRadius;
    o.pixelNm = g.Defocus * g.ApertureRadius / (g.Focal * 40);  // 40-pixel donut
    o.defocusNm = g.Defocus;
    return o;
}

// Geometric images are what the loop inverts: each term of up to 50 nm comes back within about a
// nanometre (peak; measured 1.0 at most, from the blurred edges), and the loop says it converged.
TEST(CompensatedAnalysis, RecoversTheTermsOfAGeometricPair)
{
    ZernikeCoefficients c{};
    c[4] = 40;   // astigmatism
    c[7] = -30;  // coma
    c[10] = 50;  // spherical
    c[13] = 15;  // tetrafoil
    const Pair p = GeometricPair(c);
    const auto r = CompensatedAnalysis({p.intra, p.side, p.side}, {p.extra, p.side, p.side}, Options());
    ASSERT_TRUE(r.ok()) << r.status().reason;
    EXPECT_EQ(r.value().stop, CompensatedStop::Converged);
    EXPECT_GT(r.value().minJacobian, 0.5);
    for (int k = 5; k <= 22; ++k) EXPECT_NEAR(r.value().coef[k - 1], c[k - 1], 1.1) << "Z" << k;
    EXPECT_NEAR(r.value().obstruction, 0, 1e-9);  // no hole: the pupil stays unobstructed
    EXPECT_NEAR(r.value().frames[0].background, 0, 1e-6);
}

// The pass cap counts the passes of every round that settles the pupil's size (the defocus and the
// obstruction left free run several), and a loop cut short says so.
TEST(CompensatedAnalysis, PassCapCountsEveryRound)
{
    ZernikeCoefficients c{};
    c[4] = 40;
    c[10] = 50;
    const Pair p = GeometricPair(c);
    CompensatedOptions o = Options();
    o.defocusNm.reset();
    const auto free = CompensatedAnalysis({p.intra, p.side, p.side}, {p.extra, p.side, p.side}, o);
    ASSERT_TRUE(free.ok());
    ASSERT_GT(free.value().passes, 3);
    for (int cap : {1, 3}) {
        o.maxPasses = cap;
        const auto r = CompensatedAnalysis({p.intra, p.side, p.side}, {p.extra, p.side, p.side}, o);
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(r.value().passes, cap);
        EXPECT_EQ(r.value().stop, CompensatedStop::PassLimit);
    }
}

// Rays that cross before the image plane: the guard stops the loop, keeps a finite answer and says so.
TEST(CompensatedAnalysis, StopsAtTheCausticAndRefusesAnEmptyFrame)
{
    ZernikeCoefficients c{};
    c[10] = 600;
    const Pair p = GeometricPair(c, 0);
    const auto r = CompensatedAnalysis({p.intra, p.side, p.side}, {p.extra, p.side, p.side}, Options());
    ASSERT_TRUE(r.ok()) << r.status().reason;
    EXPECT_EQ(r.value().stop, CompensatedStop::Caustic);
    for (double v : r.value().coef) EXPECT_TRUE(std::isfinite(v));

    const std::vector<double> flat(static_cast<std::size_t>(p.side) * p.side, 100.0);
    const auto refused = CompensatedAnalysis({flat, p.side, p.side}, {p.extra, p.side, p.side}, Options());
    ASSERT_FALSE(refused.ok());
    EXPECT_FALSE(refused.status().message.empty());
}

// The grid's jets are held over one quadrant and mirrored: every point gives the bits of its own
// evaluation, with and without an obstruction; a grid made without second derivatives holds the
// same values and first derivatives, and none of the second.
TEST(CompensatedAnalysis, GridJetsMatchTheirEvaluationAtEveryPoint)
{
    for (double eps : {0.0, 0.3}) {
        compensated::Grid g, lean;
        compensated::MakeGrid(17.5, eps, kZernikeTerms, 0.3, g);
        compensated::MakeGrid(17.5, eps, kZernikeTerms, 0.3, lean, false);
        EXPECT_EQ(lean.v, g.v);
        EXPECT_EQ(lean.dx, g.dx);
        EXPECT_EQ(lean.dy, g.dy);
        EXPECT_TRUE(lean.dxx.empty() && lean.dyy.empty() && lean.dxy.empty());
        const ZernikePolynomials poly(ZernikeBasis::ForCount(kZernikeTerms), eps);
        ZernikeJet jet;
        int mismatches = 0;
        for (int p = 0; p < g.n; ++p) {
            poly.Eval(g.x[p], g.y[p], jet);
            for (int k = 0; k < g.terms; ++k) {
                using P = compensated::JetPart;
                mismatches += g.Jet(P::V, k, p) != jet.v[k] || g.Jet(P::Dx, k, p) != jet.dx[k] ||
                              g.Jet(P::Dy, k, p) != jet.dy[k] || g.Jet(P::Dxx, k, p) != jet.dxx[k] ||
                              g.Jet(P::Dyy, k, p) != jet.dyy[k] || g.Jet(P::Dxy, k, p) != jet.dxy[k];
            }
        }
        EXPECT_EQ(mismatches, 0) << eps;
        // Spans that start and end anywhere in a row, across rows, give the points' own values.
        std::vector<double> span(97);
        std::vector<compensated::Grid::JetPiece> pieces;
        int spanMismatches = 0;
        for (auto part : {compensated::JetPart::V, compensated::JetPart::Dx, compensated::JetPart::Dxy}) {
            for (int k : {1, 6, g.terms - 1}) {
                for (int p0 = 0; p0 < g.n; p0 += 97) {
                    const int len = std::min(97, g.n - p0);
                    g.SpanPieces(p0, len, pieces);
                    g.JetSpan(part, k, pieces, span.data());
                    for (int t = 0; t < len; ++t) spanMismatches += span[t] != g.Jet(part, k, p0 + t);
                }
            }
        }
        EXPECT_EQ(spanMismatches, 0) << eps;
    }
}

// A grid asked for again keeps what it holds only when the inputs are the same: asking for the
// second derivatives of a lean grid, or for another obstruction, makes it anew.
TEST(CompensatedAnalysis, AReusedGridIsTheGridOfItsLastInputs)
{
    compensated::Grid reused, fresh;
    compensated::MakeGrid(17.5, 0.3, kZernikeTerms, 0.3, reused, false);
    compensated::MakeGrid(17.5, 0.3, kZernikeTerms, 0.3, reused, true);
    compensated::MakeGrid(17.5, 0.3, kZernikeTerms, 0.3, fresh, true);
    EXPECT_EQ(reused.dxx, fresh.dxx);
    EXPECT_EQ(reused.v, fresh.v);
    compensated::MakeGrid(17.5, 0.2, kZernikeTerms, 0.3, reused, false);
    compensated::MakeGrid(17.5, 0.2, kZernikeTerms, 0.3, fresh, false);
    EXPECT_EQ(reused.v, fresh.v);
    EXPECT_EQ(reused.eps, 0.2);
    EXPECT_TRUE(reused.dxx.empty());
}

}  // namespace
}  // namespace frontlys
