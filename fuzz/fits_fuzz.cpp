// Any bytes through the FITS loader: it must refuse or load, never crash, leak or read out of bounds.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace frontlys;
    MemorySource source({reinterpret_cast<const char*>(data), size});
    auto loaded = ReadFitsImage(source, kFuzzMaxAxis);
    if (!loaded.ok()) {
        Check(loaded.status().message == kFitsNotFoundMessage);
        return 0;
    }
    const LoadedImage& l = loaded.value();
    const TImageRec& im = *l.Image;
    Check(im.Width == im.Height && im.Width >= 128 && (im.Width & (im.Width - 1)) == 0);
    Check(im.Width >= l.Header.Naxis1 && im.Height >= l.Header.Naxis2);
    MinMaxAll(l.Image.get());
    return 0;
}
