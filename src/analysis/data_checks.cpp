#include "analysis/data_checks.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>

#include "core/numbers.h"
#include "engine/beam_geometry.h"
#include "prep/crop.h"

namespace frontlys {
namespace {

constexpr double kMinSignificance = 10;  // donut flux over the noise of its pixels
constexpr double kMinStarRadius = 5;     // a smaller blob is a hot-pixel cluster or noise, not a donut
// Pattern distance of two images alike but for the noise (1 to 3), or for the noise and the seeing
// of two exposures on one side of focus (13 measured at 1.5 arc seconds).
constexpr double kSameSideNoise = 20;
constexpr double kSameSideRatio = 4;
constexpr double kMaxEdgeShare = 0.3;  // light just outside the donut over the light inside
constexpr double kMaxFaintEdgeShare = 0.1;
constexpr double kFaintSnr = 10;  // mean donut level over the noise of one pixel
constexpr double kFlatTopSigmas = 20;
constexpr int kPileUp = 3;  // pixels at a clipped peak over those just below it
constexpr double kMaxDifference = 0.15;
constexpr double kMinRadiusPx = 15;
constexpr double kMinMarginPx = 10;
constexpr double kMinTermSnr = 50;  // pixel SNR times sqrt(pupil pixels per term)
// A sky slope worth saying: its change across the donut over the donut's level (uncorrected, 1 %
// moved terms 5..22 by about 2 nm).
constexpr double kSkySlopeShare = 0.005;
// Stars with this share of the brightest's flux or more are taken as equally bright: which one is
// the brightest is then chance (seeing, noise), so each frame takes the one the other frame shows.
constexpr double kEqualStarShare = 0.8;

struct Digests {
    std::uint64_t straight = 0, turned = 0;
};

// Of the pixel values in storage order and in reverse order (the frame turned by 180 degrees), in
// one pass: FNV-1a over whole 64-bit values, the product folded down so that every bit of a value
// reaches the low bits of the next step.
Digests DigestsOf(std::span<const double> frame)
{
    constexpr std::uint64_t kPrime = 1099511628211ull;
    std::uint64_t a = 1469598103934665603ull, b = a;
    const std::size_t n = frame.size();
    for (std::size_t k = 0; k < n; ++k) {
        std::uint64_t x = 0, y = 0;
        std::memcpy(&x, &frame[k], sizeof x);
        std::memcpy(&y, &frame[n - 1 - k], sizeof y);
        a = (a ^ x) * kPrime;
        b = (b ^ y) * kPrime;
        a ^= a >> 32;
        b ^= b >> 32;
    }
    return {a, b};
}

}  // namespace

namespace {

// Pixels of the donut at the format's top, or sharing the donut's highest value when many do
// well above the noise (a converter or a camera that clips below its format's top).
int SaturatedPixels(
    std::span<const double> frame, int width, int height, const DonutLocation& loc, double formatMax)
{
    const DonutBlob& m = loc.main;
    const int x0 = std::max(0, int(m.cx - m.radius)), x1 = std::min(width - 1, int(m.cx + m.radius) + 1);
    const int y0 = std::max(0, int(m.cy - m.radius)), y1 = std::min(height - 1, int(m.cy + m.radius) + 1);
    int atFormatTop = 0, inside = 0, atPeak = 0;
    double peak = -std::numeric_limits<double>::infinity();
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            if ((x - m.cx) * (x - m.cx) + (y - m.cy) * (y - m.cy) > m.radius * m.radius) continue;
            const double v = frame[static_cast<std::size_t>(y) * width + x];
            if (!std::isfinite(v)) continue;
            ++inside;
            if (v >= formatMax) ++atFormatTop;
            if (v > peak) {
                peak = v;
                atPeak = 0;
            }
            if (v == peak) ++atPeak;
        }
    }
    // A clipped top piles the pixels up at the peak; a smooth top (a noiseless simulation, whose
    // values are whole numbers) has about as many just below it as at it.
    const double below = std::max(1.0, 0.5 * loc.noise);
    int justBelow = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            if ((x - m.cx) * (x - m.cx) + (y - m.cy) * (y - m.cy) > m.radius * m.radius) continue;
            const double v = frame[static_cast<std::size_t>(y) * width + x];
            if (v < peak && v >= peak - below) ++justBelow;
        }
    const bool flatTop = atPeak >= std::max(5, inside / 200) && atPeak >= kPileUp * justBelow &&
                         peak - loc.background > kFlatTopSigmas * loc.noise;
    return std::max(atFormatTop, flatTop ? atPeak : 0);
}

