#pragma once
// The MTF and the encircled energy of an analysed test as pictures: the measured curve with the
// diffraction limit of the same pupil beside it, frequencies in cycles per millimetre at the focus
// and radii in micrometres and arc seconds.

#include <QImage>

#include "analysis/run_analysis.h"
#include "cli/output_set.h"
#include "core/status.h"
#include "engine/mtf.h"

namespace frontlys::cli {

// From the displayed wavefront (piston, tilts and defocus removed) at the analysis wavelength.
Result<OpticalTransfer> TransferOf(const AnalysisReport& report);

// Titles in the run's language; `source` names the test (its intra file).
QImage MtfPicture(const OpticalTransfer& transfer,
                  const AnalysisReport& report,
                  const std::string& source,
                  QSize size = {640, 420});
QImage EncircledEnergyPicture(const OpticalTransfer& transfer,
                              const AnalysisReport& report,
                              const std::string& source,
                              QSize size = {640, 420});

// mtf.png and encircled_energy.png into the staged set, when the test has a wavefront.
[[nodiscard]] Status WriteTransferPictures(const AnalysisReport& report,
                                           const std::string& source,
                                           const OutputSet& set);

// Micrometres at the focus per lambda / D; 0 without focal length or diameter.
double MicronsPerLambdaOverD(const AnalysisReport& report);

}  // namespace frontlys::cli
