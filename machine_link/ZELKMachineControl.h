// The one object through which the program talks to the printer: translation
// of G-code into the print list, the X3G file, and the printer's packages.
#pragma once

#include <string>
#include <vector>

#include "Package.h"
#include "ZELKGCodeParser.h"

class ZELKMachine;
class ZELKStartGCodeOperater;

class ZELKMachineControl {
public:
    // The process-wide machine control, created on first call.
    static ZELKMachineControl* GetMachineControl();

    // A machine control of its own (tools, tests); null collaborators mean the
    // process-wide machine model and start G-code editor.
    explicit ZELKMachineControl(ZELKMachine* machine = nullptr, ZELKStartGCodeOperater* startGCode = nullptr);
    virtual ~ZELKMachineControl() = default;

    ZELKMachineControl(const ZELKMachineControl&) = delete;
    ZELKMachineControl& operator=(const ZELKMachineControl&) = delete;

    // Print list := the translation of the G-code file (the old list is dropped).
    void GCodeParser(const char* gcodePath);
    // Translates one line into out; always 1, so out is used even for M1.
    int GCodeParser(const std::string& line, Package& out);

    // Translates the G-code file into the print list, then writes it as X3G.
    // Nonzero on success; on failure no file is left at x3gPath and
    // GetSaveX3gError() says why.
    int SaveX3gFile(const std::string& gcodePath, const char* x3gPath);
    int SaveX3gFile(const char* x3gPath);
    const std::string& GetSaveX3gError() const { return m_saveX3gError; }

    const std::vector<Package>& GetPrintList() const { return m_printList; }
    const ZELKGCodeParser& GetTranslator() const { return m_translator; }

    // Fixed packages; each fills out and returns 1.
    int GetIsFinishedPackage(Package& out);
    static int GetInquire_ExtrudeHeadTemperaturePackage(Package& out);
    static int GetInquire_PlatformTemperaturePackage(Package& out);
    int GetInquireMachineCoordinatePackage(Package& out);
    int GetExtrudeHeaderAbortPackage(Package& out);
    int GetEndPrintPackage(Package& out);
    // A relative extruder move: direction 1 feeds, 0 retracts, at
    // min(speed, 20) for the given seconds.
    int GetExtrudeHeaderMovePackage(int direction, float speed, int seconds, Package& out);

private:
    int GetPrintPercentPackage(int percent, Package& out);

    static ZELKMachineControl* m_machineControl;

    ZELKGCodeParser m_translator;
    std::vector<Package> m_printList;
    std::string m_saveX3gError;
};