// The light of a ring just outside the blob, [1.1 r, 1.3 r], over that of its lit part [0.5 r, 0.85 r],
// both above the background: a defocused star ends at a rim (some seeing wings only), a glow or a
// vignetting dome fades out.
double EdgeShare(std::span<const double> frame, int width, int height, const DonutLocation& loc)
{
    const DonutBlob& m = loc.main;
    const double reach = 1.3 * m.radius;
    double in = 0, ring = 0;
    int nIn = 0, nRing = 0;
    for (int y = std::max(0, int(m.cy - reach)); y <= std::min(height - 1, int(m.cy + reach) + 1); ++y)
        for (int x = std::max(0, int(m.cx - reach)); x <= std::min(width - 1, int(m.cx + reach) + 1); ++x) {
            const double v = frame[static_cast<std::size_t>(y) * width + x];
            if (!std::isfinite(v)) continue;
            const double r = std::hypot(x - m.cx, y - m.cy) / m.radius;
            if (r >= 0.5 && r <= 0.85) {
                in += v - loc.background;
                ++nIn;
            } else if (r >= 1.1 && r <= 1.3) {
                ring += v - loc.background;
                ++nRing;
            }
        }
    if (nIn == 0 || nRing == 0 || !(in > 0)) return 0;
    return (ring / nRing) / (in / nIn);
}

// Rings (reduced radius) and sectors of the light pattern: coarse enough that a tenth of a pixel
// of centring moves a cell by less than the noise of a bright donut.
constexpr double kRingEdges[] = {0, 0.55, 0.8, 1.15};
constexpr int kRings = 3, kSectors = 12;

void MeasureCells(std::span<const double> frame, int width, int height, FrameFacts& f)
{
    const DonutLocation& d = *f.donut;
    const DonutBlob& m = d.main;
    const double reach = kRingEdges[kRings] * m.radius;
    std::vector<double> sum(kRings * kSectors, 0.0);
    std::vector<int> count(kRings * kSectors, 0);
    double total = 0;
    for (int y = std::max(0, int(m.cy - reach)); y <= std::min(height - 1, int(m.cy + reach) + 1); ++y)
        for (int x = std::max(0, int(m.cx - reach)); x <= std::min(width - 1, int(m.cx + reach) + 1); ++x) {
            const double v = frame[static_cast<std::size_t>(y) * width + x];
            const double r = std::hypot(x - m.cx, y - m.cy) / m.radius;
            if (!std::isfinite(v) || r >= kRingEdges[kRings]) continue;
            const int ring = r < kRingEdges[1] ? 0 : r < kRingEdges[2] ? 1 : 2;
            const double angle = std::atan2(y - m.cy, x - m.cx) + std::numbers::pi;
            const int sector = std::min(kSectors - 1, int(angle / (2 * std::numbers::pi) * kSectors));
            sum[ring * kSectors + sector] += v - d.background;
            ++count[ring * kSectors + sector];
            total += v - d.background;
        }
    if (!(total > 0)) return;
    f.cells.resize(sum.size());
    f.cellVariance.resize(sum.size());
    for (std::size_t i = 0; i < sum.size(); ++i) {
        f.cells[i] = sum[i] / total;
        // Sky noise plus shot noise, the latter as the sky noise scaled by the level (an upper
        // bound for a camera of gain 1 ADU per electron or more).
        const double shot = std::max(0.0, sum[i]);
        f.cellVariance[i] = (count[i] * d.noise * d.noise + shot) / (total * total);
    }
}

Note Make(std::string code, std::string fr, std::string en)
{
    return {std::move(code), std::move(fr), std::move(en)};
}

std::string Px(double v) { return FormatFloat("0.0", v); }
std::string Percent(double v) { return FormatFloat("0", 100 * v) + " %"; }

double Difference(double a, double b) { return std::abs(a - b) / std::max(1e-300, 0.5 * (a + b)); }

