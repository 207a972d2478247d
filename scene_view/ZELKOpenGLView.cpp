// The 3D view window: selection, navigation, keys, the model menu and the selected model's information line.
#include "ZELKOpenGLView.h"

#include <cstdlib>

#include <GL/gl.h>

#include <cmath>
#include <vector>

#include <wx/dcclient.h>
#include <wx/menu.h>

#include "EditHistory.h"
#include "EntityDatabase.h"
#include "ModelEdit.h"
#include "ViewCommands.h"
#include "ViewUi.h"
#include "ZelkOpenGL.h"

namespace {

// The file name of a stored model path: what follows its last separator.
wxString FileNameOf(const char* path)
{
    const wxString full = wxString::FromUTF8(path != nullptr ? path : "");
    const size_t cut = full.find_last_of("/\\");
    return cut == wxString::npos ? full : full.substr(cut + 1);
}

}  // namespace

const wxGLAttributes& ZELKOpenGLView::CanvasAttributes()
{
    static const wxGLAttributes attributes = [] {
        wxGLAttributes a;
        a.PlatformDefaults().RGBA().DoubleBuffer().Depth(24).EndList();
        return a;
    }();
    return attributes;
}

ZELKOpenGLView::ZELKOpenGLView(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size,
                               CZelkOpenGL* renderer, ZELDBEntityDatabase* database)
    : wxGLCanvas(parent, CanvasAttributes(), id, pos, size, wxWANTS_CHARS | wxFULL_REPAINT_ON_RESIZE),
      m_renderer(renderer != nullptr ? renderer : CZelkOpenGL::GetOpenGLInterface()),
      m_database(database != nullptr ? database : ZELDBEntityDatabase::GetInterFace()),
      m_ownsRenderer(renderer == nullptr), m_ownsDatabase(database == nullptr)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    ZELKCAD::SetCurrentRenderer(m_renderer);
    ZELKCAD::SetCurrentView(this);
    m_renderer->InitDC(this);
    m_renderer->CreatePrintPlatform();
    m_renderer->SetStandardView();

    Bind(wxEVT_SIZE, &ZELKOpenGLView::OnSize, this);
    Bind(wxEVT_DPI_CHANGED, [this](wxDPIChangedEvent& event) {
        event.Skip();
        ResizeRenderer();
    });
    Bind(wxEVT_LEFT_DOWN, &ZELKOpenGLView::OnLButtonDown, this);
    Bind(wxEVT_LEFT_UP, &ZELKOpenGLView::OnLButtonUp, this);
    Bind(wxEVT_MIDDLE_DOWN, &ZELKOpenGLView::OnMButtonDown, this);
    Bind(wxEVT_MIDDLE_UP, &ZELKOpenGLView::OnMButtonUp, this);
    Bind(wxEVT_RIGHT_DOWN, &ZELKOpenGLView::OnRButtonDown, this);
    Bind(wxEVT_RIGHT_UP, &ZELKOpenGLView::OnRButtonUp, this);
    Bind(wxEVT_MOTION, &ZELKOpenGLView::OnMouseMove, this);
    Bind(wxEVT_MOUSEWHEEL, &ZELKOpenGLView::OnMouseWheel, this);
    Bind(wxEVT_KEY_DOWN, &ZELKOpenGLView::OnKeyDown, this);
    Bind(wxEVT_PAINT, &ZELKOpenGLView::OnPaint, this);
    Bind(wxEVT_ERASE_BACKGROUND, [](wxEraseEvent&) {});
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &ZELKOpenGLView::OnCaptureLost, this);
    Bind(wxEVT_MENU, &ZELKOpenGLView::OnMenu, this, ID_MENU_LAND, ID_MENU_REMOVE);
}

