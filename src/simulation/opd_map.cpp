#include "simulation/opd_map.h"

#include <algorithm>
#include <cmath>

namespace frontlys {

OpdMap::OpdMap(const std::function<double(double x, double y)>& f, int side)
    : m_side(std::max(2, side)),
      m_step(2.0 / (m_side - 1)),
      m_values(static_cast<std::size_t>(m_side) * m_side)
{
    for (int r = 0; r < m_side; ++r) {
        for (int c = 0; c < m_side; ++c) {
            m_values[static_cast<std::size_t>(r) * m_side + c] = f(-1 + c * m_step, -1 + r * m_step);
        }
    }
    m_maxSlope = ComputeMaxSlope();
}

double OpdMap::operator()(double x, double y) const
{
    const double u = std::clamp((x + 1) / m_step, 0.0, m_side - 1.0);
    const double v = std::clamp((y + 1) / m_step, 0.0, m_side - 1.0);
    const int c = std::min(static_cast<int>(u), m_side - 2);
    const int r = std::min(static_cast<int>(v), m_side - 2);
    const double tu = u - c;
    const double tv = v - r;
    return (1 - tv) * ((1 - tu) * At(r, c) + tu * At(r, c + 1)) +
           tv * ((1 - tu) * At(r + 1, c) + tu * At(r + 1, c + 1));
}

double OpdMap::ComputeMaxSlope() const
{
    double best = 0;
    for (int r = 0; r + 1 < m_side; ++r) {
        const double y = -1 + (r + 0.5) * m_step;
        for (int c = 0; c + 1 < m_side; ++c) {
            const double x = -1 + (c + 0.5) * m_step;
            if (x * x + y * y > 1) continue;
            const double gx = 0.5 * (At(r, c + 1) - At(r, c) + At(r + 1, c + 1) - At(r + 1, c)) / m_step;
            const double gy = 0.5 * (At(r + 1, c) - At(r, c) + At(r + 1, c + 1) - At(r, c + 1)) / m_step;
            best = std::max(best, std::hypot(gx, gy));
        }
    }
    return best;
}

}  // namespace frontlys
