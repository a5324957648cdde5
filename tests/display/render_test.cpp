#include "display/render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/numbers.h"
#include "render_test_support.h"

namespace frontlys {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const QRgb kOddBackground = qRgb(1, 2, 3);  // a colour no palette produces

CurrentDisplay Display(int palette, bool maskVisible = false, bool scale = false, bool log = false)
{
    CurrentDisplay d;
    d.Settings.PaletteIndex = static_cast<std::uint8_t>(palette);
    d.Settings.MaskVisible = maskVisible;
    d.Settings.ScaleVisible = scale;
    d.Settings.LogDisplay = log;
    d.WindowBackground = kOddBackground;
    return d;
}

// Renders at the record's own size, where resampling leaves every value as it was.
QImage RenderOneToOne(TImageRec& image, const CurrentDisplay& display)
{
    QImage control(image.Width, image.Height, QImage::Format_RGB32);
    const Status s = RenderImage(&image, control, display);
    EXPECT_TRUE(s.ok()) << s.reason;
    return control;
}

TEST(RenderColours, GreyLevels)
{
    ImageSlot image = MakeRow({0, 50, 100});
    const QImage p = RenderOneToOne(*image, Display(0));
    EXPECT_EQ(p.format(), QImage::Format_RGB888);
    EXPECT_EQ(PixelAt(p, 0, 0), (Rgb8{0, 0, 0}));
    EXPECT_EQ(PixelAt(p, 1, 0), (Rgb8{128, 128, 128}));
    EXPECT_EQ(PixelAt(p, 2, 0), (Rgb8{255, 255, 255}));
}

TEST(RenderColours, FalseColoursMagentaAtOneSixthAndRedAtTheTop)
{
    ImageSlot image = MakeRow({0, 1, 2, 3, 4, 5, 6});
    const QImage p = RenderOneToOne(*image, Display(1));
    EXPECT_EQ(PixelAt(p, 1, 0), (Rgb8{255, 0, 255}));
    EXPECT_EQ(PixelAt(p, 2, 0), (Rgb8{0, 0, 255}));
    EXPECT_EQ(PixelAt(p, 6, 0), (Rgb8{255, 0, 0}));
}

TEST(RenderColours, MaskBackgroundPerPalette)
{
    const std::vector<std::pair<int, Rgb8>> cases = {{0, {0, 0, 255}},
                                                     {1, {102, 102, 102}},
                                                     {2, {102, 102, 102}},
                                                     {3, {102, 102, 102}},
                                                     {4, {0, 0, 255}},
                                                     {5, {156, 156, 156}}};
    for (const auto& [palette, expected] : cases) {
        ImageSlot image = MakeRow({0, 5, 10});
        image->MaskAt(0, 1) = 0;
        const QImage shown = RenderOneToOne(*image, Display(palette, true));
        EXPECT_EQ(PixelAt(shown, 1, 0), expected) << "palette " << palette;
        EXPECT_NE(PixelAt(shown, 0, 0), expected) << "palette " << palette;
        // With the mask not shown the same pixel takes its value's colour.
        const QImage hidden = RenderOneToOne(*image, Display(palette, false));
        EXPECT_EQ(PixelAt(hidden, 1, 0), PaletteColourAt(BuildPalette(palette, 555), 0.5)) << palette;
    }
}

TEST(RenderColours, MaskValueAboveOneIsDimmed)
{
    ImageSlot image = MakeRow({0, 50, 100});
    image->MaskAt(0, 2) = 2;
    image->MaskAt(0, 1) = 3;
    const QImage p = RenderOneToOne(*image, Display(0, true));
    EXPECT_EQ(PixelAt(p, 2, 0), (Rgb8{102, 102, 102}));
    EXPECT_EQ(PixelAt(p, 1, 0), (Rgb8{51, 51, 51}));  // round(128 x 0.4) = 51
}

TEST(RenderColours, MonochromeTopIsTheWavelengthColour)
{
    for (const auto& [lambda, expected] : std::vector<std::pair<double, Rgb8>>{
             {632.8, {255, 67, 0}}, {550, {163, 255, 0}}, {400, {131, 0, 181}}, {700, {255, 0, 0}}}) {
        ImageSlot image = MakeRow({0, 1});
        CurrentDisplay d = Display(5);
        d.LambdaInterfero = lambda;
        const QImage p = RenderOneToOne(*image, d);
        EXPECT_EQ(PixelAt(p, 1, 0), expected) << lambda;
        EXPECT_EQ(PixelAt(p, 0, 0), (Rgb8{0, 0, 0})) << lambda;
    }
}

TEST(RenderColours, PaletteIndexOutsideTheTableDrawsAsGrey)
{
    ImageSlot image = MakeImage(4, 2, {0, 1, 2, 3, 4, 5, 6, 7});
    image->MaskAt(1, 3) = 0;
    const QImage grey = RenderOneToOne(*image, Display(0, true));
    for (int palette : {6, 9, 255})
        EXPECT_EQ(RenderOneToOne(*image, Display(palette, true)), grey) << palette;
}

TEST(RenderRecord, MinAndMaxComeFromTheDrawnCopyAndNothingElseChanges)
{
    ImageSlot image = MakeImage(2, 2, {1, 10, 100, 1000});
    image->Range = 42;
    image->MeanValue = 7;
    const TImageRec before = *image;
    RenderOneToOne(*image, Display(0, false, false, true));
    EXPECT_DOUBLE_EQ(image->MinValue, 0);
    EXPECT_DOUBLE_EQ(image->MaxValue, 3);
    EXPECT_EQ(image->Range, 42);
    EXPECT_EQ(image->MeanValue, 7);
    EXPECT_EQ(image->Planes, before.Planes);  // the log was taken on the copy
    EXPECT_EQ(image->Mask, before.Mask);
}

TEST(RenderRecord, LogScaleOfAPsf)
{
    ImageSlot image = MakeRow({1, 100, 10000, 0, -5});
    image->Kind = static_cast<std::uint8_t>(ImageKind::Psf);
    const QImage p = RenderOneToOne(*image, Display(0, false, false, true));
    EXPECT_EQ(PixelAt(p, 0, 0), (Rgb8{0, 0, 0}));
    EXPECT_EQ(PixelAt(p, 1, 0), (Rgb8{128, 128, 128}));  // log10 100 = 2, half of 0..4
    EXPECT_EQ(PixelAt(p, 2, 0), (Rgb8{255, 255, 255}));
    EXPECT_EQ(PixelAt(p, 3, 0), (Rgb8{0, 0, 0}));  // values <= 0 become 0
    EXPECT_EQ(PixelAt(p, 4, 0), (Rgb8{0, 0, 0}));
    EXPECT_EQ(image->MaxValue, 4);
}

TEST(RenderRecord, OnlyTheCurrentPlaneIsDrawn)
{
    Planes3D<double> planes(3, 1, 3);
    for (int c = 0; c < 3; ++c) {
        planes(0, 0, c) = c;      // 0 1 2
        planes(1, 0, c) = 2 - c;  // 2 1 0
        planes(2, 0, c) = 5;
    }
    ImageSlot image = NewImage(std::move(planes), 3, 1, 3);
    image->CurrentPlane = 2;
    const QImage p = RenderOneToOne(*image, Display(0));
    EXPECT_EQ(PixelAt(p, 0, 0), (Rgb8{255, 255, 255}));
    EXPECT_EQ(PixelAt(p, 2, 0), (Rgb8{0, 0, 0}));
}

TEST(RenderCoverage, UniformImageLeavesTheWholePictureInTheBackground)
{
    ImageSlot image = MakeImage(4, 4, std::vector<double>(16, 3.5));
    const QImage p = RenderOneToOne(*image, Display(1));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(p.pixel(x, y), kOddBackground);
    EXPECT_EQ(image->MinValue, 3.5);
    EXPECT_EQ(image->MaxValue, 3.5);
}

ImageSlot Ramp(int side)
{
    std::vector<double> v(static_cast<std::size_t>(side * side));
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<double>(i % 97);
    return MakeImage(side, side, v);
}

int CountBackground(const QImage& p, int x0, int y0)
{
    int n = 0;
    for (int y = y0; y < p.height(); ++y)
        for (int x = x0; x < p.width(); ++x) n += p.pixel(x, y) == kOddBackground;
    return n;
}

TEST(RenderCoverage, ZoomTwoLeavesTheLastRowAndColumnInTheBackground)
{
    ImageSlot image = Ramp(128);
    QImage control(256, 256, QImage::Format_RGB32);
    ASSERT_TRUE(RenderImage(image.get(), control, Display(0)).ok());
    EXPECT_EQ(CountBackground(control, 0, 0), 256 + 255);  // resampled to 255 x 255
    EXPECT_EQ(CountBackground(control, 255, 0), 256);
    EXPECT_EQ(CountBackground(control, 0, 255), 256);
}

TEST(RenderCoverage, ZoomFourLeavesThreeRowsAndColumns)
{
    ImageSlot image = Ramp(128);
    QImage control(512, 512, QImage::Format_RGB32);
    ASSERT_TRUE(RenderImage(image.get(), control, Display(0)).ok());
    EXPECT_EQ(CountBackground(control, 0, 0), 512 * 512 - 509 * 509);
}

TEST(RenderCoverage, HalfSizeCoversTheWholeControl)
{
    ImageSlot image = Ramp(128);
    QImage control(64, 64, QImage::Format_RGB32);
    ASSERT_TRUE(RenderImage(image.get(), control, Display(0)).ok());
    EXPECT_EQ(control.size(), QSize(64, 64));
    EXPECT_EQ(CountBackground(control, 0, 0), 0);
}

TEST(RenderCoverage, NonSquareControlGetsItsOwnSize)
{
    ImageSlot image = Ramp(16);
    QImage control(40, 24, QImage::Format_RGB32);
    ASSERT_TRUE(RenderImage(image.get(), control, Display(2)).ok());
    EXPECT_EQ(control.size(), QSize(40, 24));
}

TEST(RenderNothing, EmptyRecordsAndControlsLeaveThePictureAlone)
{
    QImage control(8, 8, QImage::Format_RGB32);
    control.fill(qRgb(9, 9, 9));
    const QImage before = control;
    EXPECT_TRUE(RenderImage(nullptr, control, Display(0)).ok());
    TImageRec empty;
    EXPECT_TRUE(RenderImage(&empty, control, Display(0)).ok());
    EXPECT_EQ(control, before);

    ImageSlot image = MakeRow({0, 1});
    image->MinValue = -1;
    QImage none;
    EXPECT_TRUE(RenderImage(image.get(), none, Display(0)).ok());
    EXPECT_TRUE(none.isNull());
    EXPECT_EQ(image->MinValue, -1);
}

TEST(RenderNothing, RecordWhosePlanesDoNotMatchItsSizeIsRefused)
{
    ImageSlot image = MakeRow({0, 1, 2});
    image->Width = 30;
    QImage control(8, 8, QImage::Format_RGB32);
    control.fill(qRgb(9, 9, 9));
    const QImage before = control;
    const Status s = RenderImage(image.get(), control, Display(0));
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.message, "Impossible d'afficher l'image");
    EXPECT_EQ(control, before);
}

