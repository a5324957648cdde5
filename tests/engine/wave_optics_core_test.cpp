#include "engine/wave_optics_core.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "engine/pupil_transmission.h"

namespace frontlys {
namespace {

// The OPD taken a row at a time fills the same field, to the bit, as the OPD taken a point at a
// time, and is asked only at the points that pass light; the fill's column span spares the
// transform its search for the lit columns.
TEST(WaveOpticsCore, RowOpdFillsThePointFillsField)
{
    const int n = 90;
    const PupilPlane plane{1.2e9, 1e8, 1.2e9 - 2e6, 555, n, 3e6, 0.25, -0.5};
    const SpiderVanes vanes{3, 0.05, 20};
    const PupilFunction transmission = MakePupilTransmission(0.3, vanes, plane.dxNm / 1e8);
    const auto opd = [](double x, double y) { return 80 * x * x * y - 45 * y * y + 30 * x; };
    std::vector<std::complex<double>> byPoint, byRow;
    const ColumnSpan span = FillPupilField(byPoint, plane, transmission, opd);
    std::size_t asked = 0;
    FillPupilField(
        byRow, plane, transmission, [&](double y, std::span<const double> x, std::span<double> out) {
            for (std::size_t i = 0; i < x.size(); ++i) out[i] = opd(x[i], y);
            asked += x.size();
        });
    ASSERT_EQ(byRow.size(), byPoint.size());
    std::size_t lit = 0;
    for (std::size_t i = 0; i < byRow.size(); ++i) {
        EXPECT_EQ(byRow[i], byPoint[i]) << "sample " << i;
        lit += byPoint[i] != 0.0;
    }
    EXPECT_GT(lit, 1000u);
    EXPECT_EQ(asked, lit);
    // A buffer that grows without clearing, holding another field before: every sample is written.
    Buffer<std::complex<double>> reused(2 * byRow.size(), {7, -7});
    FillPupilField(
        reused, plane, transmission, [&](double y, std::span<const double> x, std::span<double> out) {
            for (std::size_t i = 0; i < x.size(); ++i) out[i] = opd(x[i], y);
        });
    ASSERT_EQ(reused.size(), byRow.size());
    EXPECT_TRUE(std::equal(reused.begin(), reused.end(), byRow.begin()));
    // The span holds every lit column, and the transform told of it gives the searching one's values
    // (to rounding: the columns go through the strips of the transform in other groups).
    for (std::size_t i = 0; i < byPoint.size(); ++i) {
        const int column = static_cast<int>(i % n);
        if (column < span.first || column >= span.end) {
            EXPECT_EQ(byPoint[i], 0.0) << "sample " << i;
        }
    }
    const FftPlan plan(n);
    TransformFieldOnly(byPoint, plan);
    TransformFieldOnly(byRow, plan, span);
    double peak = 0, worst = 0;
    for (std::size_t i = 0; i < byPoint.size(); ++i) {
        peak = std::max(peak, std::abs(byPoint[i]));
        worst = std::max(worst, std::abs(byRow[i] - byPoint[i]));
    }
    EXPECT_LT(worst, 1e-13 * peak);
}

// The field kept by its lit columns holds, in a buffer that held other values before, the full grid's
// values in those columns, and the full grid is zero outside them.
TEST(WaveOpticsCore, BandHoldsTheFullFieldsLitColumns)
{
    const int n = 120;
    const PupilPlane plane{1.2e9, 1e8, 1.2e9 - 2e6, 555, n, 4e6, 0, 0.5};
    const PupilFunction transmission = MakePupilTransmission(0.25, {2, 0.04, 10}, plane.dxNm / 1e8);
    const auto opd = [](double y, std::span<const double> x, std::span<double> out) {
        for (std::size_t i = 0; i < x.size(); ++i) out[i] = 60 * x[i] * y - 20 * y * y;
    };
    std::vector<std::complex<double>> full;
    const ColumnSpan lit = FillPupilField(full, plane, transmission, opd);
    Buffer<std::complex<double>> band(3 * n * n, {5, 5});
    const LitBand b = FillPupilBand(band, plane, transmission, opd);
    EXPECT_EQ(b.lit.first, lit.first);
    EXPECT_EQ(b.lit.end, lit.end);
    ASSERT_GE(b.stride, b.lit.end - b.lit.first);
    EXPECT_LT(b.lit.end - b.lit.first, n);
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const std::complex<double> v = full[static_cast<std::size_t>(r) * n + c];
            if (c < b.lit.first || c >= b.lit.end) {
                EXPECT_EQ(v, 0.0) << r << " " << c;
            } else {
                EXPECT_EQ(band[r * b.stride + c - b.lit.first], v) << r << " " << c;
            }
        }
    }
}

// Every sample of the fill carries the transmission at its point as its modulus, and the grid is dark
// wherever the pupil passes no light: no lit point is left out of a row's reach, none lands in another
// column.
TEST(WaveOpticsCore, FieldModulusIsTheTransmission)
{
    const int n = 150;
    const PupilPlane plane{1.2e9, 1e8, 1.2e9 + 3e6, 555, n, 2.6e6, 0, 0};
    const SpiderVanes vanes{4, 0.03, 25};
    const double eps = 0.35, soft = plane.dxNm / 1e8;
    std::vector<std::complex<double>> field;
    FillPupilField(field,
                   plane,
                   MakePupilTransmissionRow(eps, vanes, soft),
                   [](double y, std::span<const double> x, std::span<double> out) {
                       for (std::size_t i = 0; i < x.size(); ++i) out[i] = 400 * x[i] * x[i] * y + 90 * y;
                   });
    ASSERT_EQ(field.size(), static_cast<std::size_t>(n) * n);
    const double step = plane.dxNm / plane.apertureRadiusNm;
    int partial = 0, lit = 0;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const double t = PupilTransmission((c - n / 2) * step, -(r - n / 2) * step, eps, vanes, soft);
            const std::complex<double> v = field[static_cast<std::size_t>(r) * n + c];
            ASSERT_NEAR(std::abs(v), t, 1e-12) << r << " " << c;
            if (t == 0) {
                ASSERT_EQ(v, 0.0) << r << " " << c;
                continue;
            }
            ++lit;
            partial += t < 1;
        }
    }
    EXPECT_GT(lit, 3000);
    EXPECT_GT(partial, 200);
}

}  // namespace
}  // namespace frontlys
