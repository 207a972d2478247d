// Shared set-up of the window tests: a main frame with a view, captured
// messages and an event pump. Each binary runs in a program folder of its
// own (TestProgramHome.cpp).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <wx/app.h>
#include <wx/image.h>
#include <wx/panel.h>
#include <wx/utils.h>

#include "ScreenCapture.h"
#include "WxPump.h"
#include "ZELKFrameWnd.h"
#include "ZELKTranslation.h"
#include "ZELKUIOperation.h"

namespace uitest {

using testsupport::Pump;

// Messages shown through MessageBox_Zelk while it lives: key and text.
class MessageCapture {
public:
    MessageCapture()
    {
        m_previous = ZELKUIOperation::SetMessageBoxFunction(
            [this](const std::string& key, const wxString& text) { m_messages.emplace_back(key, text); });
    }
    ~MessageCapture() { ZELKUIOperation::SetMessageBoxFunction(std::move(m_previous)); }
    const std::vector<std::pair<std::string, wxString>>& Messages() const { return m_messages; }
    std::vector<std::string> Keys() const
    {
        std::vector<std::string> keys;
        for (const auto& message : m_messages)
            keys.push_back(message.first);
        return keys;
    }

private:
    ZELKUIOperation::MessageBoxFunction m_previous;
    std::vector<std::pair<std::string, wxString>> m_messages;
};

// The main frame with its view, the coordinator's panels and pictures on it,
// translated; destroyed (with every panel and picture) after the test. The
// language is Chinese again afterwards.
class UiFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_ui = ZELKUIOperation::GetUIOperationObject();
        m_frame = new ZELKFrameWnd(nullptr, wxID_ANY, "Morvadin-X", wxPoint(0, 0), wxSize(1000, 700));
        m_view = new wxPanel(m_frame, wxID_ANY);
        m_view->SetBackgroundColour(wxColour(96, 112, 128));
        m_ui->CreateViewWnd(m_view);
        m_ui->CreateLeftPictureCtrls(m_view);
        m_ui->Translate();
        m_frame->Show();
        Pump();
    }
    void TearDown() override
    {
        if (ZELKTranslation::GetTranslationObject()->GetLanguage() != LANGUAGE_CHINESE)
            ZELKTranslation::GetTranslationObject()->Translate(LANGUAGE_CHINESE);
        m_ui->UpdatePicCtrlToUnChecked();
        m_frame->Destroy();
        Pump();
    }

    ZELKUIOperation* m_ui = nullptr;
    ZELKFrameWnd* m_frame = nullptr;
    wxPanel* m_view = nullptr;
    MessageCapture m_capture;
};

using testsupport::CaptureScreen;

// Folder for the pictures the window tests save for people to look at.
inline std::string ArtefactFolder()
{
    return testsupport::ArtefactFolder("ui");
}

}  // namespace uitest