// What the cleaning repaired, and a sky slope that would have shown in the result.
void CheckCleaning(const FrameFacts& f,
                   const std::string& sfr,
                   const std::string& sen,
                   std::vector<Note>& notes)
{
    const DefectReport& d = f.cleaning.defects;
    if (d.hotPixels > 0)
        notes.push_back(Make("hot_pixels",
                             "Image " + sfr + " : " + std::to_string(d.hotPixels) +
                                 " pixels chauds remplacés par la médiane de leurs voisins.",
                             "The " + sen + " image: " + std::to_string(d.hotPixels) +
                                 " hot pixels replaced by the median of their neighbours."));
    if (d.cosmicRays > 0)
        notes.push_back(
            Make("cosmic_ray",
                 "Image " + sfr + " : " + std::to_string(d.cosmicRays) + " traces de rayons cosmiques (" +
                     std::to_string(d.cosmicRayPixels) + " pixels) remplacées.",
                 "The " + sen + " image: " + std::to_string(d.cosmicRays) + " cosmic-ray tracks (" +
                     std::to_string(d.cosmicRayPixels) + " pixels) replaced."));
    if (d.badPixels > 0)
        notes.push_back(
            Make("bad_pixels",
                 "Image " + sfr + " : " + std::to_string(d.badPixels) +
                     " pixels défectueux (NaN ou infinis) remplacés par la médiane de leurs voisins.",
                 "The " + sen + " image: " + std::to_string(d.badPixels) +
                     " bad pixels (NaN or infinite) replaced by the median of their neighbours."));
    const SkyPlane& sky = f.cleaning.sky;
    const double across = std::hypot(sky.slopeX, sky.slopeY) * 2 * f.donut->main.radius;
    if (f.cleaning.slopeRemoved && across > kSkySlopeShare * f.donutLevel)
        notes.push_back(Make("sky_gradient",
                             "Image " + sfr + " : le fond de ciel varie de " + Px(across) +
                                 " ADU à travers la plage (" +
                                 FormatFloat("0.0", 100 * across / f.donutLevel) + " %" +
                                 " de son niveau) ; sa pente a été retirée.",
                             "The " + sen + " image: the sky changes by " + Px(across) +
                                 " ADU across the donut (" + FormatFloat("0.0", 100 * across / f.donutLevel) +
                                 " %" + " of its level); its slope was removed."));
}

double TermSnr(const FrameFacts& f, int npoly)
{
    return f.snr * std::sqrt(f.donut->main.pixels / double(std::max(1, npoly)));
}

void CheckFrame(const FrameFacts& f, const char* fr, const char* en, int npoly, std::vector<Note>& notes)
{
    const DonutLocation& d = *f.donut;
    const std::string sfr(fr), sen(en);
    CheckCleaning(f, sfr, sen, notes);
    if (f.equalStars > 1) {
        const std::string at = "(" + Px(d.main.cx + 1) + " ; " + Px(d.main.cy + 1) + ")";
        notes.push_back(Make("several_stars",
                             "Image " + sfr + " : " + std::to_string(f.equalStars) +
                                 " étoiles d'éclat voisin ; celle en " + at +
                                 ", la plus proche de l'étoile de l'autre image, est analysée.",
                             "The " + sen + " image shows " + std::to_string(f.equalStars) +
                                 " stars about as bright; the one at " + at +
                                 ", nearest the other image's star, is analysed."));
    } else if (!d.others.empty()) {
        std::string where;
        for (std::size_t i = 0; i < std::min<std::size_t>(3, d.others.size()); ++i)
            where += (i ? ", (" : "(") + Px(d.others[i].cx + 1) + " ; " + Px(d.others[i].cy + 1) + ")";
        notes.push_back(Make("several_donuts",
                             "Image " + sfr + " : " + std::to_string(d.others.size() + 1) +
                                 " étoiles ; la plus brillante est analysée, les autres sont en " + where +
                                 ".",
                             "The " + sen + " image shows " + std::to_string(d.others.size() + 1) +
                                 " stars; the brightest is analysed, the others are at " + where + "."));
    }
    const double margin =
        std::min({d.main.cx, d.main.cy, f.width - 1 - d.main.cx, f.height - 1 - d.main.cy}) - d.main.radius;
    if (margin < 0)
        notes.push_back(Make("cut_by_edge",
                             "Image " + sfr + " : la plage est coupée par le bord de l'image.",
                             "The " + sen + " donut is cut by the frame edge."));
    else if (margin < kMinMarginPx)
        notes.push_back(
            Make("small_margin",
                 "Image " + sfr + " : seulement " + Px(margin) + " pixels entre la plage et le bord.",
                 "The " + sen + " donut is only " + Px(margin) + " pixels from the frame edge."));
    if (f.saturated > 0)
        notes.push_back(
            Make("saturated",
                 "Image " + sfr + " : " + std::to_string(f.saturated) + " pixels saturés dans la plage.",
                 "The " + sen + " donut has " + std::to_string(f.saturated) + " saturated pixels."));
    if (d.main.radius < kMinRadiusPx)
        notes.push_back(Make("small_radius",
                             "Image " + sfr + " : rayon de " + Px(d.main.radius) +
                                 " pixels, la diffraction domine ; défocalisez davantage.",
                             "The " + sen + " donut radius is " + Px(d.main.radius) +
                                 " pixels: diffraction dominates; defocus further."));
    if (TermSnr(f, npoly) < kMinTermSnr)
        notes.push_back(Make("low_snr",
                             "Image " + sfr + " : rapport signal sur bruit de " + FormatFloat("0.0", f.snr) +
                                 " par pixel, trop faible pour " + std::to_string(npoly) + " termes.",
                             "The " + sen + " signal-to-noise ratio is " + FormatFloat("0.0", f.snr) +
                                 " per pixel, too low for " + std::to_string(npoly) + " terms."));
}

