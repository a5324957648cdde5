#include "analysis/test_params.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/numbers.h"
#include "engine/beam_geometry.h"

namespace frontlys {
namespace {

constexpr double kNmPerMm = 1'000'000.0;
constexpr double kRadiusNmPerDiameterMm = 500'000.0;
constexpr double kNmPerUm = 1000.0;

Status NotANumber(std::string_view text)
{
    return Status::Fail(StatusCode::BadFormat,
                        "'" + std::string(text) + "' " + std::string(kNotANumberMessage),
                        "not a number: '" + std::string(text) + "'");
}

void StoreInstrument(TTestParams& params, const ParamsEntry& entry)
{
    params.Focal = static_cast<double>(entry.FocalMm) * kNmPerMm;
    params.ApertureRadius = static_cast<double>(entry.DiameterMm) * kRadiusNmPerDiameterMm;
}

// Binnings multiply as they are: values above 255 are real binnings, not bytes.
double Binning(const ParamsEntry& entry)
{
    return static_cast<double>(entry.SoftwareBinning) * static_cast<double>(entry.AcquisitionBinning);
}

// Whole units, minutes and seconds of a sexagesimal value, rounded once at the millisecond so that
// 59.9996 s carries into the next minute instead of showing "60.000".
std::string Sexagesimal(double value, const char* unit, const char* minute, const char* second)
{
    if (!std::isfinite(value)) return {};
    const std::int64_t ms = RoundToInt(std::fabs(value) * 3'600'000.0);
    const std::int64_t whole = ms / 3'600'000;
    const std::int64_t minutes = (ms / 60'000) % 60;
    const double seconds = static_cast<double>(ms % 60'000) / 1000.0;
    const std::string sign = (value < 0 && ms > 0) ? "-" : "";
    return sign + std::to_string(whole) + unit + std::to_string(minutes) + minute +
           FormatFloat("0.000", seconds) + second;
}

}  // namespace

ParamsEntry EntryFromParams(const TTestParams& params, double headerPixelSizeUm, std::int64_t headerBinX)
{
    ParamsEntry entry;
    entry.DiameterMm = RoundToInt(params.ApertureRadius / kRadiusNmPerDiameterMm);
    entry.FocalMm = RoundToInt(params.Focal / kNmPerMm);
    entry.PixelSizeUm = FormatFloat("0.00", headerPixelSizeUm);
    entry.AcquisitionBinning = headerBinX != 0 ? headerBinX : 1;
    entry.SoftwareBinning = 1;
    entry.DefocusMm = DefocusText(params);
    entry.VaneCount = params.VaneCount;
    if (params.VaneWidth > 0) entry.VaneWidthMm = FormatGeneral(params.VaneWidth / kNmPerMm);
    if (params.VaneAngle != 0) entry.VaneAngleDeg = FormatGeneral(params.VaneAngle);
    return entry;
}

std::string RadiusText(double radiusPx) { return FormatFloat("0.00", radiusPx); }

std::string DefocusText(const TTestParams& params) { return FormatFloat("0.000", params.Defocus / kNmPerMm); }

double RadiusNm(std::int64_t softwareBinning,
                std::int64_t acquisitionBinning,
                double radiusPx,
                double pixelSizeUm)
{
    return static_cast<double>(softwareBinning) * static_cast<double>(acquisitionBinning) * radiusPx *
           pixelSizeUm * kNmPerUm;
}

std::optional<double> DefocusPerPixel(double binnedPixelNm, double focalNm, double apertureRadiusNm)
{
    const double radiusPerDefocus = DonutRadiusPerDefocus(focalNm, apertureRadiusNm);
    if (!(radiusPerDefocus > 0)) return std::nullopt;
    return binnedPixelNm / radiusPerDefocus;
}

Result<TTestParams> ComputeDefocus(const TTestParams& current,
                                   const ParamsEntry& entry,
                                   const TImageRec* intra,
                                   const TImageRec* extra)
{
    const std::optional<double> pixelUm = ParseNumber(entry.PixelSizeUm);
    if (!pixelUm) return NotANumber(entry.PixelSizeUm);
    TTestParams params = current;
    StoreInstrument(params, entry);
    const std::optional<double> k =
        DefocusPerPixel(Binning(entry) * *pixelUm * kNmPerUm, params.Focal, params.ApertureRadius);
    if (k && intra && extra) params.Defocus = (intra->Radius + extra->Radius) * *k / 2;
    return params;
}

Status CheckObstruction(double obstruction)
{
    if (obstruction >= 0 && obstruction < kMaxObstruction) return Status::Ok();
    return Status::Fail(
        StatusCode::OutOfRange, std::string(kObstructionMessage), "the obstruction must be 0 to 0.95");
}

Status CheckTestParams(const TTestParams& p)
{
    if (p.Focal == 0 || p.ApertureRadius == 0 || p.Defocus == 0)
        return Status::Fail(StatusCode::MissingInput,
                            std::string(kParamsMissingMessage),
                            "focal length, diameter or defocus is 0");
    if (!(std::isfinite(p.Focal) && p.Focal > 0 && std::isfinite(p.ApertureRadius) && p.ApertureRadius > 0))
        return Status::Fail(StatusCode::OutOfRange,
                            std::string(kParamsMissingMessage),
                            "the focal length and the diameter must be positive");
    if (!(std::isfinite(p.Defocus) && p.Defocus > 0))
        return Status::Fail(
            StatusCode::OutOfRange, std::string(kDefocusNegativeMessage), "the defocus must be positive");
    if (p.Defocus >= p.Focal)
        return Status::Fail(StatusCode::OutOfRange,
                            std::string(kDefocusTooLongMessage),
                            "the defocus must be shorter than the focal length");
    if (Status s = CheckObstruction(p.Obstruction); !s.ok()) return s;
    return CheckVanes(p);
}

Status CheckVanes(const TTestParams& p)
{
    const bool ok = p.VaneCount >= kVanesMeasured && p.VaneCount <= kMaxVanes && std::isfinite(p.VaneWidth) &&
                    p.VaneWidth >= 0 && std::isfinite(p.VaneAngle) &&
                    (p.VaneWidth == 0 || p.VaneWidth < p.ApertureRadius);
    if (ok) return Status::Ok();
    return Status::Fail(StatusCode::OutOfRange,
                        std::string(kVanesMessage),
                        "measured, or 0 to 16 vanes, each narrower than the aperture radius");
}

SpiderVanes VanesOf(const TTestParams& p)
{
    if (p.VaneCount <= 0 || !(p.VaneWidth > 0) || !(p.ApertureRadius > 0)) return {};
    return {p.VaneCount, p.VaneWidth / p.ApertureRadius, p.VaneAngle};
}

Status ReadVanes(const ParamsEntry& entry, TTestParams& params)
{
    // The vanes' boxes may stay empty: no vanes, or vanes along +x.
    const auto optionalNumber = [](const std::string& text) -> std::optional<double> {
        if (text.find_first_not_of(" \t") == std::string::npos) return 0.0;
        return ParseNumber(text);
    };
    const std::optional<double> widthMm = optionalNumber(entry.VaneWidthMm);
    if (!widthMm) return NotANumber(entry.VaneWidthMm);
    const std::optional<double> angle = optionalNumber(entry.VaneAngleDeg);
    if (!angle) return NotANumber(entry.VaneAngleDeg);
    params.VaneCount = static_cast<int>(std::clamp<std::int64_t>(entry.VaneCount, -2, kMaxVanes + 1));
    params.VaneWidth = *widthMm * kNmPerMm;
    params.VaneAngle = *angle;
    return Status::Ok();
}

Result<TTestParams> AcceptParams(const ParamsEntry& entry)
{
    const std::optional<double> defocusMm = ParseNumber(entry.DefocusMm);
    if (!defocusMm) return NotANumber(entry.DefocusMm);
    std::optional<double> percent = 0.0;
    if (entry.ObstructionPercent.find_first_not_of(" \t") != std::string::npos)
        percent = ParseNumber(entry.ObstructionPercent);
    if (!percent) return NotANumber(entry.ObstructionPercent);
    TTestParams params;
    if (Status s = ReadVanes(entry, params); !s.ok()) return s;
    StoreInstrument(params, entry);
    params.Defocus = *defocusMm * kNmPerMm;
    params.Obstruction = *percent / 100.0;
    if (Status s = CheckTestParams(params); !s.ok()) return s;
    return params;
}

void StoreRadiiNm(const ParamsEntry& entry, TImageRec* intra, TImageRec* extra)
{
    const double pixelUm = NumberOrZero(entry.PixelSizeUm);
    for (TImageRec* image : {intra, extra})
        if (image)
            image->RadiusNm =
                RadiusNm(entry.SoftwareBinning, entry.AcquisitionBinning, image->Radius, pixelUm);
}

std::string DatePart(std::string_view dateObs)
{
    const auto t = dateObs.find('T');
    return t == std::string_view::npos ? std::string() : std::string(dateObs.substr(0, t));
}

std::string TimePart(std::string_view dateObs)
{
    const auto t = dateObs.find('T');
    return std::string(t == std::string_view::npos ? dateObs : dateObs.substr(t + 1));
}

std::string FormatRightAscension(double hours) { return Sexagesimal(hours, "h ", "m ", "s"); }

std::string FormatDeclination(double degrees) { return Sexagesimal(degrees, "° ", "' ", "\""); }

}  // namespace frontlys
