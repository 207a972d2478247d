// The UI coordinator: owns the panels and the tool pictures, shows one panel
// per tool-picture click, keeps the texts in the current language, and turns
// the printer's replies into window updates.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <wx/gdicmn.h>
#include <wx/string.h>
#include <wx/weakref.h>

#include "ZELKGCodeWnd.h"
#include "ZELKMachineConnectWnd.h"
#include "ZELKMachineControlWnd.h"
#include "ZELKInfoWnd.h"
#include "ZELKMoveWnd.h"
#include "ZELKPictureCtrl.h"
#include "ZELKPrepareWnd.h"
#include "ZELKPrintMonitorWnd.h"
#include "ZELKRotateWnd.h"
#include "ZELKScaleWnd.h"
#include "ZELKTemperatureWnd.h"
#include "ZELKThreadProc.h"
#include "ZELKToolpathWnd.h"
#include "PanelHost.h"
#include "ViewUi.h"
#include "ZELKViewWnd.h"

struct RECEIVEBUF;
class ZELKMachineControl;

enum PictrueCtrlCheckedState { PICTURE_CHECKED = 2, PICTURE_UNCHECKED = 3 };
enum ModelEditState { MODEL_EDIT_NONE = 0, MODEL_EDIT_MOVE = 1, MODEL_EDIT_ROTATE = 2, MODEL_EDIT_SCALE = 3 };

// One tool picture of the left column, as CreateSinglePictrueCtrl takes it.
struct PictrueCtrlInfo {
    wxWindow* parent;
    int x;
    int y;
    unsigned uncheckedBitmap;
    unsigned checkedBitmap;
    unsigned id;
    PictrueCtrlStyle style;
};

// Window ids of the pictures (children of the main view).
enum PictureId { ID_PIC_IMPORT = 100, ID_PIC_VIEW = 101, ID_PIC_MOVE = 102, ID_PIC_ROTATE = 103,
                 ID_PIC_SCALE = 104, ID_PIC_MACHINE_CONTROL = 105, ID_PIC_GCODE = 106, ID_PIC_START = 107,
                 ID_PIC_STOP = 108, ID_PIC_EXPORT = 109, ID_PIC_SETTING = 110, ID_PIC_PAUSE = 111,
                 ID_PIC_TEMPERATURE = 112, ID_PIC_TOOLPATH = 113 };

// Everything but the reply callback runs on the user-interface thread. The
// reply callback runs on the link's thread that read the reply (the worker
// while it streams, the port's reader while it sleeps): it never touches a window
// and never waits; it queues the window updates to the user-interface thread
// in the order the replies came. It is the 3D view's user interface
// (ZELKViewUi), registered with the view library when it is created.
class ZELKUIOperation : public ZELKViewUi, public PanelHost {
public:
    // Shows a translated message: key and its text. Replaceable so that tests
    // capture the key instead of opening a box.
    using MessageBoxFunction = std::function<void(const std::string& key, const wxString& text)>;

    static ZELKUIOperation* GetUIOperationObject();

    ZELKUIOperation(const ZELKUIOperation&) = delete;
    ZELKUIOperation& operator=(const ZELKUIOperation&) = delete;

    // --- creation and layout
    // Creates every panel not yet created, hidden, as children of `parent`.
    void CreateViewWnd(wxWindow* parent);
    void CreateMachineConnectWnd(wxWindow* parent);
    void CreatePrepareWnd(wxWindow* parent);
    // The five top-row pictures and the six tool pictures.
    void CreateLeftPictureCtrls(wxWindow* parent);
    void SetPictureCtrlPosition(int width) override;
    // (x, y): the frame's screen position; the tool panels go to (x + 85, y + 180).
    void SetWndPositon(int x, int y) override;
    // Places the information bar along the bottom of `frameRect` and shows it, or hides it.
    void SetInfoWndPosition(const wxRect& frameRect, int hide) override;
    // What the frame must hold for every control to be reachable: the tool
    // panels, placed at the frame's corner + (85, 180), as an outer frame
    // size; the lowest tool picture's bottom edge in client pixels; and the
    // height the information bar covers along the frame's bottom.
    wxSize GetToolPanelsExtent() const;
    int GetToolColumnBottom() const;
    static constexpr int kInfoBarCover = 35;