// Two images on the same side of focus: the second matches the first as taken, not turned (the
// pupil is seen the same way up); or, given turned, matches it within the noise, which no pair
// across focus does unless its optics are perfect: the images of an aberration-free pupil are the
// same on both sides of focus, so the note names that reading too.
void CheckSides(const FrameFacts& intra, const FrameFacts& extra, int npoly, std::vector<Note>& notes)
{
    // A faint pair's patterns differ by little more than their noise whatever the sides; low_snr says so.
    for (const FrameFacts* f : {&intra, &extra})
        if (TermSnr(*f, npoly) < kMinTermSnr) return;
    const double turned = PatternDistance(intra, extra, true), taken = PatternDistance(intra, extra, false);
    if (turned < 0) return;
    if (taken < kSameSideNoise && turned > kSameSideRatio * taken)
        notes.push_back(
            Make("same_side",
                 "Les deux images se ressemblent sans le retournement de 180° : elles semblent prises du "
                 "même côté du foyer. Vérifiez la paire.",
                 "The two images match without the 180-degree turn: they seem to be taken on the same "
                 "side of focus. Check the pair."));
    else if (turned < kSameSideNoise)
        notes.push_back(
            Make("same_side",
                 "Les deux images ne diffèrent que par le bruit : la même pose deux fois, deux poses du "
                 "même côté du foyer, ou une optique sans aberration mesurable. Vérifiez la paire.",
                 "The two images differ by noise alone: the same exposure twice, two exposures on the "
                 "same side of focus, or optics without a measurable aberration. Check the pair."));
}

// The focuser positions both headers give. Focusers count outwards (away from the objective), so
// the extra-focal image, taken beyond focus, has the larger position. Only said: a focuser set to
// count the other way gives the same reading, and the data of a symmetric pupil cannot tell
// (swapping the images changes the sign of every term).
void CheckFocuser(const TFitsHeader& intra, const TFitsHeader& extra, std::vector<Note>& notes)
{
    if (intra.SetBy[kFocuserGroup].empty() || extra.SetBy[kFocuserGroup].empty()) return;
    const std::string positions =
        FormatGeneral(intra.FocuserPosition) + " / " + FormatGeneral(extra.FocuserPosition);
    if (intra.FocuserPosition > extra.FocuserPosition)
        notes.push_back(Make("swapped_pair",
                             "Les en-têtes donnent le porte-oculaire plus sorti pour l'image intra que pour "
                             "l'extra (" +
                                 positions +
                                 ") : la paire semble inversée, et tous les termes changeraient de signe. "
                                 "Vérifiez l'ordre des images.",
                             "The headers give the focuser further out for the intra image than for the "
                             "extra one (" +
                                 positions +
                                 "): the pair seems given the wrong way round, which changes the sign of "
                                 "every term. Check the order of the images."));
    else if (intra.FocuserPosition == extra.FocuserPosition)
        notes.push_back(
            Make("same_side",
                 "Les en-têtes donnent la même position du porte-oculaire pour les deux images (" +
                     positions + ") : vérifiez la paire.",
                 "The headers give the same focuser position for both images (" + positions +
                     "): check the pair."));
}

}  // namespace

