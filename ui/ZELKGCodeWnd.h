// The slicing panel: settings, print height and temperatures, and the slicer run with its progress.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "SkeinforgeParameter.h"
#include "SliceJob.h"
#include "ZELKTransparentDlg.h"

#include <wx/timer.h>

class wxButton;
class wxCheckBox;
class wxChoice;
class wxGauge;
class wxStaticLine;
class wxTextCtrl;
class ZELKStatic;

// The panel shows the slice job (SliceJob.h) and commands it: the job's
// progress and end reach the user-interface thread through CallAfter. The
// start button comes back once the job has reaped its child, so two slicer
// runs never overlap.
class ZELKGCodeWnd : public ZELKTransparentDlg {
public:
    enum { IDD = 3020 };
    enum ControlId {
        ID_PROGRESS = 3021, ID_CHECK_RAFT = 3022, ID_CHECK_SUPPORT = 3023, ID_CHECK_FULL_SUPPORT = 3024,
        ID_EDIT_HEIGHT = 3025, ID_EDIT_EXTRUDER = 3026, ID_EDIT_PLATFORM = 3027, ID_STATUS = 3028,
        ID_LABEL_RAFT = 3029, ID_LABEL_FILL = 3030, ID_LABEL_LAYER = 3031, ID_LABEL_SHELLS = 3032,
        ID_LABEL_SPEED = 3033, ID_LABEL_SUPPORT = 3034, ID_LABEL_FULL_SUPPORT = 3035, ID_LABEL_HEIGHT = 3036,
        ID_LABEL_EXTRUDER = 3037, ID_LABEL_PLATFORM = 3038, ID_LABEL_PROGRESS = 3039, ID_LIST_FILL = 3040,
        ID_LIST_LAYER = 3041, ID_LIST_SHELLS = 3042, ID_LIST_SPEED = 3043, ID_BUTTON_RESET = 3044,
        ID_BUTTON_SET = 3045, ID_BUTTON_CANCEL = 3046, ID_BUTTON_START = 3047
    };

    ZELKGCodeWnd(wxWindow* parent, const wxPoint& pos);
    // Ends a slicer run still going (its child first) before the panel goes.
    ~ZELKGCodeWnd() override;
    bool Destroy() override;

    // Texts and list entries in the current language; the settings go back to their defaults.
    void Translate();
    // Layer height 0.2, fill Medium, speed Standard, shells Normal, raft on, no support.
    void SetDefaults();
    // The settings record the controls give.
    SkeinforgeParameter GetSettings() const;
    // Copies the start G-code's values (extruder, platform, height) into the fields.
    void SetFields(const wxString& extruderTemp, const wxString& platformTemp, const wxString& printHeight,
                   bool extruder, bool platform, bool height);

    // The set button: checks the three fields and stores them in the start
    // G-code; 0 with the range message when a field is refused.
    int ApplyFields();
    // The start button: checks, merges the models, starts the slicer.
    void StartSlicing();
    // The cancel button: ends the slicer run and resets the display.
    void CancelSlicing();

    // True from the start of a run until its child has been reaped.
    bool IsSlicing() const { return m_state != State::Idle; }
    // The G-code file the current or last run writes.
    const std::string& GetGCodePath() const { return m_gcodePath; }

    // How long a cancelled run may take to end before it is asked again (the
    // bridge then kills its engine), and again before the run is killed.
    static void SetCancelGraceMs(int ms);

private:
    enum class State { Idle, Slicing, Finishing };
    void CreateControls();
    void FitToTexts();
    void OnCommand(wxCommandEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnCancelTimer(wxTimerEvent& event);
    void ResetProgressDisplay();
    void SetButtons(State state);
    void ShowFailure(const zelk::Outcome& outcome);
    void OnJobUpdate(unsigned run, const zelk::SliceProgress::Update& update);
    void OnJobEnded(unsigned run, const zelk::SliceJob::End& end);
    void StopJob();

    wxTextCtrl* m_heightEdit = nullptr;
    wxTextCtrl* m_extruderEdit = nullptr;
    wxTextCtrl* m_platformEdit = nullptr;
    wxChoice* m_layerList = nullptr;
    wxChoice* m_fillList = nullptr;
    wxChoice* m_speedList = nullptr;
    wxStaticLine* m_listsLine = nullptr;  // the line under the lists
    wxChoice* m_shellsList = nullptr;
    wxCheckBox* m_raftCheck = nullptr;
    wxCheckBox* m_supportCheck = nullptr;
    wxCheckBox* m_fullSupportCheck = nullptr;
    wxGauge* m_progress = nullptr;
    ZELKStatic* m_status = nullptr;
    wxButton* m_startButton = nullptr;
    wxButton* m_cancelButton = nullptr;

    State m_state = State::Idle;
    std::string m_gcodePath;
    std::uint64_t m_fingerprint = 0;  // of the models merged for the current run
    bool m_destroying = false;
    wxTimer m_cancelTimer;  // the cancel's next step while the run lasts
    zelk::SliceJob m_job;   // last: it ends its run before the controls go
};
