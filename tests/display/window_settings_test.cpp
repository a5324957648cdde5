#include "display/window_settings.h"

#include <gtest/gtest.h>

#include "render_test_support.h"

namespace frontlys {
namespace {

constexpr std::uint8_t K(ImageKind kind) { return static_cast<std::uint8_t>(kind); }

// Four different palettes, so that a kind mapped to the wrong preference shows.
WindowPalettes Distinct() { return {2, 3, 1, 4}; }

TEST(WindowSettings, PalettePerKind)
{
    const WindowPalettes p = Distinct();
    EXPECT_EQ(PaletteForKind(K(ImageKind::Intra), p), 2);
    EXPECT_EQ(PaletteForKind(K(ImageKind::Extra), p), 2);
    EXPECT_EQ(PaletteForKind(K(ImageKind::Signal), p), 2);
    EXPECT_EQ(PaletteForKind(K(ImageKind::Wavefront), p), 3);
    EXPECT_EQ(PaletteForKind(K(ImageKind::Residual), p), 3);
    EXPECT_EQ(PaletteForKind(K(ImageKind::Psf), p), 1);
    EXPECT_EQ(PaletteForKind(K(ImageKind::Interferogram), p), 4);
    EXPECT_EQ(PaletteForKind(K(ImageKind::Ronchigram), p), 0);
    EXPECT_EQ(PaletteForKind(8, p), 0);
}

TEST(WindowSettings, MaskAndLogPerKind)
{
    KindRenderOptions o;
    o.LogDisplay = true;
    o.PupilExtracted = false;
    for (std::uint8_t kind = 0; kind <= 7; ++kind) {
        const DisplaySettings s = WindowSettingsForKind(kind, Distinct(), o);
        const bool star = kind <= 1, psf = kind == K(ImageKind::Psf);
        EXPECT_EQ(s.MaskVisible, !star && !psf) << int(kind);
        EXPECT_EQ(s.LogDisplay, psf) << int(kind);
        EXPECT_FALSE(s.ScaleVisible);
    }
    o.PupilExtracted = true;
    EXPECT_TRUE(WindowSettingsForKind(K(ImageKind::Intra), Distinct(), o).MaskVisible);
    EXPECT_TRUE(WindowSettingsForKind(K(ImageKind::Extra), Distinct(), o).MaskVisible);
}

TEST(RenderForKindTest, InterferogramInMonochromeAtTheRequestedSize)
{
    ImageSlot image = MakeImage(2, 2, {0, 1, 0.5, 0});
    image->Kind = K(ImageKind::Interferogram);
    image->MaskAt(1, 1) = 0;
    KindRenderOptions o;
    o.LambdaInterfero = 632.8;
    Result<QImage> picture = RenderForKind(*image, QSize(2, 2), WindowPalettes{}, o);
    ASSERT_TRUE(picture.ok()) << picture.status().reason;
    EXPECT_EQ(picture.value().size(), QSize(2, 2));
    EXPECT_EQ(PixelAt(picture.value(), 1, 0), (Rgb8{255, 67, 0}));
    EXPECT_EQ(PixelAt(picture.value(), 1, 1), (Rgb8{156, 156, 156}));
}

TEST(RenderForKindTest, PsfInLogWithoutMask)
{
    ImageSlot image = MakeRow({1, 100, 10000});
    image->Kind = K(ImageKind::Psf);
    image->MaskAt(0, 1) = 0;
    KindRenderOptions o;
    o.LogDisplay = true;
    Result<QImage> picture = RenderForKind(*image, QSize(3, 1), WindowPalettes{0, 1, 0, 5}, o);
    ASSERT_TRUE(picture.ok());
    EXPECT_EQ(PixelAt(picture.value(), 1, 0), (Rgb8{128, 128, 128}));
}

TEST(RenderForKindTest, NothingToDrawIsAnError)
{
    TImageRec empty;
    const Result<QImage> a = RenderForKind(empty, QSize(8, 8), WindowPalettes{}, KindRenderOptions{});
    ASSERT_FALSE(a.ok());
    EXPECT_EQ(a.status().message, "Aucune image à afficher");
    ImageSlot image = MakeRow({0, 1});
    EXPECT_FALSE(RenderForKind(*image, QSize(0, 8), WindowPalettes{}, KindRenderOptions{}).ok());
}

}  // namespace
}  // namespace frontlys
