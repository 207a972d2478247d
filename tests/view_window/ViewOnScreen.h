// The 3D view window shown in a frame of its own, drawing a database of the
// test's own with a renderer of the test's own; the user interface it calls
// is recorded. The view may be a test's subclass of ZELKOpenGLView.
#pragma once

#include <gtest/gtest.h>

#include <wx/event.h>
#include <wx/frame.h>

#include "EntityDatabase.h"
#include "FakeViewUi.h"
#include "WxPump.h"
#include "ZELKOpenGLView.h"
#include "ZelkOpenGL.h"

namespace viewtest {

template <class View = ZELKOpenGLView>
class ViewOnScreen : public ::testing::Test {
protected:
    ViewOnScreen(int width, int height) : m_width(width), m_height(height) {}

    void SetUp() override
    {
        m_frame = new wxFrame(nullptr, wxID_ANY, "view", wxPoint(0, 0), wxSize(m_width, m_height));
        m_view = new View(m_frame, wxID_ANY, wxDefaultPosition, wxDefaultSize, &m_renderer, &m_database);
        m_frame->SetClientSize(m_width, m_height);
        m_frame->Show();
        testsupport::Pump();
        m_view->Update();
    }
    void TearDown() override
    {
        m_frame->Destroy();
        testsupport::Pump();
    }

    // A mouse event at window position `at`, handled by the view.
    void Mouse(wxEventType type, const wxPoint& at, bool control = false, int wheel = 0)
    {
        wxMouseEvent event(type);
        event.SetPosition(at);
        event.SetControlDown(control);
        event.m_wheelRotation = wheel;
        event.m_wheelDelta = 120;
        event.SetEventObject(m_view);
        m_view->ProcessWindowEvent(event);
    }
    // A left click (down and up) at window position `at`.
    void Click(const wxPoint& at)
    {
        Mouse(wxEVT_LEFT_DOWN, at);
        Mouse(wxEVT_LEFT_UP, at);
    }

    FakeViewUi m_ui;
    ZELDBEntityDatabase m_database;
    CZelkOpenGL m_renderer{&m_database};
    wxFrame* m_frame = nullptr;
    View* m_view = nullptr;

private:
    int m_width, m_height;
};

}  // namespace viewtest