    // --- showing panels
    // The tool-picture click: hides the six tool panels, then shows or hides the
    // one of `style`, refusing with a message (and unchecking the picture) when
    // its precondition fails. The move and rotate panels show their controls
    // when `selection` is nonzero, their no-selection note otherwise.
    void ShowWnd(PictrueCtrlStyle style, int show, int selection);
    void ShowWnd(PictrueCtrlStyle style, PictrueCtrlCheckedState state, int selection);
    void ShowWnd(PictrueCtrlStyle style, PictrueCtrlCheckedState state);
    // Shows or hides the move, rotate and scale pictures, unchecked, with their panels hidden.
    void ShowWnd(int show) override;
    void HideModelEditWnd() override;
    void OnModelsChanged() override;
    void ShowGCodeWnd(int show) override;
    // Opens the slicing panel as its tool picture would, with the picture checked.
    void ShowSlicingPanel();
    void ShowControlWnd(int show) override;
    void ShowMachineConnectWnd();
    void ShowPrepareWnd(int show);
    int GetModelEditState();

    // --- picture states
    // What a click on `picture` does (called by the picture).
    void OnPictureClicked(ZELKPictureCtrl* picture) override;
    void SetOtherPictureUncheckedBitmap(PictrueCtrlStyle keep);
    void UpdatePicCtrlToUnChecked() override;
    // Settings, import, export, view, slicing, machine control, move, rotate,
    // scale, start/stop and stop pictures; returns 1.
    int GetPictureCtrls(std::vector<wxWindow*>& pictures);
    void ShowMachineConnectPicIsConnected(int connected) override;
    // 1 when the start picture offers to start (no print runs), 0 when it
    // offers to stop: what the program's run state says (RunState.h).
    int GetIsStartPrintState() const;
    void ChangeIsStartPrintState();
    // Start picture for nonzero, stop picture for 0.
    static int UpdatePrintPicture(int state);
    // The start picture offers a new print again, with its tooltip.
    void OfferNewPrint() override;
    void EndHandControl() override;

    // --- watching a print (ZELKUIPrintWatch.cpp)
    // The print monitor and the pause picture (hidden until a print runs).
    void CreatePrintWatch(wxWindow* parent);
    // A print started: the monitor shows it, the pause picture offers to pause.
    void BeginPrintWatch(const zelk::PrintTimeEstimate& estimate);
    // The print ended (finished, stopped, lost): both hide; the time it ran
    // goes into the print-complete message.
    void EndPrintWatch();
    // What the pause picture does: pause a running print or resume a paused one.
    void TogglePrintPause();
    // A desktop notification of a print's end, when the window is not in front.
    void NotifyPrintEnded(const wxString& text) override;
    using NotificationFunction = std::function<void(const wxString& title, const wxString& text)>;
    static NotificationFunction SetNotificationFunction(NotificationFunction function);
    // The temperature graph: its picture shows while a printer is connected,
    // a click opens or closes the panel; every temperature reply feeds it.
    void ToggleTemperatureWnd();
    ZELKTemperatureWnd* GetTemperatureWnd() const { return m_temperatureWnd; }
    ZELKBitmapStatic* GetTemperaturePicture() const { return m_temperaturePic; }
    ZELKPrintMonitorWnd* GetPrintMonitorWnd() const { return m_printMonitorWnd; }

    // --- the toolpath preview (ZELKUIToolpath.cpp)
    void CreateToolpathPreview(wxWindow* parent);
    // Opens the preview of the G-code sliced for the loaded models (or says
    // why it cannot), or closes it. The file is read on a worker thread
    // (a busy cursor meanwhile); the panel opens when it has been read.
    void ToggleToolpathWnd();
    bool IsReadingToolpaths() const { return m_toolpathReading; }
    ZELKToolpathWnd* GetToolpathWnd() const { return m_toolpathWnd; }
    ZELKBitmapStatic* GetToolpathPicture() const { return m_toolpathPic; }
    ZELKBitmapStatic* GetPausePicture() const { return m_pausePic; }

