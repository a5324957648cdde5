#include "analysis/results.h"

#include <cmath>
#include <numbers>

#include "core/numbers.h"

namespace frontlys {
namespace {

constexpr double kNegligible = 1e-300;

}  // namespace

std::string WavesText(double valueNm, double lambdaNm)
{
    if (!(valueNm > kNegligible) || !(lambdaNm > 0)) return {};
    const double r = lambdaNm / valueNm;
    if (r > 1) return "Lambda/" + FormatFloat("0.0", r);
    return FormatFloat("0.0", 1 / r) + " lambda";
}

double StrehlRatio(double rmsNm, double lambdaNm)
{
    const double phase = 2 * std::numbers::pi * rmsNm / lambdaNm;
    return std::exp(-phase * phase);
}

WaveError ShowResults(TImageRec* wavefront, double lambdaNm)
{
    WaveError e;
    if (!wavefront) return e;
    MeanStdInMask(*wavefront);
    MinMaxInMask(*wavefront);
    e.valid = true;
    e.ptvNm = wavefront->Range;
    e.rmsNm = wavefront->StdDev;
    e.ptvText = FormatFloat("0.0", e.ptvNm) + " nm";
    e.rmsText = FormatFloat("0.0", e.rmsNm) + " nm";
    if (e.ptvNm > kNegligible) {
        e.ptvWaves = WavesText(e.ptvNm, lambdaNm);
        e.rmsWaves = WavesText(e.rmsNm, lambdaNm);
    }
    if (lambdaNm > 0) {
        e.strehl = StrehlRatio(e.rmsNm, lambdaNm);
        e.strehlText = FormatFloat("0.000", e.strehl);
    }
    return e;
}

std::string CoefficientValueLine(int term, double rmsNm, double sigmaNm)
{
    std::string line = "Z" + std::to_string(term) + " = " + FormatFloat("0.00", rmsNm);
    if (sigmaNm > 0) line += " ± " + FormatFloat("0.00", sigmaNm);
    // A term of -30 nm is as large as one of +30; piston, tilts and defocus are not aberrations of
    // the optics (the tilts are not even measured).
    if (term >= kFirstAlertedTerm && std::abs(rmsNm) >= kCoefficientAlertNm) line += "  (!)";
    return line;
}

CoefficientList ShowCoefficientList(const ZernikeBasis& basis,
                                    const ZernikeCoefficients& coefficients,
                                    const ZernikeSelection& selection,
                                    bool higherOrders,
                                    const ZernikeCoefficients* sigmaRmsNm)
{
    const ZernikeCoefficients rms = CoefToRms(basis, coefficients);
    CoefficientList list;
    for (int k = 1; k <= basis.Count(); ++k) {
        const bool lowOrder = k <= 4;  // piston, the two tilts and defocus are never offered
        list.items.push_back({std::string(ZernikeName(k)), !lowOrder && selection[k - 1] == 1, !lowOrder});
        list.values.push_back(CoefficientValueLine(k, rms[k - 1], sigmaRmsNm ? (*sigmaRmsNm)[k - 1] : 0));
    }
    list.items.push_back({kHigherOrdersItem, higherOrders, true});
    list.values.push_back(kCoefficientUnitLine);
    return list;
}

void RebuildDisplayedFront(const TImageRec* raw,
                           TImageRec* displayed,
                           const ZernikeBasis& basis,
                           const ZernikeCoefficients& coefficients,
                           const ZernikeSelection& selection,
                           bool higherOrders)
{
    if (!raw || !displayed || raw == displayed) return;
    if (raw->Width != displayed->Width || raw->Height != displayed->Height ||
        raw->PlaneCount != displayed->PlaneCount)
        return;
    CopyImage(raw, displayed);
    if (higherOrders)
        AddZernikeTerms(*displayed, basis, coefficients, selection, -1);
    else
        SynthesiseWavefront(*displayed, basis, coefficients, selection);
    MinMaxInMask(*displayed);
    MeanStdInMask(*displayed);
    CopyMask(*raw, *displayed);
}

}  // namespace frontlys
