// The move, rotate and scale panels on real windows against a model of the process-wide database.
#include <cmath>
#include <initializer_list>

#include <wx/button.h>
#include <wx/slider.h>
#include <wx/textctrl.h>

#include "DBPrint.h"
#include "EditHistory.h"
#include "EntityDatabase.h"
#include "EditPanelText.h"
#include "ModelEdit.h"
#include "UiTestSupport.h"
#include "WxInput.h"
#include "../model_store/ModelFixtures.h"

using testsupport::PressButton;
using uitest::Pump;

namespace {

class EditPanels : public uitest::UiFixture {
protected:
    void SetUp() override
    {
        uitest::UiFixture::SetUp();
        // A 20 mm cube standing on the platform, its centre at (12.5, -4, 10).
        m_model = new ZELKDBPrint(modeltest::Box({2.5, -14, 0}, {22.5, 6, 20}));
        m_model->SetName("cube.stl");
        m_model->SetPlatformMinMaxPoint(ZELKGePoint3d(-75, -75, 0), ZELKGePoint3d(75, 75, 150));
        int id = 0;
        Db()->Add(m_model, id);
        Db()->AddSelect(id);
    }
    void TearDown() override
    {
        Db()->RemoveAll();
        uitest::UiFixture::TearDown();
    }

    static ZELDBEntityDatabase* Db() { return ZELDBEntityDatabase::GetInterFace(); }

