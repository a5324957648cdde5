// Any bytes through the FITS reader and loader: each must refuse or read, never crash, leak or read
// out of bounds, and the loaded record must hold exactly plane 1 of what the reader gives.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "files/fits_reader.h"

namespace {

// Small enough that a few bytes claiming a wide image cannot ask for gigabytes of padding.
constexpr int kFuzzMaxAxis = 1024;

void Check(bool condition)
{
    if (!condition) __builtin_trap();
}

bool Same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

double PlaneOneAt(const frontlys::FitsData& d, int r, int c)
{
    return frontlys::IsInt16Code(d.ElementCode) ? d.Int16Planes(0, r, c) : d.DoublePlanes(0, r, c);
}

void CheckAgree(const frontlys::FitsData& d, const frontlys::TImageRec& im)
{
    Check(im.Width == im.Height && im.Width >= 128 && (im.Width & (im.Width - 1)) == 0);
    Check(im.Width >= d.Columns && im.Height >= d.Rows);
    for (int r = 0; r < d.Rows; ++r)
        for (int c = 0; c < d.Columns; ++c) Check(Same(PlaneOneAt(d, r, c), im.At(r, c)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace frontlys;
    MemorySource source({reinterpret_cast<const char*>(data), size});
    TFitsHeader header;
    auto read = ReadFitsFile(source, header, kFuzzMaxAxis);
    auto loaded = ReadFitsImage(source, kFuzzMaxAxis);
    Check(read.ok() == loaded.ok());
    if (!read.ok()) {
        Check(read.status().message == kFitsNotFoundMessage &&
              loaded.status().message == kFitsNotFoundMessage);
        return 0;
    }
    const FitsData& d = read.value();
    Check(IsInt16Code(d.ElementCode) ? d.DoublePlanes.empty() && !d.Int16Planes.empty()
                                     : IsDoubleCode(d.ElementCode) && d.Int16Planes.empty());
    CheckAgree(d, *loaded.value().Image);
    Check(header == loaded.value().Header);
    MinMaxAll(loaded.value().Image.get());
    return 0;
}
