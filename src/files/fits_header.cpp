#include "files/fits_header.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "core/numbers.h"

namespace frontlys {
namespace {

constexpr std::size_t kBlock = 2880;
constexpr std::size_t kCard = 80;
constexpr std::size_t kMaxText = 80;

template <class T>
bool IntInto(T& field, std::string_view value)
{
    const auto v = ParseInteger(value);
    if (!v || *v < std::numeric_limits<T>::min() || *v > std::numeric_limits<T>::max()) return false;
    field = static_cast<T>(*v);
    return true;
}

bool NumberInto(double& field, std::string_view value, double factor = 1)
{
    const auto v = ParseNumber(value);
    if (!v) return false;
    field = *v * factor;
    return true;
}

bool TextInto(std::string& field, std::string_view value)
{
    field = std::string(value.substr(0, kMaxText));
    return true;
}

bool RoundedInto(std::int32_t& field, std::string_view value)
{
    const auto v = ParseNumber(value);
    if (!v || std::abs(*v) > std::numeric_limits<std::int32_t>::max()) return false;
    field = static_cast<std::int32_t>(RoundToInt(*v));
    return true;
}

bool AllCutsInto(std::array<double, 3>& cuts, std::string_view value)
{
    double v = 0;
    if (!NumberInto(v, value)) return false;
    cuts.fill(v);
    return true;
}

bool FocalFromPlateScale(TFitsHeader& h, std::string_view value)
{
    double v = 0;
    if (!NumberInto(v, value)) return false;
    if (v != 0) h.FocalLength = 206.27 / v;  // a zero scale says nothing about the focal length
    return true;
}

bool SubSample(TFitsHeader& h, std::string_view value)
{
    std::int32_t factor = 0;
    if (!IntInto(factor, value)) return false;
    h.PixelSizeX *= factor;
    h.PixelSizeY = h.PixelSizeX;
    return true;
}

bool StoreComment(TFitsHeader& h, std::string_view value)
{
    for (std::string& slot : h.Comments) {
        if (slot.empty()) return TextInto(slot, value);
    }
    return true;  // the first four are kept
}

using F = TFitsHeader;
using V = std::string_view;
constexpr auto L = FitsRule::Level;

constexpr FitsKeyword kTable[] = {
    {"BITPIX", 1, 0, L, [](F& h, V v) { return IntInto(h.Bitpix, v); }},
    {"NAXIS", 2, 0, L, [](F& h, V v) { return IntInto(h.Naxis, v); }},
    {"NAXIS1", 3, 0, L, [](F& h, V v) { return IntInto(h.Naxis1, v); }},
    {"NAXIS2", 4, 0, L, [](F& h, V v) { return IntInto(h.Naxis2, v); }},
    {"NAXIS3", 5, 0, L, [](F& h, V v) { return IntInto(h.Naxis3, v); }},
    {"DATE-OBS", 6, 0, L, [](F& h, V v) { return TextInto(h.DateObs, v); }},
    // Real numbers: an integral rounding would turn a BSCALE of 0.5 into an empty image.
    {"BZERO", 7, 0, L, [](F& h, V v) { return NumberInto(h.BZero, v); }},
    {"BSCALE", 8, 0, L, [](F& h, V v) { return NumberInto(h.BScale, v); }},
    {"OBSERVER", 9, 0, L, [](F& h, V v) { return TextInto(h.Observer, v); }},
    {"EXPOSURE", 10, 0, L, [](F& h, V v) { return RoundedInto(h.Exposure, v); }},
    {"TELESCOP", 11, 0, L, [](F& h, V v) { return TextInto(h.Telescope, v); }},
    {"INSTRUME", 12, 0, L, [](F& h, V v) { return TextInto(h.Instrument, v); }},
    {"CDELTM1", 13, 2, L, [](F& h, V v) { return NumberInto(h.PixelSizeX, v, 1000); }},
    {"CDELTM2", 14, 2, L, [](F& h, V v) { return NumberInto(h.PixelSizeY, v, 1000); }},
    {"BINX", 15, 0, L, [](F& h, V v) { return IntInto(h.BinX, v); }},
    {"BINY", 16, 0, L, [](F& h, V v) { return IntInto(h.BinY, v); }},
    {"CRVAL1", 17, 0, L, [](F& h, V v) { return NumberInto(h.RightAscension, v, 1.0 / 15); }},
    {"CRVAL2", 18, 0, L, [](F& h, V v) { return NumberInto(h.Declination, v); }},
    {"FILTERS", 19, 0, L, [](F& h, V v) { return TextInto(h.Filters, v); }},
    {"MIRRORX", 20, 2, L, [](F& h, V v) { return h.MirrorX = v == "T", true; }},
    {"MIRORX", 20, 3, L, [](F& h, V v) { return h.MirrorX = v == "T", true; }},
    {"MIRRORY", 21, 2, L, [](F& h, V v) { return h.MirrorY = v == "T", true; }},
    {"MIRORY", 21, 3, L, [](F& h, V v) { return h.MirrorY = v == "T", true; }},
    {"FOCLEN", 22, 0, L, [](F& h, V v) { return NumberInto(h.FocalLength, v, 1000); }},
    {"WINDOW", 0, 0, L, nullptr},
    {"DATAMAX", 23, 0, L, [](F& h, V v) { return AllCutsInto(h.HighCut, v); }},
    {"DATAMIN", 24, 0, L, [](F& h, V v) { return AllCutsInto(h.LowCut, v); }},
    {"PLATE", 0, 0, L, nullptr},
    {"COMMENT", 0, 0, FitsRule::Always, StoreComment},
    {"RA", 17, 2, L, [](F& h, V v) { return NumberInto(h.RightAscension, v, 1.0 / 15); }},
    {"DEC", 18, 2, L, [](F& h, V v) { return NumberInto(h.Declination, v); }},
    {"MIPS-HI", 23, 2, L, [](F& h, V v) { return NumberInto(h.HighCut[0], v); }},
    {"MIPS-LO", 24, 2, L, [](F& h, V v) { return NumberInto(h.LowCut[0], v); }},
    {"THRESH", 23, 3, L, [](F& h, V v) { return NumberInto(h.HighCut[0], v); }},
    {"THRESL", 24, 3, L, [](F& h, V v) { return NumberInto(h.LowCut[0], v); }},
    {"MIPS-X1", 25, 2, L, [](F& h, V v) { return IntInto(h.WindowX1, v); }},
    {"MIPS-Y1", 26, 2, L, [](F& h, V v) { return IntInto(h.WindowY1, v); }},
    {"MIPS-X2", 27, 2, L, [](F& h, V v) { return IntInto(h.WindowX2, v); }},
    {"MIPS-Y2", 28, 2, L, [](F& h, V v) { return IntInto(h.WindowY2, v); }},
    {"X1", 25, 0, L, [](F& h, V v) { return IntInto(h.WindowX1, v); }},
    {"Y1", 26, 0, L, [](F& h, V v) { return IntInto(h.WindowY1, v); }},
    {"X2", 27, 0, L, [](F& h, V v) { return IntInto(h.WindowX2, v); }},
    {"Y2", 28, 0, L, [](F& h, V v) { return IntInto(h.WindowY2, v); }},
    {"MIPS-BIX", 15, 2, L, [](F& h, V v) { return IntInto(h.BinX, v); }},
    {"MIPS-BIY", 16, 2, L, [](F& h, V v) { return IntInto(h.BinY, v); }},
    {"FOCAL", 22, 2, L, [](F& h, V v) { return NumberInto(h.FocalLength, v, 1.0 / 1000); }},
    {"TIME-OBS", 33, 3, L, nullptr},
    {"DIAMETER", 29, 0, L, [](F& h, V v) { return NumberInto(h.Diameter, v); }},
    {"TEMP", 30, 0, L, [](F& h, V v) { return NumberInto(h.Temperature, v); }},
    {"ORIENT", 31, 2, L, [](F& h, V v) { return NumberInto(h.Orientation, v); }},
    {"SEEING", 32, 0, L, [](F& h, V v) { return NumberInto(h.Seeing, v); }},
    {"UT", 33, 2, L, nullptr},
    {"CROTA2", 31, 0, L, [](F& h, V v) { return NumberInto(h.Orientation, v); }},
    {"XPIXELSZ", 13, 3, L, [](F& h, V v) { return NumberInto(h.PixelSizeX, v); }},
    {"YPIXELSZ", 14, 3, L, [](F& h, V v) { return NumberInto(h.PixelSizeY, v); }},
    {"AMDX1", 22, 3, L, FocalFromPlateScale},
    {"SUBSAMP", 13, 3, FitsRule::Always, SubSample},
    {"CDELT1", 13, 9, FitsRule::PixelScale, nullptr},
    {"CDELT2", 14, 9, FitsRule::PixelScale, nullptr},
    {"OBJCTRA", 17, 9, L, nullptr},
    {"OBJCTDEC", 18, 9, L, nullptr},
    {"OBSERVAT", 0, 0, L, [](F& h, V v) { return TextInto(h.Observatory, v); }},
    // Camera software, after every keyword of the program's own in the same group.
    {"FOCALLEN", 22, 4, L, [](F& h, V v) { return NumberInto(h.FocalLength, v); }},
    {"APTDIA", 29, 4, L, [](F& h, V v) { return NumberInto(h.Diameter, v); }},
    {"XPIXSZ", 13, 4, L, [](F& h, V v) { return NumberInto(h.PixelSizeX, v); }},
    {"YPIXSZ", 14, 4, L, [](F& h, V v) { return NumberInto(h.PixelSizeY, v); }},
    {"XBINNING", 15, 4, L, [](F& h, V v) { return IntInto(h.BinX, v); }},
    {"YBINNING", 16, 4, L, [](F& h, V v) { return IntInto(h.BinY, v); }},
    {"EXPTIME", 10, 4, L, [](F& h, V v) { return RoundedInto(h.Exposure, v); }},
    // The focuser's position, which tells which image of a pair is on which side of focus.
    {"FOCUSPOS", 34, 0, L, [](F& h, V v) { return NumberInto(h.FocuserPosition, v); }},
    {"FOCPOS", 34, 1, L, [](F& h, V v) { return NumberInto(h.FocuserPosition, v); }},
    {"FOCUS", 34, 2, L, [](F& h, V v) { return NumberInto(h.FocuserPosition, v); }},
};
static_assert(std::size(kTable) == 72);

void ApplyPixelScale(const FitsKeyword& k, TFitsHeader& header, FitsMarks& marks)
{
    // A plate scale without a known focal length marks the focal length as "1"; a focal-length
    // keyword after it still wins, since the focal group keeps its mark.
    if (marks[kFocalGroup] >= k.level) {
        header.FocalLength = 1;
        header.SetBy[kFocalGroup] = k.key;
        marks[k.group] = k.level;
    }
    if (k.level <= marks[k.group]) marks[k.group] = k.level;
}

std::string_view TrimmedKeyword(std::string_view card)
{
    std::string_view key = card.substr(0, 8);
    while (!key.empty() && key.front() == ' ') key.remove_prefix(1);
    while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
    return key;
}

std::string_view TrimTrailingControls(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// Columns 11 to 80 of a value card: a quoted string (doubled quotes stand for one, "/" inside is
// text) or a bare value ended by "/". Empty optional: nothing to apply.
std::optional<std::string> CardValue(std::string_view field)
{
    std::string collected;
    bool inString = false;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char ch = field[i];
        if (!inString) {
            if (ch == '/') break;
            if (ch == '\'') {
                inString = true;
                collected.clear();
            } else {
                collected += ch;
            }
        } else if (ch != '\'') {
            collected += ch;
        } else if (i + 1 < field.size() && field[i + 1] == '\'') {
            collected += '\'';
            ++i;
        } else {
            return collected;  // a closed string is taken exactly, trailing blanks included
        }
    }
    std::string bare(TrimBlanks(collected));
    if (bare.empty()) return std::nullopt;
    return bare;
}

enum class CardOutcome { Next, End, Failed };

CardOutcome HandleCard(
    std::string_view card, bool first, TFitsHeader& header, FitsMarks& marks, std::string& why)
{
    std::string key(TrimmedKeyword(card));
    if (first && key != "SIMPLE") {
        why = "not a FITS file: the first card is not SIMPLE";
        return CardOutcome::Failed;
    }
    if (key == "END") return CardOutcome::End;
    std::optional<std::string> value;
    if (card.substr(8, 2) != "= ") {
        if (key.empty()) key = "COMMENT";
        value = std::string(TrimTrailingControls(card.substr(8)));
    } else {
        value = CardValue(card.substr(10));
    }
    if (value && !ApplyFitsKeyword(key, *value, header, marks)) {
        why = "bad value for " + key + ": '" + *value + "'";
        return CardOutcome::Failed;
    }
    return CardOutcome::Next;
}

// XPIXSZ is the binned pixel when XBINNING is there too; the program multiplies by the binning itself.
void UnbinCameraPixel(TFitsHeader& h)
{
    constexpr int kPixelYGroup = kPixelXGroup + 1, kBinYGroup = kBinXGroup + 1;
    if (h.SetBy[kPixelXGroup] == "XPIXSZ" && h.SetBy[kBinXGroup] == "XBINNING" && h.BinX > 0)
        h.PixelSizeX /= h.BinX;
    if (h.SetBy[kPixelYGroup] == "YPIXSZ" && h.SetBy[kBinYGroup] == "YBINNING" && h.BinY > 0)
        h.PixelSizeY /= h.BinY;
}

Status HeaderFailure(std::string reason)
{
    return Status::Fail(StatusCode::BadFormat, kFitsNotFoundMessage, reason);
}

}  // namespace

std::span<const FitsKeyword> FitsKeywordTable() { return kTable; }

const FitsKeyword* FindFitsKeyword(std::string_view key)
{
    for (const FitsKeyword& k : kTable)
        if (k.key == key) return &k;
    return nullptr;
}

bool ApplyFitsKeyword(std::string_view key, std::string_view value, TFitsHeader& header, FitsMarks& marks)
{
    const FitsKeyword* k = FindFitsKeyword(key);
    if (!k) return true;
    switch (k->rule) {
        case FitsRule::Always:
            return k->apply(header, value);
        case FitsRule::PixelScale:
            ApplyPixelScale(*k, header, marks);
            return true;
        case FitsRule::Level:
            break;
    }
    if (k->level > marks[k->group]) return true;
    if (k->apply && !k->apply(header, value)) return false;
    marks[k->group] = k->level;
    if (k->apply) header.SetBy[k->group] = k->key;
    return true;
}

Result<std::int64_t> ReadFitsHeader(ByteSource& source, TFitsHeader& header)
{
    header = TFitsHeader{};
    FitsMarks marks;
    marks.fill(255);
    std::vector<char> block(kBlock);
    std::int64_t offset = 0;
    std::string why;
    for (; source.Size() - offset >= static_cast<std::int64_t>(kBlock); offset += kBlock) {
        if (!source.ReadAt(offset, block)) return HeaderFailure("read error in the header");
        for (std::size_t c = 0; c < kBlock / kCard; ++c) {
            const std::string_view card(block.data() + c * kCard, kCard);
            switch (HandleCard(card, offset == 0 && c == 0, header, marks, why)) {
                case CardOutcome::End:
                    UnbinCameraPixel(header);
                    return offset + static_cast<std::int64_t>(kBlock);
                case CardOutcome::Failed:
                    return HeaderFailure(why);
                case CardOutcome::Next:
                    break;
            }
        }
    }
    return HeaderFailure(offset == 0 ? "not a FITS file: shorter than one 2880-byte header block"
                                     : "truncated header: no END card");
}

Result<std::int64_t> ReadFitsHeader(const std::filesystem::path& file, TFitsHeader& header)
{
    auto source = FileSource::Open(file);
    if (!source.ok()) return source.status();
    return ReadFitsHeader(*source.value(), header);
}

}  // namespace frontlys
