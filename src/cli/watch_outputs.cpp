#include "cli/watch_outputs.h"

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/language.h"
#include "cli/pictures.h"
#include "core/atomic_write.h"
#include "core/numbers.h"
#include "display/bitmap_files.h"
#include "display/line_plot.h"
#include "display/session_plots.h"
#include "engine/zernike.h"

namespace frontlys::cli {
namespace {

using Json = nlohmann::ordered_json;

Json Number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }
std::string Fixed(double v, int decimals) { return std::isfinite(v) ? FormatFixed(v, decimals) : "-"; }

const char* RuleName(PairingRule rule)
{
    switch (rule) {
        case PairingRule::FocuserPosition:
            return "focuser";
        case PairingRule::FileName:
            return "name";
        case PairingRule::Data:
            return "data";
        case PairingRule::Asked:
            return "asked";
        default:
            return "order";
    }
}

std::string RuleText(PairingRule rule)
{
    switch (rule) {
        case PairingRule::FocuserPosition:
            return Tr("position du focuser", "focuser position");
        case PairingRule::FileName:
            return Tr("noms des fichiers", "file names");
        case PairingRule::Data:
            return Tr("images", "images");
        case PairingRule::Asked:
            return Tr("réponse de l'utilisateur", "user's answer");
        default:
            return Tr("ordre d'arrivée", "arrival order");
    }
}

// |(a, b)| and its standard error from those of a and b.
std::pair<double, double> Magnitude(const PairAverage& a, int k1, int k2)
{
    if (static_cast<int>(a.meanRmsNm.size()) < k2) return {std::nan(""), std::nan("")};
    const double x = a.meanRmsNm[k1 - 1], y = a.meanRmsNm[k2 - 1];
    const double m = std::hypot(x, y);
    const double sx = a.semRmsNm[k1 - 1], sy = a.semRmsNm[k2 - 1];
    return {m, m > 0 ? std::hypot(x * sx, y * sy) / m : std::hypot(sx, sy)};
}

std::string Quoted(const std::string& s)
{
    std::string q = "\"";
    for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

}  // namespace

TelescopeDesign DesignNamed(const std::string& name)
{
    if (name == "cassegrain") return TelescopeDesign::Cassegrain;
    if (name == "sct") return TelescopeDesign::Sct;
    if (name == "refractor") return TelescopeDesign::Refractor;
    return TelescopeDesign::Newtonian;
}

std::string CollimationText(const Collimation& c, TelescopeDesign design, bool labelled)
{
    std::ostringstream o;
    if (labelled) o << Tr("collimation : ", "collimation: ");
    if (!c.valid) return o.str() + "-";
    if (std::isfinite(c.fieldAngleRad))
        o << Fixed(c.fieldAngleRad / kArcmin, 2) << "' (" << Fixed(c.offsetUm, 0) << " um)";
    else
        o << "W131 " << Fixed(c.w131Nm, 0) << " nm";
    o << Tr(" vers ", " towards ") << Fixed(c.positionAngleDeg, 0)
      << Tr("° (côté brillant)", "° (bright side)");
    if ((design == TelescopeDesign::Sct || design == TelescopeDesign::Cassegrain) &&
        std::isfinite(c.secondaryTiltRad))
        o << Tr(", secondaire ", ", secondary ") << Fixed(c.secondaryTiltRad / kArcmin, 2) << "'";
    return o.str();
}

std::string PairLine(const LivePair& p, TelescopeDesign design)
{
    std::ostringstream o;
    o << Tr("Paire ", "Pair ") << p.number << " (" << p.intra.filename().string() << " / "
      << p.extra.filename().string() << ", " << RuleText(p.pairing) << ")" << Tr(" : ", ": ");
    if (!p.analysed) {
        o << Tr("écartée : ", "set aside: ") << Translated(p.reason.fr);
        return o.str();
    }
    const auto& z = p.zernikeRmsNm;
    o << "RMS " << Fixed(p.rmsNm, 1) << " nm, astig. " << Fixed(AstigmatismNm(z), 1) << ", coma "
      << Fixed(ComaNm(z), 1) << Tr(", sphér. ", ", spher. ") << Fixed(SphericalNm(z), 1) << " nm ; "
      << CollimationText(p.collimation, design) << Tr(" ; analyse ", " ; analysis ")
      << Fixed(p.analysisSeconds, 2) << " s";
    if (p.setAside)
        o << Tr(" — écartée : ", " — set aside: ")
          << (CurrentLanguage() == Lang::Fr ? p.reason.fr : p.reason.en);
    return o.str();
}

std::string MeanLine(const PairAverage& a)
{
    if (a.kept == 0) return Tr("Moyenne : aucune paire gardée", "Mean: no pair kept");
    const auto astig = Magnitude(a, 5, 6), coma = Magnitude(a, 7, 8);
    const double sph = a.meanRmsNm.size() >= 11 ? a.meanRmsNm[10] : std::nan("");
    const double sphErr = a.semRmsNm.size() >= 11 ? a.semRmsNm[10] : std::nan("");
    std::ostringstream o;
    o << Tr("Moyenne sur ", "Mean over ") << a.kept << Tr(" paire(s) : astig. ", " pair(s): astig. ")
      << Fixed(astig.first, 1) << " ± " << Fixed(astig.second, 1) << ", coma " << Fixed(coma.first, 1)
      << " ± " << Fixed(coma.second, 1) << Tr(", sphér. ", ", spher. ") << Fixed(sph, 1) << " ± "
      << Fixed(sphErr, 1) << " nm RMS";
    return o.str();
}

std::string TrendCsv(const std::vector<LivePair>& pairs)
{
    std::size_t terms = 0;
    for (const LivePair& p : pairs) terms = std::max(terms, p.zernikeRmsNm.size());
    std::ostringstream o;
    o << "pair,seconds,intra,extra,pairing,analysed,kept,reason,rms_nm,strehl,astigmatism_nm,coma_nm,"
         "spherical_nm,"
         "collimation_arcmin,position_angle_deg,secondary_tilt_arcmin,analysis_s";
    for (std::size_t k = 1; k <= terms; ++k) o << ",Z" << k;
    o << "\n";
    const auto g = [](double v) { return std::isfinite(v) ? FormatGeneral(v) : std::string(); };
    for (const LivePair& p : pairs) {
        const auto& z = p.zernikeRmsNm;
        const Collimation& c = p.collimation;
        o << p.number << "," << FormatFixed(p.readyAt, 2) << "," << Quoted(p.intra.string()) << ","
          << Quoted(p.extra.string()) << "," << RuleName(p.pairing) << "," << (p.analysed ? 1 : 0) << ","
          << (p.setAside ? 0 : 1) << "," << Quoted(p.reason.code) << ",";
        if (p.analysed)
            o << g(p.rmsNm) << "," << g(p.strehl) << "," << g(AstigmatismNm(z)) << "," << g(ComaNm(z)) << ","
              << g(SphericalNm(z)) << "," << (c.valid ? g(c.fieldAngleRad / kArcmin) : "") << ","
              << (c.valid ? g(c.positionAngleDeg) : "") << ","
              << (c.valid ? g(c.secondaryTiltRad / kArcmin) : "") << "," << g(p.analysisSeconds);
        else
            o << ",,,,,,,,";
        for (std::size_t k = 0; k < terms; ++k) o << "," << (k < z.size() ? g(z[k]) : "");
        o << "\n";
    }
    return o.str();
}

std::string TrendJson(const std::vector<LivePair>& pairs, const PairAverage& a)
{
    Json list = Json::array(), aside = Json::array();
    for (const LivePair& p : pairs) {
        Json j{{"pair", p.number},
               {"seconds", Number(p.readyAt)},
               {"intra", p.intra.string()},
               {"extra", p.extra.string()},
               {"pairing", RuleName(p.pairing)},
               {"analysed", p.analysed},
               {"kept", !p.setAside}};
        if (p.analysed) {
            const Collimation& c = p.collimation;
            j["rms_nm"] = Number(p.rmsNm);
            j["strehl"] = Number(p.strehl);
            j["zernike_rms_nm"] = p.zernikeRmsNm;
            j["analysis_s"] = Number(p.analysisSeconds);
            if (c.valid)
                j["collimation"] = {{"angle_arcmin", Number(c.fieldAngleRad / kArcmin)},
                                    {"position_angle_deg", Number(c.positionAngleDeg)},
                                    {"offset_um", Number(c.offsetUm)},
                                    {"w131_nm", Number(c.w131Nm)},
                                    {"secondary_tilt_arcmin", Number(c.secondaryTiltRad / kArcmin)}};
            Json warnings = Json::array();
            for (const Note& n : p.warnings) warnings.push_back(n.code);
            j["warnings"] = warnings;
        }
        if (p.setAside) {
            j["reason"] = {{"code", p.reason.code},
                           {"text", CurrentLanguage() == Lang::Fr ? p.reason.fr : p.reason.en}};
            aside.push_back({{"pair", p.number}, {"code", p.reason.code}});
        }
        list.push_back(j);
    }
    const auto numbers = [](const std::vector<double>& v) {
        Json out = Json::array();
        for (double x : v) out.push_back(Number(x));
        return out;
    };
    Json j{{"pairs", list},
           {"kept", a.kept},
           {"set_aside", aside},
           {"mean_rms_nm", numbers(a.meanRmsNm)},
           {"std_rms_nm", numbers(a.stdRmsNm)},
           {"sem_rms_nm", numbers(a.semRmsNm)}};
    return j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

namespace {

// The pairs kept, as the trend pictures take them.
std::vector<SessionPoint> Points(const std::vector<LivePair>& pairs, bool byTime)
{
    std::vector<SessionPoint> points;
    for (const LivePair& p : pairs) {
        if (!p.analysed || p.setAside) continue;
        const std::vector<double>& z = p.zernikeRmsNm;
        points.push_back(
            {TrendX(p, byTime), p.rmsNm, AstigmatismNm(z), ComaNm(z), SphericalNm(z), CollimationArcmin(p)});
    }
    return points;
}

SessionPlotTexts Texts(bool byTime)
{
    SessionPlotTexts t;
    t.trendTitle = Tr("Évolution au fil de la séance", "Trend over the session");
    t.collimationTitle =
        Tr("Collimation : angle entre l'étoile et l'axe", "Collimation: angle between the star and the axis");
    t.xLabel = byTime ? Tr("temps (min)", "time (min)") : Tr("paire", "pair");
    t.astigmatism = Tr("astigmatisme", "astigmatism");
    t.spherical = Tr("sphérique", "spherical");
    t.angleAxis = Tr("angle (minutes d'arc)", "angle (arc minutes)");
    t.angle = Tr("angle", "angle");
    return t;
}

QImage TrendPicture(const std::vector<LivePair>& pairs)
{
    const bool byTime = TrendByTime(pairs);
    return SessionTrendPicture(Points(pairs, byTime), Texts(byTime));
}

QImage CollimationPicture(const std::vector<LivePair>& pairs)
{
    const bool byTime = TrendByTime(pairs);
    return CollimationTrendPicture(Points(pairs, byTime), Texts(byTime));
}

}  // namespace

Status WriteTrend(const std::filesystem::path& folder,
                  const std::vector<LivePair>& pairs,
                  const PairAverage& a)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec)
        return Status::Fail(
            StatusCode::IoError, "Écriture impossible", folder.string() + ": " + ec.message());
    if (Status s = WriteFileAtomically(folder / "trend.csv", TrendCsv(pairs)); !s.ok()) return s;
    if (Status s = WriteFileAtomically(folder / "trend.json", TrendJson(pairs, a)); !s.ok()) return s;
    EnsureGuiApplication();
    if (Status s = SavePng(TrendPicture(pairs), folder / "trend.png"); !s.ok()) return s;
    return SavePng(CollimationPicture(pairs), folder / "collimation.png");
}

}  // namespace frontlys::cli