    // --- texts
    void UpdatePicCtrlsToolTip();
    void UpdatePrintToolTipText(const wxString& text);
    // Pushes the current language into every panel and tooltip.
    void Translate() override;
    wxString GetTranslateString(const std::string& key) override;
    void MessageBox_Zelk(const std::string& key) override;
    // The translated text of `key` with a detail line under it (a file and
    // why it could not be used): the detail is the system's, not translated.
    void MessageBox_Zelk(const std::string& key, const std::string& detail) override;
    // A text without a translation key (which model files could not be read
    // and why) goes through the same message function, with an empty key.
    void ShowMessageText(const wxString& text) override;
    static MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function);
    // Asks a translated yes/no question; true for yes. Replaceable like the message box.
    using QuestionBoxFunction = std::function<bool(const std::string& key, const wxString& text)>;
    bool AskYesNo_Zelk(const std::string& key);
    // The question with a detail quoted below it.
    bool AskYesNo_Zelk(const std::string& key, const std::string& detail) override;
    static QuestionBoxFunction SetQuestionBoxFunction(QuestionBoxFunction function);
    void ShowModelInformation(const wxString& text) override;
    void ShowMachineExtrudeTemperature(const wxString& text) override;
    void SetPrepareAction(const wxString& text);
    void SetPrepareTime(const wxString& text);
    void PrepareStartPrintWnd();
    void PrepareSaveZLKWnd();
    void UpdateTemperatureHeightGCodeWnd(UpdateTemperatureOrHeight what) override;
    void UpdateTemperatureHeightControlWnd(UpdateTemperatureOrHeight what) override;

    // --- printer replies
    // Registered with the machine control: handles the reply it hands over.
    static long OnCommReceive(const RECEIVEBUF& reply);
    // Handles one reply record; callable from any thread.
    void HandleReceive(const RECEIVEBUF& reply);

    // Destroys the panels except the progress panel.
    void DeleteMemory();

    // Windows, for the program and for tests (null while not created).
    ZELKViewWnd* GetViewWnd() const { return m_viewWnd; }
    ZELKGCodeWnd* GetGCodeWnd() const { return m_gcodeWnd; }
    ZELKMachineConnectWnd* GetMachineConnectWnd() const { return m_connectWnd; }
    ZELKMachineControlWnd* GetControlWnd() const { return m_controlWnd; }
    ZELKMoveWnd* GetMoveWnd() const { return m_moveWnd; }
    ZELKRotateWnd* GetRotateWnd() const { return m_rotateWnd; }
    ZELKScaleWnd* GetScaleWnd() const { return m_scaleWnd; }
    ZELKInfoWnd* GetInfoWnd() const { return m_infoWnd; }
    ZELKPrepareWnd* GetPrepareWnd() const { return m_prepareWnd; }
    ZELKPictureCtrl* GetToolPicture(PictrueCtrlStyle style) const;
    ZELKBitmapStatic* GetStartPicture() const { return m_picStart; }
    ZELKBitmapStatic* GetSettingPicture() const { return m_settingPic; }
    ZELKBitmapStatic* GetStopPicture() const { return m_stopPic; }

