#include "engine/transport.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/thread_pool.h"
#include "engine/beam_geometry.h"

namespace frontlys {

namespace {

constexpr const char* kGeometryMessage = "Les paramètres du test ne permettent pas de corriger les images.";
constexpr const char* kSizeMessage = "Les images et le front d'onde n'ont pas la même taille.";

// The difference at a pixel of the mask from its neighbours before and after it (along a row or a
// column): centred where both are in the mask, one-sided where one is, 0 where none is.
double Difference(double before, double v, double after, bool hasBefore, bool hasAfter)
{
    if (hasBefore && hasAfter) return (after - before) / 2;
    if (hasAfter) return after - v;
    if (hasBefore) return v - before;
    return 0.0;
}

// out[c] for 0 < c < w - 1: the difference along the row of values v, mask m; 0 off the mask.
// out[0] and out[w - 1] are not written.
void DiffAlongRow(const double* v, const std::int16_t* m, double* out, int w)
{
    for (int c = 1; c < w - 1; ++c)
        out[c] = m[c] == 1 ? Difference(v[c - 1], v[c], v[c + 1], m[c - 1] == 1, m[c + 1] == 1) : 0.0;
}

// out[c]: the difference down the column through the rows above, v and below, masks alike.
void DiffAcrossRows(const double* above,
                    const double* v,
                    const double* below,
                    const std::int16_t* mAbove,
                    const std::int16_t* m,
                    const std::int16_t* mBelow,
                    double* out,
                    int w)
{
    for (int c = 0; c < w; ++c)
        out[c] = m[c] == 1 ? Difference(above[c], v[c], below[c], mAbove[c] == 1, mBelow[c] == 1) : 0.0;
}

// Differences along `step` (1: along a row, Width: along a column) for the pixels whose both
// neighbours exist.
void Diff(const TImageRec& in, TImageRec& out, bool alongRow)
{
    const int w = in.Width, h = in.Height;
    if (alongRow) {
        for (int r = 0; r < h; ++r) DiffAlongRow(in.Row(r), in.Mask.Row(0, r), out.Planes.Row(0, r), w);
        return;
    }
    for (int r = 1; r < h - 1; ++r) {
        DiffAcrossRows(in.Row(r - 1),
                       in.Row(r),
                       in.Row(r + 1),
                       in.Mask.Row(0, r - 1),
                       in.Mask.Row(0, r),
                       in.Mask.Row(0, r + 1),
                       out.Planes.Row(0, r),
                       w);
    }
}

double Step(const std::vector<double>& axis) { return axis.size() >= 2 ? axis[1] - axis[0] : 0.0; }

// The slopes and curvatures of W at one pixel, in reduced units.
struct LocalShape {
    double p = 0, q = 0, laplacian = 0, hessianDet = 0;
};

// The differences of W and of its differences (all on W's mask) a row at a time: each row needs
// W's rows within two of it only, so a band of rows works on a few rows of its own.
class Transporter {
public:
    explicit Transporter(const TImageRec& w)
        : m_w(w), m_width(w.Width), m_height(w.Height), m_hx(Step(w.XAxis)), m_hy(Step(w.YAxis))
    {
    }

    // The rows one band works on.
    struct Rows {
        explicit Rows(int w) : wx(w), wxx(w), wyy(w), wxy(w), wy(3 * static_cast<std::size_t>(w)) {}
        std::vector<double> wx, wxx, wyy, wxy, wy;  // wy: the rows above, at and below
    };

    // Fills `rows` for row r; At then reads them.
    void Prepare(Rows& rows, int r) const
    {
        const int w = m_width;
        double* wy = rows.wy.data();
        for (int k = 0; k < 3; ++k) YDifference(r - 1 + k, wy + static_cast<std::ptrdiff_t>(k) * w);
        const std::int16_t* m = m_w.Mask.Row(0, r);
        rows.wx.front() = rows.wx.back() = 0.0;
        rows.wxx.front() = rows.wxx.back() = 0.0;
        rows.wxy.front() = rows.wxy.back() = 0.0;
        DiffAlongRow(m_w.Row(r), m, rows.wx.data(), w);
        DiffAlongRow(rows.wx.data(), m, rows.wxx.data(), w);
        DiffAlongRow(wy + w, m, rows.wxy.data(), w);
        if (r == 0 || r == m_height - 1) {
            std::fill(rows.wyy.begin(), rows.wyy.end(), 0.0);
        } else {
            DiffAcrossRows(wy,
                           wy + w,
                           wy + 2 * w,
                           m_w.Mask.Row(0, r - 1),
                           m,
                           m_w.Mask.Row(0, r + 1),
                           rows.wyy.data(),
                           w);
        }
    }

    LocalShape At(const Rows& rows, int c) const
    {
        LocalShape s;
        s.p = rows.wx[c] / m_hx;
        s.q = rows.wy[m_width + c] / m_hy;
        const double hxx = rows.wxx[c] / (m_hx * m_hx);
        const double hyy = rows.wyy[c] / (m_hy * m_hy);
        const double hxy = rows.wxy[c] / (m_hx * m_hy);
        s.laplacian = hxx + hyy;
        s.hessianDet = hxx * hyy - hxy * hxy;
        return s;
    }