TEST(RenderNothing, PictureTooLargeToAllocateIsReported)
{
    ImageSlot image = MakeRow({0, 1});
    image->MinValue = -1;
    QImage picture(2, 2, QImage::Format_RGB32);
    const QImage before = picture;
    // Beyond what a QImage can address: the picture comes back null before anything else is allocated.
    const Status s = RenderImage(image.get(), QSize(1 << 30, 1 << 30), Display(0), picture);
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.message, "Mémoire insuffisante pour afficher l'image");
    EXPECT_EQ(picture, before);
    EXPECT_EQ(image->MinValue, -1);
}

TEST(RenderNonFinite, InfinitiesAndNaNDrawWithoutSpoilingTheRange)
{
    ImageSlot image = MakeRow({kNaN, 0, 50, 100, kInf, -kInf});
    const QImage p = RenderOneToOne(*image, Display(0));
    EXPECT_EQ(image->MinValue, 0);
    EXPECT_EQ(image->MaxValue, 100);
    EXPECT_EQ(PixelAt(p, 0, 0), (Rgb8{0, 0, 255}));  // NaN: the palette's background
    EXPECT_EQ(PixelAt(p, 2, 0), (Rgb8{128, 128, 128}));
    EXPECT_EQ(PixelAt(p, 4, 0), (Rgb8{255, 255, 255}));
    EXPECT_EQ(PixelAt(p, 5, 0), (Rgb8{0, 0, 0}));
}

