#include "cli/simulate_command.h"

#include <chrono>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "cli/commands.h"
#include "cli/language.h"
#include "cli/output_set.h"
#include "cli/threads_option.h"
#include "core/atomic_write.h"
#include "core/numbers.h"
#include "simulation/simulation_options.h"

namespace frontlys::cli {

const char* const kSignConventionText =
    "Sign convention: a Zernike term is an optical path difference over the pupil, positive where\n"
    "the wavefront is ahead of the reference sphere (towards the image). A positive spherical term\n"
    "(Z11) is an under-corrected mirror: the marginal rays focus short of the paraxial ones, nearer\n"
    "the mirror. A positive defocus (Z4) puts the focus nearer the mirror than the middle of the two\n"
    "image planes, so the intra-focal donut is the smaller. Pupil coordinates are those of the\n"
    "intra-focal image as displayed: x to the right, y up, angles counter-clockwise from x. The\n"
    "intra-focal image shows the pupil upright, the extra-focal one turned by 180 degrees, as a\n"
    "camera records them. The analysis of a simulated pair gives back these signs.";

namespace {

std::string UtcText(std::time_t t)
{
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
    return buf;
}

struct SimulateOptions {
    SimulationParams params;
    std::string folder, offset, zernike, band;
    double photons = 0;
    bool floatOutput = false;
    int exposureS = 10;
};

void ReportRefusal(const Status& s, std::ostream& err) { PrintRefusal(err, "simulate", s); }

// The truth file names itself on its first line; staged, it would name the hidden folder.
Status NameTruthWhereItEnds(const std::filesystem::path& staged, const std::filesystem::path& final)
{
    std::ifstream in(staged, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string first = "Fichier =" + staged.string();
    if (!text.starts_with(first)) return Status::Ok();
    text.replace(0, first.size(), "Fichier =" + final.string());
    return WriteFileAtomically(staged, text);
}

// The pair is written as a whole into the folder, or not at all.
Status WriteWholePair(const std::filesystem::path& folder,
                      const SimulationParams& params,
                      const SimulatedPair& pair,
                      const SimulationStamp& stamp)
{
    const SimulationFiles names = SimulationFileNames(".");
    OutputSet set(
        folder,
        {names.intra.filename().string(), names.extra.filename().string(), names.truth.filename().string()});
    if (Status s = set.Begin(); !s.ok()) return s;
    if (Status s = WriteSimulationFiles(set.StagingFolder(), params, pair, stamp); !s.ok())
        return set.AsFinal(s);
    if (Status s = NameTruthWhereItEnds(set.Staged(names.truth.filename().string()),
                                        SimulationFileNames(folder).truth);
        !s.ok())
        return set.AsFinal(s);
    return set.Commit();
}

// The compound options into params; a refusal names the option.
Status ApplyTextOptions(SimulateOptions& o)
{
    if (!o.offset.empty()) {
        auto v = ParseOffset(o.offset);
        if (!v.ok()) return v.status();
        o.params.offsetXPx = v.value().first;
        o.params.offsetYPx = v.value().second;
    }
    if (!o.zernike.empty()) {
        auto v = ParseZernikeList(o.zernike);
        if (!v.ok()) return v.status();
        o.params.zernikeRmsNm = v.value();
    }
    if (!o.band.empty()) {
        auto v = ParseBand(o.band);
        if (!v.ok()) return v.status();
        o.params.bandMinNm = v.value().first;
        o.params.bandMaxNm = v.value().second;
    }
    if (o.photons != 0) {
        o.params.photons = o.photons;
        o.params.poisson = true;
    }
    return Status::Ok();
}

void AddOptions(CLI::App* cmd, SimulateOptions& o)
{
    SimulationParams& p = o.params;
    cmd->add_option("--out", o.folder, "Folder of intra.fits, extra.fits and truth.txt")->required();
    cmd->add_option("--diameter", p.diameterMm, "Aperture diameter, mm")->capture_default_str();
    cmd->add_option("--focal", p.focalMm, "Focal length, mm")->capture_default_str();
    cmd->add_option("--obstruction", p.obstruction, "Central obstruction, fraction of the diameter")
        ->capture_default_str();
    cmd->add_option("--pixel", p.pixelUm, "Camera pixel (unbinned), um")->capture_default_str();
    cmd->add_option("--binning", p.binning, "Camera binning")->capture_default_str();
    cmd->add_option("--defocus", p.defocusMm, "Distance of each image plane from focus, mm")
        ->capture_default_str();
    cmd->add_option(
           "--defocus-asymmetry",
           p.defocusAsymmetryMm,
           "Extra-focal plane this much farther from focus and the intra-focal one this much nearer, "
           "mm (an unequal focuser travel)")
        ->capture_default_str();
    cmd->add_option("--vanes", p.vaneCount, "Spider vanes across the pupil, 0 to 16")->capture_default_str();
    cmd->add_option("--vane-width", p.vaneWidthMm, "Full width of each vane, mm")->capture_default_str();
    cmd->add_option("--vane-angle", p.vaneAngleDeg, "Direction of the first vane, degrees from +x towards +y")
        ->capture_default_str();
    cmd->add_option("--size", p.size, "Frame side, pixels (any value)")->capture_default_str();
    cmd->add_option("--offset", o.offset, "DX,DY: donut centre from the frame centre, pixels (DY down)");
    cmd->add_option("--zernike", o.zernike, "K=NM,...: term K (1-28) at NM nm RMS, e.g. 11=40,5=15");
    cmd->add_option("--lambda", p.lambdaNm, "Wavelength, nm")->capture_default_str();
    cmd->add_option("--band", o.band, "NM1:NM2: polychromatic band, nm (replaces --lambda)");
    cmd->add_option("--band-samples", p.bandSamples, "Wavelengths simulated across the band")
        ->capture_default_str();
    cmd->add_option("--seeing", p.seeingArcsec, "Seeing (Gaussian FWHM), arcsec")->capture_default_str();
    cmd->add_option(
        "--photons", o.photons, "Photo-electrons per image, with Poisson noise (default: 1e7, no noise)");
    cmd->add_option("--read-noise", p.readNoiseE, "Read noise, electrons RMS")->capture_default_str();
    cmd->add_option("--background", p.backgroundAdu, "Level added to every pixel, ADU")
        ->capture_default_str();
    cmd->add_option("--gain", p.gainEPerAdu, "Electrons per ADU")->capture_default_str();
    cmd->add_option("--seed", p.seed, "Seed of the noise")->capture_default_str();
    cmd->add_option("--exposure", o.exposureS, "EXPOSURE keyword, s")->capture_default_str();
    cmd->add_flag("--float", o.floatOutput, "Write BITPIX -32 instead of 16-bit with BZERO 32768");
}

}  // namespace

SimulationStamp StampNow(int exposureS, FitsSampleFormat format)
{
    const std::time_t now = std::time(nullptr);
    return {UtcText(now), UtcText(now + exposureS + 20), exposureS, format};
}

int RunSimulate(const SimulationParams& params,
                const std::filesystem::path& folder,
                const SimulationStamp& stamp,
                std::ostream& out,
                std::ostream& err)
{
    if (Status s = CheckOutputFolder(folder); !s.ok()) {
        ReportRefusal(s, err);
        return 2;
    }
    Progress("Simulation des images");
    auto pair = SimulatePair(params);
    if (!pair.ok()) {
        ReportRefusal(pair.status(), err);
        return 2;
    }
    {
        // The coefficient writer leaves "," in force; this output keeps the separator it had.
        ScopedDecimalSeparator keep(DecimalSeparator());
        if (auto s = WriteWholePair(folder, params, pair.value(), stamp); !s.ok()) {
            ReportRefusal(s, err);
            return 2;
        }
    }
    const auto names = SimulationFileNames(folder);
    const auto& grid = pair.value().grid;
    out << "intra: " << names.intra.string() << "\nextra: " << names.extra.string()
        << "\ntruth: " << names.truth.string() << "\n";
    out << Tr("rayon de l'anneau : ", "donut radius: ") << FormatFixed(DonutRadiusPx(params), 2)
        << Tr(" pix, grille fine ", " px, fine grid ") << grid.n << " x " << grid.n << ", " << grid.oversample
        << " x " << grid.oversample << Tr(" échantillons par pixel\n", " samples per pixel\n");
    const int saturated = pair.value().intra.saturated + pair.value().extra.saturated;
    if (saturated > 0)
        err << "frontlys-cli: " << Tr("attention : ", "warning: ") << saturated
            << Tr(" pixels saturés à 65535 ADU (baisser --photons)\n",
                  " pixels saturated at 65535 ADU (lower --photons)\n");
    return 0;
}

void AddSimulateCommand(CLI::App& app, int* exitCode)
{
    auto options = std::make_shared<SimulateOptions>();
    auto* cmd =
        app.add_subcommand("simulate", "Simulate an intra/extra-focal star image pair by wave optics");
    cmd->footer(kSignConventionText);
    AddOptions(cmd, *options);
    AddThreadsOption(*cmd);
    cmd->callback([options, exitCode] {
        if (auto s = ApplyTextOptions(*options); !s.ok()) {
            ReportRefusal(s, std::cerr);
            *exitCode = 2;
            return;
        }
        const auto format = options->floatOutput ? FitsSampleFormat::Float32 : FitsSampleFormat::UInt16;
        *exitCode = RunSimulate(
            options->params, options->folder, StampNow(options->exposureS, format), std::cout, std::cerr);
    });
}

}  // namespace frontlys::cli
