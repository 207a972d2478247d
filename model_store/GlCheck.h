// OpenGL error checks after raw GL calls; active in debug builds only.
#pragma once

namespace zelk {

// Reads and reports (to stderr, with the place) every pending OpenGL error.
// Must not be called between glBegin and glEnd.
void CheckGlError(const char* file, int line);
// How many OpenGL errors CheckGlError has reported since the process started.
int GlErrorCount();

}  // namespace zelk

#ifndef NDEBUG
#define ZELK_GL_CHECK() ::zelk::CheckGlError(__FILE__, __LINE__)
#else
#define ZELK_GL_CHECK() ((void)0)
#endif
