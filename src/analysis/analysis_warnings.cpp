#include "analysis/analysis_warnings.h"

#include <algorithm>
#include <cmath>

#include "core/numbers.h"

namespace frontlys {
namespace {

constexpr const char* kCodes[] = {"caustic", "geometry_mismatch", "numeric_obstruction"};
constexpr double kNumericObstructionLimit = 0.3;
// The Jacobian a longer defocus should bring the worst point to: well clear of the guard's 0.1.
constexpr double kSafeJacobian = 0.5;

std::string Mm(double nm) { return FormatFixed(nm / 1e6, 3); }

}  // namespace

Note CausticWarning(const CausticFacts& f)
{
    const std::string jac = FormatFixed(f.minJacobian, 2);
    if (f.scaleMismatched && f.keptGivenDefocus) {
        const std::string given = Mm(f.defocusNm), measured = Mm(f.measuredDefocusNm);
        return {"caustic",
                "Les rayons se croisent presque (jacobien " + jac + ") avec la défocalisation donnée, " +
                    given + " mm, que la taille des images contredit (" + measured +
                    " mm mesurés) : vérifiez cette valeur avant de défocaliser davantage.",
                "The rays nearly cross (Jacobian " + jac + ") with the given defocus, " + given +
                    " mm, which the image size contradicts (" + measured +
                    " mm measured): check that value before defocusing further."};
    }
    // The Jacobian goes as 1 - k / l to first order: the defocus that brings its worst point to the
    // safe level.
    const double factor = std::max(1.2, (1 - std::clamp(f.minJacobian, 0.0, 0.9)) / (1 - kSafeJacobian));
    const std::string longer = Mm(f.defocusNm * factor);
    return {"caustic",
            "Les images sont trop proches du foyer pour cette aberration (jacobien " + jac +
                ") : le résultat est approché. Défocalisez davantage, vers " + longer + " mm.",
            "The images are too close to focus for this aberration (Jacobian " + jac +
                "): the result is approximate. Defocus further, to about " + longer + " mm."};
}

Note GeometryMismatchWarning(
    double givenNm, double measuredNm, double givenRhoPx, double measuredRhoPx, bool keptGiven)
{
    const std::string pct = FormatFixed(100 * (givenNm / measuredNm - 1), 1);
    const std::string facts = "défocalisation donnée " + Mm(givenNm) + " mm (rayon " +
                              FormatFixed(givenRhoPx, 2) + " px), mesurée " + Mm(measuredNm) + " mm (rayon " +
                              FormatFixed(measuredRhoPx, 2) + " px), écart " + pct + " %";
    const std::string factsEn = "given defocus " + Mm(givenNm) + " mm (radius " + FormatFixed(givenRhoPx, 2) +
                                " px), measured " + Mm(measuredNm) + " mm (radius " +
                                FormatFixed(measuredRhoPx, 2) + " px), off by " + pct + " %";
    return {"geometry_mismatch",
            "La taille des images ne correspond pas à la géométrie donnée : " + facts +
                ". Les coefficients suivent cette échelle ; " +
                (keptGiven ? "la défocalisation donnée est conservée, à votre demande."
                           : "l'échelle mesurée est utilisée."),
            "The image size does not match the given geometry: " + factsEn +
                ". The coefficients scale with it; " +
                (keptGiven ? "the given defocus is kept, as asked." : "the measured scale is used.")};
}

std::optional<Note> NumericObstructionWarning(double obstruction)
{
    if (!(obstruction >= kNumericObstructionLimit)) return std::nullopt;
    const std::string eps = FormatFixed(obstruction, 2);
    return Note{
        "numeric_obstruction",
        "Correction numérique sous une obstruction de " + eps +
            " (0.30 ou plus) : elle peut donner la coma avec le mauvais signe. La correction analytique "
            "est plus sûre.",
        "Numeric correction under an obstruction of " + eps +
            " (0.30 or more): it can give coma the wrong sign. The analytic correction is safer."};
}

void SetAnalysisWarnings(TestSession& s, std::vector<Note> fresh)
{
    std::erase_if(s.Warnings, [](const Note& n) {
        return std::any_of(std::begin(kCodes), std::end(kCodes), [&](const char* c) { return n.code == c; });
    });
    for (Note& n : fresh) s.Warnings.push_back(std::move(n));
}

}  // namespace frontlys
