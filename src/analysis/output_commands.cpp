#include "analysis/output_commands.h"

#include <algorithm>
#include <vector>

#include "files/result_files.h"

namespace frontlys {
namespace {

CommandOutcome Written(const Status& s)
{
    if (!s.ok()) return Refused(s.code, s.message, s.reason, MessageStyle::Box);
    CommandOutcome outcome;
    outcome.ran = true;
    return outcome;
}

}  // namespace

CommandOutcome SaveCoefficients(TestSession& session, const std::optional<std::string>& chosen)
{
    if (!chosen) return {};
    const int count = std::min<int>(session.Prefs.NPolyZern, kZernikeTerms);
    // The norms depend on the term alone, so a basis of the file's count converts every line.
    const ZernikeCoefficients rms = CoefToRms(ZernikeBasis::ForCount(count), session.CoefFront);
    std::vector<std::string> names;
    for (int k = 1; k <= count; ++k) names.emplace_back(ZernikeName(k));
    const std::vector<double> values(rms.begin(), rms.begin() + count);
    return Written(WriteCoefficientFile(*chosen, names, values));
}

CommandOutcome ExportWavefront(TestSession& session, const std::optional<std::string>& chosen)
{
    session.NomDernierExport = chosen.value_or("");
    if (!chosen || !session.ImageFront) return {};
    return Written(WriteOpdFile(EnsureExtension(*chosen, kOpdExtension), session.ImageFront.get()));
}

}  // namespace frontlys
