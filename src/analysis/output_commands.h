#pragma once
// "&Fichier" output commands: the coefficient file and the export of the displayed wavefront to the
// OPD format. The driver runs the save dialog first and passes the chosen name (nothing when the
// dialog was cancelled). A write error is reported with its reason; the previous file stays intact.

#include <optional>
#include <string>

#include "analysis/commands.h"
#include "analysis/test_session.h"

namespace frontlys {

inline constexpr const char* kOpdExtension = ".opd";

// "Enregistrer les coefficients": CoefFront (zeros before any fit) as RMS values of the first
// NPolyZern terms, written to the chosen name as it is (no extension added).
CommandOutcome SaveCoefficients(TestSession& session, const std::optional<std::string>& chosen);

// "Exporter le front vers Quorvex": NomDernierExport takes the chosen name (empty when cancelled);
// the displayed wavefront is written to that name with ".opd" ensured. Without a wavefront nothing
// is written.
CommandOutcome ExportWavefront(TestSession& session, const std::optional<std::string>& chosen);

}  // namespace frontlys
