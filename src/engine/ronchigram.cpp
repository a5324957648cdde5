#include "engine/ronchigram.h"

#include <cmath>
#include <numbers>

#include "engine/transport.h"
#include "engine/zernike.h"

namespace frontlys {
namespace {

constexpr char kRonchigramRefused[] = "Calcul du ronchigramme impossible.";

bool SameSize(const TImageRec& a, const TImageRec& b) { return a.Width == b.Width && a.Height == b.Height; }

Status CheckImages(const TImageRec& grating, const TImageRec& wavefront)
{
    if (!SameSize(grating, wavefront) || !HasPupilGrid(grating) || !HasPupilGrid(wavefront) ||
        wavefront.Width < 2 || wavefront.Height < 2)
        return Status::Fail(
            StatusCode::MissingInput, kRonchigramRefused, "grating and wavefront sizes differ");
    return Status::Ok();
}

// Bilinear value of the grating where a ray lands; 0 when its base pixel is not strictly inside.
class Sampler {
public:
    explicit Sampler(const TImageRec& grating)
        : m_g(grating), m_gx(grating.XAxis[1] - grating.XAxis[0]), m_gy(grating.YAxis[1] - grating.YAxis[0])
    {
    }

    // Column i and row j are 1-based; dx, dy the displacement in reduced units.
    double At(int i, int j, double dx, double dy) const
    {
        const double col = std::trunc(dx / m_gx + i), row = std::trunc(dy / m_gy + j);
        if (!(col > 0 && col < m_g.Width && row > 0 && row < m_g.Height)) return 0;  // NaN included
        const int c = static_cast<int>(col), r = static_cast<int>(row);
        const double u = (dx + m_g.XAxis[i - 1] - m_g.XAxis[c - 1]) / m_gx;
        const double t = (dy + m_g.YAxis[j - 1] - m_g.YAxis[r - 1]) / m_gy;
        // 1-based (r, c) is storage (r - 1, c - 1).
        return (1 - u) * (1 - t) * m_g.At(r - 1, c - 1) + t * (1 - u) * m_g.At(r, c - 1) +
               u * t * m_g.At(r, c) + u * (1 - t) * m_g.At(r - 1, c);
    }

private:
    const TImageRec& m_g;
    double m_gx, m_gy;
};

TImageRec Derivative(const TImageRec& wavefront, bool alongRow)
{
    ImageSlot out = NewImage(wavefront.Width, wavefront.Height);
    alongRow ? DiffX(wavefront, *out) : DiffY(wavefront, *out);
    return std::move(*out);
}

}  // namespace

double RonchiGratingDistance(int fringes) { return fringes * 1e6 / 5; }

void RonchiGrating(TImageRec& image, int bars, double angleRadians)
{
    if (!HasPupilGrid(image)) return;
    const double ca = std::cos(angleRadians), sa = std::sin(angleRadians);
    for (int r = 0; r < image.Height; ++r) {
        for (int c = 0; c < image.Width; ++c) {
            const double phase = std::numbers::pi * bars * (sa * image.YAxis[r] + ca * image.XAxis[c]);
            image.Planes(0, r, c) = std::cos(phase) > 0 ? 1 : 0;
            image.MaskAt(r, c) = 1;
        }
    }
}

Status RonchiTransport(const TestGeometry& geometry, TImageRec& grating, const TImageRec& wavefront)
{
    if (Status status = CheckImages(grating, wavefront); !status.ok()) return status;
    const Result<TransportCoefficients> coefficients = TransportCoefficientsFor(geometry);
    if (!coefficients.ok())
        return Status::Fail(StatusCode::OutOfRange, kRonchigramRefused, coefficients.status().reason);
    const double a = coefficients.value().intra;
    const double hx = wavefront.XAxis[1] - wavefront.XAxis[0];
    const double hy = wavefront.YAxis[1] - wavefront.YAxis[0];
    const TImageRec wx = Derivative(wavefront, true), wy = Derivative(wavefront, false);
    const Sampler sampler(grating);
    Planes3D<double> result(1, grating.Height, grating.Width);
    for (int j = 1; j <= wavefront.Height; ++j) {
        for (int i = 1; i <= wavefront.Width; ++i) {
            const double p = wx.Planes(0, j - 1, i - 1) / hx, q = wy.Planes(0, j - 1, i - 1) / hy;
            result(0, j - 1, i - 1) = sampler.At(i, j, a * p, a * q);
        }
    }
    std::copy_n(result.data(), result.size(), grating.Row(0));
    return Status::Ok();
}

Status BuildRonchigram(
    const TestGeometry& test, const TImageRec& wavefront, int fringes, double angleDegrees, TImageRec& output)
{
    TestGeometry geometry = test;
    geometry.Defocus = RonchiGratingDistance(fringes);
    if (Status status = CheckImages(output, wavefront); !status.ok()) return status;
    if (const auto coefficients = TransportCoefficientsFor(geometry); !coefficients.ok())
        return Status::Fail(StatusCode::OutOfRange, kRonchigramRefused, coefficients.status().reason);
    TakePupilGeometry(wavefront, output);
    RonchiGrating(output, fringes, angleDegrees * std::numbers::pi / 180);
    output.Kind = 0;
    CopyMask(wavefront, output);
    if (Status status = RonchiTransport(geometry, output, wavefront); !status.ok()) return status;
    output.Kind = static_cast<std::uint8_t>(ImageKind::Ronchigram);
    return Status::Ok();
}

}  // namespace frontlys
