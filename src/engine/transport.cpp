#include "engine/transport.h"

#include <cmath>
#include <vector>

#include "core/thread_pool.h"
#include "engine/beam_geometry.h"

namespace frontlys {

namespace {

constexpr const char* kGeometryMessage = "Les paramètres du test ne permettent pas de corriger les images.";
constexpr const char* kSizeMessage = "Les images et le front d'onde n'ont pas la même taille.";

double Difference(const double* v, const std::int16_t* m, std::ptrdiff_t step)
{
    const bool before = m[-step] == 1, after = m[step] == 1;
    if (before && after) return (v[step] - v[-step]) / 2;
    if (after) return v[step] - v[0];
    if (before) return v[0] - v[-step];
    return 0.0;
}

// Differences along `step` (1: along a row, Width: along a column) for the pixels whose both
// neighbours exist.
void Diff(const TImageRec& in, TImageRec& out, bool alongRow)
{
    const int w = in.Width, h = in.Height;
    const std::ptrdiff_t step = alongRow ? 1 : w;
    const int r0 = alongRow ? 0 : 1, r1 = alongRow ? h : h - 1;
    const int c0 = alongRow ? 1 : 0, c1 = alongRow ? w - 1 : w;
    for (int r = r0; r < r1; ++r) {
        const double* v = in.Row(r);
        const std::int16_t* m = in.Mask.Row(0, r);
        double* o = out.Planes.Row(0, r);
        for (int c = c0; c < c1; ++c) o[c] = m[c] == 1 ? Difference(v + c, m + c, step) : 0.0;
    }
}

TImageRec DerivativeImage(const TImageRec& source, bool alongRow)
{
    TImageRec out;
    out.Width = source.Width;
    out.Height = source.Height;
    out.Planes = Planes3D<double>(1, source.Height, source.Width);
    out.Mask = source.Mask;  // every derivative image takes the wavefront's mask
    Diff(source, out, alongRow);
    return out;
}

double Step(const std::vector<double>& axis) { return axis.size() >= 2 ? axis[1] - axis[0] : 0.0; }

// The slopes and curvatures of W at one pixel, in reduced units.
struct LocalShape {
    double p = 0, q = 0, laplacian = 0, hessianDet = 0;
};

class Transporter {
public:
    Transporter(const TImageRec& w)
        : m_wx(DerivativeImage(w, true)),
          m_wy(DerivativeImage(w, false)),
          m_wxx(DerivativeImage(m_wx, true)),
          m_wyy(DerivativeImage(m_wy, false)),
          m_wxy(DerivativeImage(m_wy, true)),
          m_hx(Step(w.XAxis)),
          m_hy(Step(w.YAxis))
    {
    }

    LocalShape At(int r, int c) const
    {
        LocalShape s;
        s.p = m_wx.Planes(0, r, c) / m_hx;
        s.q = m_wy.Planes(0, r, c) / m_hy;
        const double hxx = m_wxx.Planes(0, r, c) / (m_hx * m_hx);
        const double hyy = m_wyy.Planes(0, r, c) / (m_hy * m_hy);
        const double hxy = m_wxy.Planes(0, r, c) / (m_hx * m_hy);
        s.laplacian = hxx + hyy;
        s.hessianDet = hxx * hyy - hxy * hxy;
        return s;
    }

    // The new value of (r, c) (0-based) of `image` for coefficient a.
    static double Sample(const TImageRec& image, double a, const LocalShape& s, int r, int c)
    {
        const double gx = Step(image.XAxis), gy = Step(image.YAxis);
        const double x = a * s.p + image.XAxis[c], y = a * s.q + image.YAxis[r];
        // 1-based base pixel, truncated towards zero
        const double colF = a * s.p / gx + (c + 1), rowF = a * s.q / gy + (r + 1);
        if (!(colF > -1.0 && colF < image.Width && rowF > -1.0 && rowF < image.Height)) return 0.0;
        const int bc = static_cast<int>(colF), br = static_cast<int>(rowF);
        if (bc <= 0 || bc >= image.Width || br <= 0 || br >= image.Height) return 0.0;
        const double u = (x - image.XAxis[bc - 1]) / gx, t = (y - image.YAxis[br - 1]) / gy;
        const double* top = image.Row(br - 1);
        const double* bottom = image.Row(br);
        const double v = (1 - u) * (1 - t) * top[bc - 1] + t * (1 - u) * bottom[bc - 1] + u * t * bottom[bc] +
                         u * (1 - t) * top[bc];
        return (1 + a * s.laplacian + a * a * s.hessianDet) * v;
    }

private:
    TImageRec m_wx, m_wy, m_wxx, m_wyy, m_wxy;
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
    Planes3D<double> newA(1, a.Height, a.Width), newB(1, b.Height, b.Width);
    // Each row of the result depends on the inputs only: rows run on the pool.
    ParallelFor(wavefront.Height, [&](int r) {
        for (int c = 0; c < wavefront.Width; ++c) {
            const LocalShape s = shape.At(r, c);
            newA(0, r, c) = Transporter::Sample(a, k.value().intra, s, r, c);
            newB(0, r, c) = Transporter::Sample(b, k.value().extra, s, r, c);
        }
    });
    std::copy_n(newA.data(), newA.size(), a.Row(0));
    std::copy_n(newB.data(), newB.size(), b.Row(0));
    return Status::Ok();
}

}  // namespace frontlys
