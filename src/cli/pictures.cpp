#include "cli/pictures.h"

#include <algorithm>
#include <cmath>

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QStringList>

#include "cli/language.h"
#include "display/bitmap_files.h"
#include "display/window_settings.h"

namespace frontlys::cli {
namespace {

constexpr int kMinSide = 320;  // a small pupil is enlarged by a whole factor up to this
constexpr int kTitleLine = 16;
constexpr int kTitleHeight = 2 * kTitleLine + 4;
constexpr int kBarWidth = 18;
constexpr int kLabelWidth = 96;
constexpr int kMargin = 6;

WindowPalettes PalettesOf(const Tpreferences& p)
{
    return {p.PltSignal, p.PltFront, p.PltPSF, p.PltInterfero};
}

void DrawColourBar(
    QPainter& painter, TImageRec& image, const Tpreferences& prefs, const PictureStyle& style, QRect bar)
{
    CurrentDisplay current;
    current.Settings = WindowSettingsForKind(image.Kind, PalettesOf(prefs), {});
    current.LambdaInterfero = prefs.LambdaInterfero;
    QImage ramp(bar.size(), QImage::Format_RGB888);
    if (!RenderColourBar(ramp, image.MaxValue, image.MinValue, current).ok()) return;
    painter.drawImage(bar.topLeft(), ramp);
    painter.setPen(Qt::black);
    painter.drawRect(bar.adjusted(0, 0, -1, -1));
    const ScaleLabels labels = ScaleLabelTexts(image.MinValue, image.MaxValue, image.Kind);
    const int x = bar.right() + 4;
    const QRect top(x, bar.top(), kLabelWidth - 6, 16), bottom(x, bar.bottom() - 15, kLabelWidth - 6, 16);
    painter.drawText(top, Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(labels.Top));
    painter.drawText(bottom, Qt::AlignLeft | Qt::AlignBottom, QString::fromStdString(labels.Bottom));
    if (style.log)
        painter.drawText(
            QRect(x, bar.center().y() - 8, kLabelWidth - 6, 16), Qt::AlignLeft | Qt::AlignVCenter, "log10");
}

}  // namespace

void EnsureGuiApplication()
{
    if (QGuiApplication::instance()) return;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "frontlys-cli";
    static char* argv[] = {name, nullptr};
    // Never destroyed: the tool ends right after its pictures, and Qt's teardown at exit unloads
    // plugins under the sanitizer build's leak checker, which then crashed reading thread data.
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

CropBox PupilCrop(const TImageRec& image)
{
    const CropBox whole{0, 0, image.Width, image.Height};
    // The PSF's own geometry is not a pupil: it is shown whole, centred as computed.
    if (image.Kind == static_cast<std::uint8_t>(ImageKind::Psf)) return whole;
    if (!(image.Radius >= 2) || !std::isfinite(image.CentreX) || !std::isfinite(image.CentreY)) return whole;
    const double half = 1.25 * image.Radius;
    const int left = std::clamp(static_cast<int>(std::floor(image.CentreX - 1 - half)), 0, image.Width - 1);
    const int top = std::clamp(static_cast<int>(std::floor(image.CentreY - 1 - half)), 0, image.Height - 1);
    const int right =
        std::clamp(static_cast<int>(std::ceil(image.CentreX - 1 + half)), left, image.Width - 1);
    const int bottom =
        std::clamp(static_cast<int>(std::ceil(image.CentreY - 1 + half)), top, image.Height - 1);
    return {left, top, right - left + 1, bottom - top + 1};
}

Result<QImage> ComposePicture(TImageRec& image, const Tpreferences& prefs, const PictureStyle& style)
{
    EnsureGuiApplication();
    KindRenderOptions options;
    options.LogDisplay = style.log;
    options.LambdaInterfero = prefs.LambdaInterfero;
    auto full = RenderForKind(image, QSize(image.Width, image.Height), PalettesOf(prefs), options);
    if (!full.ok()) return full.status();
    const CropBox box = PupilCrop(image);
    QImage cut = full.value().copy(box.left, box.top, box.width, box.height);
    const int factor = std::max(1, kMinSide / std::max(box.width, box.height));
    if (factor > 1) cut = cut.scaled(cut.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);

    // Two title lines: what the picture is, then the parameters; the picture widens to hold them.
    const QStringList lines = QString::fromStdString(style.title).split('\n');
    QFont font;
    font.setPixelSize(12);
    const QFontMetrics metrics(font);
    int width = kMargin + cut.width() + kMargin + kBarWidth + kLabelWidth;
    for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line) + 3 * kMargin);
    const int height = kTitleHeight + cut.height() + kMargin;
    QImage canvas(width, height, QImage::Format_RGB888);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int i = 0; i < std::min<int>(2, static_cast<int>(lines.size())); ++i) {
        const QRect box(kMargin, 2 + i * kTitleLine, width - 2 * kMargin, kTitleLine);
        painter.drawText(box,
                         Qt::AlignLeft | Qt::AlignVCenter,
                         painter.fontMetrics().elidedText(lines[i], Qt::ElideMiddle, box.width()));
    }
    painter.drawImage(kMargin, kTitleHeight, cut);
    DrawColourBar(painter,
                  image,
                  prefs,
                  style,
                  QRect(kMargin + cut.width() + kMargin, kTitleHeight, kBarWidth, cut.height()));
    painter.end();
    return canvas;
}

Status WritePicture(TImageRec& image,
                    const Tpreferences& prefs,
                    const PictureStyle& style,
                    const std::filesystem::path& file)
{
    auto picture = ComposePicture(image, prefs, style);
    if (!picture.ok()) return picture.status();
    return SavePng(picture.value(), file);
}

}  // namespace frontlys::cli