ZELKOpenGLView::~ZELKOpenGLView()
{
    if (HasCapture())
        ReleaseMouse();
    if (ZELKCAD::GetCurrentView() == this)
        ZELKCAD::SetCurrentView(nullptr);
    if (ZELKCAD::GetCurrentRenderer() == m_renderer)
        ZELKCAD::SetCurrentRenderer(nullptr);
    if (m_ownsDatabase) {
        m_database->RemoveAll();
        delete m_database;
    }
    m_renderer->Destroy();
    if (m_ownsRenderer)
        delete m_renderer;
}

void ZELKOpenGLView::OnDraw()
{
    m_renderer->Render(GL_RENDER);
}

void ZELKOpenGLView::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    OnDraw();
}

void ZELKOpenGLView::OnSize(wxSizeEvent& event)
{
    event.Skip();
    ResizeRenderer();
}

void ZELKOpenGLView::ResizeRenderer()
{
    // The GL drawable has the window's size in physical pixels.
    const double scale = GetContentScaleFactor();
    const wxSize size = GetClientSize();
    m_renderer->SetContentScale(scale);
    m_renderer->GLResize(static_cast<int>(std::lround(size.x * scale)), static_cast<int>(std::lround(size.y * scale)));
    if (size.x > 0 && size.y > 0 && !m_sized) {
        m_renderer->SetStandardView();
        m_sized = true;
    }
}

wxPoint ZELKOpenGLView::ToDrawable(const wxPoint& window) const
{
    const double scale = m_renderer->GetContentScale();
    return wxPoint(static_cast<int>(std::lround(window.x * scale)), static_cast<int>(std::lround(window.y * scale)));
}

void ZELKOpenGLView::Capture()
{
    if (!HasCapture())
        CaptureMouse();
}

void ZELKOpenGLView::ReleaseCapture()
{
    if (HasCapture())
        ReleaseMouse();
}

void ZELKOpenGLView::OnCaptureLost(wxMouseCaptureLostEvent&)
{
    // Another window took the mouse: the drag ends where it is.
    m_dragMode = DRAG_NONE;
}

void ZELKOpenGLView::OnLButtonDown(wxMouseEvent& event)
{
    SetFocus();
    Capture();
    if (ZELKViewUi* ui = ZELKCAD::GetViewUi())
        ui->ShowModelInformation(wxString());
    m_lastLeftClick = event.GetPosition();
    if (!event.ControlDown())
        m_database->ClearSelect();
    Pick(m_lastLeftClick);
    ShowSelectedModelInformation();
    Refresh(true);
    event.Skip();
}

void ZELKOpenGLView::Pick(const wxPoint& window)
{
    // A 2 x 2 window-pixel aperture around the point.
    const wxPoint at = ToDrawable(window);
    const double aperture = 2.0 * m_renderer->GetContentScale();
    m_renderer->PickObject(at.x, at.y, aperture, aperture);
}

void ZELKOpenGLView::OnLButtonUp(wxMouseEvent& event)
{
    ReleaseCapture();
    event.Skip();
}

void ZELKOpenGLView::OnMButtonDown(wxMouseEvent& event)
{
    Capture();
    m_dragAnchor = event.GetPosition();
    m_dragMode = DRAG_PAN;
    event.Skip();
}

void ZELKOpenGLView::OnMButtonUp(wxMouseEvent& event)
{
    ReleaseCapture();
    if (m_dragMode == DRAG_PAN) {
        m_renderer->Translate(ToDrawable(m_dragAnchor), ToDrawable(event.GetPosition()),
                              static_cast<TRANSLATER_TYPE>(DRAG_PAN));
        Refresh(true);
    }
    m_dragMode = DRAG_NONE;
    event.Skip();
}

void ZELKOpenGLView::OnRButtonDown(wxMouseEvent& event)
{
    Capture();
    m_rightPress = event.GetPosition();
    m_dragAnchor = event.GetPosition();
    m_dragMode = DRAG_ROTATE;
    event.Skip();
}

