#include "display/bitmap_files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>

#include <QColor>

#include "support/temp_dir.h"

namespace frontlys {
namespace {

std::uint32_t U32At(const std::string& b, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

std::uint16_t U16At(const std::string& b, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      (static_cast<unsigned char>(b[at + 1]) << 8));
}

std::string ReadAll(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// 3 x 2: distinct colours so that a swapped channel, row order or padding shows.
QImage SmallPicture()
{
    QImage p(3, 2, QImage::Format_RGB888);
    p.setPixelColor(0, 0, QColor(10, 20, 30));
    p.setPixelColor(1, 0, QColor(40, 50, 60));
    p.setPixelColor(2, 0, QColor(70, 80, 90));
    p.setPixelColor(0, 1, QColor(100, 110, 120));
    p.setPixelColor(1, 1, QColor(130, 140, 150));
    p.setPixelColor(2, 1, QColor(160, 170, 180));
    return p;
}

TEST(Bmp24, HeaderFields)
{
    const std::string b = EncodeBmp24(SmallPicture());
    ASSERT_EQ(b.size(), 54u + 2 * 12);  // rows of 9 bytes padded to 12
    EXPECT_EQ(b.substr(0, 2), "BM");
    EXPECT_EQ(U32At(b, 2), b.size());
    EXPECT_EQ(U32At(b, 10), 54u);
    EXPECT_EQ(U32At(b, 14), 40u);
    EXPECT_EQ(U32At(b, 18), 3u);
    EXPECT_EQ(U32At(b, 22), 2u);
    EXPECT_EQ(U16At(b, 26), 1);
    EXPECT_EQ(U16At(b, 28), 24);
    EXPECT_EQ(U32At(b, 30), 0u);
    EXPECT_EQ(U32At(b, 34), 24u);
}

TEST(Bmp24, RowsBottomUpInBlueGreenRedOrderWithPadding)
{
    const std::string b = EncodeBmp24(SmallPicture());
    const std::string bottom = b.substr(54, 12);
    const std::string top = b.substr(66, 12);
    EXPECT_EQ(bottom, std::string("\x78\x6e\x64\x96\x8c\x82\xb4\xaa\xa0\0\0\0", 12));
    EXPECT_EQ(top, std::string("\x1e\x14\x0a\x3c\x32\x28\x5a\x50\x46\0\0\0", 12));
}

TEST(Bmp24, AnyFormatIsWrittenAsTwentyFourBits)
{
    QImage argb(5, 1, QImage::Format_ARGB32);
    argb.fill(QColor(1, 2, 3, 128));
    const std::string b = EncodeBmp24(argb);
    ASSERT_EQ(b.size(), 54u + 16);
    EXPECT_EQ(U16At(b, 28), 24);
    EXPECT_TRUE(EncodeBmp24(QImage()).empty());
}

TEST(SavePicture, BmpFileReadsBackAsThePicture)
{
    const TempDir dir;
    const auto file = dir.path() / "essai.bmp";
    const QImage picture = SmallPicture();
    ASSERT_TRUE(SaveBmp24(picture, file).ok());
    EXPECT_EQ(ReadAll(file), EncodeBmp24(picture));
    const QImage back(QString::fromStdString(file.string()));
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB888), picture);
}

TEST(SavePicture, PngFileReadsBackAsThePicture)
{
    const TempDir dir;
    const auto file = dir.path() / "front.png";
    const QImage picture = SmallPicture();
    ASSERT_TRUE(SavePng(picture, file).ok());
    EXPECT_EQ(ReadAll(file).substr(1, 3), "PNG");
    const QImage back(QString::fromStdString(file.string()), "png");
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB888), picture);
}

TEST(SavePicture, ReplacesAnExistingFile)
{
    const TempDir dir;
    const auto file = dir.path() / "essai.bmp";
    {
        std::ofstream(file) << "old";
    }
    ASSERT_TRUE(SaveBmp24(SmallPicture(), file).ok());
    EXPECT_EQ(ReadAll(file), EncodeBmp24(SmallPicture()));
}

TEST(SavePicture, NullPictureWritesNothing)
{
    const TempDir dir;
    const auto file = dir.path() / "vide.bmp";
    for (const Status& s : {SaveBmp24(QImage(), file), SavePng(QImage(), file)}) {
        EXPECT_FALSE(s.ok());
        EXPECT_EQ(s.message, "Aucune image à enregistrer");
    }
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(SavePicture, FailedWriteReportsAndLeavesTheFolderClean)
{
    const TempDir dir;
    const auto missing = dir.path() / "absent" / "essai.bmp";
    const Status s = SaveBmp24(SmallPicture(), missing);
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.code, StatusCode::IoError);
    EXPECT_EQ(s.message, "Erreur d'écriture du fichier " + missing.string());

    // A destination that is a folder cannot be replaced: it stays, and no temporary file is left.
    const auto folder = dir.path() / "dossier.png";
    std::filesystem::create_directory(folder);
    EXPECT_FALSE(SavePng(SmallPicture(), folder).ok());
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1);
}

}  // namespace
}  // namespace frontlys
