#include "display/window_settings.h"

#include <string>

namespace frontlys {
namespace {

constexpr char kNothingToDraw[] = "Aucune image à afficher";

}  // namespace

std::uint8_t PaletteForKind(std::uint8_t kind, const WindowPalettes& palettes)
{
    switch (static_cast<ImageKind>(kind)) {
        case ImageKind::Intra:
        case ImageKind::Extra:
        case ImageKind::Signal:
            return palettes.PltSignal;
        case ImageKind::Wavefront:
        case ImageKind::Residual:
            return palettes.PltFront;
        case ImageKind::Psf:
            return palettes.PltPSF;
        case ImageKind::Interferogram:
            return palettes.PltInterfero;
        case ImageKind::Ronchigram:
            return 0;
    }
    return 0;
}

DisplaySettings WindowSettingsForKind(std::uint8_t kind,
                                      const WindowPalettes& palettes,
                                      const KindRenderOptions& options)
{
    DisplaySettings s;
    s.PaletteIndex = PaletteForKind(kind, palettes);
    s.ScaleVisible = options.ScaleVisible;
    const bool starImage = kind == static_cast<std::uint8_t>(ImageKind::Intra) ||
                           kind == static_cast<std::uint8_t>(ImageKind::Extra);
    const bool psf = kind == static_cast<std::uint8_t>(ImageKind::Psf);
    s.MaskVisible = kind <= static_cast<std::uint8_t>(ImageKind::Ronchigram) && !psf &&
                    (!starImage || options.PupilExtracted);
    s.LogDisplay = psf && options.LogDisplay;
    return s;
}

Result<QImage> RenderForKind(TImageRec& image,
                             QSize size,
                             const WindowPalettes& palettes,
                             const KindRenderOptions& options)
{
    if (image.Width <= 0 || image.Height <= 0 || size.width() <= 0 || size.height() <= 0)
        return Status::Fail(StatusCode::MissingInput,
                            kNothingToDraw,
                            "image " + std::to_string(image.Width) + "x" + std::to_string(image.Height) +
                                ", picture " + std::to_string(size.width()) + "x" +
                                std::to_string(size.height()));
    CurrentDisplay current;
    current.Settings = WindowSettingsForKind(image.Kind, palettes, options);
    current.LambdaInterfero = options.LambdaInterfero;
    QImage picture;
    const Status status = RenderImage(&image, size, current, picture);
    if (!status.ok()) return status;
    return picture;
}

}  // namespace frontlys
