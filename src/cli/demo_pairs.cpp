#include "cli/demo_pairs.h"

#include <array>
#include <cmath>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/analyse_pairs.h"
#include "cli/language.h"
#include "core/numbers.h"
#include "engine/zernike.h"
#include "simulation/demo_setup.h"
#include "simulation/simulation_files.h"
#include "simulation/star_simulator.h"

namespace frontlys::cli {
namespace {

struct Night {
    double seeingArcsec;
    double photons;
};
// A steady moment, an average one and a poor one, with less light as the star sinks.
constexpr std::array<Night, 3> kNights{{{1.0, 1e8}, {1.8, 3e7}, {2.8, 1e7}}};

}  // namespace

int RunDemoPairs(const std::filesystem::path& folder, std::ostream& out, std::ostream& err)
{
    const SimulationParams truth = DemoParams();
    PairsRequest request;
    request.analysis.derivedImages = false;
    request.json = true;
    out << "\n" << Tr("Trois paires à la suite (seeing ", "Three pairs in a row (seeing ");
    for (std::size_t i = 0; i < kNights.size(); ++i) {
        SimulationParams p = truth;
        p.seeingArcsec = kNights[i].seeingArcsec;
        p.photons = kNights[i].photons;
        p.seed = truth.seed + 1 + i;
        out << (i ? ", " : "") << FormatGeneral(p.seeingArcsec) << "\"";
        auto pair = SimulatePair(p);
        const auto dir = folder / ("pair" + std::to_string(i + 1));
        if (!pair.ok()) {
            PrintRefusal(err, "demo", pair.status());
            return 2;
        }
        const ScopedDecimalSeparator keep(
            DecimalSeparator());  // the truth file's writer leaves "," behind it
        if (Status s = WriteSimulationFiles(
                dir, p, pair.value(), {"2026-01-01T00:00:00", "2026-01-01T00:00:30", 10});
            !s.ok()) {
            PrintRefusal(err, "demo", s);
            return 2;
        }
        request.pairs.emplace_back(SimulationFileNames(dir).intra, SimulationFileNames(dir).extra);
    }
    out << ")\n";
    std::ostringstream json;
    if (int rc = RunAnalysePairs(request, json, err); rc != 0) return rc;
    const auto j = nlohmann::json::parse(json.str());
    out << Tr("Moyenne sur ", "Mean over ") << j["kept"].get<int>() << Tr(" paires gardées", " pairs kept")
        << Tr(", avec l'erreur de la moyenne :\n", ", with the standard error of the mean:\n") << " k  "
        << std::left << std::setw(22) << Tr("terme", "term") << std::right << std::setw(9)
        << Tr("vrai", "true") << std::setw(9) << Tr("moyenne", "mean") << std::setw(9)
        << Tr("erreur", "error") << "   (nm RMS)\n";
    const auto number = [&](const nlohmann::json& v) {
        return v.is_number() ? FormatFixed(v.get<double>(), 2) : "-";
    };
    for (int k : {5, 6, 7, 11}) {
        out << std::setw(2) << k << "  " << std::left << std::setw(22) << ZernikeName(k) << std::right
            << std::setw(9) << FormatFixed(truth.zernikeRmsNm[k - 1], 2) << std::setw(9)
            << number(j["mean_rms_nm"][k - 1]) << std::setw(9) << number(j["sem_rms_nm"][k - 1]) << "\n";
    }
    return 0;
}

}  // namespace frontlys::cli
