// A point or vector over the printer's five axes X, Y, Z, A (filament), B (unused).
#pragma once

#include <cmath>

// floor() without a library call for the values a printer meets; the same
// result as std::floor for every input.
inline double FloorOf(double v)
{
    if (v > -4.0e15 && v < 4.0e15 && v != 0) {
        const double t = static_cast<double>(static_cast<long long>(v));
        return t > v ? t - 1.0 : t;
    }
    return std::floor(v);
}

// Axis index 0 is X, 1 Y, 2 Z, 3 A, 4 B. The unit is the caller's:
// millimetres, steps or millimetres per minute.
class CPoint5D {
public:
    CPoint5D();
    CPoint5D(double x, double y, double z);
    CPoint5D(double x, double y, double z, double a, double b);
    CPoint5D(const CPoint5D& other) = default;
    CPoint5D& operator=(const CPoint5D& other) = default;
    virtual ~CPoint5D() = default;

    // Index must be 0..4 (unchecked).
    double get(int i) const { return m_axis[i]; }
    double axis(int i) const { return m_axis[i]; }
    // Any index outside 0..4 yields 0.0.
    double operator[](int i) const;

    void set(int i, double v) { m_axis[i] = v; }
    void setAxis(int i, double v) { m_axis[i] = v; }
    // A and B become 0.
    void set(double x, double y, double z);
    void set(double x, double y, double z, double a, double b);
    void setX(double v) { m_axis[0] = v; }
    void setY(double v) { m_axis[1] = v; }
    void setZ(double v) { m_axis[2] = v; }
    void setA(double v) { m_axis[3] = v; }
    void setB(double v) { m_axis[4] = v; }

    double Axis_X() const { return m_axis[0]; }
    double Axis_Y() const { return m_axis[1]; }
    double Axis_Z() const { return m_axis[2]; }
    double Axis_A() const { return m_axis[3]; }
    double Axis_B() const { return m_axis[4]; }

    void add(const CPoint5D& p)
    {
        for (int i = 0; i < 5; ++i)
            m_axis[i] += p.m_axis[i];
    }
    void sub(const CPoint5D& p)
    {
        for (int i = 0; i < 5; ++i)
            m_axis[i] -= p.m_axis[i];
    }
    void sub(const CPoint5D& a, const CPoint5D& b)
    {
        for (int i = 0; i < 5; ++i)
            m_axis[i] = a.m_axis[i] - b.m_axis[i];
    }
    void mul(const CPoint5D& a, const CPoint5D& b)
    {
        for (int i = 0; i < 5; ++i)
            m_axis[i] = a.m_axis[i] * b.m_axis[i];
    }
    // Per axis a / b; an axis whose divisor is 0 keeps its previous value.
    void div(CPoint5D a, CPoint5D b);

    // Every axis := floor(v + 0.5).
    void round()
    {
        for (double& v : m_axis)
            v = FloorOf(v + 0.5);
    }
    // As round(); the remainder v - rounded goes to remainder's axis.
    void round(CPoint5D& remainder);
    void absolute()
    {
        for (double& v : m_axis)
            v = std::fabs(v);
    }

    CPoint5D Get3D() const;
    double distance(CPoint5D p) const;
    double magnitude() const
    {
        double sum = 0;
        for (double v : m_axis)
            sum += v * v;
        return std::sqrt(sum);
    }
    double length() const { return magnitude(); }
    void remove();
    double absolute_maximum() const;
    // First axis (X..B) whose value is outside [-1e-6, 1e-6]; -1 when none.
    int getNotZeroAxis() const;

private:
    double m_axis[5];
};