namespace {
void MeasureStar(std::span<const double> frame, DonutLocation loc, FrameFacts& f);
}  // namespace

double PatternDistance(const FrameFacts& a, const FrameFacts& b, bool turned)
{
    if (a.cells.empty() || a.cells.size() != b.cells.size()) return -1;
    double chi2 = 0;
    for (int ring = 0; ring < kRings; ++ring)
        for (int sector = 0; sector < kSectors; ++sector) {
            const int i = ring * kSectors + sector;
            const int j = ring * kSectors + (turned ? (sector + kSectors / 2) % kSectors : sector);
            const double var = a.cellVariance[i] + b.cellVariance[j];
            if (var > 0) chi2 += (a.cells[i] - b.cells[j]) * (a.cells[i] - b.cells[j]) / var;
        }
    return chi2 / double(a.cells.size());
}

namespace {

// What MeasureFrame measures, the digests left to the caller.
FrameFacts MeasureLocated(std::span<const double> frame, int width, int height, double formatMax)
{
    FrameFacts f;
    f.width = width;
    f.height = height;
    f.formatMax = formatMax;
    auto located = LocateDonutInFrame(frame, width, height);
    if (!located.ok()) {
        f.noStar = located.status();
        return f;
    }
    MeasureStar(frame, located.take(), f);
    return f;
}

}  // namespace

namespace {

// The star of `loc.main` judged (a star, not noise, a defect or a glow) and measured into f.
void MeasureStar(std::span<const double> frame, DonutLocation loc, FrameFacts& f)
{
    const int width = f.width, height = f.height;
    const double noise = std::max(loc.noise, 1e-12);
    const double significance = loc.main.flux / (noise * std::sqrt(std::max(1, loc.main.pixels)));
    if (!(significance >= kMinSignificance)) {
        f.noStar = Status::Fail(
            StatusCode::NumericalFailure,
            kNoStarMessage,
            "the brightest blob stands " + FormatFloat("0.0", significance) + " sigma above the noise");
        return;
    }
    if (loc.main.radius < kMinStarRadius) {
        f.noStar = Status::Fail(StatusCode::NumericalFailure,
                                kNoStarMessage,
                                "the brightest blob is " + FormatFloat("0.0", loc.main.radius) +
                                    " pixels in radius: a defect or noise, not a defocused star");
        return;
    }
    // Real donuts put 0 to 12 % of their light just outside (seeing wings, scattered light), a faint
    // glow 12 % and more: a bright blob is judged by the first bound, a faint one by the second.
    const double share = EdgeShare(frame, width, height, loc);
    const double pixelSnr = loc.main.flux / std::max(1, loc.main.pixels) / noise;
    if (std::abs(share) > kMaxEdgeShare || (std::abs(share) > kMaxFaintEdgeShare && pixelSnr < kFaintSnr)) {
        f.noStar = Status::Fail(StatusCode::NumericalFailure,
                                kNoStarMessage,
                                "the brightest blob has no rim (" + FormatFloat("0", 100 * share) +
                                    " % of its light just outside it): a glow of the sky, not a star");
        return;
    }
    f.saturated = SaturatedPixels(frame, width, height, loc, f.formatMax);
    f.donutLevel = loc.main.flux / std::max(1, loc.main.pixels);
    f.snr = f.donutLevel / noise;
    f.donut = std::move(loc);
    MeasureCells(frame, width, height, f);
}

}  // namespace

