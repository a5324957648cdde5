#include "engine/collimation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "engine/zernike.h"

namespace frontlys {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr int kComaTerm = 7;

double Degrees(double radians)
{
    const double d = radians * 180 / std::numbers::pi;
    return d < 0 ? d + 360 : d;
}

bool HasOptics(const DesignOptics& o) { return o.diameterMm > 0 && o.focalMm > 0; }

bool HasSecondary(const DesignOptics& o)
{
    return (o.design == TelescopeDesign::Cassegrain || o.design == TelescopeDesign::Sct) &&
           o.magnification > 1;
}

std::array<double, 2> Along(double rmsNm, double positionDeg)
{
    const double a = positionDeg * std::numbers::pi / 180;
    return {rmsNm * std::cos(a), rmsNm * std::sin(a)};
}

}  // namespace

double ComaRmsPerW131(double obstruction)
{
    // The annular term is R(rho) cos phi: project rho^3 on R over the annulus (the angular parts
    // cancel), by the midpoint rule in rho.
    const double eps = std::clamp(obstruction, 0.0, 0.95);
    const ZernikeEvaluator evaluator(ZernikeBasis::ForCount(kComaTerm), eps);
    constexpr int kSteps = 4000;
    double cross = 0, square = 0;
    for (int i = 0; i < kSteps; ++i) {
        const double rho = eps + (1 - eps) * (i + 0.5) / kSteps;
        const auto z = evaluator.Eval(rho, 0);
        if (!z) continue;
        const double r = (*z)[kComaTerm - 1];
        cross += rho * rho * rho * r * rho;
        square += r * r * rho;
    }
    if (!(square > 0)) return kNan;
    return cross / square / ZernikeBasis::ForCount(kComaTerm).Norm(kComaTerm);
}

double FieldComaPerRadianNm(const DesignOptics& o)
{
    if (!HasOptics(o)) return kNan;
    const double n = o.focalMm / o.diameterMm;
    return o.fieldComaFactor * o.diameterMm / (32 * n * n) * 1e6;
}

double SecondaryComaPerRadianNm(const DesignOptics& o)
{
    if (!HasOptics(o) || !HasSecondary(o)) return 0;
    const double m = o.magnification, a = o.diameterMm / 2;
    const double f1 = o.focalMm / m;
    const double s = (f1 + o.backFocusMm) / (m + 1);
    return (m * m - 1) * a * a * a * s / (4 * m * m * f1 * f1 * f1) * 1e6;
}

Collimation CollimationFromComa(double z7RmsNm, double z8RmsNm, const DesignOptics& o)
{
    Collimation c;
    if (!HasOptics(o) || !std::isfinite(z7RmsNm) || !std::isfinite(z8RmsNm)) return c;
    const double perW131 = ComaRmsPerW131(o.obstruction);
    if (!std::isfinite(perW131) || perW131 <= 0) return c;
    c.valid = true;
    c.comaRmsNm = std::hypot(z7RmsNm, z8RmsNm);
    c.positionAngleDeg = Degrees(std::atan2(z8RmsNm, z7RmsNm));
    c.w131Nm = c.comaRmsNm / perW131;
    const double field = FieldComaPerRadianNm(o);
    c.fieldAngleRad = field > 0 ? c.w131Nm / field : kNan;
    c.offsetUm = c.fieldAngleRad * o.focalMm * 1e3;
    const double secondary = SecondaryComaPerRadianNm(o);
    c.secondaryTiltRad = secondary > 0 ? c.w131Nm / secondary : kNan;
    return c;
}

std::array<double, 2> ComaForFieldAngle(double angleRad, double positionDeg, const DesignOptics& o)
{
    return Along(angleRad * FieldComaPerRadianNm(o) * ComaRmsPerW131(o.obstruction), positionDeg);
}

std::array<double, 2> ComaForSecondaryTilt(double tiltRad, double positionDeg, const DesignOptics& o)
{
    return Along(tiltRad * SecondaryComaPerRadianNm(o) * ComaRmsPerW131(o.obstruction), positionDeg);
}

}  // namespace frontlys
