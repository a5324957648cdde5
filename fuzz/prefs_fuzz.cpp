// Any text as prefs.txt: the values that stay must be usable, and a written file must read back.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "files/prefs.h"

namespace {

void Check(bool condition)
{
    if (!condition) __builtin_trap();
}

bool Usable(const frontlys::Tpreferences& p)
{
    const auto f = p.FactMultDiff;
    return p.PltSignal <= 5 && p.PltFront <= 5 && p.PltPSF <= 5 && p.PltInterfero <= 5 &&
           (f == 1 || f == 2 || f == 4 || f == 8) && p.NIter >= 1 && p.ExtractSeuil <= 100 &&
           p.NPolyZern <= 28 &&
           (p.ExtractDim == 8 || p.ExtractDim == 16 || p.ExtractDim == 32 || p.ExtractDim == 64) &&
           std::isfinite(p.LambdaRef) && p.LambdaRef > 0 && std::isfinite(p.LambdaInterfero) &&
           p.LambdaInterfero > 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace frontlys;
    Tpreferences p;
    std::vector<std::string> rejected;
    (void)ParsePrefsText(std::string_view(reinterpret_cast<const char*>(data), size), p, &rejected);
    Check(Usable(p));
    // The numbers survive a write and a read (texts aside: a text can itself look like a key line).
    Tpreferences numbers = p;
    numbers.Aide = numbers.Images = numbers.Preferences = "";
    Tpreferences back;
    Check(ParsePrefsText(FormatPrefsText(numbers), back).ok());
    Check(std::abs(back.LambdaRef - numbers.LambdaRef) <= 1e-13 * numbers.LambdaRef);
    back.LambdaRef = numbers.LambdaRef;
    Check(std::abs(back.LambdaInterfero - numbers.LambdaInterfero) <= 1e-13 * numbers.LambdaInterfero);
    back.LambdaInterfero = numbers.LambdaInterfero;
    Check(back == numbers);
    return 0;
}
