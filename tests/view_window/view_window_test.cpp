// The 3D view window on screen: clicks select, drags and the wheel navigate, keys and the model menu act.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>

#include <wx/menu.h>

#include "DBPrint.h"
#include "ModelFixtures.h"
#include "ViewCommands.h"
#include "ViewOnScreen.h"

namespace {

// The view with the menu recorded instead of shown; a chosen command is sent as the menu would.
class TestView : public ZELKOpenGLView {
public:
    using ZELKOpenGLView::ZELKOpenGLView;
    int menusShown = 0;
    std::vector<int> menuItems;
    int choose = 0;

protected:
    void ShowContextMenu(wxMenu& menu, const wxPoint&) override
    {
        ++menusShown;
        menuItems.clear();
        for (wxMenuItem* item : menu.GetMenuItems())
            menuItems.push_back(item->IsSeparator() ? -1 : item->GetId());
        if (choose != 0) {
            wxCommandEvent command(wxEVT_MENU, choose);
            ProcessWindowEvent(command);
        }
    }
};

class ViewWindow : public viewtest::ViewOnScreen<TestView> {
protected:
    ViewWindow() : ViewOnScreen(800, 600) {}

    // A box model standing on the platform with its footprint centred at (cx, cy).
    ZELKDBPrint* AddBox(double cx, double cy, double size = 20)
    {
        auto* model = new ZELKDBPrint(
            modeltest::Box({cx - size / 2, cy - size / 2, 0}, {cx + size / 2, cy + size / 2, size}));
        model->SetName("/models/dir/box" + std::to_string(m_database.GetCount() + 1) + ".stl");
        int id = 0;
        m_database.Add(model, id);
        return model;
    }
    wxPoint WindowOf(const ZELKGePoint3d& world)
    {
        ZELKGePoint3d window;
        m_renderer.TransWCSToDCS(world, window);
        return wxPoint(static_cast<int>(window.x), static_cast<int>(window.y));
    }
    void Key(int code, bool control = false, bool shift = false)
    {
        wxKeyEvent event(wxEVT_KEY_DOWN);
        event.m_keyCode = code;
        event.SetControlDown(control);
        event.SetShiftDown(shift);
        event.SetEventObject(m_view);
        m_view->ProcessWindowEvent(event);
    }
    std::array<double, 16> ViewMatrix()
    {
        std::array<double, 16> m{};
        m_renderer.GetViewMath().GetViewMatuix().GetMatrix(m.data());
        return m;
    }
};

TEST_F(ViewWindow, CreationRecordsTheCurrentViewAndSizesTheRenderer)
{
    EXPECT_EQ(ZELKCAD::GetCurrentView(), m_view);
    EXPECT_EQ(ZELKCAD::GetCurrentRenderer(), &m_renderer);
    EXPECT_EQ(m_renderer.GetWidth(), 800);
    EXPECT_EQ(m_renderer.GetHeight(), 600);
    EXPECT_TRUE(m_renderer.HasContext());
}

TEST_F(ViewWindow, ClickSelectsCtrlClickAddsAndEmptyClickClears)
{
    ZELKDBPrint* left = AddBox(-30, 0);
    ZELKDBPrint* right = AddBox(30, 0);

    Mouse(wxEVT_LEFT_DOWN, WindowOf({-30, 0, 20}));
    Mouse(wxEVT_LEFT_UP, WindowOf({-30, 0, 20}));
    ASSERT_EQ(m_database.GetSelectCount(), 1);
    EXPECT_EQ(m_database.GetSelectEntity().begin()->first, left->GetEventId());
    // One model: its line (file name after the last separator, its size) and the edit pictures.
    ASSERT_FALSE(m_ui.information.empty());
    EXPECT_EQ(m_ui.information.back(), "<id_infor_modelName>box1.stl    <id_infor_modelSize>L:20.00,W:20.00,H:20.00\r\n");
    EXPECT_EQ(m_ui.editPictures.back(), 1);
    EXPECT_FALSE(m_view->HasCapture());

    Mouse(wxEVT_LEFT_DOWN, WindowOf({30, 0, 20}), true);
    EXPECT_EQ(m_database.GetSelectCount(), 2);
    EXPECT_EQ(m_database.GetSelectEntity().count(right->GetEventId()), 1u);
    // Two selected: no line; the edit pictures act on both.
    EXPECT_EQ(m_ui.information.back(), wxString());
    EXPECT_EQ(m_ui.editPictures.back(), 1);
    Mouse(wxEVT_LEFT_UP, WindowOf({30, 0, 20}));

    Mouse(wxEVT_LEFT_DOWN, wxPoint(3, 3));
    EXPECT_EQ(m_database.GetSelectCount(), 0);
    EXPECT_EQ(m_ui.editPictures.back(), 0);
}

TEST_F(ViewWindow, KeysSelectAllRemoveAndClear)
{
    AddBox(-30, 0);
    AddBox(30, 0);
    Key('A', true);
    EXPECT_EQ(m_database.GetSelectCount(), 2);
    Key('A');  // without Ctrl nothing happens
    EXPECT_EQ(m_database.GetSelectCount(), 2);

    Key(WXK_ESCAPE);
    EXPECT_EQ(m_database.GetSelectCount(), 0);
    EXPECT_EQ(m_database.GetCount(), 2);
    // Escape with nothing selected still clears the line.
    m_ui.information.clear();
    Key(WXK_ESCAPE);
    ASSERT_EQ(m_ui.information.size(), 1u);
    EXPECT_EQ(m_ui.information.back(), wxString());

    Mouse(wxEVT_LEFT_DOWN, WindowOf({-30, 0, 20}));
    Mouse(wxEVT_LEFT_UP, WindowOf({-30, 0, 20}));
    Key(WXK_DELETE);
    EXPECT_EQ(m_database.GetCount(kEntityPrint), 1);
    ASSERT_FALSE(m_ui.gcodePanel.empty());
    EXPECT_EQ(m_ui.gcodePanel.back(), 1);
    Key('A', true);
    Key(WXK_DELETE);
    EXPECT_EQ(m_database.GetCount(kEntityPrint), 0);
    EXPECT_EQ(m_ui.gcodePanel.back(), 0);

    // Ctrl+Z brings the last removed model back, then the first; Ctrl+Shift+Z
    // and Ctrl+Y remove them again in the order they went.
    Key('Z', true);
    EXPECT_EQ(m_database.GetCount(kEntityPrint), 1);
    EXPECT_EQ(m_ui.gcodePanel.back(), 1);
    Key('Z', true);
    EXPECT_EQ(m_database.GetCount(kEntityPrint), 2);
    Key('Z', true);  // nothing older to undo
    EXPECT_EQ(m_database.GetCount(kEntityPrint), 2);
    Key('Z', true, true);
    EXPECT_EQ(m_database.GetCount(kEntityPrint), 1);
    Key('Y', true);
    EXPECT_EQ(m_database.GetCount(kEntityPrint), 0);
    EXPECT_EQ(m_ui.modelsChanged, 6);  // two removals, two undos, two redos; an empty undo says nothing
}

TEST_F(ViewWindow, WheelNotchForwardThenBackRestoresTheView)
{
    const auto before = ViewMatrix();
    Mouse(wxEVT_MOUSEWHEEL, wxPoint(400, 300), false, 120);
    // One notch forward scales by e^0.12.
    EXPECT_NEAR(ViewMatrix()[0] / before[0], std::exp(0.12), 1e-9);
    Mouse(wxEVT_MOUSEWHEEL, wxPoint(400, 300), false, -120);
    const auto after = ViewMatrix();
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(after[i], before[i], 1e-9) << i;
}

TEST_F(ViewWindow, MiddleDragPansRightDragRotatesAndReleaseEndsTheDrag)
{
    const auto start = ViewMatrix();
    Mouse(wxEVT_MIDDLE_DOWN, wxPoint(400, 300));
    EXPECT_EQ(m_view->GetDragMode(), ZELKOpenGLView::DRAG_PAN);
    EXPECT_TRUE(m_view->HasCapture());
    Mouse(wxEVT_MOTION, wxPoint(450, 300));
    Mouse(wxEVT_MIDDLE_UP, wxPoint(450, 320));
    EXPECT_EQ(m_view->GetDragMode(), ZELKOpenGLView::DRAG_NONE);
    EXPECT_FALSE(m_view->HasCapture());
    const auto panned = ViewMatrix();
    EXPECT_NE(panned, start);
    // A pan moves, it does not turn: the rotation part stays.
    for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10})
        EXPECT_NEAR(panned[i], start[i], 1e-9) << i;

    Mouse(wxEVT_RIGHT_DOWN, wxPoint(400, 300));
    EXPECT_EQ(m_view->GetDragMode(), ZELKOpenGLView::DRAG_ROTATE);
    Mouse(wxEVT_MOTION, wxPoint(430, 280));
    Mouse(wxEVT_RIGHT_UP, wxPoint(5, 5));  // over empty space: no menu
    EXPECT_EQ(m_view->menusShown, 0);
    EXPECT_EQ(m_view->GetDragMode(), ZELKOpenGLView::DRAG_NONE);
    const auto turned = ViewMatrix();
    EXPECT_GT(std::abs(turned[0] - panned[0]) + std::abs(turned[1] - panned[1]) + std::abs(turned[2] - panned[2]),
              1e-6);
    // Moving without a button held does nothing.
    Mouse(wxEVT_MOTION, wxPoint(200, 200));
    EXPECT_EQ(ViewMatrix(), turned);
}

