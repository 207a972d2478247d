// COrvanelView: the program's single view, the 3D view plus the print workflow of the tool pictures.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <wx/timer.h>

#include "GCodeFlavor.h"
#include "PrintJob.h"
#include "RunState.h"
#include "ZELKMachineControl.h"
#include "ZELKOpenGLView.h"

// Creates the coordinator's panels and tool pictures on itself and runs
// their commands: import (100), start/stop print (107), stop print (108),
// save X3G (109), connect (110), pause/resume (111),
// temperature graph (112), toolpath preview (113). The print-preparation and export workers
// hand every window update back to the user-interface thread in one step,
// in the order the user must see it.
class COrvanelView : public ZELKOpenGLView {
public:
    enum { ID_TIMER_EXPORT = 1, ID_TIMER_PREPARE = 2 };

    COrvanelView(wxWindow* parent, int id = wxID_ANY);
    ~COrvanelView() override;

    // The tool-picture commands.
    void OnImportModel();
    void OnStartOrStopPrint();
    void OnEndPrint();
    void OnSaveX3g();
    void OnConnect();

    // Loads files as an import does, without the dialog: the import folder is
    // emptied, the files are read on a worker thread while the progress panel
    // shows, then placed. Returns at once.
    // STL files among them are imported; a G-code or X3G file becomes the
    // file to print (the last one given), its toolpaths shown.
    void ImportFiles(const std::vector<std::string>& paths);
    // Makes a G-code or X3G file the one the next print and export use, and
    // shows its toolpaths; an import of models gives the plate back.
    void OpenPrintFile(const std::string& path);
    bool IsImporting() const { return m_importing.load(); }
    // Called with the files the user chose to open (import dialog, drop,
    // command line, recent files), as given.
    void SetFilesOpenedHandler(std::function<void(const std::vector<std::string>&)> handler)
    {
        m_filesOpened = std::move(handler);
    }

    // 1 while a print is being prepared.
    static int GetPrintPreparationFlag() { return zelk::RunState::Program().IsPreparingPrint() ? 1 : 0; }
    bool IsExporting() const { return zelk::RunState::Program().IsExporting(); }
    int GetPrepareClock() const { return m_prepareClock; }
    int GetExportClock() const { return m_exportClock; }
    // One tick of timer 1 or 2 (also what the timers call).
    void OnClockTick(int timerId);

    // The working folder emptied on every import.
    static std::string ImportFolder();

private:
    void OnCommand(wxCommandEvent& event);
    void OnTimer(wxTimerEvent& event);
    void CreatePanels();
    void ImportModels(const std::vector<std::string>& paths);
    // The plate's models print again: the opened print file is let go.
    void ForgetPrintFile();
    // What the print job came to, on the user-interface thread.
    void OnPrintPrepared(const zelk::PrintJob::Result& result);
    void OnExported(const zelk::PrintJob::Result& result);
    // A file that looked foreign: the user's flavour goes to the job; with
    // none the progress panel and its clock stop.
    void AskJobFlavor(const zelk::PrintJob::Result& result, wxTimer& clock);
    // The job's result has been taken: the progress panel and its clock stop
    // and the next job may begin.
    void EndJobDisplay(wxTimer& clock);
    void EndPrintSequence();
    void JoinWorkers();


    int m_prepareClock = 0;
    int m_exportClock = 0;
    wxTimer m_exportTimer;
    wxTimer m_prepareTimer;
    ZELKThreadProc m_importThread;
    std::atomic<bool> m_importing{false};
    std::function<void(const std::vector<std::string>&)> m_filesOpened;
    zelk::PrintJob m_printJob{*ZELKMachineControl::GetMachineControl(), zelk::RunState::Program()};
};
