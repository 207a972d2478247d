// The one model of the printer in the process: axis constants, extruder head,
// platform, and the position and feedrate reached by the translated G-code.
#pragma once

#include "CPoint5D.h"

// One stepper axis. All values start at 0 unless a constructor says otherwise.
class ZELKMachineMotor {
public:
    ZELKMachineMotor() = default;
    ZELKMachineMotor(double stepsPerMM, double speed, double maxFeedrate)
        : m_stepsPerMM(stepsPerMM), m_speed(speed), m_maxFeedrate(maxFeedrate) {}

    void SetStepsPerMM(double v) { m_stepsPerMM = v; }
    double GetStepsPerMM() const { return m_stepsPerMM; }
    void SetSpeed(double v) { m_speed = v; }
    double GetSpeed() const { return m_speed; }
    void SetMaxFeedrate(double v) { m_maxFeedrate = v; }
    double GetMaxFeedrate() const { return m_maxFeedrate; }

private:
    double m_stepsPerMM = 0;
    double m_speed = 0;
    double m_maxFeedrate = 0;
};

class ZELKMachineExtrudeHead {
public:
    ZELKMachineExtrudeHead() : m_motor(100.470955, 0, 0) {}

    ZELKMachineMotor& GetMotor() { return m_motor; }
    void SetTemperature(int tempC) { m_temperature = tempC; }
    int GetTemperature() const { return m_temperature; }

private:
    ZELKMachineMotor m_motor;
    int m_temperature = 0;
};

class ZELKMachinePlatform {
public:
    virtual ~ZELKMachinePlatform() = default;

    void SetTemperature(int tempC) { m_temperature = tempC; }
    int GetTemperature() const { return m_temperature; }
    void SetCenter(double x, double y) { m_centerX = x; m_centerY = y; }
    void GetCenter(double& x, double& y) const { x = m_centerX; y = m_centerY; }

private:
    int m_temperature = 0;
    double m_centerX = 0;
    double m_centerY = 0;
};

// The per-axis motors and the steps-per-mm / max-feedrate points are
// independent copies: the motors' setters do not change the points.
// Nothing is locked; see the machine link's notes on threads.
class ZELKMachine {
public:
    // The process-wide machine, created with the defaults on first call.
    static ZELKMachine* GetMachine();

    // A machine with the defaults; the process uses GetMachine(), tests and
    // tools may keep their own.
    ZELKMachine();

    ZELKMachinePlatform& GetMachinePlatform() { return m_platform; }
    ZELKMachineMotor& GetMachineMotorX() { return m_motorX; }
    ZELKMachineMotor& GetMachineMotorY() { return m_motorY; }
    ZELKMachineMotor& GetMachineMotorZ() { return m_motorZ; }
    ZELKMachineExtrudeHead& GetMachineExtrudeHead() { return m_extrudeHead; }

    void SetMatchineState(int state) { m_state = state; }
    int GetMatchineState() const { return m_state; }

    void SetCurrentPosition(CPoint5D position) { m_currentPosition = position; }
    CPoint5D getCurrentPosition() const { return m_currentPosition; }
    void SetCurrentFeedrate(double mmPerMin) { m_currentFeedrate = mmPerMin; }
    double GetCurrentFeedrate() const { return m_currentFeedrate; }

    CPoint5D GetStepsPerMM() const { return m_stepsPerMM; }
    CPoint5D GetMaxFeedrate() const { return m_maxFeedrate; }

private:
    static ZELKMachine* m_machine;

    ZELKMachinePlatform m_platform;
    ZELKMachineMotor m_motorX;
    ZELKMachineMotor m_motorY;
    ZELKMachineMotor m_motorZ;
    ZELKMachineExtrudeHead m_extrudeHead;
    int m_state = 0;
    CPoint5D m_currentPosition;
    CPoint5D m_stepsPerMM;
    double m_currentFeedrate = 0;
    CPoint5D m_maxFeedrate;
};