TEST_F(ViewWindow, LostCaptureEndsTheDrag)
{
    Mouse(wxEVT_RIGHT_DOWN, wxPoint(400, 300));
    wxMouseCaptureLostEvent lost(m_view->GetId());
    m_view->ProcessWindowEvent(lost);
    EXPECT_EQ(m_view->GetDragMode(), ZELKOpenGLView::DRAG_NONE);
    const auto before = ViewMatrix();
    Mouse(wxEVT_MOTION, wxPoint(500, 300));
    EXPECT_EQ(ViewMatrix(), before);
}

TEST_F(ViewWindow, RightClickOnEmptySpaceKeepsTheSelectionAndShowsNoMenu)
{
    ZELKDBPrint* model = AddBox(0, 0);
    m_database.AddSelect(model->GetEventId());
    Mouse(wxEVT_RIGHT_DOWN, wxPoint(5, 5));
    Mouse(wxEVT_RIGHT_UP, wxPoint(5, 5));
    EXPECT_EQ(m_view->menusShown, 0);
    ASSERT_EQ(m_database.GetSelectCount(), 1);
    EXPECT_EQ(m_database.GetSelectEntity().begin()->first, model->GetEventId());
}

TEST_F(ViewWindow, RightClickOnAnUnselectedModelSelectsItAloneAndOffersLandResetRemove)
{
    ZELKDBPrint* a = AddBox(-30, 0);
    ZELKDBPrint* b = AddBox(30, 0);
    m_database.AddSelect(a->GetEventId());
    Mouse(wxEVT_RIGHT_DOWN, WindowOf({30, 0, 20}));
    Mouse(wxEVT_RIGHT_UP, WindowOf({30, 0, 20}));
    ASSERT_EQ(m_view->menusShown, 1);
    EXPECT_EQ(m_view->menuItems, (std::vector<int>{1000, -1, 1001, 1002}));
    ASSERT_EQ(m_database.GetSelectCount(), 1);
    EXPECT_EQ(m_database.GetSelectEntity().begin()->first, b->GetEventId());
}

