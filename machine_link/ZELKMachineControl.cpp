// The one object through which the program talks to the printer.
#include "ZELKMachineControl.h"

#include "MachinePackages.h"
#include "X3gWriter.h"

ZELKMachineControl* ZELKMachineControl::m_machineControl = nullptr;

ZELKMachineControl* ZELKMachineControl::GetMachineControl()
{
    if (m_machineControl == nullptr)
        m_machineControl = new ZELKMachineControl();
    return m_machineControl;
}

ZELKMachineControl::ZELKMachineControl(ZELKMachine* machine, ZELKStartGCodeOperater* startGCode)
    : m_translator(machine, startGCode)
{
}

void ZELKMachineControl::GCodeParser(const char* gcodePath)
{
    m_printList.clear();
    m_printList.shrink_to_fit();
    m_printList = m_translator.FileParser(gcodePath);
}

int ZELKMachineControl::GCodeParser(const std::string& line, Package& out)
{
    m_translator.GetGCodeCommandPackage(line, out);
    return 1;
}

int ZELKMachineControl::SaveX3gFile(const std::string& gcodePath, const char* x3gPath)
{
    GCodeParser(gcodePath.c_str());
    return SaveX3gFile(x3gPath);
}

int ZELKMachineControl::SaveX3gFile(const char* x3gPath)
{
    m_saveX3gError.clear();
    return zelk::WriteX3gFile(m_printList, x3gPath, &m_saveX3gError) ? 1 : 0;
}

int ZELKMachineControl::GetIsFinishedPackage(Package& out)
{
    out = zelk::IsFinishedPackage();
    return 1;
}

int ZELKMachineControl::GetInquire_ExtrudeHeadTemperaturePackage(Package& out)
{
    out = zelk::ExtruderTemperatureQueryPackage();
    return 1;
}

int ZELKMachineControl::GetInquire_PlatformTemperaturePackage(Package& out)
{
    out = zelk::PlatformTemperatureQueryPackage();
    return 1;
}

int ZELKMachineControl::GetInquireMachineCoordinatePackage(Package& out)
{
    out = zelk::MachineCoordinateQueryPackage();
    return 1;
}

int ZELKMachineControl::GetExtrudeHeaderAbortPackage(Package& out)
{
    out = zelk::ExtendedStopPackage();
    return 1;
}

int ZELKMachineControl::GetEndPrintPackage(Package& out)
{
    return GetExtrudeHeaderAbortPackage(out);
}

int ZELKMachineControl::GetExtrudeHeaderMovePackage(int direction, float speed, int seconds, Package& out)
{
    out = zelk::ExtruderMovePackage(direction, speed, seconds);
    return 1;
}

int ZELKMachineControl::GetPrintPercentPackage(int percent, Package& out)
{
    out = zelk::PrintPercentPackage(percent);
    return 1;
}
