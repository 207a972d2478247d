// A point or vector over the printer's five axes X, Y, Z, A (filament), B (unused).
#pragma once

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

    void add(CPoint5D p);
    void sub(CPoint5D p);
    void sub(CPoint5D a, CPoint5D b);
    void mul(CPoint5D a, CPoint5D b);
    // Per axis a / b; an axis whose divisor is 0 keeps its previous value.
    void div(CPoint5D a, CPoint5D b);

    // Every axis := floor(v + 0.5).
    void round();
    // As round(); the remainder v - rounded goes to remainder's axis.
    void round(CPoint5D& remainder);
    void absolute();

    CPoint5D Get3D() const;
    double distance(CPoint5D p) const;
    double magnitude() const;
    double length() const { return magnitude(); }
    void remove();
    double absolute_maximum() const;
    // First axis (X..B) whose value is outside [-1e-6, 1e-6]; -1 when none.
    int getNotZeroAxis() const;

private:
    double m_axis[5];
};
