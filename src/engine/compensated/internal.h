#pragma once
// The parts of the compensated analysis: frame preparation, the sampling grid with its Zernike
// jets, and the compensation loop. Shared by the analysis and its refinement.

#include <array>
#include <optional>
#include <vector>

#include "core/large_buffer.h"
#include "engine/compensated/analysis.h"
#include "engine/compensated/bspline_image.h"
#include "engine/transport.h"
#include "engine/zernike_derivatives.h"

namespace frontlys {
class ModelRenderCache;
}

namespace frontlys::compensated {

struct PreparedFrame {
    FrameSetup setup;
    double blobRadiusPx = 0;  // of the lit component, a rough outer radius
    double innerPx = 0;       // half-plateau crossings of the azimuthal profile (inner 0: none)
    double outerPx = 0;
    BSplineImage spline;  // the background-subtracted frame around the donut
};

Result<PreparedFrame> PrepareFrame(const RawFrame& frame);

// A data pair prepared once for its analyses and refinement through one render cache (refine.h). The
// frames are known by their pixels, not their address: a buffer freed and taken again by another pair
// of the same size must not get the first pair's frames.
struct PreparedPair {
    std::array<std::vector<double>, 2> pixels;
    std::array<int, 2> widths{};
    std::array<PreparedFrame, 2> frames;
    bool prepared = false;
    bool Holds(const RawFrame& intra, const RawFrame& extra) const;
};

// Prepares both frames into `pair` unless it holds them already.
Status Prepare(const RawFrame& intra, const RawFrame& extra, PreparedPair& pair);
// Prepares both frames without keeping their pixels, for a pair analysed once.
Status PrepareFrames(const RawFrame& intra, const RawFrame& extra, std::array<PreparedFrame, 2>& frames);

// The parts of a term's jet: its value, first and second derivatives.
enum class JetPart { V, Dx, Dy, Dxx, Dyy, Dxy };

// Points at one raw pixel spacing around the pupil centre, out to 1 + (8 + 1.5) / rho, with the
// weak-form taper and the jets of the P terms. The grid is symmetric about both axes and each term
// even or odd in x and in y: the jets are held over the quadrant i, j >= 0 only (term-major:
// jet[k * nq + q]), a quarter of the memory every pass reads, and a point elsewhere is its mirror's
// value with a sign, the same bits as its own evaluation.
struct Grid {
    double rho = 0;
    double eps = 0;
    int terms = 0;
    double edgeSine = 0;
    bool secondDerivatives = false;
    int half = 0;
    int n = 0;
    int nq = 0;  // points of the quadrant
    std::vector<double> x, y, w, wx, wy;
    std::vector<int> i, j;                    // pixel offsets from the centre (j up)
    std::vector<char> lit;                    // eps <= r <= 1
    std::vector<char> hole;                   // r < (1 + eps) / 2, for the obstruction estimate
    std::vector<char> plateau;                // eps + 0.12 < r < 0.88
    std::vector<int> rowStart;                // of row j at j + half, 2 half + 2 of them; a row is i = -m..m
    std::vector<int> quadStart;               // of the quadrant's row j >= 0, half + 1 of them: i = 0..m
    Buffer<double> v, dx, dy, dxx, dyy, dxy;  // over the quadrant, every value written by MakeGrid
    std::array<std::array<std::array<double, 4>, 6>, kZernikeTerms> sign{};  // [k][part][flipX + 2 flipY]
    std::optional<ZernikePolynomials> poly;                                  // the terms the jets hold
    // The defocus part of the ray mapping, exact for the beam (engine/beam_geometry.h): where the
    // ray of each point meets a defocused plane without aberration, in donut radii, and the
    // derivatives of that position (symmetric). The identity for a paraxial beam.
    std::vector<double> mx, my, mxx, mxy, myy;

