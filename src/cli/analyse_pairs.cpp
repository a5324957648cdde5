#include "cli/analyse_pairs.h"

#include <CLI/CLI.hpp>
#include <cmath>
#include <fstream>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>

#include "analysis/pair_average.h"
#include "analysis/test_session.h"
#include "cli/analyse_command.h"
#include "cli/language.h"
#include "cli/output_set.h"
#include "cli/pairs_report.h"
#include "cli/result_json.h"
#include "core/numbers.h"
#include "core/thread_pool.h"
#include "engine/zernike.h"

namespace frontlys::cli {
namespace {

using Json = nlohmann::ordered_json;

Json Number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

Json Numbers(const std::vector<double>& values)
{
    Json a = Json::array();
    for (double v : values) a.push_back(Number(v));
    return a;
}

struct PairRun {
    FilePair files;
    std::string name;
    std::optional<AnalysisReport> report;  // empty: refused
    Status refusal;
    std::vector<Note> checks;  // the checks on the pair's data
    std::string resultJson;    // its results.json, written before its images are let go
};

// Relative difference beyond which two pairs are not of one setup.
constexpr double kSetupTolerance = 0.02;
constexpr double kObstructionTolerance = 0.08;  // measured obstructions scatter by about 0.02

bool Differ(double a, double b, double tolerance)
{
    return std::abs(a - b) > tolerance * std::max(std::abs(a), std::abs(b));
}

// Checks on the set of pairs: the same pair given twice, and pairs of different telescopes or
// parameters (averaging them means nothing).
std::vector<Note> CheckPairSet(const std::vector<PairRun>& runs)
{
    std::vector<Note> notes;
    const auto same = [](const std::filesystem::path& a, const std::filesystem::path& b) {
        std::error_code ec;
        return std::filesystem::equivalent(a, b, ec) || a.lexically_normal() == b.lexically_normal();
    };
    for (std::size_t i = 0; i < runs.size(); ++i)
        for (std::size_t j = i + 1; j < runs.size(); ++j)
            if (same(runs[i].files.first, runs[j].files.first) &&
                same(runs[i].files.second, runs[j].files.second))
                notes.push_back({"pair_twice",
                                 "La paire " + std::to_string(i + 1) + " est donnée de nouveau en paire " +
                                     std::to_string(j + 1) + " : elle compte deux fois dans la moyenne.",
                                 "Pair " + std::to_string(i + 1) + " is given again as pair " +
                                     std::to_string(j + 1) + ": it counts twice in the average."});
    const AnalysisReport* first = nullptr;
    for (const PairRun& r : runs) {
        if (!r.report) continue;
        if (!first) {
            first = &*r.report;
            continue;
        }
        const AnalysisReport& b = *r.report;
        const bool mixed = Differ(first->focalMm, b.focalMm, kSetupTolerance) ||
                           Differ(first->diameterMm, b.diameterMm, kSetupTolerance) ||
                           Differ(first->pixelUm, b.pixelUm, kSetupTolerance) ||
                           first->binning != b.binning || first->softwareBinning != b.softwareBinning ||
                           first->npoly != b.npoly || first->lambdaNm != b.lambdaNm ||
                           std::abs(first->obstruction - b.obstruction) > kObstructionTolerance;
        if (mixed) {
            notes.push_back(
                {"mixed_setups",
                 "La paire " + r.name +
                     " n'a pas l'optique, la caméra ou l'obstruction de la première : la moyenne "
                     "mélange des montages différents.",
                 "Pair " + r.name +
                     " does not have the optics, camera or obstruction of the first: the average mixes "
                     "different setups."});
        }
    }
    return notes;
}

std::vector<std::string> SplitNames(const std::string& line)
{
    std::vector<std::string> names;
    std::istringstream in(line);
    if (line.find('\t') != std::string::npos) {
        for (std::string name; std::getline(in, name, '\t');)
            if (!name.empty()) names.push_back(name);
    } else {
        for (std::string name; in >> name;) names.push_back(name);
    }
    return names;
}

std::string Fixed(double v, const char* format = "0.00")
{
    return std::isfinite(v) ? FormatFloat(format, v) : "-";
}

std::string Text(const std::vector<PairRun>& runs, const PairAverage& a, int terms)
{
    std::ostringstream o;
    int index = 0;
    for (const PairRun& r : runs) {
        o << Tr("Paire ", "Pair ") << ++index << " (" << r.name << ")" << Tr(" : ", ": ");
        if (!r.report) {
            o << Tr("refusée : ", "refused: ") << Translated(r.refusal.message);
            if (!r.refusal.reason.empty()) o << " (" << TranslatedReason(r.refusal.reason) << ")";
            o << "\n";
            continue;
        }
        const bool bars = !r.report->zernikeSigmaNm.empty();
        o << "RMS " << Fixed(r.report->rmsNm, "0.0")
          << (bars ? " ± " + Fixed(r.report->rmsSigmaNm, "0.0") : "") << " nm, Strehl "
          << Fixed(r.report->strehl, "0.000") << (bars ? " ± " + Fixed(r.report->strehlSigma, "0.000") : "");
        if (a.rejected[&r - runs.data()])
            o << Tr(" — écartée (loin de la médiane)", " — set aside (far from the median)");
        o << "\n";
    }
    const bool bars = std::isfinite(a.chi2PerDofAll);
    o << Tr("Moyenne sur ", "Mean over ") << a.kept
      << (bars ? Tr(" paires (nm RMS) : moyenne, écart type, erreur de la moyenne ; sigma du bruit d'une "
                    "paire, "
                    "chi2 par degré de liberté\n",
                    " pairs (nm RMS): mean, standard deviation, standard error; noise sigma of one pair, "
                    "chi2 per "
                    "degree of freedom\n")
               : Tr(" paires (nm RMS) : moyenne, écart type, erreur de la moyenne\n",
                    " pairs (nm RMS): mean, standard deviation, standard error\n"));
    for (int k = 1; k <= terms; ++k) {
        std::string name(ZernikeName(k));
        name.resize(std::max<std::size_t>(name.size(), 22), ' ');
        o << "  " << name << "Z" << k << " = " << Fixed(a.meanRmsNm[k - 1]) << "  ± "
          << Fixed(a.stdRmsNm[k - 1]) << "  (± " << Fixed(a.semRmsNm[k - 1]) << ")";
        if (bars && k >= 4)
            o << Tr("  bruit ± ", "  noise ± ") << Fixed(a.pairSigmaRmsNm[k - 1]) << "  chi2 "
              << Fixed(a.chi2PerDof[k - 1], "0.0");
        o << "\n";
    }
    if (bars) {
        o << Tr("Chi2 par degré de liberté (termes 5 à 22) : ",
                "Chi-square per degree of freedom (terms 5 to 22): ")
          << Fixed(a.chi2PerDofAll) << "\n";
        o << (a.scatterDominates
                  ? Tr("Les paires s'écartent bien plus que leur bruit ne le permet : la turbulence ou "
                       "l'instrument, "
                       "pas le bruit, domine ; l'incertitude de la moyenne vient de la dispersion.\n",
                       "The pairs scatter far more than their noise allows: seeing or the instrument, not "
                       "noise, "
                       "dominates; the uncertainty of the mean comes from the scatter.\n")
                  : Tr("La dispersion des paires est celle de leur bruit : l'incertitude de la moyenne vient "
                       "des "
                       "barres d'erreur.\n",
                       "The pairs scatter as their noise allows: the uncertainty of the mean comes from the "
                       "error "
                       "bars.\n"));
    }
    return o.str();
}

Json PairsJson(const std::vector<PairRun>& runs, const PairAverage& a, const std::vector<Note>& setNotes)
{
    Json pairs = Json::array();
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const PairRun& r = runs[i];
        Json p{{"name", r.name}, {"intra", r.files.first.string()}, {"extra", r.files.second.string()}};
        if (r.report) {
            p["rejected"] = a.rejected[i];
            p["deviation"] = Number(a.deviation[i]);
            p["result"] = Json::parse(r.resultJson);
            Json checks = Json::array();
            for (const Note& n : r.checks)
                checks.push_back({{"code", n.code}, {"text", CurrentLanguage() == Lang::Fr ? n.fr : n.en}});
            p["warnings"] = checks;
        } else {
            p["error"] = Translated(r.refusal.message);
            p["reason"] = TranslatedReason(r.refusal.reason);
        }
        pairs.push_back(p);
    }
    Json warnings = Json::array();
    for (const Note& n : setNotes)
        warnings.push_back({{"code", n.code}, {"text", CurrentLanguage() == Lang::Fr ? n.fr : n.en}});
    return Json{
        {"tool", {{"name", "frontlys-cli"}, {"version", kToolVersion}}},
        {"units",
         {{"mean_rms_nm", "nm RMS per term, term k at index k - 1, over the pairs kept"},
          {"pairs", "each pair's result is its results.json: parameters, units, conventions, warnings"}}},
        {"warnings", warnings},
        {"pairs", pairs},
        {"kept", a.kept},
        {"mean_rms_nm", Numbers(a.meanRmsNm)},
        {"std_rms_nm", Numbers(a.stdRmsNm)},
        {"sem_rms_nm", Numbers(a.semRmsNm)},
        {"pair_sigma_rms_nm", Numbers(a.pairSigmaRmsNm)},
        {"chi2_per_dof", Numbers(a.chi2PerDof)},
        {"chi2_per_dof_all", Number(a.chi2PerDofAll)},
        {"scatter_dominates", a.scatterDominates},
        {"mean_sigma_rms_nm", Numbers(a.meanSigmaRmsNm)}};
}

// One row per pair: its files, whether it was kept, its RMS, Strehl and coefficients (nm RMS).
std::string Csv(const std::vector<PairRun>& runs, const PairAverage& a, int terms)
{
    std::ostringstream o;
    o << "intra,extra,kept,deviation,rms_nm,strehl";
    for (int k = 1; k <= terms; ++k) o << ",Z" << k;
    for (int k = 1; k <= terms; ++k) o << ",sigma_Z" << k;
    o << "\n";
    const auto quoted = [](const std::filesystem::path& p) {
        std::string s = p.string(), q = "\"";
        for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
        return q + "\"";
    };
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const PairRun& r = runs[i];
        if (!r.report) continue;
        o << quoted(r.files.first) << "," << quoted(r.files.second) << "," << (a.rejected[i] ? 0 : 1) << ","
          << FormatGeneral(a.deviation[i]) << "," << FormatGeneral(r.report->rmsNm) << ","
          << FormatGeneral(r.report->strehl);
        for (double v : r.report->zernikeRmsNm) o << "," << FormatGeneral(v);
        for (int k = 0; k < terms; ++k)
            o << ","
              << (k < static_cast<int>(r.report->zernikeSigmaNm.size())
                      ? FormatGeneral(r.report->zernikeSigmaNm[k])
                      : "");
        o << "\n";
    }
    return o.str();
}