// A right drag that turns the view and ends over a model is a rotation, not a
// click: no menu, and the selection stays as it was.
TEST_F(ViewWindow, RightDragEndingOverAModelOpensNoMenuAndKeepsTheSelection)
{
    ZELKDBPrint* a = AddBox(-30, 0);
    AddBox(30, 0);
    m_database.AddSelect(a->GetEventId());
    const wxPoint over = WindowOf({30, 0, 20});
    Mouse(wxEVT_RIGHT_DOWN, over - wxPoint(60, 0));
    Mouse(wxEVT_MOTION, over - wxPoint(30, 0));
    Mouse(wxEVT_RIGHT_UP, over);
    EXPECT_EQ(m_view->menusShown, 0);
    ASSERT_EQ(m_database.GetSelectCount(), 1);
    EXPECT_EQ(m_database.GetSelectEntity().begin()->first, a->GetEventId());

    // A click that shook by a pixel or two is still a click.
    Mouse(wxEVT_RIGHT_DOWN, over);
    Mouse(wxEVT_RIGHT_UP, over + wxPoint(2, -1));
    EXPECT_EQ(m_view->menusShown, 1);
}

TEST_F(ViewWindow, MenuLandStandsTheModelOnThePlatformAndRemoveDeletesIt)
{
    ZELKDBPrint* model = AddBox(0, 0);
    model->Move(ZELKGePoint3d(0, 0, 0), ZELKGePoint3d(0, 0, 15));
    m_view->choose = ZELKOpenGLView::ID_MENU_LAND;
    Mouse(wxEVT_RIGHT_DOWN, WindowOf({0, 0, 35}));
    Mouse(wxEVT_RIGHT_UP, WindowOf({0, 0, 35}));
    ASSERT_EQ(m_view->menusShown, 1);
    ZELKGePoint3d lo, hi;
    model->GetMinMaxPoint(lo, hi);
    EXPECT_NEAR(lo.z, 0.0, 1e-9);
    EXPECT_EQ(m_ui.hideEditPanels, 1);

    m_view->choose = ZELKOpenGLView::ID_MENU_RESET;
    Mouse(wxEVT_RIGHT_UP, WindowOf({0, 0, 20}));
    model->GetMinMaxPoint(lo, hi);
    EXPECT_NEAR(lo.z, 0.0, 1e-9);  // the landing was a move; reset puts it back where it was added
    EXPECT_EQ(m_ui.hideEditPanels, 2);

    m_view->choose = ZELKOpenGLView::ID_MENU_REMOVE;
    Mouse(wxEVT_RIGHT_UP, WindowOf({0, 0, 20}));
    EXPECT_EQ(m_database.GetCount(), 0);
    EXPECT_EQ(m_ui.gcodePanel.back(), 0);
}

TEST_F(ViewWindow, TheViewOwnsTheProcessWideRendererAndDatabaseWhenGivenNone)
{
    ZELDBEntityDatabase* database = ZELDBEntityDatabase::GetInterFace();
    int id = 0;
    database->Add(new ZELKDBPrint(modeltest::Box({0, 0, 0}, {5, 5, 5})), id);
    auto* frame = new wxFrame(nullptr, wxID_ANY, "owner");
    auto* view = new ZELKOpenGLView(frame, wxID_ANY, wxDefaultPosition, wxSize(200, 200));
    EXPECT_EQ(view->GetRenderer(), CZelkOpenGL::GetOpenGLInterface());
    EXPECT_EQ(view->GetDatabase(), database);
    frame->Destroy();
    testsupport::Pump();
    // Both went with the view; the next use makes fresh, empty ones.
    EXPECT_EQ(ZELDBEntityDatabase::GetInterFace()->GetCount(), 0);
    EXPECT_EQ(ZELKCAD::GetCurrentView(), nullptr);
}

}  // namespace
