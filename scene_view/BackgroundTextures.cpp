// The background pictures of the 3D view as OpenGL textures, read from the program folder.
#include "BackgroundTextures.h"

#include <wx/filefn.h>
#include <wx/image.h>
#include <wx/log.h>
#include <GL/gl.h>

#include <string>

#include "GlCheck.h"
#include "ProgramFolder.h"

namespace zelk {

namespace {

bool LoadPicture(const std::string& path, wxImage& image)
{
    if (!wxFileExists(wxString::FromUTF8(path)))
        return false;
    if (!wxImage::FindHandler(wxBITMAP_TYPE_BMP))
        wxImage::AddHandler(new wxBMPHandler);
    wxLogNull quiet;  // an unreadable picture is simply left out
    return image.LoadFile(wxString::FromUTF8(path), wxBITMAP_TYPE_BMP) && image.IsOk();
}

}  // namespace

void LoadBackgroundTextures(unsigned names[kBackgroundCount])
{
    glShadeModel(GL_SMOOTH);
    glEnable(GL_TEXTURE_2D);
    glGenTextures(kBackgroundCount, names);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int n = 1; n <= kBackgroundCount; ++n) {
        wxImage image;
        if (!LoadPicture(ProgramFilePath("background/" + std::to_string(n) + ".bmp"), image))
            continue;
        // OpenGL's first row is the bottom one.
        const wxImage upright = image.Mirror(false);
        glBindTexture(GL_TEXTURE_2D, names[n - 1]);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, upright.GetWidth(), upright.GetHeight(), 0, GL_RGB,
                     GL_UNSIGNED_BYTE, upright.GetData());
        // Clamped to the edge texels: plain clamping would blend the black
        // border colour into the picture's rim.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    }
    const GLfloat white[4] = {1, 1, 1, 1};
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_BLEND);
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, white);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    ZELK_GL_CHECK();
}

}  // namespace zelk
