// What a camera adds to a star: hot pixels, cosmic rays and a sloping sky. Each is drawn on a
// simulated pair (a 2200 ADU donut over a 500 ADU sky) and must move terms 5..22 of the default
// analysis by at most 0.5 nm RMS from the clean pair's answer, and be reported by its code.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "analysis/data_checks.h"
#include "analysis/run_analysis.h"
#include "analysis/test_session.h"
#include "prep/donut.h"
#include "simulation/fits_writer.h"
#include "simulation/star_simulator.h"
#include "support/temp_dir.h"

namespace frontlys {
namespace {

using Frame = Planes3D<double>;
using Defect = std::function<void(Frame&, const DonutBlob&, std::mt19937&)>;

SimulationParams DirtyParams()
{
    SimulationParams p;
    p.obstruction = 0.25;
    p.defocusMm = 3.2;  // 30 px
    p.size = 400;
    p.offsetXPx = 37;
    p.offsetYPx = -21;
    p.zernikeRmsNm[4] = 25;
    p.zernikeRmsNm[6] = 15;
    p.zernikeRmsNm[10] = 40;
    p.seeingArcsec = 1.5;
    p.photons = 6e6;
    p.poisson = true;
    p.readNoiseE = 8;
    p.backgroundAdu = 500;
    return p;
}

struct Run {
    std::array<double, kZernikeTerms> rms{};
    std::vector<std::string> codes;
};

Result<AnalysisReport> Analyse(const std::filesystem::path& dir,
                               const Defect& defect,
                               FitsSampleFormat format = FitsSampleFormat::UInt16)
{
    const int seed = 3;
    const SimulationParams p = DirtyParams();
    SimulatedPair pair = SimulatePair(p).take();
    std::mt19937 rng(seed);
    for (Frame* f : {&pair.intra.adu, &pair.extra.adu}) {
        if (!defect) continue;
        const DonutBlob d = LocateDonut(f->Plane(0), f->cols(), f->rows()).value().main;
        defect(*f, d, rng);
        for (double& v : f->Plane(0))
            if (!std::isnan(v)) v = std::clamp(std::round(v), 0.0, 65535.0);
    }
    std::filesystem::create_directories(dir);
    AnalysisOptions o;
    o.intra = dir / "intra.fits";
    o.extra = dir / "extra.fits";
    FitsImageHeader h;
    h.focalLengthM = p.focalMm / 1000;
    h.diameterMm = p.diameterMm;
    h.pixelSizeUm = p.pixelUm;
    EXPECT_TRUE(WriteFitsImage(o.intra, pair.intra.adu, h, format).ok());
    EXPECT_TRUE(WriteFitsImage(o.extra, pair.extra.adu, h, format).ok());
    o.derivedImages = false;
    return RunAnalysis(o);
}

double& At(Frame& f, int x, int y) { return f.Plane(0)[static_cast<std::size_t>(y) * f.cols() + x]; }

void HotPixelInDonut(Frame& f, const DonutBlob& d, std::mt19937&)
{
    At(f, int(d.cx + 0.6 * d.radius), int(d.cy + 0.2 * d.radius)) = 65535;
}

void HotPixelsOverFrame(Frame& f, const DonutBlob&, std::mt19937& rng)
{
    std::uniform_int_distribution<int> x(0, f.cols() - 1), y(0, f.rows() - 1);
    std::uniform_real_distribution<double> level(3000, 65535);
    for (int i = 0; i < 30; ++i) At(f, x(rng), y(rng)) = level(rng);
}

// 12 pixels of a slanted track crossing the donut's ring, 6000 ADU deposited along it.
void CosmicRayAcrossDonut(Frame& f, const DonutBlob& d, std::mt19937&)
{
    const double x0 = d.cx + 0.35 * d.radius, y0 = d.cy - 0.5 * d.radius;
    for (int i = 0; i < 12; ++i) At(f, int(x0 + i), int(y0 + 0.45 * i)) += 6000;
}

void SkyRamp(Frame& f, const DonutBlob&, std::mt19937&)
{
    const double n = f.cols() + f.rows();
    for (int y = 0; y < f.rows(); ++y)
        for (int x = 0; x < f.cols(); ++x) At(f, x, y) += 300 * ((x + y) / n - 0.5);
}

// A 4 x 4 patch of bad pixels (NaN) on the ring, as a masked defect of the sensor gives.
void BadPatchInDonut(Frame& f, const DonutBlob& d, std::mt19937&)
{
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            At(f, int(d.cx - 0.65 * d.radius) + x, int(d.cy + 0.1 * d.radius) + y) = NAN;
}

double MovedNm(const AnalysisReport& a, const AnalysisReport& b)
{
    double s = 0;
    for (std::size_t k = 4; k < 22; ++k) s += std::pow(a.zernikeRmsNm[k] - b.zernikeRmsNm[k], 2);
    return std::sqrt(s);
}

std::vector<std::string> Codes(const AnalysisReport& r)
{
    std::vector<std::string> codes;
    for (const Note& n : r.session->Warnings) codes.push_back(n.code);
    return codes;
}

TEST(DirtyFrames, DefectsMoveTheCoefficientsLittleAndAreReported)
{
    TempDir dir;
    const auto clean = Analyse(dir.path() / "clean", {});
    ASSERT_TRUE(clean.ok()) << clean.status().reason;
    EXPECT_EQ(Codes(clean.value()), std::vector<std::string>{});
    const std::vector<std::pair<const char*, Defect>> cases{{"hot_pixels", HotPixelInDonut},
                                                            {"hot_pixels", HotPixelsOverFrame},
                                                            {"cosmic_ray", CosmicRayAcrossDonut},
                                                            {"sky_gradient", SkyRamp}};
    int i = 0;
    for (const auto& [code, defect] : cases) {
        const auto dirty = Analyse(dir.path() / std::to_string(i++), defect);
        ASSERT_TRUE(dirty.ok()) << code << ": " << dirty.status().reason;
        const double moved = MovedNm(clean.value(), dirty.value());
        std::printf("%-14s moved %.2f nm RMS, codes %s\n",
                    code,
                    moved,
                    testing::PrintToString(Codes(dirty.value())).c_str());
        EXPECT_LT(moved, 0.5) << code;
    }
    const auto cleanFloat = Analyse(dir.path() / "float", {}, FitsSampleFormat::Float32);
    const auto patched = Analyse(dir.path() / "nan", BadPatchInDonut, FitsSampleFormat::Float32);
    ASSERT_TRUE(cleanFloat.ok() && patched.ok()) << patched.status().reason;
    const double moved = MovedNm(cleanFloat.value(), patched.value());
    std::printf("bad_pixels     moved %.2f nm RMS, codes %s\n",
                moved,
                testing::PrintToString(Codes(patched.value())).c_str());
    EXPECT_LT(moved, 0.5);
    EXPECT_EQ(Codes(patched.value()), (std::vector<std::string>{"bad_pixels", "bad_pixels"}));
}

// Frames of sky alone as cameras give them: a level, its noise, a slope, a faint dome of
// vignetting or glow, hot pixels.
Frame SkyOnly(std::mt19937& rng)
{
    std::uniform_real_distribution<double> u(0, 1);
    const int w = 200 + int(300 * u(rng)), h = 200 + int(300 * u(rng));
    const double level = 300 + 3000 * u(rng), read = 3 + 12 * u(rng);
    const double gx = (u(rng) - 0.5) * 400 / w, gy = (u(rng) - 0.5) * 400 / h;
    const double dome = 60 * u(rng) * u(rng), dx = w * u(rng), dy = h * u(rng),
                 ds = 0.3 * (w + h) * (0.3 + u(rng));
    Frame f(1, h, w);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double mean = level + gx * (x - w / 2) + gy * (y - h / 2) +
                                dome * std::exp(-((x - dx) * (x - dx) + (y - dy) * (y - dy)) / (2 * ds * ds));
            std::normal_distribution<double> noise(mean, std::sqrt(std::max(1.0, mean - 200) + read * read));
            At(f, x, y) = std::round(noise(rng));
        }
    std::uniform_int_distribution<int> hot(0, 60);
    for (int i = hot(rng); i > 0; --i) At(f, int(u(rng) * w), int(u(rng) * h)) = 3000 + 60000 * u(rng);
    return f;
}

TEST(DirtyFrames, SkyOnlyFramesAreRefused)
{
    std::mt19937 rng(11);
    int taken = 0;
    for (int i = 0; i < 100; ++i) {
        Frame f = SkyOnly(rng);
        const FrameFacts facts = CleanAndMeasureFrame(f.Plane(0), f.cols(), f.rows(), 65535);
        if (facts.donut) {
            ++taken;
            std::printf("frame %d taken: radius %.1f snr %.2f pixels %d at %.0f %.0f\n",
                        i,
                        facts.donut->main.radius,
                        facts.snr,
                        facts.donut->main.pixels,
                        facts.donut->main.cx,
                        facts.donut->main.cy);
        }
    }
    EXPECT_EQ(taken, 0);
}

}  // namespace
}  // namespace frontlys