    // The new value of (r, c) (0-based) of `image`, whose current plane's values are `values`, for
    // coefficient a.
    static double Sample(
        const TImageRec& image, const double* values, double a, const LocalShape& s, int r, int c)
    {
        const double gx = Step(image.XAxis), gy = Step(image.YAxis);
        const double x = a * s.p + image.XAxis[c], y = a * s.q + image.YAxis[r];
        // 1-based base pixel, truncated towards zero
        const double colF = a * s.p / gx + (c + 1), rowF = a * s.q / gy + (r + 1);
        if (!(colF > -1.0 && colF < image.Width && rowF > -1.0 && rowF < image.Height)) return 0.0;
        const int bc = static_cast<int>(colF), br = static_cast<int>(rowF);
        if (bc <= 0 || bc >= image.Width || br <= 0 || br >= image.Height) return 0.0;
        const double u = (x - image.XAxis[bc - 1]) / gx, t = (y - image.YAxis[br - 1]) / gy;
        const double* top = values + static_cast<std::ptrdiff_t>(br - 1) * image.Width;
        const double* bottom = top + image.Width;
        const double v = (1 - u) * (1 - t) * top[bc - 1] + t * (1 - u) * bottom[bc - 1] + u * t * bottom[bc] +
                         u * (1 - t) * top[bc];
        return (1 + a * s.laplacian + a * a * s.hessianDet) * v;
    }

private:
    // Row r of W's difference down the columns (0 on the first and last row, and outside).
    void YDifference(int r, double* out) const
    {
        const int w = m_width;
        if (r <= 0 || r >= m_height - 1) {
            std::fill_n(out, w, 0.0);
            return;
        }
        DiffAcrossRows(m_w.Row(r - 1),
                       m_w.Row(r),
                       m_w.Row(r + 1),
                       m_w.Mask.Row(0, r - 1),
                       m_w.Mask.Row(0, r),
                       m_w.Mask.Row(0, r + 1),
                       out,
                       w);
    }

    const TImageRec& m_w;
    int m_width, m_height;
    double m_hx, m_hy;
};

bool SameSize(const TImageRec& a, const TImageRec& b) { return a.Width == b.Width && a.Height == b.Height; }

}  // namespace

void DiffX(const TImageRec& in, TImageRec& out) { Diff(in, out, true); }
void DiffY(const TImageRec& in, TImageRec& out) { Diff(in, out, false); }

TransportCoefficients TransportFor(double focal, double apertureRadius, double defocus)
{
    // A slope moves the light by (F +- l) / R times itself, on a donut of radius l tan u_max
    // (engine/beam_geometry.h): the paraxial coefficients times cos u_max.
    const double f = focal, r = apertureRadius, l = defocus;
    const double s = EdgeSine(f, r), c = std::sqrt(1 - s * s);
    return {-c * f * (f - l) / (l * r * r), c * f * (f + l) / (l * r * r), c * 2 * f * f / (l * r * r)};
}

Result<TransportCoefficients> TransportCoefficientsFor(const TestGeometry& geometry)
{
    const double f = geometry.Focal, l = geometry.Defocus, r = geometry.ApertureRadius;
    if (l == 0 || r == 0 || !std::isfinite(f) || !std::isfinite(l) || !std::isfinite(r)) {
        return Status::Fail(StatusCode::OutOfRange, kGeometryMessage, "defocus or aperture radius is 0");
    }
    return TransportFor(f, r, l);
}

Status TransportImages(const TestGeometry& geometry, TImageRec& a, TImageRec& b, const TImageRec& wavefront)
{
    Result<TransportCoefficients> k = TransportCoefficientsFor(geometry);
    if (!k.ok()) return k.status();
    if (!SameSize(a, wavefront) || !SameSize(b, wavefront) || wavefront.Width < 2 || wavefront.Height < 2) {
        return Status::Fail(StatusCode::OutOfRange, kSizeMessage, "transport of images of another size");
    }
    const Transporter shape(wavefront);
    // The images' values before the transport, read while the new ones are written in their place;
    // kept by the thread for the next pass (no fresh pages each time).
    thread_local std::vector<double> oldA, oldB;
    const std::size_t cells = static_cast<std::size_t>(a.Width) * a.Height;
    oldA.assign(a.Row(0), a.Row(0) + cells);
    oldB.assign(b.Row(0), b.Row(0) + cells);
    const double* sourceA = oldA.data();  // the calling thread's, for every band
    const double* sourceB = oldB.data();
    // Each row of the result depends on the inputs only: bands of rows run on the pool.
    const int h = wavefront.Height, tasks = std::clamp(ThreadCount(), 1, h);
    ParallelFor(tasks, [&](int t) {
        Transporter::Rows rows(wavefront.Width);
        for (int r = h * t / tasks; r < h * (t + 1) / tasks; ++r) {
            shape.Prepare(rows, r);
            double* rowA = a.Row(r);
            double* rowB = b.Row(r);
            for (int c = 0; c < wavefront.Width; ++c) {
                const LocalShape s = shape.At(rows, c);
                rowA[c] = Transporter::Sample(a, sourceA, k.value().intra, s, r, c);
                rowB[c] = Transporter::Sample(b, sourceB, k.value().extra, s, r, c);
            }
        }
    });
    return Status::Ok();
}

}  // namespace frontlys