Status WriteSet(const std::filesystem::path& folder,
                const std::string& csv,
                const std::string& json,
                const ReportContent* report)
{
    std::vector<std::string> names{"pairs.csv", "pairs.json"};
    if (report) names.insert(names.end(), {"report.html", "report.pdf"});
    OutputSet set(folder, names);
    if (Status s = set.Begin(); !s.ok()) return s;
    for (const auto& [name, text] : {std::pair{"pairs.csv", &csv}, std::pair{"pairs.json", &json}}) {
        std::ofstream f(set.Staged(name), std::ios::binary);
        f << *text;
        if (!f.flush())
            return Status::Fail(StatusCode::IoError, "Écriture impossible", set.Staged(name).string());
    }
    if (report) {
        if (Status s = WriteReportHtml(*report, set.Staged("report.html")); !s.ok()) return s;
        if (Status s = WriteReportPdf(*report, set.Staged("report.pdf")); !s.ok()) return s;
    }
    return set.Commit();
}

// The report of the run, from the numbers each pair kept.
ReportContent ReportOfPairs(const std::vector<PairRun>& runs,
                            const PairAverage& a,
                            const std::vector<Note>& setNotes,
                            const ReportOptions& options)
{
    std::vector<ReportedPair> pairs;
    for (const PairRun& r : runs) {
        std::string refusal;
        if (!r.report) {
            refusal = Translated(r.refusal.message);
            if (!r.refusal.reason.empty()) refusal += " (" + TranslatedReason(r.refusal.reason) + ")";
        }
        pairs.push_back({r.name, r.report ? &*r.report : nullptr, refusal});
    }
    std::vector<std::string> warnings;
    for (const Note& n : setNotes) warnings.push_back(CurrentLanguage() == Lang::Fr ? n.fr : n.en);
    return PairsReport(pairs, a, warnings, options);
}

}  // namespace

