#pragma once
// Checks on the two frames of a test before the analysis: what would make its numbers wrong without
// anything failing. Each finding is a Note with a stable code and a sentence in French and English;
// only two findings stop the analysis, because nothing can be measured: no star in a frame, and the
// same frame given as intra- and extra-focal.
//
// Frames are raw camera frames (row-major, 0-based columns and rows), measured before any cut, so
// that the frame edges and the other stars are those of the camera.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "analysis/note.h"
#include "core/status.h"
#include "files/fits_header.h"
#include "prep/donut.h"
#include "prep/frame_cleaning.h"

namespace frontlys {

inline constexpr const char* kNoStarMessage = "Aucune étoile défocalisée n'a été trouvée dans l'image";
inline constexpr const char* kSameImageMessage = "La même image est donnée en intra et en extra-focale";

struct FrameFacts {
    int width = 0, height = 0;
    std::optional<DonutLocation> donut;  // empty: no star stands out (reason in noStar)
    Status noStar;
    int saturated = 0;               // donut pixels at the format's top or on a flat top
    double snr = 0;                  // mean donut level above the sky over the noise of one pixel
    std::uint64_t digest = 0;        // of the pixel values, to recognise the same frame given twice
    std::uint64_t digestTurned = 0;  // of the frame turned by 180 degrees
    FrameCleaning cleaning;          // what CleanAndMeasureFrame repaired and removed
    double donutLevel = 0;           // mean donut level above the sky, ADU
    // The donut's light in rings x sectors about its centre, as shares of its flux, and their
    // variances from the pixel noise: the pattern the same-side check compares.
    std::vector<double> cells, cellVariance;
    double formatMax = 0;  // as given to MeasureFrame
    int equalStars = 0;    // stars about as bright as the analysed one, itself included (MatchStars)
};

// Mean squared difference of the two light patterns over their noise, b turned by 180 degrees (as
// the analysis turns the extra-focal frame) or as taken: about 1 when they differ by noise alone; -1
// when either has no pattern.
double PatternDistance(const FrameFacts& a, const FrameFacts& b, bool turned);

// Locates the donut (on a block-binned copy first when the frame is very large) and measures it.
// formatMax: the largest value the file's samples can hold (+inf when unknown).
FrameFacts MeasureFrame(std::span<const double> frame, int width, int height, double formatMax);

// Cleans the frame in place (prep/frame_cleaning) and measures it: the facts then carry what was
// repaired and the sky's slope, reported by CheckPair. The digest is of the frame as given.
FrameFacts CleanAndMeasureFrame(std::span<double> frame, int width, int height, double formatMax);

// Frames showing several stars about as bright as their brightest: each is measured again on the
// one nearest the other frame's star, so both sides analyse the same star (the brightest of each
// would be chance), and equalStars is set for CheckPair to say so.
void MatchStars(std::span<const double> intra,
                FrameFacts& intraFacts,
                std::span<const double> extra,
                FrameFacts& extraFacts);

// The relative difference of the two donut radii that the rotationally symmetric aberrations
// explain: the marginal ray's transverse aberration, (f / a) dW/drho at the rim, moves the rim of
// one image out and of the other in, against the rim radius l tan u_max of the exact beam. coefNm: Zernike
// coefficients (term 1 first, unnormalised polynomials); the other lengths in nanometres.
double ExplainedRadiusDifference(std::span<const double> coefNm,
                                 double focalNm,
                                 double apertureRadiusNm,
                                 double defocusNm);

// The relative difference of the two donut radii that the measured focus term (Z4) says: the focus
// lies off the middle of the two image planes by the shift whose path dz (1 - cos u) has that Z4
// (4 c4 (f / a)^2 in the paraxial limit), so the planes' distances differ.
double DefocusImbalance(std::span<const double> coefNm,
                        double focalNm,
                        double apertureRadiusNm,
                        double defocusNm);

// Whether the pair's radii differ by more than the limit plus `explained`: unequal defocus, not
// the aberrations of the optics (CheckPair judges before they are known, with explained = 0).
bool RadiiUnequal(const FrameFacts& intra, const FrameFacts& extra, double explained);
// Unequal defocus once the wavefront is known: the radii differ beyond what the spherical
// aberration explains, or the focus term itself says the planes' distances differ by over the limit.
bool DefocusUnequal(const FrameFacts& intra,
                    const FrameFacts& extra,
                    std::span<const double> coefNm,
                    double focalNm,
                    double apertureRadiusNm,
                    double defocusNm);

struct PairCheck {
    Status refusal;           // not Ok: the analysis cannot run
    std::vector<Note> notes;  // warnings, in a fixed order
};

// npoly: the number of Zernike terms asked (the noise a fit can bear depends on it).
PairCheck CheckPair(const FrameFacts& intra,
                    const TFitsHeader& headerIntra,
                    const FrameFacts& extra,
                    const TFitsHeader& headerExtra,
                    int npoly);

}  // namespace frontlys
