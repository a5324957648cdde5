#pragma once
// The geometry of a test and the rules of its entry dialog, as free functions over plain records.
//
// Conventions: inside the program every length is in nanometres (TTestParams, RadiusNm). The dialog
// shows whole millimetres for the diameter and the focal length, millimetres with decimals for the
// defocus and micrometres for the pixel size; it converts on entry (mm x 1 000 000, and the diameter in
// mm x 500 000 gives the aperture radius). Radii of pupil images are in pixels (TImageRec::Radius).
// Texts typed by the user are read with "." or "," as the decimal separator; texts shown are written
// with the separator in force. An absent image is a null pointer and simply takes no part.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/image_rec.h"
#include "core/status.h"
#include "engine/pupil_transmission.h"

namespace frontlys {

struct TTestParams {
    double Focal = 0;           // focal length F, nm
    double ApertureRadius = 0;  // half the aperture diameter R, nm
    double Defocus = 0;         // defocus distance l of the star images, nm
    double Obstruction = 0;     // known central obstruction, fraction of the radius; 0: measured
    // Spider vanes holding the secondary mirror (none by default): how many, the full width of one
    // (nm) and the direction of the first (degrees from +x towards +y, the pupil as the intra-focal
    // image shows it).
    // kVanesMeasured: measured from the images (the width and the angle are then not used).
    int VaneCount = 0;
    double VaneWidth = 0;
    double VaneAngle = 0;
    // The defocus came from the pupil radii (the distance button), not from the user: the
    // compensated analysis measures it again from the compensated pupil, as frontlys-cli does
    // without --defocus, so both give the same coefficients.
    bool DefocusMesure = false;

