#include "display/render.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <span>
#include <type_traits>
#include <vector>

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include "core/numbers.h"
#include "display/palettes.h"

namespace frontlys {
namespace {

constexpr char kOutOfMemory[] = "Mémoire insuffisante pour afficher l'image";
constexpr char kCannotDraw[] = "Impossible d'afficher l'image";
constexpr int kRampColumns = 11;
constexpr int kLabelLeftOffset = 50;
constexpr int kLabelBottomOffset = 12;
constexpr double kDimming = 0.4;

// One column of the output: where it reads the input row and with which weights.
struct ColumnTap {
    int lo = 0;               // 0-based input column of clo
    bool hasLo = false;       // clo lies inside the row
    bool hasHi = false;       // clo + 1 lies inside the row
    double wLo = 0, wHi = 0;  // 1 - tx, tx
};

std::vector<ColumnTap> ColumnTaps(int inWidth, int outWidth, double factor)
{
    std::vector<ColumnTap> taps(static_cast<std::size_t>(outWidth));
    for (int k = 0; k < outWidth; ++k) {
        const double x = k / factor + 1;
        const double clo = Trunc(x);
        const double tx = x - clo;
        ColumnTap& t = taps[static_cast<std::size_t>(k)];
        t.hasLo = clo <= inWidth;  // clo >= 1 always, and 1 - tx > 0
        t.hasHi = clo + 1 <= inWidth && tx != 0;
        t.lo = t.hasLo ? static_cast<int>(clo) - 1 : 0;
        t.wLo = 1 - tx;
        t.wHi = tx;
    }
    return taps;
}

template <class T>
T StoreResampled(double value)
{
    if constexpr (std::is_integral_v<T>) {
        const auto r = RoundToInt(value);
        return static_cast<T>(
            std::clamp<std::int64_t>(r, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
    } else {
        return value;
    }
}

// A term of weight 0 is left out rather than added as v x 0: the sum is the same for every finite v,
// and an infinite pixel then stays where it is instead of spreading NaN to its neighbours.
template <class T>
void ResampleRow(const T* lo, double wy0, const T* hi, double wy1, std::span<const ColumnTap> taps, T* out)
{
    for (std::size_t k = 0; k < taps.size(); ++k) {
        const ColumnTap& t = taps[k];
        double s = 0;
        if (lo && t.hasLo) s += lo[t.lo] * wy0 * t.wLo;
        if (hi && t.hasLo) s += hi[t.lo] * wy1 * t.wLo;
        if (lo && t.hasHi) s += lo[t.lo + 1] * wy0 * t.wHi;
        if (hi && t.hasHi) s += hi[t.lo + 1] * wy1 * t.wHi;
        out[k] = StoreResampled<T>(s);
    }
}

// Row `row` (1-based) of a plane, or nullptr when it lies outside 1..height or has weight 0.
template <class T>
const T* InputRow(const Planes3D<T>& planes, int plane, double row, int height, double weight)
{
    if (weight == 0 || row < 1 || row > height) return nullptr;
    return planes.Row(plane, static_cast<int>(row) - 1);
}

int ResampledSize(int size, double factor) { return static_cast<int>(RoundToInt((size - 1) * factor + 1)); }

// Plane `plane` of `in` (width x height) resampled into plane `outPlane` of `out`, already sized.
template <class T>
void ResamplePlane(const Planes3D<T>& in,
                   int plane,
                   int height,
                   std::span<const ColumnTap> taps,
                   double fy,
                   Planes3D<T>& out,
                   int outPlane)
{
    for (int j = 0; j < out.rows(); ++j) {
        const double y = j / fy + 1;
        const double rlo = Trunc(y);
        const double ty = y - rlo;
        const T* lo = InputRow(in, plane, rlo, height, 1 - ty);
        const T* hi = InputRow(in, plane, rlo + 1, height, ty);
        ResampleRow<T>(lo, 1 - ty, hi, ty, taps, out.Row(outPlane, j));
    }
}

// One plane of `in`, resampled into a new one-plane set.
template <class T>
Planes3D<T> ResampledPlane(const Planes3D<T>& in, int plane, double fx, double fy)
{
    Planes3D<T> out(1, ResampledSize(in.rows(), fy), ResampledSize(in.cols(), fx));
    const std::vector<ColumnTap> taps = ColumnTaps(in.cols(), out.cols(), fx);
    ResamplePlane(in, plane, in.rows(), taps, fy, out, 0);
    return out;
}

template <class T>
void Resample(Planes3D<T>& planes, int& width, int& height, double fx, double fy)
{
    const int outW = ResampledSize(width, fx);
    const int outH = ResampledSize(height, fy);
    const std::vector<ColumnTap> taps = ColumnTaps(width, outW, fx);
    Planes3D<T> out(planes.planes(), outH, outW);
    for (int p = 0; p < planes.planes(); ++p) ResamplePlane(planes, p, height, taps, fy, out, p);
    planes = std::move(out);
    width = outW;
    height = outH;
}

void LogInPlace(std::span<double> values)
{
    for (double& v : values) v = v > 0 ? std::log10(v) : 0.0;
}

// The private copy that is drawn: the current plane and the mask at the control's scale.
struct DrawnCopy {
    Planes3D<double> values;
    Planes3D<std::int16_t> mask;
    int width = 0, height = 0;  // W', H'
};

// Only the current plane is drawn, so only it is copied and resampled; without the log it is read
// straight from the record.
DrawnCopy MakeDrawnCopy(const TImageRec& image, QSize control, bool logDisplay)
{
    const double sx = static_cast<double>(control.width()) / image.Width;
    const double sy = static_cast<double>(control.height()) / image.Height;
    DrawnCopy q;
    if (logDisplay) {
        Planes3D<double> logs(1, image.Height, image.Width);
        const auto plane = image.Planes.Plane(image.CurrentPlane - 1);
        std::copy(plane.begin(), plane.end(), logs.data());
        LogInPlace(logs.Plane(0));
        q.values = ResampledPlane(logs, 0, sx, sy);
    } else {
        q.values = ResampledPlane(image.Planes, image.CurrentPlane - 1, sx, sy);
    }
    q.mask = ResampledPlane(image.Mask, 0, sx, sy);
    q.width = q.values.cols();
    q.height = q.values.rows();
    return q;
}

struct Extremes {
    double min = 0, max = 0;
};

// Extremes over the finite values only, so one NaN or infinite pixel cannot blank the picture.
Extremes FiniteMinMax(std::span<const double> values)
{
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (double v : values) {
        if (!std::isfinite(v)) continue;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    if (lo > hi) return {};
    return {lo, hi};
}

void AddScaleRamp(DrawnCopy& q, const Extremes& e)
{
    const double range = e.max - e.min;
    const int first = std::max(0, q.width - kRampColumns);
    for (int i = 1; i <= q.height; ++i) {
        double* row = q.values.Row(0, i - 1);
        std::int16_t* mask = q.mask.Row(0, i - 1);
        const double v = std::isfinite(range) ? e.max - i * range / q.height
                                              : e.max - i * (e.max / q.height - e.min / q.height);
        for (int c = first; c < q.width; ++c) {
            row[c] = v;
            mask[c] = 1;
        }
    }
}

// t = (v - min) / range; with a range too large for a double both are halved first.
struct ValueMap {
    double offset, scale, range;
    explicit ValueMap(const Extremes& e) : offset(e.min), scale(1), range(e.max - e.min)
    {
        if (!std::isfinite(range)) {
            scale = 0.5;
            offset = e.min * 0.5;
            range = e.max * 0.5 - offset;
        }
    }
    double operator()(double v) const { return (v * scale - offset) / range; }
};

std::uint8_t Dimmed(std::uint8_t channel)
{
    return static_cast<std::uint8_t>(std::nearbyint(channel * kDimming));  // halves to even
}

void PaintRow(const double* values,
              const std::int16_t* mask,
              int count,
              const TPalette& palette,
              const ValueMap& map,
              bool maskVisible,
              uchar* rgb)
{
    const Rgb8 background = BackgroundBytes(palette);
    for (int j = 0; j < count; ++j, rgb += 3) {
        Rgb8 c = background;
        if (mask[j] != 0 || !maskVisible) {
            c = PaletteColourAt(palette, map(values[j]));
            if (mask[j] > 1) {
                c.Red = Dimmed(c.Red);
                c.Green = Dimmed(c.Green);
                c.Blue = Dimmed(c.Blue);
            }
        }
        rgb[0] = c.Red;
        rgb[1] = c.Green;
        rgb[2] = c.Blue;
    }
}

void Paint(const DrawnCopy& q, const TPalette& palette, const Extremes& e, bool maskVisible, QImage& picture)
{
    const ValueMap map(e);
    const int rows = std::min(q.height, picture.height());
    const int cols = std::min(q.width, picture.width());
    for (int i = 0; i < rows; ++i)
        PaintRow(q.values.Row(0, i), q.mask.Row(0, i), cols, palette, map, maskVisible, picture.scanLine(i));
}

// Black text on a white box, the look of a plain canvas; 11-pixel type fits the 12 rows left below.
void DrawLabel(QPainter& painter, int x, int y, const std::string& text)
{
    const QString s = QString::fromStdString(text);
    const QFontMetrics metrics(painter.font());
    painter.fillRect(x, y, metrics.horizontalAdvance(s), metrics.height(), Qt::white);
    painter.drawText(QRect(x, y, metrics.horizontalAdvance(s), metrics.height()),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                     s);
}

void DrawScaleLabels(QImage& picture, const ScaleLabels& labels, int width, int height)
{
    QPainter painter(&picture);
    QFont font = QGuiApplication::font();
    font.setPixelSize(11);
    painter.setFont(font);
    painter.setPen(Qt::black);
    DrawLabel(painter, width - kLabelLeftOffset, 0, labels.Top);
    DrawLabel(painter, width - kLabelLeftOffset, height - kLabelBottomOffset, labels.Bottom);
}

bool ConsistentRecord(const TImageRec& image)
{
    return image.Planes.rows() == image.Height && image.Planes.cols() == image.Width &&
           image.CurrentPlane >= 1 && image.CurrentPlane <= image.Planes.planes() &&
           image.Mask.planes() >= 1 && image.Mask.rows() == image.Height && image.Mask.cols() == image.Width;
}

Status RenderInto(TImageRec& image, QSize size, const CurrentDisplay& current, QImage& out)
{
    const DisplaySettings& settings = current.Settings;
    const TPalette palette = BuildPalette(settings.PaletteIndex, current.LambdaInterfero);
    QImage picture(size, QImage::Format_RGB888);
    if (picture.isNull())
        return Status::Fail(StatusCode::OutOfRange, kOutOfMemory, "QImage allocation failed (null picture)");
    picture.fill(current.WindowBackground);
    DrawnCopy q = MakeDrawnCopy(image, size, settings.LogDisplay);
    const Extremes e = FiniteMinMax(q.values.Plane(0));
    if (settings.ScaleVisible) AddScaleRamp(q, e);
    if (e.max - e.min != 0) Paint(q, palette, e, settings.MaskVisible, picture);
    if (settings.ScaleVisible)
        DrawScaleLabels(picture, ScaleLabelTexts(e.min, e.max, image.Kind), q.width, q.height);
    image.MinValue = e.min;
    image.MaxValue = e.max;
    out = std::move(picture);
    return Status::Ok();
}

}  // namespace

void BilinearResample(
    Planes3D<double>& planes, int& width, int& height, double columnFactor, double rowFactor)
{
    Resample(planes, width, height, columnFactor, rowFactor);
}

void BilinearResample(
    Planes3D<std::int16_t>& planes, int& width, int& height, double columnFactor, double rowFactor)
{
    Resample(planes, width, height, columnFactor, rowFactor);
}

void LogValues(TImageRec& image)
{
    if (image.Planes.empty()) return;
    LogInPlace(image.Planes.Plane(image.CurrentPlane - 1));
}

ScaleLabels ScaleLabelTexts(double minValue, double maxValue, std::uint8_t kind)
{
    const std::string unit = kind == static_cast<std::uint8_t>(ImageKind::Wavefront) ? "nm" : "";
    return {FormatFloat("0.0", maxValue) + unit, FormatFloat("0.0", minValue) + unit};
}

ScaleLabels ScaleLabelTexts(const TImageRec& image)
{
    return ScaleLabelTexts(image.MinValue, image.MaxValue, image.Kind);
}

Status RenderImage(TImageRec* image, QSize controlSize, const CurrentDisplay& current, QImage& picture)
{
    if (!image || image->Width <= 0 || image->Height <= 0) return Status::Ok();
    if (controlSize.width() <= 0 || controlSize.height() <= 0) return Status::Ok();
    if (!ConsistentRecord(*image))
        return Status::Fail(
            StatusCode::BadFormat, kCannotDraw, "pixel planes do not match the record's size");
    if (current.Settings.ScaleVisible && !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return Status::Fail(StatusCode::MissingInput, kCannotDraw, "scale labels need a QGuiApplication");
    try {
        return RenderInto(*image, controlSize, current, picture);
    } catch (const std::bad_alloc&) {
        // The resampled copy is allocated here, on the interface thread: report instead of unwinding.
        return Status::Fail(StatusCode::OutOfRange, kOutOfMemory, "allocation of the resampled copy failed");
    }
}

Status RenderImage(TImageRec* image, QImage& control, const CurrentDisplay& current)
{
    return RenderImage(image, control.size(), current, control);
}

Status RenderColourBar(QImage& control, double top, double bottom, const CurrentDisplay& current)
{
    const int w = control.width(), h = control.height();
    if (w <= 0 || h <= 0) return Status::Ok();
    try {
        ImageSlot bar = NewImage(w, h);
        for (int r = 1; r <= h; ++r) {
            std::fill_n(bar->Row(r - 1), w, top - r * (top - bottom) / h);
            std::fill_n(bar->Mask.Row(0, r - 1), w, std::int16_t{1});
        }
        return RenderImage(bar.get(), control, current);
    } catch (const std::bad_alloc&) {
        return Status::Fail(StatusCode::OutOfRange, kOutOfMemory, "allocation of the colour bar failed");
    }
}

}  // namespace frontlys
