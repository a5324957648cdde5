#pragma once
// What the information window shows of a wavefront, computed without any window: the wave-front
// error (PTV, RMS, their texts in nanometres and in waves, the Strehl ratio), the coefficient list
// with its alerts, and the displayed wavefront rebuilt from a selection of terms.
//
// Conventions: wavefront values and wavelengths are in nanometres; PTV and RMS are taken over the
// pixels of mask 1. Texts use the decimal separator in force.

#include <string>
#include <vector>

#include "core/image_rec.h"
#include "engine/zernike.h"

namespace frontlys {

// A term from Z5 on whose RMS contribution reaches this magnitude (nm) is flagged "  (!)".
inline constexpr double kCoefficientAlertNm = 20.0;
inline constexpr int kFirstAlertedTerm = 5;
inline constexpr const char* kHigherOrdersItem = "Ordres sup.";
inline constexpr const char* kCoefficientUnitLine = "[nanomètre RMS]";

struct WaveError {
    bool valid = false;  // false: no wavefront, every text is empty
    double ptvNm = 0;
    double rmsNm = 0;
    double strehl = 0;
    std::string ptvText;     // "158.2 nm"
    std::string rmsText;     // "31.6 nm"
    std::string ptvWaves;    // "Lambda/4.0" or "2.0 lambda"; empty when PTV <= 1e-300
    std::string rmsWaves;    // same rule; empty also when the RMS itself is <= 1e-300
    std::string strehlText;  // "0.906"
};

// Refreshes the in-mask statistics of the wavefront (MinMaxInMask, MeanStdInMask) and gives the
// wave-front error at the wavelength lambdaNm. Null wavefront: an invalid, empty result. A
// wavelength that is not positive gives the nanometre texts only.
WaveError ShowResults(TImageRec* wavefront, double lambdaNm);

// "Lambda/4.0" when lambda / value > 1, otherwise "2.0 lambda"; empty for value <= 1e-300 or a
// wavelength that is not positive.
std::string WavesText(double valueNm, double lambdaNm);
// exp(-(2 pi rms / lambda)^2), the Marechal approximation of the Strehl ratio.
double StrehlRatio(double rmsNm, double lambdaNm);

struct CoefficientItem {
    std::string name;
    bool checked = false;
    bool enabled = true;
};

// The two lists of the information window: the check list (one item per term, then "Ordres sup.")
// and the value list (one "Zk = v.vv" line per term, then the unit line).
struct CoefficientList {
    std::vector<CoefficientItem> items;
    std::vector<std::string> values;
};

// "Z5 = 12.34", or "Z5 = -25.00  (!)" when |value| reaches the alert value (never for Z1 to Z4); with
// a 1-sigma above 0, "Z5 = 12.34 ± 0.05".
std::string CoefficientValueLine(int term, double rmsNm, double sigmaNm = 0);
// The lists for the first basis.Count() terms: names, checked from the selection (terms 1 to 4 are
// disabled and unchecked), values as RMS contributions of the coefficients, with their 1-sigma
// (nm RMS) when `sigmaRmsNm` is given.
CoefficientList ShowCoefficientList(const ZernikeBasis& basis,
                                    const ZernikeCoefficients& coefficients,
                                    const ZernikeSelection& selection,
                                    bool higherOrders,
                                    const ZernikeCoefficients* sigmaRmsNm = nullptr);

// The displayed wavefront from the raw one: with higherOrders, the raw wavefront less the
// deselected terms; otherwise only the sum of the selected terms inside the pupil. The mask of the
// raw wavefront is kept and the in-mask statistics refreshed. Does nothing when either image is
// missing or their sizes differ.
void RebuildDisplayedFront(const TImageRec* raw,
                           TImageRec* displayed,
                           const ZernikeBasis& basis,
                           const ZernikeCoefficients& coefficients,
                           const ZernikeSelection& selection,
                           bool higherOrders);

}  // namespace frontlys
