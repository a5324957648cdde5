#pragma once
// An optical path difference sampled once over the square [-1, 1]^2 of reduced pupil coordinates
// and read back by bilinear interpolation, so that the many pupil samples of every wavelength and
// plane cost a look-up instead of a polynomial evaluation.

#include <functional>
#include <vector>

namespace frontlys {

class OpdMap {
public:
    // f(x, y) in nm at (side x side) points; side >= 2. f must be defined over the whole square
    // (callers extend it continuously beyond the pupil).
    OpdMap(const std::function<double(double x, double y)>& f, int side);

    double operator()(double x, double y) const;
    // Largest |grad| over the unit disc, nm per unit reduced radius.
    double MaxSlope() const { return m_maxSlope; }

private:
    double At(int row, int col) const { return m_values[static_cast<std::size_t>(row) * m_side + col]; }
    double ComputeMaxSlope() const;

    int m_side;
    double m_step;
    std::vector<double> m_values;  // row 0 at y = -1
    double m_maxSlope = 0;
};

}  // namespace frontlys
