#include "files/result_files.h"

#include <algorithm>
#include <cassert>
#include <cmath>

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

int NollIndex(int n, int m, bool sine)
{
    // Within radial order n, Noll's j runs from n(n+1)/2 + 1 by increasing |m|, two members per m > 0.
    int j = n * (n + 1) / 2 + 1;
    for (int mm = n % 2; mm < m; mm += 2) j += mm == 0 ? 1 : 2;
    if (m == 0) return j;
    const bool evenFirst = j % 2 == 0;
    return (evenFirst == !sine) ? j : j + 1;
}

namespace {

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char ch : text) quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    return quoted + "\"";
}

}  // namespace

std::string CoefficientCsvText(std::span<const CoefficientRow> rows)
{
    ScopedDecimalSeparator point('.');
    std::string text = "index,name,n,m,type,noll,rms_nm,peak_nm,sigma_nm\n";
    for (const CoefficientRow& r : rows) {
        text += std::to_string(r.index) + "," + CsvField(r.name) + "," + std::to_string(r.n) + "," +
                std::to_string(r.m) + "," +
                (r.m == 0 ? ""
                 : r.sine ? "sin"
                          : "cos") +
                "," + std::to_string(NollIndex(r.n, r.m, r.sine)) + "," + FormatGeneral(r.rmsNm) + "," +
                FormatGeneral(r.peakNm) + "," + (std::isfinite(r.sigmaNm) ? FormatGeneral(r.sigmaNm) : "") +
                "\n";
    }
    return text;
}

Status WriteCoefficientCsv(const std::filesystem::path& file, std::span<const CoefficientRow> rows)
{
    return WriteFileAtomically(file, CoefficientCsvText(rows));
}

std::string EnsureExtension(std::string_view name, std::string_view extension)
{
    std::string result(name);
    if (!name.ends_with(extension)) result += extension;
    return result;
}

}  // namespace frontlys
