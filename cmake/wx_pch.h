// The wxWidgets and OpenGL headers the GUI targets use, precompiled once per target.
#pragma once

#include <wx/wx.h>
#include <wx/glcanvas.h>
#include <wx/image.h>
#include <wx/dcbuffer.h>
#include <wx/tooltip.h>
#include <GL/gl.h>
#include <GL/glu.h>
