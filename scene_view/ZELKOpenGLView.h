// ZELKOpenGLView: the 3D view window; mouse and keys become selection, navigation and the model menu.
#pragma once

#include <memory>

#include <wx/glcanvas.h>

#include <wx/string.h>

#include "EditHistory.h"
#include "ModelEdit.h"

class CZelkOpenGL;
class ZELDBEntityDatabase;
class wxMenu;

// The canvas the renderer draws into. Left click selects (Ctrl+click adds),
// middle drag pans, right drag rotates, the wheel zooms; Ctrl+A, Delete and
// Escape act on the selection; a right click on a model opens Land, Reset and
// Remove. Drags hold the mouse capture, so a button released outside the
// window still ends them. User-interface thread only.
class ZELKOpenGLView : public wxGLCanvas {
public:
    enum { ID_MENU_LAND = 1000, ID_MENU_RESET = 1001, ID_MENU_REMOVE = 1002 };
    enum DragMode { DRAG_NONE = 0, DRAG_PAN = 4, DRAG_ROTATE = 5 };

    // Draws with `renderer` and selects in `database`; null means the
    // process-wide ones, which this view then owns and deletes when it goes.
    ZELKOpenGLView(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size,
                   CZelkOpenGL* renderer = nullptr, ZELDBEntityDatabase* database = nullptr);
    ~ZELKOpenGLView() override;

    // Menu commands.
    void MoveToPlatform();
    void ResetModel();
    void RemoveModel();
    // The last model edit undone, or redone (Ctrl+Z, Ctrl+Shift+Z or Ctrl+Y);
    // false when there is none.
    bool Undo();
    bool Redo();
    // Every model selected (Ctrl+A).
    void SelectAll();
    // The history the view's edits go into: the process-wide one over the
    // process-wide database, else one of the view's own.
    zelk::EditHistory& History();
    // The information bar's model line for exactly one selected model; the
    // move, rotate and scale pictures while any model is selected.
    void ShowSelectedModelInformation();
    // Renders the scene now.
    void OnDraw();

    CZelkOpenGL* GetRenderer() const { return m_renderer; }
    ZELDBEntityDatabase* GetDatabase() const { return m_database; }
    int GetDragMode() const { return m_dragMode; }

    // The frame attributes the view asks of the display.
    static const wxGLAttributes& CanvasAttributes();

protected:
    // Opens the model menu at a client point and waits for the choice
    // (a menu command event). Replaced in tests.
    virtual void ShowContextMenu(wxMenu& menu, const wxPoint& point);

    // Input handlers; a program's view may call them from its own.
    void OnSize(wxSizeEvent& event);
    void OnLButtonDown(wxMouseEvent& event);
    void OnLButtonUp(wxMouseEvent& event);
    void OnMButtonDown(wxMouseEvent& event);
    void OnMButtonUp(wxMouseEvent& event);
    void OnRButtonDown(wxMouseEvent& event);
    void OnRButtonUp(wxMouseEvent& event);
    void OnMouseMove(wxMouseEvent& event);
    void OnMouseWheel(wxMouseEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnPaint(wxPaintEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void OnMenu(wxCommandEvent& event);

private:
    // A window point in the drawable's pixels, where the renderer works (the
    // two differ on a scaled display).
    wxPoint ToDrawable(const wxPoint& window) const;
    void ResizeRenderer();
    void Pick(const wxPoint& window);
    void Capture();
    void ReleaseCapture();
    void DeleteSelected();
    // After models were added, removed, undone or redone: the view, the
    // information bar and the panels follow.
    void ModelsChanged();
    ZELKModelEdit EditService();
    wxString ModelInformationText() const;

    CZelkOpenGL* m_renderer;
    ZELDBEntityDatabase* m_database;
    std::unique_ptr<zelk::EditHistory> m_ownHistory;
    bool m_ownsRenderer;
    bool m_ownsDatabase;
    wxPoint m_dragAnchor;
    int m_dragMode = DRAG_NONE;
    // Where the right button went down: a release near it is a click (the
    // model menu), a release further away ends a rotation.
    wxPoint m_rightPress;
    wxPoint m_lastLeftClick;
    // The first size with both sides above 0 sets the standard view; later ones keep the user's view.
    bool m_sized = false;
};
