// The printer's replies, arriving on a thread of the machine link, become window
// updates queued to the user-interface thread in the order of the replies.
#include <wx/app.h>

#include "ZELKMachineControl.h"
#include "ZELKUIOperation.h"

#include "RunState.h"

namespace {

// Runs `update` on the user-interface thread after what was queued before it.
template <typename F>
void OnUiThread(F&& update)
{
    if (wxTheApp != nullptr)
        wxTheApp->CallAfter(std::forward<F>(update));
}

}  // namespace

long ZELKUIOperation::OnCommReceive(const RECEIVEBUF& reply)
{
    GetUIOperationObject()->HandleReceive(reply);
    return 0;
}


void ZELKUIOperation::HandleReceive(const RECEIVEBUF& reply)
{
    switch (reply.type) {
    case zelk::kReplyExtruderTemperature: {
        const int tempC = reply.extruderTemperature;
        OnUiThread([this, tempC] {
            UpdateTemperatureShowValue(GetTranslateString("id_infor_temperatureExtrude") + wxString::Format("%d", tempC));
            AddTemperatureSample(tempC, -1);
        });
        break;
    }
    case zelk::kReplyPlatformTemperature: {
        // The line keeps showing the extruder's reading, now with its unit.
        const int tempC = reply.extruderTemperature;
        const int platformC = reply.platformTemperature;
        OnUiThread([this, tempC, platformC] {
            UpdateTemperatureShowValue(GetTranslateString("id_infor_temperatureExtrude") +
                                       wxString::Format("%d", tempC) + wxString::FromUTF8("℃"));
            AddTemperatureSample(-1, platformC);
        });
        break;
    }
    case zelk::kReplyPosition: {
        const double zMm = reply.z;
        OnUiThread([this, zMm] { UpdateZAxisShowValue(zMm); });
        break;
    }
    case zelk::kReplyBuildFinished: {
        // The print is over: the picture offers to start again. Set, not
        // flipped, and on the user-interface thread, so that a click handled
        // before this update can neither start a print on a stale state nor
        // leave the state inverted.
        OnUiThread([this] {
            zelk::RunState::Program().EndPrinting();
            UpdatePrintPicture(1);
            UpdatePrintToolTipText(GetTranslateString("id_picToolTip_startPrint"));
            ShowPrintComplete();
        });
        break;
    }
    default:
        break;
    }
}
