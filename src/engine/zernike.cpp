#include "engine/zernike.h"

#include <algorithm>
#include <cmath>

namespace frontlys {
namespace {

constexpr std::array<ZernikeTerm, kZernikeTerms> kTerms = {{
    {0, 0, false, "Piston"},
    {1, 1, false, "Tilt (cos)"},
    {1, 1, true, "Tilt(sin)"},
    {2, 0, false, "Defocus"},
    {2, 2, false, "Astig. (cos)"},
    {2, 2, true, "Astig. (sin)"},
    {3, 1, false, "Coma (cos)"},
    {3, 1, true, "Coma (sin)"},
    {3, 3, false, "Trefoil (cos)"},
    {3, 3, true, "Trefoil (sin)"},
    {4, 0, false, "Spheric."},
    {4, 2, false, "Sec. astig. (cos)"},
    {4, 2, true, "Sec. astig. (sin)"},
    {4, 4, false, "Tetrafoil (cos)"},
    {4, 4, true, "Tetrafoil (sin)"},
    {5, 1, false, "Sec. coma"},
    {5, 1, true, "Sec. coma"},
    {5, 3, false, "Sec. trifoil (cos)"},
    {5, 3, true, "Sec. Trifoil (sin)"},
    {5, 5, false, "Pentafoil (cos)"},
    {5, 5, true, "Pentafoil (sin)"},
    {6, 0, false, "Sec. Spher."},
    {6, 2, false, "Tert. astig. (cos)"},
    {6, 2, true, "Tert. astig (sin)"},
    {6, 4, false, "Sec. tetrafoil (cos)"},
    {6, 4, true, "Sec. Tetrafoil (sin)"},
    {6, 6, false, "Hexafoil (cos)"},
    {6, 6, true, "Hexafoil (sin)"},
}};

// Radius as the larger magnitude times sqrt(1 + ratio^2): no overflow, and the same rounding as the
// inside test has always used.
double PupilRadius(double x, double y)
{
    const double ax = std::fabs(x);
    const double ay = std::fabs(y);
    const double larger = std::max(ax, ay);
    if (larger == 0) return 0;
    const double ratio = std::min(ax, ay) / larger;
    return larger * std::sqrt(1 + ratio * ratio);
}

// Legendre polynomials P_0..P_order of 2t - 1, written as functions of t.
template <class Row>
void ShiftedLegendre(double t, int order, Row& out)
{
    out[0] = 1;
    if (order >= 1) out[1] = 2 * t - 1;
    for (int j = 1; j < order; ++j) {
        out[j + 1] = (((8.0 * j + 4) * t - (4.0 * j + 2)) * out[j] - 2.0 * j * out[j - 1]) / (2.0 * (j + 1));
    }
}

// Calls visit(row, col, values) for every pixel inside the annulus of the image's obstruction.
template <class Visit>
void ForEachAnnulusPixel(const TImageRec& image, const ZernikeBasis& basis, Visit visit)
{
    if (!HasPupilGrid(image)) return;
    const ZernikeEvaluator evaluator(basis, image.Obstruction);
    ZernikeValues values{};
    for (int row = 0; row < image.Height; ++row) {
        for (int col = 0; col < image.Width; ++col) {
            if (evaluator.Eval(image.XAxis[col], image.YAxis[row], values)) visit(row, col, values);
        }
    }
}

}  // namespace

const ZernikeTerm& ZernikeTermInfo(int k)
{
    if (k < 1 || k > kZernikeTerms) return kTerms[0];
    return kTerms[k - 1];
}

std::string_view ZernikeName(int k) { return ZernikeTermInfo(k).name; }

int ZernikeIndex(int n, int m) { return n * (n + 1) / 2 + m + (m == 0 ? 1 : 0); }

ZernikeSelection AllTermsSelected()
{
    ZernikeSelection selection;
    selection.fill(1);
    return selection;
}

ZernikeBasis ZernikeBasis::Make(int count)
{
    const int p = std::clamp(count, 0, kZernikeTerms);
    const int b = static_cast<int>(std::trunc((std::sqrt(8.0 * p + 1) - 3) / 2));
    const int c = (b + 2) * (b + 1) / 2;
    return ZernikeBasis(p, std::clamp(b + c < p ? b + 1 : b, 0, kMaxAzimuthalOrder));
}

bool ZernikeBasis::Reaches(int k) const
{
    if (k < 1 || k > kZernikeTerms) return false;
    const ZernikeTerm& term = kTerms[k - 1];
    return term.m <= m_maxOrder && term.n <= m_maxOrder + 1;
}

double ZernikeBasis::Norm(int k) const
{
    const ZernikeTerm& term = ZernikeTermInfo(k);
    return std::sqrt((term.m == 0 ? 1.0 : 2.0) * (term.n + 1));
}

ZernikeEvaluator::ZernikeEvaluator(const ZernikeBasis& basis, double obstruction)
    : m_basis(basis),
      m_eps(obstruction),
      m_epsSq(obstruction * obstruction),
      m_e(1 - obstruction * obstruction)
{
    // B[j][m] and C[j][m] depend on the obstruction only; the point enters through A[j][m].
    const int order = m_basis.MaxOrder();
    Table b{};
    Table c{};
    std::array<double, kMaxAzimuthalOrder + 2> legendre{};
    ShiftedLegendre(-m_epsSq / m_e, order, legendre);
    for (int j = 0; j <= order; ++j) {
        c[j][0] = m_e / (2.0 * (2 * j + 1));
        b[j][0] = legendre[j];
    }
    for (int m = 1; m <= order; ++m) {
        double sumSq = 0;
        for (int j = 0; j <= order - m; ++j) {
            m_weight[j][m - 1] = b[j][m - 1] / c[j][m - 1];
            sumSq += b[j][m - 1] * m_weight[j][m - 1];
            const double g = 2.0 * (2 * j + 2 * m - 1) * c[j][m - 1] / ((j + m) * m_e * b[j][m - 1]);
            m_gain[j][m] = g;
            b[j][m] = g * sumSq;
            c[j][m] = -g * b[j + 1][m - 1];
            m_scale[j][m] = std::sqrt(m_e / (2.0 * (2 * j + m + 1) * c[j][m]));
        }
    }
}

std::optional<ZernikeValues> ZernikeEvaluator::Eval(double x, double y) const
{
    ZernikeValues values{};
    if (!Eval(x, y, values)) return std::nullopt;
    return values;
}

bool ZernikeEvaluator::Eval(double x, double y, ZernikeValues& values) const
{
    const double rho = PupilRadius(x, y);
    if (!(rho <= 1) || rho < m_eps) return false;  // NaN coordinates are outside too
    const int order = m_basis.MaxOrder();
    Table a{};
    std::array<double, kMaxAzimuthalOrder + 2> legendre{};
    ShiftedLegendre((rho * rho - m_epsSq) / m_e, order, legendre);
    for (int j = 0; j <= order; ++j) a[j][0] = legendre[j];
    for (int m = 1; m <= order; ++m) {
        double sum = 0;
        for (int j = 0; j <= order - m; ++j) {
            sum += m_weight[j][m - 1] * a[j][m - 1];
            a[j][m] = m_gain[j][m] * sum;
        }
    }
    values.fill(0);
    // cos(m theta) and sin(m theta) as powers of (x + iy) / rho; theta = 0 at the centre.
    const double c1 = rho > 0 ? x / rho : 1;
    const double s1 = rho > 0 ? y / rho : 0;
    double cm = 1, sm = 0, rhoM = 1;
    for (int m = 0; m <= order; ++m) {
        for (int n = m; n <= order + 1; n += 2) {
            const int j = (n - m) / 2;
            const int k = ZernikeIndex(n, m);
            if (k > kZernikeTerms) continue;
            if (m == 0) {
                values[k - 1] = a[j][0];
            } else {
                const double radial = rhoM * m_scale[j][m] * a[j][m];
                values[k - 1] = radial * cm;
                values[k] = radial * sm;
            }
        }
        const double next = cm * c1 - sm * s1;
        sm = sm * c1 + cm * s1;
        cm = next;
        rhoM *= rho;
    }
    return true;
}

bool HasPupilGrid(const TImageRec& image)
{
    return image.Width >= 0 && image.Height >= 0 && image.CurrentPlane >= 1 &&
           image.CurrentPlane <= image.Planes.planes() &&
           static_cast<int>(image.XAxis.size()) >= image.Width &&
           static_cast<int>(image.YAxis.size()) >= image.Height && image.Planes.rows() >= image.Height &&
           image.Planes.cols() >= image.Width && image.Mask.planes() >= 1 &&
           image.Mask.rows() >= image.Height && image.Mask.cols() >= image.Width;
}

std::optional<ZernikeValues> ZernikeEval(const ZernikeBasis& basis, double x, double y, double obstruction)
{
    return ZernikeEvaluator(basis, obstruction).Eval(x, y);
}

void SynthesiseWavefront(TImageRec& image,
                         const ZernikeBasis& basis,
                         const ZernikeCoefficients& coefficients,
                         const ZernikeSelection& selection)
{
    ForEachAnnulusPixel(image, basis, [&](int row, int col, const ZernikeValues& z) {
        double sum = 0;
        for (int k = 0; k < kZernikeTerms; ++k) {
            if (selection[k]) sum += coefficients[k] * z[k];
        }
        image.At(row, col) = sum;
        image.MaskAt(row, col) = 1;
    });
}

void AddZernikeTerms(TImageRec& image,
                     const ZernikeBasis& basis,
                     const ZernikeCoefficients& coefficients,
                     const ZernikeSelection& selection,
                     int sign)
{
    // Adding keeps the selected terms; removing takes out the unselected ones.
    const bool add = sign > 0;
    ZernikeCoefficients factors{};
    for (int k = 0; k < basis.Count(); ++k) {
        if ((selection[k] == 1) == add) factors[k] = add ? coefficients[k] : -coefficients[k];
    }
    ForEachAnnulusPixel(image, basis, [&](int row, int col, const ZernikeValues& z) {
        if (!image.InMask(row, col)) return;
        double sum = 0;
        for (int k = 0; k < basis.Count(); ++k) sum += factors[k] * z[k];
        image.At(row, col) += sum;
    });
}

ZernikeCoefficients CoefToRms(const ZernikeBasis& basis, ZernikeCoefficients coefficients)
{
    for (int k = 1; k <= basis.Count(); ++k) coefficients[k - 1] /= basis.Norm(k);
    return coefficients;
}

ZernikeCoefficients RmsToCoef(const ZernikeBasis& basis, ZernikeCoefficients coefficients)
{
    coefficients[0] = 0;
    for (int k = 2; k <= basis.Count(); ++k) coefficients[k - 1] *= basis.Norm(k);
    return coefficients;
}

}  // namespace frontlys
