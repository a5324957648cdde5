// The scale ramp and its two labels.
#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>

#include "core/numbers.h"
#include "display/render.h"
#include "render_test_support.h"

namespace frontlys {
namespace {

CurrentDisplay WithScale(int palette, bool maskVisible = false)
{
    CurrentDisplay d;
    d.Settings.PaletteIndex = static_cast<std::uint8_t>(palette);
    d.Settings.ScaleVisible = true;
    d.Settings.MaskVisible = maskVisible;
    return d;
}

// A 64 x 64 record spanning -56.7 .. 123.4 with a mask disc, and its picture at the same size.
ImageSlot SpanImage(std::uint8_t kind)
{
    std::vector<double> v(64 * 64, 10.0);
    v[0] = -56.7;
    v[64 * 10 + 10] = 123.4;
    ImageSlot image = MakeImage(64, 64, v);
    image->Kind = kind;
    return image;
}

bool IsWhite(const Rgb8& c) { return c == Rgb8{255, 255, 255}; }
bool IsInk(const Rgb8& c) { return c.Red < 100 && c.Green < 100 && c.Blue < 100; }

// Width of the white box a label is drawn on, read along its top row from x0.
int BoxWidth(const QImage& p, int x0, int y)
{
    int x = x0;
    while (x < p.width() && IsWhite(PixelAt(p, x, y))) ++x;
    return x - x0;
}

int InkIn(const QImage& p, int x0, int y0, int w, int h)
{
    int n = 0;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < std::min(p.width(), x0 + w); ++x) n += IsInk(PixelAt(p, x, y));
    return n;
}

TEST(ScaleLabelsTest, WavefrontCarriesNanometresWithoutASpace)
{
    const ScopedDecimalSeparator dot('.');
    ImageSlot front = SpanImage(static_cast<std::uint8_t>(ImageKind::Wavefront));
    QImage control(64, 64, QImage::Format_RGB32);
    ASSERT_TRUE(RenderImage(front.get(), control, WithScale(1)).ok());
    EXPECT_EQ(front->MaxValue, 123.4);
    EXPECT_EQ(front->MinValue, -56.7);
    const ScaleLabels labels = ScaleLabelTexts(*front);
    EXPECT_EQ(labels.Top, "123.4nm");
    EXPECT_EQ(labels.Bottom, "-56.7nm");
}

TEST(ScaleLabelsTest, OtherKindsHaveNoUnitAndFollowTheSeparator)
{
    const ScopedDecimalSeparator comma(',');
    for (ImageKind kind : {ImageKind::Intra, ImageKind::Signal, ImageKind::Psf, ImageKind::Residual}) {
        ImageSlot image = SpanImage(static_cast<std::uint8_t>(kind));
        QImage control(64, 64, QImage::Format_RGB32);
        ASSERT_TRUE(RenderImage(image.get(), control, WithScale(1)).ok());
        const ScaleLabels labels = ScaleLabelTexts(*image);
        EXPECT_EQ(labels.Top, "123,4") << int(kind);
        EXPECT_EQ(labels.Bottom, "-56,7") << int(kind);
    }
}

TEST(ScaleLabelsTest, LabelsAreDrawnAtTheirPlacesAsWideAsTheirText)
{
    const ScopedDecimalSeparator dot('.');
    QFont font = QGuiApplication::font();
    font.setPixelSize(11);
    const QFontMetrics metrics(font);
    ImageSlot front = SpanImage(static_cast<std::uint8_t>(ImageKind::Wavefront));
    ImageSlot psf = SpanImage(static_cast<std::uint8_t>(ImageKind::Psf));
    QImage frontPicture(64, 64, QImage::Format_RGB32), psfPicture(64, 64, QImage::Format_RGB32);
    ASSERT_TRUE(RenderImage(front.get(), frontPicture, WithScale(1)).ok());
    ASSERT_TRUE(RenderImage(psf.get(), psfPicture, WithScale(1)).ok());

    // Top label at (W' - 50, 0), bottom label at (W' - 50, H' - 12).
    EXPECT_EQ(BoxWidth(frontPicture, 14, 0), metrics.horizontalAdvance("123.4nm"));
    EXPECT_NE(BoxWidth(frontPicture, 14, 0), metrics.horizontalAdvance("123.4 nm"));
    EXPECT_EQ(BoxWidth(psfPicture, 14, 0), metrics.horizontalAdvance("123.4"));
    EXPECT_EQ(BoxWidth(frontPicture, 14, 52), std::min(50, metrics.horizontalAdvance("-56.7nm")));
    EXPECT_FALSE(IsWhite(PixelAt(frontPicture, 13, 0)));
    EXPECT_FALSE(IsWhite(PixelAt(frontPicture, 13, 52)));
    EXPECT_GT(InkIn(frontPicture, 14, 0, 50, 12), 20);
    EXPECT_GT(InkIn(frontPicture, 14, 52, 50, 12), 20);
    // The unit's letters add ink that the PSF label does not have.
    EXPECT_GT(InkIn(frontPicture, 14, 0, 50, 12), InkIn(psfPicture, 14, 0, 50, 12));
}

TEST(ScaleLabelsTest, NoLabelsWithoutTheScale)
{
    ImageSlot front = SpanImage(static_cast<std::uint8_t>(ImageKind::Wavefront));
    CurrentDisplay d = WithScale(1);
    d.Settings.ScaleVisible = false;
    QImage control(64, 64, QImage::Format_RGB32);
    ASSERT_TRUE(RenderImage(front.get(), control, d).ok());
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) ASSERT_FALSE(IsWhite(PixelAt(control, x, y))) << x << "," << y;
}

