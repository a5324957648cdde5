#include "cli/info_command.h"

#include <cmath>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/language.h"
#include "core/numbers.h"
#include "files/fits_reader.h"

namespace frontlys::cli {
namespace {

struct PixelStats {
    double min = 0, max = 0, mean = 0;
};

// Over every pixel of the record, the zero or minimum-filled margin included.
PixelStats StatsOf(TImageRec& image)
{
    MinMaxAll(&image);
    double sum = 0;
    for (int r = 0; r < image.Height; ++r) {
        const double* row = image.Row(r);
        for (int c = 0; c < image.Width; ++c) sum += row[c];
    }
    const double n = static_cast<double>(image.Width) * image.Height;
    return {image.MinValue, image.MaxValue, n > 0 ? sum / n : 0};
}

// FITS pads quoted strings with blanks; they mean nothing on a terminal or in JSON.
std::string Shown(const std::string& text)
{
    const auto end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

using Json = nlohmann::ordered_json;

Json Number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

// The keyword each value came from; absent when no keyword set it.
Json Sources(const TFitsHeader& h)
{
    Json j = Json::object();
    const std::pair<const char*, int> fields[] = {{"focal_mm", kFocalGroup},
                                                  {"diameter_mm", kDiameterGroup},
                                                  {"pixel_um", kPixelXGroup},
                                                  {"binx", kBinXGroup},
                                                  {"exposure_s", kExposureGroup}};
    for (const auto& [name, group] : fields)
        if (!h.SetBy[group].empty()) j[name] = std::string(h.SetBy[group]);
    return j;
}

// " (KEYWORD)" after a value that a keyword set.
std::string From(const TFitsHeader& h, int group)
{
    if (h.SetBy[group].empty()) return {};
    std::string text = " (" + std::string(h.SetBy[group]);
    if (group == kPixelXGroup && h.SetBy[group] == "XPIXSZ" && h.SetBy[kBinXGroup] == "XBINNING")
        text += Tr(" / XBINNING, pixel non binné", " / XBINNING, unbinned pixel");
    return text + ")";
}

Json AsJson(const std::string& file, const LoadedImage& loaded, const PixelStats& s)
{
    const TFitsHeader& h = loaded.Header;
    return Json{
        {"file", file},
        {"bitpix", h.Bitpix},
        {"naxis1", h.Naxis1},
        {"naxis2", h.Naxis2},
        {"padded", loaded.Image->Width},
        {"min", Number(s.min)},
        {"max", Number(s.max)},
        {"mean", Number(s.mean)},
        {"focal_mm", Number(h.FocalLength)},
        {"diameter_mm", Number(h.Diameter)},
        {"pixel_um", Number(h.PixelSizeX)},
        {"binx", h.BinX},
        {"date_obs", Shown(h.DateObs)},
        {"exposure_s", h.Exposure},
        {"telescope", Shown(h.Telescope)},
        {"instrument", Shown(h.Instrument)},
        {"observer", Shown(h.Observer)},
        {"sources", Sources(h)},
    };
}

void PrintText(std::ostream& out, const std::string& file, const LoadedImage& loaded, const PixelStats& s)
{
    const TFitsHeader& h = loaded.Header;
    out << "file: " << file << "\n"
        << "bitpix: " << h.Bitpix << "\n"
        << "size: " << h.Naxis1 << " x " << h.Naxis2 << "\n"
        << "padded: " << loaded.Image->Width << " x " << loaded.Image->Height << "\n"
        << "min: " << FormatGeneral(s.min) << "\n"
        << "max: " << FormatGeneral(s.max) << "\n"
        << "mean: " << FormatGeneral(s.mean) << "\n"
        << "focal_mm: " << FormatGeneral(h.FocalLength) << From(h, kFocalGroup) << "\n"
        << "diameter_mm: " << FormatGeneral(h.Diameter) << From(h, kDiameterGroup) << "\n"
        << "pixel_um: " << FormatGeneral(h.PixelSizeX) << From(h, kPixelXGroup) << "\n"
        << "binx: " << h.BinX << From(h, kBinXGroup) << "\n"
        << "date_obs: " << Shown(h.DateObs) << "\n"
        << "exposure_s: " << h.Exposure << From(h, kExposureGroup) << "\n"
        << "telescope: " << Shown(h.Telescope) << "\n"
        << "instrument: " << Shown(h.Instrument) << "\n"
        << "observer: " << Shown(h.Observer) << "\n";
}

}  // namespace

int RunInfo(const std::vector<std::string>& files, bool json, std::ostream& out, std::ostream& err)
{
    int exitCode = 0;
    bool first = true;
    for (const std::string& file : files) {
        auto loaded = ReadFitsImage(std::filesystem::path(file));
        if (!loaded.ok()) {
            PrintRefusal(err, "info: " + file, loaded.status());
            exitCode = 2;
            continue;
        }
        const PixelStats stats = StatsOf(*loaded.value().Image);
        if (json) {
            // Header texts are bytes from the file: invalid UTF-8 is replaced, never thrown on.
            out << AsJson(file, loaded.value(), stats).dump(-1, ' ', false, Json::error_handler_t::replace)
                << "\n";
        } else {
            if (!first) out << "\n";
            PrintText(out, file, loaded.value(), stats);
        }
        first = false;
    }
    out.flush();
    return exitCode;
}

void AddInfoCommand(CLI::App& app, int* exitCode)
{
    auto* cmd = app.add_subcommand("info", "Header fields and statistics of FITS files");
    auto files = std::make_shared<std::vector<std::string>>();
    auto json = std::make_shared<bool>(false);
    cmd->add_option("files", *files, "FITS files")->required();
    cmd->add_flag("--json", *json, "One JSON object per file");
    cmd->callback([exitCode, files, json] { *exitCode = RunInfo(*files, *json, std::cout, std::cerr); });
}

}  // namespace frontlys::cli