    ZELKGePoint3d Centre() const
    {
        ZELKGePoint3d lo, hi;
        m_model->GetMinMaxPoint(lo, hi);
        return ZELKGePoint3d((lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2);
    }
    ZELKGePoint3d Size() const
    {
        ZELKGePoint3d lo, hi;
        m_model->GetMinMaxPoint(lo, hi);
        return ZELKGePoint3d(hi.x - lo.x, hi.y - lo.y, hi.z - lo.z);
    }

    static void Slide(ZELKSliderPanel* panel, int row, int position)
    {
        wxSlider* slider = panel->GetSlider(row);
        slider->SetValue(position);
        wxCommandEvent moved(wxEVT_SLIDER, slider->GetId());
        moved.SetEventObject(slider);
        moved.SetInt(position);
        slider->ProcessWindowEvent(moved);
    }

    // What a held thumb sends: a track before each move, the release after the last.
    static void Drag(ZELKSliderPanel* panel, int row, std::initializer_list<int> positions)
    {
        wxSlider* slider = panel->GetSlider(row);
        for (int position : positions) {
            wxScrollEvent track(wxEVT_SCROLL_THUMBTRACK, slider->GetId(), position);
            track.SetEventObject(slider);
            slider->ProcessWindowEvent(track);
            Slide(panel, row, position);
        }
    }
    static void Release(ZELKSliderPanel* panel, int row)
    {
        wxSlider* slider = panel->GetSlider(row);
        wxScrollEvent release(wxEVT_SCROLL_THUMBRELEASE, slider->GetId(), slider->GetValue());
        release.SetEventObject(slider);
        slider->ProcessWindowEvent(release);
    }

    static void Type(ZELKSliderPanel* panel, int row, const char* text)
    {
        panel->Show();
        wxTextCtrl* edit = panel->GetEdit(row);
        edit->ChangeValue(text);
        edit->SetFocus();
        Pump();
        wxKeyEvent enter(wxEVT_CHAR_HOOK);
        enter.m_keyCode = WXK_RETURN;
        enter.SetEventObject(edit);
        panel->ProcessWindowEvent(enter);
    }

    ZELKDBPrint* m_model = nullptr;
};

TEST_F(EditPanels, MovePanelFollowsTheModelWithoutMovingItAndMovesItWhenAsked)
{
    m_ui->OnPictureClicked(m_ui->GetToolPicture(PICTURE_MOVE));
    ZELKMoveWnd* move = m_ui->GetMoveWnd();
    ASSERT_TRUE(move->IsShown());
    EXPECT_EQ(move->GetSlider(0)->GetValue(), 1250);
    EXPECT_EQ(move->GetEdit(0)->GetValue(), "12.5 mm");
    EXPECT_EQ(move->GetSlider(0)->GetMin(), -6500);  // the cube's centre stays 10 mm inside the platform
    EXPECT_EQ(move->GetSlider(2)->GetMin(), 1000);
    EXPECT_NEAR(Centre().x, 12.5, 1e-9) << "showing the panel moved the model";

    Type(move, 2, "25");
    EXPECT_EQ(move->GetSlider(2)->GetValue(), 2500);
    EXPECT_NEAR(Centre().z, 25, 1e-9);
    Type(move, 0, "12.7");  // whole millimetres only
    EXPECT_EQ(move->GetSlider(0)->GetValue(), 1200);
    EXPECT_EQ(move->GetEdit(0)->GetValue(), "12.0 mm");
    EXPECT_NEAR(Centre().x, 12, 1e-9);
    Slide(move, 1, -1050);
    EXPECT_NEAR(Centre().y, -10.5, 1e-9);

    PressButton(move, ZELKMoveWnd::ID_BUTTON_LAND);
    EXPECT_NEAR(Centre().z, 10, 1e-9);
    EXPECT_EQ(move->GetSlider(2)->GetValue(), 1000);
    PressButton(move, ZELKMoveWnd::ID_BUTTON_RESET);
    EXPECT_NEAR(Centre().x, 12.5, 1e-9);
    EXPECT_NEAR(Centre().y, -4, 1e-9);
    EXPECT_EQ(move->GetSlider(1)->GetValue(), -400);
    EXPECT_TRUE(move->IsShown()) << "Enter closed the panel";
}

TEST_F(EditPanels, RotatePanelTurnsByTheDifferenceAndStoresTheAngle)
{
    m_ui->OnPictureClicked(m_ui->GetToolPicture(PICTURE_ROTATE));
    ZELKRotateWnd* rotate = m_ui->GetRotateWnd();
    EXPECT_EQ(rotate->GetSlider(0)->GetMax(), 360);
    EXPECT_EQ(rotate->GetSlider(0)->GetValue(), 0);
    ZELKModelEdit* edit = ZELKModelEdit::GetModelEditObject();
    int stored = -1;

    Slide(rotate, 0, 30);
    Slide(rotate, 0, 45);
    ASSERT_EQ(edit->GetSelectedModelAxisDegrees(AXIS_X, stored), 1);
    EXPECT_EQ(stored, 45);
    EXPECT_EQ(rotate->GetEdit(0)->GetValue(), wxString::FromUTF8("45°"));
    // A cube turned 45 degrees about X is √2 times as deep and as high.
    EXPECT_NEAR(Size().y, 20 * std::sqrt(2.0), 1e-6);
    EXPECT_NEAR(Size().x, 20, 1e-6);

    Slide(rotate, 0, 45);  // the same angle again turns nothing
    EXPECT_NEAR(Size().y, 20 * std::sqrt(2.0), 1e-6);

    PressButton(rotate, ZELKRotateWnd::ID_BUTTON_RESET);
    EXPECT_EQ(rotate->GetSlider(0)->GetValue(), 0);
    ASSERT_EQ(edit->GetSelectedModelAxisDegrees(AXIS_X, stored), 1);
    EXPECT_EQ(stored, 0);
    EXPECT_NEAR(Size().y, 20, 1e-6);
}

TEST_F(EditPanels, ScalePanelScalesByTheRatioAndKeepsThreeMillimetres)
{
    m_ui->OnPictureClicked(m_ui->GetToolPicture(PICTURE_SCALE));
    ZELKScaleWnd* scale = m_ui->GetScaleWnd();
    EXPECT_EQ(scale->GetSlider(0)->GetValue(), 100);
    EXPECT_EQ(scale->GetEdit(0)->GetValue(), "100%");
    EXPECT_EQ(scale->GetSlider(0)->GetMin(), 15);  // 20 mm down to 3 mm

    Slide(scale, 0, 100);
    EXPECT_NEAR(Size().x, 20, 1e-9) << "the stored 100 % was scaled again";
    Slide(scale, 0, 150);
    EXPECT_NEAR(Size().x, 30, 1e-6);
    int stored = 0;
    ZELKModelEdit::GetModelEditObject()->GetSelectedModelAxisScale(stored);
    EXPECT_EQ(stored, 150);
    Slide(scale, 0, 1);  // below the range: the slider stops at the bound
    EXPECT_NEAR(Size().x, 3, 1e-6);

    PressButton(scale, ZELKScaleWnd::ID_BUTTON_RESET);
    EXPECT_EQ(scale->GetSlider(0)->GetValue(), 100);
    EXPECT_NEAR(Size().x, 20, 1e-6);
}

TEST_F(EditPanels, WithoutSelectionTheNoteShowsAndThePicturesAppearOnLoad)
{
    m_ui->ShowWnd(1);  // what the view asks for once models are loaded
    for (PictrueCtrlStyle style : {PICTURE_MOVE, PICTURE_ROTATE, PICTURE_SCALE})
        EXPECT_TRUE(m_ui->GetToolPicture(style)->IsShown()) << style;

    Db()->ClearSelect();
    m_ui->OnPictureClicked(m_ui->GetToolPicture(PICTURE_MOVE));
    ZELKMoveWnd* move = m_ui->GetMoveWnd();
    EXPECT_TRUE(move->FindWindow(ZELKMoveWnd::ID_NOTE)->IsShown());
    EXPECT_FALSE(move->GetSlider(0)->IsShown());
    m_ui->OnPictureClicked(m_ui->GetToolPicture(PICTURE_ROTATE));
    EXPECT_FALSE(move->IsShown());
    EXPECT_TRUE(m_ui->GetRotateWnd()->FindWindow(ZELKRotateWnd::ID_NOTE)->IsShown());

    Db()->SelectALL();
    m_ui->OnPictureClicked(m_ui->GetToolPicture(PICTURE_MOVE));
    EXPECT_FALSE(move->FindWindow(ZELKMoveWnd::ID_NOTE)->IsShown());
    EXPECT_TRUE(move->GetSlider(0)->IsShown());
}

TEST_F(EditPanels, CaptionsAndButtonsInEveryLanguage)
{
    const struct {
        LANGUAGE language;
        const char* move;
        const char* land;
        const char* rotate;
        const char* scale;
        const char* size;
    } languages[] = {{LANGUAGE_ENGLISH, "Move:", "Drop", "Rotate:", "Scale:", "Size:"},
                     {LANGUAGE_CHINESE, "移动:", "降落", "旋转:", "缩放:", "尺寸:"},
                     {LANGUAGE_FRENCH, "Déplacer :", "Poser", "Pivoter :", "Échelle :", "Taille :"}};
    for (const auto& l : languages) {
        ZELKTranslation::GetTranslationObject()->Translate(l.language);
        EXPECT_EQ(m_ui->GetMoveWnd()->FindWindow(ZELKMoveWnd::ID_CAPTION)->GetLabel(), wxString::FromUTF8(l.move));
        EXPECT_EQ(m_ui->GetMoveWnd()->FindWindow(ZELKMoveWnd::ID_BUTTON_LAND)->GetLabel(),
                  wxString::FromUTF8(l.land));
        EXPECT_EQ(m_ui->GetRotateWnd()->FindWindow(ZELKRotateWnd::ID_CAPTION)->GetLabel(),
                  wxString::FromUTF8(l.rotate));
        EXPECT_EQ(m_ui->GetScaleWnd()->FindWindow(ZELKScaleWnd::ID_CAPTION)->GetLabel(),
                  wxString::FromUTF8(l.scale));
        EXPECT_EQ(m_ui->GetScaleWnd()->FindWindow(ZELKScaleWnd::ID_LABEL_SIZE)->GetLabel(),
                  wxString::FromUTF8(l.size));
    }
    EXPECT_FALSE(m_ui->GetScaleWnd()->FindWindow(ZELKScaleWnd::ID_BUTTON_RESET)->GetLabel().empty());
}

// Relative luminance and contrast ratio of two colours, as accessibility
// guidelines define them.
double Luminance(const wxColour& c)
{
    const auto channel = [](unsigned char v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.Red()) + 0.7152 * channel(c.Green()) + 0.0722 * channel(c.Blue());
}
double Contrast(const wxColour& a, const wxColour& b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(EditPanels, AxisLabelsAreReadableOnTheDarkPanels)
{
    const int moveLabels[3] = {ZELKMoveWnd::ID_LABEL_X, ZELKMoveWnd::ID_LABEL_Y, ZELKMoveWnd::ID_LABEL_Z};
    const int rotateLabels[3] = {ZELKRotateWnd::ID_LABEL_X, ZELKRotateWnd::ID_LABEL_Y, ZELKRotateWnd::ID_LABEL_Z};
    for (int a = 0; a < 3; ++a) {
        for (wxWindow* label : {m_ui->GetMoveWnd()->FindWindow(moveLabels[a]),
                                m_ui->GetRotateWnd()->FindWindow(rotateLabels[a])}) {
            ASSERT_NE(label, nullptr);
            EXPECT_GE(Contrast(label->GetForegroundColour(), ZELKTransparentDlg::kBackground), 4.5)
                << label->GetLabel() << " is hard to read";
        }
    }
    // Still the axes' colours: X mostly blue, Y green, Z red.
    const wxColour x = m_ui->GetMoveWnd()->FindWindow(moveLabels[0])->GetForegroundColour();
    const wxColour z = m_ui->GetMoveWnd()->FindWindow(moveLabels[2])->GetForegroundColour();
    EXPECT_GT(x.Blue(), std::max(x.Red(), x.Green()));
    EXPECT_GT(z.Red(), std::max(z.Green(), z.Blue()));
}

// However many moves one drag of a thumb makes, it is one step to undo; a
// drag cut short by hiding the panel still ends its step.
TEST_F(EditPanels, OneDragOfAThumbIsOneStep)
{
    zelk::EditHistory& history = ZELKModelEdit::GetModelEditObject()->History();
    m_ui->OnPictureClicked(m_ui->GetToolPicture(PICTURE_ROTATE));
    ZELKRotateWnd* rotate = m_ui->GetRotateWnd();
    const std::size_t steps = history.UndoCount();
    Drag(rotate, 2, {10, 20, 45});
    EXPECT_TRUE(rotate->Dragging());
    Release(rotate, 2);
    EXPECT_FALSE(rotate->Dragging());
    EXPECT_EQ(m_model->GetDegreesZAxis(), 45);
    EXPECT_EQ(history.UndoCount(), steps + 1);
    EXPECT_EQ(history.NextUndoKind(), zelk::EditKind::Rotate);
    ASSERT_TRUE(history.Undo());
    EXPECT_EQ(m_model->GetDegreesZAxis(), 0) << "the whole drag went back at once";

    m_ui->OnPictureClicked(m_ui->GetToolPicture(PICTURE_SCALE));
    ZELKScaleWnd* scale = m_ui->GetScaleWnd();
    Drag(scale, 0, {110, 120});
    scale->Hide();
    EXPECT_FALSE(scale->Dragging());
    EXPECT_EQ(history.NextUndoKind(), zelk::EditKind::Scale);
    ASSERT_TRUE(history.Undo());
    EXPECT_EQ(m_model->GetScaleValue(), 100);
    // A click on the track (no thumb held) is a step of its own, as before.
    scale->Show();
    Slide(scale, 0, 130);
    EXPECT_EQ(history.UndoCount(), steps + 1);
}

ZELKGePoint3d CentreOf(ZELKDBPrint* model)
{
    ZELKGePoint3d lo, hi;
    model->GetMinMaxPoint(lo, hi);
    return (lo + hi) * 0.5;
}

// With two models selected every panel edits both, as one group about the
// centre of their common box, and each edit is one step to undo.
TEST_F(EditPanels, TwoSelectedModelsAreMovedTurnedAndScaledAsOneGroup)
{
    // A 10 x 20 x 10 block standing left of the cube: the common box runs from x = -40 to 22.5.
    auto* block = new ZELKDBPrint(modeltest::Box({-40, -14, 0}, {-30, 6, 10}));
    block->SetPlatformMinMaxPoint(ZELKGePoint3d(-75, -75, 0), ZELKGePoint3d(75, 75, 150));
    int id = 0;
    Db()->Add(block, id);
    Db()->SelectALL();
    ZELKModelEdit* edit = ZELKModelEdit::GetModelEditObject();
    zelk::EditHistory& history = edit->History();

    m_ui->OnPictureClicked(m_ui->GetToolPicture(PICTURE_MOVE));
    ZELKMoveWnd* move = m_ui->GetMoveWnd();
    EXPECT_EQ(move->GetSlider(0)->GetValue(), -875);
    EXPECT_EQ(move->GetSlider(0)->GetMin(), -4375) << "the range keeps the whole group on the platform";
    EXPECT_EQ(move->GetSlider(0)->GetMax(), 4375);
    Type(move, 0, "0");
    modeltest::ExpectPointNear(CentreOf(m_model), {21.25, -4, 10}, 1e-9, "cube moved");
    modeltest::ExpectPointNear(CentreOf(block), {-26.25, -4, 5}, 1e-9, "block moved by as much");

    m_ui->OnPictureClicked(m_ui->GetToolPicture(PICTURE_ROTATE));
    ZELKRotateWnd* rotate = m_ui->GetRotateWnd();
    const std::size_t steps = history.UndoCount();
    Slide(rotate, 2, 90);  // a quarter turn about z, about the common centre (0, -4)
    modeltest::ExpectPointNear(CentreOf(m_model), {0, 17.25, 10}, 1e-9, "cube went round");
    modeltest::ExpectPointNear(CentreOf(block), {0, -30.25, 5}, 1e-9, "block went round");
    EXPECT_EQ(block->GetDegreesZAxis(), 90);
    EXPECT_EQ(m_model->GetDegreesZAxis(), 90);
    EXPECT_EQ(history.UndoCount(), steps + 1);
    ASSERT_TRUE(history.Undo());
    modeltest::ExpectPointNear(CentreOf(m_model), {21.25, -4, 10}, 0, "cube turned back");
    modeltest::ExpectPointNear(CentreOf(block), {-26.25, -4, 5}, 0, "block turned back");
    EXPECT_EQ(block->GetDegreesZAxis(), 0);
    rotate->RefreshFromSelection();
    EXPECT_EQ(rotate->GetSlider(2)->GetValue(), 0);

    m_ui->OnPictureClicked(m_ui->GetToolPicture(PICTURE_SCALE));
    ZELKScaleWnd* scale = m_ui->GetScaleWnd();
    Slide(scale, 0, 150);
    // Both half as large again about the common centre (0, -4), and still standing.
    modeltest::ExpectPointNear(CentreOf(m_model), {31.875, -4, 15}, 1e-9, "cube scaled");
    modeltest::ExpectPointNear(CentreOf(block), {-39.375, -4, 7.5}, 1e-9, "block scaled");
    EXPECT_EQ(block->GetScaleValue(), 150);
    ASSERT_TRUE(history.Undo());
    ASSERT_TRUE(history.Undo());  // and the move
    modeltest::ExpectPointNear(CentreOf(m_model), {12.5, -4, 10}, 0, "cube where it was");
    modeltest::ExpectPointNear(CentreOf(block), {-35, -4, 5}, 0, "block where it was");
}

TEST(EditPanelText, TypedNumbersAreWholeAndMovesShowTenthsOfAMillimetre)
{
    EXPECT_EQ(zelk::ReadTypedWholeNumber("12.7"), 12);
    EXPECT_EQ(zelk::ReadTypedWholeNumber("  -30"), -30);
    EXPECT_EQ(zelk::ReadTypedWholeNumber("+8mm"), 8);
    EXPECT_EQ(zelk::ReadTypedWholeNumber("mm"), 0);
    EXPECT_EQ(zelk::ReadTypedWholeNumber(""), 0);
    EXPECT_EQ(zelk::ReadTypedWholeNumber("99999999999999"), 1'000'000'000);
    EXPECT_EQ(zelk::MovePositionText(1250), "12.5 mm");
    EXPECT_EQ(zelk::MovePositionText(-1050), "-10.5 mm");
}

}  // namespace
