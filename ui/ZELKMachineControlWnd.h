// The machine control panel: jog, motors, approach and height measurement,
// temperatures and filament of the connected printer.
#pragma once

#include <wx/timer.h>

#include "ZELKPositionWatch.h"
#include "ZELKStaticCtrl.h"
#include "ZELKTransparentDlg.h"

class wxChoice;
class wxTextCtrl;

// Every action turns into G-code lines translated into packages and put at
// the front of the machine control's operation list, so they go out before
// anything else that waits. Handlers run on the user-interface thread and
// only queue packages.
class ZELKMachineControlWnd : public ZELKTransparentDlg, public ZELKJogPanel {
public:
    enum { IDD = 3060, ID_TIMER_MEASURE = 2000 };
    static constexpr int kHeightDlu = 226;
    // The note: two lines below the bottom row (x, y, width, height).
    static constexpr int kNextPrintNoteDlu[4] = {8, 201, 204, 22};
    enum ControlId {
        ID_ARROW_X_MINUS = 3061, ID_ARROW_X_PLUS = 3062, ID_ARROW_Y_MINUS = 3063, ID_ARROW_Y_PLUS = 3064,
        ID_ARROW_Z_PLUS = 3065, ID_ARROW_Z_MINUS = 3066, ID_EDIT_EXTRUDER = 3067, ID_EDIT_PLATFORM = 3068,
        ID_EDIT_HEIGHT = 3069, ID_LIST_FINE = 3070, ID_CAPTION = 3071, ID_LABEL_EXTRUDER = 3072,
        ID_LABEL_PLATFORM = 3073, ID_LIST_JOG = 3074, ID_BUTTON_LOCK = 3075, ID_BUTTON_UNLOCK = 3076,
        ID_BUTTON_SET_EXTRUDER = 3077, ID_BUTTON_SET_PLATFORM = 3078, ID_BUTTON_FEED = 3079,
        ID_BUTTON_RETRACT = 3080, ID_BUTTON_STOP = 3081, ID_BUTTON_COARSE = 3082, ID_BUTTON_FINE = 3083,
        ID_BUTTON_MEASURE = 3084, ID_BUTTON_SET_HEIGHT = 3085,
        // Says that what Set stores is what the next print starts with.
        ID_LABEL_NEXT_PRINT = 3086
    };
    static constexpr int kMeasurePeriodMs = 500;

    ZELKMachineControlWnd(wxWindow* parent, const wxPoint& pos);
    // A jog still held is stopped before the arrows go.
    ~ZELKMachineControlWnd() override;
    bool Destroy() override;
    // Hiding the panel ends a jog still held.
    bool Show(bool show = true) override;

    // Texts in the current language; the continuous jog entry is selected again.
    void Translate();
    // Copies the start G-code's values into the three fields, as flagged.
    void SetFields(const wxString& extruderTemp, const wxString& platformTemp, const wxString& zHeight,
                   bool extruder, bool platform, bool height);

    // ZELKJogPanel: the jog of direction code `arrowId` by the selected step.
    void JogStart(int arrowId) override;
    bool IsContinuousJog() const override;
    void JogStopContinuous() override;
    // Ends a jog still held (the stop of a continuous one goes out once);
    // for the coordinator when the link goes away.
    void EndJog();

    // A reported Z (mm) of the printer: shown in the height field. While
    // measuring, decides whether the platform has stopped (the same position
    // more than three replies in a row); then the measurement ends and true
    // is returned.
    bool SetMeasuredZ(double zMm);
    bool IsMeasuring() const { return m_measuring; }
    // Stops the position queries and enables the jog controls again.
    void StopMeasuring();

    // The measurement's query period; tests shorten it.
    static void SetMeasurePeriodMs(int ms);

private:
    void CreateControls();
    void OnCommand(wxCommandEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnMeasureTimer(wxTimerEvent& event);

    void LockMotors();
    void UnlockMotors();
    void CoarseApproach();
    void FineStep();
    void StartMeasuring();
    void SetExtruderTemperature();
    void SetPlatformTemperature();
    void StartExtrude(int direction);
    void SetStartHeight();
    // Enables or disables the arrows and the buttons that move the platform.
    void EnableMotion(bool enable);

    ZELKStaticCtrl* m_arrows[6] = {};
    wxChoice* m_jogList = nullptr;
    wxChoice* m_fineList = nullptr;
    wxTextCtrl* m_extruderEdit = nullptr;
    wxTextCtrl* m_platformEdit = nullptr;
    wxTextCtrl* m_heightEdit = nullptr;
    wxTimer m_measureTimer;
    bool m_measuring = false;
    ZELKPositionWatch m_zWatch;
};