Result<std::vector<FilePair>> ReadPairList(const std::filesystem::path& list)
{
    std::ifstream in(list, std::ios::binary);
    if (!in) return Status::Fail(StatusCode::NotFound, "Liste de paires illisible", list.string());
    std::vector<FilePair> pairs;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos || line[line.find_first_not_of(" \t")] == '#')
            continue;
        const auto names = SplitNames(line);
        if (names.size() != 2)
            return Status::Fail(
                StatusCode::BadFormat,
                "Liste de paires illisible",
                list.string() + " line " + std::to_string(number) + ": two file names expected");
        const auto at = [&](const std::string& name) {
            const std::filesystem::path p(name);
            return p.is_absolute() ? p : list.parent_path() / p;
        };
        pairs.emplace_back(at(names[0]), at(names[1]));
    }
    if (pairs.empty())
        return Status::Fail(StatusCode::BadFormat, "Liste de paires illisible", list.string() + ": no pair");
    return pairs;
}

int RunAnalysePairs(const PairsRequest& request, std::ostream& out, std::ostream& err)
{
    std::vector<PairRun> runs;
    std::vector<PairCoefficients> coefficients;
    std::vector<std::size_t> analysed;
    for (const FilePair& files : request.pairs) {
        // The folder tells apart pairs whose files have the same names.
        const auto label = [](const std::filesystem::path& p) {
            return (p.parent_path().filename() / p.filename()).string();
        };
        runs.push_back({files, label(files.first) + " / " + label(files.second), {}, {}, {}, {}});
    }
    // The pairs are analysed side by side, each on its own data; their warnings and refusals are
    // kept and written in the order of the pairs.
    std::vector<std::string> messages(runs.size());
    std::mutex progress;
    ParallelFor(static_cast<int>(runs.size()), [&](int i) {
        PairRun& run = runs[i];
        {
            std::lock_guard lock(progress);
            Progress(Tr("Paire ", "Pair ") + std::to_string(i + 1) + Tr(" : ", ": ") + run.name);
        }
        AnalysisOptions options = request.analysis;
        options.intra = run.files.first;
        options.extra = run.files.second;
        options.derivedImages = false;
        options.progress = nullptr;
        auto result = RunAnalysis(options);
        std::ostringstream lines;
        if (result.ok()) {
            run.report = result.take();
            for (const auto& w : RunWarnings(*run.report))
                lines << "frontlys-cli: " << run.name << ": " << Tr("attention : ", "warning: ") << w << "\n";
            run.checks = run.report->session->Warnings;
            run.resultJson = JsonText(*run.report, options, {});
            run.report->session.reset();  // only the numbers are kept: one pair's images at a time
        } else {
            run.refusal = result.status();
            PrintRefusal(lines, "analyse", run.refusal);
        }
        messages[i] = lines.str();
    });
    for (const std::string& m : messages) err << m;
    // The average is over the pairs analysed; the flags are mapped back onto every pair.
    for (std::size_t i = 0; i < runs.size(); ++i)
        if (runs[i].report) {
            coefficients.push_back(
                {runs[i].name, runs[i].report->zernikeRmsNm, runs[i].report->zernikeSigmaNm});
            analysed.push_back(i);
        }
    const std::vector<Note> setNotes = CheckPairSet(runs);
    for (const Note& n : setNotes)
        err << "frontlys-cli: " << Tr("attention : ", "warning: ")
            << (CurrentLanguage() == Lang::Fr ? n.fr : n.en) << "\n";
    if (coefficients.empty()) return 2;
    const PairAverage some = AveragePairs(coefficients);
    PairAverage a = some;
    a.rejected.assign(runs.size(), true);
    a.deviation.assign(runs.size(), std::nan(""));
    for (std::size_t j = 0; j < analysed.size(); ++j) {
        a.rejected[analysed[j]] = some.rejected[j];
        a.deviation[analysed[j]] = some.deviation[j];
        if (some.rejected[j])
            err << "frontlys-cli: "
                << Tr("paire écartée (loin de la médiane des termes 5 à 22) : ",
                      "pair set aside (far from the median of terms 5 to 22): ")
                << runs[analysed[j]].name << "\n";
    }
    const int terms = static_cast<int>(a.meanRmsNm.size());
    const std::string json =
        PairsJson(runs, a, setNotes).dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    if (request.outDir) {
        std::optional<ReportContent> report;
        if (request.report) report = ReportOfPairs(runs, a, setNotes, *request.report);
        if (Status s = WriteSet(*request.outDir, Csv(runs, a, terms), json, report ? &*report : nullptr);
            !s.ok()) {
            PrintRefusal(err, "analyse", s);
            return 2;
        }
    }
    out << (request.json ? json : Text(runs, a, terms)) << std::flush;
    // A run that left a pair out says so in its status, for scripts.
    return analysed.size() < runs.size() ? kSomePairsRefused : 0;
}