void ZELKOpenGLView::OnRButtonUp(wxMouseEvent& event)
{
    ReleaseCapture();
    const wxPoint point = event.GetPosition();
    // A right drag turns the view; only a click that hardly moved picks a
    // model and opens its menu.
    constexpr int kClickSlopPx = 3;
    const wxPoint moved = point - m_rightPress;
    if (m_dragMode == DRAG_ROTATE && (std::abs(moved.x) > kClickSlopPx || std::abs(moved.y) > kClickSlopPx)) {
        m_renderer->Translate(ToDrawable(m_dragAnchor), ToDrawable(point), static_cast<TRANSLATER_TYPE>(DRAG_ROTATE));
        Refresh(false);
        m_dragMode = DRAG_NONE;
        return;
    }
    std::vector<int> previous;
    for (const auto& [id, entity] : m_database->GetSelectEntity())
        previous.push_back(id);
    m_database->ClearSelect();
    Pick(point);
    if (m_database->GetSelectCount() > 0) {
        Refresh(false);
        ShowSelectedModelInformation();
        wxMenu menu;
        ZELKViewUi* ui = ZELKCAD::GetViewUi();
        auto text = [ui](const char* key) { return ui != nullptr ? ui->GetTranslateString(key) : wxString(key); };
        menu.Append(ID_MENU_LAND, text("id_menu_Land"));
        menu.AppendSeparator();
        menu.Append(ID_MENU_RESET, text("id_menu_Reset"));
        menu.Append(ID_MENU_REMOVE, text("id_menu_Remove"));
        m_dragAnchor = point;
        m_dragMode = DRAG_NONE;
        ShowContextMenu(menu, point);
        return;
    }
    for (int id : previous)
        m_database->AddSelect(id);
    if (m_dragMode == DRAG_ROTATE)
        m_renderer->Translate(ToDrawable(m_dragAnchor), ToDrawable(point), static_cast<TRANSLATER_TYPE>(DRAG_ROTATE));
    Refresh(false);
    m_dragAnchor = point;
    m_dragMode = DRAG_NONE;
}

void ZELKOpenGLView::ShowContextMenu(wxMenu& menu, const wxPoint& point)
{
    PopupMenu(&menu, point);
}

void ZELKOpenGLView::OnMenu(wxCommandEvent& event)
{
    switch (event.GetId()) {
    case ID_MENU_LAND: MoveToPlatform(); break;
    case ID_MENU_RESET: ResetModel(); break;
    case ID_MENU_REMOVE: RemoveModel(); break;
    default: event.Skip(); break;
    }
}

void ZELKOpenGLView::OnMouseMove(wxMouseEvent& event)
{
    const wxPoint point = event.GetPosition();
    if (point != m_dragAnchor && (m_dragMode == DRAG_PAN || m_dragMode == DRAG_ROTATE)) {
        m_renderer->Translate(ToDrawable(m_dragAnchor), ToDrawable(point), static_cast<TRANSLATER_TYPE>(m_dragMode));
        m_dragAnchor = point;
        Refresh(false);
    }
    event.Skip();
}

void ZELKOpenGLView::OnMouseWheel(wxMouseEvent& event)
{
    // One notch (120) scales by about 1.1275, backwards by its inverse.
    m_renderer->ViewScale(std::exp(event.GetWheelRotation() * 0.001));
    Refresh(false);
    event.Skip();
}

void ZELKOpenGLView::OnKeyDown(wxKeyEvent& event)
{
    // A key the view acts on goes no further: a menu accelerator of the same
    // key would act a second time (two undos for one Ctrl+Z).
    const int key = event.GetKeyCode();
    if (key == 'A' && event.ControlDown()) {
        SelectAll();
    } else if (key == 'Z' && event.ControlDown() && !event.ShiftDown()) {
        Undo();
    } else if ((key == 'Z' && event.ControlDown() && event.ShiftDown()) || (key == 'Y' && event.ControlDown())) {
        Redo();
    } else if (key == WXK_DELETE) {
        DeleteSelected();
    } else if (key == WXK_ESCAPE) {
        m_database->ClearSelect();
        Refresh(true);
        if (ZELKViewUi* ui = ZELKCAD::GetViewUi())
            ui->ShowModelInformation(wxString());
    } else {
        event.Skip();
    }
}