TEST(RenderNonFinite, ResampledAndScaledWithNonFiniteValues)
{
    std::vector<double> v(64, 1.0);
    v[9] = kNaN;
    v[20] = kInf;
    v[40] = -kInf;
    v[63] = 8;
    ImageSlot image = MakeImage(8, 8, v);
    image->Kind = static_cast<std::uint8_t>(ImageKind::Wavefront);
    for (QSize size : {QSize(8, 8), QSize(20, 12), QSize(4, 4), QSize(64, 64)}) {
        QImage control(size, QImage::Format_RGB32);
        EXPECT_TRUE(RenderImage(image.get(), control, Display(1, true, true, true)).ok());
        EXPECT_TRUE(std::isfinite(image->MinValue) && std::isfinite(image->MaxValue));
    }
}

TEST(RenderNonFinite, HugeRangeStillSpansThePalette)
{
    ImageSlot image = MakeRow({-1e308, 0, 1e308});
    const QImage p = RenderOneToOne(*image, Display(0));
    EXPECT_EQ(PixelAt(p, 0, 0), (Rgb8{0, 0, 0}));
    EXPECT_EQ(PixelAt(p, 1, 0), (Rgb8{128, 128, 128}));
    EXPECT_EQ(PixelAt(p, 2, 0), (Rgb8{255, 255, 255}));
}

