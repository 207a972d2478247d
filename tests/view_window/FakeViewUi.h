// A recording stand-in for the user interface the 3D view calls.
#pragma once

#include <string>
#include <vector>

#include "ViewUi.h"

namespace viewtest {

class FakeViewUi : public ZELKViewUi {
public:
    FakeViewUi() : m_previous(ZELKCAD::GetViewUi()) { ZELKCAD::SetViewUi(this); }
    ~FakeViewUi() override { ZELKCAD::SetViewUi(m_previous); }

    void ShowModelInformation(const wxString& text) override { information.push_back(text); }
    void ShowWnd(int show) override { editPictures.push_back(show); }
    void HideModelEditWnd() override { ++hideEditPanels; }
    void ShowGCodeWnd(int show) override { gcodePanel.push_back(show); }
    wxString GetTranslateString(const std::string& key) override { return "<" + key + ">"; }
    void MessageBox_Zelk(const std::string& key) override { messages.push_back(key); }
    void ShowMessageText(const wxString& text) override { texts.push_back(text); }
    void OnModelsChanged() override { ++modelsChanged; }

    std::vector<wxString> information;
    std::vector<int> editPictures;
    int hideEditPanels = 0;
    std::vector<int> gcodePanel;
    int modelsChanged = 0;
    std::vector<std::string> messages;
    std::vector<wxString> texts;

private:
    ZELKViewUi* m_previous;
};

}  // namespace viewtest
