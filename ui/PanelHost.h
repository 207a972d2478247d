// What the panels, the custom controls and the frame report to the program
// around them. The UI coordinator implements it and registers itself when it
// is made, so no widget includes the coordinator and no panel reaches another:
// a panel says what happened, the coordinator decides who follows.
// User-interface thread.
#pragma once

#include <string>

#include <wx/gdicmn.h>
#include <wx/string.h>

class ZELKPictureCtrl;

enum UpdateTemperatureOrHeight { UPDATE_EXTRUDE_TEMPERATURE = 0, UPDATE_PLATFORM_TEMPERATURE = 1,
                                 UPDATE_Z_HEIGHT = 2, UPDATE_ALL = 3 };

class PanelHost {
public:
    // The registered host; null before the coordinator is made and after it went.
    static PanelHost* Get();
    static void Set(PanelHost* host);

    virtual ~PanelHost() = default;

    // A message in the current language, with a detail quoted below it.
    virtual void MessageBox_Zelk(const std::string& key, const std::string& detail) = 0;
    // A question in the current language; true for Yes. No is the default.
    virtual bool AskYesNo_Zelk(const std::string& key, const std::string& detail) = 0;

    // A tool picture was clicked.
    virtual void OnPictureClicked(ZELKPictureCtrl* picture) = 0;
    // A panel was closed by its close box: no tool picture stays checked.
    virtual void UpdatePicCtrlToUnChecked() = 0;
    // The language changed: every window takes its texts.
    virtual void Translate() = 0;

    // The main frame moved or changed size: the panels, the tool pictures and
    // the information bar follow.
    virtual void SetWndPositon(int x, int y) = 0;
    virtual void SetInfoWndPosition(const wxRect& frameRect, int hide) = 0;
    virtual void SetPictureCtrlPosition(int width) = 0;

    // The start G-code's temperatures or height changed: the fields of the
    // slicing panel or of the machine control panel follow.
    virtual void UpdateTemperatureHeightGCodeWnd(UpdateTemperatureOrHeight what) = 0;
    virtual void UpdateTemperatureHeightControlWnd(UpdateTemperatureOrHeight what) = 0;

    // The printer connection changed: the connect picture shows it, and the
    // information bar's temperature goes when it is not connected.
    virtual void ShowMachineConnectPicIsConnected(int connected) = 0;
    virtual void ShowMachineExtrudeTemperature(const wxString& text) = 0;
    // The link is about to end: a jog still held and a height measurement end.
    virtual void EndHandControl() = 0;
    // No print runs any more: the start picture offers a new one.
    virtual void OfferNewPrint() = 0;
    virtual void ShowControlWnd(int show) = 0;
    // A running print ended otherwise than by the printer's report.
    virtual void NotifyPrintEnded(const wxString& text) = 0;
};