    bool operator==(const TTestParams&) const = default;
};

// The values of the dialog before "OK" or "Annuler": cancelling copies them back.
using SavedParams = TTestParams;

// What the dialog holds, as typed. Spin boxes are whole numbers; the two edit boxes are free text.
struct ParamsEntry {
    std::int64_t DiameterMm = 0;          // "Diamètre (mm) : "
    std::int64_t FocalMm = 0;             // "Distance focale (mm) :"
    std::string PixelSizeUm;              // "Taille pixels CCD (um):"
    std::int64_t AcquisitionBinning = 1;  // "Binning acquisition :"
    std::int64_t SoftwareBinning = 1;     // "Binning logiciel :"
    std::string DefocusMm;                // "Défocalisation (mm) :"
    std::string ObstructionPercent;       // "Obstruction centrale (%) :", empty: measured
    std::int64_t VaneCount = 0;           // "Branches de l'araignée :"
    std::string VaneWidthMm;              // "Largeur des branches (mm) :", empty: 0
    std::string VaneAngleDeg;             // "Angle de la première branche (°) :", empty: 0
};

inline constexpr std::string_view kParamsMissingMessage = "Tous les paramètres n'ont pas été saisis.";
inline constexpr std::string_view kNotANumberMessage = "n'est pas une valeur numérique correcte.";
inline constexpr std::string_view kDefocusNegativeMessage =
    "La défocalisation doit être positive : c'est la distance de chaque image au foyer.";
inline constexpr std::string_view kDefocusTooLongMessage =
    "La défocalisation doit être plus courte que la distance focale.";
inline constexpr std::string_view kObstructionMessage =
    "L'obstruction centrale doit être comprise entre 0 et 95 % du diamètre.";
inline constexpr std::string_view kVanesMessage =
    "L'araignée compte de 0 à 16 branches, chacune plus étroite que le rayon de l'ouverture.";

// The largest known central obstruction the analyses accept (fraction of the radius, excluded).
inline constexpr double kMaxObstruction = 0.95;

// The rules of the test parameters, the same wherever they are entered (the dialog, the options
// of the command-line tool) and checked again before a wavefront is computed: focal length,
// aperture radius and defocus not 0 (kParamsMissingMessage, MissingInput), focal length and aperture
// positive and finite, the defocus positive (a negative one would turn the wavefront over) and
// shorter than the focal length, the known obstruction in [0, kMaxObstruction) (OutOfRange, with the
// message of the rule broken).
[[nodiscard]] Status CheckTestParams(const TTestParams& params);
// The obstruction rule alone, for an obstruction given apart from the parameters.
[[nodiscard]] Status CheckObstruction(double obstruction);
inline constexpr int kVanesMeasured = -1;

// The vanes: kVanesMeasured or 0 to 16, each of a width from 0 to under the aperture radius, a finite angle
// (OutOfRange, kVanesMessage).
[[nodiscard]] Status CheckVanes(const TTestParams& params);
// The vanes of the record in pupil units (width over the aperture radius), for the analyses.
SpiderVanes VanesOf(const TTestParams& params);

// The entry the dialog starts from when it is shown: the record's values (rounded to whole
// millimetres), the pixel size and acquisition binning of the intra-focal header (binning 0 reads
// as 1), software binning 1.
ParamsEntry EntryFromParams(const TTestParams& params, double headerPixelSizeUm, std::int64_t headerBinX);

// A pupil radius in pixels as text for the two display-only boxes ("0.00").
std::string RadiusText(double radiusPx);
// The defocus of the record, in millimetres with three decimals.
std::string DefocusText(const TTestParams& params);

// Physical radius of a pupil image on the detector: binnings x radius (px) x pixel size (um) x 1000.
double RadiusNm(std::int64_t softwareBinning,
                std::int64_t acquisitionBinning,
                double radiusPx,
                double pixelSizeUm);

// Nanometres of defocus per pixel of pupil-image radius, k = b x p / tan u_max with p the binned
// pixel size in nm and sin u_max = R / F (b x p x F / R for a slow beam). No factor when the aperture
// radius is 0.
std::optional<double> DefocusPerPixel(double binnedPixelNm, double focalNm, double apertureRadiusNm);

// The distance button: stores the focal length and aperture radius of the entry and, when both
// images exist and the diameter is not 0, the defocus from the mean of their radii (l = r k).
// Otherwise the defocus stays as it was. Refused, with nothing changed, when the pixel size is not
// a number.
[[nodiscard]] Result<TTestParams> ComputeDefocus(const TTestParams& current,
                                                 const ParamsEntry& entry,
                                                 const TImageRec* intra,
                                                 const TImageRec* extra);

// "OK": the parameters read from the entry (the obstruction from its percentage). Refused with a
// conversion message (BadFormat) when the defocus or the obstruction is not a number, otherwise by
// CheckTestParams (the caller then clears ParamsSaisis and keeps the dialog open). ParamsSaisis is
// set exactly when this succeeds.
[[nodiscard]] Result<TTestParams> AcceptParams(const ParamsEntry& entry);

// The vanes of the entry into `params` (empty boxes: 0); refused (BadFormat) with `params`
// unchanged when the width or the angle is not a number. Their limits are CheckVanes's.
[[nodiscard]] Status ReadVanes(const ParamsEntry& entry, TTestParams& params);

// "OK" also stores the physical radius of each pupil image that exists, whether or not the values
// are then accepted; a pixel size that is not a number counts as 0.
void StoreRadiiNm(const ParamsEntry& entry, TImageRec* intra, TImageRec* extra);

// A DATE-OBS value split at its first "T": the date before it (empty without "T"), the time after
// it (the whole text without "T").
std::string DatePart(std::string_view dateObs);
std::string TimePart(std::string_view dateObs);

// "5h 30m 0.000s" for 5.5 hours; "12° 30' 0.000\"" for 12.5 degrees. A negative value carries its
// sign in front and the minutes and seconds of its magnitude. A value that is not finite gives "".
std::string FormatRightAscension(double hours);
std::string FormatDeclination(double degrees);

}  // namespace frontlys
