// ZELKCAD view commands: what the panels call to drive the one renderer and the one view window.
#pragma once

#include <wx/gdicmn.h>

#include "GePoint3d.h"

class CZelkOpenGL;
class wxWindow;

namespace ZELKCAD {

// The renderer and view window the commands work on, recorded when the view
// is created. Without a recorded renderer the process-wide one is used;
// without a view window, the commands that need one do nothing.
void SetCurrentRenderer(CZelkOpenGL* renderer);
CZelkOpenGL* GetCurrentRenderer();
void SetCurrentView(wxWindow* view);
wxWindow* GetCurrentView();

// Repaints the current view (erasing it first).
void ViewInvalidate();
void StandardView();
// Top view through the user-axes turn and a fit (the same picture as the
// renderer's SetTopView).
void TopView();
void BottomView();
void FrontView();
void BackView();
void LeftView();
void RightView();
// Window/world conversion of the current renderer; its result is passed on.
int TransDCSToWCS(const ZELKGePoint3d& screen, ZELKGePoint3d& world);
int TransWCSToDCS(const ZELKGePoint3d& world, ZELKGePoint3d& screen);
// Screen point to the current view's client coordinates, in place.
void GetScreenToClient(wxPoint& point);
// Background picture 0-3; other values are ignored.
void SetGrainIndex(int index);

}  // namespace ZELKCAD
