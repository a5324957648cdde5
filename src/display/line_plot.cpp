#include "display/line_plot.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace frontlys {
namespace {

constexpr int kLeft = 64, kRight = 16, kTop = 34, kBottom = 46;

struct Range {
    double lo, hi;
};

// The data's range, widened to a round tick at each end; y starts from 0 when nothing is negative.
Range DataRange(const PlotSpec& spec, bool alongX)
{
    double lo = alongX ? spec.xMin : spec.yMin, hi = alongX ? spec.xMax : spec.yMax;
    if (lo < hi) return {lo, hi};
    lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (const PlotCurve& c : spec.curves)
        for (std::size_t i = 0; i < c.y.size() && i < c.x.size(); ++i) {
            const double e =
                !alongX && c.error.size() == c.y.size() && std::isfinite(c.error[i]) ? c.error[i] : 0;
            const double v = alongX ? c.x[i] : c.y[i];
            if (!std::isfinite(v)) continue;
            lo = std::min(lo, v - e), hi = std::max(hi, v + e);
        }
    if (!(lo <= hi)) return {0, 1};
    if (!alongX && lo >= 0) lo = 0;
    if (hi - lo < 1e-12) hi = lo + (lo == 0 ? 1 : std::fabs(lo) * 0.1);
    if (alongX) return {lo, hi};
    const double step = TickStep(hi - lo, 5);
    return {std::floor(lo / step) * step, std::ceil(hi / step) * step};
}

QString Label(double v, double step)
{
    const int decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(step))), 0, 6);
    return QString::number(std::fabs(v) < step * 1e-6 ? 0.0 : v, 'f', decimals);
}

class Frame {
public:
    Frame(QRect area, Range x, Range y) : m_area(area), m_x(x), m_y(y) {}
    QPointF At(double x, double y) const
    {
        return {m_area.left() + (x - m_x.lo) / (m_x.hi - m_x.lo) * m_area.width(),
                m_area.bottom() - (y - m_y.lo) / (m_y.hi - m_y.lo) * m_area.height()};
    }

private:
    QRect m_area;
    Range m_x, m_y;
};

void DrawAxes(QPainter& p, QRect area, Range x, Range y, const PlotSpec& spec)
{
    const Frame frame(area, x, y);
    const QFontMetrics metrics(p.font());
    const double xs = TickStep(x.hi - x.lo, 6), ys = TickStep(y.hi - y.lo, 5);
    for (double v = std::ceil(x.lo / xs - 1e-9) * xs; v <= x.hi + xs * 1e-9; v += xs) {
        const QPointF at = frame.At(v, y.lo);
        p.setPen(QColor(225, 225, 225));
        p.drawLine(QPointF(at.x(), area.top()), at);
        p.setPen(Qt::black);
        const QString text = Label(v, xs);
        p.drawText(QPointF(at.x() - metrics.horizontalAdvance(text) / 2.0, area.bottom() + 16), text);
    }
    for (double v = std::ceil(y.lo / ys - 1e-9) * ys; v <= y.hi + ys * 1e-9; v += ys) {
        const QPointF at = frame.At(x.lo, v);
        p.setPen(QColor(225, 225, 225));
        p.drawLine(at, QPointF(area.right(), at.y()));
        p.setPen(Qt::black);
        const QString text = Label(v, ys);
        p.drawText(QPointF(area.left() - 6 - metrics.horizontalAdvance(text), at.y() + 4), text);
    }
    p.drawRect(area);
    p.drawText(QRect(area.left(), area.bottom() + 22, area.width(), 20),
               Qt::AlignCenter,
               QString::fromStdString(spec.xLabel));
    p.save();
    p.translate(14, area.center().y());
    p.rotate(-90);
    p.drawText(QRect(-area.height() / 2, -10, area.height(), 20),
               Qt::AlignCenter,
               QString::fromStdString(spec.yLabel));
    p.restore();
}

void DrawCurve(QPainter& p, const Frame& frame, const PlotCurve& c)
{
    QPen pen(c.colour, 2);
    if (c.dashed) pen.setStyle(Qt::DashLine);
    p.setPen(pen);
    QPainterPath path;
    bool open = false;
    for (std::size_t i = 0; i < c.x.size() && i < c.y.size(); ++i) {
        if (!std::isfinite(c.x[i]) || !std::isfinite(c.y[i])) {
            open = false;  // a gap, not a line across missing values
            continue;
        }
        const QPointF at = frame.At(c.x[i], c.y[i]);
        open ? path.lineTo(at) : path.moveTo(at);
        open = true;
        if (c.error.size() == c.y.size() && std::isfinite(c.error[i]) && c.error[i] > 0) {
            p.setPen(QPen(c.colour, 1));
            p.drawLine(frame.At(c.x[i], c.y[i] - c.error[i]), frame.At(c.x[i], c.y[i] + c.error[i]));
            p.setPen(pen);
        }
        if (c.markers) {
            p.setBrush(c.colour);
            p.drawEllipse(at, 2.5, 2.5);
            p.setBrush(Qt::NoBrush);
        }
    }
    p.drawPath(path);
}

void DrawLegend(QPainter& p, QRect area, const PlotSpec& spec)
{
    const QFontMetrics metrics(p.font());
    int width = 0, named = 0;
    for (const PlotCurve& c : spec.curves) named += !c.name.empty();
    int y = spec.legendBelow ? area.bottom() - 10 - 16 * named : area.top() + 8;
    for (const PlotCurve& c : spec.curves)
        width = std::max(width, metrics.horizontalAdvance(QString::fromStdString(c.name)));
    const int x = area.right() - width - 40;
    for (const PlotCurve& c : spec.curves) {
        if (c.name.empty()) continue;
        QPen pen(c.colour, 2);
        if (c.dashed) pen.setStyle(Qt::DashLine);
        p.fillRect(QRect(x - 4, y - 6, width + 40, 16), QColor(255, 255, 255, 220));
        p.setPen(pen);
        p.drawLine(x, y + 2, x + 24, y + 2);
        p.setPen(Qt::black);
        p.drawText(QPointF(x + 30, y + 6), QString::fromStdString(c.name));
        y += 16;
    }
}

}  // namespace

double TickStep(double span, int ticks)
{
    if (!(span > 0) || ticks < 1) return 1;
    const double raw = span / ticks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * power >= raw) return m * power;
    return 10 * power;
}

QImage DrawLinePlot(const PlotSpec& spec)
{
    if (spec.width <= kLeft + kRight || spec.height <= kTop + kBottom) return {};
    QImage image(spec.width, spec.height, QImage::Format_RGB888);
    if (image.isNull()) return image;
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font;
    font.setPixelSize(12);
    p.setFont(font);
    const QRect area(kLeft, kTop, spec.width - kLeft - kRight, spec.height - kTop - kBottom);
    const Range x = DataRange(spec, true), y = DataRange(spec, false);
    p.setPen(Qt::black);
    p.drawText(QRect(0, 4, spec.width, 24), Qt::AlignCenter, QString::fromStdString(spec.title));
    DrawAxes(p, area, x, y, spec);
    p.setClipRect(area.adjusted(1, 1, -1, -1));
    const Frame frame(area, x, y);
    for (const PlotCurve& c : spec.curves) DrawCurve(p, frame, c);
    p.setClipping(false);
    DrawLegend(p, area, spec);
    return image;
}

}  // namespace frontlys