private:
    ZELKUIOperation();

    void CreateSinglePictrueCtrl(ZELKPictureCtrl*& picture, const PictrueCtrlInfo& info);
    void CreateSinglePictrueCtrl(ZELKBitmapStatic*& picture, wxWindow* parent, int x, int y, unsigned id,
                                 unsigned bitmap);
    void SetSinglePictureCtrlBitmap(ZELKPictureCtrl* picture, PictrueCtrlStyle keep);
    // The panel of a tool picture's style; null while that panel does not exist.
    wxWindow* ToolPanel(PictrueCtrlStyle style) const;
    void HideToolPanels();
    // The move, rotate or scale panel takes its ranges and values from the selection.
    void RefreshEditPanel(PictrueCtrlStyle style);
    void UpdateTemperatureShowValue(const wxString& text);
    void UpdateZAxisShowValue(double z);
    void StopInquireZPosition();
    void ShowPrintComplete();
    void ShowPausePicture(bool paused);
    // Creates a picture of the top row once, at `at`, hidden unless `shown`.
    void CreateTopPicture(wxWeakRef<ZELKBitmapStatic>& picture, wxWindow* parent, const wxPoint& at, unsigned id,
                          unsigned bitmap, bool shown);
    // The picture looks checked (bitmap unchecked + 1) exactly while `panel`
    // is shown, however it came to be shown or hidden (its close box included).
    static void FollowPanel(wxWindow* panel, ZELKBitmapStatic* picture, unsigned unchecked);
    void AddTemperatureSample(int extruderC, int platformC);
    // The monitor, the temperature graph and the toolpath panel over the
    // view whose client area starts at `view` (screen pixels); at the view's
    // own place when not given.
    void PlaceWatchPanels(wxPoint view = wxDefaultPosition);

    static ZELKUIOperation* m_uiOperation;
    static wxWeakRef<ZELKBitmapStatic> m_picStart;

    wxWeakRef<ZELKPictureCtrl> m_viewPic;
    wxWeakRef<ZELKPictureCtrl> m_movePic;
    wxWeakRef<ZELKPictureCtrl> m_rotatePic;
    wxWeakRef<ZELKPictureCtrl> m_scalePic;
    wxWeakRef<ZELKPictureCtrl> m_machineControlPic;
    wxWeakRef<ZELKPictureCtrl> m_gcodePic;
    wxWeakRef<ZELKBitmapStatic> m_importPic;
    wxWeakRef<ZELKBitmapStatic> m_stopPic;
    wxWeakRef<ZELKBitmapStatic> m_exportPic;
    wxWeakRef<ZELKBitmapStatic> m_settingPic;
    wxWeakRef<ZELKBitmapStatic> m_pausePic;
    wxWeakRef<ZELKBitmapStatic> m_temperaturePic;
    wxWeakRef<ZELKBitmapStatic> m_toolpathPic;
    ZELKThreadProc m_toolpathReader;         // reads the previewed G-code file
    bool m_toolpathReading = false;       // user-interface thread only
    // The machine control panel was open when the connection panel took its
    // place: a printer that answers brings it back (user-interface thread only).
    bool m_controlWndBeforeConnect = false;
    // The view the pop-ups are placed over (their owner is its top-level window).
    wxWeakRef<wxWindow> m_viewParent;
    void ShowReadToolpaths(const std::shared_ptr<zelk::ToolpathModel>& model);
    void JoinToolpathReader();

    wxWeakRef<ZELKViewWnd> m_viewWnd;
    wxWeakRef<ZELKMoveWnd> m_moveWnd;
    wxWeakRef<ZELKRotateWnd> m_rotateWnd;
    wxWeakRef<ZELKScaleWnd> m_scaleWnd;
    wxWeakRef<ZELKGCodeWnd> m_gcodeWnd;
    wxWeakRef<ZELKMachineConnectWnd> m_connectWnd;
    wxWeakRef<ZELKMachineControlWnd> m_controlWnd;
    // The machine control and connection panels join here, each created in
    // CreateViewWnd, listed in ToolPanel and translated in Translate.
    wxWeakRef<ZELKPrepareWnd> m_prepareWnd;
    wxWeakRef<ZELKInfoWnd> m_infoWnd;
    wxWeakRef<ZELKPrintMonitorWnd> m_printMonitorWnd;
    wxWeakRef<ZELKTemperatureWnd> m_temperatureWnd;
    wxWeakRef<ZELKToolpathWnd> m_toolpathWnd;
    int m_lastPlatformC = -1;  // the latest platform reply; -1 while none came on this connection
    double m_lastPrintSeconds = 0;  // of the print that ended last, for its message

    ZELKMachineControl* m_machineControl;

    // Touched by the reply callback only.

    bool m_printCompleteShowing = false;
};