namespace {

// The stars of a frame about as bright as its brightest, that one first, each with its flux taken
// as the brightest's is (within 1.3 r + 6 of its light centroid, above the background).
std::vector<DonutBlob> EqualStars(std::span<const double> frame, const FrameFacts& f)
{
    const DonutLocation& d = *f.donut;
    std::vector<DonutBlob> stars{d.main};
    if (d.others.empty()) return stars;
    std::vector<double> sub(frame.size());
    for (std::size_t i = 0; i < frame.size(); ++i)
        sub[i] = std::isfinite(frame[i]) ? frame[i] - d.background : 0.0;
    for (DonutBlob b : d.others) {
        for (int i = 0; i < 3; ++i)
            b.flux = LightCentroid(sub, f.width, f.height, 1.3 * b.radius + 6, b.cx, b.cy);
        if (b.flux >= kEqualStarShare * d.main.flux) stars.push_back(b);
    }
    return stars;
}

// The frame measured again on `star` instead of its brightest; unchanged if that one is no star.
void MeasureOn(std::span<const double> frame, const DonutBlob& star, int equalStars, FrameFacts& f)
{
    DonutLocation loc = *f.donut;
    for (DonutBlob& other : loc.others)
        if (std::hypot(other.cx - star.cx, other.cy - star.cy) < other.radius) other = loc.main;
    loc.main = star;
    FrameFacts g;
    g.width = f.width;
    g.height = f.height;
    g.formatMax = f.formatMax;
    g.digest = f.digest;
    g.digestTurned = f.digestTurned;
    g.cleaning = f.cleaning;
    MeasureStar(frame, std::move(loc), g);
    if (g.donut) f = std::move(g);
    f.equalStars = equalStars;
}

}  // namespace

void MatchStars(std::span<const double> intra,
                FrameFacts& intraFacts,
                std::span<const double> extra,
                FrameFacts& extraFacts)
{
    if (!intraFacts.donut || !extraFacts.donut) return;
    const std::vector<DonutBlob> a = EqualStars(intra, intraFacts), b = EqualStars(extra, extraFacts);
    if (a.size() < 2 && b.size() < 2) return;
    std::size_t bestA = 0, bestB = 0;
    double best = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j < b.size(); ++j) {
            const double distance = std::hypot(a[i].cx - b[j].cx, a[i].cy - b[j].cy);
            if (distance < best) {
                best = distance;
                bestA = i;
                bestB = j;
            }
        }
    if (a.size() > 1) MeasureOn(intra, a[bestA], int(a.size()), intraFacts);
    if (b.size() > 1) MeasureOn(extra, b[bestB], int(b.size()), extraFacts);
}

FrameFacts MeasureFrame(std::span<const double> frame, int width, int height, double formatMax)
{
    FrameFacts f = MeasureLocated(frame, width, height, formatMax);
    const Digests d = DigestsOf(frame);
    f.digest = d.straight;
    f.digestTurned = d.turned;
    return f;
}

FrameFacts CleanAndMeasureFrame(std::span<double> frame, int width, int height, double formatMax)
{
    const Digests d = DigestsOf(frame);
    FrameCleaning cleaning = CleanFrame(frame, width, height);
    FrameFacts f = MeasureLocated(frame, width, height, formatMax);
    f.digest = d.straight;
    f.digestTurned = d.turned;
    f.cleaning = std::move(cleaning);
    return f;
}

double ExplainedRadiusDifference(std::span<const double> coefNm,
                                 double focalNm,
                                 double apertureRadiusNm,
                                 double defocusNm)
{
    // Slopes at rho = 1 of the spherical terms Z11 = 6 rho^4 - 6 rho^2 + 1 and
    // Z22 = 20 rho^6 - 30 rho^4 + 12 rho^2 - 1.
    const double slope =
        (coefNm.size() > 10 ? 12 * coefNm[10] : 0) + (coefNm.size() > 21 ? 24 * coefNm[21] : 0);
    if (!(apertureRadiusNm > 0) || !(defocusNm > 0) || !(focalNm > 0)) return 0;
    // The rim ray crosses the focal plane (f / a) W' off the axis, on both images in opposite
    // senses, against a rim radius l tan u_max.
    return 2 * std::abs(slope) * focalNm /
           (apertureRadiusNm * DonutRadius(focalNm, apertureRadiusNm, defocusNm));
}