void ZELKOpenGLView::DeleteSelected()
{
    // Kept by the edit history, so an undo brings the same models back.
    EditService().RemoveSelectedModels();
    ModelsChanged();
}

void ZELKOpenGLView::MoveToPlatform()
{
    EditService().MoveModelCheckedToPlatfrom();
    Refresh(true);
    if (ZELKViewUi* ui = ZELKCAD::GetViewUi()) {
        ui->HideModelEditWnd();
        ui->OnModelsChanged();
    }
}

void ZELKOpenGLView::ResetModel()
{
    ZELKModelEdit edit = EditService();
    // The three resets are one step to undo.
    edit.History().BeginGroup(zelk::EditKind::Reset);
    edit.ModelResettingOperation(EDIT_ROTATE);
    edit.ModelResettingOperation(EDIT_SCALE);
    edit.ModelResettingOperation(EDIT_MOVE);
    edit.History().EndGroup();
    Refresh(true);
    if (ZELKViewUi* ui = ZELKCAD::GetViewUi()) {
        ui->HideModelEditWnd();
        ui->OnModelsChanged();
    }
}

void ZELKOpenGLView::SelectAll()
{
    m_database->SelectALL();
    Refresh(true);
    ShowSelectedModelInformation();
}

bool ZELKOpenGLView::Undo()
{
    if (!EditService().History().Undo())
        return false;
    ModelsChanged();
    return true;
}

bool ZELKOpenGLView::Redo()
{
    if (!EditService().History().Redo())
        return false;
    ModelsChanged();
    return true;
}

zelk::EditHistory& ZELKOpenGLView::History()
{
    if (m_database == ZELDBEntityDatabase::GetInterFace())
        return zelk::EditHistory::ProcessWide();
    if (!m_ownHistory)
        m_ownHistory = std::make_unique<zelk::EditHistory>(m_database);
    return *m_ownHistory;
}

ZELKModelEdit ZELKOpenGLView::EditService() { return ZELKModelEdit(m_database, &History()); }

void ZELKOpenGLView::ModelsChanged()
{
    Refresh(true);
    ShowSelectedModelInformation();
    if (ZELKViewUi* ui = ZELKCAD::GetViewUi()) {
        ui->ShowGCodeWnd(m_database->GetCount(kEntityPrint) != 0 ? 1 : 0);
        ui->OnModelsChanged();
    }
}

void ZELKOpenGLView::RemoveModel()
{
    DeleteSelected();
}

wxString ZELKOpenGLView::ModelInformationText() const
{
    ZELKDBEntity* entity = m_database->GetSelectEntity().begin()->second;
    ZELKGePoint3d lo, hi;
    entity->GetMinMaxPoint(lo, hi);
    ZELKViewUi* ui = ZELKCAD::GetViewUi();
    auto text = [ui](const char* key) { return ui != nullptr ? ui->GetTranslateString(key) : wxString(); };
    return text("id_infor_modelName") + FileNameOf(entity->GetName()) + "    " + text("id_infor_modelSize") +
           wxString::Format("L:%.2f,W:%.2f,H:%.2f", hi.x - lo.x, hi.y - lo.y, hi.z - lo.z) + "\r\n";
}

void ZELKOpenGLView::ShowSelectedModelInformation()
{
    ZELKViewUi* ui = ZELKCAD::GetViewUi();
    if (ui == nullptr)
        return;
    // Move, rotate and scale act on every selected model; the information
    // bar names a model only when one is selected.
    const int count = m_database->GetSelectCount();
    ui->ShowModelInformation(count == 1 ? ModelInformationText() : wxString());
    ui->ShowWnd(count > 0 ? 1 : 0);
}
