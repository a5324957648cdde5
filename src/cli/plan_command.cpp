#include "cli/plan_command.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cmath>
#include <iostream>
#include <limits>
#include <nlohmann/json.hpp>
#include <numbers>

#include "cli/language.h"
#include "core/numbers.h"
#include "engine/beam_geometry.h"
#include "engine/transport.h"

namespace frontlys::cli {
namespace {

constexpr double kMinRadiusPx = 30;
constexpr double kMaxRadiusPx = 80;
constexpr double kSeeingShare = 0.1;  // seeing FWHM / donut radius
constexpr double kMinJacobian = 0.5;
constexpr double kMargin = 1.2;
constexpr double kArcsecRad = std::numbers::pi / (180.0 * 3600.0);

bool Positive(double v) { return std::isfinite(v) && v > 0; }

double BinnedPixelMm(const PlanInput& in) { return in.pixelUm * 1e-3 * in.binning; }

// Hessians of the unit-RMS terms in reduced pupil coordinates, as (hxx, hxy, hyy).
using Hessian = std::array<double, 3>;
Hessian Astigmatism(double, double) { return {2 * std::sqrt(6.0), 0, -2 * std::sqrt(6.0)}; }
Hessian Coma(double x, double y)  // sqrt(8) (3 rho^3 - 2 rho) cos(theta)
{
    const double k = std::sqrt(8.0);
    return {k * 18 * x, k * 6 * y, k * 6 * x};
}
Hessian Spherical(double x, double y)  // sqrt(5) (6 rho^4 - 6 rho^2 + 1)
{
    const double k = std::sqrt(5.0);
    return {k * (72 * x * x + 24 * y * y - 12), k * 48 * x * y, k * (24 * x * x + 72 * y * y - 12)};
}

// det(I + a H) for both signs of a, the smaller.
double WorstDeterminant(const Hessian& h, double a)
{
    double worst = std::numeric_limits<double>::infinity();
    for (double s : {-a, a}) worst = std::min(worst, (1 + s * h[0]) * (1 + s * h[2]) - s * s * h[1] * h[1]);
    return worst;
}

// Shortest defocus at which SmallestJacobian reaches kMinJacobian; infinity when even half the
// focal length does not (the Jacobian grows with the defocus, so bisection applies).
double CausticLimitMm(const PlanInput& in)
{
    double lo = 1e-6 * in.focalMm, hi = 0.5 * in.focalMm;
    if (SmallestJacobian(in, lo) >= kMinJacobian) return lo;
    if (SmallestJacobian(in, hi) < kMinJacobian) return std::numeric_limits<double>::infinity();
    for (int i = 0; i < 60; ++i) {
        const double mid = std::sqrt(lo * hi);
        (SmallestJacobian(in, mid) < kMinJacobian ? lo : hi) = mid;
    }
    return hi;
}

std::string Mm(double v) { return FormatFloat("0.00", v) + " mm"; }

std::string Explain(const PlanResult& r)
{
    if (!r.feasible) {
        if (r.seeingMinMm >= r.causticMinMm)
            return Tr(
                "Aucune défocalisation ne convient : la turbulence demande un rayon de plus de 80 pixels ; "
                "augmentez le binning ou utilisez des pixels plus grands.",
                "No defocus suits: the seeing asks for a radius beyond 80 pixels; bin the camera or use "
                "larger pixels.");
        return Tr(
            "Aucune défocalisation ne convient : l'aberration attendue demande un rayon de plus de 80 pixels "
            "pour rester loin de la caustique ; augmentez le binning.",
            "No defocus suits: the expected aberration asks for a radius beyond 80 pixels to stay clear of "
            "the caustic; bin the camera.");
    }
    std::string limit = Tr("le rayon minimal de 30 pixels", "the smallest radius of 30 pixels");
    if (r.minDefocusMm == r.seeingMinMm)
        limit = Tr("la turbulence (FWHM sous un dixième du rayon)",
                   "the seeing (FWHM under a tenth of the radius)");
    if (r.minDefocusMm == r.causticMinMm)
        limit = Tr("l'aberration attendue (jacobien au-dessus de 0,5)",
                   "the expected aberration (Jacobian above 0.5)");
    return Tr("La plus courte défocalisation utilisable (", "The shortest usable defocus (") +
           Mm(r.minDefocusMm) + Tr(") est fixée par ", ") is set by ") + limit +
           Tr(" ; le signal est d'autant plus fort que la défocalisation est courte, d'où la valeur "
              "recommandée avec 20 % de marge.",
              "; the signal grows as the defocus shortens, hence the recommended value with a 20 % margin.");
}

}  // namespace

double DonutRadiusAt(const PlanInput& in, double defocusMm)
{
    return DonutRadius(in.focalMm, in.diameterMm / 2, defocusMm) / BinnedPixelMm(in);
}

// A ray from reduced pupil point rho lands, in units of the donut radius, at +-rho - c grad W, c the
// transport coefficient of the geometric ray mapping from the pupil to each defocused plane,
// F (F +- l) / (l R^2). The larger c, beyond focus, serves both sides: a conservative bound.
double SmallestJacobian(const PlanInput& in, double defocusMm)
{
    const double c = TransportFor(in.focalMm, in.diameterMm / 2, defocusMm).extra;
    const double a = c * in.aberrationNm * 1e-6;
    double worst = std::numeric_limits<double>::infinity();
    constexpr int kRings = 24, kSpokes = 72;
    for (int i = 0; i <= kRings; ++i) {
        const double rho = double(i) / kRings;
        for (int j = 0; j < kSpokes; ++j) {
            const double t = 2 * std::numbers::pi * j / kSpokes;
            const double x = rho * std::cos(t), y = rho * std::sin(t);
            for (const Hessian& h : {Astigmatism(x, y), Coma(x, y), Spherical(x, y)})
                worst = std::min(worst, WorstDeterminant(h, a));
        }
    }
    return worst;
}

std::optional<PlanResult> PlanDefocus(const PlanInput& in, std::string* reason)
{
    const auto refuse = [&](const char* why) {
        if (reason) *reason = why;
        return std::nullopt;
    };
    if (!Positive(in.diameterMm) || !Positive(in.focalMm) || !Positive(in.pixelUm))
        return refuse("--diameter, --focal and --pixel must be positive");
    if (in.binning < 1) return refuse("--binning must be at least 1");
    if (!(in.seeingArcsec >= 0) || !std::isfinite(in.seeingArcsec))
        return refuse("--seeing must be 0 or more");
    if (!(in.aberrationNm >= 0) || !std::isfinite(in.aberrationNm))
        return refuse("--aberration must be 0 or more");
    PlanResult r;
    const double mmPerPx =
        DefocusForDonutRadius(in.focalMm, in.diameterMm / 2, BinnedPixelMm(in));  // per radius px
    r.radiusMinMm = kMinRadiusPx * mmPerPx;
    r.radiusMaxMm = kMaxRadiusPx * mmPerPx;
    const double fwhmMm = in.seeingArcsec * kArcsecRad * in.focalMm;
    r.seeingMinMm = DefocusForDonutRadius(in.focalMm, in.diameterMm / 2, fwhmMm / kSeeingShare);
    r.causticMinMm = CausticLimitMm(in);
    r.minDefocusMm = std::max({r.radiusMinMm, r.seeingMinMm, r.causticMinMm});
    r.maxDefocusMm = r.radiusMaxMm;
    r.feasible = r.minDefocusMm <= r.maxDefocusMm;
    if (r.feasible) {
        r.recommendedDefocusMm = std::min(r.maxDefocusMm, kMargin * r.minDefocusMm);
        r.minRadiusPx = DonutRadiusAt(in, r.minDefocusMm);
        r.maxRadiusPx = DonutRadiusAt(in, r.maxDefocusMm);
        r.recommendedRadiusPx = DonutRadiusAt(in, r.recommendedDefocusMm);
    }
    r.why = Explain(r);
    return r;
}

int RunPlan(const PlanInput& input, bool json, std::ostream& out, std::ostream& err)
{
    std::string reason;
    const auto plan = PlanDefocus(input, &reason);
    if (!plan) {
        err << "frontlys-cli plan: " << Tr("Paramètre invalide", "Invalid parameter") << " (" << reason
            << ")\n";
        return 2;
    }
    const PlanResult& r = *plan;
    const auto number = [&](double v) { return r.feasible ? nlohmann::json(v) : nlohmann::json(nullptr); };
    if (json) {
        const nlohmann::ordered_json j{
            {"feasible", r.feasible},
            {"recommended_defocus_mm", number(r.recommendedDefocusMm)},
            {"min_defocus_mm", number(r.minDefocusMm)},
            {"max_defocus_mm", number(r.maxDefocusMm)},
            {"recommended_radius_px", number(r.recommendedRadiusPx)},
            {"min_radius_px", number(r.minRadiusPx)},
            {"max_radius_px", number(r.maxRadiusPx)},
            {"why", r.why},
        };
        out << j.dump(2) << "\n";
        return 0;
    }
    const auto line = [&](const char* what, double mm, double px) {
        out << what << Mm(mm) << Tr(" (rayon ", " (radius ") << FormatFloat("0.0", px) << " pixels)\n";
    };
    if (r.feasible) {
        line(Tr("Défocalisation recommandée : ", "Recommended defocus: "),
             r.recommendedDefocusMm,
             r.recommendedRadiusPx);
        line(Tr("Minimale : ", "Shortest: "), r.minDefocusMm, r.minRadiusPx);
        line(Tr("Maximale : ", "Longest: "), r.maxDefocusMm, r.maxRadiusPx);
    }
    out << Tr("Limites : rayon de 30 à 80 pixels de ", "Limits: radius of 30 to 80 pixels from ")
        << Mm(r.radiusMinMm) << Tr(" à ", " to ") << Mm(r.radiusMaxMm)
        << Tr(", turbulence dès ", ", seeing from ") << Mm(r.seeingMinMm)
        << Tr(", caustique dès ", ", caustic from ")
        << (std::isfinite(r.causticMinMm) ? Mm(r.causticMinMm) : std::string(Tr("(jamais)", "(never)")))
        << "\n"
        << r.why << "\n";
    return 0;
}

void AddPlanCommand(CLI::App& app, int* exitCode)
{
    auto input = std::make_shared<PlanInput>();
    auto json = std::make_shared<bool>(false);
    auto* cmd =
        app.add_subcommand("plan", "The range of defocus distances that suits a telescope and camera");
    cmd->add_option("--diameter", input->diameterMm, "Aperture diameter, mm")->required();
    cmd->add_option("--focal", input->focalMm, "Focal length, mm")->required();
    cmd->add_option("--pixel", input->pixelUm, "Camera pixel size, micrometres")->required();
    cmd->add_option("--binning", input->binning, "Camera binning (default 1)");
    cmd->add_option("--seeing", input->seeingArcsec, "Seeing FWHM, arc seconds (default 2)");
    cmd->add_option("--aberration", input->aberrationNm, "Expected aberration, nm RMS (default 100)");
    cmd->add_flag("--json", *json, "One JSON object instead of the summary");
    cmd->callback([input, json, exitCode] { *exitCode = RunPlan(*input, *json, std::cout, std::cerr); });
}

}  // namespace frontlys::cli