double DefocusImbalance(std::span<const double> coefNm,
                        double focalNm,
                        double apertureRadiusNm,
                        double defocusNm)
{
    if (coefNm.size() < 4 || !(apertureRadiusNm > 0) || !(defocusNm > 0) || !(focalNm > 0)) return 0;
    // A focus shift dz adds the path dz (1 - cos u), sin u = s rho: its Z4 coefficient per unit of dz
    // is 6 Int (1 - cos u) (2 rho^2 - 1) rho drho = 3 Int_0^1 (1 - sqrt(1 - s^2 t)) (2 t - 1) dt, s^2 / 4
    // in the paraxial limit (Simpson's rule; the integrand is smooth as s stays under 0.95).
    const double s = EdgeSine(focalNm, apertureRadiusNm);
    const double s2 = s * s;
    constexpr int kIntervals = 64;
    double sum = 0;
    for (int i = 0; i <= kIntervals; ++i) {
        const double t = double(i) / kIntervals;
        const double weight = (i == 0 || i == kIntervals) ? 1 : (i % 2 ? 4 : 2);
        sum += weight * (1 - std::sqrt(1 - s2 * t)) * (2 * t - 1);
    }
    const double perShift = sum / kIntervals;  // 3 times Simpson's h / 3
    if (!(perShift > 0)) return 0;
    // The focus lies dz off the middle of the two planes: their distances differ by 2 dz over l.
    return 2 * std::abs(coefNm[3]) / (perShift * defocusNm);
}

bool DefocusUnequal(const FrameFacts& intra,
                    const FrameFacts& extra,
                    std::span<const double> coefNm,
                    double focalNm,
                    double apertureRadiusNm,
                    double defocusNm)
{
    if (!RadiiUnequal(intra, extra, 0)) return false;
    const double explained = ExplainedRadiusDifference(coefNm, focalNm, apertureRadiusNm, defocusNm);
    return RadiiUnequal(intra, extra, explained) ||
           DefocusImbalance(coefNm, focalNm, apertureRadiusNm, defocusNm) > kMaxDifference;
}

bool RadiiUnequal(const FrameFacts& intra, const FrameFacts& extra, double explained)
{
    if (!intra.donut || !extra.donut) return false;
    return Difference(intra.donut->main.radius, extra.donut->main.radius) > kMaxDifference + explained;
}

PairCheck CheckPair(const FrameFacts& intra,
                    const TFitsHeader& headerIntra,
                    const FrameFacts& extra,
                    const TFitsHeader& headerExtra,
                    int npoly)
{
    PairCheck out;
    for (const FrameFacts* f : {&intra, &extra}) {
        if (f->donut) continue;
        out.refusal = f->noStar;
        out.refusal.message = kNoStarMessage;
        out.refusal.reason =
            std::string(f == &intra ? "intra" : "extra") + "-focal image: " + f->noStar.reason;
        return out;
    }
    const bool sameSize = intra.width == extra.width && intra.height == extra.height;
    if (sameSize && (intra.digest == extra.digest || intra.digest == extra.digestTurned)) {
        out.refusal =
            Status::Fail(StatusCode::BadFormat, kSameImageMessage, "the two frames hold the same pixels");
        return out;
    }
    CheckFrame(intra, "intra", "intra-focal", npoly, out.notes);
    CheckFrame(extra, "extra", "extra-focal", npoly, out.notes);
    CheckSides(intra, extra, npoly, out.notes);
    const DonutBlob &a = intra.donut->main, &b = extra.donut->main;
    if (Difference(a.flux, b.flux) > kMaxDifference)
        out.notes.push_back(Make("unequal_flux",
                                 "Les flux intra et extra diffèrent de " +
                                     Percent(Difference(a.flux, b.flux)) + " (nuages, temps de pose ?).",
                                 "The intra and extra fluxes differ by " +
                                     Percent(Difference(a.flux, b.flux)) + " (clouds, exposure?)."));
    if (RadiiUnequal(intra, extra, 0))
        out.notes.push_back(Make("unequal_radius",
                                 "Les rayons intra et extra diffèrent de " +
                                     Percent(Difference(a.radius, b.radius)) + " : défocalisations inégales.",
                                 "The intra and extra radii differ by " +
                                     Percent(Difference(a.radius, b.radius)) + ": unequal defocus."));
    CheckFocuser(headerIntra, headerExtra, out.notes);
    const bool exposure =
        headerIntra.Exposure > 0 && headerExtra.Exposure > 0 && headerIntra.Exposure != headerExtra.Exposure;
    if (exposure || headerIntra.BinX != headerExtra.BinX || headerIntra.BinY != headerExtra.BinY)
        out.notes.push_back(
            Make("headers_differ",
                 "Les en-têtes intra et extra indiquent des temps de pose ou des binnings différents.",
                 "The intra and extra headers give different exposures or binnings."));
    return out;
}

}  // namespace frontlys
