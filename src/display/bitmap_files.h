#pragma once
// Saving a rendered picture: a Windows bitmap (24 bits per pixel, uncompressed, rows bottom-up and
// padded to four bytes, as the image windows save) or a PNG. Both are encoded in memory and then
// written atomically, so a failed save leaves any previous file as it was.

#include <filesystem>
#include <string>

#include <QImage>

#include "core/status.h"

namespace frontlys {

// The bytes of a 24-bit BMP of picture (any format; alpha is dropped). An empty result means the
// picture is null or too large for the format's 32-bit sizes.
std::string EncodeBmp24(const QImage& picture);

[[nodiscard]] Status SaveBmp24(const QImage& picture, const std::filesystem::path& file);
[[nodiscard]] Status SavePng(const QImage& picture, const std::filesystem::path& file);

}  // namespace frontlys