    const Buffer<double>& Part(JetPart part) const;
    // Term k's part at point p.
    double Jet(JetPart part, int k, int p) const
    {
        const int ai = i[p] < 0 ? -i[p] : i[p], aj = j[p] < 0 ? -j[p] : j[p];
        const int flip = (i[p] < 0) + 2 * (j[p] < 0);
        const double s = sign[k][static_cast<int>(part)][flip];
        return s * Part(part)[static_cast<std::size_t>(k) * nq + quadStart[aj] + ai];
    }
    // Term k's part at the points p0 .. p0 + len - 1, in order: the span cut once into the quadrant's
    // pieces it reads (rows and their halves), then read for as many terms and parts as the caller needs.
    struct JetPiece {
        int src = 0;  // quadrant point of the first value read (the last one when reversed)
        int n = 0;
        int out = 0;   // offset of the piece in the span
        int flip = 0;  // sign index
        bool reversed = false;
    };
    void SpanPieces(int p0, int len, std::vector<JetPiece>& pieces) const;
    void JetSpan(JetPart part, int k, const std::vector<JetPiece>& pieces, double* out) const;
};

// Fills `grid` anew, reusing its buffers, unless it already holds these inputs' grid (analyses of
// renders at the data's geometry ask for the same grid again); `edgeSine` is R / F. The jets' second
// derivatives (dxx, dyy, dxy) are left empty unless asked for: they are half of the grid's memory
// traffic, and the analysis and its noise covariance take the wavefront's own from its polynomial.
void MakeGrid(double rho, double eps, int terms, double edgeSine, Grid& grid, bool secondDerivatives = true);

// The wavefront's slopes and second derivatives at the grid points.
struct Derivatives {
    Buffer<double> wx, wy, wxx, wyy, wxy;  // every value written by Synthesize
};

// The wavefront's derivatives from its polynomial in x along each row of the grid: a few
// multiplications a point instead of a pass over every term's jets. Bits independent of the
// thread count.
void Synthesize(const Grid& g, const ZernikeCoefficients& c, Derivatives& d);

// Where the ray of point p meets the plane of coefficient a, wavefront slopes (wx, wy): the exact
// defocus mapping plus a times the slopes. Its Jacobian determinant, with the wavefront's Hessian.
inline void RayPoint(const Grid& g, int p, double a, double wx, double wy, double& X, double& Y)
{
    X = g.mx[p] + a * wx;
    Y = g.my[p] + a * wy;
}
inline double RayJacobian(const Grid& g, int p, double a, double wxx, double wyy, double wxy)
{
    const double j11 = g.mxx[p] + a * wxx, j22 = g.myy[p] + a * wyy, j12 = g.mxy[p] + a * wxy;
    return j11 * j22 - j12 * j12;
}

// Buffers an analysis keeps across its rounds, and a caller that analyses many pairs (the
// refinement) across its analyses: the grid's jets are tens of megabytes.
struct Workspace {
    Workspace() = default;
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;
    ~Workspace()
    {
        for (auto* v : {&grid.v, &grid.dx, &grid.dy, &grid.dxx, &grid.dyy, &grid.dxy}) ReleaseLarge(*v);
    }
    Grid grid;
};

// The workspace of a render cache's analyses (refine.h): every analysis of a rendered pair shares it.
Workspace& AnalysisWorkspace(ModelRenderCache& cache);
// The data pair a render cache serves, prepared by its first analysis.
PreparedPair& DataFrames(ModelRenderCache& cache);

// CompensatedAnalysis on the caller's workspace.
Result<CompensatedResult> Analyse(const RawFrame& intra,
                                  const RawFrame& extra,
                                  const CompensatedOptions& options,
                                  Workspace& work);
// The same on frames already prepared.
Result<CompensatedResult> Analyse(const RawFrame& intra,
                                  const RawFrame& extra,
                                  const PreparedPair& prepared,
                                  const CompensatedOptions& options,
                                  Workspace& work);

struct LoopOutcome {
    ZernikeCoefficients c{};
    int passes = 0;
    CompensatedStop stop = CompensatedStop::PassLimit;
    double minJacobian = 1;
    double lastUpdateNm = 0;
    std::vector<double> s, d;      // at the grid points, of the last pass
    std::vector<double> weakForm;  // the last pass's weak-form matrix, over the terms it solved (row-major)
};

LoopOutcome RunLoop(const Grid& grid,
                    const PreparedFrame& intra,
                    const PreparedFrame& extra,
                    const TransportCoefficients& transport,
                    const ZernikeCoefficients& start,
                    double stopNm,
                    int maxPasses);

}  // namespace frontlys::compensated
