#pragma once
// The two text result files: the Zernike coefficient table and the optical-path-difference file of
// the external simulation program. Both end their lines with CR LF and are written atomically: a
// failed write returns the reason and leaves any previous file exactly as it was.
//
// Decimal separator: the coefficient file is written with "," and leaves the process-wide
// separator at ","; the OPD file is written with "." and leaves it at "," too, as the program always
// has (so after either export numbers are shown with a comma).

#include <filesystem>
#include <limits>
#include <span>
#include <string>
#include <string_view>

#include "core/image_rec.h"
#include "core/status.h"

namespace frontlys {

// Wavelength (nm) fixed by the OPD format: the header's first field and the divisor of the values.
inline constexpr double kOpdWavelengthNm = 560.0;

// The coefficient table as text. `names[k-1]` and `rmsNm[k-1]` describe term k = 1 .. P, with P the
// number of RMS values (the names must cover them); the RMS values are in nanometres, already
// converted from coefficients by the caller. `fileName` is written after "Fichier =" on line 1.
std::string CoefficientFileText(std::string_view fileName,
                                std::span<const std::string> names,
                                std::span<const double> rmsNm);
[[nodiscard]] Status WriteCoefficientFile(const std::filesystem::path& file,
                                          std::span<const std::string> names,
                                          std::span<const double> rmsNm);

// The OPD text of a wavefront in nanometres: "560,<2 x Radius>", then "x,y,w" for every pixel whose
// XAxis and YAxis coordinates both lie in [-1, 1], row by row, x = XAxis x Radius and
// y = YAxis x Radius (pixels from the pupil centre, y up), w = mask x value / 560 (waves).
std::string OpdFileText(const TImageRec& wavefront);
// Writes nothing and succeeds when `wavefront` is null (there is no image to export).
[[nodiscard]] Status WriteOpdFile(const std::filesystem::path& file, const TImageRec* wavefront);

// One term of the table that other programs read (coefficients.csv).
struct CoefficientRow {
    int index = 0;  // the program's term number, 1 .. 28
    std::string name;
    int n = 0;  // radial order
    int m = 0;  // azimuthal order, >= 0
    bool sine = false;
    double rmsNm = 0;                                           // RMS contribution
    double peakNm = 0;                                          // coefficient of the peak-normalised term
    double sigmaNm = std::numeric_limits<double>::quiet_NaN();  // 1-sigma of rmsNm; NaN: none (empty field)
};

// Noll's index of the term (n, m) with its cos or sin member (even j for cos, odd for sin).
int NollIndex(int n, int m, bool sine);

// A plain CSV: "." as decimal separator whatever the separator in force (which is left as it was),
// one header line, one row per term, LF line ends, names quoted when they need it.
std::string CoefficientCsvText(std::span<const CoefficientRow> rows);
[[nodiscard]] Status WriteCoefficientCsv(const std::filesystem::path& file,
                                         std::span<const CoefficientRow> rows);

// The name with `extension` appended unless it already ends with it (case included).
std::string EnsureExtension(std::string_view name, std::string_view extension);

}  // namespace frontlys
