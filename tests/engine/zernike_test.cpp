#include "engine/zernike.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "support/pupil_grid.h"

namespace frontlys {
namespace {

ZernikeValues At(double x, double y, double eps = 0, int count = 28)
{
    auto values = ZernikeEval(ZernikeBasis::ForCount(count), x, y, eps);
    EXPECT_TRUE(values.has_value()) << x << ", " << y;
    return values.value_or(ZernikeValues{});
}

double Factorial(int n) { return n <= 1 ? 1.0 : n * Factorial(n - 1); }

// The classical radial polynomial from its closed sum, independent of the recurrences.
double ClassicalRadial(int n, int m, double rho)
{
    double sum = 0;
    for (int s = 0; s <= (n - m) / 2; ++s) {
        sum += (s % 2 ? -1.0 : 1.0) * Factorial(n - s) /
               (Factorial(s) * Factorial((n + m) / 2 - s) * Factorial((n - m) / 2 - s)) *
               std::pow(rho, n - 2 * s);
    }
    return sum;
}

TEST(ZernikeEval, WorkedValuesOnTheXAxis)
{
    const ZernikeValues z = At(0.5, 0);
    EXPECT_NEAR(z[1], 0.5, 1e-14);
    EXPECT_NEAR(z[3], -0.5, 1e-14);
    EXPECT_NEAR(z[4], 0.25, 1e-14);
    EXPECT_NEAR(z[6], -0.625, 1e-14);
    EXPECT_NEAR(z[8], 0.125, 1e-14);
    EXPECT_NEAR(z[10], -0.125, 1e-14);
    EXPECT_NEAR(z[2], 0, 1e-14);  // sine terms vanish on the x axis
    EXPECT_NEAR(z[5], 0, 1e-14);
}

TEST(ZernikeEval, TopOfThePupilGivesUnitOrZeroValues)
{
    const ZernikeValues z = At(0, 1);
    EXPECT_NEAR(z[2], 1, 1e-13);
    EXPECT_NEAR(z[4], -1, 1e-13);
    EXPECT_NEAR(z[7], 1, 1e-13);
    EXPECT_NEAR(z[9], -1, 1e-13);
    for (int k = 0; k < kZernikeTerms; ++k) {
        const double a = std::fabs(z[k]);
        EXPECT_TRUE(std::fabs(a - 1) < 1e-12 || a < 1e-12) << "Z" << k + 1 << " = " << z[k];
    }
}

TEST(ZernikeEval, UnobstructedTermsMatchTheClassicalPolynomials)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> coord(-0.7, 0.7);
    for (int trial = 0; trial < 50; ++trial) {
        const double x = coord(rng), y = coord(rng);
        const double rho = std::hypot(x, y), theta = std::atan2(y, x);
        const ZernikeValues z = At(x, y);
        for (int k = 1; k <= kZernikeTerms; ++k) {
            const ZernikeTerm& t = ZernikeTermInfo(k);
            const double angular = t.m == 0 ? 1 : (t.sine ? std::sin(t.m * theta) : std::cos(t.m * theta));
            EXPECT_NEAR(z[k - 1], ClassicalRadial(t.n, t.m, rho) * angular, 1e-12) << "Z" << k;
        }
    }
}

TEST(ZernikeEval, PointsOutsideTheAnnulusGiveNothing)
{
    const ZernikeBasis basis = ZernikeBasis::ForCount(28);
    EXPECT_FALSE(ZernikeEval(basis, 0.2, 0, 0.3).has_value());
    EXPECT_FALSE(ZernikeEval(basis, 0, 1.0001, 0).has_value());
    EXPECT_FALSE(ZernikeEval(basis, std::nan(""), 0, 0).has_value());
    EXPECT_TRUE(ZernikeEval(basis, 0.3, 0, 0.3).has_value());
    EXPECT_TRUE(ZernikeEval(basis, 1, 0, 0.3).has_value());
    EXPECT_TRUE(ZernikeEval(basis, 0, 0, 0).has_value());
}

TEST(ZernikeBasis, HighestOrderFromTheTermCount)
{
    EXPECT_EQ(ZernikeBasis::ForCount(28).MaxOrder(), 6);
    EXPECT_EQ(ZernikeBasis::ForCount(22).MaxOrder(), 5);
    EXPECT_EQ(ZernikeBasis::ForCount(10).MaxOrder(), 3);
    EXPECT_EQ(ZernikeBasis::ForCount(1).MaxOrder(), 0);
    EXPECT_EQ(ZernikeBasis::ForCount(0).MaxOrder(), 0);
    EXPECT_EQ(ZernikeBasis::ForCount(40).Count(), 28);
    EXPECT_EQ(ZernikeBasis::ForCount(-3).Count(), 0);
    EXPECT_EQ(ZernikeBasis().Count(), 22);
}

TEST(ZernikeBasis, EveryCountedTermIsEvaluated)
{
    for (int p = 0; p <= kZernikeTerms; ++p) {
        const ZernikeBasis basis = ZernikeBasis::ForCount(p);
        const ZernikeValues z = ZernikeEval(basis, 0.83, 0.41, 0.2).value();
        for (int k = 1; k <= p; ++k) {
            EXPECT_TRUE(basis.Reaches(k)) << "P=" << p << " k=" << k;
            EXPECT_NE(z[k - 1], 0) << "P=" << p << " k=" << k;
        }
    }
}

TEST(ZernikeBasis, TwentyTwoTermsLeaveTheHexafoilsOut)
{
    const ZernikeValues z = At(0.6, 0.7, 0, 22);
    for (int k = 23; k <= 26; ++k) EXPECT_NE(z[k - 1], 0) << k;
    EXPECT_EQ(z[26], 0);
    EXPECT_EQ(z[27], 0);
}

TEST(ZernikeTable, NamesAndIndices)
{
    EXPECT_EQ(ZernikeName(1), "Piston");
    EXPECT_EQ(ZernikeName(3), "Tilt(sin)");
    EXPECT_EQ(ZernikeName(16), "Sec. coma");
    EXPECT_EQ(ZernikeName(17), "Sec. coma");
    EXPECT_EQ(ZernikeName(24), "Tert. astig (sin)");
    EXPECT_EQ(ZernikeName(28), "Hexafoil (sin)");
    for (int k = 1; k <= kZernikeTerms; ++k) {
        const ZernikeTerm& t = ZernikeTermInfo(k);
        EXPECT_LE(t.name.size(), 20u);
        EXPECT_EQ(ZernikeIndex(t.n, t.m) + (t.sine ? 1 : 0), k);
        EXPECT_EQ((t.n - t.m) % 2, 0);
    }
}

// Gauss-Legendre nodes and weights on [lo, hi], by Newton's method on the Legendre polynomial.
void GaussLegendre(int n, double lo, double hi, std::vector<double>& nodes, std::vector<double>& weights)
{
    nodes.resize(n);
    weights.resize(n);
    for (int i = 0; i < n; ++i) {
        double x = std::cos(M_PI * (i + 0.75) / (n + 0.5)), derivative = 1;
        for (int iter = 0; iter < 100; ++iter) {
            double p0 = 1, p1 = x;
            for (int k = 2; k <= n; ++k) {
                const double p2 = ((2 * k - 1) * x * p1 - (k - 1) * p0) / k;
                p0 = p1;
                p1 = p2;
            }
            derivative = n * (x * p1 - p0) / (x * x - 1);
            const double step = p1 / derivative;
            x -= step;
            if (std::fabs(step) < 1e-16) break;
        }
        nodes[i] = lo + (hi - lo) * (x + 1) / 2;
        weights[i] = (hi - lo) / ((1 - x * x) * derivative * derivative);
    }
}

// Mean over the annulus eps <= rho <= 1 of Z_a * Z_b. The terms are polynomials in x and y, so
// Gauss-Legendre in rho (weight rho) and a uniform rule in theta integrate them exactly.
std::vector<double> AnnularGram(double eps)
{
    const ZernikeEvaluator evaluator(ZernikeBasis::ForCount(28), eps);
    const int angular = 64;
    std::vector<double> nodes, weights;
    GaussLegendre(16, eps, 1, nodes, weights);
    std::vector<double> gram(kZernikeTerms * kZernikeTerms, 0.0);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const double rho = nodes[i];
        for (int a = 0; a < angular; ++a) {
            const double theta = 2 * M_PI * (a + 0.5) / angular;
            ZernikeValues z{};
            EXPECT_TRUE(evaluator.Eval(rho * std::cos(theta), rho * std::sin(theta), z));
            const double w = weights[i] * rho / angular;
            for (int p = 0; p < kZernikeTerms; ++p)
                for (int q = 0; q < kZernikeTerms; ++q) gram[p * kZernikeTerms + q] += w * z[p] * z[q];
        }
    }
    const double area = (1 - eps * eps) / 2;
    for (double& g : gram) g /= area;
    return gram;
}

