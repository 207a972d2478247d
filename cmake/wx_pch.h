// The wxWidgets and OpenGL headers the GUI targets use, precompiled once for all of them.
#pragma once

#include <wx/wx.h>
#include <wx/glcanvas.h>
#include <wx/image.h>
#include <wx/dcbuffer.h>
#include <wx/tooltip.h>
#include <GL/gl.h>
#include <GL/glu.h>
