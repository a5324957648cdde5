#pragma once
// Small builders for records and pixel reads shared by the display tests.

#include <initializer_list>
#include <ostream>
#include <vector>

#include <QColor>
#include <QImage>

#include "core/image_rec.h"
#include "display/palettes.h"

namespace frontlys {

inline std::ostream& operator<<(std::ostream& os, const Rgb8& c)
{
    return os << "(" << int(c.Red) << ", " << int(c.Green) << ", " << int(c.Blue) << ")";
}

// A width x height record with the given values row by row and every mask value 1.
inline ImageSlot MakeImage(int width, int height, const std::vector<double>& values, std::int16_t mask = 1)
{
    ImageSlot image = NewImage(width, height);
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) {
            image->At(r, c) = values[static_cast<std::size_t>(r * width + c)];
            image->MaskAt(r, c) = mask;
        }
    return image;
}

inline ImageSlot MakeRow(std::initializer_list<double> values)
{
    return MakeImage(static_cast<int>(values.size()), 1, std::vector<double>(values));
}

inline Rgb8 PixelAt(const QImage& picture, int x, int y)
{
    const QColor c = picture.pixelColor(x, y);
    return {static_cast<std::uint8_t>(c.red()),
            static_cast<std::uint8_t>(c.green()),
            static_cast<std::uint8_t>(c.blue())};
}

}  // namespace frontlys