namespace frontlys::cli {

ReportContent SessionReport(const std::filesystem::path& folder,
                            const std::vector<LivePair>& pairs,
                            const PairAverage& average,
                            TelescopeDesign design)
{
    ReportContent c = ReportInRunLanguage();
    c.title = Tr("Séance : ", "Session: ") + folder.filename().string();
    int analysed = 0;
    for (const LivePair& p : pairs) analysed += p.analysed;
    c.conditions = {
        {Tr("Dossier", "Folder"), folder.string()},
        {Tr("Paires", "Pairs"),
         std::to_string(pairs.size()) + Tr(" reçues, ", " received, ") + std::to_string(analysed) +
             Tr(" analysées, ", " analysed, ") + std::to_string(average.kept) + Tr(" gardées", " kept")}};
    c.pictures = {{"trend.png", Tr("évolution", "trend"), TrendPicture(pairs)},
                  {"collimation.png", "collimation", CollimationPicture(pairs)}};
    c.pictureWidth = 345, c.picturesPerRow = 2;
    for (std::size_t k = 1; k <= average.meanRmsNm.size(); ++k)
        c.termNames.emplace_back(ZernikeName(static_cast<int>(k)));
    c.rmsNm = average.meanRmsNm;
    c.errorNm = average.semRmsNm;  // the error of the mean over the pairs kept
    for (auto it = pairs.rbegin(); it != pairs.rend(); ++it)
        if (it->analysed && !it->setAside) {
            c.results.emplace_back(Tr("Dernière paire gardée", "Last pair kept"),
                                   "RMS " + Fixed(it->rmsNm, 1) + " nm, Strehl " + Fixed(it->strehl, 3));
            c.collimation =
                CollimationText(it->collimation, design, false) + Tr(" (dernière paire)", " (last pair)");
            break;
        }
    for (const LivePair& p : pairs)
        if (p.setAside)
            c.warnings.push_back(Tr("Paire ", "Pair ") + std::to_string(p.number) +
                                 Tr(" écartée : ", " set aside: ") +
                                 (CurrentLanguage() == Lang::Fr ? p.reason.fr : Translated(p.reason.en)));
    return c;
}

}  // namespace frontlys::cli
