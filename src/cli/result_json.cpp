#include "cli/result_json.h"

#include <cmath>

#include "analysis/test_session.h"
#include "cli/language.h"
#include "engine/zernike.h"
#include "prep/pupil.h"

namespace frontlys::cli {
namespace {

using Json = nlohmann::ordered_json;

Json Number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

// Integers stay integers; a number that is not finite is null.
Json Param(Json value, std::string source)
{
    if (value.is_number_float() && !std::isfinite(value.get<double>())) value = nullptr;
    return Json{{"value", value}, {"source", source}};
}

// "option", "header KEY", or the fallback.
std::string From(bool option, std::string_view key, std::string fallback)
{
    if (option) return "option";
    if (!key.empty()) return "header " + std::string(key);
    return fallback;
}

Json Parameters(const AnalysisReport& r, const AnalysisOptions& o)
{
    const TFitsHeader& h = r.session->HeaderIntra;
    const std::string prefs = o.prefsFile ? "preferences file" : "default";
    return Json{
        {"diameter_mm", Param(r.diameterMm, From(o.diameterMm.has_value(), h.SetBy[kDiameterGroup], "none"))},
        {"focal_mm", Param(r.focalMm, From(o.focalMm.has_value(), h.SetBy[kFocalGroup], "none"))},
        {"pixel_um", Param(r.pixelUm, From(o.pixelUm.has_value(), h.SetBy[kPixelXGroup], "none"))},
        {"binning", Param(r.binning, From(o.binning.has_value(), h.SetBy[kBinXGroup], "default"))},
        {"software_binning", Param(r.softwareBinning, r.softwareBinning != 1 ? "option" : "default")},
        {"defocus_mm", Param(r.defocusMm, r.defocusComputed ? "computed from the pupil radii" : "option")},
        {"niter", Param(r.niter, o.niter ? "option" : prefs)},
        {"npoly", Param(r.npoly, o.npoly ? "option" : prefs)},
        {"lambda_nm", Param(r.lambdaNm, o.lambdaNm ? "option" : prefs)},
        {"obstruction", Param(Number(r.obstruction), o.obstruction ? "option" : "measured on the wavefront")},
        {"vanes",
         r.vanes == kVanesMeasured ? Param("auto", "option: measured from the images")
                                   : Param(r.vanes, o.vanes > 0 ? "option" : "default")},
        {"vane_width_mm", Param(Number(r.vaneWidthMm), o.vaneWidthMm > 0 ? "option" : "default")},
        {"vane_angle_deg", Param(Number(r.vaneAngleDeg), o.vaneAngleDeg != 0 ? "option" : "default")},
        {"correction", Param(r.correction, o.analytic ? "option" : prefs)},
    };
}

Json ZernikeSet(const AnalysisReport& r)
{
    Json terms = Json::array();
    for (const CoefficientRow& row : CoefficientRows(r))
        terms.push_back({{"index", row.index},
                         {"noll", NollIndex(row.n, row.m, row.sine)},
                         {"n", row.n},
                         {"m", row.m},
                         {"type",
                          row.m == 0 ? ""
                          : row.sine ? "sin"
                                     : "cos"},
                         {"name", row.name},
                         {"peak_nm", Number(row.peakNm)},
                         {"rms_nm", Number(row.rmsNm)},
                         {"sigma_nm", Number(row.sigmaNm)}});
    const bool annular = r.obstruction > 0;
    return Json{
        {"set", annular ? "annular" : "circular"},
        {"obstruction", Number(annular ? r.obstruction : 0)},
        {"normalisation",
         "peak: each term is 1 at the edge of an unobstructed pupil; rms_nm = peak_nm / sqrt(n + 1) for m = "
         "0, "
         "/ sqrt(2 (n + 1)) for m > 0 (annular terms keep the mean square of the disc ones)"},
        {"coordinates",
         "x to the right, y up on the intra-focal image as displayed, theta counter-clockwise from x"},
        {"terms", terms},
    };
}

Json Excluded()
{
    Json terms = Json::array();
    for (int k = 1; k <= kZernikeTerms; ++k)
        if (!MasqueFront[static_cast<std::size_t>(k - 1)]) terms.push_back(k);
    return terms;
}

Json NotesOf(const std::vector<Note>& notes)
{
    Json out = Json::array();
    for (const Note& n : notes)
        out.push_back({{"code", n.code}, {"text", CurrentLanguage() == Lang::Fr ? n.fr : n.en}});
    return out;
}

}  // namespace

std::vector<CoefficientRow> CoefficientRows(const AnalysisReport& r)
{
    std::vector<CoefficientRow> rows;
    for (std::size_t i = 0; i < r.zernikeRmsNm.size(); ++i) {
        const int k = static_cast<int>(i) + 1;
        const ZernikeTerm& t = ZernikeTermInfo(k);
        rows.push_back({k, std::string(t.name), t.n, t.m, t.sine, r.zernikeRmsNm[i], r.zernikeNm[i]});
        if (i < r.zernikeSigmaNm.size()) rows.back().sigmaNm = r.zernikeSigmaNm[i];
    }
    return rows;
}

std::vector<std::string> RunWarnings(const AnalysisReport& r)
{
    std::vector<std::string> out;
    for (const std::string& w : r.warnings) out.push_back(TranslatedReason(w));
    const TestSession& s = *r.session;
    for (const Note& n : s.Warnings) out.push_back(CurrentLanguage() == Lang::Fr ? n.fr : n.en);
    const auto bad = [](const ImageSlot& image) { return image ? CountBadPixelsInPupil(*image) : 0; };
    if (const int n = bad(s.ImageIntra) + bad(s.ImageExtra); n > 0)
        out.push_back(std::to_string(n) + Tr(" pixels défectueux (NaN ou infinis) dans les pupilles",
                                             " bad pixels (NaN or infinite) inside the pupils"));
    return out;
}

void DescribeAnalysis(Json& j,
                      const AnalysisReport& r,
                      const AnalysisOptions& o,
                      const std::vector<std::filesystem::path>& files)
{
    j["tool"] = {{"name", "frontlys-cli"}, {"version", kToolVersion}};
    j["inputs"] = {{"intra", o.intra.string()}, {"extra", o.extra.string()}};
    j["parameters"] = Parameters(r, o);
    j["wavelength_nm"] = Number(r.lambdaNm);
    j["units"] = {
        {"zernike_nm",
         "nm of wavefront, peak-normalised coefficients, term k at index k - 1, 28 "
         "values (terms beyond npoly are 0)"},
        {"zernike_rms_nm", "nm RMS, the first npoly terms"},
        {"zernike_sigma_nm",
         "nm RMS, 1-sigma of each zernike_rms_nm from the noise of the pair (photon, read, sky); a lower "
         "bound when sigma_lower_bound is true; null for the numeric correction"},
        {"ptv_nm", "nm"},
        {"rms_nm", "nm"},
        {"strehl", "ratio at wavelength_nm"},
        {"lengths", "mm, pixel sizes um, pupil positions 1-based pixels (column, row)"}};
    j["zernike"] = ZernikeSet(r);
    j["sign_convention"] =
        "A positive coefficient is an optical path difference ahead of the reference sphere (towards the "
        "image): positive spherical aberration (Z11) is an under-corrected mirror.";
    j["wavefront_error_excludes_terms"] = Excluded();
    // Each warning with a stable code: RunWarnings gives what was ignored on the way, then the checks
    // on the data (their own codes), then the bad pixels.
    Json warnings = Json::array();
    const std::vector<std::string> texts = RunWarnings(r);
    const std::size_t ignored = r.warnings.size(), checks = r.session->Warnings.size();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::string code = i < ignored            ? "ignored"
                                 : i < ignored + checks ? r.session->Warnings[i - ignored].code
                                                        : "bad_pixels";
        warnings.push_back({{"code", code}, {"text", texts[i]}});
    }
    j["warnings"] = warnings;
    j["notes"] = NotesOf(r.session->Notes);
    Json written = Json::array();
    for (const auto& f : files) written.push_back(f.string());
    j["files"] = written;
}

}  // namespace frontlys::cli
