// The files the simulator writes must load through the program's own reader, values and header.
#include "simulation/fits_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "core/numbers.h"
#include "files/fits_reader.h"
#include "support/temp_dir.h"

namespace frontlys {
namespace {

Planes3D<double> Ramp(int rows, int cols)
{
    Planes3D<double> p(1, rows, cols);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) p(0, r, c) = 100.0 * r + c + 0.25;
    }
    return p;
}

FitsImageHeader Header()
{
    FitsImageHeader h;
    h.focalLengthM = 1.2;
    h.diameterMm = 200;
    h.pixelSizeUm = 5.4;
    h.binning = 2;
    h.dateObs = "2026-12-08T21:30:05";
    h.exposureS = 12;
    h.telescope = "Newton 200/1200 l'essai";
    h.instrument = "Simulation";
    return h;
}

TEST(FitsWriter, SixteenBitFileReadsBackRoundedWithItsHeader)
{
    TempDir dir;
    const auto file = dir.path() / "intra.fits";
    auto pixels = Ramp(30, 40);
    pixels(0, 0, 0) = 70000;  // beyond the converter: clipped
    pixels(0, 0, 1) = -5;
    ASSERT_TRUE(WriteFitsImage(file, pixels, Header(), FitsSampleFormat::UInt16).ok());
    TFitsHeader header;
    auto data = ReadFitsFile(file, header);
    ASSERT_TRUE(data.ok()) << data.status().reason;
    EXPECT_EQ(data.value().Columns, 40);
    EXPECT_EQ(data.value().Rows, 30);
    EXPECT_DOUBLE_EQ(header.FocalLength, 1200);
    EXPECT_DOUBLE_EQ(header.Diameter, 200);
    EXPECT_DOUBLE_EQ(header.PixelSizeX, 5.4);
    EXPECT_DOUBLE_EQ(header.PixelSizeY, 5.4);
    EXPECT_EQ(header.BinX, 2);
    EXPECT_EQ(header.BinY, 2);
    EXPECT_EQ(header.Exposure, 12);
    EXPECT_EQ(header.DateObs, "2026-12-08T21:30:05");
    EXPECT_EQ(header.Telescope, "Newton 200/1200 l'essai");
    EXPECT_EQ(header.Instrument, "Simulation");
    auto loaded = ReadFitsImage(file);
    ASSERT_TRUE(loaded.ok()) << loaded.status().reason;
    const TImageRec& image = *loaded.value().Image;
    EXPECT_EQ(image.Width, 128);
    EXPECT_DOUBLE_EQ(image.At(0, 0), 65535);
    EXPECT_DOUBLE_EQ(image.At(0, 1), 0);
    EXPECT_DOUBLE_EQ(image.At(29, 39), std::nearbyint(100.0 * 29 + 39.25));
    EXPECT_DOUBLE_EQ(image.At(7, 3), 703);
}

TEST(FitsWriter, FloatFileKeepsFractionsAndNegativeValues)
{
    TempDir dir;
    const auto file = dir.path() / "extra.fits";
    auto pixels = Ramp(16, 20);
    pixels(0, 3, 4) = -12.5;
    ASSERT_TRUE(WriteFitsImage(file, pixels, Header(), FitsSampleFormat::Float32).ok());
    auto loaded = ReadFitsImage(file);
    ASSERT_TRUE(loaded.ok()) << loaded.status().reason;
    EXPECT_DOUBLE_EQ(loaded.value().Image->At(3, 4), -12.5);
    EXPECT_DOUBLE_EQ(loaded.value().Image->At(15, 19), 1519.25);
}

TEST(FitsWriter, NumbersUseAPointWhateverTheSeparator)
{
    ScopedDecimalSeparator comma(',');
    EXPECT_EQ(FitsNumberValue(1.2), "1.2");
    EXPECT_EQ(FitsNumberValue(200), "200.0");
    const std::string card = FitsCard("FOCLEN", FitsNumberValue(0.75));
    EXPECT_EQ(card.size(), 80u);
    EXPECT_EQ(card.substr(0, 30), "FOCLEN  =                 0.75");
    EXPECT_EQ(FitsCard("TELESCOP", FitsTextValue("a'b")).substr(0, 21), "TELESCOP= 'a''b    ' ");
}

TEST(FitsWriter, FileIsWholeBlocksAndAFailedWriteKeepsTheOldFile)
{
    TempDir dir;
    const std::string bytes = EncodeFitsImage(Ramp(10, 10), Header(), FitsSampleFormat::UInt16);
    EXPECT_EQ(bytes.size() % 2880, 0u);
    EXPECT_EQ(bytes.substr(0, 30), "SIMPLE  =                    T");
    const auto missing = dir.path() / "no-such-folder" / "x.fits";
    EXPECT_FALSE(WriteFitsImage(missing, Ramp(10, 10), Header(), FitsSampleFormat::UInt16).ok());
    EXPECT_FALSE(
        WriteFitsImage(dir.path() / "e.fits", Planes3D<double>(), Header(), FitsSampleFormat::UInt16).ok());
}

}  // namespace
}  // namespace frontlys
