// CZelkOpenGL: view navigation (pan, trackball, zoom, standard views, fit) and drag steps for the selected models.
#include <wx/glcanvas.h>

#include <cmath>

#include "EntityDatabase.h"
#include "ZelkOpenGL.h"

void CZelkOpenGL::Translate(const wxPoint& previous, wxPoint current, TRANSLATER_TYPE type)
{
    if (type == TRANSLATER_PAN) {
        m_viewMath.TranslateView(zelk::PanStep(previous.x, previous.y, current.x, current.y, m_pixelScale));
    } else if (type == TRANSLATER_ROTATE) {
        ZELKGeMatrix3d rotation;
        if (zelk::TrackballStep(previous.x, previous.y, current.x, current.y, m_width, m_height, m_trackballRadius,
                                m_pixelScale, rotation))
            m_viewMath.TranslateView(rotation);
    }
}

void CZelkOpenGL::ViewScale(double factor)
{
    ZELKGeMatrix3d scaling;
    scaling.Scaling(factor, ZELKGePoint3d(0, 0, 0));
    m_viewMath.TranslateView(scaling);
}

void CZelkOpenGL::TransWcsToUcs()
{
    m_viewMath.TranslateView(zelk::UcsRotation());
}

void CZelkOpenGL::SetView(zelk::StandardView view)
{
    m_viewMath.SetCurrentMatuix(zelk::StandardViewRotation(view));
    Caculatecenter();
}

void CZelkOpenGL::SetStandardView() { SetView(zelk::StandardView::Standard); }
void CZelkOpenGL::SetTopView() { SetView(zelk::StandardView::Top); }
void CZelkOpenGL::SetBottomView() { SetView(zelk::StandardView::Bottom); }
void CZelkOpenGL::SetFrontView() { SetView(zelk::StandardView::Front); }
void CZelkOpenGL::SetBackView() { SetView(zelk::StandardView::Back); }
void CZelkOpenGL::SetLeftView() { SetView(zelk::StandardView::Left); }
void CZelkOpenGL::SetRightView() { SetView(zelk::StandardView::Right); }

void CZelkOpenGL::GetViewEntityBox(ZELKGePoint3d& min, ZELKGePoint3d& max)
{
    m_printBox.GetMinMaxPoint(min, max);
    ZELDBEntityDatabase* database = Database();
    if (database == nullptr)
        return;
    for (ZELKDBEntity* e = database->FirstDBEntity(); e != nullptr; e = database->NextDBEntity()) {
        ZELKGePoint3d lo, hi;
        e->GetMinMaxPoint(lo, hi);
        zelk::GrowBox(lo, min, max);
        zelk::GrowBox(hi, min, max);
    }
}

void CZelkOpenGL::GetDcsEntityMinMax(const ZELKGePoint3d& min, const ZELKGePoint3d& max, ZELKGePoint3d& dcsMin,
                                     ZELKGePoint3d& dcsMax)
{
    for (int i = 0; i < 8; ++i) {
        const ZELKGePoint3d corner(i & 1 ? max.x : min.x, i & 2 ? max.y : min.y, i & 4 ? max.z : min.z);
        ZELKGePoint3d window;
        TransWCSToDCS(corner, window);
        for (int a = 0; a < 3; ++a) {
            if (i == 0 || window[a] < dcsMin[a])
                dcsMin[a] = window[a];
            if (i == 0 || window[a] > dcsMax[a])
                dcsMax[a] = window[a];
        }
    }
}

double CZelkOpenGL::GetViewScale(const ZELKGePoint3d& p, const ZELKGePoint3d& q) const
{
    return zelk::FitScale(p, q, m_width, m_height);
}

void CZelkOpenGL::Caculatecenter()
{
    if (m_width <= 0 || m_height <= 0)
        return;
    ZELKGePoint3d min, max, dcsMin, dcsMax;
    GetViewEntityBox(min, max);
    GetDcsEntityMinMax(min, max, dcsMin, dcsMax);
    ZELKGeMatrix3d fit;
    if (zelk::FitStep(dcsMin, dcsMax, m_width, m_height, m_pixelScale, fit))
        m_viewMath.TranslateView(fit);
}

void CZelkOpenGL::EntityTrackMove(const wxPoint& first, wxPoint second, int mode, int phase)
{
    const ZELKGePoint3d to(second.x, second.y, 0.5);
    const ZELKGePoint3d from(first.x, first.y, 0.5);
    ZELDBEntityDatabase* database = Database();
    if (database == nullptr)
        return;
    // A copy: a step must not be disturbed by a selection that changes meanwhile.
    const ZELDBEntityDatabase::EntityMap selection = database->GetSelectEntity();
    for (const auto& entry : selection)
        entry.second->TrackTranslation(from, to, mode, phase);
    if (wxGLCanvas* canvas = m_context.GetCanvas())
        canvas->Refresh(false);
}
