#include "files/fits_reader.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "core/numbers.h"

namespace frontlys {
namespace {

Status Refused(std::string reason)
{
    return Status::Fail(StatusCode::BadFormat, kFitsNotFoundMessage, reason);
}

int BytesPerSample(int bitpix) { return std::abs(bitpix) / 8; }

bool SupportedBitpix(int bitpix)
{
    return bitpix == 8 || bitpix == 16 || bitpix == 32 || bitpix == -32 || bitpix == -64;
}

int PlaneCountOf(const TFitsHeader& h)
{
    if (h.Naxis == 2) return 1;
    return h.Naxis3 == 3 ? 3 : h.Naxis3;
}

struct Layout {
    int planes = 0, rows = 0, cols = 0, bytes = 0;
    std::int64_t dataStart = 0;
};

Status CheckAxes(const TFitsHeader& h, int maxAxis)
{
    if (!SupportedBitpix(h.Bitpix))
        return Refused("unsupported BITPIX = " + std::to_string(h.Bitpix) + " (8, 16, 32, -32 or -64)");
    if (h.Naxis < 2) return Refused("NAXIS = " + std::to_string(h.Naxis) + ": not an image");
    if (h.Naxis1 <= 0) return Refused("missing or invalid NAXIS1 = " + std::to_string(h.Naxis1));
    if (h.Naxis2 <= 0) return Refused("missing or invalid NAXIS2 = " + std::to_string(h.Naxis2));
    if (h.Naxis1 > maxAxis || h.Naxis2 > maxAxis)
        return Refused("axis too large: " + std::to_string(h.Naxis1) + " x " + std::to_string(h.Naxis2));
    if (PlaneCountOf(h) == 0) return Refused("NAXIS3 = 0: no plane");
    return Status::Ok();
}

Result<Layout> CheckLayout(ByteSource& source, const TFitsHeader& h, std::int64_t headerLength, int maxAxis)
{
    if (Status s = CheckAxes(h, maxAxis); !s.ok()) return s;
    Layout l{PlaneCountOf(h), h.Naxis2, h.Naxis1, BytesPerSample(h.Bitpix), headerLength};
    const std::int64_t need = std::int64_t{l.planes} * l.rows * l.cols * l.bytes;
    const std::int64_t have = source.Size() - headerLength;
    if (have < need)
        return Refused("truncated: the data end early, " + std::to_string(std::max<std::int64_t>(have, 0)) +
                       " bytes of " + std::to_string(need));
    return l;
}

template <class U>
U LoadBigEndian(const char* p)
{
    U v = 0;
    for (std::size_t i = 0; i < sizeof(U); ++i)
        v = static_cast<U>((v << 8) | static_cast<unsigned char>(p[i]));
    return v;
}

// The stored value of sample i of a row, before scaling.
template <int Bitpix>
double Sample(const char* row, int i)
{
    if constexpr (Bitpix == 8) return static_cast<unsigned char>(row[i]);
    if constexpr (Bitpix == 16) return static_cast<std::int16_t>(LoadBigEndian<std::uint16_t>(row + 2 * i));
    if constexpr (Bitpix == 32) return static_cast<std::int32_t>(LoadBigEndian<std::uint32_t>(row + 4 * i));
    if constexpr (Bitpix == -32) return std::bit_cast<float>(LoadBigEndian<std::uint32_t>(row + 4 * i));
    if constexpr (Bitpix == -64) return std::bit_cast<double>(LoadBigEndian<std::uint64_t>(row + 8 * i));
}

// Calls f with the BITPIX as a compile-time constant, so the sample loops carry no switch.
template <class F>
bool WithBitpix(int bitpix, F f)
{
    switch (bitpix) {
        case 8:
            return f(std::integral_constant<int, 8>{});
        case 16:
            return f(std::integral_constant<int, 16>{});
        case 32:
            return f(std::integral_constant<int, 32>{});
        case -32:
            return f(std::integral_constant<int, -32>{});
        default:
            return f(std::integral_constant<int, -64>{});
    }
}

struct Scaling {
    double zero = 0, scale = 1;
    double operator()(double stored) const { return zero + scale * stored; }
};

Scaling ScalingOf(const TFitsHeader& h)
{
    if (h.Bitpix == -64) return {};  // doubles are taken as stored
    return {h.BZero, h.BScale};
}

bool Integral(double v) { return std::isfinite(v) && std::trunc(v) == v; }

// Reads the rows one at a time in file order, handing each to put(plane, row, bytes); put returns
// false to stop early. False on a read error.
template <class Put>
bool ForEachRow(ByteSource& source, const Layout& l, int planes, Put put)
{
    std::vector<char> buffer(static_cast<std::size_t>(l.cols) * l.bytes);
    std::int64_t offset = l.dataStart;
    for (int p = 0; p < planes; ++p) {
        for (int r = 0; r < l.rows; ++r, offset += static_cast<std::int64_t>(buffer.size())) {
            if (!source.ReadAt(offset, buffer)) return false;
            if (!put(p, r, buffer.data())) return true;
        }
    }
    return true;
}

// 16-bit storage; false in *fits when a scaled value left the int16 range (reading stops there).
bool ReadInt16(ByteSource& source, const Layout& l, int bitpix, Scaling scaling, FitsData& out, bool* fits)
{
    out.Int16Planes = Planes3D<std::int16_t>(l.planes, l.rows, l.cols);
    *fits = true;
    return WithBitpix(bitpix, [&](auto bp) {
        return ForEachRow(source, l, l.planes, [&](int p, int r, const char* row) {
            std::int16_t* dst = out.Int16Planes.Row(p, r);
            bool inRange = true;
            for (int c = 0; c < l.cols; ++c) {
                const double v = scaling(Sample<bp()>(row, c));
                inRange &= v <= 32767 && v >= -32768;
                dst[c] = static_cast<std::int16_t>(RoundHalfEven(std::clamp(v, -32768.0, 32767.0)));
            }
            return *fits = inRange;
        });
    });
}

// Unlimited doubles of the first planes, each row into rowOf(plane, row).
template <class RowOf>
bool DecodeDoubles(ByteSource& source, const Layout& l, int bitpix, Scaling scaling, int planes, RowOf rowOf)
{
    return WithBitpix(bitpix, [&](auto bp) {
        return ForEachRow(source, l, planes, [&](int p, int r, const char* row) {
            double* dst = rowOf(p, r);
            for (int c = 0; c < l.cols; ++c) dst[c] = scaling(Sample<bp()>(row, c));
            return true;
        });
    });
}

bool ReadDouble(ByteSource& source, const Layout& l, int bitpix, Scaling scaling, FitsData& out)
{
    out.DoublePlanes = Planes3D<double>(l.planes, l.rows, l.cols);
    return DecodeDoubles(
        source, l, bitpix, scaling, l.planes, [&](int p, int r) { return out.DoublePlanes.Row(p, r); });
}

Status ReadPlanes(ByteSource& source, const Layout& l, const TFitsHeader& h, FitsData& out)
{
    const Scaling scaling = ScalingOf(h);
    const bool colour = l.planes == 3;
    if ((h.Bitpix == 8 || h.Bitpix == 16) && Integral(scaling.zero) && Integral(scaling.scale)) {
        bool fits = true;
        if (!ReadInt16(source, l, h.Bitpix, scaling, out, &fits)) return Refused("read error in the data");
        if (fits) {
            out.ElementCode = colour ? kInt16Colour : kInt16;
            return Status::Ok();
        }
        out.Int16Planes = {};  // out of range: read again, unlimited, into doubles
    }
    if (!ReadDouble(source, l, h.Bitpix, scaling, out)) return Refused("read error in the data");
    out.ElementCode = colour ? kDoubleColour : kDouble;
    return Status::Ok();
}

// The smallest sample of the top-left rows x cols; blank (NaN) samples are skipped.
double SmallestSample(const Planes3D<double>& square, int rows, int cols)
{
    double lo = std::nan("");
    for (int r = 0; r < rows; ++r) {
        const double* row = square.Row(0, r);
        for (int c = 0; c < cols; ++c)
            if (!(row[c] >= lo) && !std::isnan(row[c])) lo = row[c];
    }
    return lo;
}

void SpreadColourCuts(TFitsHeader& header, int planes)
{
    if (planes != 3) return;
    header.HighCut[1] = header.HighCut[2] = header.HighCut[0];
    header.LowCut[1] = header.LowCut[2] = header.LowCut[0];
}

}  // namespace

int PaddedSide(int columns, int rows)
{
    int n = 128;
    while (n < std::max(columns, rows)) n *= 2;
    return n;
}

Result<FitsData> ReadFitsFile(ByteSource& source, TFitsHeader& header, int maxAxis)
{
    auto length = ReadFitsHeader(source, header);
    if (!length.ok()) return length.status();
    auto layout = CheckLayout(source, header, length.value(), maxAxis);
    if (!layout.ok()) return layout.status();
    const Layout& l = layout.value();
    FitsData data;
    data.PlaneCount = l.planes;
    data.Rows = l.rows;
    data.Columns = l.cols;
    if (Status s = ReadPlanes(source, l, header, data); !s.ok()) return s;
    SpreadColourCuts(header, l.planes);
    return data;
}

Result<FitsData> ReadFitsFile(const std::filesystem::path& file, TFitsHeader& header)
{
    auto source = FileSource::Open(file);
    if (!source.ok()) return source.status();
    return ReadFitsFile(*source.value(), header);
}

Result<FirstPlane> ReadFitsFirstPlane(const std::filesystem::path& file, TFitsHeader& header)
{
    auto source = FileSource::Open(file);
    if (!source.ok()) return source.status();
    auto length = ReadFitsHeader(*source.value(), header);
    if (!length.ok()) return length.status();
    auto layout = CheckLayout(*source.value(), header, length.value(), kMaxFitsAxis);
    if (!layout.ok()) return layout.status();
    const Layout& l = layout.value();
    FirstPlane plane;
    plane.Columns = l.cols;
    plane.Rows = l.rows;
    plane.Pixels.resize(static_cast<std::size_t>(l.cols) * l.rows);
    const auto rowOf = [&](int, int r) { return plane.Pixels.data() + static_cast<std::size_t>(r) * l.cols; };
    if (!DecodeDoubles(*source.value(), l, header.Bitpix, ScalingOf(header), 1, rowOf))
        return Refused("read error in the data");
    SpreadColourCuts(header, l.planes);
    return plane;
}

// Plane 1 goes straight into the square record: its values are those of the 16-bit or double
// planes of ReadFitsFile (integral scaling gives integral values), without the intermediate copy.
Result<LoadedImage> ReadFitsImage(ByteSource& source, int maxAxis)
{
    LoadedImage loaded;
    TFitsHeader& h = loaded.Header;
    auto length = ReadFitsHeader(source, h);
    if (!length.ok()) return length.status();
    auto layout = CheckLayout(source, h, length.value(), maxAxis);
    if (!layout.ok()) return layout.status();
    const Layout& l = layout.value();
    const int n = PaddedSide(l.cols, l.rows);
    Planes3D<double> square(1, n, n);
    if (!DecodeDoubles(source, l, h.Bitpix, ScalingOf(h), 1, [&](int, int r) { return square.Row(0, r); }))
        return Refused("read error in the data");
    SpreadColourCuts(h, l.planes);
    const double lo = SmallestSample(square, l.rows, l.cols);
    loaded.Image = NewImage(std::move(square), n, n, 1);
    if (lo > 0) ClampBelow(*loaded.Image, lo);  // a floor at or below 0 changes nothing
    return loaded;
}

ImageSlot PaddedRecord(std::span<const double> pixels, int columns, int rows)
{
    const int n = PaddedSide(columns, rows);
    Planes3D<double> square(1, n, n);
    for (int r = 0; r < rows; ++r)
        std::copy_n(pixels.data() + static_cast<std::size_t>(r) * columns, columns, square.Row(0, r));
    const double lo = SmallestSample(square, rows, columns);
    ImageSlot image = NewImage(std::move(square), n, n, 1);
    if (lo > 0) ClampBelow(*image, lo);
    return image;
}

Result<LoadedImage> ReadFitsImage(const std::filesystem::path& file)
{
    auto source = FileSource::Open(file);
    if (!source.ok()) return source.status();
    return ReadFitsImage(*source.value());
}

Status LoadFitsImage(const std::filesystem::path& file, ImageSlot& image, TFitsHeader& header)
{
    auto loaded = ReadFitsImage(file);
    if (!loaded.ok()) return loaded.status();
    LoadedImage& l = loaded.value();
    image = std::move(l.Image);
    header = std::move(l.Header);
    return Status::Ok();
}

}  // namespace frontlys