TEST(ScaleRamp, ElevenColumnsFromJustBelowTheMaximumToTheMinimum)
{
    // Values 0 except a 100 in the top-left corner; the whole mask is 0 and shown as background,
    // but the ramp carries mask 1 and is always drawn.
    std::vector<double> v(64 * 64, 0.0);
    v[0] = 100;
    ImageSlot image = MakeImage(64, 64, v, 0);
    QImage control(64, 64, QImage::Format_RGB32);
    ASSERT_TRUE(RenderImage(image.get(), control, WithScale(0, true)).ok());
    // Row i (1-based) of the ramp holds 100 - i x 100 / 64.
    EXPECT_EQ(PixelAt(control, 63, 31), (Rgb8{128, 128, 128}));  // i = 32: exactly half
    EXPECT_EQ(PixelAt(control, 53, 31), (Rgb8{128, 128, 128}));
    EXPECT_EQ(PixelAt(control, 52, 31), (Rgb8{0, 0, 255}));      // left of the ramp: masked background
    EXPECT_EQ(PixelAt(control, 63, 15), (Rgb8{191, 191, 191}));  // i = 16: 0.75 x 255 = 191.25
    int previous = 256;
    for (int y = 12; y < 52; ++y) {
        const int grey = PixelAt(control, 58, y).Red;
        EXPECT_LT(grey, previous) << y;
        previous = grey;
    }
}

TEST(ScaleRamp, NarrowPictureKeepsTheRampInside)
{
    ImageSlot image = MakeImage(4, 30, std::vector<double>(120, 1.0));
    image->At(3, 2) = 5;
    for (QSize size : {QSize(4, 30), QSize(1, 1), QSize(15, 150), QSize(2, 90)}) {
        QImage control(size, QImage::Format_RGB32);
        EXPECT_TRUE(RenderImage(image.get(), control, WithScale(3, true)).ok()) << size.width();
        EXPECT_EQ(control.size(), size);
    }
}

TEST(ScaleRamp, ColourBarWithTheScaleOfAWindow)
{
    // The information window's bar takes the current window's settings, scale included.
    QImage control(15, 150, QImage::Format_RGB32);
    EXPECT_TRUE(RenderColourBar(control, 123.4, -56.7, WithScale(4)).ok());
    EXPECT_EQ(control.size(), QSize(15, 150));
}

}  // namespace
}  // namespace frontlys
