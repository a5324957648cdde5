#pragma once
// The whole analysis of a test as a user runs it in the main window, without windows: open both
// images (the extra-focal one turned by 180 degrees, focal length and diameter from the intra
// header), extract both pupils, co-centre them, optionally bring them to the same size, compute the
// signal, enter the test parameters, reconstruct and fit the wavefront, then derive the PSF, the
// interferogram and the Ronchigram. The command-line tool, the demo and the accuracy tests use it.
//
// Units at this boundary are the dialog's: millimetres for diameter, focal length and defocus,
// micrometres for the pixel size, nanometres for wavelengths and wavefront values. Unset options take
// the FITS header (diameter, focal length, pixel size, acquisition binning) or the preferences
// (NIter, NPolyZern, LambdaRef). The defocus, when not given, is computed from the two pupil radii
// as the dialog's distance button does.

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/compensated_summary.h"
#include "core/status.h"

namespace frontlys {

struct TestSession;

// One line of progress for long steps ("Reconstruction du front d'onde..."), for the caller to show.
using ProgressFn = std::function<void(std::string_view step)>;

struct AnalysisOptions {
    std::filesystem::path intra;
    std::filesystem::path extra;
    std::optional<double> diameterMm;  // overrides the header's DIAMETER
    std::optional<double> focalMm;     // overrides the header's focal length
    std::optional<double> pixelUm;     // default: the intra header's pixel size
    std::optional<int> binning;        // acquisition binning; default: the intra header's BinX (0 -> 1)
    int softwareBinning = 1;
    std::optional<double> defocusMm;  // nullopt: computed from the pupil radii
    std::optional<int> niter;         // default: preference NIter
    std::optional<int> npoly;         // default: preference NPolyZern
    std::optional<double> lambdaNm;   // default: preference LambdaRef
    bool resize = false;              // "Redimensionner" after co-centring
    bool crop = true;                 // frames far larger than their donut are cut around it while loading
    std::optional<std::filesystem::path> prefsFile;  // a prefs.txt to start from
    bool derivedImages = true;                       // PSF, interferogram and Ronchigram after the fit
    std::optional<bool> analytic;                    // default: preference CorrectionAnalytique
    int refineRounds = 4;                            // forward-model rounds of the compensated analysis
    std::optional<double> stopNm;                    // default: preference ArretRMSFront
    std::optional<int> maxPasses;                    // default: preference NPassesMax
    std::optional<double> obstruction;               // known central obstruction; default: measured
    int vanes = 0;            // spider vanes (none by default; kVanesMeasured: measured from the images)
    double vaneWidthMm = 0;   // full width of one vane
    double vaneAngleDeg = 0;  // direction of the first, from +x towards +y
    int bootstrap = 0;        // noisy copies of the parametric bootstrap (analytic correction); 0: none
    std::optional<bool> trustDefocus;  // default: preference DefocusImpose
    ProgressFn progress;
};

struct AnalysisReport {
    // The parameters actually used.
    double diameterMm = 0;
    double focalMm = 0;
    double pixelUm = 0;
    int binning = 1;
    int softwareBinning = 1;
    double defocusMm = 0;
    bool defocusComputed = false;
    int niter = 1;
    int npoly = 22;
    double lambdaNm = 555;

    // Pupil geometry measured at extraction: radii in pixels of the analysed (binned) frame, centres
    // as 1-based positions in each file's own frame.
    double radiusIntraPx = 0;
    double radiusExtraPx = 0;
    std::array<double, 2> centreIntra{};  // x (column), y (row)
    std::array<double, 2> centreExtra{};
    double obstruction = 0;  // of the wavefront, fraction of the radius
    int vanes = 0;           // the spider vanes of the pupil model
    double vaneWidthMm = 0, vaneAngleDeg = 0;

    // Results.
    double ptvNm = 0;
    double rmsNm = 0;
    double strehl = 0;
    std::string ptvText, ptvWaves, rmsText, rmsWaves, strehlText;
    std::array<double, 28> zernikeNm{};  // fitted coefficients, term 1 first
    std::vector<double> zernikeRmsNm;    // RMS contribution of the first npoly terms
    std::vector<double> zernikeSigmaNm;  // their 1-sigma from the pair's noise; empty: none
    double rmsSigmaNm = 0;               // of rmsNm (0 without bars)
    double strehlSigma = 0;
    std::vector<std::string> coefficientLines;  // "Zk = v.vv" with the "  (!)" alerts
    std::vector<std::string> termNames;         // names of the first npoly terms
    double seconds = 0;
    std::vector<std::string> warnings;   // what was ignored on the way (a prefs line, a rejected key)
    std::string correction = "numeric";  // "analytic": the compensated analysis, with `compensated`
    std::optional<CompensatedSummary> compensated;

    // The final state, for pictures and files.
    std::shared_ptr<TestSession> session;
};

// Refused, with the French message and a reason, for an unreadable file, images of different sizes,
// no pupil found in either image, missing test parameters or a zero defocus.
Result<AnalysisReport> RunAnalysis(const AnalysisOptions& options);

}  // namespace frontlys
