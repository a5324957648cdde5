#include "files/result_files.h"

#include <algorithm>
#include <cassert>

#include "core/atomic_write.h"
#include "core/numbers.h"

namespace frontlys {
namespace {

constexpr std::string_view kEol = "\r\n";

// The separator is part of each format, not the user's choice: set it for the whole text.
template <class Build>
std::string WithSeparator(char separator, Build build)
{
    SetDecimalSeparator(separator);
    std::string text = build();
    SetDecimalSeparator(',');
    return text;
}

void AppendOpdLine(std::string& text, double x, double y, double w)
{
    text += FormatGeneral(x);
    text += ',';
    text += FormatGeneral(y);
    text += ',';
    text += FormatGeneral(w);
    text += kEol;
}

bool InUnitSquare(double v) { return v >= -1.0 && v <= 1.0; }

}  // namespace

std::string CoefficientFileText(std::string_view fileName,
                                std::span<const std::string> names,
                                std::span<const double> rmsNm)
{
    assert(names.size() >= rmsNm.size());
    return WithSeparator(',', [&] {
        std::string text = "Fichier =";
        text += fileName;
        text += kEol;
        text += "Zernike,Nom,RMS nm";
        text += kEol;
        for (std::size_t k = 0; k < rmsNm.size(); ++k) {
            text += std::to_string(k + 1) + ";" + names[k] + ";" + FormatGeneral(rmsNm[k]);
            text += kEol;
        }
        return text;
    });
}

Status WriteCoefficientFile(const std::filesystem::path& file,
                            std::span<const std::string> names,
                            std::span<const double> rmsNm)
{
    const std::string text = CoefficientFileText(file.string(), names, rmsNm);
    return WriteFileAtomically(file, text);
}

std::string OpdFileText(const TImageRec& wavefront)
{
    return WithSeparator('.', [&] {
        const double radius = wavefront.Radius;
        std::string text = FormatGeneral(kOpdWavelengthNm) + "," + FormatGeneral(2 * radius);
        text += kEol;
        for (int r = 0; r < wavefront.Height; ++r) {
            const double y = wavefront.YAxis[r];
            if (!InUnitSquare(y)) continue;
            for (int c = 0; c < wavefront.Width; ++c) {
                const double x = wavefront.XAxis[c];
                if (!InUnitSquare(x)) continue;
                // Adding +0 turns the -0 of a masked-out negative value into a plain 0.
                const double w = wavefront.MaskAt(r, c) * wavefront.At(r, c) / kOpdWavelengthNm + 0.0;
                AppendOpdLine(text, x * radius + 0.0, y * radius + 0.0, w);
            }
        }
        return text;
    });
}

Status WriteOpdFile(const std::filesystem::path& file, const TImageRec* wavefront)
{
    if (!wavefront) return Status::Ok();
    const std::string text = OpdFileText(*wavefront);
    return WriteFileAtomically(file, text);
}

std::string EnsureExtension(std::string_view name, std::string_view extension)
{
    std::string result(name);
    if (!name.ends_with(extension)) result += extension;
    return result;
}

}  // namespace frontlys
