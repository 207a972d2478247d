// A point or vector over the printer's five axes X, Y, Z, A (filament), B (unused).
#include "CPoint5D.h"

#include <cmath>

CPoint5D::CPoint5D() : m_axis{0, 0, 0, 0, 0} {}

CPoint5D::CPoint5D(double x, double y, double z) : m_axis{x, y, z, 0, 0} {}

CPoint5D::CPoint5D(double x, double y, double z, double a, double b) : m_axis{x, y, z, a, b} {}

double CPoint5D::operator[](int i) const
{
    return (i >= 0 && i < 5) ? m_axis[i] : 0.0;
}

void CPoint5D::set(double x, double y, double z)
{
    set(x, y, z, 0, 0);
}

void CPoint5D::set(double x, double y, double z, double a, double b)
{
    m_axis[0] = x;
    m_axis[1] = y;
    m_axis[2] = z;
    m_axis[3] = a;
    m_axis[4] = b;
}

void CPoint5D::div(CPoint5D a, CPoint5D b)
{
    for (int i = 0; i < 5; ++i) {
        if (b.m_axis[i] != 0)
            m_axis[i] = a.m_axis[i] / b.m_axis[i];
    }
}

void CPoint5D::round(CPoint5D& remainder)
{
    for (int i = 0; i < 5; ++i) {
        double r = std::floor(m_axis[i] + 0.5);
        remainder.m_axis[i] = m_axis[i] - r;
        m_axis[i] = r;
    }
}

CPoint5D CPoint5D::Get3D() const
{
    return CPoint5D(m_axis[0], m_axis[1], m_axis[2], 0, 0);
}

double CPoint5D::distance(CPoint5D p) const
{
    double sum = 0;
    for (int i = 0; i < 5; ++i) {
        double d = m_axis[i] - p.m_axis[i];
        sum += d * d;
    }
    return std::sqrt(sum);
}

void CPoint5D::remove()
{
    set(0, 0, 0, 0, 0);
}

double CPoint5D::absolute_maximum() const
{
    double best = 0;
    for (double v : m_axis) {
        if (std::fabs(v) > best)
            best = std::fabs(v);
    }
    return best;
}

int CPoint5D::getNotZeroAxis() const
{
    for (int i = 0; i < 5; ++i) {
        if (m_axis[i] > 1e-6 || m_axis[i] < -1e-6)
            return i;
    }
    return -1;
}
