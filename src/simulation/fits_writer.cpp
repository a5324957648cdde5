#include "simulation/fits_writer.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/atomic_write.h"

namespace frontlys {
namespace {

constexpr std::size_t kBlock = 2880;
constexpr std::size_t kCard = 80;

void PadToBlock(std::string& bytes, char fill)
{
    const std::size_t rest = bytes.size() % kBlock;
    if (rest != 0) bytes.append(kBlock - rest, fill);
}

// Fixed-format value: right-justified in columns 11 to 30 unless it is a quoted text.
std::string AlignValue(const std::string& value)
{
    if (!value.empty() && value.front() == '\'') return value;
    if (value.size() >= 20) return value;
    return std::string(20 - value.size(), ' ') + value;
}

template <class T>
void AppendBigEndian(std::string& bytes, T value)
{
    unsigned char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::little) std::reverse(raw, raw + sizeof(T));
    bytes.append(reinterpret_cast<const char*>(raw), sizeof(T));
}

std::int16_t UnsignedCameraSample(double value)
{
    const double adu = std::isfinite(value) ? std::clamp(std::nearbyint(value), 0.0, 65535.0) : 0.0;
    return static_cast<std::int16_t>(static_cast<int>(adu) - 32768);
}

void AppendSamples(std::string& bytes, const Planes3D<double>& pixels, FitsSampleFormat format)
{
    const auto plane = pixels.Plane(0);
    for (double value : plane) {
        if (format == FitsSampleFormat::UInt16) {
            AppendBigEndian(bytes, UnsignedCameraSample(value));
        } else {
            AppendBigEndian(bytes, static_cast<float>(value));
        }
    }
}

std::string Header(const Planes3D<double>& pixels, const FitsImageHeader& h, FitsSampleFormat format)
{
    const bool u16 = format == FitsSampleFormat::UInt16;
    std::string out;
    out += FitsCard("SIMPLE", "T");
    out += FitsCard("BITPIX", u16 ? "16" : "-32");
    out += FitsCard("NAXIS", "2");
    out += FitsCard("NAXIS1", std::to_string(pixels.cols()));
    out += FitsCard("NAXIS2", std::to_string(pixels.rows()));
    if (u16) {
        out += FitsCard("BZERO", "32768");
        out += FitsCard("BSCALE", "1");
    }
    out += FitsCard("DATE-OBS", FitsTextValue(h.dateObs));
    out += FitsCard("EXPOSURE", std::to_string(h.exposureS));
    out += FitsCard("TELESCOP", FitsTextValue(h.telescope));
    out += FitsCard("INSTRUME", FitsTextValue(h.instrument));
    out += FitsCard("FOCLEN", FitsNumberValue(h.focalLengthM));
    out += FitsCard("DIAMETER", FitsNumberValue(h.diameterMm));
    out += FitsCard("XPIXELSZ", FitsNumberValue(h.pixelSizeUm));
    out += FitsCard("YPIXELSZ", FitsNumberValue(h.pixelSizeUm));
    out += FitsCard("BINX", std::to_string(h.binning));
    out += FitsCard("BINY", std::to_string(h.binning));
    // The same values as camera software writes them, for other programs (XPIXSZ is the binned pixel).
    out += FitsCard("FOCALLEN", FitsNumberValue(h.focalLengthM * 1000));
    out += FitsCard("APTDIA", FitsNumberValue(h.diameterMm));
    out += FitsCard("XPIXSZ", FitsNumberValue(h.pixelSizeUm * h.binning));
    out += FitsCard("YPIXSZ", FitsNumberValue(h.pixelSizeUm * h.binning));
    out += FitsCard("XBINNING", std::to_string(h.binning));
    out += FitsCard("YBINNING", std::to_string(h.binning));
    out += FitsCard("EXPTIME", std::to_string(h.exposureS));
    for (const auto& comment : h.comments) out += FitsCard("COMMENT", comment);
    out += FitsCard("END", "");
    PadToBlock(out, ' ');
    return out;
}

}  // namespace

std::string FitsTextValue(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') quoted += '\'';
        quoted += c;
    }
    // The standard asks for at least eight characters between the quotes.
    if (quoted.size() < 9) quoted.append(9 - quoted.size(), ' ');
    if (quoted.size() > 69) quoted.resize(69);
    return quoted + "'";
}

std::string FitsNumberValue(double value)
{
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 12);
    std::string text(buf, res.ptr);
    // A bare integer stays readable as a real too.
    if (text.find_first_of(".e") == std::string::npos) text += ".0";
    return text;
}

std::string FitsCard(const std::string& keyword, const std::string& value)
{
    std::string card = keyword.substr(0, 8);
    card.resize(8, ' ');
    if (keyword == "COMMENT") {
        card += value.substr(0, kCard - 8);
    } else if (keyword != "END") {
        card += "= " + AlignValue(value);
    }
    card.resize(kCard, ' ');
    return card;
}

std::string EncodeFitsImage(const Planes3D<double>& pixels,
                            const FitsImageHeader& header,
                            FitsSampleFormat format)
{
    std::string bytes = Header(pixels, header, format);
    AppendSamples(bytes, pixels, format);
    PadToBlock(bytes, '\0');
    return bytes;
}

Status WriteFitsImage(const std::filesystem::path& path,
                      const Planes3D<double>& pixels,
                      const FitsImageHeader& header,
                      FitsSampleFormat format)
{
    if (pixels.empty()) {
        return Status::Fail(StatusCode::MissingInput, "Image vide", "no pixels to write to " + path.string());
    }
    return WriteFileAtomically(path, EncodeFitsImage(pixels, header, format));
}

}  // namespace frontlys
