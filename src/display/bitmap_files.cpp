#include "display/bitmap_files.h"

#include <cstdint>
#include <limits>

#include <QBuffer>
#include <QByteArray>
#include <QImageWriter>

#include "core/atomic_write.h"

namespace frontlys {
namespace {

constexpr char kNothingToSave[] = "Aucune image à enregistrer";
constexpr std::uint32_t kHeaderBytes = 14 + 40;

void PutU16(std::string& out, std::uint16_t v)
{
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void PutU32(std::string& out, std::uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void PutHeaders(std::string& out, std::uint32_t width, std::uint32_t height, std::uint32_t imageBytes)
{
    out += "BM";
    PutU32(out, kHeaderBytes + imageBytes);  // file size
    PutU32(out, 0);                          // reserved
    PutU32(out, kHeaderBytes);               // offset of the pixels
    PutU32(out, 40);                         // BITMAPINFOHEADER
    PutU32(out, width);
    PutU32(out, height);  // positive: bottom-up rows
    PutU16(out, 1);       // planes
    PutU16(out, 24);      // bits per pixel
    PutU32(out, 0);       // no compression
    PutU32(out, imageBytes);
    PutU32(out, 0);  // no resolution recorded
    PutU32(out, 0);
    PutU32(out, 0);  // no colour table
    PutU32(out, 0);
}

Status NothingToSave(const std::filesystem::path& file, const char* reason)
{
    return Status::Fail(StatusCode::MissingInput, kNothingToSave, file.string() + ": " + reason);
}

}  // namespace

std::string EncodeBmp24(const QImage& picture)
{
    if (picture.isNull()) return {};
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull()) return {};
    const std::uint64_t w = static_cast<std::uint64_t>(rgb.width());
    const std::uint64_t h = static_cast<std::uint64_t>(rgb.height());
    const std::uint64_t stride = (w * 3 + 3) / 4 * 4;
    if (stride * h + kHeaderBytes > std::numeric_limits<std::uint32_t>::max()) return {};
    std::string out;
    out.reserve(kHeaderBytes + stride * h);
    PutHeaders(out,
               static_cast<std::uint32_t>(w),
               static_cast<std::uint32_t>(h),
               static_cast<std::uint32_t>(stride * h));
    for (int row = rgb.height() - 1; row >= 0; --row) {
        const uchar* p = rgb.constScanLine(row);
        for (std::uint64_t c = 0; c < w; ++c, p += 3) {
            out.push_back(static_cast<char>(p[2]));  // blue, green, red
            out.push_back(static_cast<char>(p[1]));
            out.push_back(static_cast<char>(p[0]));
        }
        out.append(stride - w * 3, '\0');
    }
    return out;
}

Status SaveBmp24(const QImage& picture, const std::filesystem::path& file)
{
    if (picture.isNull()) return NothingToSave(file, "null picture");
    const std::string bytes = EncodeBmp24(picture);
    if (bytes.empty()) return NothingToSave(file, "picture too large for a bitmap file or out of memory");
    return WriteFileAtomically(file, bytes);
}

Status SavePng(const QImage& picture, const std::filesystem::path& file)
{
    if (picture.isNull()) return NothingToSave(file, "null picture");
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(picture))
        return Status::Fail(StatusCode::IoError,
                            "Erreur d'écriture du fichier " + file.string(),
                            "PNG encoding: " + writer.errorString().toStdString());
    return WriteFileAtomically(file,
                               std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace frontlys