class AnnularBasis : public ::testing::TestWithParam<double> {};

TEST_P(AnnularBasis, OrthogonalWithTheMeanSquaresOfTheDisc)
{
    const std::vector<double> gram = AnnularGram(GetParam());
    for (int p = 0; p < kZernikeTerms; ++p) {
        const ZernikeTerm& t = ZernikeTermInfo(p + 1);
        const double expected = t.m == 0 ? 1.0 / (t.n + 1) : 1.0 / (2.0 * (t.n + 1));
        EXPECT_NEAR(gram[p * kZernikeTerms + p], expected, 1e-12) << "Z" << p + 1;
        for (int q = 0; q < p; ++q)
            EXPECT_NEAR(gram[p * kZernikeTerms + q], 0, 1e-12) << p + 1 << "," << q + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(Obstructions, AnnularBasis, ::testing::Values(0.0, 0.3, 0.6));

TEST(AnnularBasis, WorkedMeanSquaresAtThreeTenths)
{
    const std::vector<double> gram = AnnularGram(0.3);
    EXPECT_NEAR(gram[10 * kZernikeTerms + 10], 0.2, 1e-12);
    EXPECT_NEAR(gram[11 * kZernikeTerms + 11], 0.1, 1e-12);
}

TEST(ZernikeCoefficients, RmsConversionsRoundTripAndStopAtTheCount)
{
    const ZernikeBasis basis = ZernikeBasis::ForCount(10);
    ZernikeCoefficients coef{};
    for (int k = 0; k < kZernikeTerms; ++k) coef[k] = 10.0 + k;
    const ZernikeCoefficients rms = CoefToRms(basis, coef);
    EXPECT_DOUBLE_EQ(rms[3], 13.0 / std::sqrt(3.0));  // defocus: n = 2, m = 0
    EXPECT_DOUBLE_EQ(rms[4], 14.0 / std::sqrt(6.0));  // astigmatism: n = 2, m = 2
    EXPECT_DOUBLE_EQ(rms[10], 20.0);                  // beyond P: unchanged
    const ZernikeCoefficients back = RmsToCoef(basis, rms);
    EXPECT_EQ(back[0], 0);
    for (int k = 1; k < kZernikeTerms; ++k) EXPECT_NEAR(back[k], coef[k], 1e-12) << k;
}

using testing::PupilImage;

ZernikeCoefficients RandomCoefficients(unsigned seed) { return testing::RandomCoefficients(seed, 100); }

TEST(ZernikeImages, SynthesisFillsTheAnnulusOnly)
{
    ImageSlot image = PupilImage(32, 12, 0.4);
    image->Planes.Fill(-7);
    SynthesiseWavefront(*image, ZernikeBasis::ForCount(28), RandomCoefficients(1), AllTermsSelected());
    int inside = 0;
    for (int r = 0; r < 32; ++r) {
        for (int c = 0; c < 32; ++c) {
            const double rho = std::hypot(image->XAxis[c], image->YAxis[r]);
            const bool in = rho <= 1 && rho >= 0.4;
            EXPECT_EQ(image->MaskAt(r, c), in ? 1 : 0);
            if (!in) {
                EXPECT_EQ(image->At(r, c), -7);
            }
            inside += in;
        }
    }
    EXPECT_GT(inside, 300);
}

TEST(ZernikeImages, RemovingTheMaskedTermsLeavesTheKeptOnes)
{
    const ZernikeBasis basis = ZernikeBasis::ForCount(22);
    const ZernikeCoefficients coef = RandomCoefficients(2);
    ZernikeSelection kept = AllTermsSelected();
    kept[0] = kept[1] = kept[2] = kept[3] = kept[10] = 0;
    ImageSlot full = PupilImage(40, 18, 0.25);
    SynthesiseWavefront(*full, basis, coef, AllTermsSelected());
    ImageSlot expected = PupilImage(40, 18, 0.25);
    SynthesiseWavefront(*expected, basis, coef, kept);
    // Terms past P stay in the image: only the first P take part in the removal.
    ZernikeSelection beyond{};
    for (int k = 22; k < kZernikeTerms; ++k) beyond[k] = 1;
    AddZernikeTerms(*expected, basis, coef, beyond, +1);
    AddZernikeTerms(*full, basis, coef, kept, -1);
    for (int r = 0; r < 40; ++r)
        for (int c = 0; c < 40; ++c) EXPECT_NEAR(full->At(r, c), expected->At(r, c), 1e-9);
}

TEST(ZernikeImages, AddingThenRemovingTheComplementRestoresTheImage)
{
    const ZernikeBasis basis = ZernikeBasis::ForCount(28);
    const ZernikeCoefficients coef = RandomCoefficients(3);
    ImageSlot image = PupilImage(24, 10, 0.2);
    SynthesiseWavefront(*image, basis, RandomCoefficients(4), AllTermsSelected());
    image->MaskAt(12, 3) = 0;  // a pixel left out of the mask must not change
    image->At(12, 3) = 5;
    const TImageRec before = *image;
    ZernikeSelection selection{}, complement{};
    for (int k = 0; k < kZernikeTerms; ++k) (k % 3 ? selection : complement)[k] = 1;
    AddZernikeTerms(*image, basis, coef, selection, +1);
    EXPECT_NE(image->At(12, 18), before.At(12, 18));
    AddZernikeTerms(*image, basis, coef, complement, -1);
    for (int r = 0; r < 24; ++r)
        for (int c = 0; c < 24; ++c) EXPECT_NEAR(image->At(r, c), before.At(r, c), 1e-9);
    EXPECT_EQ(image->At(12, 3), 5);
}

TEST(ZernikeImages, ImageWithoutAxesIsLeftAlone)
{
    ImageSlot image = NewImage(8, 8);
    image->XAxis.clear();
    SynthesiseWavefront(*image, ZernikeBasis::ForCount(28), RandomCoefficients(5), AllTermsSelected());
    EXPECT_EQ(image->Planes, NewImage(8, 8)->Planes);
}

}  // namespace
}  // namespace frontlys
