// The view panel drives the 3D view's renderer, and the 3D view reaches the
// coordinator through the interface it registers.
#include <array>

#include "EntityDatabase.h"
#include "ViewCommands.h"
#include "ViewUi.h"
#include "ZelkOpenGL.h"
#include "UiTestSupport.h"
#include "WxInput.h"

using testsupport::PressButton;

namespace {

std::array<double, 16> ViewMatrix(CZelkOpenGL& renderer)
{
    std::array<double, 16> m{};
    renderer.GetViewMath().GetViewMatuix().GetMatrix(m.data());
    return m;
}

class ViewWiring : public uitest::UiFixture {
protected:
    void TearDown() override
    {
        ZELKCAD::SetCurrentRenderer(nullptr);
        ZELKCAD::SetCurrentView(nullptr);
        UiFixture::TearDown();
    }
};

}  // namespace

// Side shows the view from the back, front the view from the right, as the
// buttons have always been labelled.
TEST_F(ViewWiring, ButtonsSetTheirStandardViews)
{
    ZELDBEntityDatabase database;
    CZelkOpenGL renderer(&database);
    CZelkOpenGL expected(&database);
    ZELKCAD::SetCurrentRenderer(&renderer);
    ZELKCAD::SetCurrentView(m_view);
    ZELKViewWnd* panel = m_ui->GetViewWnd();

    const struct {
        int button;
        void (CZelkOpenGL::*view)();
    } cases[] = {{ZELKViewWnd::ID_BUTTON_SIDE, &CZelkOpenGL::SetBackView},
                 {ZELKViewWnd::ID_BUTTON_FRONT, &CZelkOpenGL::SetRightView},
                 {ZELKViewWnd::ID_BUTTON_RESET, &CZelkOpenGL::SetStandardView},
                 {ZELKViewWnd::ID_BUTTON_TOP, &CZelkOpenGL::SetTopView}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        (expected.*c.view)();
        PressButton(panel, c.button);
        const auto got = ViewMatrix(renderer);
        const auto want = ViewMatrix(expected);
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(got[i], want[i], 1e-9) << i;
    }
    // The views differ, so the comparison above can tell them apart.
    expected.SetBackView();
    const auto back = ViewMatrix(expected);
    expected.SetRightView();
    EXPECT_NE(back, ViewMatrix(expected));
}

TEST_F(ViewWiring, CoordinatorIsTheViewsUserInterface)
{
    ZELKViewUi* ui = ZELKCAD::GetViewUi();
    ASSERT_EQ(ui, static_cast<ZELKViewUi*>(m_ui));
    ui->ShowModelInformation("part.stl");
    EXPECT_EQ(m_ui->GetInfoWnd()->GetModelInformation(), "part.stl");
    ui->MessageBox_Zelk("id_message_modelBeyondRange");
    EXPECT_EQ(m_capture.Keys(), std::vector<std::string>{"id_message_modelBeyondRange"});
    EXPECT_EQ(ui->GetTranslateString("id_menu_Remove"), wxString::FromUTF8("清除"));
}
