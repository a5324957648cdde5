#include "analysis/coefficient_uncertainty.h"

#include <algorithm>
#include <cmath>

#include "engine/compensated/uncertainty.h"

namespace frontlys {
namespace {

constexpr double kNearCaustic = 0.3;

bool Has(const std::vector<Note>& notes, const std::string& code)
{
    return std::any_of(notes.begin(), notes.end(), [&](const Note& n) { return n.code == code; });
}

}  // namespace

std::vector<double> AddRemaining(std::vector<double> cov, const std::vector<double>& remaining, int terms)
{
    if (cov.size() != static_cast<std::size_t>(terms) * terms ||
        remaining.size() != static_cast<std::size_t>(terms))
        return cov;
    const ZernikeBasis basis = ZernikeBasis::ForCount(terms);
    for (int k = 1; k <= terms; ++k) {
        const double d = remaining[k - 1] * basis.Norm(k);
        cov[static_cast<std::size_t>(k - 1) * terms + k - 1] += d * d;
    }
    return cov;
}

void FillUncertainty(CompensatedSummary& c,
                     const CompensatedResult& r,
                     const std::vector<double>& covariance,
                     const std::vector<double>& remaining,
                     int terms)
{
    c.terms = terms;
    c.covariance = AddRemaining(covariance, remaining, terms);
    c.sigmaRmsNm = SigmaRmsNm(c.covariance, terms);
    for (int i = 0; i < 2; ++i) {
        c.skyNoiseAdu[i] = r.frames[i].noise;
        c.photonVariance[i] = r.frames[i].photonVariance;
    }
}

double MeanSigmaNm(const std::vector<double>& sigma)
{
    double sq = 0;
    int n = 0;
    for (int k = 5; k <= std::min<int>(22, static_cast<int>(sigma.size())); ++k, ++n)
        sq += sigma[k - 1] * sigma[k - 1];
    return n > 0 ? std::sqrt(sq / n) : 0;
}

void MarkLowerBound(TestSession& s, CompensatedSummary& c)
{
    c.lowerBoundReasons.clear();
    if (c.sigmaRmsNm.empty()) return;
    if (c.stop == CompensatedStop::Caustic || c.minJacobian < kNearCaustic)
        c.lowerBoundReasons.push_back("caustic");
    if (Has(s.Warnings, "geometry_mismatch") || Has(s.Notes, "geometry_mismatch"))
        c.lowerBoundReasons.push_back("geometry_mismatch");
    const double noise = MeanSigmaNm(c.sigmaRmsNm);
    if (c.refineRounds > 0 && c.refineResidualNm > std::max(kMisfitSigmas * noise, kMisfitFloorNm))
        c.lowerBoundReasons.push_back("model_misfit");
    if (c.lowerBoundReasons.empty()) return;
    std::string fr, en;
    for (const std::string& why : c.lowerBoundReasons) {
        const bool first = fr.empty();
        if (why == "caustic") {
            fr += first ? "" : " ; ", en += first ? "" : "; ";
            fr += "images proches de la caustique";
            en += "images close to the caustic";
        } else if (why == "geometry_mismatch") {
            fr += first ? "" : " ; ", en += first ? "" : "; ";
            fr += "échelle des images différente de la géométrie donnée";
            en += "image scale unlike the given geometry";
        } else {
            fr += first ? "" : " ; ", en += first ? "" : "; ";
            fr +=
                "écart résiduel de l'affinage bien au-dessus du bruit (turbulence changeante, pupille "
                "inconnue du "
                "modèle)";
            en +=
                "refinement residual far above the noise (changing seeing, a pupil the model does not know)";
        }
    }
    s.Notes.push_back(
        {"sigma_lower_bound",
         "Les barres d'erreur ne comptent que le bruit des images et sont ici une borne inférieure : " + fr +
             ".",
         "The error bars count the noise of the images only and are a lower bound here: " + en + "."});
}

}  // namespace frontlys