void AddPairOptions(CLI::App& command, PairOptions& options)
{
    command.add_option(
        "--pair", options.pairs, "An intra-focal and an extra-focal image; repeat for several pairs");
    command.add_option("--pairs", options.list, "A text file of pairs, \"INTRA EXTRA\" on each line");
    command
        .add_option(
            "--crop", options.crop, "auto: cut frames far larger than their donut around it (default); none")
        ->check(CLI::IsMember({"auto", "none"}));
}

std::optional<int> RunPairOptions(const PairOptions& options, AnalyseRequest& request)
{
    request.analysis.crop = options.crop != "none";
    if (options.pairs.empty() && options.list.empty()) {
        if (!request.analysis.intra.empty() && !request.analysis.extra.empty()) return std::nullopt;
        PrintRefusal(
            std::cerr,
            "analyse",
            Status::Fail(
                StatusCode::MissingInput, "Paramètre invalide", "give INTRA EXTRA, --pair or --pairs"));
        return 2;
    }
    if (request.report && !request.outDir) {
        PrintRefusal(std::cerr,
                     "analyse",
                     Status::Fail(StatusCode::MissingInput,
                                  "Paramètre invalide",
                                  Tr("--report demande --out", "--report needs --out")));
        return 2;
    }
    PairsRequest pairs{request.analysis, {}, request.outDir, request.json, request.report};
    if (!request.analysis.intra.empty())
        pairs.pairs.emplace_back(request.analysis.intra, request.analysis.extra);
    for (const auto& [intra, extra] : options.pairs) pairs.pairs.emplace_back(intra, extra);
    if (!options.list.empty()) {
        auto listed = ReadPairList(options.list);
        if (!listed.ok()) {
            PrintRefusal(std::cerr, "analyse", listed.status());
            return 2;
        }
        for (auto& p : listed.take()) pairs.pairs.push_back(std::move(p));
    }
    return RunAnalysePairs(pairs, std::cout, std::cerr);
}

}  // namespace frontlys::cli