TEST(RenderColourBarTest, GreyRampFromTopToBottom)
{
    QImage control(17, 113, QImage::Format_RGB32);
    ASSERT_TRUE(RenderColourBar(control, 1, 0, Display(0, true)).ok());
    // Row r (1-based) holds 1 - r / 113: the top row is just below white, the bottom row black.
    EXPECT_EQ(PixelAt(control, 0, 0), PaletteColourAt(BuildPalette(0, 555), 112.0 / 112));
    EXPECT_EQ(PixelAt(control, 16, 112), (Rgb8{0, 0, 0}));
    int previous = 256;
    for (int y = 0; y < 113; ++y) {
        const int grey = PixelAt(control, 8, y).Red;
        EXPECT_LE(grey, previous) << y;
        EXPECT_EQ(PixelAt(control, 0, y), PixelAt(control, 16, y)) << y;
        previous = grey;
    }
    EXPECT_GT(PixelAt(control, 8, 0).Red, 250);
}

TEST(RenderColourBarTest, UsesTheCurrentPalette)
{
    // Seven rows: the drawn values run from top - (top - bottom) / 7 down to bottom, so row 6 sits
    // exactly 1/6 of the way up.
    QImage control(15, 7, QImage::Format_RGB32);
    ASSERT_TRUE(RenderColourBar(control, 7, 0, Display(1)).ok());
    EXPECT_EQ(PixelAt(control, 7, 6), (Rgb8{0, 0, 0}));
    EXPECT_EQ(PixelAt(control, 7, 5), (Rgb8{255, 0, 255}));
    EXPECT_EQ(PixelAt(control, 7, 0), (Rgb8{255, 0, 0}));
}

TEST(LogValuesTest, PositiveValuesOnlyOnTheCurrentPlane)
{
    Planes3D<double> planes(2, 1, 4);
    for (int c = 0; c < 4; ++c) planes(0, 0, c) = planes(1, 0, c) = std::pow(10.0, c);
    planes(1, 0, 3) = kNaN;
    planes(1, 0, 2) = -10;
    ImageSlot image = NewImage(std::move(planes), 4, 1, 2);
    image->CurrentPlane = 2;
    LogValues(*image);
    EXPECT_EQ(image->Planes(1, 0, 0), 0);
    EXPECT_EQ(image->Planes(1, 0, 1), 1);
    EXPECT_EQ(image->Planes(1, 0, 2), 0);
    EXPECT_EQ(image->Planes(1, 0, 3), 0);
    EXPECT_EQ(image->Planes(0, 0, 3), 1000);  // other planes untouched
}

}  // namespace
}  // namespace frontlys
