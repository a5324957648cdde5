#pragma once
// The FITS header record and the table of the keywords the program recognises.
//
// Each keyword belongs to a group (one target quantity) and has a level. A parse starts with every
// group mark at 255; a keyword is applied when its level is at most its group's mark, which then
// takes the keyword's level. So a lower level wins whatever the order of the cards, and among equal
// levels the last card wins. Names compare exactly, case included. Lengths are millimetres
// (FocalLength, Diameter), pixel sizes micrometres, right ascension hours, declination degrees.
// Camera software commonly writes FOCALLEN, APTDIA, XPIXSZ/YPIXSZ, XBINNING/YBINNING and EXPTIME:
// they come last in their groups, so they serve only when the program's own keywords are absent.

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "core/status.h"
#include "files/byte_source.h"

namespace frontlys {

inline constexpr const char* kFitsNotFoundMessage = "L'image est introuvable";

inline constexpr int kFitsGroups = 35;

// Groups of the quantities whose origin the user may want to know (see TFitsHeader::SetBy).
inline constexpr int kExposureGroup = 10;
inline constexpr int kPixelXGroup = 13;
inline constexpr int kBinXGroup = 15;
inline constexpr int kFocalGroup = 22;
inline constexpr int kDiameterGroup = 29;
inline constexpr int kFocuserGroup = 34;

struct TFitsHeader {
    std::int32_t Naxis1 = 0;  // columns
    std::int32_t Naxis2 = 0;  // rows
    std::uint8_t Naxis3 = 0;  // planes
    std::uint8_t Naxis = 0;
    std::int32_t Bitpix = 0;
    std::string DateObs;
    std::array<double, 3> LowCut{};
    std::array<double, 3> HighCut{};
    std::int32_t Exposure = 0;  // seconds
    std::int16_t BinX = 1;
    std::int16_t BinY = 1;
    bool MirrorX = false;  // recorded only: the pixels are never flipped
    bool MirrorY = false;
    std::string Telescope, Observer, Instrument, Filters, Observatory;
    double FocalLength = 0;  // mm
    double RightAscension = 0;
    double Declination = 0;
    double PixelSizeX = 0;  // um
    double PixelSizeY = 0;
    std::int32_t WindowX1 = 0, WindowY1 = 0, WindowX2 = 0, WindowY2 = 0;
    std::array<std::string, 4> Comments;
    double Diameter = 0;  // mm
    double Temperature = 0;
    double Orientation = 0;
    double Seeing = 0;
    double BZero = 0;
    double BScale = 1;
    double FocuserPosition = 0;  // focuser steps (FOCUSPOS, FOCPOS or FOCUS); SetBy says if given
    // The keyword that last set each group's value (empty: none); names from the keyword table.
    std::array<std::string_view, kFitsGroups> SetBy{};

    bool operator==(const TFitsHeader&) const = default;
};

using FitsMarks = std::array<std::uint8_t, kFitsGroups>;

// How a keyword meets the group marks.
enum class FitsRule : std::uint8_t {
    Level,       // applied when its level passes the mark, which then takes the level
    Always,      // no level test and no mark (COMMENT, SUBSAMP)
    PixelScale,  // CDELT1/CDELT2: a focal length of 1 unless a focal-length keyword already set one
};

struct FitsKeyword {
    std::string_view key;
    std::uint8_t group;
    std::uint8_t level;
    FitsRule rule;
    // Stores the value; false when it does not convert. Null: recognised, nothing stored.
    bool (*apply)(TFitsHeader& header, std::string_view value);
};

// The recognised keywords (62 of the program's own and 7 of camera software).
std::span<const FitsKeyword> FitsKeywordTable();
const FitsKeyword* FindFitsKeyword(std::string_view key);

// Applies one card through the table. False when the value does not convert (the parse must stop);
// keywords that are not in the table are ignored and give true.
[[nodiscard]] bool ApplyFitsKeyword(std::string_view key,
                                    std::string_view value,
                                    TFitsHeader& header,
                                    FitsMarks& marks);

// Resets the record and parses the header; on success gives the header length in bytes (where the
// data start). Refused: a first card that is not SIMPLE, no END card, a value that does not convert.
// The keywords before a failing card stay applied.
Result<std::int64_t> ReadFitsHeader(ByteSource& source, TFitsHeader& header);
Result<std::int64_t> ReadFitsHeader(const std::filesystem::path& file, TFitsHeader& header);

}  // namespace frontlys
