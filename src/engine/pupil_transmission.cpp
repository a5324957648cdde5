#include "engine/pupil_transmission.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

namespace frontlys {
namespace {

// 1 inside an edge at signed distance `inside` (positive in the light), a ramp `soft` wide across it.
double Edge(double inside, double soft)
{
    if (soft <= 0) return inside >= 0 ? 1.0 : 0.0;
    return std::clamp(inside / soft + 0.5, 0.0, 1.0);
}

}  // namespace

bool VanesValid(const SpiderVanes& v)
{
    const bool even = v.otherWidth == 0 && v.otherTurnDeg == 0;
    return v.count >= 0 && v.count <= kMaxVanes && std::isfinite(v.width) && v.width >= 0 && v.width < 1 &&
           std::isfinite(v.angleDeg) && std::isfinite(v.otherWidth) && v.otherWidth >= 0 &&
           v.otherWidth < 1 && std::isfinite(v.otherTurnDeg) &&
           (even || (v.count % 2 == 0 && v.count > 0 && std::abs(v.otherTurnDeg) < 180.0 / v.count));
}

double VaneDistance(const SpiderVanes& v, double x, double y)
{
    if (!v.Present()) return std::numeric_limits<double>::infinity();
    const double step = 2 * std::numbers::pi / v.count;
    const double first = v.angleDeg * std::numbers::pi / 180;
    // Only the vane nearest in angle can be nearest in distance, unless the point lies behind its
    // root (within a vane width of the centre): then the centre is as near as any.
    const double phi = std::atan2(y, x) - first;
    const double k = std::round(phi / step);
    const double theta = first + k * step;
    const double along = x * std::cos(theta) + y * std::sin(theta);
    const double across = std::abs(-x * std::sin(theta) + y * std::cos(theta));
    return along > 0 ? across : std::hypot(x, y);
}

double VaneClearance(const SpiderVanes& v, double x, double y)
{
    if (v.otherWidth == 0 && v.otherTurnDeg == 0) return VaneDistance(v, x, y) - 0.5 * v.width;
    if (!v.Present()) return std::numeric_limits<double>::infinity();
    // Two families: each vane tried (a turned one may be the nearest away from its even place).
    const double step = 2 * std::numbers::pi / v.count;
    const double first = v.angleDeg * std::numbers::pi / 180, turn = v.otherTurnDeg * std::numbers::pi / 180;
    double nearest = std::numeric_limits<double>::infinity();
    for (int i = 0; i < v.count; ++i) {
        const bool other = i % 2 == 1;
        const double theta = first + i * step + (other ? turn : 0);
        const double along = x * std::cos(theta) + y * std::sin(theta);
        const double across = std::abs(-x * std::sin(theta) + y * std::cos(theta));
        const double half = 0.5 * (other && v.otherWidth > 0 ? v.otherWidth : v.width);
        nearest = std::min(nearest, (along > 0 ? across : std::hypot(x, y)) - half);
    }
    return nearest;
}

double PupilTransmission(double x, double y, double eps, const SpiderVanes& vanes, double soft)
{
    // A point two ramp widths inside both edges has both ramps at exactly 1, whatever the last bits
    // of its radius: the renders' interior points skip the radius.
    const double u = x * x + y * y, inner = eps + 2 * soft, outer = 1 - 2 * soft;
    if (soft > 1e-9 && outer > 0 && u < outer * outer && (eps <= 0 || u > inner * inner)) {
        if (!vanes.Present()) return 1.0;
        return Edge(VaneClearance(vanes, x, y), soft);
    }
    const double r = std::hypot(x, y);
    double t = Edge(1 - r, soft);
    if (eps > 0) t *= Edge(r - eps, soft);
    if (t > 0 && vanes.Present()) t *= Edge(VaneClearance(vanes, x, y), soft);
    return t;
}

PupilFunction MakePupilTransmission(double obstruction, const SpiderVanes& vanes, double soft)
{
    return [obstruction, vanes, soft](double x, double y) {
        return PupilTransmission(x, y, obstruction, vanes, soft);
    };
}

namespace {

// The vanes' centre lines, to tell cheaply the points that no vane's ramp reaches: a point farther than
// the widest half-vane plus the ramp from every line and from the centre has its vane factor exactly 1,
// whatever the last bits of the angles (the margin is a thousand times their rounding).
class VaneLines {
public:
    explicit VaneLines(const SpiderVanes& v, double soft)
    {
        if (!v.Present()) return;
        const double step = 2 * std::numbers::pi / v.count;
        const double first = v.angleDeg * std::numbers::pi / 180,
                     turn = v.otherTurnDeg * std::numbers::pi / 180;
        m_count = v.count;
        for (int i = 0; i < v.count; ++i) {
            const double theta = first + i * step + (i % 2 == 1 ? turn : 0);
            m_sin[i] = std::sin(theta);
            m_cos[i] = std::cos(theta);
        }
        m_reach = 0.5 * std::max(v.width, v.otherWidth) + soft + 1e-12;
    }

    bool Clear(double x, double y, double u) const
    {
        if (u <= m_reach * m_reach) return false;
        for (int i = 0; i < m_count; ++i)
            if (std::abs(y * m_cos[i] - x * m_sin[i]) <= m_reach) return false;
        return true;
    }

private:
    int m_count = 0;
    double m_reach = 0;
    std::array<double, kMaxVanes> m_sin{}, m_cos{};
};

void TransmissionRow(double y,
                     std::span<const double> xs,
                     std::span<double> out,
                     double eps,
                     const SpiderVanes& vanes,
                     const VaneLines& lines,
                     double soft)
{
    // PupilTransmission's interior test, on the same expressions: there both ramps are exactly 1.
    const double inner = eps + 2 * soft, outer = 1 - 2 * soft;
    const bool ramps = soft > 1e-9 && outer > 0, present = vanes.Present();
    const std::size_t n = std::min(xs.size(), out.size());
    for (std::size_t i = 0; i < n; ++i) {
        const double x = xs[i], u = x * x + y * y;
        if (ramps && u < outer * outer && (eps <= 0 || u > inner * inner) &&
            (!present || lines.Clear(x, y, u)))
            out[i] = 1.0;
        else
            out[i] = PupilTransmission(x, y, eps, vanes, soft);
    }
}

}  // namespace

void PupilTransmissionRow(double y,
                          std::span<const double> x,
                          std::span<double> out,
                          double obstruction,
                          const SpiderVanes& vanes,
                          double soft)
{
    TransmissionRow(y, x, out, obstruction, vanes, VaneLines(vanes, soft), soft);
}

PupilRowFunction MakePupilTransmissionRow(double obstruction, const SpiderVanes& vanes, double soft)
{
    return [obstruction, vanes, soft, lines = VaneLines(vanes, soft)](
               double y, std::span<const double> x, std::span<double> out) {
        TransmissionRow(y, x, out, obstruction, vanes, lines, soft);
    };
}

}  // namespace frontlys
