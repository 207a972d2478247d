// What the 3D view asks of the user interface, registered by the user interface at start-up.
#include "ViewUi.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

void ZELKViewUi::ShowMessageText(const wxString& text)
{
    wxMessageBox(text, wxTheApp != nullptr ? wxTheApp->GetAppDisplayName() : wxString(), wxOK | wxICON_WARNING);
}

namespace ZELKCAD {

namespace {
ZELKViewUi* g_ui = nullptr;
}

void SetViewUi(ZELKViewUi* ui)
{
    g_ui = ui;
}

ZELKViewUi* GetViewUi()
{
    return g_ui;
}

}  // namespace ZELKCAD
